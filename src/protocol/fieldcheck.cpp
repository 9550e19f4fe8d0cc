#include "protocol/fieldcheck.h"

namespace FieldCheck {

Typed typed(const QString &text, const KeyFilter &filter)
{
    Typed result;
    for (int i = 0; i < text.size(); ++i) {
        const KeyVerdict verdict = filter(text.at(i).unicode());
        if (verdict.kind != KeyVerdict::Insert) {
            result.refusedAt = i;
            result.refusal
                    = QStringLiteral("character \"%1\" at position %2").arg(text.at(i)).arg(i + 1);
            return result;
        }
        result.text += verdict.character;
    }
    return result;
}

} // namespace FieldCheck
