#include "support/testhelpers.h"
#include "support/testsupport.h"

#include "widgets/charactergrid.h"
#include "widgets/alert.h"
#include "core/basicutilities.h"
#include "panels/workbench.h"
#include "panels/fonteditorpanel.h"
#include "font/segmentgeometry.h"
#include "widgets/segmentpreview.h"
#include "protocol/command.h"
#include "widgets/filteredlineedit.h"
#include "panels/portchooser.h"
#include "support/recordingport.h"
#include "serial/seriallink.h"
#include "serial/serialport.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

namespace {

const QString kOff = QStringLiteral("000000000000000");
const QString kOn = QStringLiteral("111111111111111");

QByteArray frame(const QByteArray &text)
{
    return text + '\r';
}

QByteArray showCharacter(int code)
{
    return frame("$B7M" + QByteArray(1, static_cast<char>(code)));
}

QByteArray writePattern(int code, const QString &pattern)
{
    return frame("$B7W" + QByteArray(1, static_cast<char>(code)) + pattern.toLatin1());
}

// Drops text on a field as a drag from another application would.
void dropText(QWidget *widget, const QString &text)
{
    QMimeData mime;
    mime.setText(text);
    QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &enter);
    QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &drop);
}

} // namespace

// The user-font editor as the user drives it: keys, clicks and buttons, judged by the field
// texts, the table, the preview's colours and the bytes that reach the port.
class TestFontEditor : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestWindow> m_t;
    FilteredLineEdit *m_acc = nullptr;
    FilteredLineEdit *m_udc = nullptr;
    FilteredLineEdit *m_udcpattern = nullptr;
    SegmentPreview *m_preview = nullptr;

    FontTable &table() { return m_t->window().workbench().fontarray; }
    QPushButton *button(int index)
    {
        return m_t->find<QPushButton>(QStringLiteral("Command2_%1").arg(index));
    }
    // Selects code through the code field, then forgets what that sent.
    void select(int code)
    {
        m_acc->setText(QString::number(code));
        QTest::keyClick(m_acc, Qt::Key_Return);
        m_t->clearSent();
    }
    // The editor shows code with pattern in every field and in the preview.
    void verifyEditor(int code, const QString &pattern)
    {
        QCOMPARE(m_acc->text(), QString::number(code));
        QCOMPARE(m_udc->text(), QString(QChar(code)));
        QCOMPARE(m_udcpattern->text(), pattern);
        QCOMPARE(m_preview->linePattern(), pattern);
    }
    QString status() const { return m_t->window().workbench().status(); }

