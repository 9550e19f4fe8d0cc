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
    void defaults_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("pattern");
        QTest::newRow(":") << 58 << "000000010001000";
        QTest::newRow(";") << 59 << "011000000000000";
        QTest::newRow("<") << 60 << "000000001010000";
        QTest::newRow("=") << 61 << "000100000100010";
        QTest::newRow(">") << 62 << "000000100000100";
        QTest::newRow("?") << 63 << "110001000101000";
        QTest::newRow("@") << 64 << "111110000001010";
        QTest::newRow("A") << 65 << "000000000100010";
        QTest::newRow("B") << 66 << "000000010101010";
        QTest::newRow("C") << 67 << "000000000010100";
        QTest::newRow("D") << 68 << "000000101000000";
        QTest::newRow("E") << 69 << "000000111000000";
        QTest::newRow("F") << 70 << "000000011100000";
        QTest::newRow("G") << 71 << "000000001110000";
        QTest::newRow("H") << 72 << "000000000111000";
        QTest::newRow("I") << 73 << "000000000011100";
        QTest::newRow("J") << 74 << "000000000001110";
        QTest::newRow("K") << 75 << "000000100000110";
        QTest::newRow("L") << 76 << "000000110000010";
    }
    void defaults()
    {
        QFETCH(int, code);
        QFETCH(QString, pattern);
        FontTable table;
        table.setPattern(code, QStringLiteral("1"));
        table.resetfont();
        QCOMPARE(table.pattern(code), pattern);
    }

    void resetAndClearKeepTheirRanges_data()
    {
        QTest::addColumn<bool>("defaults");
        QTest::newRow("resetfont") << true;
        QTest::newRow("clear") << false;
    }
    void resetAndClearKeepTheirRanges()
    {
        QFETCH(bool, defaults);
        FontTable table;
        for (int code = 0; code < FontTable::kSlots; ++code)
            table.setPattern(code, QStringLiteral("slot %1").arg(code));
        defaults ? table.resetfont() : table.clear();
        for (int code = 0; code < 10; ++code)
            QCOMPARE(table.pattern(code), QStringLiteral("slot %1").arg(code));
        for (int code = 10; code <= 125; ++code) {
            if (defaults && code >= 58 && code <= 76)
                QVERIFY2(table.pattern(code) != kOff, qPrintable(QString::number(code)));
            else
                QVERIFY2(table.pattern(code) == kOff, qPrintable(QString::number(code)));
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
        QCOMPARE(table.pattern(0), QString());
    }

    void patterns_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cleaned");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("editable");
        QTest::addColumn<bool>("isPattern");
        QTest::newRow("full") << "000000000100010"
                              << "000000000100010"
                              << "000000000100010"
                              << "000000000100010" << true;
        QTest::newRow("short") << "101"
                               << "101"
                               << "101000000000000"
                               << "101" << false;
        QTest::newRow("empty") << ""
                               << "" << kOff << "" << false;
        QTest::newRow("long") << "11111111111111111111"
                              << "111111111111111"
                              << "111111111111111"
                              << "111111111111111" << false;
        QTest::newRow("control characters") << "1\r!1"
                                            << "1001"
                                            << "100100000000000"
                                            << "11" << false;
        QTest::newRow("other digits") << "2101x"
                                      << "01010"
                                      << "010100000000000"
                                      << "101" << false;
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

    void writeArgumentNeverHoldsACommandCharacter()
    {
        const QByteArray argument
                = FontRules::patternWriteArgument('A', QStringLiteral("1!\r\n0111111111111111"));
        QCOMPARE(argument, QByteArray("A100001111111111"));
        QVERIFY(!argument.contains('\r'));
        QVERIFY(!argument.contains('!'));
    }

    void uploadCodes()
    {
        const QList<int> codes = FontRules::uploadCodes();
        QCOMPARE(codes.size(), 114);
        QCOMPARE(codes.first(), 10);
        QCOMPARE(codes.last(), 125);
        QVERIFY(std::is_sorted(codes.begin(), codes.end()));
        QVERIFY(!codes.contains(13));
        QVERIFY(!codes.contains(33));
    }
};

QTEST_MAIN(TestFontTable)
#include "tst_fonttable.moc"
