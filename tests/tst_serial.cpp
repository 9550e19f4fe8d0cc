#include "support/ptypair.h"
#include "support/quietenvironment.h"
#include "support/recordingport.h"
#include "support/testhelpers.h"

#include "core/basicutilities.h"
#include "protocol/chainprotocol.h"
#include "serial/portscanner.h"
#include "serial/seriallink.h"
#include "serial/serialportcontrol.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

// The line: what ComWrite puts on it and when it refuses to, failures, the scan and the real
// port against a pseudo-terminal.
class TestSerial : public QObject
{
    Q_OBJECT

    std::unique_ptr<QuietEnvironment> m_quiet;
    std::unique_ptr<RecordingPort> m_port;
    std::unique_ptr<SerialLink> m_link;
    QStringList m_logged;
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
        connect(m_link.get(), &SerialLink::commandLogged, this,
                [this](const QString &text) { m_logged.append(text); });
        connect(m_link.get(), &SerialLink::writeFailed, this,
                [this](const PortError &error) { m_failures.append(error); });
    }
    void cleanup()
    {
        m_link.reset();
        m_port.reset();
        m_quiet.reset();
    }

    // Nothing reaches the line once the port is closed, the program is closing (whenever that
    // happens during ComWrite's waits) or the line failed; without a port a command is still
    // logged. A failure is reported once and closes the port.
    void nothingIsSentOnceClosed_data()
    {
        QTest::addColumn<QString>("when");
        QTest::addColumn<bool>("shutdown");
        QTest::addColumn<int>("logged"); // of the two commands
        QTest::addColumn<int>("failures");
        QTest::newRow("no port") << "before" << false << 2 << 0;
        QTest::newRow("shutdown before") << "before" << true << 0 << 0;
        QTest::newRow("port closed in the first yield") << "first" << false << 2 << 0;
        QTest::newRow("shutdown in the first yield") << "first" << true << 0 << 0;
        QTest::newRow("port closed in the second yield") << "second" << false << 2 << 0;
        QTest::newRow("shutdown in the second yield") << "second" << true << 1 << 0;
        QTest::newRow("write fails") << "write fails" << false << 2 << 1;
        QTest::newRow("device lost while open") << "device lost" << false << 2 << 1;
    }
    void nothingIsSentOnceClosed()
    {
        QFETCH(QString, when);
        QFETCH(bool, shutdown);
        QFETCH(int, logged);
        QFETCH(int, failures);
        const PortError error{qint32(0x80040206u), QStringLiteral("gone")};
        int deselects = 0;
        connect(m_link.get(), &SerialLink::deselectRequested, this, [&] { ++deselects; });
        const auto close = [&] { shutdown ? requestShutdown() : m_link->setPortOpen(false); };
        if (when == QLatin1String("before"))
            close();
        else if (when == QLatin1String("first"))
            QTimer::singleShot(0, this, close);
        else if (when == QLatin1String("second"))
            connect(m_link.get(), &SerialLink::aboutToWrite, this,
                    [&] { QTimer::singleShot(0, this, close); });
        else if (when == QLatin1String("write fails"))
            m_port->failWrites(error);
        else
            m_port->loseDevice(error);
        m_link->ComWrite("$B7MA\r", 5);
        m_link->ComWrite("$B7MB\r", 5);
        QVERIFY(m_port->writes().isEmpty() && m_quiet->pauses().isEmpty());
        QCOMPARE(m_logged.size(), logged);
        QCOMPARE(m_failures.size(), failures);
        QCOMPARE(deselects, failures);
        QCOMPARE(m_failures.value(0).number, failures ? error.number : 0);
        QVERIFY(failures == 0 || (!m_link->portopen() && !m_port->isOpen()));
    }

    // A refused device gets advice that fits its owner, group and mode: a group to join only
    // when that group may read and write and is not root's. Running as root, the same device
    // is also made on disk and judged through the open error.
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
        QTest::newRow("the group may only read") << "root" << "dialout" << 0640u << ownerOnly;
        QTest::newRow("a group without a name") << "root" << "" << 0660u << ownerOnly;
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
        if (geteuid() != 0)
            return;
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("ttyUSB9")));
        QVERIFY(writeFile(QFile::decodeName(path), QByteArray()));
        const struct group *named = getgrnam(group.toLatin1().constData());
        const gid_t gid = named ? named->gr_gid : 54321;
        QVERIFY(group.isEmpty() ? !getgrgid(gid) : named != nullptr);
        QCOMPARE(::chown(path.constData(), getpwnam(owner.toLatin1().constData())->pw_uid, gid), 0);
        QCOMPARE(::chmod(path.constData(), mode), 0);
        QVERIFY(SerialPortControl::openError(QSerialPort::PermissionError, QFile::decodeName(path),
                                             QString())
                        .description.endsWith(given));
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

    // Every byte of a command, code 10 and 127 included, is on the line when its pause begins;
    // the transmit log shows the frame's CR as [cr] and a control inside as it is; what the far
    // end sends arrives.
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
                [&](const QString &text) { logged.append(text); });
        for (const int pause : {5, 5, 10})
            link.ComWrite(command, pause);
        QCOMPARE(arrived, QByteArrayList(3, command));
        QCOMPARE(pauses, (QList<int>{5, 5, 10}));
        QCOMPARE(logged, QStringList(3, QStringLiteral("$B7M\n\x7f}![cr]")));
        QByteArray received;
        connect(&link, &SerialLink::received, this,
                [&](const QByteArray &bytes) { received += bytes; });
        QCOMPARE(::write(pty.masterFd(), "ok\r\n\xe9z", 6), ssize_t(6));
        QTRY_COMPARE(received, QByteArray("ok\r\n\xe9z", 6));
        // The far end hangs up: the next write fails once and closes the port.
        int failures = 0;
        connect(&link, &SerialLink::writeFailed, this, [&] { ++failures; });
        pty.closeMaster();
        for (int i = 0; i < 3; ++i)
            link.ComWrite(command, 5);
        QCOMPARE(failures, 1);
        QVERIFY(!link.portopen());
        QVERIFY(!real.OpenPort(QStringLiteral("/dev/ttyDOESNOTEXIST9"), Protocol::lineSettings()));
        QCOMPARE(real.lastError().number, qint32(0x80010108u));
    }
};

QTEST_MAIN(TestSerial)
#include "tst_serial.moc"
