#include "app/alert.h"
#include "app/basicutilities.h"
#include "app/errortext.h"
#include "app/showalertform.h"

#include <QApplication>
#include <QDir>
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

    void errortextTable_data()
    {
        QTest::addColumn<qint32>("number");
        QTest::addColumn<QString>("startsWith");
        QTest::addColumn<QString>("endsWith");
        QTest::newRow("6") << 6 << "A math operation has resulted" << "overflow condition.";
        QTest::newRow("70") << 70 << "A file access error occurred typical of an attempt to write to a file locked"
                            << "(such as Excel) and if so close that program.";
        QTest::newRow("71") << 71 << "A file access error occurred typical of an attempt to write to a file when the target drive"
                            << "complete and re-try the operation.";
        QTest::newRow("74") << 74 << "A file access error occured typical of an attempt to rename"
                            << "different drive letter that its current path.";
        QTest::newRow("75") << 75 << "A file access error occured typical of an attempt to write a file to a directory"
                            << "expected by this program actually exists.";
        QTest::newRow("76") << 76 << "A file access error occured typical of an attempt to write a file to a directory"
                            << "expected by this program actually exists.";
        QTest::newRow("32755") << 32755 << "The selected file is not available for access." << "access.";
        QTest::newRow("80010108") << qint32(0x80010108u) << "An attempt was made to open a serial port that does not exist."
                                  << "does not exist.";
        QTest::newRow("8000FFFF") << qint32(0x8000FFFFu)
                                  << "A serial port error occurred typical of unplugging the USB cable while the port was open.  Reconnect the cable, rescan the ports (By hitting \"Enter\" with"
                                  << "the port select list) and then re-open the desired port.";
        QTest::newRow("80040205") << qint32(0x80040205u) << "An attempt was made to open a serial port that was already open or does not exist.  If"
                                  << "reconnect the device and then rescan the ports.";
        QTest::newRow("80040206") << qint32(0x80040206u) << "An attempt was made to write to a serial port that does not exist.  If"
                                  << "reconnect the device and then rescan the ports.";
        QTest::newRow("unknown") << 12345 << "An error has occured for which no handler is available: [disk on fire]\r\n\r\n"
                                 << "Report this error so that it may be fixed.";
    }

    void errortextTable()
    {
        QFETCH(qint32, number);
        QFETCH(QString, startsWith);
        QFETCH(QString, endsWith);
        const QString text = errortext(number, QStringLiteral("disk on fire"));
        QVERIFY2(text.startsWith(startsWith), qPrintable(text));
        QVERIFY2(text.endsWith(endsWith), qPrintable(text));
    }

    void styles_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<bool>("beeped");
        QTest::addColumn<bool>("left");
        QTest::addColumn<QString>("shown");
        QTest::newRow("0") << 0 << true << false << "hello";
        QTest::newRow("1") << 1 << false << true << "hello";
        QTest::newRow("2") << 2 << true << false << "Error Code: 0x00000046\r\n\r\nhello";
        QTest::newRow("3") << 3 << true << true << "hello";
        QTest::newRow("4") << 4 << false << false << "hello";
    }

    void styles()
    {
        QFETCH(int, style);
        QFETCH(bool, beeped);
        QFETCH(bool, left);
        QFETCH(QString, shown);
        setAlertResponder([](const AlertRecord &) { return true; });
        QVERIFY(showalert(QStringLiteral("T"), QStringLiteral("hello"), 70, style, 12));
        setAlertResponder({});
        QCOMPARE(alertHistory().size(), 1);
        const AlertRecord &record = alertHistory().first();
        QCOMPARE(record.title, QStringLiteral("T"));
        QCOMPARE(record.text, shown);
        QCOMPARE(record.beeped, beeped);
        QCOMPARE(record.leftAligned, left);
    }

    void negativeNumberShownAsTwosComplement()
    {
        setAlertResponder([](const AlertRecord &) { return false; });
        QString message;
        QVERIFY(!showalert(QStringLiteral("ComWrite error"), message, qint32(0x80040206u), 2, 0));
        setAlertResponder({});
        QVERIFY(alertHistory().first().text.startsWith(QStringLiteral("Error Code: 0x80040206\r\n\r\nAn attempt was made to write")));
        QVERIFY(message.startsWith(QStringLiteral("An attempt was made to write")));
    }

    void unsupportedStyleReturnsFalseAfterFillingMessage()
    {
        QString message;
        QVERIFY(!showalert(QStringLiteral("T"), message, 70, 5, 0));
        QCOMPARE(message, errortext(70, QString()));
        QVERIFY(alertHistory().isEmpty());
    }

    void realDialogOkCancelAndKeySix_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("answer");
        QTest::newRow("OK") << "ok" << true;
        QTest::newRow("Cancel") << "cancel" << false;
        QTest::newRow("key 6 in message") << "six" << true;
        QTest::newRow("close box") << "close" << false;
        QTest::newRow("other key keeps it open, then Cancel") << "x-then-cancel" << false;
    }

    void realDialogOkCancelAndKeySix()
    {
        QFETCH(QString, how);
        QFETCH(bool, answer);
        whenShown([how](ShowAlertForm *form) {
            auto *message = form->findChild<QPlainTextEdit *>(QStringLiteral("message"));
            if (how == QLatin1String("ok"))
                form->findChild<QPushButton *>(QStringLiteral("Command1_0"))->click();
            else if (how == QLatin1String("cancel"))
                form->findChild<QPushButton *>(QStringLiteral("Command1_1"))->click();
            else if (how == QLatin1String("six"))
                QTest::keyClick(message, Qt::Key_6);
            else if (how == QLatin1String("close"))
                form->close();
            else {
                QTest::keyClick(message, Qt::Key_X);
                QVERIFY(form->isVisible());
                form->findChild<QPushButton *>(QStringLiteral("Command1_1"))->click();
            }
        });
        QCOMPARE(showalert(QStringLiteral("Real"), QStringLiteral("Body"), 0, 4, 0), answer);
        QCOMPARE(m_shownText, QStringLiteral("Body"));
        QVERIFY(!alertShown());
        QVERIFY(!QApplication::activeModalWidget());
    }

    void secondAlertWhileShownReturnsFalseAtOnce()
    {
        bool nested = true;
        int nestedHistory = 0;
        whenShown([&](ShowAlertForm *form) {
            nested = showalert(QStringLiteral("Nested"), QStringLiteral("again"), 0, 0, 0);
            nestedHistory = alertHistory().size();
            form->exitalert(0);
        });
        QVERIFY(showalert(QStringLiteral("First"), QStringLiteral("one"), 0, 0, 0));
        QVERIFY(!nested);
        QCOMPARE(nestedHistory, 1);
    }

    void fileErrorNumbers()
    {
        QCOMPARE(fileErrorNumber(QStringLiteral("/no/such/dir/a.fnt"), QFileDevice::OpenError), 76);
        QCOMPARE(fileErrorNumber(QDir::tempPath() + QStringLiteral("/x.fnt"), QFileDevice::PermissionsError), 70);
        QCOMPARE(fileErrorNumber(QDir::tempPath() + QStringLiteral("/x.fnt"), QFileDevice::WriteError), 75);
    }
};

QTEST_MAIN(TestAlert)
#include "tst_alert.moc"
