#include "font/fontrules.h"
#include "font/fonttable.h"

#include <QTest>

namespace {
const QString kOff = QStringLiteral("000000000000000");
}

// The user font table with its defaults, and what a pattern becomes on its way to the table
// and to a module.
class TestFontTable : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void resetAndClear_data()
    {
        QTest::addColumn<bool>("defaults");
        QTest::newRow("resetfont") << true;
        QTest::newRow("clear") << false;
    }
    void resetAndClear()
    {
        QFETCH(bool, defaults);
        // The built-in patterns of ":" to "L", codes 58 to 76.
        const QStringList builtIn{
                "000000010001000", "011000000000000", "000000001010000", "000100000100010",
                "000000100000100", "110001000101000", "111110000001010", "000000000100010",
                "000000010101010", "000000000010100", "000000101000000", "000000111000000",
                "000000011100000", "000000001110000", "000000000111000", "000000000011100",
                "000000000001110", "000000100000110", "000000110000010"};
        FontTable table;
        for (int code = 0; code < FontTable::kSlots; ++code)
            table.setPattern(code, QStringLiteral("slot %1").arg(code));
        defaults ? table.resetfont() : table.clear();
        for (int code = 0; code < FontTable::kSlots; ++code) {
            QString expected = code < 10 ? QStringLiteral("slot %1").arg(code) : kOff;
            if (defaults && code >= 58 && code <= 76)
                expected = builtIn.at(code - 58);
            QVERIFY2(table.pattern(code) == expected, qPrintable(QString::number(code)));
        }
    }

    void outOfRangeIndexNeverReachesTheTable_data()
    {
        QTest::addColumn<int>("code");
        QTest::newRow("-1") << -1;
        QTest::newRow("126") << 126;
        QTest::newRow("large") << 100000;
    }
    void outOfRangeIndexNeverReachesTheTable()
    {
        QFETCH(int, code);
        FontTable table;
        table.resetfont();
        QVERIFY(!table.setPattern(code, QStringLiteral("111")));
        QCOMPARE(table.pattern(code), QString());
        QCOMPARE(table.pattern(125), kOff);
    }

    void patterns_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cleaned");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("editable");
        QTest::addColumn<bool>("isPattern");
        // clang-format off
        QTest::newRow("full") << "000000000100010" << "000000000100010" << "000000000100010"
                              << "000000000100010" << true;
        QTest::newRow("short") << "101" << "101" << "101000000000000" << "101" << false;
        QTest::newRow("empty") << "" << "" << kOff << "" << false;
        QTest::newRow("long") << "11111111111111111111" << "111111111111111"
                              << "111111111111111" << "111111111111111" << false;
        // What an unchecked file can leave in a slot never ends a command or skips a digit.
        QTest::newRow("control characters") << "1\r!1" << "1001" << "100100000000000" << "11"
                                            << false;
        QTest::newRow("other digits") << "2101x" << "01010" << "010100000000000" << "101" << false;
        // clang-format on
    }
    void patterns()
    {
        QFETCH(QString, text);
        QFETCH(QString, cleaned);
        QFETCH(QString, stored);
        QFETCH(QString, editable);
        QFETCH(bool, isPattern);
        QCOMPARE(FontRules::cleanedPattern(text), cleaned);
        QCOMPARE(FontRules::storedPattern(text), stored);
        QCOMPARE(FontRules::editablePattern(text), editable);
        QCOMPARE(FontRules::isPattern(text), isPattern);
    }
};

QTEST_MAIN(TestFontTable)
#include "tst_fonttable.moc"
