#include "ctlprogram.h"

#include "chaindriver.h"
#include "ctlmodeinputs.h"

#include "core/basicutilities.h"
#include "core/signalwatcher.h"
#include "font/fontcommands.h"
#include "font/fontload.h"
#include "font/fontrules.h"
#include "font/fonttable.h"
#include "protocol/chainprotocol.h"
#include "protocol/fieldcheck.h"
#include "protocol/fieldrules.h"
#include "protocol/messagecommands.h"
#include "session/moderunner.h"
#include "session/segmenttestrunner.h"
#include "session/uploadjob.h"

#include <QSerialPortInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

// The attribute fields as options: the command letter, the key rule, what a character must be.
struct Attribute
{
    const char *option;
    char letter;
    KeyVerdict (*key)(int code);
    const char *noun;
};
enum { Fonts, Underscore, Effects, Speeds };
const Attribute kAttributes[]
        = {{"fonts", 'F', FieldRules::fontsKey, "a font"},
           {"underscore", 'U', FieldRules::underscoreKey, "an underscore (0, 1 or !)"},
           {"effects", 'E', FieldRules::effectsKey, "an effect"},
           {"speeds", 'S', FieldRules::speedsKey, "a speed"}};

void printErr(const QString &text)
{
    std::fputs(qPrintable(QStringLiteral("vornikctl: ") + text + QLatin1Char('\n')), stderr);
}

int editDistance(const QString &a, const QString &b)
{
    QList<int> row(b.size() + 1);
    std::iota(row.begin(), row.end(), 0);
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = std::exchange(row[0], i);
        for (int j = 1; j <= b.size(); ++j)
            diagonal = std::exchange(row[j], std::min({row[j] + 1, row[j - 1] + 1,
                                                       diagonal + int(a[i - 1] != b[j - 1])}));
    }
    return row.last();
}

// Sends commands and ends the program.
std::function<void(ChainDriver &)> sendOnce(const CommandList &commands)
{
    return [commands](ChainDriver &driver) { driver.sendAndFinish(commands); };
}

// A mode, the test and "message -" run until SIGINT or SIGTERM.
void onSignal(ChainDriver &driver, const std::function<void()> &stop)
{
    QObject::connect(new SignalWatcher(&driver), &SignalWatcher::terminationRequested, &driver,
                     stop);
}

} // namespace

