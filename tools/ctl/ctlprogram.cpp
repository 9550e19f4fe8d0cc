#include "ctlprogram.h"

#include "chaindriver.h"
#include "ctlmodeinputs.h"

#include "core/basicutilities.h"
#include "core/inputlines.h"
#include "core/signalwatcher.h"
#include "core/suggestion.h"
#include "font/fontcommands.h"
#include "font/fontload.h"
#include "font/fontrules.h"
#include "font/fonttable.h"
#include "protocol/chainprotocol.h"
#include "protocol/digitattributes.h"
#include "protocol/fieldcheck.h"
#include "protocol/fieldrules.h"
#include "protocol/messagecommands.h"
#include "serial/portlist.h"
#include "session/moderunner.h"
#include "session/segmenttestrunner.h"
#include "session/uploadjob.h"

#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

// Input the program refuses, and the status it ends with.
struct Refusal
{
    QString text;
    Exit::Status status = Exit::InputError;
};

using namespace DigitAttributes; // the rows: Fonts, Effects, Speeds

void printErr(const QString &text)
{
    std::fputs(qPrintable("vornikctl: " + text + '\n'), stderr);
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
                         p.userCode("char", p.m_arguments[0]), Pause::kShort));
             },
             "char CODE",
             QStringLiteral("show character CODE (%1-%2) on the first digit")
                     .arg(Protocol::kFirstUserCode)
                     .arg(Protocol::kLastUserCode),
             "vornikctl char 65"},
            {"blank", nullptr, 0,
             [](CtlProgram &p) { return sendOnce(MessageCommands::blank(p.m_chain)); }, "blank",
             "blank the chain (\"Send character\")", "vornikctl blank"},
            {"font", "upload", 1, &CtlProgram::planFontUpload, "font upload FILE [--fonts F]",
             "the whole user font to every module (\"Commit\")",
             "vornikctl font upload myfont.fnt"},
            {"font", "write", 2,
             [](CtlProgram &p) {
                 const int code = p.userCode("font write", p.m_arguments[0]);
                 const QString pattern = checked(
                         "pattern", FieldCheck::typed(p.m_arguments[1], FontRules::patternKey),
                         " is not 0 or 1");
                 if (!FontRules::isPattern(pattern))
                     throw Refusal{"font write: a pattern has 15 characters \"0\" or \"1\""};
                 return sendOnce(FontCommands::writePattern(QByteArray(1, char(code)), pattern,
                                                            Pause::kShort));
             },
             "font write CODE PATTERN", "one pattern to the first module (\"Write\")",
             "vornikctl font write 65 111111000000000"},
            {"clock", nullptr, 0, [](CtlProgram &p) { return p.runMode(ModeInputs::Time, {}); },
             "clock", "the time, until interrupted", "vornikctl clock"},
            {"date", nullptr, 0, [](CtlProgram &p) { return p.runMode(ModeInputs::Date, {}); },
             "date", "the date, until interrupted", "vornikctl date"},
            {"count", nullptr, 0,
             [](CtlProgram &p) {
                 p.needWholeNumbers({"from", "delay"}, false,
                                    "count: --from and --delay take whole numbers");
                 return p.runMode(ModeInputs::Count,
                                  {QString(), QString(), p.m_parser.value("delay")},
                                  ModeSteps::counterNormalised(p.m_parser.value("from")));
             },
             "count [--from N] [--delay D]",
             QStringLiteral("count up every D ms (default %1), until interrupted")
                     .arg(ModeSteps::kDefaultDelay),
             "vornikctl count --from 500"},
            {"animate", nullptr, 0,
             [](CtlProgram &p) {
                 if (!p.m_parser.isSet("from") || !p.m_parser.isSet("to"))
                     throw Refusal{"animate needs --from and --to (see --help)"};
                 p.needWholeNumbers({"from", "to", "delay"}, true,
                                    "animate: --from, --to and --delay take whole numbers");
                 return p.runMode(ModeInputs::Animate,
                                  {p.m_parser.value("from"), p.m_parser.value("to"),
                                   p.m_parser.value("delay")});
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
            throw Refusal{m_parseError};
        if (m_parser.isSet("help") || m_parser.isSet("version")) {
            const QString text
                    = m_parser.isSet("help") ? help() : "vornikctl " + VersionText() + '\n';
            std::fputs(qPrintable(text), stdout);
            return Exit::Done;
        }
        bool ok = !m_parser.isSet("chain");
        if (!ok)
            m_chain = m_parser.value("chain").toInt(&ok);
        if (!ok || m_chain < 1 || m_chain > Protocol::kMaxDigits)
            throw Refusal{QStringLiteral("--chain takes a number from 1 to %1")
                                  .arg(Protocol::kMaxDigits)};
        plan = find().planner(*this);
        device = plan && !m_dryRun ? choosePort() : QString();
    } catch (const Refusal &refusal) {
        printErr(refusal.text);
        return refusal.status;
    }
    ChainDriver driver(m_dryRun);
    if (!plan || !driver.open(device))
        return plan ? Exit::PortError : Exit::Done;
    QTimer::singleShot(0, &driver, [&] { plan(driver); });
    return QCoreApplication::exec();
}

