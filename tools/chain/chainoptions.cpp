#include "chain/chainoptions.h"

#include "session/chainstate.h"

namespace {

bool readDigits(const QString &text, ChainOptions &options)
{
    bool ok = false;
    const int digits = text.toInt(&ok);
    if (!ok || digits < ChainState::kMinDigits || digits > ChainState::kMaxDigits) {
        options.error = QStringLiteral("--digits needs a number from %1 to %2, not \"%3\"")
                                .arg(ChainState::kMinDigits)
                                .arg(ChainState::kMaxDigits)
                                .arg(text);
        return false;
    }
    options.digits = digits;
    return true;
}

} // namespace

ChainOptions ChainOptions::parse(const QStringList &arguments)
{
    ChainOptions options;
    options.digits = ChainState::kDefaultDigits;
    const QString digitsOption = QStringLiteral("--digits");
    const QString digitsPrefix = digitsOption + QLatin1Char('=');
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options.help = true;
        } else if (argument == QLatin1String("--dump")) {
            options.dump = true;
        } else if (argument == digitsOption) {
            if (i + 1 >= arguments.size()) {
                options.error = QStringLiteral("--digits needs a number");
                return options;
            }
            if (!readDigits(arguments.at(++i), options))
                return options;
        } else if (argument.startsWith(digitsPrefix)) {
            if (!readDigits(argument.mid(digitsPrefix.size()), options))
                return options;
        } else {
            options.error = QStringLiteral("unknown argument \"%1\"").arg(argument);
            return options;
        }
    }
    return options;
}

QString ChainOptions::helpText()
{
    const QString text = QStringLiteral(
            "Usage: vornik-chain [--digits N] [--dump]\n"
            "\n"
            "A virtual Vornik display chain on a pseudo-terminal. The first line printed is the\n"
            "device to open in the utility, for example: vornik --extra-port /dev/pts/3\n"
            "\n"
            "It decodes the commands M, F, U, E, S and W (\"$B7\", letter, argument, CR; \"!\"\n"
            "skips a digit) and answers the port-scan probe \"$0000\" with \"!0000022600\".\n"
            "The chain keeps ONE user-font table shared by all its digits: a W command writes\n"
            "it for the whole chain, where real modules each hold their own copy.\n"
            "Effects and speeds are shown as numbers; their animation is not imitated.\n"
            "Malformed input (unknown letter, no CR within 64 bytes, W of the wrong length,\n"
            "bytes outside a frame) is reported in one line and skipped.\n"
            "\n"
            "Options:\n"
            "  --digits N   number of digits in the chain, %1 to %2 (default %3)\n"
            "  --dump       no window: print one line per decoded command with the chain's\n"
            "               characters, fonts, underscores, effects and speeds\n"
            "  -h, --help   show this text\n");
    return text.arg(ChainState::kMinDigits)
            .arg(ChainState::kMaxDigits)
            .arg(ChainState::kDefaultDigits);
}
