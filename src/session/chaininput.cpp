#include "session/chaininput.h"

#include "font/fontrules.h"
#include "modes/modesteps.h"
#include "protocol/chainprotocol.h"
#include "protocol/digitattributes.h"
#include "protocol/fieldcheck.h"
#include "protocol/fieldrules.h"
#include "session/programrules.h"

namespace ChainInput {

namespace {

QString checked(const QString &what, const FieldCheck::Typed &typed, const QString &verdict = {})
{
    if (!typed.ok())
        throw Refusal{what + ": " + typed.refusal + verdict};
    return typed.text;
}

} // namespace

Attributes given(const std::function<std::optional<QString>(const QString &name)> &option)
{
    Attributes given;
    for (std::size_t row = 0; row < given.size(); ++row)
        given[row] = option(DigitAttributes::table().at(row).name);
    return given;
}

int number(const QString &what, const QString &text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        throw Refusal{
                QStringLiteral("%1 takes a number from %2 to %3").arg(what).arg(low).arg(high)};
    return value;
}

QByteArray fitted(const QString &text, int length, bool padLast)
{
    const QString shown = padLast && !text.isEmpty()
                                  ? FieldRules::fitlength(text, length)
                                  : text.left(length).leftJustified(length, QLatin1Char(' '));
    return shown.toLatin1();
}

bool padLast(const QString &what, const std::optional<QString> &pad)
{
    if (pad && *pad != QLatin1String("space") && *pad != QLatin1String("last"))
        throw Refusal{what + QStringLiteral(" takes \"space\" or \"last\"")};
    return pad && *pad == QLatin1String("last");
}

QByteArray attribute(int row, const QString &what, const std::optional<QString> &text, int length)
{
    if (!text)
        return FieldRules::resetAttribute(length).toLatin1();
    return checked(what, FieldCheck::attribute(row, *text, length)).toLatin1();
}

int userCode(const QString &what, const QString &text)
{
    const int code = FieldCheck::userCode(text);
    if (code < 0)
        throw Refusal{QStringLiteral("%1: \"%2\" is not %3")
                              .arg(what, text, FieldCheck::userCodeRange())};
    return code;
}

QString pattern(const QString &what, const QString &text)
{
    const QString typed
            = checked(what, FieldCheck::typed(text, FontRules::patternKey), " is not 0 or 1");
    if (!FontRules::isPattern(typed))
        throw Refusal{what + ": a pattern has 15 characters \"0\" or \"1\""};
    return typed;
}

int wholeNumber(const QString &what, const QString &text, bool negative)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || (value < 0 && !negative))
        throw Refusal{what + (negative ? " takes a whole number" : " takes a whole number from 0")};
    return value;
}

std::array<QString, 3> animation(const std::array<std::optional<QString>, 3> &given,
                                 ModeInputs::Mode mode, const QString &prefix)
{
    const bool count = mode == ModeInputs::Count;
    using namespace ModeSteps;
    static const char *const names[] = {"from", "to", "delay"};
    // The window's fields hold a value to these bounds; from outside it is refused instead.
    static const int low[] = {kStartMin, kStartMin, ProgramRules::kStepDelayMin};
    static const int high[] = {kStopMax, kStopMax, kDelayMax};
    if (mode == ModeInputs::Animate && (!given[kStartField] || !given[kStopField]))
        throw Refusal{QStringLiteral("animate needs %1from and %1to").arg(prefix)};
    std::array<QString, 3> fields;
    for (int field = 0; field < 3; ++field) {
        if (given[field] && count && field == kStartField)
            wholeNumber(prefix + names[field], *given[field], false);
        else if (given[field])
            number(prefix + names[field], *given[field], low[field], high[field]);
        fields[field] = given[field].value_or(QString());
    }
    if (fields[ModeSteps::kDelayField].isEmpty())
        fields[ModeSteps::kDelayField] = QString::number(ModeSteps::kDefaultDelay);
    for (int field = 0; field < 3; ++field)
        ModeSteps::validateAnimation(fields, field);
    return fields;
}

} // namespace ChainInput
