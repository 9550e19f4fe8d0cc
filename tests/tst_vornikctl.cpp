#include "core/basicutilities.h"
#include "font/fontcommands.h"
#include "font/fontfile.h"
#include "font/fonttable.h"
#include "protocol/fieldrules.h"
#include "protocol/messagecommands.h"
#include "serial/seriallink.h"
#include "support/ptypair.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>

namespace {

constexpr int kTimeoutMs = 20000;

struct Outcome
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// The transmit log's lines for commands, as --dry-run prints them.
QByteArray logLines(const CommandList &commands)
{
    QByteArray lines;
    for (const PacedCommand &command : commands)
        lines += SerialLink::logText(command.bytes(), 0, 0).toLatin1() + '\n';
    return lines;
}

QByteArray frames(const CommandList &commands)
{
    QByteArray bytes;
    for (const PacedCommand &command : commands)
        bytes += command.bytes();
    return bytes;
}

} // namespace

// vornikctl as a script sees it: the frames it prints and sends, its refusals and exit
// statuses, and what the virtual chain decodes from it.
class TestVornikctl : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        InitConstants();
        QVERIFY(m_dir.isValid());
        m_font.resetfont();
        QVERIFY(m_font.setPattern(65, QStringLiteral("101010101010101")));
        QVERIFY(m_font.setPattern(125, QStringLiteral("000000000000011")));
        writeFile(QStringLiteral("good.fnt"), FontFile::saveFileBytes(m_font));
        QByteArray bad = FontFile::saveFileBytes(m_font);
        bad.replace("012 ", "012 01x");
        writeFile(QStringLiteral("bad.fnt"), bad);
        writeFile(QStringLiteral("short.fnt"), "010 000000000000000\r\n011 000000000000000\r\n");
    }

    // Each command prints exactly the frames the window's action builds, in order.
    void dryRunPrintsTheWindowsFrames_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<CommandList>("expected");
        const auto message = [](const QString &text, int chain) {
            return FieldRules::settledMessage(text, chain).toLatin1();
        };
        QTest::newRow("message") << QStringList{"message", "Hello"}
                                 << MessageCommands::message(message("HELLO", 6));
        QTest::newRow("message on a chain of 3") << QStringList{"--chain", "3", "message", "AB"}
                                                 << MessageCommands::message(message("AB", 3));
        QTest::newRow("attributes")
                << QStringList{"attributes", "--effects", "12", "--message", "HI"}
                << MessageCommands::attribute('E', "122222", message("HI", 6));
        QTest::newRow("write-all")
                << QStringList{"write-all", "HI", "--speeds", "9", "--fonts", "U1"}
                << MessageCommands::writeAll("U11111", "000000", "999999", message("HI", 6));
        QTest::newRow("char") << QStringList{"char", "65"}
                              << MessageCommands::showCharacter(65, FontCommands::kShortPause);
        QTest::newRow("blank") << QStringList{"blank"} << MessageCommands::blank(6);
        QTest::newRow("font write")
                << QStringList{"font", "write", "66", "110000000000001"}
                << FontCommands::writePattern("B", "110000000000001", FontCommands::kShortPause);
        QTest::newRow("font upload") << QStringList{"font", "upload", path("good.fnt")}
                                     << FontCommands::upload("000000", m_font);
    }
    void dryRunPrintsTheWindowsFrames()
    {
        QFETCH(QStringList, arguments);
        QFETCH(CommandList, expected);
        const Outcome outcome = run(QStringList{"--dry-run"} + arguments);
        QCOMPARE(outcome.status, 0);
        QCOMPARE(outcome.out, logLines(expected));
    }

    // Input a field cannot carry stops the program before anything goes out, and says where.
    void refusedInputStopsWithItsStatus_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("message character")
                << QStringList{"message", "HE~LO"} << 2 << "\"~\" (code 126) at position 3";
        QTest::newRow("fonts character") << QStringList{"write-all", "HI", "--fonts", "0X"} << 2
                                         << "--fonts: character \"X\" (code 88) at position 2";
        QTest::newRow("pattern character") << QStringList{"font", "write", "65", "1111x"} << 2
                                           << "pattern: character \"x\" (code 120) at position 5";
        QTest::newRow("reserved code")
                << QStringList{"char", "33"} << 2 << "\"33\" is not a character code";
        QTest::newRow("unknown command") << QStringList{"shout"} << 2 << "unknown command";
        QTest::newRow("bad pattern line") << QStringList{"font", "upload", path("bad.fnt")} << 4
                                          << "bad.fnt: line 3: Font pattern 12 invalid symbol";
        QTest::newRow("short file") << QStringList{"font", "upload", path("short.fnt")} << 4
                                    << "short.fnt: line 3: Less than 116";
        QTest::newRow("missing file")
                << QStringList{"font", "upload", path("none.fnt")} << 4 << "none.fnt";
    }
    void refusedInputStopsWithItsStatus()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, message);
        const Outcome outcome = run(QStringList{"--dry-run"} + arguments);
        QCOMPARE(outcome.status, status);
        QVERIFY2(outcome.err.contains(message.toLatin1()), outcome.err.constData());
        QVERIFY(outcome.out.isEmpty());
    }

    // A refused line in a stream is reported and skipped; the lines after it still go out.
    void messageStreamSkipsARefusedLine()
    {
        const Outcome outcome = run({"--dry-run", "message", "-"}, "ab\nA~B\ncd\n");
        QCOMPARE(outcome.status, 0);
        QCOMPARE(outcome.out,
                 logLines(MessageCommands::message("ABBBBB") + MessageCommands::message("CDDDDD")));
        QVERIFY2(outcome.err.contains("line 2: character \"~\""), outcome.err.constData());
    }

    // SIGTERM during the segment test: the test's end commands are the last frames on the line.
    void sigtermEndsTheTestWithItsEndCommands()
    {
        PtyPair line;
        QVERIFY(line.isValid());
        QProcess ctl;
        start(ctl, {"--port", line.slavePath(), "test"});
        QByteArray wire = line.readFromProgram(200, kTimeoutMs);
        QVERIFY2(wire.size() >= 200, "the test sends its steps");
        ::kill(static_cast<pid_t>(ctl.processId()), SIGTERM);
        QVERIFY(ctl.waitForFinished(kTimeoutMs));
        QCOMPARE(ctl.exitStatus(), QProcess::NormalExit);
        QCOMPARE(ctl.exitCode(), 0);
        wire += line.readAvailable();
        QVERIFY2(wire.endsWith(frames(MessageCommands::blank(6))), wire.right(40).constData());
    }

    // The far end hangs up during an upload: status 5 and one message.
    void hangUpDuringUploadFails()
    {
        PtyPair line;
        QVERIFY(line.isValid());
        QProcess ctl;
        // The far end is this process alone, so that closing it hangs the line up.
        ::fcntl(line.masterFd(), F_SETFD, FD_CLOEXEC);
        start(ctl, {"--port", line.slavePath(), "font", "upload", path("good.fnt")}, "1");
        QVERIFY(!line.readFromProgram(100, kTimeoutMs).isEmpty());
        line.closeMaster();
        QVERIFY(ctl.waitForFinished(kTimeoutMs));
        QCOMPARE(ctl.exitCode(), 5);
        QCOMPARE(ctl.readAllStandardError().count("vornikctl:"), 1);
    }

    // Through the virtual chain: what it decodes is what the window's builders send.
    void chainDecodesWhatWasSent()
    {
        QProcess chain;
        chain.start(QStringLiteral(VORNIK_CHAIN_PROGRAM), {"--dump", "--digits", "6"});
        QVERIFY(chain.waitForStarted());
        QVERIFY(chain.waitForReadyRead(kTimeoutMs));
        const QString device = QString::fromLocal8Bit(chain.readLine()).trimmed();
        QVERIFY2(device.startsWith("/dev/"), qPrintable(device));

        QCOMPARE(run({"--port", device, "write-all", "HELLO", "--fonts", "1"}).status, 0);
        QCOMPARE(run({"--port", device, "font", "upload", path("good.fnt")}).status, 0);
        QStringList lines;
        const QRegularExpression written(QStringLiteral("code=(\\d+) pattern=([01]{15})$"));
        const bool decoded = QTest::qWaitFor(
                [&] {
                    while (chain.canReadLine() || chain.waitForReadyRead(50))
                        lines += QString::fromLocal8Bit(chain.readAll())
                                         .split('\n', Qt::SkipEmptyParts);
                    return lines.filter(written).size() >= 114;
                },
                kTimeoutMs);
        chain.terminate();
        QVERIFY(decoded);
        chain.waitForFinished(kTimeoutMs);

        QVERIFY2(lines.filter("chars=\"HELLOO\" fonts=\"111111\"").size() >= 1,
                 qPrintable(lines.mid(0, 6).join('\n')));
        int checked = 0;
        for (const QString &line : lines) {
            const QRegularExpressionMatch match = written.match(line);
            if (match.hasMatch()) {
                QCOMPARE(match.captured(2), m_font.pattern(match.captured(1).toInt()));
                ++checked;
            }
            QVERIFY2(!line.startsWith("error"), qPrintable(line));
        }
        QCOMPARE(checked, 114);
    }

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    void writeFile(const QString &name, const QByteArray &bytes)
    {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    void start(QProcess &ctl, const QStringList &arguments, const QString &scale = "0")
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("VORNIK_PAUSE_SCALE", scale);
        environment.remove("VORNIK_PORT");
        ctl.setProcessEnvironment(environment);
        ctl.start(QStringLiteral(VORNIKCTL_PROGRAM), arguments);
        QVERIFY2(ctl.waitForStarted(), qPrintable(ctl.errorString()));
    }

    Outcome run(const QStringList &arguments, const QByteArray &input = QByteArray())
    {
        QProcess ctl;
        start(ctl, arguments);
        ctl.write(input);
        ctl.closeWriteChannel();
        Outcome outcome;
        if (!ctl.waitForFinished(kTimeoutMs))
            return outcome;
        outcome.status = ctl.exitStatus() == QProcess::NormalExit ? ctl.exitCode() : -1;
        outcome.out = ctl.readAllStandardOutput();
        outcome.err = ctl.readAllStandardError();
        return outcome;
    }

    QTemporaryDir m_dir;
    FontTable m_font;
};

QTEST_GUILESS_MAIN(TestVornikctl)
#include "tst_vornikctl.moc"
