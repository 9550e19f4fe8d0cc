#include "font/fontfile.h"
#include "font/fonttable.h"

#include <QTest>

// The user-font file formats: what Load accepts and refuses, what Save writes, and the two
// layouts of the start-up file.
class TestFontFile : public QObject
{
    Q_OBJECT

    // A different valid pattern for every code.
    static QString pattern(int code)
    {
        QString text;
        const unsigned mixed = static_cast<unsigned>(code) * 2654435761u;
        for (int k = 0; k < FontTable::kSegments; ++k)
            text += (mixed >> (k + 9)) & 1u ? QLatin1Char('1') : QLatin1Char('0');
        return text;
    }

    // One text per line, joined with the given line end (also after the last line).
    static QByteArray join(const QStringList &lines, const QByteArray &end = "\r\n")
    {
        QByteArray bytes;
        for (const QString &line : lines)
            bytes += line.toLocal8Bit() + end;
        return bytes;
    }

    // The lines Save writes for codes 10 to 125.
    static QStringList savedLines()
    {
        QStringList lines;
        for (int code = FontTable::kFirstUserCode; code <= FontTable::kLastUserCode; ++code)
            lines.append(QString::number(code).rightJustified(3, QLatin1Char('0'))
                         + QLatin1Char(' ') + pattern(code));
        return lines;
    }

    // The 126-line start-up layout: anything on the first ten lines, then the patterns.
    static QStringList bareLines()
    {
        QStringList lines;
        for (int slot = 0; slot < FontTable::kFirstUserCode; ++slot)
            lines.append(QStringLiteral("slot %1 anything").arg(slot));
        for (int code = FontTable::kFirstUserCode; code <= FontTable::kLastUserCode; ++code)
            lines.append(pattern(code));
        return lines;
    }

    // The saved lines with line `number` (1-based) replaced.
    static QStringList withLine(QStringList lines, int number, const QString &text)
    {
        lines[number - 1] = text;
        return lines;
    }

private Q_SLOTS:
    void loadFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<int>("probeCode");
        QTest::addColumn<QString>("probePattern");

        const QStringList saved = savedLines();
        QTest::newRow("as Save writes it") << join(saved) << QString() << 10 << pattern(10);
        QTest::newRow("LF line ends") << join(saved, "\n") << QString() << 125 << pattern(125);
        QByteArray noFinalEnd = join(saved);
        noFinalEnd.chop(2);
        QTest::newRow("no line end after the last line")
                << noFinalEnd << QString() << 125 << pattern(125);

        QStringList wrongCodes = saved;
        const QStringList codes = {QStringLiteral("999"), QStringLiteral("abc"),
                                   QStringLiteral("1"), QStringLiteral("-"), QStringLiteral("065")};
        for (int i = 0; i < wrongCodes.size(); ++i)
            wrongCodes[i] = codes.at(i % codes.size()) + QLatin1Char(' ') + pattern(10 + i);
        QTest::newRow("wrong or missing codes load in line order")
                << join(wrongCodes) << QString() << 10 << pattern(10);
        QTest::newRow("line 56 goes to code 65 whatever its code says")
                << join(wrongCodes) << QString() << 65 << pattern(65);

        QTest::newRow("117 lines: the extra line is ignored")
                << join(saved + QStringList{QStringLiteral("126 222222222222222")}) << QString()
                << 125 << pattern(125);
        QTest::newRow("runs of blanks between code and pattern")
                << join(withLine(saved, 1, QStringLiteral("010     ") + pattern(10))) << QString()
                << 10 << pattern(10);
        QTest::newRow("a third field is not part of the pattern") << join(
                withLine(saved, 1, QStringLiteral("010 ") + pattern(10) + QStringLiteral(" x")))
                                                                  << QString() << 10 << pattern(10);
        QTest::newRow("16 characters are accepted and stored whole")
                << join(withLine(saved, 1, QStringLiteral("010 ") + pattern(10) + QLatin1Char('1')))
                << QString() << 10 << pattern(10) + QLatin1Char('1');
        QTest::newRow("characters after the 15th are not checked")
                << join(withLine(saved, 2,
                                 QStringLiteral("011 ") + pattern(11) + QStringLiteral("2x")))
                << QString() << 11 << pattern(11) + QStringLiteral("2x");

