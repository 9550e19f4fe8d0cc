#include "ctlprogram.h"

#include "core/commandwords.h"
#include "core/signalwatcher.h"
#include "font/fontcommands.h"
#include "font/fontload.h"
#include "font/fonttable.h"
#include "protocol/chainprotocol.h"
#include "protocol/digitattributes.h"
#include "protocol/messagecommands.h"
#include "protocol/receiveformat.h"
#include "serial/portlist.h"
#include "session/chainline.h"
#include "session/fixedmodeinputs.h"
#include "session/linefeed.h"
#include "session/moderunner.h"
#include "session/segmenttestrunner.h"
#include "session/uploadjob.h"

#include <QCoreApplication>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

// Input the program refuses for other reasons than its text, and the status it ends with.
struct Refusal
{
    QString text;
    Exit::Status status;
};

using DigitAttributes::Fonts;

// The options of every command; the others only where a command's usage names them.
const QStringList kEveryCommand{"port", "chain", "dry-run", "wait", "h", "help", "version"};

void printErr(const QString &text)
{
    const QByteArray line = "vornikctl: " + text.toLocal8Bit() + '\n';
    if (!text.isEmpty())
        std::fwrite(line.constData(), 1, line.size(), stderr);
}

// A failed write of the output (a full disk, a closed pipe) is said on standard error.
bool print(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, bytes.size(), stdout);
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return true;
    printErr(QStringLiteral("cannot write the output: ") + std::strerror(errno));
    return false;
}

} // namespace

const std::vector<CtlProgram::Command> &CtlProgram::commands()
{
    static const std::vector<Command> table{
            {"ports", nullptr, 0, &CtlProgram::planPorts, "ports [--json]",
             "list the serial ports: device, description, maker, serial, USB ids",
             "vornikctl ports --json"},
            {"message", "-", 0, &CtlProgram::planLines, "message - [--latest]",
             "show each line of standard input as it arrives", "tail -F log | vornikctl message -"},
            {"message", nullptr, 1,
             [](CtlProgram &p) {
                 return p.sendOnce(MessageCommands::message(
                         ChainInput::message("message", p.m_arguments[0], p.m_chain)));
             },
             "message TEXT", "show TEXT, fitted to the chain", "vornikctl message HELLO"},
            {"attributes", nullptr, 0,
             [](CtlProgram &p) {
                 const CommandList commands = ChainInput::attributes(
                         ChainInput::given([&p](auto &name) { return p.option(name); }),
                         p.option("message"), p.m_chain, "--");
                 if (commands.isEmpty())
                     throw ChainInput::Refusal{"attributes needs at least one of --fonts, "
                                               "--underscore, --effects, --speeds"};
                 return p.sendOnce(commands);
             },
             "attributes [--fonts F] [--underscore U] [--effects E] [--speeds S] [--message T]",
             "each given field's Enter (the message only with --message)",
             "vornikctl attributes --effects 123456 --message HELLO"},
            {"write-all", nullptr, 1,
             [](CtlProgram &p) {
                 return p.sendOnce(ChainInput::writeAll(
                         ChainInput::given([&p](auto &name) { return p.option(name); }),
                         p.m_arguments[0], p.m_chain, "--"));
             },
             "write-all TEXT [--fonts F] [--effects E] [--speeds S]",
             "fonts, effects, speeds, then the message (\"Write all\")",
             "vornikctl write-all HELLO --effects 111111"},
            {"char", nullptr, 1,
             [](CtlProgram &p) {
                 return p.sendOnce(MessageCommands::showCharacter(
                         ChainInput::userCode("char", p.m_arguments[0]), Pause::kShort));
             },
             "char CODE",
             QStringLiteral("show character CODE (%1-%2) on the first digit")
                     .arg(Protocol::kFirstUserCode)
                     .arg(Protocol::kLastUserCode),
             "vornikctl char 65"},
            {"blank", nullptr, 0,
             [](CtlProgram &p) { return p.sendOnce(MessageCommands::blank(p.m_chain)); }, "blank",
             "blank the chain (\"Send character\")", "vornikctl blank"},
            {"font", "upload", 1, &CtlProgram::planFontUpload, "font upload FILE [--fonts F]",
             "the user font to every module (\"Commit\"); - reads stdin",
             "vornikctl font upload myfont.fnt"},
            {"font", "write", 2,
             [](CtlProgram &p) {
                 const int code = ChainInput::userCode("font write", p.m_arguments[0]);
                 const QString pattern = ChainInput::pattern("pattern", p.m_arguments[1]);
                 return p.sendOnce(FontCommands::writePattern(QByteArray(1, char(code)), pattern,
                                                              Pause::kShort));
             },
             "font write CODE PATTERN", "one pattern to the first module (\"Write\")",
             "vornikctl font write 65 111111000000000"},
            {"clock", nullptr, 0, [](CtlProgram &p) { return p.runMode(ModeInputs::Time); },
             "clock", "the time, until interrupted", "vornikctl clock"},
            {"date", nullptr, 0, [](CtlProgram &p) { return p.runMode(ModeInputs::Date); }, "date",
             "the date, until interrupted", "vornikctl date"},
            {"count", nullptr, 0,
             [](CtlProgram &p) {
                 const QString from = ModeSteps::counterNormalised(p.option("from").value_or(""));
                 return p.runMode(ModeInputs::Count, from);
             },
             "count [--from N] [--delay D]",
             QStringLiteral("count up every D ms (default %1), until interrupted")
                     .arg(ModeSteps::kDefaultDelay),
             "vornikctl count --from 500"},
            {"animate", nullptr, 0, [](CtlProgram &p) { return p.runMode(ModeInputs::Animate); },
             "animate --from A --to B [--delay D]",
             "run through the user font from A to B, until interrupted",
             QStringLiteral("vornikctl animate --from %1 --to %2 --delay 200")
                     .arg(ModeSteps::kDefaultStart)
                     .arg(ModeSteps::kDefaultStop)},
            {"test", nullptr, 0, &CtlProgram::planTest, "test",
             "the segment test until interrupted, then its end commands", "vornikctl test"}};
    return table;
}

