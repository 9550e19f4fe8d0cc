#include "ctlprogram.h"

#include "core/consoleoutput.h"

// What a command asks of the service: the action's fields from the table, as given, never
// fitted to a chain here (the service's chain decides); and the options a command would ignore.

void CtlProgram::refuseIgnored() const
{
    const QString words = QLatin1String(m_command->words);
    if (words == QLatin1String("message"))
        for (const char *name : {"rate", "passes"})
            if (m_parser.isSet(name) && !m_parser.isSet("scroll"))
                throw ChainInput::Refusal{QStringLiteral("--%1 is for a scroll; add --scroll")
                                                  .arg(QLatin1String(name))};
    if (m_parser.isSet("token-file") && !m_client)
        throw ChainInput::Refusal{"--token-file is for the service; add --service URL"};
}

QJsonObject CtlProgram::body() const
{
    const ActionTable::Command *entry = nullptr;
    const ActionTable::Action *act = action(*m_command, &entry);
    QJsonObject body;
    QJsonObject scroll;
    int argument = 0;
    for (const QString &name : entry->fields) {
        const ActionTable::Field &field = *act->field(name);
        std::optional<QString> value;
        if (field.isArgument())
            value = m_arguments.value(argument++);
        else if (field.rule == ActionTable::Rule::Flag)
            value = m_parser.isSet(field.option.mid(2)) ? std::optional<QString>("") : std::nullopt;
        else if (!field.option.isEmpty())
            value = option(field.option.mid(2));
        // Write-all's attributes not given are reset, as on the port.
        if (!value && field.rule == ActionTable::Rule::Attribute && !field.fallback.isEmpty())
            value = field.fallback;
        if (!value || field.key.isEmpty() || field.rule == ActionTable::Rule::Flag)
            continue;
        if (field.key.startsWith(QLatin1String("scroll.")))
            scroll.insert(field.key.mid(7), value->toInt());
        else
            body.insert(field.key, *value);
    }
    if (m_parser.isSet("scroll"))
        body.insert("scroll", scroll);
    if (act->name == QLatin1String("mode"))
        body.insert("mode", QLatin1String(m_command->words));
    return body;
}

void CtlProgram::sayCutShort(int sent, int total) const
{
    ConsoleOutput::say(QStringLiteral("%1: cut short by a signal after %2 of %3 frames")
                               .arg(QLatin1String(m_command->words))
                               .arg(sent)
                               .arg(total));
}
