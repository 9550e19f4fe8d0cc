#include "support/testhelpers.h"

#include "font/builtinfont.h"
#include "font/fontcommands.h"
#include "font/fontexchange.h"
#include "font/fontfile.h"
#include "font/fonthistory.h"
#include "font/fontrules.h"
#include "font/fonttable.h"
#include "font/textfont.h"

#include <QRandomGenerator>
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

QString glyphText(char32_t character)
{
    return TextFont::glyph(character).value_or(QStringLiteral("none"));
}

// The characters of text, each with its position and offset.
QString listed(const QList<TextFont::Character> &characters)
{
    QStringList parts;
    for (const TextFont::Character &character : characters)
        parts.append(QStringLiteral("%1 %2 %3")
                             .arg(character.text)
                             .arg(character.position)
                             .arg(character.offset));
    return parts.join('|');
}

// A 96-value C array from the space with the given values (the rest 0), as people write one.
QByteArray cArray(const QMap<char, QByteArray> &values)
{
    QByteArray text = "/* a font */\nconst uint16_t font[] = {\n";
    for (int code = 0x20; code < 0x80; ++code)
        text += "    " + values.value(char(code), "0x0000") + ", // " + QByteArray::number(code)
                + "\n";
    return text + "};\n";
}

// What an import gave for code, or its refusal.
QString imported(const QByteArray &text, int code)
{
    const FontFile::Patterns read = FontExchange::read(text);
    return read.ok() ? read.patterns.value(code - 10) : read.refusalFrom(QStringLiteral("f"));
}