CtlProgram::CtlProgram(const QStringList &arguments)
{
    m_parser.setApplicationDescription(
            "Drives a chain of Vornik display modules over a serial "
            "line, with the frames\nand pauses of the window's actions.");
    m_parser.addOptions(
            {{"port", "The serial device (or VORNIK_PORT; else the USB adapter).", "DEVICE"},
             {"wait", "Wait up to SECONDS for a port in use to come free.", "SECONDS"},
             {"chain",
              QStringLiteral("Digits in the chain, 1 to %1 (default 6).").arg(Protocol::kMaxDigits),
              "N"},
             {"dry-run", "Print each frame as the transmit log would; open no port."},
             {{"h", "help"}, "Print this help."},
             {"version", "Print the version."},
             {"fonts", "A font per digit (attributes, write-all, font upload).", "F"},
             {"underscore", "An underscore per digit: 0, 1 or ! (attributes).", "U"},
             {"effects", "An effect per digit (attributes, write-all).", "E"},
             {"speeds", "A speed per digit (attributes, write-all).", "S"},
             {"message", "The message sent after the attributes (attributes).", "T"},
             {"from", "The first count (count) or character code (animate).", "N"},
             {"to", "The last character code (animate).", "B"},
             {"delay",
              QStringLiteral("Milliseconds between steps, %1 to %2 (count, animate).")
                      .arg(ModeSteps::kDelayMin)
                      .arg(ModeSteps::kDelayMax),
              "D"},
             {"latest", "Show the newest line, drop the backlog (message -)."},
             {"json", "The listing as JSON (ports)."}});
    m_parser.addPositionalArgument("command", "One of the commands below.", "COMMAND [ARGUMENTS]");
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (!m_parser.parse(arguments))
        m_parseError = m_parser.errorText() + " (see --help)";
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
           + "\nWithout --port or VORNIK_PORT the one USB serial adapter is used, never a console."
             "\n\nExit status: 0 done, 1 output not written, 2 usage or input error, 3 port not "
             "opened\nor in use, 4 not a font file, 5 the line failed, 130 Ctrl+C. SIGTERM and "
             "SIGHUP end\na mode cleanly with 0. Testing aid: VORNIK_PAUSE_SCALE=F multiplies "
             "every pause by F.\n";
}