const std::vector<CtlProgram::Command> &CtlProgram::commands()
{
    static const std::vector<Command> table{
            {"ports", nullptr, 0, &CtlProgram::planPorts, "ports",
             "list the serial ports: device, description, maker, serial, USB ids",
             "vornikctl ports"},
            {"message", "-", 0, &CtlProgram::planLines, "message -",
             "show each line of standard input as it arrives", "tail -F log | vornikctl message -"},
            {"message", nullptr, 1,
             [](CtlProgram &p) {
                 return sendOnce(MessageCommands::message(p.message("message", p.m_arguments[0])));
             },
             "message TEXT", "show TEXT, fitted to the chain", "vornikctl message HELLO"},
            {"attributes", nullptr, 0, &CtlProgram::planAttributes,
             "attributes [--fonts F] [--underscore U] [--effects E] [--speeds S] [--message T]",
             "each given field's Enter (the message only with --message)",
             "vornikctl attributes --effects 123456 --message HELLO"},
            {"write-all", nullptr, 1,
             [](CtlProgram &p) {
                 const QByteArray text = p.message("message", p.m_arguments[0]);
                 const QByteArray fonts = p.attribute(Fonts), effects = p.attribute(Effects);
                 return sendOnce(
                         MessageCommands::writeAll(fonts, effects, p.attribute(Speeds), text));
             },
             "write-all TEXT [--fonts F] [--effects E] [--speeds S]",
             "fonts, effects, speeds, then the message (\"Write all\")",
             "vornikctl write-all HELLO --effects 111111"},
            {"char", nullptr, 1,
             [](CtlProgram &p) {
                 return sendOnce(MessageCommands::showCharacter(
                         p.userCode("char", p.m_arguments[0]), FontCommands::kShortPause));
             },
             "char CODE", "show character CODE (10-125) on the first digit", "vornikctl char 65"},
            {"blank", nullptr, 0,
             [](CtlProgram &p) { return sendOnce(MessageCommands::blank(p.m_chain)); }, "blank",
             "blank the chain (\"Send character\")", "vornikctl blank"},
            {"font", "upload", 1, &CtlProgram::planFontUpload, "font upload FILE [--fonts F]",
             "the whole user font to every module (\"Commit\")",
             "vornikctl font upload myfont.fnt"},
            {"font", "write", 2,
             [](CtlProgram &p) {
                 const int code = p.userCode("font write", p.m_arguments[0]);
                 const QString pattern = p.typed("pattern", p.m_arguments[1], FontRules::patternKey,
                                                 "is not 0 or 1");
                 if (!FontRules::isPattern(pattern))
                     p.refuse("font write: a pattern has 15 characters \"0\" or \"1\"");
                 return sendOnce(FontCommands::writePattern(QByteArray(1, char(code)), pattern,
                                                            FontCommands::kShortPause));
             },
             "font write CODE PATTERN", "one pattern to the first module (\"Write\")",
             "vornikctl font write 65 111111000000000"},
            {"clock", nullptr, 0, [](CtlProgram &p) { return p.runMode(ModeInputs::Time, {}); },
             "clock", "the time, until interrupted", "vornikctl clock"},
            {"date", nullptr, 0, [](CtlProgram &p) { return p.runMode(ModeInputs::Date, {}); },
             "date", "the date, until interrupted", "vornikctl date"},
            {"count", nullptr, 0,
             [](CtlProgram &p) {
                 if (!p.wholeNumbers({"from", "delay"}, false))
                     p.refuse("count: --from and --delay take whole numbers");
                 return p.runMode(ModeInputs::Count,
                                  {QString(), QString(), p.m_parser.value("delay")},
                                  ModeSteps::counterNormalised(p.m_parser.value("from")));
             },
             "count [--from N] [--delay D]", "count up every D ms (default 100), until interrupted",
             "vornikctl count --from 500"},
            {"animate", nullptr, 0,
             [](CtlProgram &p) {
                 if (!p.m_parser.isSet("from") || !p.m_parser.isSet("to"))
                     p.refuse("animate needs --from and --to (see --help)");
                 if (!p.wholeNumbers({"from", "to", "delay"}, true))
                     p.refuse("animate: --from, --to and --delay take whole numbers");
                 return p.runMode(ModeInputs::Animate,
                                  {p.m_parser.value("from"), p.m_parser.value("to"),
                                   p.m_parser.value("delay")});
             },
             "animate --from A --to B [--delay D]",
             "run through the user font from A to B, until interrupted",
             "vornikctl animate --from 48 --to 57 --delay 200"},
            {"test", nullptr, 0, &CtlProgram::planTest, "test",
             "the segment test until interrupted, then its end commands", "vornikctl test"}};
    return table;
}

CtlProgram::CtlProgram(const QStringList &arguments)
{
    // Names (comma-separated), value name (empty for a switch), description.
    const char *const options[][3]
            = {{"port", "DEVICE", "The serial device (or VORNIK_PORT; else the one port listed)."},
               {"chain", "N", "Digits in the chain, 1 to 10 (default 6)."},
               {"dry-run", "", "Print each frame as the transmit log would; open no port."},
               {"h,help", "", "Print this help."},
               {"version", "", "Print the version."},
               {"fonts", "F", "A font per digit."},
               {"underscore", "U", "An underscore per digit: 0, 1 or !."},
               {"effects", "E", "An effect per digit."},
               {"speeds", "S", "A speed per digit."},
               {"message", "T", "The message after the attributes."},
               {"from", "N", "The first count or character code."},
               {"to", "B", "The last character code."},
               {"delay", "D", "Milliseconds between steps, 1 to 2000."}};
    for (const auto &[names, value, description] : options)
        m_parser.addOption({QString(names).split(','), description, value});
    m_parser.setApplicationDescription("Drives a chain of Vornik display modules over a serial "
                                       "line, with the same frames\nand pauses as the window's "
                                       "actions.");
    m_parser.addPositionalArgument("command", "One of the commands below.", "COMMAND [ARGUMENTS]");
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (!m_parser.parse(arguments))
        refuse(m_parser.errorText() + " (see --help)");
    bool ok = !m_parser.isSet("chain");
    if (!ok)
        m_chain = m_parser.value("chain").toInt(&ok);
    if (!ok || m_chain < 1 || m_chain > 10)
        refuse("--chain takes a number from 1 to 10");
    m_dryRun = m_parser.isSet("dry-run");
}