const CtlProgram::Command &CtlProgram::find()
{
    const QStringList words = m_parser.positionalArguments();
    if (words.isEmpty())
        throw Refusal{"no command given (see --help)"};
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
    if (known.contains(words[0]))
        throw Refusal{QStringLiteral("wrong arguments for \"%1\" (see --help)").arg(words[0])};
    const QString nearest = Suggestion::nearest(words[0], known);
    if (!nearest.isEmpty())
        throw Refusal{QStringLiteral("unknown command \"%1\"; did you mean \"%2\"?")
                              .arg(words[0], nearest)};
    throw Refusal{QStringLiteral("unknown command \"%1\" (see --help)").arg(words[0])};
}

QString CtlProgram::choosePort() const
{
    const QString named
            = m_parser.isSet("port") ? m_parser.value("port") : qEnvironmentVariable("VORNIK_PORT");
    if (!named.isEmpty())
        return named;
    const QStringList devices = PortList::devices();
    if (devices.size() == 1)
        return devices.first();
    throw Refusal{devices.isEmpty() ? "no serial port found; name one with --port"
                                    : "several serial ports; name one with --port:\n  "
                                              + devices.join("\n  "),
                  Exit::PortError};
}

QString CtlProgram::checked(const QString &what, const FieldCheck::Typed &typed,
                            const QString &verdict)
{
    if (!typed.ok())
        throw Refusal{what + ": " + typed.refusal + verdict};
    return typed.text;
}

QByteArray CtlProgram::message(const QString &what, const QString &text) const
{
    return checked(what, FieldCheck::message(text, m_chain)).toLatin1();
}

QByteArray CtlProgram::attribute(int row) const
{
    const QString option = table().at(row).name;
    // An option not given stands as the window's fields stand after a length change.
    if (!m_parser.isSet(option))
        return FieldRules::resetAttribute(m_chain).toLatin1();
    const QString text = m_parser.value(option);
    return checked("--" + option, FieldCheck::attribute(row, text, m_chain)).toLatin1();
}

int CtlProgram::userCode(const QString &what, const QString &text) const
{
    const int code = FieldCheck::userCode(text);
    if (code < 0)
        throw Refusal{QStringLiteral("%1: \"%2\" is not %3")
                              .arg(what, text, FieldCheck::userCodeRange())};
    return code;
}

void CtlProgram::needWholeNumbers(const QStringList &options, bool negative,
                                  const QString &refusal) const
{
    for (const QString &option : options) {
        bool ok = false;
        const int value = m_parser.value(option).toInt(&ok);
        if (m_parser.isSet(option) && (!ok || (value < 0 && !negative)))
            throw Refusal{refusal};
    }
}

CtlProgram::Plan CtlProgram::runMode(int mode, std::array<QString, 3> animation,
                                     const QString &counter)
{
    if (animation[ModeSteps::kDelayField].isEmpty())
        animation[ModeSteps::kDelayField] = QString::number(ModeSteps::kDefaultDelay);
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
    for (const ListedPort &port : PortList::available()) {
        const QStringList columns{port.device, port.description, port.manufacturer,
                                  port.serialNumber, port.usbIds};
        std::printf("%s\n", qPrintable(columns.join('\t')));
    }
    return Plan();
}

CtlProgram::Plan CtlProgram::planLines()
{
    return [this](ChainDriver &driver) {
        auto *input = new InputLines(STDIN_FILENO, &driver);
        const auto done = [&driver] { driver.finish(Exit::Done); };
        onSignal(driver, done);
        QObject::connect(input, &InputLines::ended, &driver, done);
        QObject::connect(input, &InputLines::lineRead, &driver, [this, &driver](auto &line) {
            try {
                const QString what = "line " + QString::number(++m_lineNumber);
                const QByteArray text = message(what, QString::fromLocal8Bit(line));
                driver.sender().send(MessageCommands::message(text));
            } catch (const Refusal &refusal) {
                printErr(refusal.text + ", line skipped");
            }
        });
    };
}

CtlProgram::Plan CtlProgram::planAttributes()
{
    const QByteArray text = message("--message", m_parser.value("message"));
    CommandList commands;
    for (int row = Fonts; row <= Speeds; ++row) {
        if (!m_parser.isSet(table().at(row).name))
            continue;
        CommandList enter
                = MessageCommands::attribute(table().at(row).letter, attribute(row), text);
        // Without a message the field's Enter sends the attribute alone.
        if (!m_parser.isSet("message"))
            enter.removeLast();
        commands += enter;
    }
    if (commands.isEmpty())
        throw Refusal{
                "attributes needs at least one of --fonts, --underscore, --effects, --speeds"};
    return sendOnce(commands);
}

CtlProgram::Plan CtlProgram::planFontUpload()
{
    auto table = std::make_shared<FontTable>();
    const FontFile::Patterns read = FontLoad::load(m_arguments[0], *table);
    if (!read.ok())
        throw Refusal{
                m_arguments[0]
                        + (read.line > 0 ? QStringLiteral(": line %1: ").arg(read.line) : ": ")
                        + read.refusal,
                Exit::FileError};
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
        const PacedSender::Outcome outcome = job->run(fonts, *table);
        if (progress && outcome == PacedSender::Outcome::Complete) {
            draw(job->total(), job->total());
            std::fputs("\n", stderr);
        }
        const bool failed = outcome == PacedSender::Outcome::LineFailed;
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
        onSignal(driver, [runner, idleTicks] {
            runner->requestStop();
            *idleTicks = 0;
        });
        QObject::connect(runner, &SegmentTestRunner::runningShown, &driver, [=, &driver](bool on) {
            if (!on && *idleTicks >= 0 && ++*idleTicks == 2)
                driver.finish(Exit::Done);
        });
    };
}
