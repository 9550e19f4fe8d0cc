#include "protocol/fieldcheck.h"

#include "core/basicutilities.h"
#include "protocol/chainprotocol.h"
#include "protocol/digitattributes.h"
#include "protocol/fieldrules.h"

namespace FieldCheck {

Typed typed(const QString &text, const KeyFilter &filter)
{
    Typed result;
    for (int i = 0; i < text.size(); ++i) {
        const KeyVerdict verdict = filter(text.at(i).unicode());
        if (verdict.kind != KeyVerdict::Insert) {
            result.refusedAt = i;
            // A control character is named as the receive log writes it ("[00]"), so that the
            // refusal stays one readable line.
            const ushort code = text.at(i).unicode();
            const QString shown = code < 32 || code == kDEL
                                          ? QLatin1Char('[') + HexPad(code, 2) + QLatin1Char(']')
                                          : QString(text.at(i));
            result.refusal
                    = QStringLiteral("character \"%1\" at position %2").arg(shown).arg(i + 1);
            return result;
        }
        result.text += verdict.character;
    }
    return result;
}

Typed message(const QString &text, int length)
{
    Typed result = typed(text, FieldRules::sentenceKey);
    if (!result.ok())
        result.refusal += QStringLiteral(" cannot be shown");
    result.text = FieldRules::settledMessage(result.text, length);
    return result;
}

Typed attribute(int row, const QString &text, int length)
{
    const DigitAttribute &attribute = DigitAttributes::table().at(static_cast<std::size_t>(row));
    Typed result = typed(text, attribute.keyRule);
    if (!result.ok())
        result.refusal += QStringLiteral(" is not ") + attribute.noun;
    result.text = FieldRules::settledAttribute(result.text, length);
    return result;
}

int userCode(const QString &text)
{
    bool ok = false;
    const int code = text.toInt(&ok);
    return ok && Protocol::isUserCode(code) ? code : -1;
}

QString userCodeRange()
{
    return QStringLiteral("a character code from %1 to %2 (%3 and %4 excepted)")
            .arg(Protocol::kFirstUserCode)
            .arg(Protocol::kLastUserCode)
            .arg(Protocol::kReservedFrameEnd)
            .arg(Protocol::kReservedSkip);
}

} // namespace FieldCheck
