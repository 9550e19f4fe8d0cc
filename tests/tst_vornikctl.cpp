#include "support/ptypair.h"
#include "support/testhelpers.h"

#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kTimeoutMs = 20000;
const QByteArray kBlank = "$B7F000000[cr]\n$B7M      [cr]\n";
const QByteArray kLines = "AB\r\nA中B\nCD\r\n";

// Starts vornikctl: leading words NAME=VALUE go into its environment, a last word >FILE takes
// its standard output.
void start(QProcess &ctl, QStringList arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    while (!arguments.isEmpty() && QRegularExpression("^[A-Z_]+=").match(arguments[0]).hasMatch()) {
        const QString word = arguments.takeFirst();
        environment.insert(word.section('=', 0, 0), word.section('=', 1));
    }
    if (arguments.last().startsWith('>'))
        ctl.setStandardOutputFile(arguments.takeLast().mid(1));
    ctl.setProcessEnvironment(environment);
    ctl.start(QStringLiteral(VORNIKCTL_PROGRAM), arguments);
    QVERIFY2(ctl.waitForStarted(), qPrintable(ctl.errorString()));
}

// The exit status, or -1 for a crash or a hang. It may have ended while the test waited.
int finish(QProcess &ctl)
{
    const bool exited = (ctl.state() == QProcess::NotRunning || ctl.waitForFinished(kTimeoutMs))
                        && ctl.exitStatus() == QProcess::NormalExit;
    return exited ? ctl.exitCode() : -1;
}

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The part of text from the line starting with begin up to end.
QString section(const QString &text, const QString &begin, const QString &end)
{
    const qsizetype from = text.indexOf(begin);
    return from < 0 ? QString() : text.mid(from, text.indexOf(end, from + begin.size()) - from);
}

// Whether another user's open of device is refused as busy (the holder opened it exclusively).
bool refusedToAnotherUser(const QString &device)
{
    if (::chmod(QFile::encodeName(device).constData(), 0666) != 0)
        return false;
    QProcess other;
    other.setChildProcessModifier([] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(99);
    });
    other.start("sh", {"-c", "exec 3<>" + device});
    return other.waitForFinished(kTimeoutMs) && other.exitCode() != 0
           && other.readAllStandardError().contains("busy");
}

} // namespace

