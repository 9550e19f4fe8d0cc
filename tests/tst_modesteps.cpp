#include "app/basicutilities.h"
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
        QTest::newRow("reaches the stop code") << "56" << "48" << "57" << 57;
        QTest::newRow("restarts past the stop code") << "57" << "48" << "57" << 48;
        QTest::newRow("steps over CR") << "12" << "10" << "40" << 14;
        QTest::newRow("steps over !") << "32" << "10" << "40" << 34;
        QTest::newRow("restart at 13 steps over it") << "20" << "13" << "20" << 14;
        QTest::newRow("restart at 33 steps over it") << "40" << "33" << "40" << 34;
        QTest::newRow("empty acc counts as 0, then restarts") << "" << "48" << "57" << 48;
        QTest::newRow("acc below the table restarts") << "3" << "48" << "57" << 48;
        QTest::newRow("acc far past the table") << "99999999999999999999999" << "48" << "57" << 48;
        QTest::newRow("stop above the table is held to 125") << "125" << "100" << "200" << 100;
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

    void timeDigits_data()
    {
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("digits");

        // clang-format off
        QTest::newRow("12-hour with marker") << "9:05:03 PM" << "090503";
        QTest::newRow("24-hour without blank") << "21:05:03" << "210503";
        QTest::newRow("time zone after a blank") << "21:05:03 CET" << "210503";
        QTest::newRow("leading blank") << " 7:15:59 AM" << "071559";
        QTest::newRow("no seconds") << "21:05" << "2105";
        QTest::newRow("long seconds keep their last two") << "1:02:345" << "010245";
        QTest::newRow("marker first") << "PM 9:05:03" << "PM00";
        QTest::newRow("empty") << "" << "0000";
        // clang-format on
    }
    void timeDigits()
    {
        QFETCH(QString, time);
        QFETCH(QString, digits);
        QCOMPARE(ModeSteps::timeDigits(time), digits);
    }

    void dateDigits_data()
    {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("digits");

        // clang-format off
        QTest::newRow("month/day/year") << "12/5/2026" << "120526";
        QTest::newRow("two-digit year") << "5/1/26" << "050126";
        QTest::newRow("no slash is one field") << "05.12.2026" << "2600";
        QTest::newRow("year first") << "2026/12/05" << "261205";
        // clang-format on
    }
    void dateDigits()
    {
        QFETCH(QString, date);
        QFETCH(QString, digits);
        QCOMPARE(ModeSteps::dateDigits(date), digits);
    }

    void countDigits_data()
    {
        QTest::addColumn<QString>("xcount");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("digits");

        // clang-format off
        QTest::newRow("padded to six") << "42" << 6 << "000042";
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

    void counterNext_data()
    {
        QTest::addColumn<QString>("xcount");
        QTest::addColumn<QString>("next");

        // clang-format off
        QTest::newRow("plain") << "48" << "49";
        QTest::newRow("carries") << "999" << "1000";
        QTest::newRow("empty counts as zero") << "" << "1";
        QTest::newRow("leading zeros") << "0099" << "100";
        QTest::newRow("past six digits") << "999999" << "1000000";
        QTest::newRow("int64 range is not exceeded")
                << "9223372036854775807" << "223372036854775808";
        QTest::newRow("eighteen nines wrap to zero") << "999999999999999999" << "0";
        QTest::newRow("longer texts count by their lowest digits")
                << "123456789012345678901234567890" << "345678901234567891";
        // clang-format on
    }
    void counterNext()
    {
        QFETCH(QString, xcount);
        QFETCH(QString, next);
        QCOMPARE(ModeSteps::counterNext(xcount), next);
    }

    void counterNormalisedAndDiagnostic_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("normalised");
        QTest::addColumn<bool>("diagnostic");

        // clang-format off
        QTest::newRow("empty") << "" << "0" << false;
        QTest::newRow("leading zeros") << "007" << "7" << false;
        QTest::newRow("code") << "472915" << "472915" << true;
        QTest::newRow("code with leading zero") << "0472915" << "472915" << true;
        QTest::newRow("near the code") << "472916" << "472916" << false;
        // clang-format on
    }
    void counterNormalisedAndDiagnostic()
    {
        QFETCH(QString, text);
        QFETCH(QString, normalised);
        QFETCH(bool, diagnostic);
        QCOMPARE(ModeSteps::counterNormalised(text), normalised);
        QCOMPARE(ModeSteps::isDiagnosticCode(text), diagnostic);
    }

    void validateAnimation_data()
    {
        QTest::addColumn<int>("edited");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");

        // clang-format off
        QTest::newRow("unchanged")
                << 0 << QStringList{"48", "57", "100"} << QStringList{"48", "57", "100"};
        QTest::newRow("edited field loses leading zeros")
                << 1 << QStringList{"48", "057", "100"} << QStringList{"48", "57", "100"};
        QTest::newRow("only the edited field is rewritten")
                << 1 << QStringList{"048", "057", "0100"} << QStringList{"048", "57", "0100"};
        QTest::newRow("empty edited field")
                << 2 << QStringList{"48", "57", ""} << QStringList{"48", "57", "1"};
        QTest::newRow("delay 0 becomes 1")
                << 2 << QStringList{"48", "57", "0"} << QStringList{"48", "57", "1"};
        QTest::newRow("delay 9999 becomes 2000")
                << 2 << QStringList{"48", "57", "9999"} << QStringList{"48", "57", "2000"};
        QTest::newRow("start below 10")
                << 0 << QStringList{"3", "57", "100"} << QStringList{"10", "57", "100"};
        QTest::newRow("stop above 125")
                << 1 << QStringList{"48", "300", "100"} << QStringList{"48", "125", "100"};
        QTest::newRow("start 20 stop 5 exchanged after the lower bound")
                << 1 << QStringList{"20", "5", "100"} << QStringList{"5", "20", "100"};
        QTest::newRow("start 5 stop 3: bound first, then exchanged")
                << 0 << QStringList{"5", "3", "100"} << QStringList{"3", "10", "100"};
        QTest::newRow("exchange writes plain numbers")
                << 2 << QStringList{"60x", "050", "100"} << QStringList{"50", "60", "100"};
        // clang-format on
    }
    void validateAnimation()
    {
        QFETCH(int, edited);
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        std::array<QString, 3> fields{before[0], before[1], before[2]};
        ModeSteps::validateAnimation(fields, edited);
        QCOMPARE((QStringList{fields[0], fields[1], fields[2]}), after);
    }

    void animationKey_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("replacement");

        // clang-format off
        QTest::newRow("A in stop") << 1 << int('A') << int(KeyVerdict::Swallow) << "65";
        QTest::newRow("z in start") << 0 << int('z') << int(KeyVerdict::Swallow) << "122";
        QTest::newRow("letter in delay") << 2 << int('A') << int(KeyVerdict::Swallow) << "";
        QTest::newRow("digit") << 2 << int('7') << int(KeyVerdict::Insert) << "";
        QTest::newRow("backspace") << 0 << kBS << int(KeyVerdict::Pass) << "";
        QTest::newRow("delete") << 1 << kDEL << int(KeyVerdict::Pass) << "";
        QTest::newRow("enter") << 2 << kCR << int(KeyVerdict::Enter) << "";
        QTest::newRow("punctuation") << 0 << int('-') << int(KeyVerdict::Swallow) << "";
        QTest::newRow("blank") << 1 << int(' ') << int(KeyVerdict::Swallow) << "";
        // clang-format on
    }
    void animationKey()
    {
        QFETCH(int, field);
        QFETCH(int, code);
        QFETCH(int, kind);
        QFETCH(QString, replacement);
        const AnimationKey key = ModeSteps::animationKey(field, code);
        QCOMPARE(int(key.verdict.kind), kind);
        QCOMPARE(key.replaces, !replacement.isEmpty());
        QCOMPARE(key.replacement, replacement);
        if (kind == KeyVerdict::Insert)
            QCOMPARE(key.verdict.character, QChar(code));
    }

    void xcountKey_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("kind");

        // clang-format off
        QTest::newRow("digit") << int('0') << int(KeyVerdict::Insert);
        QTest::newRow("letter") << int('a') << int(KeyVerdict::Swallow);
        QTest::newRow("minus") << int('-') << int(KeyVerdict::Swallow);
        QTest::newRow("backspace") << kBS << int(KeyVerdict::Pass);
        QTest::newRow("delete") << kDEL << int(KeyVerdict::Pass);
        QTest::newRow("enter") << kCR << int(KeyVerdict::Enter);
        // clang-format on
    }
    void xcountKey()
    {
        QFETCH(int, code);
        QFETCH(int, kind);
        QCOMPARE(int(ModeSteps::xcountKey(code).kind), kind);
    }

    void timeFormatWithSeconds_data()
    {
        QTest::addColumn<QString>("shortFormat");
        QTest::addColumn<QString>("format");

        // clang-format off
        QTest::newRow("already has seconds") << "HH:mm:ss" << "HH:mm:ss";
        QTest::newRow("24-hour") << "HH:mm" << "HH:mm:ss";
        QTest::newRow("12-hour") << "h:mm AP" << "h:mm:ss AP";
        QTest::newRow("quoted letters are literal") << "H 'h' mm 'min'" << "H 'h' mm:ss 'min'";
        QTest::newRow("no minutes uses the long format") << "HH" << "LONG";
        // clang-format on
    }
    void timeFormatWithSeconds()
    {
        QFETCH(QString, shortFormat);
        QFETCH(QString, format);
        QCOMPARE(ModeSteps::timeFormatWithSeconds(shortFormat, QStringLiteral("LONG")), format);
    }
};

QTEST_MAIN(TestModeSteps)
#include "tst_modesteps.moc"