int CtlProgram::run()
{
    Plan plan;
    QString device;
    try {
        if (!m_parseError.isEmpty())
            throw ChainInput::Refusal{m_parseError};
        if (m_parser.isSet("help") || m_parser.isSet("version")) {
            const QString text
                    = m_parser.isSet("help") ? help() : "vornikctl " VORNIK_VERSION_STRING "\n";
            return print(text.toLocal8Bit()) ? Exit::Done : Exit::OutputFailed;
        }
        m_chain = ChainInput::number("--chain", option("chain").value_or("6"), 1,
                                     Protocol::kMaxDigits);
        m_wait = ChainInput::number("--wait", option("wait").value_or("0"), 0, 24 * 3600);
        plan = find().planner(*this);
        if (plan && !m_dryRun) {
            const bool environment
                    = !m_parser.isSet("port") && qEnvironmentVariableIsSet("VORNIK_PORT");
            const auto port = PortList::choose(environment ? qEnvironmentVariable("VORNIK_PORT")
                                                           : option("port"),
                                               PortList::available());
            if (port.device.isEmpty())
                throw Refusal{port.refusal, port.emptyName ? Exit::InputError : Exit::PortError};
            printErr(port.note);
            device = port.device;
        }
    } catch (const ChainInput::Refusal &refusal) {
        printErr(refusal.text);
        return Exit::InputError;
    } catch (const Refusal &refusal) {
        printErr(refusal.text);
        return refusal.status;
    }
    if (!plan)
        return Exit::Done;
    m_line = std::make_unique<ChainLine>(m_dryRun);
    // A dry run prints a line per frame, its control bytes as the receive log writes them.
    if (m_dryRun)
        QObject::connect(&m_line->link(), &SerialLink::frameWritten, [this](auto &frame) {
            if (!print(frameLogText(frame).toLatin1() + '\n'))
                m_line->finish(Exit::OutputFailed);
        });
    QObject::connect(m_line.get(), &ChainLine::failed, [this](const QString &reason) {
        std::fputs(m_midLine ? "\n" : "", stderr);
        printErr("the line failed while sending: " + reason);
        m_line->finish(Exit::LineFailed);
    });
    // A mode, the test and "message -" run until a signal; so may a wait for the port.
    const auto *signals = new SignalWatcher(m_line.get());
    QObject::connect(signals, &SignalWatcher::terminationRequested, [this](int signal) {
        m_stopStatus = signal == SIGINT ? Exit::Interrupted : Exit::Done;
        m_stop ? m_stop() : m_line->finish(m_stopStatus);
    });
    QObject::connect(m_line.get(), &ChainLine::waiting,
                     [](const QString &reason) { printErr(reason + "; waiting for it"); });
    QTimer::singleShot(0, m_line.get(), [this, device, plan] {
        if (m_line->open(device, m_wait))
            return plan();
        printErr(m_line->openError());
        m_line->finish(Exit::PortError);
    });
    return QCoreApplication::exec();
}

CtlProgram::Plan CtlProgram::sendOnce(const CommandList &commands)
{
    return [this, commands] {
        const bool failed = m_line->sender().send(commands) == PacedSender::Outcome::LineFailed;
        m_line->finish(failed ? Exit::LineFailed : Exit::Done);
    };
}