// vornikctl as a script sees it: the frames it prints and sends, refusals and exit statuses.
class TestVornikctl : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("VORNIK_PAUSE_SCALE", "0");
        // Where vornikd says it listens, for the hint of a program that finds its port taken.
        qputenv("XDG_RUNTIME_DIR", m_dir.path().toLocal8Bit());
        for (const char *name : {"VORNIK_PORT", "VORNIK_SERVICE", "VORNIK_TOKEN"})
            qunsetenv(name);
        for (int code = 10; code <= 125; ++code) {
            const QByteArray pattern = code == 65 ? "101010101010101" : "000000000000000";
            m_font += QByteArray::number(code).rightJustified(3, '0') + ' ' + pattern + "\r\n";
            // Control codes print as tokens, so that one line is one frame.
            const QByteArray shown
                    = code < 32
                              ? '[' + QByteArray::number(code, 16).rightJustified(2, '0').toUpper()
                                        + ']'
                              : QByteArray(1, char(code));
            // 13 and 33 are the frame end and the skip marker, never sent as codes.
            if (code != 13 && code != 33)
                m_upload += "$B7W" + shown + pattern + "[cr]\n$B7M" + shown + "[cr]\n";
        }
        QVERIFY(writeFile(m_dir.filePath("good.fnt"), m_font));
        QVERIFY(writeFile(m_dir.filePath("bad.fnt"),
                          QByteArray(m_font).replace("012 00", "012 0x")));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("expected"); // status 0: stdout; else a part of stderr
        QTest::addColumn<QByteArray>("said");     // status 0: a part of stderr, if any
        const auto row = [](const char *name, const QString &arguments, int status,
                            const QByteArray &expected, const QByteArray &err = {},
                            const QByteArray &input = kLines) {
            QTest::newRow(name) << arguments.split(' ') << input << status << expected << err;
        };
        const QString dry = QStringLiteral("--dry-run ");
        const QByteArray upload = "$B7F000000[cr]\n" + m_upload;
        const QByteArray longAndNul
                = "AB\n" + QByteArray(70000, 'x') + "\nA" + QByteArray(1, '\0') + "B\nCD\n";
        // clang-format off
        row("message", dry + "message HELLO", 0, "$B7MHELLO [cr]\n");
        row("a long message is cut, and says so", dry + "message HELLOWORLD", 0, "$B7MHELLOW[cr]\n", "vornikctl: message: cut to 6 digits; --scroll shows it all\n");
        row("--scroll steps a character at a time and ends on the start", dry + "--chain 3 message ABCD --scroll --rate 50", 0, "$B7MABC[cr]\n$B7MBCD[cr]\n$B7MCD [cr]\n$B7MD A[cr]\n$B7M AB[cr]\n$B7MABC[cr]\n");
        row("the service gets the fields as given", dry + "--service http://127.0.0.1:9 attributes --effects 12 --message HI", 0, "POST /api/v1/attributes {\"effects\":\"12\",\"text\":\"HI\"}\n");
        row("attributes alone", dry + "attributes --effects 12", 0, "$B7E122222[cr]\n");
        row("write-all", dry + "write-all HI --speeds 9 --fonts U1", 0, "$B7FU11111[cr]\n$B7E000000[cr]\n$B7S999999[cr]\n$B7MHI    [cr]\n");
        row("a long write-all is cut, and says so", dry + "write-all HELLOWORLD", 0, "$B7F000000[cr]\n$B7E000000[cr]\n$B7S000000[cr]\n$B7MHELLOW[cr]\n", "vornikctl: write-all: cut to 6 digits");
        row("--port wins over VORNIK_SERVICE", "VORNIK_SERVICE=http://127.0.0.1:9 --dry-run --port x char 65", 0, "$B7MA[cr]\n");
        row("a control code as a token", dry + "char 27", 0, "$B7M[1B][cr]\n");
        row("font write", dry + "font write 66 110000000000001", 0, "$B7WB110000000000001[cr]\n$B7MB[cr]\n");
        row("font upload", dry + "font upload " + m_dir.filePath("good.fnt"), 0, upload);
        row("font from standard input", dry + "font upload -", 0, upload, {}, m_font);
        row("font from a pipe by name", dry + "font upload /dev/stdin", 0, upload, {}, m_font);
        row("lines from input, CR LF and a refused one", dry + "message -", 0, "$B7MAB    [cr]\n$B7MCD    [cr]\n", "line 2: no glyph for \"中\" (U+4E2D) at character 2, line skipped");
        row("lines with --pad last; an empty one blanks", dry + "message - --pad last", 0, "$B7M422222[cr]\n$B7M      [cr]\n$B7MHELLOW[cr]\n", "vornikctl: message: line 3: cut to 6 digits", "42\n\nHELLOWORLD\n");
        row("a closed standard input ends the lines", dry + "message -", 0, "", {}, "<closed>");
        row("an overlong line and a NUL byte", dry + "message -", 0, "$B7MAB    [cr]\n$B7MCD    [cr]\n", "line 2: longer than 65536 bytes, line skipped\nvornikctl: line 3: no glyph for \"[00]\" (U+0000) at character 2, line skipped\n", longAndNul);
        row("output to a full disk", dry + "blank >/dev/full", 1, "vornikctl: cannot write the output: No space left on device");
        row("a command the service has no call for", dry + "--service http://127.0.0.1:9 font write 65 111111000000000", 2, "vornikctl: font write has no call in vornikd's API");
        row("no service at the address", "VORNIK_TOKEN=x VORNIK_SERVICE=http://127.0.0.1:9 blank", 3, "no answer from the service at http://127.0.0.1:9 (Connection refused)");
        row("a pad neither space nor last", dry + "message A --pad both", 2, "--pad takes \"space\" or \"last\"");
        row("refusal named by its field", dry + "attributes --speeds 12x", 2, "--speeds: character \"x\" at position 3 is not a speed");
        row("chain of 11", dry + "--chain 11 blank", 2, "--chain takes a number from 1 to 10");
        row("misspelt command", dry + "mesage HI", 2, "unknown command \"mesage\"; did you mean \"message\"?");
        row("a text of two words", dry + "message HELLO WORLD", 2, "quote a text of several words: message \"HELLO WORLD\"");
        row("-- ends the options", dry + "message -- -5", 0, "$B7W-000000000100010[cr]\n$B7M-[cr]\n$B7FU00000[cr]\n$B7M-5    [cr]\n");
        row("an option the command does not take", dry + "clock --fonts 1", 2, "clock does not take --fonts");
        row("a delay shorter than a step's frame", dry + "count --delay 45", 2, "--delay takes a number from 70 to 2000");
        row("--rate without --scroll", dry + "message HI --rate 100", 2, "vornikctl: --rate is for a scroll; add --scroll");
        row("--token-file without a service", dry + "--token-file /dev/null blank", 2, "vornikctl: --token-file is for the service");
        row("--port with --service", dry + "--port x --service http://127.0.0.1:9 blank", 2, "vornikctl: --port and --service name two ways");
        row("a service that is not http", dry + "--service ftp://127.0.0.1:9 blank", 2, "vornikctl: the service's address \"ftp://127.0.0.1:9\" is not an http");
        row("the parser's message as a sentence", dry + "--bogus blank", 2, "vornikctl: unknown option 'bogus' (see --help)\n");
        row("an empty --port", "--port= blank", 2, "--port (or VORNIK_PORT) is empty");
        row("no such port", "--port /nonexistent/tty blank", 3, "vornikctl: the serial port /nonexistent/tty does not exist\n");
        row("bad font file", dry + "font upload " + m_dir.filePath("bad.fnt"), 4, "bad.fnt: line 3: Font pattern 12 invalid symbol");
        // clang-format on
    }
    // Each command prints its frames as the transmit log would, one line per frame; input a
    // field cannot carry is refused before anything goes out, with the status and a message
    // saying where, which never begins with a blank line.
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(int, status);
        QFETCH(QByteArray, expected);
        QFETCH(QByteArray, said);
        QProcess ctl;
        if (input == "<closed>")
            ctl.setChildProcessModifier([] { ::close(STDIN_FILENO); });
        start(ctl, arguments);
        if (input != "<closed>")
            ctl.write(input);
        ctl.closeWriteChannel();
        QCOMPARE(finish(ctl), status);
        QCOMPARE(ctl.readAllStandardOutput(), status == 0 ? expected : QByteArray());
        const QByteArray err = ctl.readAllStandardError();
        QVERIFY2(err.contains(status == 0 ? said : expected) && !err.startsWith('\n'),
                 err.constData());
    }

    // The manual page and the README give each command's usage as --help does (from the action
    // table), and the manual every option of --help.
    void docsListTheCommands()
    {
        QProcess ctl;
        start(ctl, {"--help"});
        QCOMPARE(finish(ctl), 0);
        const QString help = QString::fromUtf8(ctl.readAllStandardOutput());
        const QString manual
                = readText(QFINDTESTDATA("../docs/man/vornikctl.1")).replace("\\-", "-");
        QString roff = section(manual, "\n.SH COMMANDS\n", "\n.SH ");
        roff.remove(QRegularExpression("\\\\f[BIRP]|\"|\\.BI? "));
        const QString table = section(readText(QFINDTESTDATA("../README.md")),
                                      "\n## Driving the chain", "\n## ");
        static const QRegularExpression entry(QStringLiteral("^  (\\S.*?)(  |$)"),
                                              QRegularExpression::MultilineOption);
        int usages = 0;
        for (const auto &match : entry.globalMatch(section(help, "\nCommands:\n", "\n\n"))) {
            const QString usage = match.captured(1);
            QVERIFY2(roff.contains(usage) && table.contains('`' + usage + '`'), qPrintable(usage));
            ++usages;
        }
        QVERIFY2(usages > 10, qPrintable(help));
        const QString options = section(manual, "\n.SH OPTIONS\n", "\n.SH ");
        static const QRegularExpression option(QStringLiteral("^  (-h, )?(--[a-z-]+)"),
                                               QRegularExpression::MultilineOption);
        for (const auto &match : option.globalMatch(help))
            QVERIFY2(options.contains(match.captured(2)), qPrintable(match.captured(2)));
    }

    void ptyRuns_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input"); // left open, unless the event is "end"
        QTest::addColumn<QString>("event");    // what the test does once first is on the line
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("first"); // the line begins with these frames
        QTest::addColumn<QByteArray>("last");  // and ends with these
        QTest::addColumn<QString>("said");     // a part of stderr; %1 is the holder's process
        const auto row = [](const char *name, const QString &arguments, const QByteArray &input,
                            const QString &event, int status, const QByteArray &first,
                            const QByteArray &last = {}, const QString &err = {}) {
            QTest::newRow(name) << arguments.split(' ') << input << event << status << first << last
                                << err;
        };
        const QByteArray blank = QByteArray(kBlank).replace("[cr]\n", "\r");
        const QByteArray lines = "A\nB\nC\nD\nE\n";
        // clang-format off
        row("SIGTERM ends a mode with 0", "count --from 98 --delay 70", {}, "SIGTERM", 0, "$B7M000098\r$B7M000099\r$B7M000100\r");
        row("SIGTERM between a command's frames ends it with 143", "VORNIK_PAUSE_SCALE=1000 write-all AB", {}, "SIGTERM", 143, "$B7F000000\r", "$B7F000000\r", "vornikctl: write-all: cut short by a signal after 1 of 4 frames");
        row("SIGHUP between a command's frames ends it with 129", "VORNIK_PAUSE_SCALE=1000 blank", {}, "SIGHUP", 129, "$B7F000000\r", "$B7F000000\r", "after 1 of 2 frames");
        row("a hang-up between a command's frames", "VORNIK_PAUSE_SCALE=1000 write-all AB", {}, "hang-up", 5, "$B7F000000\r", {}, "the line failed while sending");
        row("SIGINT ends it with 130", "count --delay 70", {}, "SIGINT", 130, "$B7M000000\r$B7M000001\r");
        row("SIGHUP ends it like SIGTERM", "animate --from 48 --to 49", {}, "SIGHUP", 0, "$B7M111111\r$B7M000000\r$B7M111111\r");
        row("the segment test's end commands after SIGINT", "test", {}, "SIGINT", 130, blank + "$B7FUUUUUU\r", blank);
        row("a hang-up while the input is quiet", "message -", "AB\n", "hang-up", 5, "$B7MAB    \r", {}, "the line failed while sending");
        row("SIGINT says what was not sent", "VORNIK_PAUSE_SCALE=1 message -", lines, "SIGINT", 130, "$B7MA     \r", {}, "lines not sent: ");
        row("--latest shows the newest line", "VORNIK_PAUSE_SCALE=1 message - --latest", lines, "end", 0, {}, "$B7ME     \r", "lines dropped for newer ones: ");
        row("a port in use, and by whom", "message A", {}, "busy", 3, {}, {}, "is in use by process %1 (vornikctl)\n");
        row("a terminal program's lock is respected", "message A", {}, "lock", 3, {}, {}, "is in use by process %1 (sleep)\n");
        row("a refused access, with advice", "message A", {}, "denied", 3, {}, {}, "was denied.  If access was denied: the device allows only its owner (\"root\")");
        row("--wait for a port in use", "--wait 20 message A", {}, "freed", 0, {}, "$B7MA     \r", "in use by process %1 (vornikctl); waiting for it");
        row("a port vornikd holds, and the way through it", "message A", {}, "vornikd holds", 3, {}, {}, "in use by process %1 (vornikd); send through the service instead: VORNIK_SERVICE=%2 vornikctl");
        row("a font upload through the service, then what was on show", "font upload " + m_dir.filePath("good.fnt"), {}, "service", 0, "$B7F000000\r$B7W", "$B7W}000000000000000\r$B7M}\r$B7M      \r");
        row("a service whose line is lost", "message A", {}, "service lost", 5, {}, {}, " is lost (");
        row("a wrong token", "VORNIK_TOKEN=wrong message HI", {}, "service token", 3, {}, {}, "refused the token");
        // clang-format on
    }
    // vornikctl on a pseudo-terminal, ended by a signal, a hang-up, the end of its input or the
    // program that held its port: the frames on the line and the status.
    void ptyRuns()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(QString, event);
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, last);
        QFETCH(QString, said);
        PtyPair line;
        QVERIFY(line.isValid());
        // The far end is this process alone, so that closing it hangs the line up.
        ::fcntl(line.masterFd(), F_SETFD, FD_CLOEXEC);
        QByteArray wire;
        const auto wireHas = [&](const QByteArray &part) {
            return QTest::qWaitFor([&] { return (wire += line.readAvailable()).contains(part); },
                                   kTimeoutMs);
        };
        QProcess holder; // another vornikctl, a terminal program or vornikd, on the same port
        // The lock a terminal program (or ours) keeps: a ten-character pid on its first line.
        const QString lockPath = "/var/lock/LCK.." + line.slavePath().mid(5).replace('/', '_');
        const auto cleanLock = qScopeGuard([&] {
            if (event == "lock")
                QFile::remove(lockPath);
        });
        const bool served = event.startsWith("service");
        if (event == "busy" || event == "freed") {
            start(holder, {"--port", line.slavePath(), "count", "--delay", "70"});
            QVERIFY(wireHas("$B7M"));
            QCOMPARE(readFile(lockPath).left(11),
                     QByteArray::number(holder.processId()).rightJustified(10, ' ') + '\n');
            if (event == "busy" && ::geteuid() == 0)
                QVERIFY(refusedToAnotherUser(line.slavePath()));
        } else if (event == "lock") {
            holder.start("sleep", {"60"});
            QVERIFY(holder.waitForStarted());
            QVERIFY(writeFile(lockPath,
                              QByteArray::number(holder.processId()).rightJustified(10, ' ')
                                      + '\n'));
        } else if (served || event == "vornikd holds") {
            const QString token = m_dir.filePath("vornikd.token");
            holder.start(VORNIKD_PROGRAM, {"--port", line.slavePath(), "--listen", "127.0.0.1:0",
                                           "--token-file", token});
            QVERIFY(QTest::qWaitFor([&] { return holder.canReadLine(); }, kTimeoutMs));
            // "listening on http://127.0.0.1:PORT/"
            const QString url = QString::fromUtf8(holder.readLine()).trimmed().section(' ', 2);
            said.replace("%2", url.chopped(1));
            if (served)
                arguments.prepend("VORNIK_SERVICE=" + url);
            if (served && event != "service token")
                arguments += {"--token-file", token};
            // Its paint of the chain at its start is no part of what vornikctl sends.
            QVERIFY(wireHas(freshChainPaint(6)));
            wire.clear();
        }
        if (event == "service lost") {
            line.closeMaster();
            QByteArray told;
            QVERIFY(QTest::qWaitFor(
                    [&] { return (told += holder.readAllStandardError()).contains("is lost"); },
                    kTimeoutMs));
        }
        said.replace("%1", QString::number(holder.processId()));
        QProcess ctl;
        if (event == "denied" && ::geteuid() != 0)
            QSKIP("a refused access is made by running as nobody, which needs root");
        if (event == "denied")
            ctl.setChildProcessModifier([] {
                if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                    ::_exit(99);
            });
        // An explicit port would win over the service in the environment.
        if (!served)
            arguments += {"--port", line.slavePath()};
        start(ctl, arguments);
        ctl.write(input);
        if (event == "end")
            ctl.closeWriteChannel();
        QVERIFY(wireHas(first));
        QByteArray err;
        const QHash<QString, int> signals{
                {"SIGTERM", SIGTERM}, {"SIGINT", SIGINT}, {"SIGHUP", SIGHUP}};
        if (signals.contains(event)) {
            // A program already gone has no process id, and kill(0) would signal this test's
            // whole process group.
            QVERIFY2(ctl.processId() > 0, "vornikctl ended before its signal");
            ::kill(static_cast<pid_t>(ctl.processId()), signals[event]);
        } else if (event == "hang-up") {
            line.closeMaster();
        } else if (event == "freed") {
            QVERIFY(QTest::qWaitFor(
                    [&] { return (err += ctl.readAllStandardError()).contains("waiting"); },
                    kTimeoutMs));
            holder.terminate();
        }
        QTEST(finish(ctl), "status");
        // Through the service, nothing more comes once vornikctl has ended.
        QTest::qWait(served ? 300 : 0);
        wire += line.readAvailable();
        QTest::qWait(served ? 300 : 0);
        QCOMPARE(line.readAvailable(), QByteArray());
        holder.terminate();
        err += ctl.readAllStandardError();
        QVERIFY2(wire.startsWith(first) && wire.endsWith(last), wire.right(200).constData());
        QVERIFY2(err.contains(said.toUtf8()) && !err.startsWith('\n'), err.constData());
        QVERIFY(event != "lock" || QFile::exists(lockPath));
        holder.waitForFinished(kTimeoutMs);
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_font;
    QByteArray m_upload;
};

QTEST_GUILESS_MAIN(TestVornikctl)
#include "tst_vornikctl.moc"