        QTest::newRow("empty file")
                << QByteArray() << QStringLiteral("File is empty") << 0 << QString();
        QTest::newRow("one empty line")
                << QByteArray("\r\n") << QStringLiteral("Less than 116 font patterns, load aborted")
                << 0 << QString();
        QTest::newRow("115 lines")
                << join(saved.mid(0, 115))
                << QStringLiteral("Less than 116 font patterns, load aborted") << 0 << QString();
        QTest::newRow("010 alone on the first line")
                << join(withLine(saved, 1, QStringLiteral("010")))
                << QStringLiteral("Font pattern 10 too few symbols, load aborted") << 0
                << QString();
        QString two = pattern(65);
        two[7] = QLatin1Char('2');
        QTest::newRow("a 2 on line 56")
                << join(withLine(saved, 56, QStringLiteral("065 ") + two))
                << QStringLiteral("Font pattern 65 invalid symbol, load aborted") << 0 << QString();
        QTest::newRow("a blank line counts as a line")
                << join(withLine(saved, 30, QString()))
                << QStringLiteral("Font pattern 39 too few symbols, load aborted") << 0
                << QString();
        QTest::newRow("a leading blank leaves no second field")
                << join(withLine(saved, 3, QLatin1Char(' ') + pattern(12)))
                << QStringLiteral("Font pattern 12 too few symbols, load aborted") << 0
                << QString();
        QTest::newRow("14 characters")
                << join(withLine(saved, 116, QStringLiteral("125 ") + pattern(125).left(14)))
                << QStringLiteral("Font pattern 125 too few symbols, load aborted") << 0
                << QString();
        QTest::newRow("the lowest faulty code is reported")
                << join(withLine(withLine(saved, 20, QStringLiteral("029 1")), 5,
                                 QStringLiteral("014 11111111111111x")))
                << QStringLiteral("Font pattern 14 invalid symbol, load aborted") << 0 << QString();
        QTest::newRow("a fault after line 116 is ignored")
                << join(saved + QStringList{QStringLiteral("x")}) << QString() << 10 << pattern(10);
    }

    void loadFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, refusal);
        QFETCH(int, probeCode);
        QFETCH(QString, probePattern);

        const FontFile::Patterns read = FontFile::readLoadFile(bytes);
        QCOMPARE(read.refusal, refusal);
        if (!refusal.isEmpty()) {
            QVERIFY(!read.ok());
            QVERIFY(read.patterns.isEmpty());
            return;
        }
        QVERIFY(read.ok());
        QCOMPARE(read.patterns.size(), FontFile::kPatternCount);
        QCOMPARE(read.patterns.at(probeCode - FontTable::kFirstUserCode), probePattern);
    }

    void overlongLineIsCutAndTheNextLineStillRead()
    {
        QStringList lines = savedLines();
        lines[0] += QString(3 * FontFile::kMaxLineBytes, QLatin1Char('1'));
        const FontFile::Patterns read = FontFile::readLoadFile(join(lines));
        QVERIFY(read.ok());
        QVERIFY(read.patterns.at(0).size() < FontFile::kMaxLineBytes);
        QVERIFY(read.patterns.at(0).startsWith(pattern(10)));
        QCOMPARE(read.patterns.at(1), pattern(11));
    }

    void saveWritesOneCodedLinePerCode()
    {
        FontTable table;
        table.resetfont();
        table.setPattern(70, QStringLiteral("0000001110000001"));
        const QByteArray bytes = FontFile::saveFileBytes(table);
        const QList<QByteArray> lines = bytes.split('\n');
        QCOMPARE(lines.size(), FontFile::kPatternCount + 1); // the text ends in a line end
        QVERIFY(lines.last().isEmpty());
        QCOMPARE(lines.at(0), QByteArray("010 000000000000000\r"));
        QCOMPARE(lines.at(55), QByteArray("065 000000000100010\r"));
        QCOMPARE(lines.at(60), QByteArray("070 0000001110000001\r"));
        QCOMPARE(lines.at(115), QByteArray("125 000000000000000\r"));
        QCOMPARE(bytes.count("\r\n"), FontFile::kPatternCount);
    }

    void savedFileLoadsBackExactly()
    {
        FontTable table;
        for (int code = FontTable::kFirstUserCode; code <= FontTable::kLastUserCode; ++code)
            table.setPattern(code, pattern(code));
        table.setPattern(100, pattern(100) + QStringLiteral("01"));
        const FontFile::Patterns read = FontFile::readLoadFile(FontFile::saveFileBytes(table));
        QVERIFY(read.ok());
        for (int code = FontTable::kFirstUserCode; code <= FontTable::kLastUserCode; ++code)
            QCOMPARE(read.patterns.at(code - FontTable::kFirstUserCode), table.pattern(code));
    }

    void startupFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<int>("lowSlots");
        QTest::addColumn<int>("probeCode");
        QTest::addColumn<QString>("probePattern");

        const QStringList bare = bareLines();
        const QStringList saved = savedLines();
        QTest::newRow("126 lines") << join(bare) << QString() << 10 << 10 << pattern(10);
        QTest::newRow("126 lines, LF only")
                << join(bare, "\n") << QString() << 10 << 125 << pattern(125);
        QTest::newRow("130 lines: the rest is ignored")
                << join(bare + QStringList(4, QStringLiteral("junk"))) << QString() << 10 << 65
                << pattern(65);
        QTest::newRow("126 lines, a long pattern is cut to 15")
                << join(withLine(bare, 66, pattern(65) + QStringLiteral("1x"))) << QString() << 10
                << 65 << pattern(65);
        QTest::newRow("Save layout") << join(saved) << QString() << 0 << 125 << pattern(125);
        QTest::newRow("Save layout, 117 lines") << join(saved + QStringList{QStringLiteral("x")})
                                                << QString() << 0 << 10 << pattern(10);
        QTest::newRow("Save layout, a long pattern is cut to 15") << join(
                withLine(saved, 56, QStringLiteral("065 ") + pattern(65) + QStringLiteral("11")))
                                                                  << QString() << 0 << 65
                                                                  << pattern(65);

        QTest::newRow("empty") << QByteArray()
                               << QStringLiteral("Character set file not loaded: file is empty")
                               << 0 << 0 << QString();
        QTest::newRow("126 lines, line 66 not a pattern")
                << join(withLine(bare, 66, QStringLiteral("00000000020000")))
                << QStringLiteral(
                           "Character set file not loaded: line 66 is not a 15-segment pattern")
                << 0 << 0 << QString();
        QTest::newRow("126 lines, line 11 too short")
                << join(withLine(bare, 11, QStringLiteral("0101")))
                << QStringLiteral(
                           "Character set file not loaded: line 11 is not a 15-segment pattern")
                << 0 << 0 << QString();
        QTest::newRow("125 bare lines")
                << join(bare.mid(0, 125))
                << QStringLiteral("Character set file not loaded: fewer than 126 lines") << 0 << 0
                << QString();
        QString two = pattern(65);
        two[3] = QLatin1Char('2');
        QTest::newRow("Save layout, a 2 on line 56")
                << join(withLine(saved, 56, QStringLiteral("065 ") + two))
                << QStringLiteral("Character set file not loaded: font pattern 65 invalid symbol")
                << 0 << 0 << QString();
        QTest::newRow("Save layout, 010 alone")
                << join(withLine(saved, 1, QStringLiteral("010")))
                << QStringLiteral("Character set file not loaded: font pattern 10 too few symbols")
                << 0 << 0 << QString();
        QTest::newRow("Save layout, 115 lines")
                << join(saved.mid(0, 115))
                << QStringLiteral("Character set file not loaded: fewer than 116 font patterns")
                << 0 << 0 << QString();
    }

    void startupFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, refusal);
        QFETCH(int, lowSlots);
        QFETCH(int, probeCode);
        QFETCH(QString, probePattern);

        const FontFile::StartupFont font = FontFile::readStartupFile(bytes);
        QCOMPARE(font.refusal, refusal);
        if (!refusal.isEmpty()) {
            QVERIFY(font.patterns.isEmpty());
            QVERIFY(font.lowSlots.isEmpty());
            return;
        }
        QCOMPARE(font.lowSlots.size(), lowSlots);
        if (lowSlots > 0)
            QCOMPARE(font.lowSlots.at(3), QStringLiteral("slot 3 anything"));
        QCOMPARE(font.patterns.size(), FontFile::kPatternCount);
        QCOMPARE(font.patterns.at(probeCode - FontTable::kFirstUserCode), probePattern);
    }

    void startupPatternsAreAlwaysFifteenSegments_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray junk;
        for (int i = 0; i < 20000; ++i)
            junk += static_cast<char>((i * 7919) % 251);
        QTest::newRow("binary junk") << junk;
        QByteArray longLines;
        for (int i = 0; i < 126; ++i)
            longLines += QByteArray(40, '1') + (i % 2 ? " 1\r\n" : "\r\n");
        QTest::newRow("126 long lines") << longLines;
        QByteArray blanks;
        for (int i = 0; i < 126; ++i)
            blanks += "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\r\n";
        QTest::newRow("blank-separated digits") << blanks;
        QTest::newRow("only line ends") << QByteArray(300, '\n');
    }

    void startupPatternsAreAlwaysFifteenSegments()
    {
        QFETCH(QByteArray, bytes);
        const FontFile::StartupFont font = FontFile::readStartupFile(bytes);
        if (!font.ok()) {
            QVERIFY(font.refusal.startsWith(QStringLiteral("Character set file not loaded: ")));
            QVERIFY(font.patterns.isEmpty());
            return;
        }
        QCOMPARE(font.patterns.size(), FontFile::kPatternCount);
        for (const QString &each : font.patterns) {
            QCOMPARE(each.size(), FontTable::kSegments);
            QVERIFY(each.count(QLatin1Char('0')) + each.count(QLatin1Char('1'))
                    == FontTable::kSegments);
        }
    }
};

QTEST_MAIN(TestFontFile)
#include "tst_fontfile.moc"
