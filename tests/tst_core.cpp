#include "support/testhelpers.h"

#include "core/atomicfile.h"
#include "core/basicutilities.h"
#include "core/keyverdict.h"
#include "core/linereader.h"
#include "core/settingslines.h"
#include "core/suggestion.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

// The shared helpers, and the line and settings files as they land on disk.
class TestCore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void helpers_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        QString many; // 9000 fields and a separator after the last
        for (int i = 1; i <= 9000; ++i)
            many += QString::number(i) + QLatin1Char(',');
        const QByteArray overlong(kMaxLineBytes + 10, 'x');
        // clang-format off
        // An entered character as itself, the other verdicts as E(nter), P(ass) and S(wallow).
        const auto verdict = [](KeyVerdict v) { return v.kind ? QString(QLatin1Char("IEPS"[v.kind])) : QString(v.character); };
        const auto readBack = [](QByteArray bytes, int maxLines) { QBuffer in(&bytes); return in.open(QIODevice::ReadOnly) ? readBoundedLines(in, maxLines).join(QLatin1Char('|')) : QString("?"); };
        QString blank;
        QTest::newRow("runs of blanks") << Field(" 10:20  PM", 2, blank) << "PM";
        QTest::newRow("count past 8000") << Field(many, 0, QChar(',')) << "9000";
        QTest::newRow("field 8000") << Field(many, 8000, QChar(',')) << "8000";
        QTest::newRow("field 8001") << Field(many, 8001, QChar(',')) << "";
        QTest::newRow("hex keeps the low digit") << HexPad(0xAB, 1) << "B";
        QTest::newRow("hex zero-filled") << HexPad(7, 4) << "0007";
        QTest::newRow("across midnight") << QString::number(Elapsed(86399.5, 0.5)) << "1";
        QTest::newRow("Enter") << verdict(KeyVerdict::editing(kCR)) << "E";
        QTest::newRow("Backspace") << verdict(KeyVerdict::editing(kBS)) << "P";
        QTest::newRow("Delete") << verdict(KeyVerdict::editing(kDEL)) << "P";
        QTest::newRow("LF swallowed") << verdict(KeyVerdict::editing(kLF)) << "S";
        QTest::newRow("digit 9") << verdict(KeyVerdict::digits('9')) << "9";
        QTest::newRow("after 9") << verdict(KeyVerdict::digits(':')) << "S";
        QTest::newRow("CR LF and LF") << readBack("a\r\nb\nc", 5) << "a|b|c";
        QTest::newRow("at most maxLines") << readBack("a\nb\nc\n", 2) << "a|b";
        QTest::newRow("no suggestion past two edits") << Suggestion::nearest("shout", {"ports", "font"}) << "";
        QTest::newRow("overlong line cut") << readBack(overlong + "\r\nnext", 5) << QString(overlong.left(kMaxLineBytes)) + "|next";
        // clang-format on
    }
    void helpers()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }

    void settingsFileOnDisk()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vornik.ini"));
        QStringList lines = emptySettingsLines();
        lines[1] = QStringLiteral("/fonts");
        lines[kSettingsLines] = QStringLiteral("last");
        QVERIFY(writeFileAtomically(path, settingsFileBytes(lines)).ok);
        const QByteArray written = "/fonts" + QByteArray("\r\n").repeated(99) + "last\r\n";
        QCOMPARE(readFile(path), written);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList read;
        readSettingsLines(file, read);
        QCOMPARE(read, lines);
        // A write that fails part-way, as on a full disk, is reported and leaves the file whole.
        // Past the size limit the write fails with EFBIG instead of the process being stopped.
        struct rlimit saved = {};
        getrlimit(RLIMIT_FSIZE, &saved);
        struct rlimit small = saved;
        small.rlim_cur = 100;
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        const bool refused = !writeFileAtomically(path, QByteArray(1000, 'n')).ok;
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, handler);
        QVERIFY(refused);
        QCOMPARE(readFile(path), written);
        // A file with a second name is rewritten in place, so that both names see the new text.
        const QString other = dir.filePath(QStringLiteral("other.ini"));
        QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()),
                 0);
        QVERIFY(writeFileAtomically(path, "new").ok);
        QCOMPARE(readFile(other), QByteArray("new"));
    }

    void realDelayYieldsWaitsAndEndsOnShutdown()
    {
        bool ran = false;
        QTimer::singleShot(0, this, [&] { ran = true; });
        Delay(0);
        QVERIFY(!ran);
        QElapsedTimer clock;
        clock.start();
        Delay(1);
        QVERIFY(ran);
        QVERIFY(clock.elapsed() >= 10);
        // A ten-minute wait that only the shutdown request can end before the test times out.
        QTimer::singleShot(5, this, [] { requestShutdown(); });
        Delay(60000);
        QVERIFY(shutdownRequested());
        resetShutdownRequest();
    }
};

QTEST_MAIN(TestCore)
#include "tst_core.moc"
