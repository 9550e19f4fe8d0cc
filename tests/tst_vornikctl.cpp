#include "support/ptypair.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>

namespace {

constexpr int kTimeoutMs = 20000;
const QByteArray kBlank = "$B7F000000[cr]\n$B7M      [cr]\n";

void start(QProcess &ctl, const QStringList &arguments)
{
    ctl.start(QStringLiteral(VORNIKCTL_PROGRAM), arguments);
    QVERIFY2(ctl.waitForStarted(), qPrintable(ctl.errorString()));
}

// The exit status, or -1 for a crash or a hang.
int finish(QProcess &ctl)
{
    const bool exited = ctl.waitForFinished(kTimeoutMs) && ctl.exitStatus() == QProcess::NormalExit;
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

// The command words (a word and its sub-command, in lower case) that follow each marker.
QStringList commandWords(const QString &text, const QString &marker)
{
    static const QRegularExpression words(QStringLiteral("^[a-z][a-z-]*( [a-z][a-z-]*)*"));
    QStringList found;
    for (const QString &entry : text.split(marker).mid(1))
        found += words.match(entry).captured();
    found.removeAll(QString()); // lines that continue an entry
    found.removeDuplicates();
    found.sort();
    return found;
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
        qunsetenv("VORNIK_PORT");
        QByteArray font;
        for (int code = 10; code <= 125; ++code) {
            const QByteArray pattern = code == 65 ? "101010101010101" : "000000000000000";
            font += QByteArray::number(code).rightJustified(3, '0') + ' ' + pattern + "\r\n";
            // 13 and 33 are the frame end and the skip marker, never sent as codes.
            // Codes below 32 are printed as the transmit log shows them, "[0A]".
            const QByteArray shown = code < 32 ? QString::asprintf("[%02X]", code).toLatin1()
                                               : QByteArray(1, char(code));
            if (code != 13 && code != 33)
                m_upload += "$B7W" + shown + pattern + "[cr]\n$B7M" + shown + "[cr]\n";
        }
        QFile good(m_dir.filePath("good.fnt")), bad(m_dir.filePath("bad.fnt"));
        QVERIFY(good.open(QIODevice::WriteOnly) && bad.open(QIODevice::WriteOnly));
        good.write(font);
        bad.write(font.replace("012 00", "012 0x"));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("expected"); // status 0: stdout; else a part of stderr
        const auto row = [](const char *name, const QString &arguments, int status,
                            const QByteArray &expected) {
            QTest::newRow(name) << arguments.split(' ') << status << expected;
        };
        const QString dry = QStringLiteral("--dry-run ");
        // clang-format off
        row("message", dry + "message Hello", 0, "$B7MHELLOO[cr]\n");
        row("chain of 3", dry + "--chain 3 message AB", 0, "$B7MABB[cr]\n");
        row("attributes with --message", dry + "attributes --effects 12 --message HI", 0, "$B7E122222[cr]\n$B7MHIIIII[cr]\n");
        row("attributes alone", dry + "attributes --effects 12", 0, "$B7E122222[cr]\n");
        row("write-all", dry + "write-all HI --speeds 9 --fonts U1", 0, "$B7FU11111[cr]\n$B7E000000[cr]\n$B7S999999[cr]\n$B7MHIIIII[cr]\n");
        row("char", dry + "char 65", 0, "$B7MA[cr]\n");
        row("blank", dry + "blank", 0, kBlank);
        row("font write", dry + "font write 66 110000000000001", 0, "$B7WB110000000000001[cr]\n$B7MB[cr]\n");
        row("font upload", dry + "font upload " + m_dir.filePath("good.fnt"), 0, "$B7F000000[cr]\n" + m_upload);
        row("lines from input, CR LF and a refused one", dry + "message -", 0, "$B7MABBBBB[cr]\n$B7MCDDDDD[cr]\n");
        row("refused character", dry + "message HE~LO", 2, "message: character \"~\" at position 3 cannot be shown");
        row("refusal named by its field", dry + "attributes --speeds 12x", 2, "--speeds: character \"x\" at position 3 is not a speed");
        row("chain of 11", dry + "--chain 11 blank", 2, "--chain takes a number from 1 to 10");
        row("reserved code", dry + "char 33", 2, "char: \"33\" is not a character code from 10");
        row("unknown command", dry + "shout", 2, "unknown command \"shout\"");
        row("misspelt command", dry + "mesage HI", 2, "unknown command \"mesage\"; did you mean \"message\"?");
        row("no such port", "--port /nonexistent/tty blank", 3, "does not exist");
        row("bad font file", dry + "font upload " + m_dir.filePath("bad.fnt"), 4, "bad.fnt: line 3: Font pattern 12 invalid symbol");
        // clang-format on
    }
    // Each command prints its frames as the transmit log would; input a field cannot carry is
    // refused before anything goes out, with the status and a message saying where.
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QByteArray, expected);
        QProcess ctl;
        start(ctl, arguments);
        // Every command gets the same input; only "message -" reads it.
        ctl.write("ab\r\nA~B\ncd\r\n");
        ctl.closeWriteChannel();
        QCOMPARE(finish(ctl), status);
        QCOMPARE(ctl.readAllStandardOutput(), status == 0 ? expected : QByteArray());
        const QByteArray err = ctl.readAllStandardError();
        QVERIFY2(status == 0 || err.contains(expected), err.constData());
    }

    // The manual page and the README list the commands --help lists.
    void docsListTheCommands()
    {
        QProcess ctl;
        start(ctl, {"--help"});
        QCOMPARE(finish(ctl), 0);
        const QString help = QString::fromUtf8(ctl.readAllStandardOutput());
        const QString manual = readText(QFINDTESTDATA("../docs/man/vornikctl.1"));
        const QString readme = readText(QFINDTESTDATA("../README.md"));
        const QStringList commands = commandWords(section(help, "\nCommands:\n", "\n\n"), "\n  ");
        QVERIFY2(commands.size() > 10, qPrintable(commands.join(',')));
        QString roff = section(manual, "\n.SH COMMANDS\n", "\n.SH ");
        roff.remove(QRegularExpression("\\\\f[BIRP]|\"|\\.BI? ")).replace("\\-", "-");
        QCOMPARE(commandWords(roff, "\n.TP\n"), commands);
        QCOMPARE(commandWords(section(readme, "\n## Driving the chain", "\n## "), "\n| `"),
                 commands);
    }

    void modesRunUntilSigterm_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("last"); // empty: any frame may be the last
        const auto row = [](const char *name, const QString &arguments, const QByteArray &first,
                            const QByteArray &last = {}) {
            QTest::newRow(name) << arguments.split(' ') << first << last;
        };
        row("count", "count --from 98 --delay 10",
            "$B7M000098[cr]\n$B7M000099[cr]\n$B7M000100[cr]\n");
        row("animate", "animate --from 48 --to 49",
            "$B7M111111[cr]\n$B7M000000[cr]\n$B7M111111[cr]\n");
        row("segment test ends blank", "test", kBlank + "$B7FUUUUUU[cr]\n", kBlank);
    }
    // A mode runs until SIGTERM and exits 0; the segment test sends its end commands last.
    void modesRunUntilSigterm()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, last);
        QProcess ctl;
        start(ctl, QStringList{"--dry-run"} + arguments);
        QByteArray seen;
        QVERIFY(QTest::qWaitFor([&] { return (seen += ctl.readAllStandardOutput()).size() > 60; },
                                kTimeoutMs));
        ::kill(static_cast<pid_t>(ctl.processId()), SIGTERM);
        QCOMPARE(finish(ctl), 0);
        seen += ctl.readAllStandardOutput();
        QVERIFY2(seen.startsWith(first) && seen.endsWith(last), seen.right(200).constData());
    }

    // The far end hangs up while the segment test sends: one message and status 5.
    void hangUpEndsWithStatus5()
    {
        PtyPair line;
        QVERIFY(line.isValid());
        // The far end is this process alone, so that closing it hangs the line up.
        ::fcntl(line.masterFd(), F_SETFD, FD_CLOEXEC);
        QProcess ctl;
        start(ctl, {"--port", line.slavePath(), "test"});
        QVERIFY(line.readFromProgram(100, kTimeoutMs).startsWith("$B7F000000\r$B7M      \r"));
        line.closeMaster();
        QCOMPARE(finish(ctl), 5);
        const QByteArray err = ctl.readAllStandardError();
        QVERIFY2(err.startsWith("\nvornikctl: the line failed while sending: ")
                         && err.count('\n') == 2,
                 err.constData());
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_upload;
};

QTEST_GUILESS_MAIN(TestVornikctl)
#include "tst_vornikctl.moc"
