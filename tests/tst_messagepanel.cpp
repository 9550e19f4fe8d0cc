#include "support/testsupport.h"

#include "app/workbench.h"
#include "protocol/filteredlineedit.h"
#include "serial/seriallink.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace {

const QStringList kContentFields
        = {QStringLiteral("sentence"), QStringLiteral("fonts"), QStringLiteral("underscore"),
           QStringLiteral("effects"), QStringLiteral("speeds")};

QByteArray frame(const char *text)
{
    return QByteArray(text) + '\r';
}

// The label standing for a field (its buddy).
QLabel *labelOf(TestWindow &t, QWidget *field)
{
    for (QLabel *label : t.window().findChildren<QLabel *>()) {
        if (label->buddy() == field)
            return label;
    }
    return nullptr;
}

} // namespace

// The message block as the user drives it: keys typed and pasted, Enter, leaving fields and
// Write all, judged by the field texts and by the bytes that reach the port.
class TestMessagePanel : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestWindow> m_t;

    FilteredLineEdit *field(const QString &name) const { return m_t->find<FilteredLineEdit>(name); }
    // Puts the keyboard focus into a field as the user would, and checks it arrived.
    bool focusInto(QWidget *widget)
    {
        widget->setFocus(Qt::TabFocusReason);
        return widget->hasFocus();
    }

