#include "support/ptypair.h"
#include "support/testsupport.h"
#include "widgets/trafficlog.h"

#include "widgets/alert.h"
#include "core/basicutilities.h"
#include "panels/portchooser.h"
#include "serial/portscanner.h"
#include "serial/seriallink.h"

#include <QComboBox>
#include <QTest>

// The real serial implementation against a pseudo-terminal whose far end the test plays.
class TestSerialPty : public QObject
{
    Q_OBJECT

    // A main window whose ports are the real QSerialPort ones, its start-up run; the port at
    // list index `open` is picked when it is above 0.
    struct RealWindow
    {
        QTemporaryDir dir;
        std::unique_ptr<MainWindow> window;
        explicit RealWindow(const QStringList &extraPorts, int open = 1)
        {
            resetShutdownRequest();
            setAppPathOverride(dir.path());
            setAlertResponder([](const AlertRecord &) { return true; });
            clearAlertHistory();
            PortScanner::setCandidateSource([] { return QStringList(); });
            MainWindowOptions options;
            options.extraPorts = extraPorts;
            window = std::make_unique<MainWindow>(options);
            window->startup();
            if (open > 0)
                window->portChooser().select(open);
        }
        ~RealWindow()
        {
            window.reset();
            PortScanner::setCandidateSource({});
            setAlertResponder({});
            setDelayObserver({});
            setDelayScale(1);
            setAppPathOverride(QString());
        }
        SerialLink &link() { return window->link(); }
    };

private Q_SLOTS:
    // Every byte of a command, code 10 and 127 included, is on the line when its pause begins.
    void eachCommandLeavesBeforeItsPause()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        RealWindow w({pty.slavePath()});
        QCOMPARE(w.window->portChooser().portselect()->itemText(1), pty.slavePath());
        QVERIFY(w.link().portopen());
        const QByteArray command("$B7M\n\x7f}!\r", 9);
        QByteArrayList arrived;
        setDelayScale(0);
        setDelayObserver([&](int) { arrived.append(pty.readFromProgram(command.size(), 2000)); });
        for (int i = 0; i < 3; ++i)
            w.link().ComWrite(command, 5);
        setDelayObserver({});
        QCOMPARE(arrived, QByteArrayList(3, command));
    }

    void receivedBytesAppearFormatted()
    {
        PtyPair pty;
        RealWindow w({pty.slavePath()});
        pty.writeToProgram(QByteArray("ok\r\n\xe9z", 6));
        QTRY_COMPARE(w.window->trafficLog().rxlog(), QStringLiteral("ok[CR]\r\n[0A][E9]z"));
    }

    void missingDeviceAlertsAndReturnsToSelect()
    {
        RealWindow w({}, 0);
        QComboBox *list = w.window->portChooser().portselect();
        list->addItem(QStringLiteral("/dev/ttyDOESNOTEXIST9"));
        w.window->portChooser().select(1);
        QCOMPARE(alertHistory().size(), 1);
        QCOMPARE(alertHistory().first().title, QStringLiteral("Com port open error"));
        QCOMPARE(alertHistory().first().number, qint32(0x80010108u));
        QCOMPARE(list->currentIndex(), 0);
        QVERIFY(!w.link().portopen());
    }
};

QTEST_MAIN(TestSerialPty)
#include "tst_serialpty.moc"
