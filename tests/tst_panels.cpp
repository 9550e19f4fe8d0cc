#include "support/testhelpers.h"
#include "support/testsupport.h"

#include "font/segmentgeometry.h"
#include "panels/fonteditorpanel.h"
#include "panels/modespanel.h"
#include "panels/portchooser.h"
#include "panels/segmenttestpanel.h"
#include "panels/workbench.h"
#include "serial/portscanner.h"
#include "serial/seriallink.h"
#include "support/recordingport.h"
#include "widgets/alert.h"
#include "widgets/filedialogs.h"
#include "widgets/filteredlineedit.h"
#include "widgets/segmentpreview.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace {

QByteArray showFrame(int code)
{
    return "$B7M" + QByteArray(1, static_cast<char>(code)) + '\r';
}

QByteArray writeFrame(int code, const QString &pattern)
{
    return "$B7W" + QByteArray(1, static_cast<char>(code)) + pattern.toLatin1() + '\r';
}

QByteArrayList messages(const QStringList &texts)
{
    QByteArrayList frames;
    for (const QString &text : texts)
        frames.append("$B7M" + text.toLatin1() + '\r');
    return frames;
}

const QString kOff(15, QLatin1Char('0'));
const QString kOn(15, QLatin1Char('1'));

} // namespace

// The window's blocks as the user drives them: keys, clicks and ticks, judged by the field
// texts, the files on disk and the bytes and pauses that reach the port.
class TestPanels : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestWindow> m_t;

    QLineEdit *field(const QString &name) const { return m_t->find<QLineEdit>(name); }
    QString text(const QString &name) const { return field(name)->text(); }
    void click(const QString &name) const { m_t->find<QAbstractButton>(name)->click(); }
    void button(int index) const { click(QStringLiteral("Command2_%1").arg(index)); }
    Workbench &bench() const { return m_t->window().workbench(); }
    FontTable &table() const { return bench().fontarray; }
    ModesPanel *modes() const { return m_t->window().findChild<ModesPanel *>(); }
    SegmentTestPanel *segmentTest() const { return m_t->window().findChild<SegmentTestPanel *>(); }
    void select(int code)
    {
        field(QStringLiteral("acc"))->setText(QString::number(code));
        QTest::keyClick(field(QStringLiteral("acc")), Qt::Key_Return);
        m_t->clearSent();
    }
    void answerDialogsWith(const QString &path)
    {
        setFileDialogResponder([path](const FileDialogRequest &) {
            return path.isEmpty() ? QStringList() : QStringList{path};
        });
    }

