#include "app/basicutilities.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The shared helpers: field splitting, clock arithmetic, hex padding, file tests and the paced wait.
class TestBasicUtilities : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { InitConstants(); }

    void constants()
    {
        QCOMPARE(CR, QString(QChar(13)));
        QCOMPARE(LF, QString(QChar(10)));
        QCOMPARE(CRLF, QStringLiteral("\r\n"));
        QCOMPARE(BS, QString(QChar(8)));
        QCOMPARE(DEL, QString(QChar(127)));
        QCOMPARE(QUOTE, QStringLiteral("\""));
    }

    void field_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("expected");
        QTest::newRow("time minutes") << "12:34:56" << 2 << ":" << "34";
        QTest::newRow("count with trailing separator") << "a|b|" << 0 << "|" << "2";
        QTest::newRow("blank runs") << " 10:20  PM" << 2 << " " << "PM";
        QTest::newRow("blank runs first") << " 10:20  PM" << 1 << " " << "10:20";
        QTest::newRow("empty separator means blank") << "a  b" << 2 << "" << "b";
        QTest::newRow("no separator n=1") << "abc" << 1 << ":" << "abc";
        QTest::newRow("no separator n=2") << "abc" << 2 << ":" << "";
        QTest::newRow("no separator count") << "abc" << 0 << ":" << "1";
        QTest::newRow("empty count") << "" << 0 << ":" << "0";
        QTest::newRow("empty field between separators") << "a||c" << 2 << "|" << "";
        QTest::newRow("empty field counts") << "a||c" << 0 << "|" << "3";
        QTest::newRow("field after empty one") << "a||c" << 3 << "|" << "c";
        QTest::newRow("past the last field") << "a|b" << 3 << "|" << "";
        QTest::newRow("leading separator") << "|a" << 1 << "|" << "";
        QTest::newRow("only separators") << "||" << 0 << "|" << "2";
        QTest::newRow("n above limit") << "a|b" << 8001 << "|" << "";
        QTest::newRow("negative n") << "a|b" << -1 << "|" << "";
        QTest::newRow("char 255 separator") << QStringLiteral("/d/a.fnt\u00ff/d\u00ffa.fnt") << 2
                                            << QStringLiteral("\u00ff") << "/d";
    }

    void field()
    {
        QFETCH(QString, text);
        QFETCH(int, n);
        QFETCH(QString, separator);
        QFETCH(QString, expected);
        QCOMPARE(Field(text, n, separator), expected);
    }

    void fieldSetsBlankSeparatorInCallersVariable()
    {
        QString separator;
        Field(QStringLiteral("a b"), 1, separator);
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
        QTest::newRow("same") << 5.0 << 5.0 << 0.0;
        QTest::newRow("start beyond a day clamps at zero") << 86500.0 << 10.0 << 0.0;
    }

    void elapsed()
    {
        QFETCH(double, start);
        QFETCH(double, now);
        QFETCH(double, expected);
        QCOMPARE(Elapsed(start, now), expected);
    }

    void hexPad_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("digits");
        QTest::addColumn<QString>("expected");
        QTest::newRow("10") << 10 << 2 << "0A";
        QTest::newRow("255") << 255 << 2 << "FF";
        QTest::newRow("7 in four") << 7 << 4 << "0007";
        QTest::newRow("cut to one") << 255 << 1 << "F";
        QTest::newRow("zero digits") << 5 << 0 << "";
    }

    void hexPad()
    {
        QFETCH(int, value);
        QFETCH(int, digits);
        QFETCH(QString, expected);
        QCOMPARE(HexPad(static_cast<unsigned char>(value), digits), expected);
    }

    void versionText_data()
    {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("revision");
        QTest::addColumn<QString>("expected");
        QTest::newRow("1.2.3") << 1 << 2 << 3 << "1.02.03";
        QTest::newRow("2.10.0") << 2 << 10 << 0 << "2.10.00";
        QTest::newRow("build version") << 1 << 0 << 0 << "1.00.00";
    }

    void versionText()
    {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(int, revision);
        QFETCH(QString, expected);
        QCOMPARE(VersionText(major, minor, revision), expected);
    }

    void fileExists()
    {
        QTemporaryDir dir;
        const QString plain = dir.filePath(QStringLiteral("a.fnt"));
        const QString hidden = dir.filePath(QStringLiteral(".hidden"));
        for (const QString &path : {plain, hidden}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("x");
        }
        QVERIFY(FileExists(plain));
        QVERIFY(!FileExists(QString()));
        QVERIFY(!FileExists(dir.path()));
        QVERIFY(!FileExists(dir.path() + QLatin1Char('/')));
        QVERIFY(!FileExists(plain + QLatin1Char('.')));
        QVERIFY(!FileExists(plain + QLatin1Char(' ')));
        QVERIFY(!FileExists(QStringLiteral("C:\\")));
        QVERIFY(!FileExists(hidden));
        QVERIFY(!FileExists(dir.filePath(QStringLiteral("missing.fnt"))));
    }

    void leadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("plain") << "65" << qint64(65);
        QTest::newRow("trailing text") << "12ab" << qint64(12);
        QTest::newRow("none") << "ab" << qint64(0);
        QTest::newRow("empty") << "" << qint64(0);
        QTest::newRow("leading zeros") << "007" << qint64(7);
        QTest::newRow("saturates") << "99999999999999999999999999" << std::numeric_limits<qint64>::max();
    }

    void leadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(qint64, expected);
        QCOMPARE(LeadingNumber(text), expected);
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

    void nestedDelaysEndInReverseOrder()
    {
        QStringList order;
        QTimer::singleShot(0, this, [&] {
            Delay(1);
            order.append(QStringLiteral("inner"));
        });
        Delay(2);
        order.append(QStringLiteral("outer"));
        QCOMPARE(order, QStringList({QStringLiteral("inner"), QStringLiteral("outer")}));
    }

    void shutdownEndsRunningDelays()
    {
        // A ten-minute wait that only the shutdown request can end before the test times out.
        QTimer::singleShot(5, this, [] { requestShutdown(); });
        Delay(60000);
        QVERIFY(shutdownRequested());
        QObject context;
        bool ran = false;
        QTimer::singleShot(0, &context, [&] { ran = true; });
        Delay(60000);
        QVERIFY(!ran);
        resetShutdownRequest();
    }

    void delayScaleAndObserver()
    {
        QList<int> seen;
        setDelayObserver([&](int pause) { seen.append(pause); });
        setDelayScale(0);
        Delay(100);
        Delay(0);
        setDelayScale(1);
        setDelayObserver({});
        QCOMPARE(seen, QList<int>({100}));
    }
};

QTEST_MAIN(TestBasicUtilities)
#include "tst_basicutilities.moc"
