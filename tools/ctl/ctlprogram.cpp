#include "ctlprogram.h"

#include "core/basicutilities.h"
#include "core/inputlines.h"
#include "core/signalwatcher.h"
#include "core/suggestion.h"
#include "font/fontcommands.h"
#include "font/fontload.h"
#include "font/fonttable.h"
#include "protocol/chainprotocol.h"
#include "protocol/digitattributes.h"
#include "protocol/messagecommands.h"
#include "serial/portlist.h"
#include "session/chainline.h"
#include "session/fixedmodeinputs.h"
#include "session/moderunner.h"
#include "session/segmenttestrunner.h"
#include "session/uploadjob.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

// Input the program refuses for other reasons than its text, and the status it ends with.
struct Refusal
{
    QString text;
    Exit::Status status;
};

using DigitAttributes::Fonts;

void printErr(const QString &text)
{
    std::fputs(qPrintable("vornikctl: " + text + '\n'), stderr);
}

// A mode, the test and "message -" run until SIGINT or SIGTERM.
void onSignal(QObject *owner, const std::function<void()> &stop)
{
    QObject::connect(new SignalWatcher(owner), &SignalWatcher::terminationRequested, owner, stop);
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
                 return p.sendOnce(MessageCommands::message(
                         ChainInput::message("message", p.m_arguments[0], p.m_chain)));
             },
             "message TEXT", "show TEXT, fitted to the chain", "vornikctl message HELLO"},
            {"attributes", nullptr, 0,
             [](CtlProgram &p) {
                 const CommandList commands = ChainInput::attributes(
                         p.givenAttributes(), p.option("message"), p.m_chain, "--");
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
                 return p.sendOnce(ChainInput::writeAll(p.givenAttributes(), p.m_arguments[0],
                                                        p.m_chain, "--"));
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
             "the whole user font to every module (\"Commit\")",
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
                 const QString from = p.option("from").value_or(QString());
                 return p.runMode(ModeInputs::Count, ModeSteps::counterNormalised(from));
             },
             "count [--from N] [--delay D]",
             QStringLiteral("count up every D ms (default %1), until interrupted")
                     .arg(ModeSteps::kDefaultDelay),
             "vornikctl count --from 500"},
            {"animate", nullptr, 0,
             [](CtlProgram &p) {
                 if (!p.option("from") || !p.option("to"))
                     throw ChainInput::Refusal{"animate needs --from and --to (see --help)"};
                 return p.runMode(ModeInputs::Animate);
             },
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
            {{"port", "The serial device (or VORNIK_PORT; else the one port listed).", "DEVICE"},
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
              "D"}});
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
           + "\nExit status: 0 done, 2 usage or input error, 3 the port cannot be opened,\n"
             "4 a file cannot be read or is not a font file, 5 the line failed while "
             "sending.\nCtrl+C or SIGTERM ends a mode or the test cleanly.\n\nTesting aid: "
             "VORNIK_PAUSE_SCALE=F multiplies every pause by F (0 = no pauses).\n";
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
                    = m_parser.isSet("help") ? help() : "vornikctl " + VersionText() + '\n';
            std::fputs(qPrintable(text), stdout);
            return Exit::Done;
        }
        if (m_parser.isSet("chain"))
            m_chain = ChainInput::chainLength("--chain", m_parser.value("chain"));
        plan = find().planner(*this);
        if (plan && !m_dryRun) {
            const PortList::Choice port = PortList::choose(
                    option("port").value_or(qEnvironmentVariable("VORNIK_PORT")));
            if (port.device.isEmpty())
                throw Refusal{port.refusal, Exit::PortError};
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
    if (!m_line->open(device)) {
        printErr(m_line->openError());
        return Exit::PortError;
    }
    if (m_dryRun)
        QObject::connect(&m_line->link(), &SerialLink::commandLogged, [](const QString &text) {
            std::fputs(qPrintable(text + '\n'), stdout);
            std::fflush(stdout);
        });
    QObject::connect(m_line.get(), &ChainLine::failed, [this](const QString &reason) {
        std::fputs("\n", stderr);
        printErr("the line failed while sending: " + reason);
        m_line->finish(Exit::LineFailed);
    });
    QTimer::singleShot(0, m_line.get(), plan);
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
    const QStringList words = m_parser.positionalArguments();
    if (words.isEmpty())
        throw ChainInput::Refusal{"no command given (see --help)"};
    QStringList known;
    for (const Command &command : commands()) {
        const int skip = command.subCommand ? 2 : 1;
        if (words[0] == command.command
            && (!command.subCommand || words.value(1) == command.subCommand)
            && words.size() - skip == command.arguments) {
            m_arguments = words.mid(skip);
            return command;
        }
        known += command.command;
    }
    const QString nearest = Suggestion::nearest(words[0], known);
    const QString text = known.contains(words[0]) ? "wrong arguments for \"%1\" (see --help)"
                         : nearest.isEmpty()
                                 ? "unknown command \"%1\" (see --help)"
                                 : "unknown command \"%1\"; did you mean \"" + nearest + "\"?";
    throw ChainInput::Refusal{text.arg(words[0])};
}