private Q_SLOTS:
    void init()
    {
        m_t = std::make_unique<TestWindow>();
        m_t->find<QTabWidget>(QStringLiteral("SSTab1"))->setCurrentIndex(0);
        m_acc = m_t->find<FilteredLineEdit>(QStringLiteral("acc"));
        m_udc = m_t->find<FilteredLineEdit>(QStringLiteral("udc"));
        m_udcpattern = m_t->find<FilteredLineEdit>(QStringLiteral("udcpattern"));
        m_preview = m_t->find<SegmentPreview>(QStringLiteral("segmentpreview"));
        QVERIFY(m_acc && m_udc && m_udcpattern && m_preview);
        m_t->openPort();
        m_t->clearSent();
    }
    void cleanup() { m_t.reset(); }

    void defAndClr_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("expectedStatus");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("Def on 65") << 8 << 65 << "Font array has been set to default"
                                   << "000000000100010";
        QTest::newRow("Def on 70") << 8 << 70 << "Font array has been set to default"
                                   << "000000011100000";
        QTest::newRow("Clr on 65") << 13 << 65 << "Font array has been cleared" << kOff;
    }
    void defAndClr()
    {
        QFETCH(int, index);
        QFETCH(int, code);
        QFETCH(QString, expectedStatus);
        QFETCH(QString, pattern);
        for (int slot = 0; slot < FontTable::kSlots; ++slot)
            table().setPattern(slot, kOn);
        m_acc->setText(QString::number(code));
        button(index)->click();
        QCOMPARE(table().pattern(code), pattern);
        QCOMPARE(table().pattern(9), kOn);
        verifyEditor(code, pattern);
        // Only the character is shown; the modules' user font changes at Commit.
        QCOMPARE(m_t->sent(), QByteArrayList{showCharacter(code)});
        QCOMPARE(m_t->pauses(), QList<int>{5});
        QCOMPARE(status(), expectedStatus);

        // Undo and redo bring back the character that changed and send nothing.
        select(code == 65 ? 70 : 65);
        QTest::keyClick(m_udcpattern, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(table().pattern(code), kOn);
        verifyEditor(code, kOn);
        QTest::keyClick(m_udcpattern, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(table().pattern(code), pattern);
        verifyEditor(code, pattern);
        QVERIFY(m_t->sent().isEmpty());
    }

    void typingIntoAnEmptyPatternStoresItPadded()
    {
        select(65);
        m_udcpattern->clear();
        QTest::keyClick(m_udcpattern, '1');
        QCOMPARE(table().pattern(65), QStringLiteral("100000000000000"));
        QTest::keyClick(m_udcpattern, '0');
        QTest::keyClick(m_udcpattern, '1');
        QCOMPARE(m_udcpattern->text(), QStringLiteral("101"));
        QCOMPARE(table().pattern(65), QStringLiteral("101000000000000"));
        QCOMPARE(m_preview->linePattern(), QStringLiteral("101000000000000"));
        QCOMPARE(m_preview->lineColour(0), SegmentGeometry::onColour());
        QCOMPARE(m_preview->lineColour(1), SegmentGeometry::offColour());
        // A refused key changes nothing, but its release still redraws the preview.
        m_preview->setLineColour(4, SegmentGeometry::onColour());
        QTest::keyClick(m_udcpattern, '2');
        QCOMPARE(m_udcpattern->text(), QStringLiteral("101"));
        QCOMPARE(m_preview->lineColour(4), SegmentGeometry::offColour());
        QVERIFY(m_t->sent().isEmpty());
        // Typing stops at fifteen.
        QTest::keyClicks(m_udcpattern, QString(20, QLatin1Char('1')));
        QCOMPARE(m_udcpattern->text(), QStringLiteral("101111111111111"));
    }

    void patternEditPathsKeepOnlyZerosAndOnes()
    {
        select(65);
        m_udcpattern->clear();
        QApplication::clipboard()->setText(QStringLiteral("1a0 2\r1!"));
        QTest::keyClick(m_udcpattern, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(m_udcpattern->text(), QStringLiteral("101"));
        QCOMPARE(table().pattern(65), QStringLiteral("101000000000000"));

        m_udcpattern->clear();
        dropText(m_udcpattern, QStringLiteral("x1y0z!\r"));
        QCOMPARE(m_udcpattern->text(), QStringLiteral("10"));
        QCOMPARE(table().pattern(65), QStringLiteral("100000000000000"));

        m_udcpattern->selectAll();
        QTest::keyClick(m_udcpattern, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(m_udcpattern->text(), QString());
        QCOMPARE(table().pattern(65), kOff);
        QVERIFY(m_t->sent().isEmpty());
    }

    void clickingASegment_data()
    {
        QTest::addColumn<int>("k");
        for (const int k : {0, 14})
            QTest::addRow("segment %d", k) << k;
    }
    void clickingASegment()
    {
        QFETCH(int, k);
        m_t->window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_t->window()));
        select(65);
        button(0)->click();
        m_t->clearSent();
        // The field with the focus keeps it, so its leaving action does not run.
        m_t->window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&m_t->window()));
        m_acc->setFocus();

        QString expected = kOff;
        expected[k] = QLatin1Char('1');
        QTest::mouseClick(m_preview, Qt::LeftButton, {}, m_preview->segmentPosition(k));
        QCOMPARE(m_udcpattern->text(), expected);
        QCOMPARE(table().pattern(65), expected);
        QCOMPARE(m_preview->linePattern(), expected);
        QTest::mouseClick(m_preview, Qt::LeftButton, {}, m_preview->segmentPosition(k));
        QCOMPARE(table().pattern(65), kOff);
        // Away from every segment nothing changes.
        QTest::mouseClick(m_preview, Qt::LeftButton, {}, QPoint(1, 1));
        QCOMPARE(m_udcpattern->text(), kOff);
        QVERIFY(m_t->sent().isEmpty());
        QCOMPARE(QApplication::focusWidget(), m_acc);
    }

    void spaceTogglesTheChosenSegment()
    {
        select(65);
        button(0)->click();
        QTest::keyClick(m_preview, Qt::Key_Left);
        QCOMPARE(m_preview->focusedSegment(), 14);
        QTest::keyClick(m_preview, Qt::Key_Space);
        QCOMPARE(m_udcpattern->text(), QStringLiteral("000000000000001"));
    }

    void onThenOffStoresAllOffAndSendsNothing()
    {
        select(65);
        button(1)->click();
        QCOMPARE(table().pattern(65), kOn);
        QCOMPARE(m_preview->linePattern(), kOn);
        button(0)->click();
        QCOMPARE(table().pattern(65), kOff);
        QCOMPARE(m_preview->linePattern(), kOff);
        QVERIFY(m_t->sent().isEmpty());
    }

    void udcKeys_data()
    {
        QTest::addColumn<int>("key"); // with the modifiers held
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("code"); // 65: the key changed nothing
        QTest::newRow("!") << int(Qt::Key_Exclam) << "!" << 65;
        QTest::newRow("enter") << int(Qt::Key_Return) << "\r" << 65;
        QTest::newRow("e acute") << int(Qt::Key_Eacute) << QString(QChar(0xE9)) << 65;
        QTest::newRow("~") << int(Qt::Key_AsciiTilde) << "~" << 65;
        QTest::newRow("}") << int(Qt::Key_BraceRight) << "}" << 125;
        QTest::newRow("space") << int(Qt::Key_Space) << " " << 32;
        QTest::newRow("quote") << int(Qt::Key_QuoteDbl) << "\"" << 34;
        QTest::newRow("Ctrl+N") << (Qt::ControlModifier | Qt::Key_N).toCombined() << "\x0e" << 14;
    }
    void udcKeys()
    {
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(int, code);
        select(65);
        const QKeyCombination combination = QKeyCombination::fromCombined(key);
        QTest::sendKeyEvent(QTest::Click, m_udc, combination.key(), text,
                            combination.keyboardModifiers());
        verifyEditor(code, table().pattern(code));
        QCOMPARE(m_t->sent(), code == 65 ? QByteArrayList() : QByteArrayList{showCharacter(code)});
        QCOMPARE(m_t->pauses(), QList<int>(code == 65 ? 0 : 1, 5));
    }

    void udcEditPathsKeepOneCharacter()
    {
        select(65);
        QApplication::clipboard()->setText(QStringLiteral("xyz"));
        // Ctrl+V and Ctrl+X type the codes 22 and 24 here.
        QTest::keyClick(m_udc, Qt::Key_Insert, Qt::ShiftModifier);
        m_udc->selectAll();
        QTest::keyClick(m_udc, Qt::Key_Delete, Qt::ShiftModifier);
        m_udc->selectAll();
        QTest::keyClick(m_udc, Qt::Key_Delete);
        dropText(m_udc, QStringLiteral("Q"));
        QCOMPARE(m_udc->text(), QStringLiteral("A"));
        QCOMPARE(m_acc->text(), QStringLiteral("65"));
        QVERIFY(m_t->sent().isEmpty());
    }

    // The clamping itself is in tst_coderules; here Enter and leaving the field apply it.
    void accSelectsAClampedCode_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("byEnter");
        QTest::addColumn<int>("code");
        QTest::newRow("5 Enter") << "5" << true << 10;
        QTest::newRow("200 Enter") << "200" << true << 125;
        QTest::newRow("empty Enter") << "" << true << 10;
        QTest::newRow("13 focus loss") << "13" << false << 14;
        QTest::newRow("unchanged focus loss") << "65" << false << 65;
    }
    void accSelectsAClampedCode()
    {
        QFETCH(QString, text);
        QFETCH(bool, byEnter);
        QFETCH(int, code);
        m_acc->setText(text);
        if (byEnter)
            QTest::keyClick(m_acc, Qt::Key_Return);
        else
            loseFocus(m_acc);
        verifyEditor(code, table().pattern(code));
        QCOMPARE(m_t->sent(), QByteArrayList{showCharacter(code)});
        QCOMPARE(m_t->pauses(), QList<int>{5});
    }

    void charactersTabFollowsTheTableAndSelectsOnClick_data()
    {
        QTest::addColumn<int>("code");
        QTest::newRow("65") << 65;
        QTest::newRow("last code") << 125;
    }
    void charactersTabFollowsTheTableAndSelectsOnClick()
    {
        QFETCH(int, code);
        auto *tabs = m_t->find<QTabWidget>(QStringLiteral("SSTab1"));
        auto *grid = m_t->find<CharacterGrid>(QStringLiteral("characters"));
        QCOMPARE(tabs->tabText(3), QStringLiteral("Characters"));
        grid->resize(600, 500);
        table().setPattern(code, kOn);
        const QImage lit = grid->grab(grid->cellRect(code)).toImage();
        m_acc->setText(QString::number(code));
        button(13)->click(); // Clr
        QVERIFY(grid->grab(grid->cellRect(code)).toImage() != lit);
        m_t->clearSent();

        tabs->setCurrentIndex(3);
        QTest::mouseClick(grid, Qt::LeftButton, {}, grid->cellRect(code).center());
        QCOMPARE(tabs->currentIndex(), 0);
        verifyEditor(code, kOff);
        QCOMPARE(m_t->sent(), QByteArrayList{showCharacter(code)});
    }

    void accKeepsToDigitsAndDoubleClickSelectsTen()
    {
        m_acc->clear();
        QTest::keyClicks(m_acc, QStringLiteral("6a-5 "));
        QCOMPARE(m_acc->text(), QStringLiteral("65"));
        QVERIFY(m_t->sent().isEmpty());
        QTest::mouseDClick(m_acc, Qt::LeftButton);
        QCOMPARE(m_acc->text(), QStringLiteral("10"));
        QCOMPARE(m_udc->text(), QString(QChar(10)));
        QCOMPARE(m_t->sent().last(), showCharacter(10));
    }

    // Write sends the field as it stands and leaves the preview alone; Enter pads it first.
    void writeAndEnter_data()
    {
        QTest::addColumn<bool>("enter");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("written");
        QTest::newRow("Write") << false << "000000000100010"
                               << "000000000100010";
        QTest::newRow("Write, short and unpadded") << false << "101"
                                                   << "101";
        QTest::newRow("Enter pads") << true << "11"
                                    << "110000000000000";
    }
    void writeAndEnter()
    {
        QFETCH(bool, enter);
        QFETCH(QString, pattern);
        QFETCH(QString, written);
        select(65);
        m_udcpattern->setText(pattern);
        m_preview->setLineColour(2, SegmentGeometry::onColour()); // a redraw would undo it
        const QString before = m_preview->linePattern();
        if (enter)
            QTest::keyClick(m_udcpattern, Qt::Key_Return);
        else
            button(2)->click();
        QCOMPARE(m_t->sent(), (QByteArrayList{writePattern('A', written), frame("$B7MA")}));
        QCOMPARE(m_t->pauses(), (QList<int>{enter ? 10 : 5, 10}));
        QCOMPARE(m_acc->text(), QStringLiteral("65"));
        QCOMPARE(m_udcpattern->text(), written);
        if (enter)
            QCOMPARE(table().pattern(65), written);
        else
            QCOMPARE(m_preview->linePattern(), before);
    }

    void foreignPatternNeverBreaksACommand_data()
    {
        QTest::addColumn<int>("index"); // -1: Enter in the pattern field
        QTest::newRow("Write") << 2;
        QTest::newRow("Enter") << -1;
        QTest::newRow("Commit") << 9;
    }
    void foreignPatternNeverBreaksACommand()
    {
        QFETCH(int, index);
        select(65);
        // What an unchecked file can leave in a slot and in the field.
        table().setPattern(65, QStringLiteral("1!\r1"));
        m_udcpattern->setText(QStringLiteral("1!\r1"));
        if (index < 0)
            QTest::keyClick(m_udcpattern, Qt::Key_Return);
        else
            button(index)->click();
        bool wroteA = false;
        for (const QByteArray &command : m_t->sent()) {
            QVERIFY2(Command::isWellFormed(command), command.constData());
            if (command.startsWith("$B7W")) {
                QVERIFY2(!command.mid(5).contains('!'), command.constData());
                wroteA = wroteA || command.at(4) == 'A';
            }
        }
        QVERIFY(wroteA);
    }

    void navigationButtons_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("result");
        // clang-format off
        QTest::newRow("Write+ on 12") << 3 << 12 << 14;
        QTest::newRow("Write+ on 32") << 3 << 32 << 34;
        QTest::newRow("Write+ on 125") << 3 << 125 << 125;
        QTest::newRow("< on 10") << 4 << 10 << 10;
        QTest::newRow("< on 34") << 4 << 34 << 32;
        QTest::newRow("> on 125") << 5 << 125 << 125;
        QTest::newRow("> on 12") << 5 << 12 << 14;
        // clang-format on
    }
    void navigationButtons()
    {
        QFETCH(int, index);
        QFETCH(int, code);
        QFETCH(int, result);
        const QString shown = QStringLiteral("110011001100110");
        select(code);
        table().setPattern(result, shown);
        if (result == code)
            m_udcpattern->setText(shown);
        const QString written = m_udcpattern->text();
        button(index)->click();
        verifyEditor(result, shown);
        if (index == 3) { // Write+ writes the current character, then moves on silently
            QCOMPARE(m_t->sent(),
                     (QByteArrayList{writePattern(code, written), showCharacter(code)}));
            QCOMPARE(m_t->pauses(), (QList<int>{5, 10}));
        } else {
            QCOMPARE(m_t->sent(), QByteArrayList{showCharacter(result)});
            QCOMPARE(m_t->pauses(), QList<int>{5});
        }
    }

    // The press moves the focus out of acc; its release lands while acc's command waits.
    void clickInsideTheLeavingWaitActsAfterIt()
    {
        QPushButton *next = button(5);
        m_acc->setText(QStringLiteral("20"));
        QTimer::singleShot(0, next, [next] { QTest::mouseRelease(next, Qt::LeftButton); });
        loseFocus(m_acc);
        QTest::mousePress(next, Qt::LeftButton);
        QCoreApplication::processEvents();
        QCOMPARE(m_t->sent(), (QByteArrayList{showCharacter(20), showCharacter(21)}));
        QVERIFY(!next->isDown());
    }

    void commitUploadsTheWholeFont()
    {
        select(65);
        table().setPattern(66, QStringLiteral("1!\r"));
        table().setPattern(100, QStringLiteral("101"));
        FontTable expectedTable;
        for (int code = 10; code <= 125; ++code)
            expectedTable.setPattern(code, table().pattern(code));
        expectedTable.setPattern(66, QStringLiteral("100000000000000"));
        expectedTable.setPattern(100, QStringLiteral("101000000000000"));

        button(9)->click();

        QByteArrayList expected{frame("$B7F000000")};
        for (int code = 10; code <= 125; ++code) {
            if (code != 13 && code != 33)
                expected << writePattern(code, expectedTable.pattern(code)) << showCharacter(code);
        }
        QCOMPARE(m_t->sent(), expected);
        QCOMPARE(m_t->pauses(), QList<int>(229, 5));
        QCOMPARE(m_acc->text(), QStringLiteral("125"));
        QCOMPARE(m_udc->text(), QStringLiteral("}"));
        QCOMPARE(status(), QStringLiteral("Character set has been uploaded to PIC"));
        QVERIFY(!m_t->window().findChild<FontEditorPanel *>()->committing());
    }

    void secondCommitDuringAnUploadIsIgnored()
    {
        int writes = 0;
        m_t->port().setWriteHook([&](const QByteArray &) {
            if (++writes == 10)
                button(9)->click();
        });
        button(9)->click();
        m_t->port().setWriteHook({});
        QCOMPARE(m_t->sent().size(), 229);
        QCOMPARE(m_t->sent().first().left(4), QByteArray("$B7F"));
        QCOMPARE(m_t->sent().last(), showCharacter(125));
        QCOMPARE(status(), QStringLiteral("Character set has been uploaded to PIC"));
        // Once it has finished, Commit works again.
        m_t->clearSent();
        button(9)->click();
        QCOMPARE(m_t->sent().size(), 229);
    }

    void interruptedCommitWithholdsTheUploadMessage_data()
    {
        QTest::addColumn<QString>("interruption");
        QTest::newRow("no port from the start") << "noport";
        QTest::newRow("write fails") << "fail";
        QTest::newRow("port closed and reopened") << "reopen";
        QTest::newRow("stopped by Escape") << "escape";
    }
    void interruptedCommitWithholdsTheUploadMessage()
    {
        QFETCH(QString, interruption);
        m_t->window().workbench().setStatus(QStringLiteral("before"));
        // Reopening the port waits a few turns of the event loop, so some commands are lost.
        int yieldsUntilReopen = 0;
        QTimer reopen;
        connect(&reopen, &QTimer::timeout, this, [&] {
            if (yieldsUntilReopen > 0 && --yieldsUntilReopen == 0)
                m_t->openPort();
        });
        reopen.start(0);
        const bool escape = interruption == QLatin1String("escape");
        if (escape) {
            m_t->window().show();
            QVERIFY(QTest::qWaitForWindowActive(&m_t->window()));
        }
        auto *progress = m_t->find<QProgressBar>(QStringLiteral("commitprogress"));
        QVERIFY(progress);
        QString progressShown;
        int writes = 0;
        m_t->port().setWriteHook([&](const QByteArray &) {
            if (++writes != 50)
                return;
            if (escape) {
                // The 25th character's pattern is going out; 24 are complete.
                progressShown = progress->isVisible() ? progress->text() : QString();
                QTest::keyClick(&m_t->window(), Qt::Key_Escape);
            } else if (interruption == QLatin1String("fail")) {
                m_t->port().failWrites(PortError{8020, QStringLiteral("Write failed")});
            } else {
                m_t->window().portChooser().select(0);
                yieldsUntilReopen = 4;
            }
        });
        if (interruption == QLatin1String("noport"))
            m_t->window().portChooser().select(0);
        button(9)->click();
        m_t->port().setWriteHook({});
        reopen.stop();
        QCOMPARE(status(), escape ? QStringLiteral("Upload stopped: 25 of 114 characters sent")
                                  : QStringLiteral("before"));
        QVERIFY(!m_t->window().findChild<FontEditorPanel *>()->committing());
        QVERIFY(!progress->isVisible());
        if (escape) {
            QCOMPARE(progressShown, QStringLiteral("24 / 114"));
            // The stopped character's show command still went out.
            QCOMPARE(m_t->sent().size(), 51);
        } else if (interruption == QLatin1String("noport")) {
            QVERIFY(m_t->sent().isEmpty());
            QCOMPARE(m_acc->text(), QStringLiteral("125"));
        } else if (interruption == QLatin1String("reopen")) {
            QVERIFY(m_t->window().link().portopen());
            QVERIFY(m_t->sent().size() > 50 && m_t->sent().size() < 229);
        } else {
            QCOMPARE(m_t->sent().size(), 50);
            QCOMPARE(alertHistory().size(), 1);
        }
    }
};

QTEST_MAIN(TestFontEditor)
#include "tst_fonteditor.moc"
