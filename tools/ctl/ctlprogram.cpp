#include "ctlprogram.h"

#include "chaindriver.h"

#include "core/basicutilities.h"
#include "core/signalwatcher.h"
#include "font/fontcommands.h"
#include "font/fontfile.h"
#include "font/fontrules.h"
#include "font/fonttable.h"
#include "modes/modecommands.h"
#include "modes/modesteps.h"
#include "modes/segmenttest.h"
#include "protocol/chainprotocol.h"
#include "protocol/fieldrules.h"
#include "protocol/messagecommands.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QLocale>
#include <QSerialPortInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

// The segment test steps at the window's tick period.
constexpr int kTestTickMs = 250;
// Count and Animate step at the window's default delay.
const QString kDefaultDelay = QStringLiteral("100");
// Global options that take a value, and the command options that do.
const QStringList kValueOptions{QStringLiteral("port"),    QStringLiteral("chain"),
                                QStringLiteral("fonts"),   QStringLiteral("underscore"),
                                QStringLiteral("effects"), QStringLiteral("speeds"),
                                QStringLiteral("message"), QStringLiteral("from"),
                                QStringLiteral("to"),      QStringLiteral("delay")};

void printErr(const QString &text)
{
    std::fputs(qPrintable(QStringLiteral("vornikctl: ") + text + QLatin1Char('\n')), stderr);
}

bool keyInserts(const KeyFilter &filter, int code, QChar &entered)
{
    const KeyVerdict verdict = filter(code);
    entered = verdict.character;
    return verdict.kind == KeyVerdict::Insert;
}

bool isNumber(const QString &text)
{
    bool ok = false;
    text.toInt(&ok);
    return ok;
}

} // namespace

CtlProgram::CtlProgram(const QStringList &arguments)
{
    if (!parse(arguments.mid(1)) && m_parseError.isEmpty())
        m_parseError = QStringLiteral("no command given (see --help)");
}

QString CtlProgram::usage()
{
    return QStringLiteral(
            "Usage: vornikctl [--port DEVICE] [--chain N] [--dry-run] COMMAND [ARGUMENTS]\n"
            "\n"
            "Drives a chain of Vornik display modules over a serial line, with the same frames\n"
            "and pauses as the window's actions.\n"
            "\n"
            "Options:\n"
            "  --port DEVICE  the serial device (or VORNIK_PORT); without either, the one port\n"
            "                 the system lists\n"
            "  --chain N      digits in the chain (default 6)\n"
            "  --dry-run      print each frame as the transmit log would; open no port\n"
            "  --help, --version\n"
            "\n"
            "Commands:\n"
            "  ports                       list the serial ports\n"
            "      vornikctl ports\n"
            "  message TEXT                show TEXT, fitted to the chain\n"
            "      vornikctl message HELLO\n"
            "  message -                   show each line of standard input as it arrives\n"
            "      tail -F log | vornikctl message -\n"
            "  attributes [--fonts F] [--underscore U] [--effects E] [--speeds S] [--message T]\n"
            "                              each field's Enter (the message only with --message)\n"
            "      vornikctl attributes --effects 123456 --message HELLO\n"
            "  write-all TEXT [--fonts F] [--effects E] [--speeds S]\n"
            "                              fonts, effects, speeds, message (\"Write all\")\n"
            "      vornikctl write-all HELLO --effects 111111\n"
            "  char CODE                   show character CODE (10-125) on the first digit\n"
            "      vornikctl char 65\n"
            "  blank                       blank the chain (\"Send character\")\n"
            "      vornikctl blank\n"
            "  font upload FILE [--fonts F]  the whole user font to every module (\"Commit\")\n"
            "      vornikctl font upload myfont.fnt\n"
            "  font write CODE PATTERN     one pattern to the first module (\"Write\")\n"
            "      vornikctl font write 65 111111000000000\n"
            "  clock | date                the time or the date, until interrupted\n"
            "      vornikctl clock\n"
            "  count [--from N] [--delay D]  count up every D ms (default 100), until interrupted\n"
            "      vornikctl count --from 500\n"
            "  animate --from A --to B [--delay D]  run through the user font, until interrupted\n"
            "      vornikctl animate --from 48 --to 57 --delay 200\n"
            "  test                        the segment test, until interrupted\n"
            "      vornikctl test\n"
            "\n"
            "Exit status: 0 done, 2 usage or input error, 3 the port cannot be opened,\n"
            "4 a file cannot be read or is not a font file, 5 the line failed while sending.\n"
            "Ctrl+C or SIGTERM ends a mode or the test cleanly.\n"
            "\n"
            "Testing aid: VORNIK_PAUSE_SCALE=F multiplies every pause by F (0 = no pauses).\n");
}

