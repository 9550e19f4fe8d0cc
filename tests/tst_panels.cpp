#include "support/testhelpers.h"
#include "support/testwindow.h"
#include "support/widgethelpers.h"

#include "font/fontcommands.h"
#include "panels/fonteditorpanel.h"
#include "panels/portchooser.h"
#include "panels/workbench.h"
#include "serial/portscanner.h"
#include "serial/seriallink.h"
#include "session/moderunner.h"
#include "session/segmenttestrunner.h"
#include "support/recordingport.h"
#include "widgets/alert.h"
#include "widgets/chainstrip.h"
#include "widgets/filedialogs.h"
#include "widgets/segmentpreview.h"
#include "widgets/trafficlog.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>

#include <sys/stat.h>

// The window's blocks as the user drives them: keys, clicks and ticks, judged by the field
// texts, the files on disk and the bytes and pauses that reach the port.
class TestPanels : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestWindow> m_t;
    QDateTime m_now;

    QLineEdit *field(const QString &name) const { return m_t->find<QLineEdit>(name); }
    QString text(const QString &name) const { return field(name)->text(); }
    void click(const QString &name) const { m_t->find<QAbstractButton>(name)->click(); }
    void button(int index) const { click(QStringLiteral("Command2_%1").arg(index)); }
    Workbench &bench() const { return m_t->window().workbench(); }
    FontTable &table() const { return bench().fontarray; }
    ModeRunner *modes() const { return m_t->window().findChild<ModeRunner *>(); }
    void activate()
    {
        m_t->window().show();
        m_t->window().activateWindow();
        QTRY_VERIFY(m_t->window().isActiveWindow());
    }

