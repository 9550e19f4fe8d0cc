#include "widgets/alert.h"
#include "core/basicutilities.h"
#include "core/errortext.h"
#include "widgets/showalertform.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

// The alert dialog and the explanation texts behind the error numbers.
class TestAlert : public QObject
{
    Q_OBJECT

    // Acts on the alert once it is on screen, then lets the test read what it showed.
    void whenShown(std::function<void(ShowAlertForm *)> action)
    {
        QTimer::singleShot(0, this, [this, action] {
            auto *form = qobject_cast<ShowAlertForm *>(QApplication::activeModalWidget());
            if (!form) {
                whenShown(action);
                return;
            }
            m_shownText = form->messageText();
            action(form);
        });
    }
    QString m_shownText;

private Q_SLOTS:
    void initTestCase() { InitConstants(); }
    void init()
    {
        clearAlertHistory();
        m_shownText.clear();
    }
    void cleanup() { setAlertResponder({}); }

    void styles_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<qint32>("number");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("beeped");
        QTest::addColumn<bool>("left");
        QTest::addColumn<QString>("shown");
        const QString text70 = errortext(70, QString());
        QVERIFY(text70.startsWith("A file access error occurred typical of an attempt to write"));
        // clang-format off
        QTest::newRow("0") << 0 << 70 << "hello" << true << false << "hello";
        QTest::newRow("1") << 1 << 70 << "hello" << false << true << "hello";
        QTest::newRow("2") << 2 << 70 << "hello" << true << false
                << "Error Code: 0x00000046\r\n\r\nhello";
        QTest::newRow("2, no message: the number's text")
                << 2 << 70 << "" << true << false << "Error Code: 0x00000046\r\n\r\n" + text70;
        QTest::newRow("2, negative number in two's complement") << 2 << qint32(0x80040206u) << ""
                << true << false << "Error Code: 0x80040206\r\n\r\nAn attempt was made to write";
        QTest::newRow("2, unknown number: the description in the fallback") << 2 << 12345 << ""
                << true << false << "Error Code: 0x00003039\r\n\r\nAn error has occured for which "
                   "no handler is available: [disk on fire]\r\n\r\nReport this error so that it "
                   "may be fixed.";
        QTest::newRow("3") << 3 << 70 << "hello" << true << true << "hello";
        QTest::newRow("4") << 4 << 70 << "hello" << false << false << "hello";
        // clang-format on
    }
    void styles()
    {
        QFETCH(int, style);
        QFETCH(qint32, number);
        QFETCH(QString, message);
        QFETCH(bool, beeped);
        QFETCH(bool, left);
        QFETCH(QString, shown);
        setAlertResponder([](const AlertRecord &) { return true; });
        QVERIFY(showalert(QStringLiteral("T"), message, number, static_cast<AlertStyle>(style), 12, "disk on fire"));
        QCOMPARE(alertHistory().size(), 1);
        const AlertRecord &record = alertHistory().first();
        QCOMPARE(record.title, QStringLiteral("T"));
        QVERIFY2(record.text.startsWith(shown), qPrintable(record.text));
        QCOMPARE(record.beeped, beeped);
        QCOMPARE(record.leftAligned, left);
        // The caller's empty message is replaced by the explanation.
        QCOMPARE(message.isEmpty(), false);
    }

    void realDialogAnswers_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("answer");
        QTest::newRow("OK") << "ok" << true;
        QTest::newRow("Cancel") << "cancel" << false;
        QTest::newRow("key 6 in message") << "six" << true;
        QTest::newRow("close box") << "close" << false;
        QTest::newRow("other key keeps it open, then Cancel") << "x-then-cancel" << false;
    }
    void realDialogAnswers()
    {
        QFETCH(QString, how);
        QFETCH(bool, answer);
        whenShown([how](ShowAlertForm *form) {
            auto *message = form->findChild<QPlainTextEdit *>(QStringLiteral("message"));
            auto *ok = form->findChild<QPushButton *>(QStringLiteral("Command1_0"));
            auto *cancel = form->findChild<QPushButton *>(QStringLiteral("Command1_1"));
            if (how == QLatin1String("ok")) {
                ok->click();
            } else if (how == QLatin1String("cancel")) {
                cancel->click();
            } else if (how == QLatin1String("six")) {
                QTest::keyClick(message, Qt::Key_6);
            } else if (how == QLatin1String("close")) {
                form->close();
            } else {
                QTest::keyClick(message, Qt::Key_X);
                QVERIFY(form->isVisible());
                cancel->click();
            }
        });
        QCOMPARE(showalert(QStringLiteral("Real"), QStringLiteral("Body"), 0, AlertStyle::Quiet, 0), answer);
        QCOMPARE(m_shownText, QStringLiteral("Body"));
        QVERIFY(!alertShown());
        QVERIFY(!QApplication::activeModalWidget());
    }

    void secondAlertWhileShownReturnsFalseAtOnce()
    {
        bool nested = true;
        int nestedHistory = 0;
        whenShown([&](ShowAlertForm *form) {
            nested = showalert(QStringLiteral("Nested"), QStringLiteral("again"), 0, AlertStyle::Warning, 0);
            nestedHistory = alertHistory().size();
            form->exitalert(0);
        });
        QVERIFY(showalert(QStringLiteral("First"), QStringLiteral("one"), 0, AlertStyle::Warning, 0));
        QVERIFY(!nested);
        QCOMPARE(nestedHistory, 1);
    }
};

QTEST_MAIN(TestAlert)
#include "tst_alert.moc"