bool CtlProgram::parse(const QStringList &arguments)
{
    for (int i = 0; i < arguments.size(); ++i) {
        QString argument = arguments.at(i);
        if (argument == QLatin1String("-") || !argument.startsWith(QLatin1String("-"))) {
            if (m_command.isEmpty())
                m_command = argument;
            else
                m_positional.append(argument);
            continue;
        }
        argument = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        QString value;
        const int equals = argument.indexOf(QLatin1Char('='));
        if (equals >= 0) {
            value = argument.mid(equals + 1);
            argument.truncate(equals);
        }
        if (argument == QLatin1String("help") || argument == QLatin1String("h")) {
            m_help = true;
        } else if (argument == QLatin1String("version")) {
            m_version = true;
        } else if (argument == QLatin1String("dry-run")) {
            m_dryRun = true;
        } else if (kValueOptions.contains(argument)) {
            if (equals < 0) {
                if (i + 1 >= arguments.size()) {
                    m_parseError = QStringLiteral("--%1 needs a value").arg(argument);
                    return false;
                }
                value = arguments.at(++i);
            }
            m_options.insert(argument, value);
        } else {
            m_parseError = QStringLiteral("unknown option --%1 (see --help)").arg(argument);
            return false;
        }
    }
    if (m_options.contains(QStringLiteral("chain"))) {
        bool ok = false;
        m_chain = m_options.value(QStringLiteral("chain")).toInt(&ok);
        if (!ok || m_chain < 1 || m_chain > 10) {
            m_parseError = QStringLiteral("--chain takes a number from 1 to 10");
            return false;
        }
    }
    m_port = option(QStringLiteral("port"), qEnvironmentVariable("VORNIK_PORT"));
    return m_help || m_version || !m_command.isEmpty();
}

int CtlProgram::fail(Status status, const QString &message) const
{
    printErr(message);
    return status;
}

QString CtlProgram::option(const QString &name, const QString &fallback) const
{
    return m_options.value(name, fallback);
}

QString CtlProgram::checked(const QString &what, const QString &text,
                            const std::function<bool(int, QChar &)> &accepts,
                            QString &refusal) const
{
    QString entered;
    for (int i = 0; i < text.size(); ++i) {
        QChar c;
        if (!accepts(text.at(i).unicode(), c)) {
            if (refusal.isEmpty())
                refusal = QStringLiteral("%1: character \"%2\" (code %3) at position %4 cannot "
                                         "be shown")
                                  .arg(what, text.at(i))
                                  .arg(text.at(i).unicode())
                                  .arg(i + 1);
            return QString();
        }
        entered += c;
    }
    return entered;
}

QString CtlProgram::checkedAttribute(const QString &name, QString &refusal) const
{
    static const QMap<QString, KeyFilter> filters{
            {QStringLiteral("fonts"), FieldRules::fontsKey},
            {QStringLiteral("underscore"), FieldRules::underscoreKey},
            {QStringLiteral("effects"), FieldRules::effectsKey},
            {QStringLiteral("speeds"), FieldRules::speedsKey}};
    const KeyFilter filter = filters.value(name);
    const QString text = checked(
            QStringLiteral("--") + name, option(name),
            [&](int code, QChar &c) { return keyInserts(filter, code, c); }, refusal);
    // An option not given stands as the window's fields stand after a length change.
    if (!m_options.contains(name))
        return FieldRules::resetAttribute(m_chain);
    return FieldRules::settledAttribute(text, m_chain);
}

