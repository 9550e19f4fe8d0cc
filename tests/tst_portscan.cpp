#include "support/testsupport.h"

#include "widgets/alert.h"
#include "core/basicutilities.h"
#include "panels/portchooser.h"
#include "panels/workbench.h"
#include "serial/portscanner.h"
#include "support/recordingport.h"
#include "serial/seriallink.h"

#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <QTimer>

// Finding ports and choosing one, with recording ports in place of devices.
class TestPortScan : public QObject
{
    Q_OBJECT

    static QStringList items(TestWindow &t)
    {
        const QComboBox *list = t.find<QComboBox>(QStringLiteral("portselect"));
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts.append(list->itemText(i));
        return texts;
    }

private Q_SLOTS:
    void startupListsPortsThatOpen()
    {
        TestWindow t(false, {"ttyS0", "ttyUSB0", "ttyUSB1"});
        t.scanPort().refuseOpen(QStringLiteral("ttyUSB0"),
                                PortError{qint32(0x80040205u), QStringLiteral("busy")});
        // Extra ports come after the platform's, each once.
        t.window().portScanner().setExtraPorts({"/dev/pts/7", "ttyS0"});
        t.window().startup();
        QCOMPARE(items(t), (QStringList{"Select...", "ttyS0", "ttyUSB1", "/dev/pts/7"}));
        QComboBox *list = t.find<QComboBox>(QStringLiteral("portselect"));
        QCOMPARE(list->currentIndex(), 0);
        // Tool-tips tell what the system knows; an added device says why it is there.
        QCOMPARE(list->itemData(3, Qt::ToolTipRole).toString(),
                 QStringLiteral("Added on the command line"));
        QVERIFY(!list->itemData(2, Qt::ToolTipRole).toString().contains(QLatin1String("command")));
        QVERIFY(!t.window().link().portopen());
        QVERIFY(!t.scanPort().isOpen());
        QCOMPARE(t.scanPort().openedSettings(), QStringLiteral("9600,n,8,1"));
        QVERIFY(alertHistory().isEmpty());
        QVERIFY(!t.window().portscanform()->isVisible());
    }

