#include "core/linereader.h"
#include "support/testhelpers.h"

#include "font/fontfile.h"
#include "font/fontrules.h"
#include "font/fonttable.h"

#include <QTest>

namespace {

// lines with line `number` (1-based) replaced.
QStringList withLine(QStringList lines, int number, const QString &text)
{
    lines[number - 1] = text;
    return lines;
}

// The 126-line start-up layout: anything on the first ten lines, then the patterns.
QStringList bareLines()
{
    QStringList lines;
    for (int slot = 0; slot < FontTable::kFirstUserCode; ++slot)
        lines.append(QStringLiteral("slot %1 anything").arg(slot));
    for (int code = FontTable::kFirstUserCode; code <= FontTable::kLastUserCode; ++code)
        lines.append(distinctPattern(code));
    return lines;
}

QString withDigitTwo(QString pattern, int at)
{
    pattern[at] = QLatin1Char('2');
    return pattern;
}

} // namespace

// The user-font file formats: what Load accepts and refuses, and the two layouts of the
// start-up file. What Save writes is judged on disk in tst_fontfilebar.
class TestFontFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void loadFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<int>("probeCode");
        QTest::addColumn<QString>("probePattern");

        const QStringList saved = savedFontLines();
        const QString p10 = distinctPattern(10);
        QStringList wrongCodes = saved;
        const QStringList codes = {"999", "abc", "1", "-", "065"};
        for (int i = 0; i < wrongCodes.size(); ++i)
            wrongCodes[i] = codes.at(i % codes.size()) + QLatin1Char(' ') + distinctPattern(10 + i);
        const QString tooFew = QStringLiteral("Font pattern %1 too few symbols, load aborted");

        // clang-format off
        QTest::newRow("as Save writes it") << joinLines(saved) << QString() << 10 << p10;
        QTest::newRow("LF line ends, none after the last line")
                << joinLines(saved, "\n").chopped(1) << QString() << 125 << distinctPattern(125);
        QTest::newRow("wrong or missing codes: the first line goes to code 10")
                << joinLines(wrongCodes) << QString() << 10 << p10;
        QTest::newRow("wrong or missing codes: line 56 goes to code 65")
                << joinLines(wrongCodes) << QString() << 65 << distinctPattern(65);
        QTest::newRow("117 lines: the extra line is ignored")
                << joinLines(saved + QStringList{"126 2"}) << QString() << 125 << distinctPattern(125);
        QTest::newRow("runs of blanks between code and pattern")
                << joinLines(withLine(saved, 1, "010     " + p10)) << QString() << 10 << p10;
        QTest::newRow("more than 15 characters are stored whole, unchecked")
                << joinLines(withLine(saved, 1, "010 " + p10 + "2x")) << QString() << 10 << p10 + "2x";

        QTest::newRow("empty file") << QByteArray() << "File is empty" << 0 << QString();
        QTest::newRow("115 lines") << joinLines(saved.mid(0, 115))
                << "Less than 116 font patterns, load aborted" << 0 << QString();
        QTest::newRow("010 alone on the first line")
                << joinLines(withLine(saved, 1, "010")) << tooFew.arg(10) << 0 << QString();
        QTest::newRow("a 2 on line 56")
                << joinLines(withLine(saved, 56, "065 " + withDigitTwo(distinctPattern(65), 7)))
                << "Font pattern 65 invalid symbol, load aborted" << 0 << QString();
        QTest::newRow("a blank line counts as a line")
                << joinLines(withLine(saved, 30, QString())) << tooFew.arg(39) << 0 << QString();
        QTest::newRow("the lowest faulty code is reported")
                << joinLines(withLine(withLine(saved, 20, "029 1"), 5, "014 11111111111111x"))
                << "Font pattern 14 invalid symbol, load aborted" << 0 << QString();
        // clang-format on
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
            QVERIFY(read.patterns.isEmpty());
            return;
        }
        QCOMPARE(read.patterns.size(), FontFile::kPatternCount);
        QCOMPARE(read.patterns.at(probeCode - FontTable::kFirstUserCode), probePattern);
    }

    void overlongLineIsCutAndTheNextLineStillRead()
    {
        QStringList lines = savedFontLines();
        lines[0] += QString(3 * kMaxLineBytes, QLatin1Char('1'));
        const FontFile::Patterns read = FontFile::readLoadFile(joinLines(lines));
        QVERIFY(read.ok());
        QVERIFY(read.patterns.at(0).size() < kMaxLineBytes);
        QVERIFY(read.patterns.at(0).startsWith(distinctPattern(10)));
        QCOMPARE(read.patterns.at(1), distinctPattern(11));
    }

    void startupFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<int>("lowSlots");
        QTest::addColumn<int>("probeCode");
        QTest::addColumn<int>("keptDefaults");

        const QStringList bare = bareLines();
        const QStringList saved = savedFontLines();
        const QString p65 = distinctPattern(65);
        const QString notLoaded = QStringLiteral("Character set file not loaded: ");
        // clang-format off
        QTest::newRow("126 lines") << joinLines(bare) << QString() << 10 << 10 << 0;
        QTest::newRow("130 lines: the rest is ignored")
                << joinLines(bare + QStringList(4, "junk")) << QString() << 10 << 65 << 0;
        QTest::newRow("126 lines, a long pattern is cut to 15")
                << joinLines(withLine(bare, 66, p65 + "1x")) << QString() << 10 << 65 << 0;
        QTest::newRow("Save layout") << joinLines(saved) << QString() << 0 << 125 << 0;
        // One unusable line keeps its slot's default, the rest is loaded.
        QTest::newRow("126 lines, line 66 not a pattern")
                << joinLines(withLine(bare, 66, "00000000020000")) << QString() << 10 << 64 << 1;
        QTest::newRow("126 lines, codes 13 and 33 are not checked")
                << joinLines(withLine(withLine(bare, 14, "x"), 34, "")) << QString() << 10 << 65
                << 0;
        QTest::newRow("Save layout, a 2 on line 56")
                << joinLines(withLine(saved, 56, "065 " + withDigitTwo(p65, 3))) << QString() << 0
                << 66 << 1;

        QTest::newRow("empty") << QByteArray() << notLoaded + "file is empty" << 0 << 0 << 0;
        QTest::newRow("125 bare lines")
                << joinLines(bare.mid(0, 125)) << notLoaded + "fewer than 126 lines" << 0 << 0
                << 0;
        QTest::newRow("Save layout, 115 lines")
                << joinLines(saved.mid(0, 115)) << notLoaded + "fewer than 116 font patterns" << 0
                << 0 << 0;
        // clang-format on
    }
    void startupFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, refusal);
        QFETCH(int, lowSlots);
        QFETCH(int, probeCode);
        QFETCH(int, keptDefaults);
        const FontFile::StartupFont font = FontFile::readStartupFile(bytes);
        QCOMPARE(font.refusal, refusal);
        QCOMPARE(font.keptDefaults, keptDefaults);
        if (!refusal.isEmpty()) {
            QVERIFY(font.patterns.isEmpty() && font.lowSlots.isEmpty());
            return;
        }
        QCOMPARE(font.lowSlots.size(), lowSlots);
        if (lowSlots > 0)
            QCOMPARE(font.lowSlots.at(3), QStringLiteral("slot 3 anything"));
        QCOMPARE(font.patterns.size(), FontFile::kPatternCount);
        QCOMPARE(font.patterns.at(probeCode - FontTable::kFirstUserCode),
                 distinctPattern(probeCode));
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
        for (const QString &each : font.patterns)
            QVERIFY2(each.isEmpty() || FontRules::isPattern(each), qPrintable(each));
    }
};

QTEST_MAIN(TestFontFile)
#include "tst_fontfile.moc"
