#include "core/basicutilities.h"
#include "modes/modesteps.h"

#include <QTest>

using namespace ModeSteps;

// The display modes' rules without a window: stepping, clock cutting, counting, validation.
class TestModeSteps : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { InitConstants(); }

    void animateNext_data()
    {
        QTest::addColumn<QString>("acc");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("stop");
        QTest::addColumn<int>("next");

        // clang-format off
        QTest::newRow("first step after choosing") << "48" << "48" << "57" << 49;
        QTest::newRow("restarts past the stop code") << "57" << "48" << "57" << 48;
        QTest::newRow("steps over CR") << "12" << "10" << "40" << 14;
        QTest::newRow("steps over !") << "32" << "10" << "40" << 34;
        QTest::newRow("restart at 13 steps over it") << "20" << "13" << "20" << 14;
        QTest::newRow("empty acc counts as 0, then restarts") << "" << "48" << "57" << 48;
        QTest::newRow("acc far past the table") << "99999999999999999999999" << "48" << "57" << 48;
        QTest::newRow("stop above the table lets 125 show") << "124" << "100" << "200" << 125;
        QTest::newRow("start above the table is held to 125") << "125" << "130" << "140" << 125;
        QTest::newRow("start below the table is held to 10") << "40" << "3" << "40" << 10;
        QTest::newRow("letters after the number are ignored") << "50x" << "48" << "57" << 51;
        // clang-format on
    }
    void animateNext()
    {
        QFETCH(QString, acc);
        QFETCH(QString, start);
        QFETCH(QString, stop);
        QFETCH(int, next);
        QCOMPARE(ModeSteps::animateNext(acc, start, stop), next);
    }

    void clockDigits_data()
    {
        QTest::addColumn<bool>("date");
        QTest::addColumn<QString>("format"); // the locale's short format
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("digits");

        const QTime evening(21, 5, 3);
        // clang-format off
        QTest::newRow("US time") << false << "h:mm AP" << evening << "090503";
        QTest::newRow("Korean time, marker first") << false << "AP h:mm" << evening << "090503";
        QTest::newRow("12-hour midnight") << false << "h:mm ap" << QTime(0, 5, 3) << "120503";
        QTest::newRow("German time") << false << "HH:mm" << evening << "210503";
        QTest::newRow("US date") << true << "M/d/yy" << evening << "120526";
        QTest::newRow("British date") << true << "dd/MM/yyyy" << evening << "051226";
        QTest::newRow("German date") << true << "dd.MM.yy" << evening << "051226";
        QTest::newRow("Korean date") << true << "yy. M. d." << evening << "261205";
        QTest::newRow("quoted letters are text") << true << "d 'day' M/yy" << evening << "051226";
        // clang-format on
    }
    void clockDigits()
    {
        QFETCH(bool, date);
        QFETCH(QString, format);
        QFETCH(QTime, time);
        QFETCH(QString, digits);
        QCOMPARE(date ? ModeSteps::dateDigits(QDate(2026, 12, 5), format)
                      : ModeSteps::timeDigits(time, format),
                 digits);
    }

    void countDigits_data()
    {
        QTest::addColumn<QString>("xcount");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("digits");

        // clang-format off
        QTest::newRow("lowest four of six digits") << "123456" << 4 << "3456";
        QTest::newRow("seven on four") << "7" << 4 << "0007";
        QTest::newRow("empty counts as zero") << "" << 3 << "000";
        QTest::newRow("no chain") << "42" << 0 << "";
        QTest::newRow("beyond the ten zeros") << "5" << 12 << "00000000005";
        // clang-format on
    }
    void countDigits()
    {
        QFETCH(QString, xcount);
        QFETCH(int, length);
        QFETCH(QString, digits);
        QCOMPARE(ModeSteps::countDigits(xcount, length), digits);
    }

    void counter_data()
    {
        QTest::addColumn<QString>("xcount");
        QTest::addColumn<QString>("next");
        QTest::addColumn<QString>("normalised");
        QTest::addColumn<bool>("diagnostic");

        // clang-format off
        QTest::newRow("empty counts as zero") << "" << "1" << "0" << false;
        QTest::newRow("leading zeros") << "007" << "8" << "7" << false;
        QTest::newRow("diagnostic code") << "0472915" << "472916" << "472915" << true;
        QTest::newRow("int64 range is not exceeded")
                << "9223372036854775807" << "223372036854775808" << "223372036854775807" << false;
        QTest::newRow("eighteen nines wrap to zero")
                << "999999999999999999" << "0" << "999999999999999999" << false;
        QTest::newRow("longer texts count by their lowest digits")
                << "123456789012345678901234567890" << "345678901234567891"
                << "345678901234567890" << false;
        // clang-format on
    }
    void counter()
    {
        QFETCH(QString, xcount);
        QFETCH(QString, next);
        QFETCH(QString, normalised);
        QFETCH(bool, diagnostic);
        QCOMPARE(ModeSteps::counterNext(xcount), next);
        QCOMPARE(ModeSteps::counterNormalised(xcount), normalised);
        QCOMPARE(ModeSteps::isDiagnosticCode(xcount), diagnostic);
    }

    void validateAnimation_data()
    {
        QTest::addColumn<int>("edited");
        QTest::addColumn<QString>("before"); // start,stop,delay
        QTest::addColumn<QString>("after");

        // clang-format off
        QTest::newRow("edited field loses leading zeros") << 1 << "48,057,100" << "48,57,100";
        QTest::newRow("empty edited field") << 2 << "48,57," << "48,57,1";
        QTest::newRow("delay 0 becomes 1") << 2 << "48,57,0" << "48,57,1";
        QTest::newRow("delay 9999 becomes 2000") << 2 << "48,57,9999" << "48,57,2000";
        QTest::newRow("start below 10") << 0 << "3,57,100" << "10,57,100";
        QTest::newRow("start 20 stop 5 exchanged after the lower bound") << 1 << "20,5,100" << "5,20,100";
        QTest::newRow("start 5 stop 3: bound first, then exchanged") << 0 << "5,3,100" << "3,10,100";
        QTest::newRow("exchange writes plain numbers") << 2 << "60x,050,100" << "50,60,100";
        // clang-format on
    }
    void validateAnimation()
    {
        QFETCH(int, edited);
        QFETCH(QString, before);
        QFETCH(QString, after);
        const QStringList parts = before.split(QLatin1Char(','));
        std::array<QString, 3> fields{parts[0], parts[1], parts[2]};
        ModeSteps::validateAnimation(fields, edited);
        QCOMPARE(QStringList({fields[0], fields[1], fields[2]}).join(QLatin1Char(',')), after);
    }

    void fieldKeys_data()
    {
        QTest::addColumn<int>("field"); // start, stop, delay, 3: the counter
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("replacement");

        // clang-format off
        QTest::newRow("A in stop") << 1 << int('A') << int(KeyVerdict::Swallow) << "65";
        QTest::newRow("letter in delay") << 2 << int('A') << int(KeyVerdict::Swallow) << "";
        QTest::newRow("digit") << 2 << int('7') << int(KeyVerdict::Insert) << "";
        QTest::newRow("enter") << 2 << kCR << int(KeyVerdict::Enter) << "";
        QTest::newRow("punctuation") << 0 << int('-') << int(KeyVerdict::Swallow) << "";
        QTest::newRow("counter digit") << 3 << int('0') << int(KeyVerdict::Insert) << "";
        QTest::newRow("counter letter") << 3 << int('a') << int(KeyVerdict::Swallow) << "";
        QTest::newRow("counter enter") << 3 << kCR << int(KeyVerdict::Enter) << "";
        // clang-format on
    }
    void fieldKeys()
    {
        QFETCH(int, field);
        QFETCH(int, code);
        QFETCH(int, kind);
        QFETCH(QString, replacement);
        const AnimationKey key
                = field == 3 ? AnimationKey{KeyVerdict::digits(code), false, QString()}
                             : ModeSteps::animationKey(field, code);
        QCOMPARE(int(key.verdict.kind), kind);
        QCOMPARE(key.replacement, replacement);
        QCOMPARE(key.replaces, !replacement.isEmpty());
        if (kind == KeyVerdict::Insert)
            QCOMPARE(key.verdict.character, QChar(code));
    }
};

QTEST_MAIN(TestModeSteps)
#include "tst_modesteps.moc"