    void startPortOpensAsIfPicked_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<int>("chosen");
        QTest::newRow("found by the scan")
                << "ttyUSB0" << false << QStringList{"Select...", "ttyS0", "ttyUSB0"} << 2;
        QTest::newRow("missed by the scan, added")
                << "/dev/pts/9" << false
                << QStringList{"Select...", "ttyS0", "ttyUSB0", "/dev/pts/9"} << 3;
        QTest::newRow("cannot be opened")
                << "/dev/gone" << true << QStringList{"Select...", "ttyS0", "ttyUSB0", "/dev/gone"}
                << 0;
    }
    void startPortOpensAsIfPicked()
    {
        QFETCH(QString, device);
        QFETCH(bool, refused);
        QFETCH(QStringList, list);
        QFETCH(int, chosen);
        TestWindow t(false, {"ttyS0", "ttyUSB0"});
        const PortError missing{qint32(0x80040205u), QStringLiteral("No such file or directory")};
        if (refused)
            t.port().refuseOpen(device, missing);
        t.window().portChooser().setStartPort(device);
        t.window().startup();
        QCOMPARE(items(t), list);
        QCOMPARE(t.find<QComboBox>(QStringLiteral("portselect"))->currentIndex(), chosen);
        QCOMPARE(t.window().link().portopen(), !refused);
        QCOMPARE(t.port().isOpen() ? t.port().openedName() : QString(),
                 refused ? QString() : device);
        QCOMPARE(alertHistory().size(), refused ? 1 : 0);
        if (refused)
            QCOMPARE(alertHistory().first().title, QStringLiteral("Com port open error"));
    }

    void scanWindowIsShownCentredWhileScanning()
    {
        TestWindow t(false, {"ttyS0"});
        QWidget *form = t.window().portscanform();
        QPoint offCentre(1000, 1000);
        QTimer::singleShot(0, &t.window(), [&] {
            if (form->isVisible())
                offCentre = form->geometry().center() - t.window().frameGeometry().center();
        });
        t.window().move(100, 100);
        t.window().resize(600, 400);
        t.window().startup();
        QVERIFY(offCentre.manhattanLength() <= 2);
        QCOMPARE(form->findChild<QLabel *>()->text(),
                 QStringLiteral("Scanning for serial ports, please wait..."));
    }

    void pickingOpensAndSelectOrEnterCloses()
    {
        TestWindow t(true, {"ttyUSB0", "ttyS9"});
        auto *list = t.find<QComboBox>(QStringLiteral("portselect"));
        t.scanPort().refuseOpen(QStringLiteral("ttyS9"), PortError{1, QStringLiteral("busy")});
        t.window().portChooser().select(1);
        QVERIFY(t.window().link().portopen());
        QCOMPARE(t.port().openedName(), QStringLiteral("ttyUSB0"));
        QCOMPARE(t.port().openedSettings(), QStringLiteral("9600,n,8,1"));
        t.window().portChooser().select(0);
        QVERIFY(!t.window().link().portopen());
        QVERIFY(!t.port().isOpen());
        // "Select..." with no port open does nothing.
        const int closes = t.port().closeCount();
        t.window().portChooser().select(0);
        QCOMPARE(t.port().closeCount(), closes);
        // Enter in the list closes the open port and scans again.
        t.window().portChooser().select(1);
        QTest::keyClick(list, Qt::Key_Return);
        QVERIFY(!t.window().link().portopen());
        QVERIFY(!t.port().isOpen());
        QCOMPARE(items(t), (QStringList{"Select...", "ttyUSB0"}));
        QCOMPARE(list->currentIndex(), 0);
        QCOMPARE(t.window().workbench().status(),
                 QStringLiteral("Closed ttyUSB0 to scan. Found 1 port. ttyS9 did not open: busy"));
        // Typed characters never reach the list.
        QTest::keyClicks(list, QStringLiteral("tty"));
        QCOMPARE(list->currentIndex(), 0);
    }

    void openFailureAlertsAndReturnsToSelect()
    {
        TestWindow t(true, {"ttyUSB0"});
        t.port().refuseOpen(QStringLiteral("ttyUSB0"),
                            PortError{qint32(0x80040205u), QStringLiteral("The port is busy.")});
        t.window().portChooser().select(1);
        QCOMPARE(alertHistory().size(), 1);
        const AlertRecord &alert = alertHistory().first();
        QCOMPARE(alert.title, QStringLiteral("Com port open error"));
        QCOMPARE(alert.text, QStringLiteral("The port is busy."));
        QCOMPARE(alert.number, qint32(0x80040205u));
        QCOMPARE(alert.style, AlertStyle::Warning);
        QCOMPARE(alert.fontSize, 12.0);
        QCOMPARE(t.find<QComboBox>(QStringLiteral("portselect"))->currentIndex(), 0);
        QVERIFY(!t.window().link().portopen());
    }

    void enterDuringScanIsIgnored()
    {
        TestWindow t(false, {"ttyA", "ttyB", "ttyC"});
        int nested = 0;
        // The scan yields after showing its window; a second request then must not start another.
        QTimer::singleShot(0, &t.window(), [&] {
            ++nested;
            QTest::keyClick(t.find<QComboBox>(QStringLiteral("portselect")), Qt::Key_Return);
        });
        t.window().startup();
        QCOMPARE(nested, 1);
        QCOMPARE(items(t), (QStringList{"Select...", "ttyA", "ttyB", "ttyC"}));
        QCOMPARE(t.scanPort().openCount(), 3);
    }

    void probingListsOnlyAnsweringPorts()
    {
        QuietEnvironment quiet;
        auto *port = new RecordingPort;
        QWidget owner;
        PortScanner scanner(port);
        PortScanner::setCandidateSource([] { return QStringList{"ttyS0", "ttyUSB0"}; });
        port->setWriteHook([port](const QByteArray &bytes) {
            if (bytes == "$0000\r" && port->openedName() == QLatin1String("ttyUSB0"))
                port->receive("junk!0000022600\r");
        });
        QStringList ports;
        scanner.PortScan(ports, QStringLiteral("nothing|!0000022600"), QString(), 0, 0, 10, 0, 10);
        PortScanner::setCandidateSource({});
        QCOMPARE(ports.mid(0, 3), (QStringList{"1", "ttyUSB0", ""}));
        QCOMPARE(port->openedSettings(), QStringLiteral("115200,n,8,1"));
        // The silent port was probed five times, the answering one once.
        QCOMPARE(port->writes().size(), 6);
        QCOMPARE(quiet.pauses(), QList<int>(6, 10));
    }
};

QTEST_MAIN(TestPortScan)
#include "tst_portscan.moc"
