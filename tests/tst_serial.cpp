#include "support/ptypair.h"
#include "support/quietenvironment.h"
#include "support/recordingport.h"
#include "support/testhelpers.h"

#include "core/basicutilities.h"
#include "protocol/chainprotocol.h"
#include "serial/deviceidentity.h"
#include "serial/portlist.h"
#include "serial/portlock.h"
#include "serial/portscanner.h"
#include "serial/seriallink.h"
#include "serial/serialportcontrol.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <unistd.h>

// The line: what ComWrite puts on it and when it refuses to, failures, the scan and the real
// port against a pseudo-terminal.
class TestSerial : public QObject
{
    Q_OBJECT

    std::unique_ptr<QuietEnvironment> m_quiet;
    std::unique_ptr<RecordingPort> m_port;
    std::unique_ptr<SerialLink> m_link;
    QStringList m_logged; // each command's log text, with " / " and why when it did not go out
    QList<PortError> m_failures;

private Q_SLOTS:
    void init()
    {
        m_quiet = std::make_unique<QuietEnvironment>();
        m_port = std::make_unique<RecordingPort>();
        m_link = std::make_unique<SerialLink>(m_port.get());
        m_port->OpenPort(QStringLiteral("ttyT"), Protocol::lineSettings());
        m_link->setPortOpen(true);
        m_logged.clear();
        m_failures.clear();
        connect(m_link.get(), &SerialLink::commandLogged, this, [this](const LoggedCommand &c) {
            m_logged.append(c.notSent.isEmpty() ? c.text : c.text + " / " + c.notSent);
        });
        connect(m_link.get(), &SerialLink::writeFailed, this,
                [this](const PortError &error) { m_failures.append(error); });
    }
    void cleanup()
    {
        m_link.reset();
        m_port.reset();
        m_quiet.reset();
    }

    // Nothing reaches the line once the port is closed, fails or the program is closing,
    // whenever that happens during ComWrite's waits. Without a port a command is still logged,
    // as not sent; a failure is logged with its command, reported once and closes the port.
    void nothingIsSentOnceClosed_data()
    {
        QTest::addColumn<QString>("when");
        QTest::addColumn<QString>("fault"); // shutdown, closed, write fails, device lost
        QTest::addColumn<QStringList>("logged");
        const QStringList noPort{"$B7MA[cr] / no port", "$B7MB[cr] / no port"};
        // clang-format off
        QTest::newRow("no port") << "before" << "closed" << noPort;
        QTest::newRow("shutdown before") << "before" << "shutdown" << QStringList();
        QTest::newRow("port closed in the first yield") << "first" << "closed" << noPort;
        QTest::newRow("shutdown in the first yield") << "first" << "shutdown" << QStringList();
        QTest::newRow("port closed in the second yield") << "second" << "closed" << noPort;
        QTest::newRow("shutdown in the second yield") << "second" << "shutdown" << QStringList{"$B7MA[cr] / closing"};
        QTest::newRow("write fails") << "before" << "write fails" << QStringList{"$B7MA[cr] / gone", "$B7MB[cr] / no port"};
        QTest::newRow("device lost while open") << "before" << "device lost" << noPort;
        // clang-format on
    }
    void nothingIsSentOnceClosed()
    {
        QFETCH(QString, when);
        QFETCH(QString, fault);
        const PortError error{qint32(0x80040206u), QStringLiteral("gone")};
        int deselects = 0;
        connect(m_link.get(), &SerialLink::deselectRequested, this, [&] { ++deselects; });
        const auto close = [&] {
            if (fault == QLatin1String("shutdown"))
                requestShutdown();
            else if (fault == QLatin1String("closed"))
                m_link->setPortOpen(false);
            else if (fault == QLatin1String("write fails"))
                m_port->failWrites(error);
            else // lost twice, reported once
                m_port->loseDevice(error), m_port->loseDevice(error);
        };
        if (when == QLatin1String("before"))
            close();
        else if (when == QLatin1String("first"))
            QTimer::singleShot(0, this, close);
        else
            connect(m_link.get(), &SerialLink::aboutToWrite, this,
                    [&] { QTimer::singleShot(0, this, close); });
        m_link->ComWrite("$B7MA\r", 5);
        m_link->ComWrite("$B7MB\r", 5);
        QVERIFY(m_port->writes().isEmpty());
        QVERIFY(m_quiet->pauses().isEmpty());
        QTEST(m_logged, "logged");
        const int failures = fault.contains(QLatin1Char(' ')) ? 1 : 0;
        QCOMPARE(m_failures.size(), failures);
        QCOMPARE(deselects, failures);
        if (failures) {
            QCOMPARE(m_failures.first().number, error.number);
            QVERIFY(!m_link->portopen() && !m_port->isOpen());
        }
    }