QString CtlProgram::choosePort(QString &refusal) const
{
    if (!m_port.isEmpty())
        return m_port;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    if (ports.size() == 1)
        return ports.first().systemLocation();
    QString list;
    for (const QSerialPortInfo &port : ports)
        list += QStringLiteral("\n  ") + port.systemLocation();
    refusal = ports.isEmpty()
                      ? QStringLiteral("no serial port found; name one with --port")
                      : QStringLiteral("several serial ports; name one with --port:") + list;
    return QString();
}

int CtlProgram::run()
{
    if (m_help) {
        std::fputs(qPrintable(usage()), stdout);
        return Done;
    }
    if (m_version) {
        std::printf("vornikctl %s\n", qPrintable(VersionText()));
        return Done;
    }
    if (!m_parseError.isEmpty())
        return fail(InputError, m_parseError);
    bool scaleOk = false;
    const double scale = qEnvironmentVariable("VORNIK_PAUSE_SCALE").toDouble(&scaleOk);
    if (scaleOk && scale >= 0)
        setDelayScale(scale);
    if (m_command == QLatin1String("ports"))
        return listPorts();
    return runOnChain();
}

int CtlProgram::listPorts() const
{
    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts()) {
        const QString ids
                = port.hasVendorIdentifier() && port.hasProductIdentifier()
                          ? QStringLiteral("%1:%2")
                                    .arg(port.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                                    .arg(port.productIdentifier(), 4, 16, QLatin1Char('0'))
                          : QString();
        const QStringList columns{port.systemLocation(), port.description(), port.manufacturer(),
                                  port.serialNumber(), ids};
        std::printf("%s\n", qPrintable(columns.join(QLatin1Char('\t'))));
    }
    return Done;
}

CtlProgram::Plan CtlProgram::plan()
{
    using Planner = Plan (CtlProgram::*)();
    // Command word, its positional argument count, and what it sends.
    struct Entry
    {
        const char *command;
        const char *first; // the first positional argument, where it names a sub-command
        int arguments;
        Planner planner;
    };
    static const Entry table[] = {
            {"message", nullptr, 1, &CtlProgram::planMessage},
            {"attributes", nullptr, 0, &CtlProgram::planAttributes},
            {"write-all", nullptr, 1, &CtlProgram::planWriteAll},
            {"char", nullptr, 1, &CtlProgram::planCharacter},
            {"blank", nullptr, 0, &CtlProgram::planBlank},
            {"font", "upload", 2, &CtlProgram::planFontUpload},
            {"font", "write", 3, &CtlProgram::planFontWrite},
            {"clock", nullptr, 0, &CtlProgram::planClock},
            {"date", nullptr, 0, &CtlProgram::planClock},
            {"count", nullptr, 0, &CtlProgram::planCount},
            {"animate", nullptr, 0, &CtlProgram::planAnimate},
            {"test", nullptr, 0, &CtlProgram::planTest},
    };
    for (const Entry &entry : table) {
        if (m_command == QLatin1String(entry.command) && m_positional.size() == entry.arguments
            && (!entry.first || m_positional.first() == QLatin1String(entry.first)))
            return (this->*entry.planner)();
    }
    Plan unknown;
    unknown.refusal = QStringLiteral("unknown command or wrong arguments: \"%1\" (see --help)")
                              .arg((QStringList{m_command} + m_positional).join(QLatin1Char(' ')));
    return unknown;
}

int CtlProgram::runOnChain()
{
    const Plan plan = this->plan();
    if (!plan.refusal.isEmpty())
        return fail(plan.failure, plan.refusal);

    ChainDriver driver(m_dryRun);
    if (!m_dryRun) {
        QString refusal;
        const QString device = choosePort(refusal);
        if (device.isEmpty())
            return fail(PortError, refusal);
        if (!driver.open(device))
            return PortError;
    }
    if (plan.repeating)
        return plan.repeating(driver);
    return driver.send(plan.commands, plan.progress) ? Done : LineFailed;
}

