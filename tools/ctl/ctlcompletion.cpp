#include "ctlprogram.h"

#include <QRegularExpression>

// vornikctl --completion bash: the script bash-completion loads, written from the commands'
// usages and the action table, so that it never lists an option the program does not take.

QString CtlProgram::completion() const
{
    // Each command's options, from its usage; the values an option takes, from the table.
    static const QRegularExpression optionName(QStringLiteral("--[a-z-]+"));
    QString cases;
    QStringList words;
    for (const Command &command : commands()) {
        const QString name = QLatin1String(command.words);
        QStringList options;
        for (const auto &match : optionName.globalMatch(usage(command)))
            options += match.captured();
        if (name.contains(' '))
            continue;
        words += name;
        // "message -" and "message TEXT" share the first word.
        if (name == QLatin1String("message"))
            options += QStringLiteral("--latest");
        if (name == QLatin1String("font"))
            continue;
        cases += QStringLiteral("        %1) options=\"%2\" ;;\n").arg(name, options.join(' '));
    }
    words += "font";
    cases += "        font) options=\"--fonts\" ;;\n";
    QString values;
    for (const ActionTable::Field &field : ActionTable::options())
        if (!field.choices.isEmpty())
            values += QStringLiteral("        %1) COMPREPLY=($(compgen -W \"%2\" -- \"$cur\")); "
                                     "return ;;\n")
                              .arg(field.option, field.choices.join(' '));
    QStringList general;
    QStringList taking; // options followed by a value
    for (const QCommandLineOption &option : m_options) {
        const QString name = "--" + option.names().last();
        if (!option.valueName().isEmpty())
            taking += name;
        bool fromTable = false;
        for (const ActionTable::Field &field : ActionTable::options())
            fromTable = fromTable || field.option == name;
        if (!fromTable && name != QLatin1String("--h"))
            general += name;
    }
    return QStringLiteral(
                   "# bash completion for vornikctl, made by vornikctl --completion bash\n"
                   "_vornikctl()\n{\n"
                   "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
                   "    case $prev in\n"
                   "        --port) COMPREPLY=($(compgen -W \"$(vornikctl ports 2>/dev/null | "
                   "cut -f1)\" -- \"$cur\")); return ;;\n"
                   "        --token-file) COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n"
                   "        --completion) COMPREPLY=($(compgen -W \"bash\" -- \"$cur\")); "
                   "return ;;\n"
                   "%1"
                   "    esac\n"
                   "    local command= i words=\"%2\" options=\n"
                   "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
                   "        case ${COMP_WORDS[i]} in\n"
                   "            %5) ((i++)) ;;\n"
                   "            -*) ;;\n"
                   "            *) command=${COMP_WORDS[i]}; break ;;\n"
                   "        esac\n"
                   "    done\n"
                   "    case $command in\n"
                   "%3"
                   "    esac\n"
                   "    if [[ $cur == -* ]]; then\n"
                   "        COMPREPLY=($(compgen -W \"%4 $options\" -- \"$cur\"))\n"
                   "    elif [ -z \"$command\" ]; then\n"
                   "        COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
                   "    elif [ \"$prev\" = font ]; then\n"
                   "        COMPREPLY=($(compgen -W \"upload write\" -- \"$cur\"))\n"
                   "    elif [ \"$prev\" = upload ]; then\n"
                   "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
                   "    fi\n"
                   "}\n"
                   "complete -F _vornikctl vornikctl\n")
            .arg(values, words.join(' '), cases, general.join(' '), taking.join('|'));
}