    // A refused device gets advice that fits its owner, group and mode: a group to join only
    // when that group may read and write and is not root's.
    void accessAdvice_data()
    {
        QTest::addColumn<QString>("owner");
        QTest::addColumn<QString>("group");
        QTest::addColumn<uint>("mode");
        QTest::addColumn<QString>("advice"); // a part of it; "usermod" only where given
        const QString ownerOnly = QStringLiteral("allows only its owner (\"root\")");
        // clang-format off
        QTest::newRow("dialout may read and write") << "root" << "dialout" << 0660u << "sudo usermod -aG dialout $USER";
        QTest::newRow("root's group") << "root" << "root" << 0660u << ownerOnly;
        QTest::newRow("owner only") << "root" << "dialout" << 0600u << ownerOnly;
        QTest::newRow("open to everyone") << "root" << "root" << 0666u << "most likely in use";
        // clang-format on
    }
    void accessAdvice()
    {
        QFETCH(QString, owner);
        QFETCH(QString, group);
        QFETCH(uint, mode);
        QFETCH(QString, advice);
        const QString given = SerialPortControl::accessAdvice(owner, group, mode);
        QVERIFY2(given.contains(advice), qPrintable(given));
        QCOMPARE(given.contains(QLatin1String("usermod")),
                 advice.contains(QLatin1String("usermod")));
    }

    // Without a name only a USB serial or ACM adapter with its ids is picked, and never a
    // console; an empty name is refused. A port is "device ids console".
    void portChoice_data()
    {
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("named"); // "-" for none
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("said"); // a part of the refusal, or the note
        const QString adapter = QStringLiteral("/dev/ttyUSB0 0403:6001 -");
        // clang-format off
        QTest::newRow("the one adapter") << QStringList{"/dev/ttyS0 - -", adapter} << "-" << "/dev/ttyUSB0" << "using /dev/ttyUSB0";
        QTest::newRow("a console is never picked") << QStringList{"/dev/ttyUSB0 0403:6001 console"} << "-" << "" << "never picked by itself:\n  /dev/ttyUSB0 (console)";
        QTest::newRow("a built-in port alone") << QStringList{"/dev/ttyS0 - -"} << "-" << "" << "no serial adapter";
        QTest::newRow("USB without ids") << QStringList{"/dev/ttyUSB1 - -"} << "-" << "" << "no serial adapter";
        QTest::newRow("two adapters") << QStringList{adapter, "/dev/ttyACM0 2341:0043 -"} << "-" << "" << "several serial adapters";
        QTest::newRow("a name wins") << QStringList{adapter} << "/dev/ttyS0" << "/dev/ttyS0" << "";
        QTest::newRow("an empty name") << QStringList{adapter} << "" << "" << "is empty";
        // clang-format on
    }
    void portChoice()
    {
        QFETCH(QStringList, listed);
        QFETCH(QString, named);
        QFETCH(QString, said);
        QList<ListedPort> ports;
        for (const QString &port : listed) {
            const QStringList word = port.split(' ');
            const QString ids = word[1] == "-" ? QString() : word[1];
            ports.append({word[0], {}, {}, {}, ids, word[2] == "console"});
        }
        const auto choice = PortList::choose(
                named == "-" ? std::nullopt : std::optional<QString>(named), ports);
        QTEST(choice.device, "device");
        QVERIFY2((choice.refusal + choice.note).contains(said), qPrintable(choice.refusal));
        QCOMPARE(choice.emptyName, named.isEmpty());
    }