QString CtlProgram::checkedMessage(const QString &what, const QString &text, QString &refusal) const
{
    return checked(
            what, text,
            [](int code, QChar &c) { return keyInserts(FieldRules::sentenceKey, code, c); },
            refusal);
}

CtlProgram::Plan CtlProgram::planMessage()
{
    Plan plan;
    if (m_positional.first() == QLatin1String("-")) {
        plan.repeating = [this](ChainDriver &driver) { return sendMessagesFromInput(driver); };
        return plan;
    }
    const QString text
            = checkedMessage(QStringLiteral("message"), m_positional.first(), plan.refusal);
    plan.commands = MessageCommands::message(FieldRules::settledMessage(text, m_chain).toLatin1());
    return plan;
}

CtlProgram::Plan CtlProgram::planAttributes()
{
    Plan plan;
    const QString message = checkedMessage(QStringLiteral("--message"),
                                           option(QStringLiteral("message")), plan.refusal);
    const QByteArray settled = FieldRules::settledMessage(message, m_chain).toLatin1();
    const QList<QPair<QString, char>> fields{{QStringLiteral("fonts"), 'F'},
                                             {QStringLiteral("underscore"), 'U'},
                                             {QStringLiteral("effects"), 'E'},
                                             {QStringLiteral("speeds"), 'S'}};
    for (const auto &[name, letter] : fields) {
        if (!m_options.contains(name))
            continue;
        CommandList enter = MessageCommands::attribute(
                letter, checkedAttribute(name, plan.refusal).toLatin1(), settled);
        // Without a message the field's Enter sends the attribute alone.
        if (!m_options.contains(QStringLiteral("message")))
            enter.removeLast();
        plan.commands += enter;
    }
    if (plan.commands.isEmpty() && plan.refusal.isEmpty())
        plan.refusal = QStringLiteral("attributes needs at least one of --fonts, --underscore, "
                                      "--effects, --speeds");
    return plan;
}

CtlProgram::Plan CtlProgram::planWriteAll()
{
    Plan plan;
    const QString text
            = checkedMessage(QStringLiteral("message"), m_positional.first(), plan.refusal);
    plan.commands = MessageCommands::writeAll(
            checkedAttribute(QStringLiteral("fonts"), plan.refusal).toLatin1(),
            checkedAttribute(QStringLiteral("effects"), plan.refusal).toLatin1(),
            checkedAttribute(QStringLiteral("speeds"), plan.refusal).toLatin1(),
            FieldRules::settledMessage(text, m_chain).toLatin1());
    return plan;
}

CtlProgram::Plan CtlProgram::planCharacter()
{
    Plan plan;
    bool ok = false;
    const int code = m_positional.first().toInt(&ok);
    if (!ok || !Protocol::isUserCode(code))
        plan.refusal = QStringLiteral("char: \"%1\" is not a character code from 10 to 125 "
                                      "(13 and 33 excepted)")
                               .arg(m_positional.first());
    plan.commands = MessageCommands::showCharacter(code, FontCommands::kShortPause);
    return plan;
}

CtlProgram::Plan CtlProgram::planBlank()
{
    Plan plan;
    plan.commands = MessageCommands::blank(m_chain);
    return plan;
}

CtlProgram::Plan CtlProgram::planFontUpload()
{
    Plan plan;
    QFile file(m_positional.at(1));
    if (!file.open(QIODevice::ReadOnly)) {
        plan.failure = FileError;
        plan.refusal = QStringLiteral("%1: %2").arg(file.fileName(), file.errorString());
        return plan;
    }
    const FontFile::Patterns read = FontFile::readLoadFile(file);
    if (!read.ok()) {
        plan.failure = FileError;
        plan.refusal = read.line > 0 ? QStringLiteral("%1: line %2: %3")
                                               .arg(file.fileName())
                                               .arg(read.line)
                                               .arg(read.refusal)
                                     : QStringLiteral("%1: %2").arg(file.fileName(), read.refusal);
        return plan;
    }
    FontTable table;
    for (int i = 0; i < read.patterns.size(); ++i)
        table.setPattern(FontTable::kFirstUserCode + i, read.patterns.at(i));
    plan.commands = FontCommands::upload(
            checkedAttribute(QStringLiteral("fonts"), plan.refusal).toLatin1(), table);
    plan.progress = ::isatty(STDERR_FILENO) == 1 && !m_dryRun;
    return plan;
}