private Q_SLOTS:
    void init()
    {
        m_t = std::make_unique<TestWindow>(true, QStringList{"ttyS0", "ttyUSB0", "ttyUSB1"});
        modes()->setAutomaticTicks(false);
        m_t->window().findChild<SegmentTestRunner *>()->setAutomaticTicks(false);
        m_t->find<QTabWidget>(QStringLiteral("SSTab1"))->setCurrentIndex(0);
        m_t->openPort();
        m_t->clearSent();
    }
    void cleanup()
    {
        setFileDialogResponder({});
        m_t.reset();
    }

    // Each row: user actions separated by "|", then the frames and pauses that reached the port
    // and "name=text" checks of fields, the status, the mode interval and the table ("codeNN").
    // name=text sets a field, name<keys empties it and types ("\r" Enter, "\t" leave), @name
    // focuses it in the active window, !name clicks, seg:N clicks a segment of the preview;
    // name^text empties it and pastes, menu:name[:entry] selects all in it, opens its context
    // menu and chooses that entry or closes it; undo and redo (Ctrl+Z, Ctrl+Shift+Z where the focus
    // is, else in udcpattern), pmenu:text (the preview's menu item), tab:N, tick, test, clear,
    // noport, port, fail (the device lost) and later (a day and a second on).
    void userActions_data()
    {
        QTest::addColumn<QString>("actions");
        QTest::addColumn<QByteArrayList>("frames");
        QTest::addColumn<QList<int>>("pauses");
        QTest::addColumn<QStringList>("checks");
        const QByteArray message("$B7MAAAAAA\r");
        const QByteArrayList ending{"$B7F000\r", "$B7M      \r"};
        const QList<int> none;
        // clang-format off
        // Each message field: its own filter and limit; Enter fits it to the chain and sends it
        // with the message, leaving fits it and sends nothing; a new length resets every field.
        QTest::newRow("Enter fits, cuts or fills each field; leaving fits it") << "mlength=3|fonts<u2\r|effects<9876\r|underscore<\r|speeds<5\r|sentence<HI\r|effects<1\t" << QByteArrayList{"$B7FU22\r", message, "$B7E987\r", message, "$B7U000\r", message, "$B7S555\r", message, "$B7MHII\r"} << QList<int>(9, 5) << QStringList{"fonts=U22", "effects=111"};
        QTest::newRow("a new length kept over the context menu, left by a click on Write all") << "fonts=1!|sentence=1!|@mlength|mlength<3|menu:mlength|!Command2_10" << QByteArrayList{"$B7F000\r", "$B7E000\r", "$B7S000\r", "$B7MAAA\r"} << QList<int>{5, 5, 5, 5} << QStringList{"underscore=000"};
        QTest::newRow("the strip after Write and Write all") << "udcpattern<101\r|mlength=3|fonts=U0|sentence=AB|underscore<01\r|!Command2_10" << QByteArrayList{"$B7WA101000000000000\r", "$B7MA\r", "$B7U011\r", "$B7MAB\r", "$B7FU0\r", "$B7E000000\r", "$B7S000000\r", "$B7MAB\r"} << QList<int>{10, 10, 5, 5, 5, 5, 5, 5} << QStringList{"strip=AB ", "strip0=101000000000000", "strip1=111100010101001", "strip2=000000000000001"};
        QTest::newRow("the length emptied by the menu's Delete") << "@mlength|menu:mlength:Delete|!Command2_10" << QByteArrayList{"$B7F\r", "$B7E\r", "$B7S\r", "$B7M\r"} << QList<int>{5, 5, 5, 5} << QStringList{"underscore=", "mlength="};
        QTest::newRow("pastes, also the menu's, filtered") << "mlength^10|sentence^a[b|sentence=XY|menu:sentence:Paste" << QByteArrayList{} << none << QStringList{"mlength=10", "sentence=AB"};
        QTest::newRow("a new length by Enter") << "sentence=1!|mlength<2\r" << QByteArrayList{} << none << QStringList{"sentence=AA", "speeds=00"};
        // The one-character field and Send character.
        QTest::newRow("singlechar a") << "singlechar<a\r|mlength=4|!Command2_12" << QByteArrayList{"$B7F0000\r", "$B7M      \r"} << QList<int>{10, 10} << QStringList{"singlechar=0A"};
        // The editor: selecting clamps the code; Write sends the field as it stands, Enter pads
        // and stores it; Write+ writes and moves on; the arrows step over 13 and 33.
        QTest::newRow("code 200, then 13, left") << "acc<200\r|acc<13\t" << QByteArrayList{"$B7M}\r", "$B7M\x0e\r"} << QList<int>{5, 5} << QStringList{"acc=14", "udc=\x0e"};
        QTest::newRow("Write, short") << "udcpattern=101|!Command2_2" << QByteArrayList{"$B7WA101\r", "$B7MA\r"} << QList<int>{5, 10} << QStringList{"code65=000000000100010"};
        QTest::newRow("Enter pads") << "udcpattern<11\r" << QByteArrayList{"$B7WA110000000000000\r", "$B7MA\r"} << QList<int>{10, 10} << QStringList{"code65=110000000000000"};
        QTest::newRow("Write+ on 32") << "acc<32\r|clear|!Command2_3" << QByteArrayList{"$B7W 000000000000000\r", "$B7M \r"} << QList<int>{5, 10} << QStringList{"acc=34", "udc=\""};
        QTest::newRow("> on 125, < on 14") << "acc=125|!Command2_5|acc=14|!Command2_4" << QByteArrayList{"$B7M}\r", "$B7M\x0c\r"} << QList<int>{5, 5} << QStringList{"acc=12"};
        QTest::newRow("segment clicks toggle") << "!Command2_1|seg:0|seg:14|seg:14" << QByteArrayList{} << none << QStringList{"code65=011111111111111"};
        QTest::newRow("the text font's glyph from the editor's menu, one undo step") << "!Command2_1|pmenu:Text font glyph" << QByteArrayList{} << none << QStringList{"code65=111011000100010"};
        QTest::newRow("the text font's glyph undone") << "!Command2_1|pmenu:Text font glyph|undo" << QByteArrayList{} << none << QStringList{"code65=111111111111111"};
        QTest::newRow("a code typed, not confirmed: the click edits the character on show") << "@acc|acc=70|seg:0" << QByteArrayList{} << none << QStringList{"acc=65", "udc=A", "code65=100000000100010", "code70=000000011100000"};
        // Def and Clr change the table and show the character; undo and redo take them back and
        // say so.
        QTest::newRow("Def on 65, undone") << "!Command2_1|!Command2_8|undo" << QByteArrayList{"$B7MA\r"} << QList<int>{5} << QStringList{"code65=111111111111111", "status=Undone: the font change at code 65 (1 pattern)"};
        QTest::newRow("Clr on 125, undone, redone") << "acc=125|udcpattern<1|!Command2_13|undo|redo" << QByteArrayList{"$B7M}\r"} << QList<int>{5} << QStringList{"code125=000000000000000", "status=Redone: the font change at code 125 (19 patterns)"};
        QTest::newRow("undo from the Characters tab and from the editor's menu") << "!Command2_1|!Command2_8|tab:3|@characters|undo|tab:0|!Command2_13|pmenu:Undo" << QByteArrayList{"$B7MA\r", "$B7MA\r"} << QList<int>{5, 5} << QStringList{"code65=111111111111111"};
        // The segment test: S Start, then ticks; Stop ends it with the end commands once.
        QTest::newRow("segment test Stop") << "mlength=3|!cmmd_0|test|test|!cmmd_1|clear|test|test" << ending << QList<int>{10, 10} << QStringList{"testrunning=000000000000000"};
        QTest::newRow("segment test port lost") << "mlength=3|!cmmd_0|test|noport|clear|test|port|test" << ending << QList<int>{10, 10} << QStringList{};
        QTest::newRow("segment test line failed") << "mlength=3|!cmmd_0|test|fail|clear|port|test" << ending << QList<int>{10, 10} << QStringList{"status=Segment test stopped: the line failed"};
        // The modes: Animate from its start code, Count, the clocks, the fields and the interval.
        QTest::newRow("Animate") << "animation_0=56|!enabler_0|tick|tick|tick" << QByteArrayList{"$B7M999999\r", "$B7M888888\r", "$B7M999999\r"} << QList<int>{5, 5, 5} << QStringList{"acc=57", "interval=100"};
        QTest::newRow("Animate off: the editor shows the start code, a click edits it") << "animation_0=64|animation_1=66|!enabler_0|tick|tick|!enabler_0|seg:0" << QByteArrayList{"$B7MAAAAAA\r", "$B7MBBBBBB\r"} << QList<int>{5, 5} << QStringList{"acc=64", "udc=@", "code64=011110000001010", "code66=000000010101010"};
        QTest::newRow("Time stops when the line fails") << "!enabler_1|tick|fail|port|later|tick" << QByteArrayList{"$B7M210503\r"} << QList<int>{5} << QStringList{"status=Time stopped: the line failed"};
        QTest::newRow("Count, then off") << "mlength=4|xcount=123456|!enabler_3|tick|tick|!enabler_3|tick" << QByteArrayList{"$B7M3456\r", "$B7M3457\r"} << QList<int>{5, 5} << QStringList{"xcount=123458"};
        QTest::newRow("Time once per new text") << "!enabler_1|tick|tick|later|tick" << QByteArrayList{"$B7M210503\r", "$B7M210504\r"} << QList<int>{5, 5} << QStringList{"interval=10"};
        QTest::newRow("Date") << "!enabler_2|tick|later|tick" << QByteArrayList{"$B7M120526\r", "$B7M120626\r"} << QList<int>{5, 5} << QStringList{};
        // clang-format on
    }
    void userActions()
    {
        QFETCH(QString, actions);
        QFETCH(QByteArrayList, frames);
        QFETCH(QList<int>, pauses);
        QFETCH(QStringList, checks);
        m_now = QDateTime(QDate(2026, 12, 5), QTime(21, 5, 3));
        modes()->setClockSource([this] { return m_now; });
        modes()->setClockFormats("HH:mm:ss", "M/d/yyyy");
        field("acc")->setText("65");
        QTest::keyClick(field("acc"), Qt::Key_Return);
        m_t->clearSent();
        auto *preview = m_t->find<SegmentPreview>("segmentpreview");
        for (const QString &action : actions.split('|')) {
            const int at = action.indexOf(QRegularExpression("[=<^]"));
            const QString name = action.mid(QString("@!").contains(action.at(0)) ? 1 : 0, at);
            const QString argument = action.section(':', 1);
            if (at > 0 && action.at(at) == '=') {
                field(name)->setText(action.mid(at + 1));
            } else if (at > 0 && action.at(at) == '^') {
                field(name)->clear();
                QApplication::clipboard()->setText(action.mid(at + 1));
                QTest::keyClick(field(name), Qt::Key_V, Qt::ControlModifier);
            } else if (at > 0) {
                QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason); // as Tab sends
                field(name)->clear();
                for (const QChar key : action.mid(at + 1)) {
                    if (key == '\t')
                        QApplication::sendEvent(field(name), &focusOut);
                    else
                        key == '\r' ? QTest::keyClick(field(name), Qt::Key_Return)
                                    : QTest::keyClick(field(name), key.toLatin1());
                }
            } else if (action.startsWith('@')) {
                activate();
                m_t->find<QWidget>(name)->setFocus(Qt::TabFocusReason);
                QVERIFY(m_t->find<QWidget>(name)->hasFocus());
            } else if (action.startsWith('!')) {
                auto *button = m_t->find<QAbstractButton>(name);
                m_t->window().isVisible() ? QTest::mouseClick(button, Qt::LeftButton)
                                          : button->click();
            } else if (action.startsWith("menu:")) {
                QLineEdit *target = field(argument.section(':', 0, 0));
                target->selectAll();
                QContextMenuEvent event(QContextMenuEvent::Keyboard, target->rect().center(),
                                        target->mapToGlobal(target->rect().center()));
                QApplication::sendEvent(target, &event);
                auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
                QVERIFY(menu);
                for (QAction *item : menu->actions()) {
                    // Under X11 the field has the focus back only after the entry has acted.
                    const QString entry = argument.section(':', 1);
                    if (!entry.isEmpty() && item->text().section('\t', 0, 0).remove('&') == entry)
                        item->trigger();
                }
                menu->close();
            } else if (action.startsWith("seg:")) {
                m_t->window().show();
                QVERIFY(QTest::qWaitForWindowExposed(&m_t->window()));
                QTest::mouseClick(preview, Qt::LeftButton, {},
                                  preview->segmentPosition(argument.toInt()));
            } else if (action == "undo" || action == "redo") {
                QWidget *focused = QApplication::focusWidget();
                QTest::keyClick(focused ? focused : field("udcpattern"), Qt::Key_Z,
                                action == "undo" ? Qt::ControlModifier
                                                 : Qt::ControlModifier | Qt::ShiftModifier);
            } else if (action.startsWith("pmenu:")) {
                const QList<QAction *> items = preview->actions();
                auto item = std::find_if(items.begin(), items.end(), [&](QAction *each) {
                    return each->text().startsWith(argument);
                });
                QVERIFY(item != items.end());
                (*item)->trigger();
            } else if (action == "tick") {
                modes()->stepActiveMode();
            } else if (action == "test") {
                m_t->window().findChild<SegmentTestRunner *>()->runTestStep();
            } else if (action == "clear") {
                m_t->clearSent();
            } else if (action.startsWith("tab:")) {
                m_t->find<QTabWidget>("SSTab1")->setCurrentIndex(argument.toInt());
            } else if (action == "fail") {
                m_t->port().loseDevice(PortError{5, "gone"});
            } else if (action == "noport" || action == "port") {
                action == "port" ? m_t->openPort() : m_t->window().portChooser().select(0);
            } else {
                QVERIFY2(action == "later", qPrintable(action));
                m_now = m_now.addDays(1).addSecs(1);
            }
        }
        QCOMPARE(m_t->sent(), frames);
        QCOMPARE(m_t->pauses(), pauses);
        auto *strip = m_t->find<ChainStrip>("chainstrip");
        for (const QString &check : checks) {
            const QString name = check.section('=', 0, 0);
            const QString expected = check.section('=', 1);
            if (name == "status")
                QCOMPARE(bench().status(), expected);
            else if (name == "strip")
                QCOMPARE(strip->accessibleName(), expected);
            else if (name.startsWith("strip"))
                QCOMPARE(strip->patterns().value(name.mid(5).toInt()), expected);
            else if (name == "interval")
                QCOMPARE(QString::number(modes()->timer1Interval()), expected);
            else if (name.startsWith("code"))
                QCOMPARE(table().pattern(name.mid(4).toInt()), expected);
            else
                QCOMPARE(text(name), expected);
        }
    }

    // Commit sends the fonts, then each pattern and its show; only a complete upload says so,
    // and it sent the table the editor holds. The interruption comes at the 50th write (a
    // failing line: the 50th write fails; a lost chain: right after the 61st); "during" is the
    // status right after the 50th. A failed upload counts the characters the log shows sent.
    void commit_data()
    {
        QTest::addColumn<QString>("interruption");
        QTest::addColumn<int>("frames");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("during");
        const QString uploaded = QStringLiteral("Character set has been uploaded to PIC");
        // clang-format off
        const QString going = QStringLiteral("Uploading: 24 of 114 characters sent");
        QTest::newRow("complete") << "" << 229 << uploaded << going;
        QTest::newRow("no port") << "noport" << 0 << "No port is open: nothing was uploaded" << "";
        QTest::newRow("Escape") << "escape" << 51 << "Upload stopped: 25 of 114 characters sent" << going;
        QTest::newRow("Commit again meanwhile is ignored") << "again" << 229 << uploaded << going;
        QTest::newRow("the line fails") << "fail" << 49 << "Upload failed after 24 of 114 characters" << "";
        QTest::newRow("the chain goes after a character's show") << "lost" << 61 << "Upload failed after 30 of 114 characters" << going;
        QTest::newRow("Load, Clr and undo meanwhile are refused") << "change" << 229 << uploaded << "Uploading: wait for the upload to finish or stop it";
        // clang-format on
    }
    void commit()
    {
        QFETCH(QString, interruption);
        QFETCH(int, frames);
        QFETCH(QString, status);
        QFETCH(QString, during);
        bench().setStatus("before");
        table().setPattern(66, "1!\r"); // what an unchecked file can leave
        if (interruption == "escape")
            activate();
        const QString font = m_t->dir() + "/other.fnt";
        QVERIFY(writeFile(font, joinLines(savedFontLines())));
        answerDialogsWith(font);
        int writes = 0;
        QString statusDuring;
        m_t->port().setWriteHook([&](const QByteArray &) {
            if (++writes == 49 && interruption == "fail")
                m_t->port().failWrites(PortError{5, "gone"});
            if (writes == 61 && interruption == "lost")
                m_t->port().loseDevice(PortError{5, "gone"});
            if (writes != 50)
                return;
            if (interruption == "escape")
                QTest::keyClick(&m_t->window(), Qt::Key_Escape);
            if (interruption == "again" || interruption == "change")
                button(interruption == "again" ? 9 : 6);
            if (interruption == "change") {
                button(13);
                QTest::keyClick(field("udcpattern"), Qt::Key_Z, Qt::ControlModifier);
            }
            statusDuring = bench().status();
        });
        if (interruption == "noport")
            m_t->window().portChooser().select(0);
        field("fonts")->setText("U00000");
        button(9);
        m_t->port().setWriteHook({});
        QCOMPARE(m_t->sent().size(), frames);
        QCOMPARE(bench().status(), status);
        QCOMPARE(statusDuring, during);
        // A failed line is one alert, and the port list goes back to "Select...".
        const bool failed = interruption == "fail" || interruption == "lost";
        if (failed) {
            const QStringList shown = m_t->window().trafficLog().txlog().split("\r\n");
            QCOMPARE(QString::number(shown.filter(QRegularExpression("^\\$B7M.*\\[cr\\]$")).size()),
                     status.section(' ', 3, 3));
        }
        QCOMPARE(alertHistory().value(0).title, failed ? "ComWrite error" : QString());
        QCOMPARE(m_t->window().portChooser().portselect()->currentIndex() == 0,
                 failed || frames == 0);
        QVERIFY(!m_t->window().findChild<FontEditorPanel *>()->committing());
        if (frames < 229)
            return;
        // The strip under the tabs: the last character shown in the user font just written.
        auto *strip = m_t->find<ChainStrip>("chainstrip");
        QCOMPARE(strip->accessibleName(), "}     ");
        QCOMPARE(strip->patterns().value(0), table().pattern(125));
        QList<QByteArray> held;
        for (const PacedCommand &command : FontCommands::upload("U00000", table()))
            held.append(command.bytes());
        QCOMPARE(m_t->sent(), held);
        QCOMPARE(m_t->pauses(), QList<int>(229, 5));
    }

    // Load takes every pattern of a file and Save writes them all back, in a folder it
    // remembers; a cancelled dialog, a refused file or one that cannot be read leaves table and
    // field alone.
    void loadAndSave_data()
    {
        QTest::addColumn<QString>("name"); // empty: cancelled
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("alert");
        // clang-format off
        QTest::newRow("loaded, then saved") << "good.fnt" << "Character set file successfully loaded" << 0;
        QTest::newRow("cancelled") << "" << "" << 0;
        QTest::newRow("a 2 on line 56") << "bad.fnt" << "Font pattern 65 invalid symbol, load aborted" << 0;
        QTest::newRow("missing file") << "missing.fnt" << "" << 75;
        QTest::newRow("a FIFO: refused, no freeze") << "pipe.fnt" << "" << 75;
        // clang-format on
    }
    void loadAndSave()
    {
        QFETCH(QString, name);
        QFETCH(QString, status);
        QFETCH(int, alert);
        QStringList bad = savedFontLines();
        bad[55] = "065 000000200000000";
        const QString good = m_t->dir() + "/good.fnt";
        QVERIFY(writeFile(good, joinLines(savedFontLines()))
                && writeFile(m_t->dir() + "/bad.fnt", joinLines(bad)));
        QCOMPARE(mkfifo(QFile::encodeName(m_t->dir() + "/pipe.fnt").constData(), 0600), 0);
        field("fontfile")->setText("/previous.fnt");
        const FontTable before = table();
        answerDialogsWith(name.isEmpty() ? QString() : m_t->dir() + '/' + name);
        button(6);
        QCOMPARE(bench().status(), status);
        QCOMPARE(alertHistory().value(0).number, alert);
        if (name != "good.fnt") {
            QVERIFY(table() == before);
            QCOMPARE(text("fontfile"), "/previous.fnt");
            return;
        }
        QCOMPARE(text("udcpattern"), distinctPattern(65));
        const QString folder = m_t->dir() + "/fonts";
        QVERIFY(QDir().mkpath(folder));
        answerDialogsWith(folder + "/mine");
        button(7);
        QCOMPARE(readFile(folder + "/mine.fnt"), readFile(good));
        QCOMPARE(bench().status(), "Character set file saved");
        QCOMPARE(text("fontfile"), folder + "/mine.fnt");
        QCOMPARE(bench().settingslines.at(1), folder);
    }

    // The scan lists the ports that open, each once, with what is known of each as its tool-tip;
    // Enter closes the open port and rescans, and says what it found beneath every tab.
    void portListAndRescan()
    {
        auto *list = m_t->find<QComboBox>("portselect");
        m_t->scanPort().refuseOpen("ttyUSB0", PortError{1, "busy"});
        m_t->window().portScanner().setExtraPorts({"/dev/pts/7", "ttyS0"});
        QTest::keyClick(list, Qt::Key_Return);
        QVERIFY(!m_t->port().isOpen() && !m_t->scanPort().isOpen());
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items.append(list->itemText(i) + ": " + list->itemData(i, Qt::ToolTipRole).toString());
        // The platform said nothing of the listed names here; the extra port says where it came
        // from.
        QCOMPARE(items, (QStringList{"Select...: ", "ttyS0: Added on the command line",
                                     "ttyUSB1: No details known",
                                     "/dev/pts/7: Added on the command line"}));
        QCOMPARE(bench().status(),
                 "Closed ttyTEST0 to scan. Found 3 ports. ttyUSB0 did not open: busy");
        // The same under every tab, COMM where Enter was pressed included.
        QCOMPARE(text("windowstatus"), bench().status());
        m_t->window().portChooser().select(2);
        QCOMPARE(m_t->port().openedName() + ' ' + m_t->port().openedSettings(),
                 "ttyUSB1 9600,n,8,1");
        m_t->port().refuseOpen("ttyS0", PortError{0x50, "gone"});
        m_t->window().portChooser().select(1);
        QCOMPARE(alertHistory().size(), 1);
        QCOMPARE(alertHistory().first().title, "Com port open error");
        QCOMPARE(list->currentIndex(), 0);
        QVERIFY(!m_t->window().link().portopen());
    }
};

QTEST_MAIN(TestPanels)
#include "tst_panels.moc"