    // The kernel's consoles from its files and a port's listing as JSON.
    void consolesAndJson()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("consoles"),
                          "ttyS0    -W- (EC p a)    4:64\ntty0 -WU (E p) 4:1\n"));
        QVERIFY(writeFile(dir.filePath("cmdline"),
                          "quiet console=ttyUSB1,115200n8 xconsole=ttyS3 console=tty0\n"));
        QCOMPARE(PortList::consoles(dir.path()),
                 (QStringList{"/dev/ttyS0", "/dev/tty0", "/dev/ttyUSB1"}));
        const QByteArray json
                = PortList::json({{"/dev/ttyUSB0", "FT232R", "FTDI", "A1", "0403:6001", false},
                                  {"/dev/ttyS0", "", "", "", "", true}});
        // clang-format off
        QCOMPARE(json, R"([{"console":false,"description":"FT232R","device":"/dev/ttyUSB0","manufacturer":"FTDI","productId":"6001","serialNumber":"A1","vendorId":"0403"},)"
                       R"({"console":true,"description":"","device":"/dev/ttyS0","manufacturer":"","productId":null,"serialNumber":"","vendorId":null}])" "\n");
        // clang-format on
    }

    // Lock files in every format in use name their live holder, and nothing once it is gone.
    void lockFiles_data()
    {
        QTest::addColumn<QByteArray>("content"); // %1 stands for a pid
        QTest::addColumn<bool>("alive");         // the pid is this process's, else a gone one's
        QTest::addColumn<QString>("name");       // the holder named; empty for none
        const QString self = QStringLiteral("tst_serial");
        QTest::newRow("a terminal program's ten-character pid")
                << QByteArray("%1\n") << true << self;
        QTest::newRow("Qt's pid, program and host")
                << QByteArray("%1\nminicom\nhost\n") << true << "minicom";
        QTest::newRow("an old binary pid") << QByteArray("binary") << true << self;
        QTest::newRow("a process that is gone") << QByteArray("%1\n") << false << QString();
        QTest::newRow("no pid at all") << QByteArray("busy\n") << true << QString();
    }
    void lockFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, alive);
        const qint64 pid = alive ? QCoreApplication::applicationPid() : 2147483646;
        if (content == "binary") {
            const qint32 binary = static_cast<qint32>(pid);
            content = QByteArray(reinterpret_cast<const char *>(&binary), sizeof binary);
        }
        content.replace("%1", QByteArray::number(pid).rightJustified(10, ' '));
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("LCK..pts_7"), content));
        const auto owner = PortLock::holder("/dev/pts/7", {dir.filePath("none"), dir.path()});
        QTEST(owner ? owner->name : QString(), "name");
        QCOMPARE(owner ? owner->pid : 0, owner ? pid : 0);
        // Judging a lock never removes it.
        QVERIFY(QFile::exists(dir.filePath("LCK..pts_7")));
    }
    // The scan opens each candidate with the scan settings, probes it up to five times and
    // lists only those that answer, closing every one.
    void probingListsOnlyAnsweringPorts()
    {
        auto *port = new RecordingPort;
        PortScanner scanner(port);
        PortScanner::setCandidateSource([] { return QStringList{"ttyS0", "ttyUSB0"}; });
        QStringList opened;
        port->setWriteHook([port, &opened](const QByteArray &bytes) {
            opened.append(port->openedName());
            if (bytes == QByteArray(Protocol::kProbe) + '\r' && port->openedName() == "ttyUSB0")
                port->receive(QByteArray("junk") + Protocol::kProbeReply + '\r');
        });
        QStringList ports;
        scanner.PortScan(ports,
                         QStringLiteral("nothing|") + QString::fromLatin1(Protocol::kProbeReply),
                         QString(), 0, 0, 10, 0, 10);
        PortScanner::setCandidateSource({});
        QCOMPARE(ports.mid(0, 2), (QStringList{"1", "ttyUSB0"}));
        QCOMPARE(port->openedSettings(), QStringLiteral("115200,n,8,1"));
        QCOMPARE(opened, (QStringList(5, "ttyS0") << "ttyUSB0"));
        QCOMPARE(m_quiet->pauses(), QList<int>(6, 10));
        QVERIFY(!port->isOpen());
    }

    // Which device a path leads to: an adapter by its USB ids and serial number wherever the
    // system puts it, else by its by-id name, else by its device number.
    void sameDevice_data()
    {
        QTest::addColumn<QStringList>("first"); // device number, USB ids and serial, by-id name
        QTest::addColumn<QStringList>("second");
        QTest::addColumn<bool>("same");
        const QStringList adapter{"300", "0403:6001 A1", "usb-FTDI_A1-port0"};
        // clang-format off
        QTest::newRow("adapter plugged in again as another number") << adapter << QStringList{"301", "0403:6001 A1", "usb-FTDI_A1-port0"} << true;
        QTest::newRow("another adapter given the same number") << adapter << QStringList{"300", "0403:6001 B2", "usb-FTDI_B2-port0"} << false;
        QTest::newRow("the adapter's number, its ids not read") << adapter << QStringList{"300"} << false;
        // clang-format on
    }
    void sameDevice()
    {
        QFETCH(QStringList, first);
        QFETCH(QStringList, second);
        QFETCH(bool, same);
        const auto identity = [](const QStringList &parts) {
            return DeviceIdentity(parts.at(0).toULongLong(), parts.value(1), parts.value(2));
        };
        QCOMPARE(identity(first).sameDevice(identity(second)), same);
        QCOMPARE(identity(second).sameDevice(identity(first)), same);
    }

    // Read from the system without opening the device: links followed, by-id names found.
    void identityOfAPath()
    {
        PtyPair one;
        QTemporaryDir dir;
        QVERIFY(one.isValid() && dir.isValid() && QDir(dir.path()).mkdir("by-id"));
        QVERIFY(QFile::link(one.slavePath(), dir.filePath("ttyUSB0")));
        QVERIFY(QFile::link(one.slavePath(), dir.filePath("by-id/usb-Chain_A1-port0")));
        // Another device at a path is tst_vornikd_reopen's.
        const auto first = DeviceIdentity::of(one.slavePath());
        QVERIFY(first && DeviceIdentity::of(dir.filePath("ttyUSB0"))->sameDevice(*first));
        QVERIFY(!DeviceIdentity::of(dir.filePath("ttyUSB1")));
        QVERIFY2(QRegularExpression("^device \\d+:\\d+, made \\d\\d:\\d\\d:\\d\\d\\.\\d{3}$")
                         .match(first->text())
                         .hasMatch(),
                 qPrintable(first->text()));
        QCOMPARE(DeviceIdentity::of(dir.filePath("ttyUSB0"), dir.filePath("by-id"))->text(),
                 "usb-Chain_A1-port0");
    }

    // Every byte of a command, code 10 and 127 included, is on the line when its pause begins;
    // the transmit log shows the frame's CR as [cr] and the controls inside as tokens; what the
    // far end sends arrives; nothing is lost while the far end does not read.
    void realPortAgainstAPseudoTerminal()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        SerialPortControl real;
        SerialLink link(&real);
        QVERIFY(real.OpenPort(pty.slavePath(), Protocol::lineSettings()));
        link.setPortOpen(true);
        const QByteArray command("$B7M\n\x7f}!\r", 9);
        QByteArrayList arrived;
        QList<int> pauses;
        setDelayObserver([&](int pause) {
            pauses.append(pause);
            arrived.append(pty.readFromProgram(command.size(), 2000));
        });
        QStringList logged;
        connect(&link, &SerialLink::commandLogged, this,
                [&](const LoggedCommand &logs) { logged.append(logs.text); });
        for (const int pause : {5, 5, 10})
            link.ComWrite(command, pause);
        QCOMPARE(arrived, QByteArrayList(3, command));
        QCOMPARE(pauses, (QList<int>{5, 5, 10}));
        QCOMPARE(logged, QStringList(3, QStringLiteral("$B7M[0A][7F]}![cr]")));
        QByteArray received;
        connect(&link, &SerialLink::received, this,
                [&](const QByteArray &bytes) { received += bytes; });
        QCOMPARE(::write(pty.masterFd(), "ok\r\n\xe9z", 6), ssize_t(6));
        QTRY_COMPARE(received, QByteArray("ok\r\n\xe9z", 6));
        // A far end that stops reading fills the device's buffer: the write that finds it full
        // (one byte at a time, it takes nothing) fails and closes the port, losing nothing unsaid.
        int failures = 0;
        connect(&link, &SerialLink::writeFailed, this, [&] { ++failures; });
        int written = 0;
        while (link.portopen() && written < 400000) {
            link.ComWrite("U", 0);
            ++written;
        }
        QCOMPARE(failures, 1);
        const QByteArray flooded = pty.readAvailable();
        QVERIFY(flooded.size() > 1000);
        QCOMPARE(flooded, QByteArray(written - 1, 'U'));
        QVERIFY(!real.OpenPort(QStringLiteral("/dev/ttyDOESNOTEXIST9"), Protocol::lineSettings()));
        QCOMPARE(real.lastError().number, qint32(0x80010108u));
    }
};

QTEST_MAIN(TestSerial)
#include "tst_serial.moc"
