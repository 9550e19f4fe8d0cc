#include "protocol/coderules.h"

#include <QTest>

Q_DECLARE_METATYPE(KeyVerdict::Kind)

// Which user-font code a text selects, how the navigation steps, and the code fields' keys.
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
        QList<int> up {10};
        while (up.size() < 200 && CodeRules::nextCode(up.last()) != up.last())
            up.append(CodeRules::nextCode(up.last()));
        QCOMPARE(up.size(), 114);
        QCOMPARE(up.last(), 125);
        QVERIFY(!up.contains(13));
        QVERIFY(!up.contains(33));

        QList<int> down {125};
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

    void keys_data()
    {
        QTest::addColumn<bool>("hexField");
        QTest::addColumn<int>("code");
        QTest::addColumn<KeyVerdict::Kind>("kind");
        QTest::addColumn<QString>("entered");
        const auto row = [](const char *name, bool hex, int code, KeyVerdict::Kind kind,
                            const QString &entered = QString()) {
            QTest::newRow(name) << hex << code << kind << entered;
        };
        row("acc 0", false, '0', KeyVerdict::Insert, "0");
        row("acc 9", false, '9', KeyVerdict::Insert, "9");
        row("acc letter", false, 'a', KeyVerdict::Swallow);
        row("acc minus", false, '-', KeyVerdict::Swallow);
        row("acc space", false, ' ', KeyVerdict::Swallow);
        row("acc enter", false, 13, KeyVerdict::Enter);
        row("acc backspace", false, 8, KeyVerdict::Pass);
        row("acc 127", false, 127, KeyVerdict::Pass);
        row("hex a upper-cased", true, 'a', KeyVerdict::Insert, "A");
        row("hex f upper-cased", true, 'f', KeyVerdict::Insert, "F");
        row("hex F", true, 'F', KeyVerdict::Insert, "F");
        row("hex 5", true, '5', KeyVerdict::Insert, "5");
        row("hex g", true, 'g', KeyVerdict::Swallow);
        row("hex G", true, 'G', KeyVerdict::Swallow);
        row("hex enter", true, 13, KeyVerdict::Enter);
        row("hex backspace", true, 8, KeyVerdict::Pass);
        row("hex 127", true, 127, KeyVerdict::Pass);
    }
    void keys()
    {
        QFETCH(bool, hexField);
        QFETCH(int, code);
        QFETCH(KeyVerdict::Kind, kind);
        QFETCH(QString, entered);
        const KeyVerdict verdict
            = hexField ? CodeRules::singlecharKey(code) : CodeRules::accKey(code);
        QCOMPARE(verdict.kind, kind);
        if (kind == KeyVerdict::Insert)
            QCOMPARE(QString(verdict.character), entered);
    }

    void filledHexPair_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("filled");
        QTest::newRow("empty") << "" << "00";
        QTest::newRow("one digit") << "5" << "05";
        QTest::newRow("two digits") << "A5" << "A5";
        QTest::newRow("longer keeps the last two") << "ABC" << "BC";
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
