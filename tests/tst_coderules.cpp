#include "protocol/coderules.h"

#include <QTest>

// Which user-font code a text selects, how the navigation steps, and the two-digit fill.
class TestCodeRules : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void selectedCode_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("code");
        QTest::newRow("in range") << "65" << 65;
        QTest::newRow("first") << "10" << 10;
        QTest::newRow("last") << "125" << 125;
        QTest::newRow("below the range") << "5" << 10;
        QTest::newRow("nine") << "9" << 10;
        QTest::newRow("zero") << "0" << 10;
        QTest::newRow("empty") << "" << 10;
        QTest::newRow("no digits") << "abc" << 10;
        QTest::newRow("leading number only") << "12abc" << 12;
        QTest::newRow("one above") << "126" << 125;
        QTest::newRow("above the range") << "200" << 125;
        QTest::newRow("forty digits") << QString(40, QLatin1Char('9')) << 125;
        QTest::newRow("leading zeros") << "00065" << 65;
        QTest::newRow("carriage return") << "13" << 14;
        QTest::newRow("skip mark") << "33" << 34;
        QTest::newRow("below carriage return") << "12" << 12;
        QTest::newRow("below skip mark") << "32" << 32;
    }
    void selectedCode()
    {
        QFETCH(QString, text);
        QFETCH(int, code);
        QCOMPARE(CodeRules::selectedCode(text), code);
    }

    void steps_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("next");
        QTest::addColumn<int>("previous");
        QTest::newRow("first") << 10 << 11 << 10;
        QTest::newRow("last") << 125 << 125 << 124;
        QTest::newRow("before carriage return") << 12 << 14 << 11;
        QTest::newRow("after carriage return") << 14 << 15 << 12;
        QTest::newRow("before skip mark") << 32 << 34 << 31;
        QTest::newRow("after skip mark") << 34 << 35 << 32;
        QTest::newRow("middle") << 65 << 66 << 64;
        QTest::newRow("below the range") << 3 << 11 << 10;
        QTest::newRow("above the range") << 300 << 125 << 124;
    }
    void steps()
    {
        QFETCH(int, code);
        QFETCH(int, next);
        QFETCH(int, previous);
        QCOMPARE(CodeRules::nextCode(code), next);
        QCOMPARE(CodeRules::previousCode(code), previous);
    }

    void walkingTheRangeVisitsEveryUserCodeOnce()
    {
        QList<int> up{10};
        while (up.size() < 200 && CodeRules::nextCode(up.last()) != up.last())
            up.append(CodeRules::nextCode(up.last()));
        QCOMPARE(up.size(), 114);
        QCOMPARE(up.last(), 125);
        QVERIFY(!up.contains(13));
        QVERIFY(!up.contains(33));

        QList<int> down{125};
        while (down.size() < 200 && CodeRules::previousCode(down.first()) != down.first())
            down.prepend(CodeRules::previousCode(down.first()));
        QCOMPARE(down, up);
    }

    void userFontCharacter_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("tab") << 9 << false;
        QTest::newRow("line feed") << 10 << true;
        QTest::newRow("12") << 12 << true;
        QTest::newRow("carriage return") << 13 << false;
        QTest::newRow("14") << 14 << true;
        QTest::newRow("space") << 32 << true;
        QTest::newRow("!") << 33 << false;
        QTest::newRow("quote") << 34 << true;
        QTest::newRow("}") << 125 << true;
        QTest::newRow("~") << 126 << false;
        QTest::newRow("delete") << 127 << false;
        QTest::newRow("backspace") << 8 << false;
        QTest::newRow("latin-1") << 0xE9 << false;
    }
    void userFontCharacter()
    {
        QFETCH(int, code);
        QFETCH(bool, accepted);
        QCOMPARE(CodeRules::isUserFontCharacter(code), accepted);
    }

    void filledHexPair_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("filled");
        QTest::newRow("empty") << ""
                               << "00";
        QTest::newRow("one digit") << "5"
                                   << "05";
        QTest::newRow("two digits") << "A5"
                                    << "A5";
        QTest::newRow("longer keeps the last two") << "ABC"
                                                   << "BC";
    }
    void filledHexPair()
    {
        QFETCH(QString, text);
        QFETCH(QString, filled);
        QCOMPARE(CodeRules::filledHexPair(text), filled);
    }
};

QTEST_MAIN(TestCodeRules)
#include "tst_coderules.moc"