private Q_SLOTS:
    void init()
    {
        m_t = std::make_unique<TestWindow>();
        m_t->find<QTabWidget>(QStringLiteral("SSTab1"))->setCurrentIndex(0);
        m_t->openPort();
        m_t->clearSent();
        m_t->window().show();
        m_t->window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&m_t->window()));
        QTRY_VERIFY(m_t->window().isActiveWindow());
    }

    void cleanup() { m_t.reset(); }

    void fieldsStartWithTheirDefaults_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("typingLimit");
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("labelToolTip");

        const QString messageTip = QStringLiteral(
                "Display a message across the array, length should be equal to the number of "
                "digits.  This window only allows charaters 0-9 and A-Z for fonts 0-9, however "
                "font U has a valid range of ASCII 0 to 125 (Except 13 and '!'). The number to "
                "the right is the length of the display string.");
        QTest::newRow("mlength") << "mlength"
                                 << "6" << 2
                                 << "Sets the length of the display chain (Maximum of 10)"
                                 << "ChainMax=10" << messageTip;
        QTest::newRow("sentence")
                << "sentence"
                << "AAAAAA" << 10
                << "Valid inputs are A-Z,0-9,:,;,<,=,>,?,@,[Space] and ! (!=Skip this location)"
                << "Message" << messageTip;
        QTest::newRow("fonts")
                << "fonts"
                << "000000" << 10
                << "Valid inputs are 0-9,u,U and ! (U selects the User fonts and !=Skip this "
                   "location)"
                << "Fonts"
                << "Set the fonts for each digit,  length should be equal to the number of "
                   "digits.  Valid charaters are 0-9, U and !.";
        QTest::newRow("underscore")
                << "underscore"
                << "000000" << 10 << "Valid inputs are 0,1 and ! (!=Skip this location)"
                << "Underscore"
                << "Display underscore for each digit, length should be equal to the number of "
                   "digits.  Valid charaters are 0,1 and !.";
        QTest::newRow("effects") << "effects"
                                 << "000000" << 10
                                 << "Valid inputs are 0-9 and ! (!=Skip this location)"
                                 << "Effects"
                                 << "Set the transition effects for each digit, length should be "
                                    "equal to the number of digits.  Valid charaters are 0-9 "
                                    "and !.";
        QTest::newRow("speeds") << "speeds"
                                << "000000" << 10
                                << "Valid inputs are 0-9 and ! (!=Skip this location)"
                                << "Speeds"
                                << "Set the transition effect speed for each digit, length "
                                   "should be equal to the number of digits.  Valid charaters "
                                   "are 0-9 and !. (0 is fast/9 is slow)";
    }

    void fieldsStartWithTheirDefaults()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(int, typingLimit);
        QFETCH(QString, toolTip);
        QFETCH(QString, caption);
        QFETCH(QString, labelToolTip);

        FilteredLineEdit *edit = field(name);
        QVERIFY(edit);
        QCOMPARE(edit->text(), text);
        QCOMPARE(edit->typingLimit(), typingLimit);
        // The limit binds typing only; a Qt length limit would also cut the program's text.
        QCOMPARE(edit->maxLength(), 32767);
        QCOMPARE(edit->toolTip(), toolTip);
        QLabel *label = labelOf(*m_t, edit);
        QVERIFY(label);
        QCOMPARE(label->text(), caption);
        QCOMPARE(label->toolTip(), labelToolTip);
        QVERIFY(label->mapTo(&m_t->window(), QPoint()).x()
                < edit->mapTo(&m_t->window(), QPoint()).x());
        QCOMPARE(m_t->window().workbench().chainLength(), 6);
    }

    void fieldsLineUpInOneFixedPitchFont()
    {
        FilteredLineEdit *mlength = field(QStringLiteral("mlength"));
        FilteredLineEdit *first = field(kContentFields.first());
        int previousTop = mlength->mapTo(&m_t->window(), QPoint()).y();
        for (const QString &name : kContentFields) {
            FilteredLineEdit *edit = field(name);
            QCOMPARE(edit->font(), QFontDatabase::systemFont(QFontDatabase::FixedFont));
            QCOMPARE(edit->font(), first->font());
            QCOMPARE(edit->mapTo(&m_t->window(), QPoint()).x(),
                     first->mapTo(&m_t->window(), QPoint()).x());
            QCOMPARE(edit->width(), first->width());
            // Ten characters fit without scrolling.
            QVERIFY(edit->width() > edit->fontMetrics().horizontalAdvance(QString(10, 'W')));
            const int top = edit->mapTo(&m_t->window(), QPoint()).y();
            QVERIFY2(top > previousTop, qPrintable(name));
            previousTop = top;
        }
        QVERIFY(mlength->width() < first->width());

        auto *writeAll = m_t->find<QPushButton>(QStringLiteral("Command2_10"));
        QVERIFY(writeAll);
        QCOMPARE(writeAll->text(), QStringLiteral("Write all"));
        QCOMPARE(writeAll->toolTip(),
                 QStringLiteral("Send all settings below to display string.  To write any "
                                "single setting block, hit enter on that block"));
        QCOMPARE(m_t->find<QWidget>(QStringLiteral("Frame2"))->property("title").toString(),
                 QStringLiteral("Vornik Controller"));
    }

    void typingEntersOnlyAcceptedKeys_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("text");

        QTest::newRow("sentence upper-cases") << "sentence"
                                              << "hello"
                                              << "HELLO";
        QTest::newRow("sentence punctuation") << "sentence"
                                              << ":;<=>?@ !"
                                              << ":;<=>?@ !";
        QTest::newRow("sentence refuses brackets and others") << "sentence"
                                                              << "a[b]c\\d^e_f`g{h}~#$%&*+,-./\"'"
                                                              << "ABCDEFGH";
        QTest::newRow("sentence typing limit") << "sentence"
                                               << "ABCDEFGHIJKLM"
                                               << "ABCDEFGHIJ";
        QTest::newRow("fonts u becomes U") << "fonts"
                                           << "u1U!"
                                           << "U1U!";
        QTest::newRow("fonts refuses other letters") << "fonts"
                                                     << "a0bV9x"
                                                     << "09";
        QTest::newRow("underscore") << "underscore"
                                    << "0123!a"
                                    << "01!";
        QTest::newRow("effects") << "effects"
                                 << "9a8!-7u"
                                 << "98!7";
        QTest::newRow("speeds") << "speeds"
                                << "0 1.2!U"
                                << "012!";
        QTest::newRow("speeds typing limit") << "speeds"
                                             << "012345678901"
                                             << "0123456789";
        QTest::newRow("mlength 12") << "mlength"
                                    << "12"
                                    << "12";
        QTest::newRow("mlength refuses 0") << "mlength"
                                           << "0102"
                                           << "12";
        QTest::newRow("mlength two digits at most") << "mlength"
                                                    << "345"
                                                    << "34";
        QTest::newRow("mlength refuses letters") << "mlength"
                                                 << "a!7 "
                                                 << "7";
    }

    void typingEntersOnlyAcceptedKeys()
    {
        QFETCH(QString, name);
        QFETCH(QString, typed);
        QFETCH(QString, text);
        FilteredLineEdit *edit = field(name);
        QVERIFY(focusInto(edit));
        edit->clear();
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), text);
        QVERIFY(m_t->sent().isEmpty());
    }

    void editingKeys_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<QString>("text");

        QTest::newRow("Backspace in sentence")
                << "sentence" << int(Qt::Key_Backspace) << 6 << "AAAAA";
        QTest::newRow("Delete in fonts") << "fonts" << int(Qt::Key_Delete) << 0 << "00000";
        QTest::newRow("Backspace in speeds") << "speeds" << int(Qt::Key_Backspace) << 1 << "00000";
        QTest::newRow("Backspace ignored in mlength")
                << "mlength" << int(Qt::Key_Backspace) << 1 << "6";
        QTest::newRow("Delete ignored in mlength") << "mlength" << int(Qt::Key_Delete) << 0 << "6";
        QTest::newRow("0 ignored in mlength") << "mlength" << int(Qt::Key_0) << 1 << "6";
    }

    void editingKeys()
    {
        QFETCH(QString, name);
        QFETCH(int, key);
        QFETCH(int, cursor);
        QFETCH(QString, text);
        FilteredLineEdit *edit = field(name);
        QVERIFY(focusInto(edit));
        edit->setCursorPosition(cursor);
        QTest::keyClick(edit, Qt::Key(key));
        QCOMPARE(edit->text(), text);
        QVERIFY(m_t->sent().isEmpty());
    }

    void pasteEntersOnlyAcceptedCharacters_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("text");

        QTest::newRow("sentence") << "sentence"
                                  << "a[b c\r\n!é?"
                                  << "AB C!?";
        QTest::newRow("sentence typing limit") << "sentence"
                                               << "abcdefghijklmno"
                                               << "ABCDEFGHIJ";
        QTest::newRow("fonts") << "fonts"
                               << "u0 U9!a\t"
                               << "U0U9!";
        QTest::newRow("underscore") << "underscore"
                                    << "0 1 2 !"
                                    << "01!";
        QTest::newRow("effects") << "effects"
                                 << "1\r2"
                                 << "12";
        QTest::newRow("mlength") << "mlength"
                                 << "0a1b2c3"
                                 << "12";
    }

    void pasteEntersOnlyAcceptedCharacters()
    {
        QFETCH(QString, name);
        QFETCH(QString, pasted);
        QFETCH(QString, text);
        FilteredLineEdit *edit = field(name);
        QVERIFY(focusInto(edit));
        QApplication::clipboard()->setText(pasted);
        edit->selectAll();
        QTest::keySequence(edit, QKeySequence::Paste);
        QCOMPARE(edit->text(), text);
        // A CR in the pasted text is data, never an Enter.
        QVERIFY(m_t->sent().isEmpty());
    }

    void enterFitsAndSends_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("length");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QList<QByteArray>>("frames");

        QTest::newRow("fonts N=3 on 12, message not fitted")
                << "fonts"
                << "3"
                << "12"
                << "122" << QList<QByteArray>{frame("$B7F122"), frame("$B7MAAAAAA")};
        QTest::newRow("effects N=6 cuts ten digits")
                << "effects"
                << "6"
                << "1234567890"
                << "123456" << QList<QByteArray>{frame("$B7E123456"), frame("$B7MAAAAAA")};
        QTest::newRow("empty underscore becomes zeros")
                << "underscore"
                << "6"
                << ""
                << "000000" << QList<QByteArray>{frame("$B7U000000"), frame("$B7MAAAAAA")};
        QTest::newRow("speeds with no chain length")
                << "speeds"
                << ""
                << "123"
                << "" << QList<QByteArray>{frame("$B7S"), frame("$B7MAAAAAA")};
        QTest::newRow("fonts N=12 beyond the typing limit")
                << "fonts"
                << "12"
                << "U"
                << "UUUUUUUUUUUU"
                << QList<QByteArray>{frame("$B7FUUUUUUUUUUUU"), frame("$B7MAAAAAA")};
        QTest::newRow("message fitted") << "sentence"
                                        << "6"
                                        << "HI"
                                        << "HIIIII" << QList<QByteArray>{frame("$B7MHIIIII")};
        QTest::newRow("six skip markers") << "sentence"
                                          << "6"
                                          << "!!!!!!"
                                          << "!!!!!!" << QList<QByteArray>{frame("$B7M!!!!!!")};
        QTest::newRow("empty message") << "sentence"
                                       << "6"
                                       << ""
                                       << "" << QList<QByteArray>{frame("$B7M")};
        QTest::newRow("N=25 fits AB to 22")
                << "sentence"
                << "25"
                << "AB"
                << "AB" + QString(20, QLatin1Char('B'))
                << QList<QByteArray>{"$B7MAB" + QByteArray(20, 'B') + '\r'};
        QTest::newRow("mlength sends nothing") << "mlength"
                                               << "4"
                                               << "4"
                                               << "4" << QList<QByteArray>{};
    }

    void enterFitsAndSends()
    {
        QFETCH(QString, name);
        QFETCH(QString, length);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QList<QByteArray>, frames);
        FilteredLineEdit *edit = field(name);
        // The program writes the length; it is read afresh from the field at Enter.
        field(QStringLiteral("mlength"))->setText(length);
        edit->setText(before);
        QVERIFY(focusInto(edit));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(edit->text(), after);
        QCOMPARE(m_t->sent(), frames);
        QCOMPARE(m_t->pauses(), QList<int>(frames.size(), 5));
        QVERIFY(edit->hasFocus());
    }

    void enterReadsTheMessageAsItStands()
    {
        field(QStringLiteral("sentence"))->setText(QStringLiteral("hi there"));
        FilteredLineEdit *fonts = field(QStringLiteral("fonts"));
        QVERIFY(focusInto(fonts));
        QTest::keyClick(fonts, Qt::Key_Enter);
        QCOMPARE(m_t->sent(), (QList<QByteArray>{frame("$B7F000000"), frame("$B7Mhi there")}));
        QCOMPARE(field(QStringLiteral("sentence"))->text(), QStringLiteral("hi there"));
    }

    void leavingFitsWithoutSending_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("length");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");

        QTest::newRow("fonts short") << "fonts"
                                     << "6"
                                     << "U1"
                                     << "U11111";
        QTest::newRow("underscore empty") << "underscore"
                                          << "3"
                                          << ""
                                          << "000";
        QTest::newRow("effects long") << "effects"
                                      << "2"
                                      << "98765"
                                      << "98";
        QTest::newRow("speeds no length") << "speeds"
                                          << ""
                                          << "9"
                                          << "";
        QTest::newRow("message short") << "sentence"
                                       << "5"
                                       << "AB"
                                       << "ABBBB";
        QTest::newRow("message empty stays empty") << "sentence"
                                                   << "5"
                                                   << ""
                                                   << "";
    }

    void leavingFitsWithoutSending()
    {
        QFETCH(QString, name);
        QFETCH(QString, length);
        QFETCH(QString, before);
        QFETCH(QString, after);
        FilteredLineEdit *edit = field(name);
        field(QStringLiteral("mlength"))->setText(length);
        edit->setText(before);
        QVERIFY(focusInto(edit));
        QVERIFY(focusInto(m_t->find<QPushButton>(QStringLiteral("Command2_10"))));
        QCOMPARE(edit->text(), after);
        QVERIFY(m_t->sent().isEmpty());
    }

    void leavingLengthResetsEveryField_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("length");

        QTest::newRow("unchanged") << QString() << 6;
        QTest::newRow("three") << "3" << 3;
        QTest::newRow("twelve") << "12" << 12;
        QTest::newRow("emptied") << "\b" << 0;
    }

    void leavingLengthResetsEveryField()
    {
        QFETCH(QString, typed);
        QFETCH(int, length);
        for (const QString &name : kContentFields)
            field(name)->setText(QStringLiteral("1!"));
        FilteredLineEdit *mlength = field(QStringLiteral("mlength"));
        QVERIFY(focusInto(mlength));
        mlength->selectAll();
        if (typed == QLatin1String("\b"))
            mlength->clear(); // the user cannot empty it by keys; the program can
        else if (!typed.isEmpty())
            QTest::keyClicks(mlength, typed);
        // Tab moves on to the next field, as the user would leave.
        QTest::keyClick(mlength, Qt::Key_Tab);
        QVERIFY(!mlength->hasFocus());

        QCOMPARE(field(QStringLiteral("sentence"))->text(), QString(length, QLatin1Char('A')));
        for (const QString &name : kContentFields.mid(1))
            QCOMPARE(field(name)->text(), QString(length, QLatin1Char('0')));
        QCOMPARE(mlength->text(), typed == QLatin1String("\b") ? QString()
                                  : typed.isEmpty()            ? "6"
                                                               : typed);
        QVERIFY(m_t->sent().isEmpty());
    }

    void enterInLengthResets()
    {
        FilteredLineEdit *mlength = field(QStringLiteral("mlength"));
        field(QStringLiteral("effects"))->setText(QStringLiteral("9"));
        QVERIFY(focusInto(mlength));
        mlength->selectAll();
        QTest::keyClicks(mlength, QStringLiteral("2"));
        QTest::keyClick(mlength, Qt::Key_Return);
        QCOMPARE(field(QStringLiteral("sentence"))->text(), QStringLiteral("AA"));
        QCOMPARE(field(QStringLiteral("effects"))->text(), QStringLiteral("00"));
        QVERIFY(m_t->sent().isEmpty());
    }

    void typingLimitLeavesTheProgramsTextWhole()
    {
        FilteredLineEdit *mlength = field(QStringLiteral("mlength"));
        QVERIFY(focusInto(mlength));
        mlength->selectAll();
        QTest::keyClicks(mlength, QStringLiteral("12"));
        FilteredLineEdit *sentence = field(QStringLiteral("sentence"));
        QVERIFY(focusInto(sentence));
        QCOMPARE(sentence->text(), QString(12, QLatin1Char('A')));

        // Typing adds nothing to a field already past the limit, but editing still works.
        sentence->end(false);
        QTest::keyClick(sentence, Qt::Key_B);
        QCOMPARE(sentence->text(), QString(12, QLatin1Char('A')));
        QTest::keyClick(sentence, Qt::Key_Backspace);
        QTest::keyClick(sentence, Qt::Key_Backspace);
        QTest::keyClick(sentence, Qt::Key_Backspace);
        QTest::keyClick(sentence, Qt::Key_B);
        QCOMPARE(sentence->text(), QString(9, QLatin1Char('A')) + QLatin1Char('B'));

        QTest::keyClick(sentence, Qt::Key_Return);
        QCOMPARE(m_t->sent(), QList<QByteArray>{frame("$B7MAAAAAAAAABBB")});
    }

    void writeAllSendsFourCommands_data()
    {
        QTest::addColumn<QString>("fonts");
        QTest::addColumn<QString>("underscore");
        QTest::addColumn<QString>("effects");
        QTest::addColumn<QString>("speeds");
        QTest::addColumn<QString>("sentence");
        QTest::addColumn<QList<QByteArray>>("frames");

        QTest::newRow("defaults") << "000000"
                                  << "000000"
                                  << "000000"
                                  << "000000"
                                  << "AAAAAA"
                                  << QList<QByteArray>{frame("$B7F000000"), frame("$B7E000000"),
                                                       frame("$B7S000000"), frame("$B7MAAAAAA")};
        // Texts go out as they stand, neither fitted nor checked for emptiness.
        QTest::newRow("unfitted") << "U"
                                  << "1"
                                  << ""
                                  << "1234567890"
                                  << "HI"
                                  << QList<QByteArray>{frame("$B7FU"), frame("$B7E"),
                                                       frame("$B7S1234567890"), frame("$B7MHI")};
    }

    void writeAllSendsFourCommands()
    {
        QFETCH(QString, fonts);
        QFETCH(QString, underscore);
        QFETCH(QString, effects);
        QFETCH(QString, speeds);
        QFETCH(QString, sentence);
        QFETCH(QList<QByteArray>, frames);
        field(QStringLiteral("fonts"))->setText(fonts);
        field(QStringLiteral("underscore"))->setText(underscore);
        field(QStringLiteral("effects"))->setText(effects);
        field(QStringLiteral("speeds"))->setText(speeds);
        field(QStringLiteral("sentence"))->setText(sentence);

        int refreshes = 0;
        QList<int> sentBeforeRefresh;
        m_t->window().workbench().setShowsegments([&] {
            ++refreshes;
            sentBeforeRefresh.append(m_t->sent().size());
        });
        QTest::mouseClick(m_t->find<QPushButton>(QStringLiteral("Command2_10")), Qt::LeftButton);
        QCOMPARE(m_t->sent(), frames);
        QCOMPARE(m_t->pauses(), QList<int>(4, 5));
        // The segment editor is refreshed once, after the last command.
        QCOMPARE(refreshes, 1);
        QCOMPARE(sentBeforeRefresh, QList<int>{4});
    }

    void clickingWriteAllLeavesTheLengthFirst()
    {
        FilteredLineEdit *mlength = field(QStringLiteral("mlength"));
        QVERIFY(focusInto(mlength));
        mlength->selectAll();
        QTest::keyClicks(mlength, QStringLiteral("3"));
        QTest::mouseClick(m_t->find<QPushButton>(QStringLiteral("Command2_10")), Qt::LeftButton);
        QCOMPARE(m_t->sent(), (QList<QByteArray>{frame("$B7F000"), frame("$B7E000"),
                                                 frame("$B7S000"), frame("$B7MAAA")}));
    }

    void sendsGoToTheTransmitLogWithoutAPort()
    {
        // A fresh window with no port picked: the commands are still handed over and logged
        // as plain text, but nothing reaches the line.
        m_t = std::make_unique<TestWindow>();
        FilteredLineEdit *underscore = field(QStringLiteral("underscore"));
        underscore->setText(QStringLiteral("1"));
        QTest::keyClick(underscore, Qt::Key_Return);
        QVERIFY(m_t->sent().isEmpty());
        QCOMPARE(m_t->window().link().txlog(),
                 QStringLiteral("$B7U111111[cr]\r\n$B7MAAAAAA[cr]\r\n"));
    }
};

QTEST_MAIN(TestMessagePanel)
#include "tst_messagepanel.moc"