// A seeded random user font written out and read back: "same" or the first code that differs.
QString roundTrip(QByteArray (*write)(const FontTable &))
{
    QRandomGenerator random(35);
    FontTable table;
    for (int code = 10; code <= 125; ++code)
        table.setPattern(code, FontExchange::fromSegmentBits(quint16(random.bounded(0x8000))));
    FontTable back;
    back.applyUserPatterns(FontExchange::read(write(table)).patterns);
    for (int code = 10; code <= 125; ++code) {
        if (back.pattern(code) != table.pattern(code))
            return QString::number(code);
    }
    return QStringLiteral("same");
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
        QTest::newRow("start empty") << started("") << notLoaded + "file is empty";
        QTest::newRow("start 125 lines") << started(joinLines(bare.mid(0, 125))) << notLoaded + "fewer than 126 lines";
        QTest::newRow("save") << save << QString::fromLatin1(joinLines(savedFontLines()));
        QTest::newRow("clear: 125 off") << cleared.pattern(125) << off;
        QTest::newRow("clear keeps 9") << cleared.pattern(9) << distinctPattern(9);
        QTest::newRow("reset: 65's default") << table.pattern(65) << "000000000100010";
        QTest::newRow("apply from code 10, empty keeps") << applied.pattern(9) + '|' + applied.pattern(10) + '|' + applied.pattern(11) + '|' + applied.pattern(12) << '|' + distinctPattern(10) + '|' + distinctPattern(11) + '|' + distinctPattern(12);
        QTest::newRow("stored short") << FontRules::storedPattern("101") << "101000000000000";
        QTest::newRow("stored CR and skip") << FontRules::storedPattern("1\r!1") << "100100000000000";
        QTest::newRow("editable") << FontRules::editablePattern("2101\rx") << "101";
        QTest::newRow("write: cleaned, then shown") << onWire(FontCommands::writePattern("A", "1\r!1", 5)) << "$B7WA1001\r(5)$B7MA\r(10)";
        QTest::newRow("undo, then a new edit drops the redo") << steps << "20 restored 21";
        // clang-format on
    }
    void rules()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }

    void textFont_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        QString ascii;
        for (char c = 0x20; c < 0x7f; ++c)
            ascii += QLatin1Char(c);
        const QString symbols = QStringLiteral("°µ€£¥±×÷«»§¢¿¡²³½¼¾");
        const QString e = glyphText('e');
        const QString emoji = QStringLiteral("A😀b\u0301€👍🏽\tx");
        const QByteArray good = "# glyphs\nU+0041 A 111011000100010  # A\n";
        const auto parsed = [](const QByteArray &bytes) {
            const TextFont::Table table = TextFont::parse(bytes);
            return table.ok() ? table.glyphs.value(U'A')
                              : QStringLiteral("line %1: %2").arg(table.line).arg(table.refusal);
        };
        // clang-format off
        QTest::newRow("printable ASCII and signs drawn") << listed(TextFont::covers(ascii + symbols)) << "";
        QTest::newRow("é as e") << glyphText(U'é') << e;
        QTest::newRow("Ä as A") << glyphText(U'Ä') << BuiltinFont::pattern('A');
        QTest::newRow("e and a combining accent as e") << TextFont::glyphOf(QStringLiteral("e\u0301")).value_or("none") << e;
        QTest::newRow("a full-width A as A") << glyphText(U'Ａ') << BuiltinFont::pattern('A');
        QTest::newRow("the ligature fi has none") << glyphText(U'ﬁ') << "none";
        QTest::newRow("whole characters, counted") << listed(TextFont::split(emoji).mid(1, 2)) << "😀 1 1|b\u0301 2 3";
        QTest::newRow("covers names emoji whole") << listed(TextFont::covers(emoji)) << "😀 1 1|👍🏽 4 6|\t 5 10";
        QTest::newRow("data file") << parsed(good) << "111011000100010";
        QTest::newRow("data file: underscore") << parsed("U+0041 A 111011000100011") << "line 1: the pattern lights the underscore";
        QTest::newRow("data file: twice") << parsed(good + good) << "line 4: U+0041 is drawn twice";
        // clang-format on
    }
    void textFont()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }

    void exchange_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        // Values as 14-segment fonts commonly draw these characters, typed by hand.
        // clang-format off
        const QByteArray typed = cArray({{'A', "0x00F7"}, {'K', "0x2470"}, {'M', "0x0536"}, {'Q', "0x203f"},
                                         {'W', "0x2836"}, {'Y', "0x1500"}, {'1', "0x0406u"}, {'7', "7"},
                                         {':', "0x1200"}, {'=', "0x00C8"}, {'.', "0x4000"}});
        // clang-format on
        QByteArray full = "{";
        for (int code = 0; code < 128; ++code)
            full += code == 10 ? "1," : "0,";
        full += "}";
        const QByteArray wrapped = "const uint16_t f[] = {\n    0x0000,\n    0xZZ,\n};\n";
        // clang-format off
        for (const char ch : QByteArray("AKMQWY17:="))
            QTest::addRow("C array: %c", ch) << imported(typed, ch) << BuiltinFont::pattern(ch);
        QTest::newRow("C array: the point is the underscore") << imported(typed, '.') << "000000000000001";
        QTest::newRow("C array: from the space, 10 to 31 not given") << imported(typed, 31) << "";
        QTest::newRow("C array of 128 from code 0") << imported(full, 10) << "100000000000000";
        QTest::newRow("JSON: pattern and number") << imported("{\"A\": \"111111000000000\",\n \"B\": 247}", 'A') + imported("{\"B\": 247}", 'B') << "111111000000000" + BuiltinFont::pattern('A');
        QTest::newRow("round trip: JSON") << roundTrip(FontExchange::jsonBytes) << "same";
        QTest::newRow("round trip: C array") << roundTrip([](const FontTable &font) { return FontExchange::cArrayBytes(font); }) << "same";
        QTest::newRow("C refused: not a number") << imported(wrapped, 10) << "f: line 3: \"0xZZ\" is not a number";
        QTest::newRow("C refused: count") << imported("{\n1,\n2\n}", 10) << "f: line 4: 2 values; a font has 96 (from the space) or 128 (from code 0)";
        QTest::newRow("C refused: empty value") << imported("1,\n,2", 10) << "f: line 2: a value is missing between commas";
        QTest::newRow("C refused: bit 15") << imported("0x0000,\n0x8000", 10) << "f: line 2: 0x8000 is beyond 14 segments and the point (0x7FFF)";
        QTest::newRow("JSON refused: value") << imported("{\"A\": 1,\n\"B\": \"12\"}", 10) << "f: line 2: the value of \"B\" is neither 15 characters 0 or 1 nor a number from 0 to 32767";
        QTest::newRow("JSON refused: no code") << imported("{\n\"~\": 1,\n\"é\": 1}", 10) << "f: line 2: \"~\" has no code in the user font (10 to 125)";
        // clang-format on
    }
    void exchange()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }
};

QTEST_MAIN(TestFont)
#include "tst_font.moc"