private Q_SLOTS:
    void init()
    {
        m_t = std::make_unique<TestWindow>(true, QStringList{"ttyS0", "ttyUSB0", "ttyUSB1"});
        modes()->setAutomaticTicks(false);
        segmentTest()->setAutomaticTicks(false);
        m_t->find<QTabWidget>(QStringLiteral("SSTab1"))->setCurrentIndex(0);
        m_t->openPort();
        m_t->clearSent();
    }
    void cleanup()
    {
        setFileDialogResponder({});
        m_t.reset();
    }

    // Each field has its own filter and limit; "-" in `keys` stands for leaving with Tab.
    void messageFields_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("length");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QByteArrayList>("frames");
        const QByteArray message("$B7MAAAAAA\r");
        // clang-format off
        QTest::newRow("sentence filter and limit") << "sentence" << "6" << "a[b:CDEFGHIJK" << "AB:CDEFGHI" << QByteArrayList{};
        QTest::newRow("underscore filter") << "underscore" << "6" << "0123!a" << "01!" << QByteArrayList{};
        QTest::newRow("mlength: no leading 0, two digits") << "mlength" << "6" << "0100" << "10" << QByteArrayList{};
        QTest::newRow("fonts Enter fits N=3") << "fonts" << "3" << "u2\r" << "U22" << QByteArrayList{"$B7FU22\r", message};
        QTest::newRow("effects Enter cuts to N") << "effects" << "2" << "987\r" << "98" << QByteArrayList{"$B7E98\r", message};
        QTest::newRow("empty underscore Enter") << "underscore" << "4" << "\r" << "0000" << QByteArrayList{"$B7U0000\r", message};
        QTest::newRow("speeds Enter") << "speeds" << "2" << "5\r" << "55" << QByteArrayList{"$B7S55\r", message};
        QTest::newRow("message Enter fits") << "sentence" << "6" << "HI\r" << "HIIIII" << QByteArrayList{"$B7MHIIIII\r"};
        QTest::newRow("leaving fonts fits, sends nothing") << "fonts" << "6" << "U1-" << "U11111" << QByteArrayList{};
        // clang-format on
    }
    void messageFields()
    {
        QFETCH(QString, name);
        QFETCH(QString, length);
        QFETCH(QString, keys);
        QFETCH(QString, after);
        QFETCH(QByteArrayList, frames);
        field(QStringLiteral("mlength"))->setText(length);
        QLineEdit *edit = field(name);
        edit->clear();
        for (const QChar key : keys) {
            if (key == QLatin1Char('\r'))
                QTest::keyClick(edit, Qt::Key_Return);
            else if (key == QLatin1Char('-'))
                loseFocus(edit);
            else
                QTest::keyClick(edit, key.toLatin1());
        }
        QCOMPARE(edit->text(), after);
        QCOMPARE(m_t->sent(), frames);
        QCOMPARE(m_t->pauses(), QList<int>(frames.size(), 5));
    }

    void pastedCarriageReturnIsData()
    {
        QApplication::clipboard()->setText(QStringLiteral("a[b c\r\n!"));
        field(QStringLiteral("sentence"))->selectAll();
        QTest::keySequence(field(QStringLiteral("sentence")), QKeySequence::Paste);
        QCOMPARE(text(QStringLiteral("sentence")), QStringLiteral("AB C!"));
        QVERIFY(m_t->sent().isEmpty());
    }

    void lengthChangeResetsTheFieldsThenWriteAllSendsThem_data()
    {
        QTest::addColumn<bool>("byEnter");
        QTest::newRow("left with a click on Write all") << false;
        QTest::newRow("Enter") << true;
    }
    void lengthChangeResetsTheFieldsThenWriteAllSendsThem()
    {
        QFETCH(bool, byEnter);
        for (const char *name : {"sentence", "fonts", "underscore", "effects", "speeds"})
            field(QString::fromLatin1(name))->setText(QStringLiteral("1!"));
        QLineEdit *mlength = field(QStringLiteral("mlength"));
        m_t->window().show();
        m_t->window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&m_t->window()));
        QTRY_VERIFY(m_t->window().isActiveWindow());
        mlength->setFocus(Qt::TabFocusReason);
        QVERIFY(mlength->hasFocus());
        mlength->selectAll();
        QTest::keyClicks(mlength, QStringLiteral("3"));
        if (byEnter)
            QTest::keyClick(mlength, Qt::Key_Return);
        QCOMPARE(text(QStringLiteral("underscore")), byEnter ? QStringLiteral("000") : "1!");
        QTest::mouseClick(m_t->find<QPushButton>(QStringLiteral("Command2_10")), Qt::LeftButton);
        QCOMPARE(m_t->sent(), (QByteArrayList{"$B7F000\r", "$B7E000\r", "$B7S000\r", "$B7MAAA\r"}));
        QCOMPARE(m_t->pauses(), QList<int>(4, 5));
    }

    void singleCharacterField_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("result");
        QTest::newRow("a Enter") << "a" << "0A";
        QTest::newRow("g refused") << "g" << "00";
        QTest::newRow("a third digit is not typed") << "abc" << "AB";
    }
    void singleCharacterField()
    {
        QFETCH(QString, typed);
        QFETCH(QString, result);
        QLineEdit *single = field(QStringLiteral("singlechar"));
        single->clear();
        QTest::keyClicks(single, typed);
        QTest::keyClick(single, Qt::Key_Return);
        QCOMPARE(single->text(), result);
        field(QStringLiteral("mlength"))->setText(QStringLiteral("4"));
        button(12);
        QCOMPARE(m_t->sent(), (QByteArrayList{"$B7F0000\r", "$B7M      \r"}));
        QCOMPARE(m_t->pauses(), (QList<int>{10, 10}));
    }

    // Def and Clr change the table, show the character only, and undo and redo take them back.
    void defaultAndClear_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("status");
        QTest::newRow("Def on 65") << 8 << 65 << "000000000100010" << "Font array has been set to default";
        QTest::newRow("Clr on 125") << 13 << 125 << kOff << "Font array has been cleared";
    }
    void defaultAndClear()
    {
        QFETCH(int, index);
        QFETCH(int, code);
        QFETCH(QString, pattern);
        QFETCH(QString, status);
        for (int slot = 0; slot < FontTable::kSlots; ++slot)
            table().setPattern(slot, kOn);
        field(QStringLiteral("acc"))->setText(QString::number(code));
        button(index);
        QCOMPARE(table().pattern(code), pattern);
        QCOMPARE(table().pattern(9), kOn);
        QCOMPARE(text(QStringLiteral("udcpattern")), pattern);
        QCOMPARE(m_t->sent(), QByteArrayList{showFrame(code)});
        QCOMPARE(bench().status(), status);
        select(70);
        QTest::keyClick(field(QStringLiteral("udcpattern")), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(table().pattern(code), kOn);
        QCOMPARE(text(QStringLiteral("acc")), QString::number(code));
        QTest::keyClick(field(QStringLiteral("udcpattern")), Qt::Key_Z,
                        Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(table().pattern(code), pattern);
        QVERIFY(m_t->sent().isEmpty());
    }

    void patternTypingAndSegmentClicks()
    {
        m_t->window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_t->window()));
        select(65);
        QLineEdit *pattern = field(QStringLiteral("udcpattern"));
        auto *preview = m_t->find<SegmentPreview>(QStringLiteral("segmentpreview"));
        pattern->clear();
        QTest::keyClicks(pattern, QStringLiteral("12") + QString(20, QLatin1Char('0')));
        QCOMPARE(pattern->text(), QStringLiteral("1") + QString(14, QLatin1Char('0')));
        QCOMPARE(table().pattern(65), pattern->text());
        QTest::mouseClick(preview, Qt::LeftButton, {}, preview->segmentPosition(0));
        QCOMPARE(table().pattern(65), kOff);
        QTest::mouseClick(preview, Qt::LeftButton, {}, preview->segmentPosition(14));
        QCOMPARE(table().pattern(65), QString(14, QLatin1Char('0')) + QLatin1Char('1'));
        QCOMPARE(preview->lineColour(14), SegmentGeometry::onColour());
        QVERIFY(m_t->sent().isEmpty());
    }

    // Selecting clamps the code; Write sends the field as it stands, Enter pads it first;
    // Write+ writes and moves on; the arrows step over 13 and 33.
    void editorButtonsAndKeys_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("action"); // a button index; -1 Enter in the pattern; -2 in the code
        QTest::addColumn<QByteArrayList>("frames");
        QTest::addColumn<QList<int>>("pauses");
        QTest::addColumn<int>("codeAfter");
        // clang-format off
        QTest::newRow("code 200 Enter") << 200 << "" << -2 << QByteArrayList{showFrame(125)} << QList<int>{5} << 125;
        QTest::newRow("code 13 Enter") << 13 << "" << -2 << QByteArrayList{showFrame(14)} << QList<int>{5} << 14;
        QTest::newRow("Write, short") << 65 << "101" << 2 << QByteArrayList{writeFrame(65, "101"), showFrame(65)} << QList<int>{5, 10} << 65;
        QTest::newRow("Enter pads") << 65 << "11" << -1 << QByteArrayList{writeFrame(65, "110000000000000"), showFrame(65)} << QList<int>{10, 10} << 65;
        QTest::newRow("Write+ on 32") << 32 << kOn << 3 << QByteArrayList{writeFrame(32, kOn), showFrame(32)} << QList<int>{5, 10} << 34;
        QTest::newRow("< on 14") << 14 << "" << 4 << QByteArrayList{showFrame(12)} << QList<int>{5} << 12;
        QTest::newRow("> on 125") << 125 << "" << 5 << QByteArrayList{showFrame(125)} << QList<int>{5} << 125;
        // clang-format on
    }
    void editorButtonsAndKeys()
    {
        QFETCH(int, code);
        QFETCH(QString, pattern);
        QFETCH(int, action);
        QFETCH(QByteArrayList, frames);
        QFETCH(QList<int>, pauses);
        QFETCH(int, codeAfter);
        if (action == -2) {
            field(QStringLiteral("acc"))->setText(QString::number(code));
            QTest::keyClick(field(QStringLiteral("acc")), Qt::Key_Return);
        } else {
            select(code);
            if (!pattern.isEmpty())
                field(QStringLiteral("udcpattern"))->setText(pattern);
            if (action == -1)
                QTest::keyClick(field(QStringLiteral("udcpattern")), Qt::Key_Return);
            else
                button(action);
        }
        QCOMPARE(m_t->sent(), frames);
        QCOMPARE(m_t->pauses(), pauses);
        QCOMPARE(text(QStringLiteral("acc")), QString::number(codeAfter));
        QCOMPARE(text(QStringLiteral("udc")), QString(QChar(codeAfter)));
        if (action == -1)
            QCOMPARE(table().pattern(code), QStringLiteral("110000000000000"));
        else if (action != 2)
            QCOMPARE(text(QStringLiteral("udcpattern")), table().pattern(codeAfter));
    }

    // Commit sends the fonts, then each character's pattern and show; only a complete upload
    // says so.
    void commit_data()
    {
        QTest::addColumn<QString>("interruption");
        QTest::addColumn<int>("frames");
        QTest::addColumn<QString>("status");
        QTest::newRow("complete") << "" << 229 << "Character set has been uploaded to PIC";
        QTest::newRow("no port") << "noport" << 0 << "before";
        QTest::newRow("Escape") << "escape" << 51 << "Upload stopped: 25 of 114 characters sent";
        QTest::newRow("write fails") << "fail" << 50 << "before";
        QTest::newRow("Commit again meanwhile is ignored") << "again" << 229
                                                            << "Character set has been uploaded to PIC";
    }
    void commit()
    {
        QFETCH(QString, interruption);
        QFETCH(int, frames);
        QFETCH(QString, status);
        bench().setStatus(QStringLiteral("before"));
        table().setPattern(66, QStringLiteral("1!\r")); // what an unchecked file can leave
        if (interruption == QLatin1String("escape")) {
            m_t->window().show();
            m_t->window().activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&m_t->window()));
        }
        int writes = 0;
        m_t->port().setWriteHook([&](const QByteArray &) {
            if (++writes != 50)
                return;
            if (interruption == QLatin1String("escape"))
                QTest::keyClick(&m_t->window(), Qt::Key_Escape);
            else if (interruption == QLatin1String("fail"))
                m_t->port().failWrites(PortError{8020, QStringLiteral("Write failed")});
            else if (interruption == QLatin1String("again"))
                button(9);
        });
        if (interruption == QLatin1String("noport"))
            m_t->window().portChooser().select(0);
        button(9);
        m_t->port().setWriteHook({});
        QCOMPARE(m_t->sent().size(), frames);
        QCOMPARE(bench().status(), status);
        QVERIFY(!m_t->window().findChild<FontEditorPanel *>()->committing());
        if (frames < 229)
            return;
        QCOMPARE(m_t->sent().first(), QByteArray("$B7F000000\r"));
        QCOMPARE(m_t->sent().at(109), writeFrame(66, "100000000000000"));
        QCOMPARE(m_t->sent().at(110), showFrame(66));
        QCOMPARE(m_t->sent().last(), showFrame(125));
        QCOMPARE(m_t->pauses(), QList<int>(229, 5));
        QCOMPARE(text(QStringLiteral("acc")), QStringLiteral("125"));
    }

    void saveThenLoadRestoresTheFont()
    {
        for (int code = FontTable::kFirstUserCode; code <= FontTable::kLastUserCode; ++code)
            table().setPattern(code, distinctPattern(code));
        const QString folder = m_t->dir() + QStringLiteral("/fonts");
        QVERIFY(QDir().mkpath(folder));
        answerDialogsWith(folder + QStringLiteral("/mine"));
        button(7);
        const QString path = folder + QStringLiteral("/mine.fnt");
        QCOMPARE(readFile(path), joinLines(savedFontLines()));
        QCOMPARE(bench().status(), QStringLiteral("Character set file saved"));
        QCOMPARE(text(QStringLiteral("fontfile")), path);
        QCOMPARE(bench().settingslines.at(1), folder);

        m_t->window().resetfont();
        answerDialogsWith(path);
        button(6);
        QCOMPARE(bench().status(), QStringLiteral("Character set file successfully loaded"));
        for (int code = FontTable::kFirstUserCode; code <= FontTable::kLastUserCode; ++code)
            QCOMPARE(table().pattern(code), distinctPattern(code));
        QCOMPARE(text(QStringLiteral("udcpattern")), distinctPattern(65));
        QVERIFY(alertHistory().isEmpty());
    }

    // A cancelled dialog, a refused file or one that cannot be read leaves table and field alone.
    void failedLoadKeepsTheFont_data()
    {
        QTest::addColumn<QString>("name"); // empty: cancelled
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("alert");
        QStringList two = savedFontLines();
        two[55] = QStringLiteral("065 000000200000000");
        QTest::newRow("cancelled") << "" << QByteArray() << "" << 0;
        QTest::newRow("a 2 on line 56") << "a.fnt" << joinLines(two)
                                        << "Font pattern 65 invalid symbol, load aborted" << 0;
        QTest::newRow("missing file") << "missing.fnt" << QByteArray() << "" << 75;
    }
    void failedLoadKeepsTheFont()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, status);
        QFETCH(int, alert);
        QVERIFY(writeFile(m_t->dir() + QStringLiteral("/a.fnt"), bytes));
        field(QStringLiteral("fontfile"))->setText(QStringLiteral("/previous.fnt"));
        const FontTable before = table();
        answerDialogsWith(name.isEmpty() ? QString() : m_t->dir() + QLatin1Char('/') + name);
        button(6);
        QCOMPARE(bench().status(), status);
        QVERIFY(table() == before);
        QCOMPARE(text(QStringLiteral("fontfile")), QStringLiteral("/previous.fnt"));
        QCOMPARE(alertHistory().size(), alert ? 1 : 0);
        if (alert)
            QCOMPARE(alertHistory().first().number, alert);
    }

    void segmentTestRunsAndEnds_data()
    {
        // S Start, P Stop, T tick, C forget what was sent, X close the port, O open it.
        QTest::addColumn<QString>("actions");
        QTest::addColumn<QByteArrayList>("frames");
        const QByteArrayList ending{"$B7F000\r", "$B7M      \r"};
        QTest::newRow("first tick") << "ST" << QByteArrayList{"$B7F000\r", "$B7M      \r",
                "$B7FUUU\r", "$B7W0000000000000000\r", "$B7M000\r", "$B7FU\r", "$B7M0\r",
                "$B7W0000000000000000\r", "$B7M000\r"};
        QTest::newRow("second tick") << "STCT" << QByteArrayList{"$B7FU\r", "$B7M0\r",
                "$B7W0100000000000000\r", "$B7M000\r"};
        QTest::newRow("Stop during a run") << "STTPCTTT" << ending;
        QTest::newRow("port lost mid-run") << "STXCTOT" << ending;
    }
    void segmentTestRunsAndEnds()
    {
        QFETCH(QString, actions);
        QFETCH(QByteArrayList, frames);
        field(QStringLiteral("mlength"))->setText(QStringLiteral("3"));
        for (const QChar action : actions) {
            switch (action.toLatin1()) {
            case 'S': click(QStringLiteral("cmmd_0")); break;
            case 'P': click(QStringLiteral("cmmd_1")); break;
            case 'T': segmentTest()->runTestStep(); break;
            case 'C': m_t->clearSent(); break;
            case 'X': m_t->window().portChooser().select(0); break;
            case 'O': m_t->openPort(); break;
            }
        }
        QCOMPARE(m_t->sent(), frames);
        if (frames.size() == 2)
            QCOMPARE(m_t->pauses(), (QList<int>{10, 10}));
        else if (frames.size() == 9)
            QCOMPARE(m_t->pauses(), (QList<int>{10, 10, 2, 10, 2, 2, 2, 10, 2}));
    }

    void animateAndCount()
    {
        click(QStringLiteral("enabler_0"));
        QCOMPARE(text(QStringLiteral("acc")), QStringLiteral("48"));
        for (int tick = 0; tick < 11; ++tick)
            modes()->stepActiveMode();
        QCOMPARE(m_t->sent().mid(8), messages({"999999", "000000", "111111"}));
        QCOMPARE(text(QStringLiteral("udcpattern")), table().pattern(49));
        m_t->clearSent();
        field(QStringLiteral("mlength"))->setText(QStringLiteral("4"));
        field(QStringLiteral("xcount"))->setText(QStringLiteral("123456"));
        click(QStringLiteral("enabler_3"));
        modes()->stepActiveMode();
        modes()->stepActiveMode();
        QCOMPARE(m_t->sent(), messages({"3456", "3457"}));
        QCOMPARE(m_t->pauses(), (QList<int>{5, 5}));
        click(QStringLiteral("enabler_3"));
        modes()->stepActiveMode();
        QCOMPARE(m_t->sent().size(), 2);
    }

    void clockSendsEachNewTextOnce_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("time") << 1 << "HH:mm:ss" << QStringList{"210503", "210504"};
        QTest::newRow("date") << 2 << "M/d/yyyy" << QStringList{"120526", "120626"};
    }
    void clockSendsEachNewTextOnce()
    {
        QFETCH(int, mode);
        QFETCH(QString, format);
        QFETCH(QStringList, shown);
        QDateTime now(QDate(2026, 12, 5), QTime(21, 5, 3));
        modes()->setClockSource([&now] { return now; });
        modes()->setClockFormats(format, format);
        click(QStringLiteral("enabler_%1").arg(mode));
        modes()->stepActiveMode();
        modes()->stepActiveMode();
        now = now.addDays(1).addSecs(1);
        modes()->stepActiveMode();
        QCOMPARE(m_t->sent(), messages(shown));
    }

    void animationFieldsAndTimerInterval()
    {
        field(QStringLiteral("animation_1"))->clear();
        QTest::keyClicks(field(QStringLiteral("animation_1")), QStringLiteral("A"));
        QCOMPARE(text(QStringLiteral("animation_1")), QStringLiteral("65"));
        field(QStringLiteral("animation_2"))->setText(QStringLiteral("9999"));
        QTest::keyClick(field(QStringLiteral("animation_2")), Qt::Key_Return);
        QCOMPARE(text(QStringLiteral("animation_2")), QStringLiteral("2000"));
        QCOMPARE(modes()->timer1Interval(), 2000);
        field(QStringLiteral("animation_2"))->setText(QStringLiteral("0"));
        click(QStringLiteral("enabler_3"));
        modes()->repairModeInterval();
        QCOMPARE(bench().status(), QStringLiteral("Timer 1 interval was out of range at 0"));
        field(QStringLiteral("xcount"))->setText(QStringLiteral("472915"));
        QTest::keyClick(field(QStringLiteral("xcount")), Qt::Key_Return);
        QCOMPARE(bench().status(), QStringLiteral("Timer interval is currently: 10"));
    }

    // The scan lists the ports that open, each once; Enter closes the open port and rescans.
    void portListAndRescan()
    {
        auto *list = m_t->find<QComboBox>(QStringLiteral("portselect"));
        m_t->scanPort().refuseOpen(QStringLiteral("ttyUSB0"), PortError{1, QStringLiteral("busy")});
        m_t->window().portScanner().setExtraPorts({"/dev/pts/7", "ttyS0"});
        QTest::keyClick(list, Qt::Key_Return);
        QVERIFY(!m_t->port().isOpen());
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items.append(list->itemText(i));
        QCOMPARE(items, (QStringList{"Select...", "ttyS0", "ttyUSB1", "/dev/pts/7"}));
        QCOMPARE(bench().status(), QStringLiteral("Closed ttyTEST0 to scan. Found 3 ports. "
                                                  "ttyUSB0 did not open: busy"));
        QVERIFY(!m_t->scanPort().isOpen());
        m_t->window().portChooser().select(2);
        QCOMPARE(m_t->port().openedName(), QStringLiteral("ttyUSB1"));
        QCOMPARE(m_t->port().openedSettings(), QStringLiteral("9600,n,8,1"));
        m_t->port().refuseOpen(QStringLiteral("ttyS0"), PortError{0x50, QStringLiteral("gone")});
        m_t->window().portChooser().select(1);
        QCOMPARE(alertHistory().size(), 1);
        QCOMPARE(alertHistory().first().title, QStringLiteral("Com port open error"));
        QCOMPARE(list->currentIndex(), 0);
        QVERIFY(!m_t->window().link().portopen());
    }
};

QTEST_MAIN(TestPanels)
#include "tst_panels.moc"