CtlProgram::~CtlProgram() = default;

QString CtlProgram::help() const
{
    QString text = m_parser.helpText() + "\nCommands:\n";
    for (const Command &command : commands()) {
        const QString usage = QStringLiteral("  ") + command.usage;
        text += (usage.size() < 32 ? usage.leftJustified(32) : usage + '\n' + QString(32, ' '))
                + command.description + "\n      " + command.example + '\n';
    }
    return text
           + "\nExit status: 0 done, 2 usage or input error, 3 the port cannot be opened,\n4 a "
             "file cannot be read or is not a font file, 5 the line failed while sending.\n"
             "Ctrl+C or SIGTERM ends a mode or the test cleanly.\n\nTesting aid: "
             "VORNIK_PAUSE_SCALE=F multiplies every pause by F (0 = no pauses).\n";
}

void CtlProgram::refuse(const QString &text, Exit::Status failure)
{
    if (m_refusal.isEmpty()) {
        m_refusal = text;
        m_failure = failure;
    }
}

int CtlProgram::run()
{
    if (m_refusal.isEmpty() && m_parser.isSet("help"))
        return std::fputs(qPrintable(help()), stdout), Exit::Done;
    if (m_refusal.isEmpty() && m_parser.isSet("version"))
        return std::printf("vornikctl %s\n", qPrintable(VersionText())), Exit::Done;
    bool scaleOk = false;
    const double scale = qEnvironmentVariable("VORNIK_PAUSE_SCALE").toDouble(&scaleOk);
    if (scaleOk && scale >= 0)
        setDelayScale(scale);
    const Command *command = m_refusal.isEmpty() ? find() : nullptr;
    const Plan plan = command ? command->planner(*this) : Plan();
    const QString device = plan && !m_dryRun ? choosePort() : QString();
    if (!m_refusal.isEmpty())
        return printErr(m_refusal), m_failure;
    ChainDriver driver(m_dryRun);
    if (!plan || !driver.open(device))
        return plan ? Exit::PortError : Exit::Done;
    QTimer::singleShot(0, &driver, [&] { plan(driver); });
    return QCoreApplication::exec();
}

const CtlProgram::Command *CtlProgram::find()
{
    const QStringList words = m_parser.positionalArguments();
    m_command = words.value(0);
    QStringList usages;
    QString nearest;
    for (const Command &command : commands()) {
        const int skip = command.subCommand ? 2 : 1;
        const bool named = m_command == command.command;
        if (named && (!command.subCommand || words.value(1) == command.subCommand)
            && words.size() - skip == command.arguments) {
            m_arguments = words.mid(skip);
            return &command;
        }
        if (named)
            usages += QStringLiteral("  vornikctl ") + command.usage;
        if (nearest.isEmpty() && editDistance(m_command, command.command) <= 2)
            nearest = command.command;
    }
    if (words.isEmpty())
        refuse("no command given (see --help)");
    else if (!usages.isEmpty())
        refuse(QStringLiteral("wrong arguments for \"%1\"; usage:\n").arg(m_command)
               + usages.join('\n'));
    else if (!nearest.isEmpty())
        refuse(QStringLiteral("unknown command \"%1\"; did you mean \"%2\"?")
                       .arg(m_command, nearest));
    else
        refuse(QStringLiteral("unknown command \"%1\" (see --help)").arg(m_command));
    return nullptr;
}