CtlProgram::Plan CtlProgram::planFontWrite()
{
    Plan plan;
    bool ok = false;
    const int code = m_positional.at(1).toInt(&ok);
    const QString pattern = checked(
            QStringLiteral("pattern"), m_positional.at(2),
            [](int key, QChar &c) { return keyInserts(FontRules::patternKey, key, c); },
            plan.refusal);
    if (!ok || !Protocol::isUserCode(code))
        plan.refusal = QStringLiteral("font write: \"%1\" is not a character code from 10 to "
                                      "125 (13 and 33 excepted)")
                               .arg(m_positional.at(1));
    else if (plan.refusal.isEmpty() && !FontRules::isPattern(pattern))
        plan.refusal = QStringLiteral("font write: a pattern has 15 characters \"0\" or \"1\"");
    plan.commands = FontCommands::writePattern(QByteArray(1, static_cast<char>(code)), pattern,
                                               FontCommands::kShortPause);
    return plan;
}

CtlProgram::Plan CtlProgram::planClock()
{
    Plan plan;
    const bool date = m_command == QLatin1String("date");
    const QLocale locale = QLocale::system();
    const QString format = date ? locale.dateFormat(QLocale::ShortFormat)
                                : locale.timeFormat(QLocale::ShortFormat);
    plan.repeating = [this, date, format](ChainDriver &driver) {
        auto last = std::make_shared<QString>();
        return repeat(driver, [&driver, date, format, last] {
            const QDateTime now = QDateTime::currentDateTime();
            // The user's 12- or 24-hour clock and order of day, month and year, as digits.
            const QString text = date ? ModeSteps::dateDigits(now.date(), format)
                                      : ModeSteps::timeDigits(now.time(), format);
            if (text != *last) {
                driver.send(ModeCommands::clock(text));
                *last = text;
            }
            // Wake just after the next second begins rather than polling.
            return 1001 - QTime::currentTime().msec();
        });
    };
    return plan;
}

CtlProgram::Plan CtlProgram::planCount()
{
    Plan plan;
    const QString from = option(QStringLiteral("from"), QStringLiteral("0"));
    const QString delay = option(QStringLiteral("delay"), kDefaultDelay);
    if (!isNumber(from) || from.startsWith(QLatin1Char('-')) || !isNumber(delay))
        plan.refusal = QStringLiteral("count: --from and --delay take whole numbers");
    plan.repeating = [this, from, delay](ChainDriver &driver) {
        auto counter = std::make_shared<QString>(ModeSteps::counterNormalised(from));
        const int interval = qBound(ModeSteps::kDelayMin, ModeSteps::delayInterval(delay),
                                    ModeSteps::kDelayMax);
        return repeat(driver, [this, &driver, counter, interval] {
            driver.send(ModeCommands::count(*counter, m_chain));
            *counter = ModeSteps::counterNext(*counter);
            return interval;
        });
    };
    return plan;
}