std::optional<QString> CtlProgram::option(const QString &name) const
{
    return m_parser.isSet(name) ? std::optional<QString>(m_parser.value(name)) : std::nullopt;
}

ChainInput::Attributes CtlProgram::givenAttributes() const
{
    ChainInput::Attributes given;
    for (std::size_t row = 0; row < given.size(); ++row)
        given[row] = option(DigitAttributes::table().at(row).name);
    return given;
}

CtlProgram::Plan CtlProgram::runMode(int mode, const QString &counter)
{
    const auto animation = ChainInput::animation({option("from"), option("to"), option("delay")},
                                                 mode == ModeInputs::Count, "--");
    return [this, mode, animation, counter] {
        const auto chosen = static_cast<ModeInputs::Mode>(mode);
        m_modeInputs = std::make_unique<FixedModeInputs>(chosen, m_chain, animation, counter);
        auto *runner = new ModeRunner(m_line->sender(), *m_modeInputs, m_line.get());
        runner->modeChosen(chosen, animation[ModeSteps::kDelayField]);
        onSignal(m_line.get(), [this] { m_line->finish(Exit::Done); });
    };
}

CtlProgram::Plan CtlProgram::planPorts()
{
    for (const ListedPort &port : PortList::available()) {
        const QStringList columns{port.device, port.description, port.manufacturer,
                                  port.serialNumber, port.usbIds};
        std::printf("%s\n", qPrintable(columns.join('\t')));
    }
    return Plan();
}

CtlProgram::Plan CtlProgram::planLines()
{
    return [this] {
        auto *input = new InputLines(STDIN_FILENO, m_line.get());
        const auto done = [this] { m_line->finish(Exit::Done); };
        onSignal(m_line.get(), done);
        QObject::connect(input, &InputLines::ended, m_line.get(), done);
        QObject::connect(input, &InputLines::lineRead, m_line.get(), [this](auto &line) {
            try {
                const QString what = "line " + QString::number(++m_lineNumber);
                m_line->sender().send(MessageCommands::message(
                        ChainInput::message(what, QString::fromLocal8Bit(line), m_chain)));
            } catch (const ChainInput::Refusal &refusal) {
                printErr(refusal.text + ", line skipped");
            }
        });
    };
}

CtlProgram::Plan CtlProgram::planFontUpload()
{
    auto table = std::make_shared<FontTable>();
    const FontFile::Patterns read = FontLoad::load(m_arguments[0], *table);
    if (!read.ok())
        throw Refusal{read.refusalFrom(m_arguments[0]), Exit::FileError};
    const QByteArray fonts = ChainInput::attribute(Fonts, "--fonts", option("fonts"), m_chain);
    const bool progress = ::isatty(STDERR_FILENO) == 1 && !m_dryRun;
    return [this, table, fonts, progress] {
        auto *job = new UploadJob(m_line->sender(), m_line.get());
        // The progress line: characters sent and the pauses still to come.
        const auto draw = [job](int sent, int total) {
            const int filled = total > 0 ? sent * 30 / total : 30;
            std::fprintf(stderr, "\r[%s%s] %d/%d  %.1f s left ", QByteArray(filled, '#').data(),
                         QByteArray(30 - filled, ' ').data(), sent, total, job->secondsLeft());
        };
        if (progress)
            QObject::connect(job, &UploadJob::progress, job, draw);
        const PacedSender::Outcome outcome = job->run(fonts, *table);
        if (progress && outcome == PacedSender::Outcome::Complete) {
            draw(job->total(), job->total());
            std::fputs("\n", stderr);
        }
        const bool failed = outcome == PacedSender::Outcome::LineFailed;
        m_line->finish(failed ? Exit::LineFailed : Exit::Done);
    };
}

CtlProgram::Plan CtlProgram::planTest()
{
    return [this] {
        auto *runner = new SegmentTestRunner(
                m_line->sender(), [this] { return m_chain; }, m_line.get());
        runner->requestStart();
        onSignal(m_line.get(), [runner] { runner->requestStop(); });
        QObject::connect(runner, &SegmentTestRunner::ended, m_line.get(),
                         [this] { m_line->finish(Exit::Done); });
    };
}
