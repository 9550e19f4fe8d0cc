#include "support/testsupport.h"

#include "app/alert.h"
#include "app/basicutilities.h"
#include "app/workbench.h"
#include "font/fonteditorpanel.h"
#include "font/segmentgeometry.h"
#include "font/segmentpreview.h"
#include "protocol/command.h"
#include "protocol/filteredlineedit.h"
#include "serial/portchooser.h"
#include "serial/recordingport.h"
#include "serial/seriallink.h"
#include "serial/serialport.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QMimeData>
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
    void loseFocus(QWidget *widget)
    {
        QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(widget, &focusOut);
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
    // Colours one line against the pattern, so that a redraw is visible.
    void spoilLine(int k)
    {
        const bool on = m_preview->lineColour(k) == SegmentGeometry::onColour();
        m_preview->setLineColour(k,
                                 on ? SegmentGeometry::offColour() : SegmentGeometry::onColour());
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

    void captionsAndToolTips_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("Off") << 0 << "Off"
                             << "Turn all segments off";
        QTest::newRow("On") << 1 << "On"
                            << "Turn all segments on";
        QTest::newRow("Write")
                << 2 << "Write"
                << "Write current pattern  to first PIC in chain and stay on this index";
        QTest::newRow("Write+")
                << 3 << "Write+"
                << "Write current pattern  to first PIC in chain and go to next index";
        QTest::newRow("<")
                << 4 << "<"
                << "Select previous location in local memory and send to first PIC in chain";
        QTest::newRow(">") << 5 << ">"
                           << "Select next location in local memory and send to first PIC in chain";
        QTest::newRow("Def") << 8 << "Def"
                             << "Clear the user fonts in local memory to the default patterns";
        QTest::newRow("Commit") << 9 << "Commit"
                                << "Write local memory to all PICs in chain";
        QTest::newRow("Clr") << 13 << "Clr"
                             << "Clear the user fonts in local memory to all patterns off";
    }
    void captionsAndToolTips()
    {
        QFETCH(int, index);
        QFETCH(QString, caption);
        QFETCH(QString, toolTip);
        QPushButton *b = button(index);
        QVERIFY(b);
        QCOMPARE(b->text(), caption);
        QCOMPARE(b->toolTip(), toolTip);
    }

    void startsWithItsDefaults()
    {
        QCOMPARE(m_acc->text(), QStringLiteral("65"));
        QCOMPARE(m_acc->toolTip(), QStringLiteral("Note that 13  (cr) and  33 (!) are not used as "
                                                  "these are valid control characters"));
        QCOMPARE(m_udc->text(), QStringLiteral("A"));
        QCOMPARE(m_udc->toolTip(), QStringLiteral("This is the charater input that points to the "
                                                  "current user font character"));
        QStringList labels;
        for (const QLabel *label :
             m_t->window().findChild<FontEditorPanel *>()->findChildren<QLabel *>()) {
            labels << label->text();
            if (label->buddy() == m_acc) {
                QCOMPARE(label->text(), QStringLiteral("ASCII"));
                QCOMPARE(label->toolTip(), QStringLiteral("ASCII character code"));
            }
        }
        QVERIFY(labels.contains(QStringLiteral("ASCII")));
        QVERIFY(labels.contains(QStringLiteral("To view UDC")));
        QVERIFY(labels.contains(QStringLiteral("Set Fonts='U'")));
        QCOMPARE(m_udcpattern->text(), kOff);
        QCOMPARE(m_udcpattern->font(), QFontDatabase::systemFont(QFontDatabase::FixedFont));
        QCOMPARE(m_preview->linePattern(), kOff);
        QCOMPARE(qRound(m_preview->lineWidth()), 7);
        QCOMPARE(m_preview->size(), QSize(112, 160));
    }

    void defAndClr_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("expectedStatus");
        QTest::addColumn<QString>("pattern65");
        QTest::newRow("Def") << 8 << "Font array has been set to default"
                             << "000000000100010";
        QTest::newRow("Clr") << 13 << "Font array has been cleared" << kOff;
    }
    void defAndClr()
    {
        QFETCH(int, index);
        QFETCH(QString, expectedStatus);
        QFETCH(QString, pattern65);
        for (int code = 0; code < FontTable::kSlots; ++code)
            table().setPattern(code, kOn);
        m_acc->setText(QStringLiteral("65"));
        button(index)->click();
        for (int code = 0; code < 10; ++code)
            QCOMPARE(table().pattern(code), kOn);
        for (int code = 10; code <= 125; ++code) {
            const bool builtIn = index == 8 && code >= 58 && code <= 76;
            QVERIFY2((table().pattern(code) == kOff) != builtIn, qPrintable(QString::number(code)));
        }
        QCOMPARE(m_udc->text(), QStringLiteral("A"));
        QCOMPARE(m_udcpattern->text(), pattern65);
        QCOMPARE(m_preview->linePattern(), pattern65);
        QCOMPARE(m_t->sent(), QList<QByteArray>{frame("$B7MA")});
        QCOMPARE(m_t->pauses(), QList<int>{5});
        QCOMPARE(status(), expectedStatus);
    }

    void defOnCode70ShowsTheSpinnerFrame()
    {
        m_acc->setText(QStringLiteral("70"));
        button(8)->click();
        QCOMPARE(m_udc->text(), QStringLiteral("F"));
        QCOMPARE(m_udcpattern->text(), QStringLiteral("000000011100000"));
        QCOMPARE(m_preview->linePattern(), QStringLiteral("000000011100000"));
    }

    void clrWithoutPortStillClearsAndKeepsTheLineQuiet()
    {
        m_t->window().portChooser().select(0);
        m_t->clearSent();
        table().setPattern(65, kOn);
        button(13)->click();
        QCOMPARE(table().pattern(65), kOff);
        QVERIFY(m_t->sent().isEmpty());
        QCOMPARE(status(), QStringLiteral("Font array has been cleared"));
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
        QVERIFY(m_t->sent().isEmpty());
    }

    void refusedKeysStillRedraw_data()
    {
        QTest::addColumn<char>("key");
        QTest::newRow("2") << '2';
        QTest::newRow("letter") << 'x';
        QTest::newRow("space") << ' ';
    }
    void refusedKeysStillRedraw()
    {
        QFETCH(char, key);
        select(65);
        m_udcpattern->setText(QStringLiteral("1"));
        spoilLine(4);
        QTest::keyClick(m_udcpattern, key);
        QCOMPARE(m_udcpattern->text(), QStringLiteral("1"));
        QCOMPARE(m_preview->linePattern(), QStringLiteral("100000000000000"));
        QVERIFY(m_t->sent().isEmpty());
    }

    void patternTypingStopsAtFifteen()
    {
        m_udcpattern->clear();
        QTest::keyClicks(m_udcpattern, QString(20, QLatin1Char('1')));
        QCOMPARE(m_udcpattern->text(), kOn);
    }

    void enterInPatternWritesThePaddedPattern()
    {
        select(65);
        m_udcpattern->setText(QStringLiteral("11"));
        QTest::keyClick(m_udcpattern, Qt::Key_Return);
        const QList<QByteArray> expected{writePattern('A', QStringLiteral("110000000000000")),
                                         frame("$B7MA")};
        QCOMPARE(m_t->sent(), expected);
        QCOMPARE(m_t->pauses(), (QList<int>{10, 10}));
        QCOMPARE(m_udcpattern->text(), QStringLiteral("110000000000000"));
        QCOMPARE(table().pattern(65), QStringLiteral("110000000000000"));
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
        for (int k = 0; k < SegmentGeometry::kSegments; ++k)
            QTest::newRow(qPrintable(QStringLiteral("segment %1").arg(k))) << k;
    }
    void clickingASegment()
    {
        QFETCH(int, k);
        m_t->window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_t->window()));
        select(65);
        button(0)->click();
        m_preview->setFocus(Qt::OtherFocusReason);
        m_t->clearSent();

        QString expected = kOff;
        expected[k] = QLatin1Char('1');
        QTest::mouseClick(m_preview, Qt::LeftButton, {}, m_preview->segmentPosition(k));
        QCOMPARE(m_udcpattern->text(), expected);
        QCOMPARE(table().pattern(65), expected);
        QCOMPARE(m_preview->linePattern(), expected);

        QTest::mouseClick(m_preview, Qt::LeftButton, {}, m_preview->segmentPosition(k));
        QCOMPARE(m_udcpattern->text(), kOff);
        QCOMPARE(table().pattern(65), kOff);
        QVERIFY(m_t->sent().isEmpty());
    }

    void clickAwayFromEverySegmentChangesNothing()
    {
        select(65);
        button(0)->click();
        QTest::mouseClick(m_preview, Qt::LeftButton, {}, QPoint(1, 1));
        QTest::mouseClick(m_preview, Qt::LeftButton, {}, QPoint(106, 76));
        QCOMPARE(m_udcpattern->text(), kOff);
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

    void udcIgnoresOtherKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::newRow("!") << int(Qt::Key_Exclam) << "!";
        QTest::newRow("enter") << int(Qt::Key_Return) << "\r";
        QTest::newRow("backspace") << int(Qt::Key_Backspace) << "\b";
        QTest::newRow("delete") << int(Qt::Key_Delete) << "\x7f";
        QTest::newRow("~") << int(Qt::Key_AsciiTilde) << "~";
        QTest::newRow("e acute") << int(Qt::Key_Eacute) << QString(QChar(0xE9));
    }
    void udcIgnoresOtherKeys()
    {
        QFETCH(int, key);
        QFETCH(QString, text);
        select(65);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(m_udc, &press);
        QCOMPARE(m_udc->text(), QStringLiteral("A"));
        QCOMPARE(m_acc->text(), QStringLiteral("65"));
        QVERIFY(m_t->sent().isEmpty());
    }

    void udcKeySelectsTheCharacter_data()
    {
        QTest::addColumn<char>("key");
        QTest::newRow("}") << '}';
        QTest::newRow("B") << 'B';
        QTest::newRow("space") << ' ';
        QTest::newRow("quote") << '"';
    }
    void udcKeySelectsTheCharacter()
    {
        QFETCH(char, key);
        select(65);
        QTest::keyClick(m_udc, key);
        QCOMPARE(m_udc->text(), QString(QLatin1Char(key)));
        QCOMPARE(m_acc->text(), QString::number(int(key)));
        QCOMPARE(m_udcpattern->text(), table().pattern(key));
        QCOMPARE(m_preview->linePattern(), table().pattern(key));
        QCOMPARE(m_t->sent(), QList<QByteArray>{showCharacter(key)});
        QCOMPARE(m_t->pauses(), QList<int>{5});
    }

    void udcEditPathsKeepOneCharacter()
    {
        select(65);
        QApplication::clipboard()->setText(QStringLiteral("xyz"));
        QTest::keyClick(m_udc, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(m_udc->text(), QStringLiteral("A"));
        m_udc->selectAll();
        QTest::keyClick(m_udc, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(m_udc->text(), QStringLiteral("A"));
        m_udc->selectAll();
        QTest::keyClick(m_udc, Qt::Key_Delete);
        QCOMPARE(m_udc->text(), QStringLiteral("A"));
        dropText(m_udc, QStringLiteral("Q"));
        QCOMPARE(m_udc->text(), QStringLiteral("A"));
        QCOMPARE(m_acc->text(), QStringLiteral("65"));
        QVERIFY(m_t->sent().isEmpty());
    }

    void accSelectsAClampedCode_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("byEnter");
        QTest::addColumn<int>("code");
        QTest::newRow("65 Enter") << "65" << true << 65;
        QTest::newRow("5 Enter") << "5" << true << 10;
        QTest::newRow("200 Enter") << "200" << true << 125;
        QTest::newRow("forty digits Enter") << QString(40, QLatin1Char('7')) << true << 125;
        QTest::newRow("13 Enter") << "13" << true << 14;
        QTest::newRow("13 focus loss") << "13" << false << 14;
        QTest::newRow("33 Enter") << "33" << true << 34;
        QTest::newRow("empty Enter") << "" << true << 10;
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
        QCOMPARE(m_acc->text(), QString::number(code));
        QCOMPARE(m_udc->text(), QString(QChar(code)));
        QCOMPARE(m_udcpattern->text(), table().pattern(code));
        QCOMPARE(m_preview->linePattern(), table().pattern(code));
        QCOMPARE(m_t->sent(), QList<QByteArray>{showCharacter(code)});
        QCOMPARE(m_t->pauses(), QList<int>{5});
    }

    void accKeepsToDigits()
    {
        m_acc->clear();
        QTest::keyClicks(m_acc, QStringLiteral("6a-5 "));
        QCOMPARE(m_acc->text(), QStringLiteral("65"));
        QVERIFY(m_t->sent().isEmpty());
    }

    void doubleClickInAccSelectsTen()
    {
        m_acc->setText(QStringLiteral("65"));
        QTest::mouseDClick(m_acc, Qt::LeftButton);
        QCOMPARE(m_acc->text(), QStringLiteral("10"));
        QCOMPARE(m_udc->text(), QString(QChar(10)));
        QVERIFY(m_t->sent().contains(showCharacter(10)));
        QCOMPARE(m_t->sent().last(), showCharacter(10));
    }

    void writeStaysAndDoesNotRedraw()
    {
        select(65);
        m_udcpattern->setText(QStringLiteral("000000000100010"));
        spoilLine(2);
        const QString before = m_preview->linePattern();
        button(2)->click();
        const QList<QByteArray> expected{writePattern('A', QStringLiteral("000000000100010")),
                                         frame("$B7MA")};
        QCOMPARE(m_t->sent(), expected);
        QCOMPARE(m_t->pauses(), (QList<int>{5, 10}));
        QCOMPARE(m_acc->text(), QStringLiteral("65"));
        QCOMPARE(m_preview->linePattern(), before);
    }

    void writeSendsAShortPatternUnpadded()
    {
        select(65);
        m_udcpattern->setText(QStringLiteral("101"));
        button(2)->click();
        QCOMPARE(m_t->sent().first(), writePattern('A', QStringLiteral("101")));
    }

    void foreignPatternNeverBreaksACommand_data()
    {
        QTest::addColumn<int>("index"); // -1: Enter in the pattern field
        QTest::newRow("Write") << 2;
        QTest::newRow("Write+") << 3;
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
        const QList<QByteArray> sent = m_t->sent();
        QVERIFY(!sent.isEmpty());
        bool wroteA = false;
        for (const QByteArray &command : sent) {
            QVERIFY2(Command::isWellFormed(command), command.constData());
            if (command.startsWith("$B7W")) {
                QVERIFY2(!command.mid(5).contains('!'), command.constData());
                wroteA = wroteA || command.at(4) == 'A';
            }
        }
        QVERIFY(wroteA);
    }

    void writePlusMovesOn_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("next");
        QTest::newRow("12") << 12 << 14;
        QTest::newRow("32") << 32 << 34;
        QTest::newRow("125") << 125 << 125;
        QTest::newRow("65") << 65 << 66;
    }
    void writePlusMovesOn()
    {
        QFETCH(int, code);
        QFETCH(int, next);
        select(code);
        table().setPattern(next, QStringLiteral("110011001100110"));
        if (next == code)
            m_udcpattern->setText(QStringLiteral("110011001100110"));
        const QString written = m_udcpattern->text();
        button(3)->click();
        const QList<QByteArray> expected{writePattern(code, written), showCharacter(code)};
        QCOMPARE(m_t->sent(), expected);
        QCOMPARE(m_t->pauses(), (QList<int>{5, 10}));
        QCOMPARE(m_acc->text(), QString::number(next));
        QCOMPARE(m_udc->text(), QString(QChar(next)));
        QCOMPARE(m_udcpattern->text(), QStringLiteral("110011001100110"));
        QCOMPARE(m_preview->linePattern(), QStringLiteral("110011001100110"));
    }

    void stepButtons_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("result");
        QTest::newRow("< on 10") << 4 << 10 << 10;
        QTest::newRow("< on 14") << 4 << 14 << 12;
        QTest::newRow("< on 34") << 4 << 34 << 32;
        QTest::newRow("< on 66") << 4 << 66 << 65;
        QTest::newRow("> on 125") << 5 << 125 << 125;
        QTest::newRow("> on 12") << 5 << 12 << 14;
        QTest::newRow("> on 32") << 5 << 32 << 34;
    }
    void stepButtons()
    {
        QFETCH(int, index);
        QFETCH(int, code);
        QFETCH(int, result);
        select(code);
        table().setPattern(result, QStringLiteral("000111000111000"));
        button(index)->click();
        QCOMPARE(m_acc->text(), QString::number(result));
        QCOMPARE(m_udc->text(), QString(QChar(result)));
        QCOMPARE(m_udcpattern->text(), QStringLiteral("000111000111000"));
        QCOMPARE(m_preview->linePattern(), QStringLiteral("000111000111000"));
        QCOMPARE(m_t->sent(), QList<QByteArray>{showCharacter(result)});
        QCOMPARE(m_t->pauses(), QList<int>{5});
    }

    void commitUploadsTheWholeFont()
    {
        select(65);
        table().setPattern(66, QStringLiteral("1!\r"));
        table().setPattern(100, QStringLiteral("101"));
        auto *fonts = m_t->find<QLineEdit>(QStringLiteral("fonts"));
        const QByteArray fontsText = fonts ? fonts->text().toLatin1() : QByteArray();
        FontTable expectedTable;
        for (int code = 10; code <= 125; ++code)
            expectedTable.setPattern(code, table().pattern(code));
        expectedTable.setPattern(66, QStringLiteral("100000000000000"));
        expectedTable.setPattern(100, QStringLiteral("101000000000000"));

        button(9)->click();

        const QList<QByteArray> sent = m_t->sent();
        QCOMPARE(sent.size(), 229);
        QCOMPARE(sent.first(), frame("$B7F" + fontsText));
        int at = 1;
        for (int code = 10; code <= 125; ++code) {
            if (code == 13 || code == 33)
                continue;
            QCOMPARE(sent.at(at++), writePattern(code, expectedTable.pattern(code)));
            QCOMPARE(sent.at(at++), showCharacter(code));
        }
        int fontCommands = 0;
        for (const QByteArray &command : sent)
            fontCommands += command.startsWith("$B7F") ? 1 : 0;
        QCOMPARE(fontCommands, 1);
        QCOMPARE(m_t->pauses(), QList<int>(229, 5));
        QCOMPARE(m_acc->text(), QStringLiteral("125"));
        QCOMPARE(m_udc->text(), QStringLiteral("}"));
        QCOMPARE(table().pattern(66), QStringLiteral("100000000000000"));
        QCOMPARE(status(), QStringLiteral("Character set has been uploaded to PIC"));
        QVERIFY(!m_t->window().findChild<FontEditorPanel *>()->committing());
    }

    void commitWithoutPortLeavesTheStatus()
    {
        m_t->window().portChooser().select(0);
        m_t->window().workbench().setStatus(QStringLiteral("before"));
        select(65);
        button(9)->click();
        QVERIFY(m_t->sent().isEmpty());
        QCOMPARE(status(), QStringLiteral("before"));
        QCOMPARE(m_acc->text(), QStringLiteral("125"));
        QCOMPARE(m_udc->text(), QStringLiteral("}"));
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

    void failedWriteWithholdsTheUploadMessage()
    {
        m_t->window().workbench().setStatus(QStringLiteral("before"));
        int writes = 0;
        m_t->port().setWriteHook([&](const QByteArray &) {
            if (++writes == 50)
                m_t->port().failWrites(PortError{8020, QStringLiteral("Write failed")});
        });
        button(9)->click();
        m_t->port().setWriteHook({});
        QCOMPARE(m_t->sent().size(), 50);
        QVERIFY(!alertHistory().isEmpty());
        QCOMPARE(status(), QStringLiteral("before"));
        QCOMPARE(m_acc->text(), QStringLiteral("125"));
    }

    void portLostAndReopenedWithholdsTheUploadMessage()
    {
        m_t->window().workbench().setStatus(QStringLiteral("before"));
        int writes = 0;
        int yieldsUntilReopen = -1;
        QTimer reopen;
        reopen.setInterval(0);
        connect(&reopen, &QTimer::timeout, this, [&] {
            if (yieldsUntilReopen > 0 && --yieldsUntilReopen == 0) {
                m_t->openPort();
                reopen.stop();
            }
        });
        m_t->port().setWriteHook([&](const QByteArray &) {
            if (++writes == 50) {
                m_t->window().portChooser().select(0);
                yieldsUntilReopen = 4;
            }
        });
        reopen.start();
        button(9)->click();
        m_t->port().setWriteHook({});
        QVERIFY(m_t->window().link().portopen());
        QVERIFY(m_t->sent().size() < 229);
        QVERIFY(m_t->sent().size() > 50);
        QCOMPARE(status(), QStringLiteral("before"));
    }

    void commitStopsAtShutdown()
    {
        m_t->window().workbench().setStatus(QStringLiteral("before"));
        int writes = 0;
        m_t->port().setWriteHook([&](const QByteArray &) {
            if (++writes == 20)
                requestShutdown();
        });
        button(9)->click();
        m_t->port().setWriteHook({});
        QCOMPARE(m_t->sent().size(), 20);
        QCOMPARE(status(), QStringLiteral("before"));
        QVERIFY(!m_t->window().findChild<FontEditorPanel *>()->committing());
    }
};

QTEST_MAIN(TestFontEditor)
#include "tst_fonteditor.moc"