CtlProgram::Plan CtlProgram::planAnimate()
{
    Plan plan;
    if (!m_options.contains(QStringLiteral("from")) || !m_options.contains(QStringLiteral("to"))) {
        plan.refusal = QStringLiteral("animate needs --from and --to (see --help)");
        return plan;
    }
    std::array<QString, 3> fields{option(QStringLiteral("from")), option(QStringLiteral("to")),
                                  option(QStringLiteral("delay"), kDefaultDelay)};
    for (const QString &field : fields) {
        if (!isNumber(field))
            plan.refusal = QStringLiteral("animate: --from, --to and --delay take whole numbers");
    }
    for (int i = 0; i < 3; ++i)
        ModeSteps::validateAnimation(fields, i);
    plan.repeating = [this, fields](ChainDriver &driver) {
        auto acc = std::make_shared<QString>(fields[ModeSteps::kStartField]);
        const int interval = ModeSteps::delayInterval(fields[ModeSteps::kDelayField]);
        return repeat(driver, [this, &driver, fields, acc, interval] {
            const int code = ModeSteps::animateNext(*acc, fields[ModeSteps::kStartField],
                                                    fields[ModeSteps::kStopField]);
            *acc = QString::number(code);
            driver.send(ModeCommands::animate(code, m_chain));
            return interval;
        });
    };
    return plan;
}

CtlProgram::Plan CtlProgram::planTest()
{
    Plan plan;
    plan.repeating = [this](ChainDriver &driver) {
        auto test = std::make_shared<SegmentTest>();
        test->requestStart();
        const int status = repeat(driver, [this, &driver, test] {
            driver.send(test->tick(true, m_chain).commands);
            return kTestTickMs;
        });
        if (status != Done)
            return status;
        // Stopped: the next tick sends the end commands.
        test->requestStop();
        driver.send(test->tick(true, m_chain).commands);
        return driver.failed() ? int(LineFailed) : int(Done);
    };
    return plan;
}

int CtlProgram::repeat(ChainDriver &driver, const std::function<int()> &step)
{
    QEventLoop loop;
    bool stepping = false;
    SignalWatcher signals;
    QObject::connect(&signals, &SignalWatcher::terminationRequested, &loop, [&] {
        driver.requestStop();
        // A step under way finishes its frame first.
        if (!stepping)
            loop.quit();
    });
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        stepping = true;
        const int next = step();
        stepping = false;
        if (driver.failed() || driver.stopRequested()) {
            loop.quit();
            return;
        }
        timer.start(qMax(1, next));
    });
    timer.start(0);
    loop.exec();
    return driver.failed() ? LineFailed : Done;
}

int CtlProgram::sendMessagesFromInput(ChainDriver &driver)
{
    QEventLoop loop;
    SignalWatcher signals;
    bool sending = false;
    QObject::connect(&signals, &SignalWatcher::terminationRequested, &loop, [&] {
        driver.requestStop();
        if (!sending)
            loop.quit();
    });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    int lineNumber = 0;
    const auto showLine = [&](QByteArray line) {
        ++lineNumber;
        if (line.endsWith('\r'))
            line.chop(1);
        QString refusal;
        const QString text = checked(
                QStringLiteral("line %1").arg(lineNumber), QString::fromLocal8Bit(line),
                [](int code, QChar &c) { return keyInserts(FieldRules::sentenceKey, code, c); },
                refusal);
        if (!refusal.isEmpty()) {
            printErr(refusal + QStringLiteral(", line skipped"));
            return;
        }
        driver.send(MessageCommands::message(FieldRules::settledMessage(text, m_chain).toLatin1()));
    };
    QObject::connect(&input, &QSocketNotifier::activated, &loop, [&] {
        char buffer[4096];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got > 0)
            pending.append(buffer, static_cast<int>(got));
        // Lines are sent one by one; input arriving meanwhile waits for the next round.
        input.setEnabled(false);
        sending = true;
        qsizetype end = -1;
        while ((end = pending.indexOf('\n')) >= 0 && !driver.failed() && !driver.stopRequested()) {
            const QByteArray line = pending.left(end);
            pending.remove(0, end + 1);
            showLine(line);
        }
        sending = false;
        if (got <= 0 && !pending.isEmpty() && !driver.failed()) {
            showLine(pending);
            pending.clear();
        }
        if (got <= 0 || driver.failed() || driver.stopRequested()) {
            loop.quit();
            return;
        }
        input.setEnabled(true);
    });
    loop.exec();
    return driver.failed() ? LineFailed : Done;
}
