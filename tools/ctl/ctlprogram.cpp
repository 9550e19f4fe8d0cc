#include "ctlprogram.h"

#include "core/commandwords.h"
#include "core/consoleoutput.h"
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
#include "session/textscroller.h"
#include "session/uploadjob.h"

#include <unistd.h>

using namespace ConsoleOutput; // say, print

// The options of every command; the others only where a command's usage names them.
static const QStringList kEveryCommand{"port", "chain",   "dry-run",    "wait",   "h",
                                       "help", "service", "token-file", "version"};

const std::vector<CtlProgram::Command> &CtlProgram::commands()
{
    static const std::vector<Command> table{
            {"ports", nullptr, 0, &CtlProgram::planPorts, nullptr, "ports [--json]",
             "list the serial ports: device, description, maker, serial, USB ids",
             "vornikctl ports --json"},
            {"message", "-", 0, &CtlProgram::planLines, "POST message", "message - [--latest]",
             "show each line of standard input as it arrives", "tail -F log | vornikctl message -"},
            {"message", nullptr, 1, &CtlProgram::planMessage, "POST message",
             "message TEXT [--pad P] [--scroll] [--rate MS] [--passes N]",
             "show TEXT; a longer one is cut, or scrolls with --scroll", "vornikctl message HI"},
            {"attributes", nullptr, 0,
             [](CtlProgram &p) {
                 return p.sendOnce(ChainInput::attributes(
                         ChainInput::given([&p](auto &name) { return p.option(name); }),
                         p.option("message"), p.m_chain, "--"));
             },
             "POST attributes",
             "attributes [--fonts F] [--underscore U] [--effects E] [--speeds S] [--message T]",
             "each given field's Enter (the message only with --message)",
             "vornikctl attributes --effects 123456 --message HELLO"},
            {"write-all", nullptr, 1,
             [](CtlProgram &p) {
                 return p.sendOnce(ChainInput::writeAll(
                         ChainInput::given([&p](auto &name) { return p.option(name); }),
                         p.m_arguments[0], p.m_chain, "--"));
             },
             "POST attributes", "write-all TEXT [--fonts F] [--effects E] [--speeds S]",
             "fonts, effects, speeds, then the message (\"Write all\")",
             "vornikctl write-all HELLO --effects 111111"},
            {"char", nullptr, 1,
             [](CtlProgram &p) {
                 return p.sendOnce(MessageCommands::showCharacter(
                         ChainInput::userCode("char", p.m_arguments[0]), Pause::kShort));
             },
             nullptr, "char CODE",
             QStringLiteral("show character CODE (%1-%2) on the first digit")
                     .arg(Protocol::kFirstUserCode)
                     .arg(Protocol::kLastUserCode),
             "vornikctl char 65"},
            {"blank", nullptr, 0,
             [](CtlProgram &p) { return p.sendOnce(MessageCommands::blank(p.m_chain)); },
             "POST blank", "blank", "blank the chain (\"Send character\")", "vornikctl blank"},
            {"font", "upload", 1, &CtlProgram::planFontUpload, "PUT font",
             "font upload FILE [--fonts F]",
             "the user font to every module (\"Commit\"); - reads stdin",
             "vornikctl font upload myfont.fnt"},
            {"font", "write", 2,
             [](CtlProgram &p) {
                 const int code = ChainInput::userCode("font write", p.m_arguments[0]);
                 const QString pattern = ChainInput::pattern("pattern", p.m_arguments[1]);
                 return p.sendOnce(FontCommands::writePattern(QByteArray(1, char(code)), pattern,
                                                              Pause::kShort));
             },
             nullptr, "font write CODE PATTERN", "one pattern to the first module (\"Write\")",
             "vornikctl font write 65 111111000000000"},
            {"clock", nullptr, 0, [](CtlProgram &p) { return p.runMode(ModeInputs::Time); },
             "PUT mode", "clock", "the time, until interrupted", "vornikctl clock"},
            {"date", nullptr, 0, [](CtlProgram &p) { return p.runMode(ModeInputs::Date); },
             "PUT mode", "date", "the date, until interrupted", "vornikctl date"},
            {"count", nullptr, 0, [](CtlProgram &p) { return p.runMode(ModeInputs::Count); },
             "PUT mode", "count [--from N] [--delay D]",
             QStringLiteral("count up every D ms (default %1), until interrupted")
                     .arg(ModeSteps::kDefaultDelay),
             "vornikctl count --from 500"},
            {"animate", nullptr, 0, [](CtlProgram &p) { return p.runMode(ModeInputs::Animate); },
             "PUT mode", "animate --from A --to B [--delay D]",
             "run through the user font from A to B, until interrupted",
             QStringLiteral("vornikctl animate --from %1 --to %2 --delay 200")
                     .arg(ModeSteps::kDefaultStart)
                     .arg(ModeSteps::kDefaultStop)},
            {"test", nullptr, 0, &CtlProgram::planTest, "PUT mode", "test",
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
             {"pad", "Fill a short message with space (default) or its last character.", "P"},
             {"scroll", "Scroll a message longer than the chain across it (message)."},
             {"rate", "Milliseconds per scroll step, 50 to 10000 (default 300).", "MS"},
             {"passes", "Times the text scrolls across, 1 to 1000 (default 1).", "N"},
             {"service", "Send through vornikd at URL (or VORNIK_SERVICE), not the port.", "URL"},
             {"token-file", "The service's token (else VORNIK_TOKEN, else vornikd's).", "FILE"},
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
    for (const Command &command : commands())
        text += CommandWords::helpEntry(command.usage, command.description, command.example);
    return text
           + "\nWithout --port or VORNIK_PORT the one USB serial adapter is used, never a console."
             "\nWith --service or VORNIK_SERVICE=URL every command but char and font write goes "
             "through\nvornikd instead (token: VORNIK_TOKEN, --token-file, else vornikd's file)."
             "\n\nExit status: 0 done, 1 output not written, 2 usage or input error, 3 port (or "
             "service)\nnot reached or in use, 4 not a font file, 5 the line failed, 130 Ctrl+C. "
             "SIGTERM and SIGHUP\nend a mode cleanly with 0. Testing aid: VORNIK_PAUSE_SCALE=F "
             "multiplies every pause by F.\n";
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
        const Command &command = find();
        if (const auto url = option("service", "VORNIK_SERVICE"); url && !url->isEmpty())
            m_client = std::make_unique<ServiceClient>(*url, command.api);
        plan = command.planner(*this);
        if (plan && m_client)
            m_client->check(command.usage, m_dryRun, option("token-file"));
        // A mode runs in the service until a signal turns it off.
        if (plan && m_client && m_client->runsMode())
            plan = [this, mode = m_parser.positionalArguments().value(0)] {
                const int status = m_client->startMode(
                        mode, {option("from"), option("to"), option("delay")});
                if (status != Exit::Done)
                    return m_line->finish(status);
                m_line->setStop([this] {
                    m_client->send({{"mode", "off"}});
                    m_line->finish(m_line->stopStatus());
                });
            };
        if (plan && !m_dryRun && !m_client) {
            const auto port
                    = PortList::choose(option("port", "VORNIK_PORT"), PortList::available());
            if (port.device.isEmpty())
                throw ChainInput::Refusal{port.refusal,
                                          port.emptyName ? Exit::InputError : Exit::PortError};
            say(port.note);
            device = port.device;
        }
    } catch (const ChainInput::Refusal &refusal) {
        say(refusal.text);
        return refusal.status;
    }
    if (!plan)
        return Exit::Done;
    m_line = std::make_unique<ChainLine>(m_dryRun || m_client);
    // A dry run prints each frame as the receive log writes it, or each request to the service.
    const auto printLine = [this](const QString &line) {
        if (!print(line.toLatin1() + '\n'))
            m_line->finish(Exit::OutputFailed);
    };
    if (m_dryRun && m_client)
        m_client->setDryRun(printLine);
    if (m_dryRun)
        QObject::connect(&m_line->link(), &SerialLink::frameWritten,
                         [printLine](auto &frame) { printLine(frameLogText(frame)); });
    return m_line->exec(device, m_wait, plan);
}

CtlProgram::Plan CtlProgram::sendOnce(const CommandList &commands)
{
    return [this, commands] {
        if (m_client)
            return m_line->finish(m_client->send(ServiceClient::fields(commands)));
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

std::optional<QString> CtlProgram::option(const QString &name, const char *variable) const
{
    if (m_parser.isSet(name) || !variable || !qEnvironmentVariableIsSet(variable))
        return m_parser.isSet(name) ? std::optional<QString>(m_parser.value(name)) : std::nullopt;
    return qEnvironmentVariable(variable);
}

CtlProgram::Plan CtlProgram::runMode(ModeInputs::Mode mode)
{
    const auto animation
            = ChainInput::animation({option("from"), option("to"), option("delay")}, mode, "--");
    const QString counter = mode == ModeInputs::Count
                                    ? ModeSteps::counterNormalised(option("from").value_or(""))
                                    : QString();
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
        throw ChainInput::Refusal{QString(), Exit::OutputFailed};
    return Plan();
}

CtlProgram::Plan CtlProgram::planLines()
{
    const bool latest = m_parser.isSet("latest");
    return [this, latest] {
        auto *feed = new LineFeed(STDIN_FILENO, m_line->sender(), m_chain, latest, m_line.get());
        if (m_client)
            feed->setShow(m_client->messages([this](int status) { m_line->finish(status); }));
        QObject::connect(feed, &LineFeed::skipped,
                         [](const QString &reason) { say(reason + ", line skipped"); });
        const auto stop = [this, feed] {
            for (const QString &note : feed->leftOver())
                say(note);
            m_line->finish(m_line->stopStatus());
        };
        m_line->setStop(stop);
        QObject::connect(feed, &LineFeed::finished, m_line.get(), stop);
    };
}

CtlProgram::Plan CtlProgram::planFontUpload()
{
    auto table = std::make_shared<FontTable>();
    const FontFile::Patterns read = FontLoad::load(m_arguments[0], *table);
    if (!read.ok())
        throw ChainInput::Refusal{read.refusalFrom(FontLoad::sourceName(m_arguments[0])),
                                  Exit::FileError};
    const QByteArray fonts
            = ChainInput::attribute(DigitAttributes::Fonts, "--fonts", option("fonts"), m_chain);
    if (m_client && option("fonts"))
        throw ChainInput::Refusal{"font upload through the service takes no --fonts"};
    const auto draw = [shown = ::isatty(STDERR_FILENO) == 1 && !m_dryRun](int sent, int total,
                                                                          double secondsLeft) {
        if (shown)
            ConsoleOutput::redraw(UploadJob::progressLine(sent, total, secondsLeft), sent < total);
    };
    return [this, table, fonts, draw] {
        if (m_client)
            return m_line->finish(m_client->upload(FontFile::saveFileBytes(*table), draw));
        auto *job = new UploadJob(m_line->sender(), m_line.get());
        QObject::connect(job, &UploadJob::progress, job, [job, draw](int sent, int total) {
            draw(sent, total, job->secondsLeft());
        });
        const PacedSender::Outcome outcome = job->run(fonts, *table);
        if (outcome == PacedSender::Outcome::Complete)
            draw(job->total(), job->total(), 0);
        const bool failed = outcome == PacedSender::Outcome::LineFailed;
        m_line->finish(failed ? Exit::LineFailed : m_line->stopStatus());
    };
}

CtlProgram::Plan CtlProgram::planTest()
{
    return [this] {
        auto *runner = new SegmentTestRunner(
                m_line->sender(), [this] { return m_chain; }, m_line.get());
        runner->requestStart();
        m_line->setStop([runner] { runner->requestStop(); });
        QObject::connect(runner, &SegmentTestRunner::ended, m_line.get(),
                         [this] { m_line->finish(m_line->stopStatus()); });
    };
}

CtlProgram::Plan CtlProgram::planMessage()
{
    const QString text = ChainInput::messageText("message", m_arguments[0]);
    const bool scroll = m_parser.isSet("scroll") && text.size() > m_chain;
    if (!scroll && text.size() > m_chain)
        say(QStringLiteral("message: cut to %1 digits; --scroll shows it all").arg(m_chain));
    if (!scroll)
        return sendOnce(MessageCommands::message(
                ChainInput::fitted(text, m_chain, ChainInput::padLast("--pad", option("pad")))));
    const int rate = ChainInput::number("--rate", option("rate").value_or("300"), 50, 10000);
    const int passes = ChainInput::number("--passes", option("passes").value_or("1"), 1, 1000);
    return [this, text, rate, passes] {
        const QJsonObject scroll{{"rate", rate}, {"passes", passes}};
        if (m_client)
            return m_line->finish(m_client->send({{"text", text}, {"scroll", scroll}}));
        auto *scroller = new TextScroller(m_line->sender(), text, m_chain, m_line.get());
        QObject::connect(scroller, &TextScroller::finished, m_line.get(),
                         [this] { m_line->finish(Exit::Done); });
        scroller->start(rate, passes, 0);
    };
}
