#include "font/fontcommands.h"

#include "font/fontrules.h"
#include "font/fonttable.h"

namespace FontCommands {

CommandList writePattern(const QByteArray &character, const QString &pattern, int writePause)
{
    // A slot read unchecked from a file can never put a CR or "!" into the command.
    return {{'W', character + FontRules::cleanedPattern(pattern).toLatin1(), writePause},
            {'M', character, Pause::kLong}};
}

CommandList upload(const QByteArray &fonts, const FontTable &table)
{
    CommandList commands{{'F', fonts, Pause::kShort}};
    for (const int code : FontRules::uploadCodes()) {
        const QString pattern = FontRules::storedPattern(table.pattern(code));
        commands.append({'W', FontRules::patternWriteArgument(code, pattern), Pause::kShort});
        commands.append({'M', QByteArray(1, static_cast<char>(code)), Pause::kShort});
    }
    return commands;
}

} // namespace FontCommands
