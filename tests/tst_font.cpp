#include "support/testhelpers.h"

#include "font/fontcommands.h"
#include "font/fontfile.h"
#include "font/fonthistory.h"
#include "font/fontrules.h"
#include "font/fonttable.h"

#include <QTest>

namespace {

QStringList withLine(QStringList lines, int number, const QString &text)
{
    lines[number - 1] = text;
    return lines;
}

QString withTwo(QString pattern)
{
    pattern[7] = QLatin1Char('2');
    return pattern;
}

// What Load takes for code, or its refusal.
QString loaded(const QByteArray &bytes, int code)
{
    const FontFile::Patterns read = FontFile::readLoadFile(bytes);
    return read.ok() ? read.patterns.value(code - 10) : read.refusal + read.patterns.join("");
}

// The start-up file's slot 3, code 65 and defaults kept, or its refusal.
QString started(const QByteArray &bytes)
{
    const FontFile::StartupFont font = FontFile::readStartupFile(bytes);
    return font.ok() ? font.lowSlots.value(3) + '|' + font.patterns.value(55) + '|'
                               + QString::number(font.keptDefaults)
                     : font.refusal + font.patterns.join("");
}

} // namespace

// The user font: its table, the files it is loaded from and saved to, the commands that
// write it to the modules, and its undo history.
class TestFont : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rules_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        const QStringList saved = savedFontLines();
        QStringList bare; // the 126-line start-up layout
        for (int slot = 0; slot < 10; ++slot)
            bare.append(QStringLiteral("slot %1").arg(slot));
        for (int code = 10; code <= 125; ++code)
            bare.append(distinctPattern(code));
        QStringList noCodes = saved;
        for (QString &line : noCodes)
            line.replace(0, 3, QStringLiteral("999"));
        const QString p65 = distinctPattern(65);
        const QString tooFew = QStringLiteral("Font pattern %1 too few symbols, load aborted");
        const QString invalid = QStringLiteral("Font pattern %1 invalid symbol, load aborted");
        const QString notLoaded = QStringLiteral("Character set file not loaded: ");
        FontTable table;
        for (int code = 0; code <= 125; ++code)
            table.setPattern(code, distinctPattern(code));
        const bool refused = !table.setPattern(-1, "1") && !table.setPattern(126, "1");
        const QString save = QString::fromLatin1(FontFile::saveFileBytes(table));
        FontTable cleared = table;
        cleared.clear();
        FontHistory history;
        FontTable edited = cleared;
        history.record(table, cleared, 20);
        QString steps = QString::number(history.undo(edited).value_or(-1));
        steps += edited == table ? " restored" : "";
        history.record(table, cleared, 21); // a new edit after the undo: nothing to redo
        steps += history.redo(edited) ? " redone " : " ";
        steps += QString::number(history.undo(edited).value_or(-1));
        table.resetfont();
        table.setPattern(10, QStringLiteral("1\r!1"));
        const CommandList upload = FontCommands::upload("UU", table);
        FontTable applied;
        applied.setPattern(11, distinctPattern(11));
        applied.applyUserPatterns({distinctPattern(10), QString(), distinctPattern(12)});
        const QString off(15, QLatin1Char('0'));
        // clang-format off
        QTest::newRow("load as saved") << loaded(joinLines(saved), 10) << distinctPattern(10);
        QTest::newRow("load LF, none after the last") << loaded(joinLines(saved, "\n").chopped(1), 125) << distinctPattern(125);
        QTest::newRow("load by line, not code") << loaded(joinLines(noCodes), 65) << p65;
        QTest::newRow("load runs of blanks") << loaded(joinLines(withLine(saved, 1, "010   " + p65)), 10) << p65;
        QTest::newRow("load empty") << loaded("", 10) << "File is empty";
        QTest::newRow("load 115 lines") << loaded(joinLines(saved.mid(0, 115)), 10) << "Less than 116 font patterns, load aborted";
        QTest::newRow("load code alone") << loaded(joinLines(withLine(saved, 1, "010")), 10) << tooFew.arg(10);
        QTest::newRow("load a 2") << loaded(joinLines(withLine(saved, 56, "065 " + withTwo(p65))), 10) << invalid.arg(65);
        QTest::newRow("load reports the lowest faulty code") << loaded(joinLines(withLine(withLine(saved, 20, "029 1"), 5, "014 11111111111111x")), 10) << invalid.arg(14);
        QTest::newRow("start 126 lines, more ignored") << started(joinLines(bare + QStringList{"x"})) << "slot 3|" + p65 + "|0";
        QTest::newRow("start Save layout") << started(joinLines(saved)) << "|" + p65 + "|0";
        QTest::newRow("start bad line keeps default") << started(joinLines(withLine(bare, 66, withTwo(p65)))) << "slot 3||1";
        QTest::newRow("start 13 and 33 unchecked") << started(joinLines(withLine(withLine(bare, 14, "x"), 34, ""))) << "slot 3|" + p65 + "|0";
        QTest::newRow("start empty") << started("") << notLoaded + "file is empty";
        QTest::newRow("start 125 lines") << started(joinLines(bare.mid(0, 125))) << notLoaded + "fewer than 126 lines";
        QTest::newRow("save") << save << QString::fromLatin1(joinLines(savedFontLines()));
        QTest::newRow("no slot -1 or 126") << QString::number(refused) << "1";
        QTest::newRow("clear: 10 off") << cleared.pattern(10) << off;
        QTest::newRow("clear: 125 off") << cleared.pattern(125) << off;
        QTest::newRow("clear keeps 9") << cleared.pattern(9) << distinctPattern(9);
        QTest::newRow("reset: 65's default") << table.pattern(65) << "000000000100010";
        QTest::newRow("apply from code 10, empty keeps") << applied.pattern(9) + '|' + applied.pattern(10) + '|' + applied.pattern(11) + '|' + applied.pattern(12) << '|' + distinctPattern(10) + '|' + distinctPattern(11) + '|' + distinctPattern(12);
        QTest::newRow("stored short") << FontRules::storedPattern("101") << "101000000000000";
        QTest::newRow("stored long") << FontRules::storedPattern(QString(20, '1')) << QString(15, '1');
        QTest::newRow("stored CR and skip") << FontRules::storedPattern("1\r!1") << "100100000000000";
        QTest::newRow("editable") << FontRules::editablePattern("2101\rx") << "101";
        QTest::newRow("is a pattern") << QString::number(FontRules::isPattern(off)) << "1";
        QTest::newRow("14 is no pattern") << QString::number(FontRules::isPattern(off.mid(1))) << "0";
        QTest::newRow("write: cleaned, then shown") << onWire(FontCommands::writePattern("A", "1\r!1", 5)) << "$B7WA1001\r(5)$B7MA\r(10)";
        QTest::newRow("upload: fonts, then each code written and shown") << onWire(upload.mid(0, 3)) << "$B7FUU\r(5)$B7W\n100100000000000\r(5)$B7M\n\r(5)";
        QTest::newRow("upload: 13 stepped over") << onWire(upload.mid(6, 2)) << "$B7M\x0c\r(5)$B7W\x0e" + off + "\r(5)";
        QTest::newRow("upload: ends at 125") << onWire(upload.mid(upload.size() - 2)) << "$B7W}" + off + "\r(5)$B7M}\r(5)";
        QTest::newRow("upload: 114 codes") << QString::number(upload.size()) << "229";
        QTest::newRow("undo, then a new edit drops the redo") << steps << "20 restored 21";
        // clang-format on
    }
    void rules()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }
};

QTEST_MAIN(TestFont)
#include "tst_font.moc"
