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
#include "session/textlayer.h"
#include "session/textscroller.h"
#include "session/uploadjob.h"

#include <QJsonObject>

#include <unistd.h>

using namespace ConsoleOutput; // say, print

// The options of every command; the others only where a command's usage names them.
static const QStringList kEveryCommand{"port", "chain",   "dry-run",    "wait",   "h",
                                       "help", "service", "token-file", "version"};

namespace {

const char *const kPortsUsage = "ports [--json]";

QString sentence(QString text)
{
    // Qt's parser writes "Unknown option 'x'."; every message here is a lower-case sentence.
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

} // namespace

const std::vector<CtlProgram::Command> &CtlProgram::commands()
{
    const auto attributes = [](CtlProgram &p, bool all) {
        ChainInput::Attributes given
                = ChainInput::given([&p](auto &name) { return p.option(name); });
        std::optional<QString> text = all ? p.m_arguments[0] : p.option("message");
        if (all)
            given = ProgramRules::writeAllGiven(given);
        const TextGlyphs::Case textCase = TextGlyphs::caseOf("--case", p.option("case"));
        const CommandList commands
                = ProgramRules::attributes(given, text, p.m_chain, "--", textCase);
        if (text && TextGlyphs::split(*text).size() > p.m_chain && !p.m_client)
            say(p.m_command->words + QStringLiteral(": ") + ProgramRules::cutNote(p.m_chain));
        return p.sendOnce(commands);
    };
    static const std::vector<Command> table{
            {"ports", &CtlProgram::planPorts},
            {"message -", &CtlProgram::planLines},
            {"message", &CtlProgram::planMessage},
            {"attributes", [attributes](CtlProgram &p) { return attributes(p, false); }},
            {"write-all", [attributes](CtlProgram &p) { return attributes(p, true); }},
            {"char",
             [](CtlProgram &p) {
                 return p.sendOnce(MessageCommands::showCharacter(
                         ChainInput::userCode("char", p.m_arguments[0]), Pause::kShort));
             }},
            {"blank", [](CtlProgram &p) { return p.sendOnce(ProgramRules::blank(p.m_chain)); }},
            {"font upload", &CtlProgram::planFontUpload},
            {"font import", &CtlProgram::planFontImport},
            {"font export", &CtlProgram::planFontExport},
            {"font write",
             [](CtlProgram &p) {
                 const int code = ChainInput::userCode("font write", p.m_arguments[0]);
                 const QString pattern = ChainInput::pattern("pattern", p.m_arguments[1]);
                 return p.sendOnce(FontCommands::writePattern(QByteArray(1, char(code)), pattern,
                                                              Pause::kShort));
             }},
            {"clock", [](CtlProgram &p) { return p.runMode(ModeInputs::Time); }},
            {"date", [](CtlProgram &p) { return p.runMode(ModeInputs::Date); }},
            {"count", [](CtlProgram &p) { return p.runMode(ModeInputs::Count); }},
            {"animate", [](CtlProgram &p) { return p.runMode(ModeInputs::Animate); }},
            {"test", &CtlProgram::planTest}};
    return table;
}

const ActionTable::Action *CtlProgram::action(const Command &command,
                                              const ActionTable::Command **entry)
{
    return ActionTable::forCommand(QLatin1String(command.words), entry);
}

QString CtlProgram::usage(const Command &command)
{
    const ActionTable::Command *entry = nullptr;
    const ActionTable::Action *found = action(command, &entry);
    return found ? found->usage(*entry) : QLatin1String(kPortsUsage);
}

CtlProgram::CtlProgram(const QStringList &arguments)
{
    m_parser.setApplicationDescription(
            "Drives a chain of Vornik display modules over a serial "
            "line, with the frames\nand pauses of the window's actions.");
    m_options = QList<QCommandLineOption>(
            {{"port", "The serial device (or VORNIK_PORT; else the USB adapter).", "DEVICE"},
             {"wait", "Wait up to SECONDS for a port in use to come free.", "SECONDS"},
             {"chain",
              QStringLiteral("Digits in the chain, 1 to %1 (default %2).")
                      .arg(Protocol::kMaxDigits)
                      .arg(ProgramRules::kDefaultChain),
              "N"},
             {"dry-run", "Print each frame as the transmit log would; open no port."},
             {{"h", "help"}, "Print this help."},
             {"version", "Print the version."},
             {"service", "Send through vornikd at URL (or VORNIK_SERVICE), not the port.", "URL"},
             {"token-file", "The service's token (else VORNIK_TOKEN, else vornikd's).", "FILE"},
             {"completion", "Print the completion script for SHELL (bash).", "SHELL"},
             {"json", "The listing as JSON (ports)."}});
    // The actions' options, each with the commands that take it.
    for (const ActionTable::Field &field : ActionTable::options()) {
        QStringList takers;
        for (const Command &command : commands())
            if (usage(command).contains(field.option + ' ')
                || usage(command).contains(field.option + ']'))
                takers += QString::fromLatin1(command.words);
        takers.removeDuplicates();
        QString help = field.help;
        help[0] = help[0].toUpper();
        if (field.rule == ActionTable::Rule::Number && field.high > field.low)
            help += QStringLiteral(", %1 to %2")
                            .arg(field.name == QLatin1String("passes") ? 1 : field.low)
                            .arg(field.high);
        if (field.rule == ActionTable::Rule::Choice)
            help += ": " + field.choices.join(QStringLiteral(" or "));
        if (!field.fallback.isEmpty())
            help += QStringLiteral(" (default %1)").arg(field.fallback);
        m_options += QCommandLineOption(field.option.mid(2),
                                        help + " (" + takers.join(QStringLiteral(", ")) + ").",
                                        field.value);
    }
    m_parser.addOptions(m_options);
    m_parser.addPositionalArgument("command", "One of the commands below.", "COMMAND [ARGUMENTS]");
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (!m_parser.parse(arguments))
        m_parseError = sentence(m_parser.errorText()) + " (see --help)";
    m_dryRun = m_parser.isSet("dry-run");
}

CtlProgram::~CtlProgram() = default;

QString CtlProgram::help() const
{
    QString text = m_parser.helpText() + "\nCommands:\n";
    for (const Command &command : commands()) {
        const ActionTable::Command *entry = nullptr;
        if (action(command, &entry))
            text += CommandWords::helpEntry(usage(command), entry->help, entry->example);
        else
            text += CommandWords::helpEntry(usage(command),
                                            "list the serial ports: device, description, maker, "
                                            "serial, USB ids",
                                            "vornikctl ports --json");
    }
    return text
           + "\nWithout --port or VORNIK_PORT the one USB serial adapter is used, never a console."
             "\nWith --service or VORNIK_SERVICE=URL every command but char and font write goes "
             "through\nvornikd instead (token: VORNIK_TOKEN, --token-file, else vornikd's file)."
             "\n\nExit status: 0 done, 1 output not written, 2 usage or input error, 3 port (or "
             "service)\nnot reached or in use, 4 not a font file, 5 the line failed, 130 Ctrl+C. "
             "SIGTERM and SIGHUP\nend a mode, the segment test and message - cleanly with 0, "
             "and cut any other command\nshort with 143 and 129. Testing aid: "
             "VORNIK_PAUSE_SCALE=F multiplies every pause by F.\n";
}

int CtlProgram::run()
{
    Plan plan;
    QString device;
    try {
        if (!m_parseError.isEmpty())
            throw ChainInput::Refusal{m_parseError};
        if (m_parser.isSet("help") || m_parser.isSet("version") || m_parser.isSet("completion")) {
            if (m_parser.isSet("completion") && m_parser.value("completion") != "bash")
                throw ChainInput::Refusal{"--completion takes bash"};
            const QString text = m_parser.isSet("help")         ? help()
                                 : m_parser.isSet("completion") ? completion()
                                                                : "vornikctl " VORNIK_VERSION_STRING
                                                                  "\n";
            return print(text.toLocal8Bit()) ? Exit::Done : Exit::OutputFailed;
        }
        m_chain = ChainInput::number(
                "--chain", option("chain").value_or(QString::number(ProgramRules::kDefaultChain)),
                1, Protocol::kMaxDigits);
        m_wait = ChainInput::number("--wait", option("wait").value_or("0"), 0, 24 * 3600);
        m_command = &find();
        if (m_parser.isSet("port") && m_parser.isSet("service"))
            throw ChainInput::Refusal{"--port and --service name two ways to the chain; give one"};
        // An explicit port wins over the service in the environment.
        const auto url
                = m_parser.isSet("port") ? option("service") : option("service", "VORNIK_SERVICE");
        if (url && !url->isEmpty())
            m_client = std::make_unique<ServiceClient>(*url, action(*m_command));
        refuseIgnored();
        plan = m_command->planner(*this);
        if (plan && m_client)
            m_client->check(QLatin1String(m_command->words), m_dryRun, option("token-file"));
        // A mode runs in the service until a signal turns it off.
        if (plan && m_client && m_client->runsMode())
            plan = [this] {
                const int status = m_client->send(body());
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
        // A signal ends a command that would end by itself with 128 + its number.
        const auto sent = std::make_shared<int>(0);
        m_line->setStop([this, sent, total = int(commands.size())] {
            if (!m_client)
                sayCutShort(*sent, total);
            m_line->finish(128 + m_line->stopSignal());
        });
        if (m_client)
            return m_line->finish(m_client->send(body()));
        QObject::connect(&m_line->link(), &SerialLink::frameWritten, m_line.get(),
                         [sent](auto &) { ++*sent; });
        const bool failed = m_line->sender().send(commands) == PacedSender::Outcome::LineFailed;
        m_line->finish(failed ? Exit::LineFailed : Exit::Done);
    };
}

const CtlProgram::Command &CtlProgram::find()
{
    QList<CommandWords::Shape> shapes;
    for (const Command &command : commands()) {
        const QString words = QLatin1String(command.words);
        const ActionTable::Command *entry = nullptr;
        int arguments = 0;
        if (const ActionTable::Action *found = action(command, &entry))
            for (const QString &name : entry->fields)
                arguments += found->field(name)->isArgument() ? 1 : 0;
        shapes.append({words.section(' ', 0, 0), words.section(' ', 1), arguments, usage(command)});
    }
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
    const bool padLast = ChainInput::padLast("--pad", option("pad"));
    const TextGlyphs::Case textCase = TextGlyphs::caseOf("--case", option("case"));
    return [this, latest, padLast, textCase] {
        auto *feed = new LineFeed(STDIN_FILENO, m_line->sender(), m_chain, latest, padLast,
                                  m_line.get());
        feed->setCase(textCase);
        if (m_client) {
            QJsonObject fields;
            for (const char *name : {"pad", "case"})
                if (option(name))
                    fields.insert(name, *option(name));
            feed->setShow(
                    m_client->messages(fields, [this](int status) { m_line->finish(status); }));
        }
        QObject::connect(feed, &LineFeed::skipped,
                         [](const QString &reason) { say(reason + ", line skipped"); });
        QObject::connect(feed, &LineFeed::cut,
                         [](const QString &note) { say("message: " + note); });
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
        const auto sent = std::make_shared<int>(0);
        m_line->setStop([this, sent] {
            say(QStringLiteral("font upload: cut short by a signal after %1 patterns").arg(*sent));
            m_line->finish(128 + m_line->stopSignal());
        });
        if (m_client)
            return m_line->finish(m_client->upload(FontFile::saveFileBytes(*table), draw));
        auto *job = new UploadJob(m_line->sender(), m_line.get());
        QObject::connect(job, &UploadJob::progress, job, [job, draw, sent](int done, int total) {
            *sent = done;
            draw(done, total, job->secondsLeft());
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
        // Its end commands reset every digit of the chain, not the window's six.
        runner->setWholeChain(true);
        runner->requestStart();
        m_line->setStop([runner] { runner->requestStop(); });
        QObject::connect(runner, &SegmentTestRunner::ended, m_line.get(),
                         [this] { m_line->finish(m_line->stopStatus()); });
    };
}

CtlProgram::Plan CtlProgram::planMessage()
{
    const QStringList characters = TextGlyphs::characters(
            "message", m_arguments[0], TextGlyphs::caseOf("--case", option("case")));
    const QString text = characters.join(QString());
    const bool padLast = ChainInput::padLast("--pad", option("pad"));
    const bool asked = m_parser.isSet("scroll");
    const ProgramRules::Scroll scroll
            = ProgramRules::scroll(option("rate"), option("passes"), std::nullopt, "--", 1);
    // Through the service its chain decides what fits; it cuts, and notes it.
    if (m_client)
        return [this, asked] {
            m_line->setStop([this] { m_line->finish(128 + m_line->stopSignal()); });
            int status = m_client->send(body());
            if (status == Exit::Done && asked)
                status = m_client->waitWhileScrolling();
            m_line->finish(status);
        };
    if (!asked || characters.size() <= m_chain) {
        const ProgramRules::Shown shown = ProgramRules::message(text, m_chain, padLast);
        if (shown.cut)
            say("message: " + ProgramRules::cutNote(m_chain));
        return sendOnce(shown.commands);
    }
    // Every glyph of the whole text goes out before the scroll starts.
    auto layer = std::make_shared<TextLayer>(m_chain);
    const TextLayer::Prepared glyphs = layer->prepare(characters);
    return [this, characters, scroll, layer, glyphs] {
        if (m_line->sender().send(glyphs.writes) == PacedSender::Outcome::LineFailed)
            return m_line->finish(Exit::LineFailed);
        auto *scroller = new TextScroller(m_line->sender(), characters, m_chain, m_line.get());
        scroller->setFrames([layer, glyphs](const QStringList &window) {
            return layer->frames(window, glyphs);
        });
        m_line->setStop([this] {
            say("message: the scroll was cut short by a signal");
            m_line->finish(128 + m_line->stopSignal());
        });
        QObject::connect(scroller, &TextScroller::finished, m_line.get(),
                         [this] { m_line->finish(Exit::Done); });
        scroller->start(scroll.rate, scroll.passes, scroll.seconds);
    };
}
