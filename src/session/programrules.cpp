#include "session/programrules.h"

#include "protocol/digitattributes.h"
#include "protocol/messagecommands.h"
#include "session/textlayer.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace ProgramRules {

const QStringList &modeNames()
{
    static const QStringList names{"off", "clock", "date", "count", "animate", "test"};
    return names;
}

std::optional<ModeInputs::Mode> modeOf(const QString &name)
{
    // In the order of modeNames(): off, clock, date, count, animate, test.
    static const std::optional<ModeInputs::Mode> modes[]
            = {std::nullopt,      ModeInputs::Time,    ModeInputs::Date,
               ModeInputs::Count, ModeInputs::Animate, std::nullopt};
    const qsizetype index = modeNames().indexOf(name);
    return index < 0 ? std::nullopt : modes[index];
}

QString serviceAddressFile(const QString &device)
{
    const QString path
            = QFileInfo(device.contains('/') ? device : "/dev/" + device).canonicalFilePath();
    QString name = path.isEmpty() ? device : path;
    // The runtime folder as the session has it, else one of the user's own under /tmp (Qt's
    // look-up would warn on standard error, which a service's journal keeps).
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString folder = runtime.isEmpty() ? QStringLiteral("/tmp/vornikd-%1").arg(::getuid())
                                             : runtime + QStringLiteral("/vornikd");
    return folder + '/' + name.replace('/', '_') + ".url";
}

QString serviceAddress(const QString &device)
{
    QFile file(serviceAddressFile(device));
    const QString written = file.open(QIODevice::ReadOnly)
                                    ? QString::fromUtf8(file.readLine(200)).trimmed()
                                    : QString();
    return written.isEmpty() ? QStringLiteral("http://127.0.0.1:%1").arg(kServicePort) : written;
}

Scroll scroll(const std::optional<QString> &rate, const std::optional<QString> &passes,
              const std::optional<QString> &seconds, const QString &prefix, int passesLow)
{
    Scroll scroll;
    if (rate)
        scroll.rate = ChainInput::number(prefix + "rate", *rate, kRateMin, kRateMax);
    if (passes || seconds)
        scroll.passes = 0;
    if (passes)
        scroll.passes = ChainInput::number(prefix + "passes", *passes, passesLow, kPassesMax);
    if (seconds)
        scroll.seconds = ChainInput::number(prefix + "seconds", *seconds, 0, kSecondsMax);
    return scroll;
}

Shown message(const QString &text, int length, bool padLast, TextLayer *layer)
{
    TextLayer fresh(length);
    TextLayer &glyphs = layer ? *layer : fresh;
    const QStringList characters = TextGlyphs::split(text);
    const QStringList window = TextGlyphs::fitted(characters, length, padLast);
    Shown shown;
    shown.cut = characters.size() > length;
    shown.text = window.join(QString());
    const TextLayer::Prepared prepared = glyphs.prepare(window);
    shown.commands = prepared.writes + glyphs.frames(window, prepared);
    return shown;
}

QString cutNote(int length)
{
    return QStringLiteral("cut to %1 digits; --scroll shows it all").arg(length);
}

QString cutNoteForService(int length)
{
    return QStringLiteral("cut to %1 digits; give \"scroll\" to show it all").arg(length);
}

CommandList blank(int length)
{
    CommandList commands = MessageCommands::blank(length);
    commands.last().argument = QByteArray(length, ' ');
    return commands;
}

CommandList attributes(const ChainInput::Attributes &given, const std::optional<QString> &text,
                       int length, const QString &prefix, TextGlyphs::Case textCase)
{
    const QStringList characters
            = TextGlyphs::characters(prefix + "message", text.value_or(QString()), textCase);
    CommandList commands = attributeFrames(given, text.has_value(), length, prefix);
    if (!text)
        return commands;
    // The fonts given are the built-in fonts the text shows in.
    TextLayer layer(length);
    QByteArray fonts(length, '0');
    for (const PacedCommand &command : commands)
        if (command.letter == 'F')
            fonts = command.argument;
    const QStringList window = TextGlyphs::fitted(characters, length, false);
    const TextLayer::Prepared prepared = layer.prepare(window);
    CommandList shown = layer.frames(window, prepared, fonts);
    // The fonts frame given carries the text's "U" at once.
    for (PacedCommand &command : commands)
        if (command.letter == 'F' && shown.first().letter == 'F')
            command.argument = shown.takeFirst().argument;
    return commands + prepared.writes + shown;
}

CommandList attributeFrames(const ChainInput::Attributes &given, bool hasText, int length,
                            const QString &prefix)
{
    using namespace DigitAttributes;
    CommandList commands;
    QStringList names;
    for (int row = Fonts; row <= Speeds; ++row) {
        const QString name = prefix + table().at(row).name;
        names += name;
        if (given[row])
            commands += {table().at(row).letter,
                         ChainInput::attribute(row, name, given[row], length), Pause::kShort};
    }
    if (commands.isEmpty() && !hasText)
        throw ChainInput::Refusal{QStringLiteral("attributes needs at least one of %1")
                                          .arg(names.join(QStringLiteral(", ")))};
    return commands;
}

ChainInput::Attributes writeAllGiven(ChainInput::Attributes given)
{
    using namespace DigitAttributes;
    for (const int row : {Fonts, Effects, Speeds})
        given[row] = given[row].value_or(QStringLiteral("0"));
    given[Underscore] = std::nullopt;
    return given;
}

} // namespace ProgramRules
