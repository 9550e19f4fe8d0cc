#include "font/fontcommands.h"

#include "font/fontrules.h"
#include "font/fonttable.h"

namespace FontCommands {

CommandList writePattern(const QByteArray &character, const QString &pattern, int writePause)
{
    // A slot read unchecked from a file can never put a CR or "!" into the command.
    return {{'W', character + FontRules::cleanedPattern(pattern).toLatin1(), writePause},
            {'M', character, kLongPause}};
}

CommandList upload(const QByteArray &fonts, const FontTable &table)
{
    CommandList commands{{'F', fonts, kShortPause}};
    for (const int code : FontRules::uploadCodes()) {
        const QString pattern = FontRules::storedPattern(table.pattern(code));
        commands.append({'W', FontRules::patternWriteArgument(code, pattern), kShortPause});
        commands.append({'M', QByteArray(1, static_cast<char>(code)), kShortPause});
    }
    return commands;
}

} // namespace FontCommands
