#include "support/testsupport.h"

#include "panels/workbench.h"
#include "widgets/filteredlineedit.h"

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace {

const QStringList kContentFields
        = {QStringLiteral("sentence"), QStringLiteral("fonts"), QStringLiteral("underscore"),
           QStringLiteral("effects"), QStringLiteral("speeds")};

QByteArray frame(const QByteArray &text)
{
    return text + '\r';
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
    static bool focusInto(QWidget *widget)
    {
        widget->setFocus(Qt::TabFocusReason);
        return widget->hasFocus();
    }
    QPushButton *writeAll() const { return m_t->find<QPushButton>(QStringLiteral("Command2_10")); }

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

    // Each field has its own filter and typing limit; the filters' edges are in tst_fieldrules.
    void typingEntersOnlyAcceptedKeys_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("text");

        // clang-format off
        QTest::newRow("sentence: a enters A, [ nothing") << "sentence" << "a[b:" << "AB:";
        QTest::newRow("sentence typing limit") << "sentence" << "ABCDEFGHIJKLM" << "ABCDEFGHIJ";
        QTest::newRow("fonts: u enters U") << "fonts" << "u1a!" << "U1!";
        QTest::newRow("underscore") << "underscore" << "0123!a" << "01!";
        QTest::newRow("effects") << "effects" << "9a8!-7u" << "98!7";
        QTest::newRow("speeds") << "speeds" << "0 1.2!U" << "012!";
        QTest::newRow("sentence: Backspace edits") << "sentence" << "AB\bC" << "AC";
        QTest::newRow("mlength 12") << "mlength" << "12" << "12";
        QTest::newRow("mlength: Backspace ignored") << "mlength" << "1\b2" << "12";
        QTest::newRow("mlength 10, 0 never first") << "mlength" << "0100" << "10";
        QTest::newRow("mlength two digits at most") << "mlength" << "345" << "34";
        QTest::newRow("AltGr: @ with Ctrl+Alt held") << "sentence" << "@" << "@";
        // clang-format on
    }
    void typingEntersOnlyAcceptedKeys()
    {
        QFETCH(QString, name);
        QFETCH(QString, typed);
        QFETCH(QString, text);
        FilteredLineEdit *edit = field(name);
        QVERIFY(focusInto(edit));
        edit->clear();
        // AltGr arrives as Ctrl+Alt on Windows and with many X keyboard layouts.
        const Qt::KeyboardModifiers held = QByteArray(QTest::currentDataTag()).startsWith("AltGr")
                ? Qt::ControlModifier | Qt::AltModifier
                : Qt::NoModifier;
        QTest::keyClicks(edit, typed, held);
        QCOMPARE(edit->text(), text);
        QVERIFY(m_t->sent().isEmpty());
    }

    void pasteEntersOnlyAcceptedCharacters_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("text");

        // clang-format off
        QTest::newRow("sentence") << "sentence" << "a[b c\r\n!é?" << "AB C!?";
        QTest::newRow("sentence typing limit") << "sentence" << "abcdefghijklmno" << "ABCDEFGHIJ";
        QTest::newRow("mlength") << "mlength" << "0a1b2c3" << "12";
        // clang-format on
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

    // Enter fits the field and sends it; leaving it (Tab) fits it and sends nothing.
    void enterOrLeavingFits_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("length");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QByteArrayList>("frames"); // empty: left with Tab

        const QByteArray message = frame("$B7MAAAAAA"); // the message goes out unfitted
        const QString twentyB(20, QLatin1Char('B'));
        // clang-format off
        QTest::newRow("fonts N=3 on 12") << "fonts" << "3" << "12" << "122"
                << QByteArrayList{frame("$B7F122"), message};
        QTest::newRow("effects N=6 cuts ten digits") << "effects" << "6" << "1234567890" << "123456"
                << QByteArrayList{frame("$B7E123456"), message};
        QTest::newRow("empty underscore becomes zeros") << "underscore" << "6" << "" << "000000"
                << QByteArrayList{frame("$B7U000000"), message};
        QTest::newRow("speeds with no chain length") << "speeds" << "" << "123" << ""
                << QByteArrayList{frame("$B7S"), message};
        QTest::newRow("fonts N=12 beyond the typing limit") << "fonts" << "12" << "U"
                << "UUUUUUUUUUUU" << QByteArrayList{frame("$B7FUUUUUUUUUUUU"), message};
        QTest::newRow("message fitted") << "sentence" << "6" << "HI" << "HIIIII"
                << QByteArrayList{frame("$B7MHIIIII")};
        QTest::newRow("six skip markers") << "sentence" << "6" << "!!!!!!" << "!!!!!!"
                << QByteArrayList{frame("$B7M!!!!!!")};
        QTest::newRow("empty message") << "sentence" << "6" << "" << ""
                << QByteArrayList{frame("$B7M")};
        QTest::newRow("N=25 fits AB to 22") << "sentence" << "25" << "AB" << "AB" + twentyB
                << QByteArrayList{frame("$B7MAB" + twentyB.toLatin1())};
        QTest::newRow("leaving fonts") << "fonts" << "6" << "U1" << "U11111" << QByteArrayList{};
        QTest::newRow("leaving underscore empty") << "underscore" << "3" << "" << "000"
                << QByteArrayList{};
        QTest::newRow("leaving speeds, no length") << "speeds" << "" << "9" << ""
                << QByteArrayList{};
        QTest::newRow("leaving message empty") << "sentence" << "5" << "" << "" << QByteArrayList{};
        // clang-format on
    }
    void enterOrLeavingFits()
    {
        QFETCH(QString, name);
        QFETCH(QString, length);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QByteArrayList, frames);
        FilteredLineEdit *edit = field(name);
        // The program writes the length; it is read afresh from the field when it is needed.
        field(QStringLiteral("mlength"))->setText(length);
        edit->setText(before);
        QVERIFY(focusInto(edit));
        QTest::keyClick(edit, frames.isEmpty() ? Qt::Key_Tab : Qt::Key_Return);
        QCOMPARE(edit->hasFocus(), !frames.isEmpty());
        QCOMPARE(edit->text(), after);
        QCOMPARE(m_t->sent(), frames);
        QCOMPARE(m_t->pauses(), QList<int>(frames.size(), 5));
    }

    void lengthChangeResetsEveryField_data()
    {
        QTest::addColumn<QString>("typed"); // "-": Cut empties the field
        QTest::addColumn<bool>("byEnter");
        QTest::addColumn<int>("length"); // -1: the fields keep their texts

        QTest::newRow("clicked in and out, 6 retyped") << "6" << false << -1;
        QTest::newRow("twelve") << "12" << false << 12;
        QTest::newRow("emptied by Cut") << "-" << false << 0;
        QTest::newRow("two by Enter") << "2" << true << 2;
    }
    void lengthChangeResetsEveryField()
    {
        QFETCH(QString, typed);
        QFETCH(bool, byEnter);
        QFETCH(int, length);
        for (const QString &name : kContentFields)
            field(name)->setText(QStringLiteral("1!"));
        FilteredLineEdit *mlength = field(QStringLiteral("mlength"));
        QVERIFY(focusInto(mlength));
        mlength->selectAll();
        if (typed == QLatin1String("-"))
            QTest::keySequence(mlength, QKeySequence::Cut);
        else
            QTest::keyClicks(mlength, typed);
        QTest::keyClick(mlength, byEnter ? Qt::Key_Return : Qt::Key_Tab);

        for (const QString &name : kContentFields) {
            const QString reset(length, QLatin1Char(name == kContentFields.first() ? 'A' : '0'));
            QCOMPARE(field(name)->text(), length < 0 ? QStringLiteral("1!") : reset);
        }
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
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(sentence, Qt::Key_Backspace);
        QTest::keyClick(sentence, Qt::Key_B);
        QTest::keyClick(sentence, Qt::Key_Return);
        QCOMPARE(m_t->sent(), QByteArrayList{frame("$B7MAAAAAAAAABBB")});
    }

    void writeAllSendsFourCommands_data()
    {
        QTest::addColumn<QStringList>("texts"); // fonts, underscore, effects, speeds, sentence
        QTest::addColumn<QByteArrayList>("frames");

        QTest::newRow("defaults") << QStringList()
                                  << QByteArrayList{frame("$B7F000000"), frame("$B7E000000"),
                                                    frame("$B7S000000"), frame("$B7MAAAAAA")};
        // Texts go out as they stand, neither fitted nor checked for emptiness.
        QTest::newRow("unfitted") << QStringList{"U", "1", "", "1234567890", "HI"}
                                  << QByteArrayList{frame("$B7FU"), frame("$B7E"),
                                                    frame("$B7S1234567890"), frame("$B7MHI")};
    }
    void writeAllSendsFourCommands()
    {
        QFETCH(QStringList, texts);
        QFETCH(QByteArrayList, frames);
        const QStringList order{"fonts", "underscore", "effects", "speeds", "sentence"};
        for (int i = 0; i < texts.size(); ++i)
            field(order.at(i))->setText(texts.at(i));
        QList<int> sentBeforeRefresh;
        m_t->window().workbench().setShowsegments(
                [&] { sentBeforeRefresh.append(m_t->sent().size()); });
        QTest::mouseClick(writeAll(), Qt::LeftButton);
        QCOMPARE(m_t->sent(), frames);
        QCOMPARE(m_t->pauses(), QList<int>(4, 5));
        // The segment editor is refreshed once, after the last command.
        QCOMPARE(sentBeforeRefresh, QList<int>{4});
    }

    void clickingWriteAllLeavesTheLengthFirst()
    {
        FilteredLineEdit *mlength = field(QStringLiteral("mlength"));
        QVERIFY(focusInto(mlength));
        mlength->selectAll();
        QTest::keyClicks(mlength, QStringLiteral("3"));
        QTest::mouseClick(writeAll(), Qt::LeftButton);
        QCOMPARE(m_t->sent(), (QByteArrayList{frame("$B7F000"), frame("$B7E000"), frame("$B7S000"),
                                              frame("$B7MAAA")}));
    }
};

QTEST_MAIN(TestMessagePanel)
#include "tst_messagepanel.moc"