QString CtlProgram::choosePort()
{
    const QString named
            = m_parser.isSet("port") ? m_parser.value("port") : qEnvironmentVariable("VORNIK_PORT");
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    if (!named.isEmpty() || ports.size() == 1)
        return named.isEmpty() ? ports.first().systemLocation() : named;
    QString list;
    for (const QSerialPortInfo &port : ports)
        list += "\n  " + port.systemLocation();
    refuse(ports.isEmpty() ? QStringLiteral("no serial port found; name one with --port")
                           : "several serial ports; name one with --port:" + list,
           Exit::PortError);
    return QString();
}

QString CtlProgram::typed(const QString &what, const QString &text, const KeyFilter &key,
                          const QString &verdict)
{
    const FieldCheck::Typed typed = FieldCheck::typed(text, key);
    if (!typed.ok())
        refuse(QStringLiteral("%1: character \"%2\" at position %3 %4")
                       .arg(what, text.mid(typed.refusedAt, 1),
                            QString::number(typed.refusedAt + 1), verdict));
    return typed.text;
}

QByteArray CtlProgram::message(const QString &what, const QString &text)
{
    const QString entered = typed(what, text, FieldRules::sentenceKey, "cannot be shown");
    return FieldRules::settledMessage(entered, m_chain).toLatin1();
}

QByteArray CtlProgram::attribute(int field)
{
    const Attribute &attribute = kAttributes[field];
    // An option not given stands as the window's fields stand after a length change.
    if (!m_parser.isSet(attribute.option))
        return FieldRules::resetAttribute(m_chain).toLatin1();
    const QString text
            = typed(QStringLiteral("--") + attribute.option, m_parser.value(attribute.option),
                    attribute.key, QStringLiteral("is not ") + attribute.noun);
    return FieldRules::settledAttribute(text, m_chain).toLatin1();
}

int CtlProgram::userCode(const QString &what, const QString &text)
{
    bool ok = false;
    const int code = text.toInt(&ok);
    if (!ok || !Protocol::isUserCode(code))
        refuse(QStringLiteral("%1: \"%2\" is not a character code from 10 to 125 (13 and 33 "
                              "excepted)")
                       .arg(what, text));
    return code;
}

bool CtlProgram::wholeNumbers(const QStringList &options, bool negative) const
{
    return std::all_of(options.cbegin(), options.cend(), [&](const QString &option) {
        bool ok = false;
        const int value = m_parser.value(option).toInt(&ok);
        return !m_parser.isSet(option) || (ok && (negative || value >= 0));
    });
}

CtlProgram::Plan CtlProgram::runMode(int mode, std::array<QString, 3> animation,
                                     const QString &counter)
{
    if (animation[ModeSteps::kDelayField].isEmpty())
        animation[ModeSteps::kDelayField] = QStringLiteral("100"); // the window's default delay
    for (int field = 0; field < 3; ++field)
        ModeSteps::validateAnimation(animation, field);
    return [this, mode, animation, counter](ChainDriver &driver) {
        const auto chosen = static_cast<ModeInputs::Mode>(mode);
        m_modeInputs = std::make_unique<CtlModeInputs>(chosen, m_chain, animation, counter);
        auto *runner = new ModeRunner(driver.sender(), *m_modeInputs, &driver);
        runner->modeChosen(chosen, animation[ModeSteps::kDelayField]);
        onSignal(driver, [&driver] { driver.finish(Exit::Done); });
    };
}

CtlProgram::Plan CtlProgram::planPorts()
{
    const auto hex = [](quint16 id) { return QStringLiteral("%1").arg(id, 4, 16, QChar('0')); };
    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts()) {
        const QString ids
                = port.hasVendorIdentifier() && port.hasProductIdentifier()
                          ? hex(port.vendorIdentifier()) + ':' + hex(port.productIdentifier())
                          : QString();
        const QStringList columns{port.systemLocation(), port.description(), port.manufacturer(),
                                  port.serialNumber(), ids};
        std::printf("%s\n", qPrintable(columns.join('\t')));
    }
    return Plan();
}

