#include "protocol/coderules.h"

#include <QTest>

// Which user-font code a text selects and how the navigation steps over the reserved codes;
// which characters the one-character field takes is judged through the window.
class TestCodeRules : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void selectedCode_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("code");
        // clang-format off
        QTest::newRow("in range") << "65" << 65;
        QTest::newRow("below the range") << "9" << 10;
        QTest::newRow("empty") << "" << 10;
        QTest::newRow("leading number only") << "12abc" << 12;
        QTest::newRow("one above") << "126" << 125;
        QTest::newRow("forty digits") << QString(40, QLatin1Char('9')) << 125;
        QTest::newRow("carriage return") << "13" << 14;
        QTest::newRow("skip mark") << "33" << 34;
        QTest::newRow("below skip mark") << "32" << 32;
        // clang-format on
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
};

QTEST_MAIN(TestCodeRules)
#include "tst_coderules.moc"