const CtlProgram::Command &CtlProgram::find()
{
    QList<CommandWords::Shape> shapes;
    for (const Command &command : commands())
        shapes.append({command.command, command.subCommand, command.arguments, command.usage});
    const CommandWords::Found found = CommandWords::find(shapes, m_parser.positionalArguments(),
                                                         m_parser.optionNames(), kEveryCommand);
    if (found.index < 0)
        throw ChainInput::Refusal{found.refusal};
    m_arguments = found.arguments;
    return commands().at(found.index);
}

std::optional<QString> CtlProgram::option(const QString &name) const
{
    return m_parser.isSet(name) ? std::optional<QString>(m_parser.value(name)) : std::nullopt;
}

CtlProgram::Plan CtlProgram::runMode(ModeInputs::Mode mode, const QString &counter)
{
    const auto animation
            = ChainInput::animation({option("from"), option("to"), option("delay")}, mode, "--");
    return [this, mode, animation, counter] {
        m_modeInputs = std::make_unique<FixedModeInputs>(mode, m_chain, animation, counter);
        auto *runner = new ModeRunner(m_line->sender(), *m_modeInputs, m_line.get());
        runner->modeChosen(mode, animation[ModeSteps::kDelayField]);
    };
}

CtlProgram::Plan CtlProgram::planPorts()
{
    const QList<ListedPort> ports = PortList::available();
    if (!print(m_parser.isSet("json") ? PortList::json(ports) : PortList::columns(ports)))
        throw Refusal{QString(), Exit::OutputFailed};
    return Plan();
}

CtlProgram::Plan CtlProgram::planLines()
{
    const bool latest = m_parser.isSet("latest");
    return [this, latest] {
        auto *feed = new LineFeed(STDIN_FILENO, m_line->sender(), m_chain, latest, m_line.get());
        QObject::connect(feed, &LineFeed::skipped,
                         [](const QString &reason) { printErr(reason + ", line skipped"); });
        m_stop = [this, feed] {
            if (feed->dropped() > 0)
                printErr(QStringLiteral("lines dropped for newer ones: %1").arg(feed->dropped()));
            if (feed->unsent() > 0)
                printErr(QStringLiteral("lines not sent: %1").arg(feed->unsent()));
            m_line->finish(m_stopStatus);
        };
        QObject::connect(feed, &LineFeed::finished, m_line.get(), m_stop);
    };
}

CtlProgram::Plan CtlProgram::planFontUpload()
{
    auto table = std::make_shared<FontTable>();
    const FontFile::Patterns read = FontLoad::load(m_arguments[0], *table);
    if (!read.ok())
        throw Refusal{read.refusalFrom(FontLoad::sourceName(m_arguments[0])), Exit::FileError};
    const QByteArray fonts = ChainInput::attribute(Fonts, "--fonts", option("fonts"), m_chain);
    const bool progress = ::isatty(STDERR_FILENO) == 1 && !m_dryRun;
    return [this, table, fonts, progress] {
        auto *job = new UploadJob(m_line->sender(), m_line.get());
        const auto draw = [this, job](int sent, int total) {
            m_midLine = sent < total;
            std::fputs(qPrintable('\r' + job->progressLine(sent, total) + (m_midLine ? "" : "\n")),
                       stderr);
        };
        if (progress)
            QObject::connect(job, &UploadJob::progress, job, draw);
        const PacedSender::Outcome outcome = job->run(fonts, *table);
        if (progress && outcome == PacedSender::Outcome::Complete)
            draw(job->total(), job->total());
        const bool failed = outcome == PacedSender::Outcome::LineFailed;
        m_line->finish(failed ? Exit::LineFailed : m_stopStatus);
    };
}

CtlProgram::Plan CtlProgram::planTest()
{
    return [this] {
        auto *runner = new SegmentTestRunner(
                m_line->sender(), [this] { return m_chain; }, m_line.get());
        runner->requestStart();
        m_stop = [runner] { runner->requestStop(); };
        QObject::connect(runner, &SegmentTestRunner::ended, m_line.get(),
                         [this] { m_line->finish(m_stopStatus); });
    };
}