CtlProgram::Plan CtlProgram::planLines()
{
    return [this](ChainDriver &driver) {
        auto *input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &driver);
        onSignal(driver, [&driver] { driver.finish(Exit::Done); });
        QObject::connect(input, &QSocketNotifier::activated, &driver, [this, input, &driver] {
            char buffer[4096];
            const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
            m_pending.append(buffer, static_cast<int>(qMax<ssize_t>(got, 0)));
            // The last line may come without its end.
            if (got <= 0 && !m_pending.isEmpty())
                m_pending += '\n';
            // Lines go out one by one; input arriving meanwhile waits for the next round.
            input->setEnabled(false);
            for (qsizetype end = 0; (end = m_pending.indexOf('\n')) >= 0 && !shutdownRequested();)
                showLine(driver, m_pending.left(end)), m_pending.remove(0, end + 1);
            if (got <= 0)
                driver.finish(Exit::Done);
            input->setEnabled(true);
        });
    };
}

void CtlProgram::showLine(ChainDriver &driver, QByteArray line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    m_refusal.clear();
    const QByteArray text
            = message(QStringLiteral("line %1").arg(++m_lineNumber), QString::fromLocal8Bit(line));
    if (m_refusal.isEmpty())
        driver.sender().send(MessageCommands::message(text));
    else
        printErr(m_refusal + ", line skipped");
}

CtlProgram::Plan CtlProgram::planAttributes()
{
    const QByteArray text = message("--message", m_parser.value("message"));
    CommandList commands;
    for (int field = Fonts; field <= Speeds; ++field) {
        if (!m_parser.isSet(kAttributes[field].option))
            continue;
        CommandList enter
                = MessageCommands::attribute(kAttributes[field].letter, attribute(field), text);
        // Without a message the field's Enter sends the attribute alone.
        if (!m_parser.isSet("message"))
            enter.removeLast();
        commands += enter;
    }
    if (commands.isEmpty())
        refuse("attributes needs at least one of --fonts, --underscore, --effects, --speeds");
    return sendOnce(commands);
}

CtlProgram::Plan CtlProgram::planFontUpload()
{
    auto table = std::make_shared<FontTable>();
    const FontFile::Patterns read = FontLoad::load(m_arguments[0], *table);
    if (!read.ok())
        refuse(m_arguments[0]
                       + (read.line > 0 ? QStringLiteral(": line %1: ").arg(read.line) : ": ")
                       + read.refusal,
               Exit::FileError);
    const QByteArray fonts = attribute(Fonts);
    const bool progress = ::isatty(STDERR_FILENO) == 1 && !m_dryRun;
    return [table, fonts, progress](ChainDriver &driver) {
        auto *job = new UploadJob(driver.sender(), &driver);
        // The progress line: characters sent and the pauses still to come.
        const auto draw = [job](int sent, int total) {
            const int filled = total > 0 ? sent * 30 / total : 30;
            std::fprintf(stderr, "\r[%s%s] %d/%d  %.1f s left ", QByteArray(filled, '#').data(),
                         QByteArray(30 - filled, ' ').data(), sent, total,
                         job->pauseLeft() * delayScale() / 100.0);
        };
        if (progress)
            QObject::connect(job, &UploadJob::progress, &driver, draw);
        const bool failed = job->run(fonts, *table) == PacedSender::Outcome::LineFailed;
        if (progress && !failed)
            draw(job->sent(), job->total()), std::fputs("\n", stderr);
        driver.finish(failed ? Exit::LineFailed : Exit::Done);
    };
}

CtlProgram::Plan CtlProgram::planTest()
{
    return [this](ChainDriver &driver) {
        auto *runner = new SegmentTestRunner(
                driver.sender(), [this] { return m_chain; }, &driver);
        runner->requestStart();
        // After the stop the next tick sends the end commands, and the one after it finds the
        // test idle: the program ends there.
        auto idleTicks = std::make_shared<int>(-1);
        onSignal(driver, [runner, idleTicks] { runner->requestStop(), *idleTicks = 0; });
        QObject::connect(runner, &SegmentTestRunner::runningShown, &driver, [=, &driver](bool on) {
            if (!on && *idleTicks >= 0 && ++*idleTicks == 2)
                driver.finish(Exit::Done);
        });
    };
}
