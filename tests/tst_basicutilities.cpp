#include "support/testhelpers.h"

#include "core/basicutilities.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The shared helpers: field splitting, clock arithmetic, hex padding, file tests and the paced
// wait.
class TestBasicUtilities : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { InitConstants(); }

    void field_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("expected");
        // clang-format off
        QTest::newRow("time minutes") << "12:34:56" << 2 << ":" << "34";
        QTest::newRow("blank runs") << " 10:20  PM" << 2 << " " << "PM";
        QTest::newRow("empty separator means blank") << "a  b" << 2 << "" << "b";
        QTest::newRow("no separator n=1") << "abc" << 1 << ":" << "abc";
        QTest::newRow("no separator n=2") << "abc" << 2 << ":" << "";
        QTest::newRow("no separator count") << "abc" << 0 << ":" << "1";
        QTest::newRow("empty count") << "" << 0 << ":" << "0";
        QTest::newRow("count with trailing separator") << "a|b|" << 0 << "|" << "2";
        QTest::newRow("empty field between separators") << "a||c" << 2 << "|" << "";
        QTest::newRow("field after empty one") << "a||c" << 3 << "|" << "c";
        QTest::newRow("past the last field") << "a|b" << 3 << "|" << "";
        QTest::newRow("negative n") << "a|b" << -1 << "|" << "";
        QTest::newRow("char 255 separator") << QStringLiteral("/d/a.fnt\u00ff/d\u00ffa.fnt") << 2
                                            << QStringLiteral("\u00ff") << "/d";
        // clang-format on
    }
    void field()
    {
        QFETCH(QString, text);
        QFETCH(int, n);
        QFETCH(QString, separator);
        QFETCH(QString, expected);
        QCOMPARE(Field(text, n, separator), expected);
        // A blank or empty separator is set to a blank in the caller's variable.
        if (separator.isEmpty())
            QCOMPARE(separator, QStringLiteral(" "));
    }

    void fieldBeyondEightThousandFields()
    {
        // Counting sees every field; extraction serves fields 1 to 8000 and nothing past them.
        QStringList parts;
        for (int i = 1; i <= 9000; ++i)
            parts.append(QString::number(i));
        const QString text = parts.join(QLatin1Char(','));
        QCOMPARE(Field(text, 0, QChar(',')), QStringLiteral("9000"));
        QCOMPARE(Field(text, 8000, QChar(',')), QStringLiteral("8000"));
        QCOMPARE(Field(text, 8001, QChar(',')), QString());
    }

    void elapsed_data()
    {
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("now");
        QTest::addColumn<double>("expected");
        QTest::newRow("plain") << 10.0 << 12.5 << 2.5;
        QTest::newRow("across midnight") << 86399.5 << 0.5 << 1.0;
        QTest::newRow("start beyond a day clamps at zero") << 86500.0 << 10.0 << 0.0;
    }
    void elapsed()
    {
        QFETCH(double, start);
        QFETCH(double, now);
        QFETCH(double, expected);
        QCOMPARE(Elapsed(start, now), expected);
    }

    void numbersAsText()
    {
        QCOMPARE(HexPad(255, 2), QStringLiteral("FF"));
        QCOMPARE(HexPad(7, 4), QStringLiteral("0007"));
        QCOMPARE(HexPad(255, 1), QStringLiteral("F"));
        QCOMPARE(VersionText(2, 10, 3), QStringLiteral("2.10.03"));
        QCOMPARE(LeadingNumber(QStringLiteral("007ab")), 7);
        QCOMPARE(LeadingNumber(QStringLiteral("ab")), 0);
        QCOMPARE(LeadingNumber(QString(26, QLatin1Char('9'))), std::numeric_limits<qint64>::max());
    }

    void fileExists()
    {
        QTemporaryDir dir;
        const QString plain = dir.filePath(QStringLiteral("a.fnt"));
        const QString hidden = dir.filePath(QStringLiteral(".hidden"));
        QVERIFY(writeFile(plain, "x") && writeFile(hidden, "x"));
        QVERIFY(FileExists(plain));
        for (const QString &path : {QString(), dir.path(), dir.path() + QLatin1Char('/'),
                                    plain + QLatin1Char('.'), plain + QLatin1Char(' '),
                                    QStringLiteral("C:\\"), hidden, dir.filePath("missing.fnt")})
            QVERIFY2(!FileExists(path), qPrintable(path));
    }

    void delayZeroDoesNotYield()
    {
        bool ran = false;
        QTimer::singleShot(0, this, [&] { ran = true; });
        Delay(0);
        Delay(-5);
        QVERIFY(!ran);
        QCoreApplication::processEvents();
        QVERIFY(ran);
    }

    // The one test of the real wait; every other test shortens it through setDelayScale(0).
    void delayYieldsAndWaits()
    {
        bool ran = false;
        QTimer::singleShot(0, this, [&] { ran = true; });
        QElapsedTimer clock;
        clock.start();
        Delay(1);
        QVERIFY(ran);
        QVERIFY(clock.elapsed() >= 10);
    }

    void shutdownEndsRunningDelays()
    {
        // A ten-minute wait that only the shutdown request can end before the test times out.
        QTimer::singleShot(5, this, [] { requestShutdown(); });
        Delay(60000);
        QVERIFY(shutdownRequested());
        // Later waits return at once, without yielding; the timer dies with its context.
        QObject context;
        bool ran = false;
        QTimer::singleShot(0, &context, [&] { ran = true; });
        Delay(60000);
        QVERIFY(!ran);
        resetShutdownRequest();
    }
};

QTEST_MAIN(TestBasicUtilities)
#include "tst_basicutilities.moc"
