#include "support/ptypair.h"
#include "support/testsupport.h"

#include "app/alert.h"
#include "app/basicutilities.h"
#include "serial/portchooser.h"
#include "serial/portscanner.h"
#include "serial/seriallink.h"
#include "serial/serialportcontrol.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QTimer>
#include <QTest>
#include <QThread>

#include <fcntl.h>
#include <unistd.h>

// The real serial implementation against a pseudo-terminal whose far end the test plays.
class TestSerialPty : public QObject
{
    Q_OBJECT

    // A main window whose ports are the real QSerialPort ones.
    struct RealWindow
    {
        QTemporaryDir dir;
        std::unique_ptr<MainWindow> window;
        explicit RealWindow(const QStringList &extraPorts)
        {
            resetShutdownRequest();
            setAppPathOverride(dir.path());
            setAlertResponder([](const AlertRecord &) { return true; });
            clearAlertHistory();
            PortScanner::setCandidateSource([] { return QStringList(); });
            MainWindowOptions options;
            options.extraPorts = extraPorts;
            window = std::make_unique<MainWindow>(options);
        }
        ~RealWindow()
        {
            window.reset();
            PortScanner::setCandidateSource({});
            setAlertResponder({});
            setAppPathOverride(QString());
        }
    };

private Q_SLOTS:
    void bytesOnTheWireAreTheCommandExactly()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        RealWindow w({pty.slavePath()});
        w.window->startup();
        QComboBox *list = w.window->portChooser().portselect();
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->itemText(1), pty.slavePath());
        w.window->portChooser().select(1);
        QVERIFY(w.window->link().portopen());
        setDelayScale(0);
        const QByteArray command("$B7M\n\x7f}!\r", 9);
        w.window->link().ComWrite(command, 5);
        setDelayScale(1);
        QCOMPARE(pty.readFromProgram(command.size(), 2000), command);
    }

    void pacedCommandsAreAtLeastThePauseApart()
    {
        PtyPair pty;
        SerialPortControl port;
        SerialLink link(&port);
        QVERIFY(port.OpenPort(pty.slavePath(), QStringLiteral("9600,n,8,1")));
        link.setPortOpen(true);
        // The far end notes when each command arrives, on its own thread.
        QList<qint64> arrivals;
        QElapsedTimer clock;
        clock.start();
        std::unique_ptr<QThread> reader(QThread::create([&] {
            QByteArray pending;
            while (arrivals.size() < 5) {
                pending += pty.readFromProgram(1, 20);
                while (pending.contains('\r')) {
                    pending.remove(0, pending.indexOf('\r') + 1);
                    arrivals.append(clock.nsecsElapsed());
                }
                if (clock.elapsed() > 5000)
                    break;
            }
        }));
        reader->start();
        for (int i = 0; i < 5; ++i)
            link.ComWrite("$B7MA\r", 5);
        reader->wait();
        QCOMPARE(arrivals.size(), 5);
        for (int i = 1; i < arrivals.size(); ++i) {
            const double gapMs = (arrivals.at(i) - arrivals.at(i - 1)) / 1e6;
            qInfo("gap %d: %.2f ms", i, gapMs);
            // The reading thread may see one arrival a little late on a busy machine.
            QVERIFY2(gapMs >= 45.0, qPrintable(QString::number(gapMs)));
        }
    }

    void probingScanListsOnlyAnsweringPeers()
    {
        PtyPair answering;
        PtyPair silent;
        // The answering peer replies to every probe it reads.
        QTimer responder;
        connect(&responder, &QTimer::timeout, this, [&] {
            if (answering.readAvailable().contains("$0000\r"))
                answering.writeToProgram("!0000022600\r");
            silent.readAvailable();
        });
        responder.start(5);
        setDelayScale(1);
        SerialPortControl *scanPort = new SerialPortControl;
        QWidget owner;
        PortScanner scanner(scanPort, &owner);
        PortScanner::setCandidateSource([] { return QStringList(); });
        scanner.setExtraPorts({silent.slavePath(), answering.slavePath()});
        QStringList ports;
        scanner.PortScan(ports, QStringLiteral("!0000022600"), QStringLiteral("115200,n,8,1"), 1000,
                         0, 100, 0, 100);
        PortScanner::setCandidateSource({});
        QCOMPARE(ports.size(), PortScanner::kTableSize);
        QCOMPARE(ports.at(0), QStringLiteral("1"));
        QCOMPARE(ports.at(1), answering.slavePath());
        QCOMPARE(ports.at(2), QString());
    }

    void farEndHangingUpGivesOneAlertAndClosedPort()
    {
        PtyPair pty;
        RealWindow w({pty.slavePath()});
        w.window->startup();
        w.window->portChooser().select(1);
        QVERIFY(w.window->link().portopen());
        pty.closeMaster();
        // Give the port's error a few turns of the event loop, then try to write.
        QTest::qWait(50);
        setDelayScale(0);
        w.window->link().ComWrite("$B7MA\r", 5);
        w.window->link().ComWrite("$B7MB\r", 5);
        setDelayScale(1);
        QTest::qWait(50);
        QCOMPARE(alertHistory().size(), 1);
        QVERIFY(!w.window->link().portopen());
        QCOMPARE(w.window->portChooser().portselect()->currentIndex(), 0);
    }

    void receivedBytesAppearFormatted()
    {
        PtyPair pty;
        RealWindow w({pty.slavePath()});
        w.window->startup();
        w.window->portChooser().select(1);
        pty.writeToProgram(QByteArray("ok\r\n\xe9z", 6));
        QTRY_COMPARE(w.window->link().rxlog(), QStringLiteral("ok[CR]\r\n[0A][E9]z"));
    }

    void openErrors_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint32>("number");
        QTest::newRow("missing device") << "/dev/ttyDOESNOTEXIST9" << qint32(0x80010108u);
    }

    void openErrors()
    {
        QFETCH(QString, name);
        QFETCH(qint32, number);
        RealWindow w({});
        w.window->startup();
        QComboBox *list = w.window->portChooser().portselect();
        list->addItem(name);
        w.window->portChooser().select(1);
        QCOMPARE(alertHistory().size(), 1);
        QCOMPARE(alertHistory().first().title, QStringLiteral("Com port open error"));
        QCOMPARE(alertHistory().first().number, number);
        QCOMPARE(alertHistory().first().style, 0);
        QCOMPARE(list->currentIndex(), 0);
        QVERIFY(!w.window->link().portopen());
    }
};

QTEST_MAIN(TestSerialPty)
#include "tst_serialpty.moc"
