#include "core/linereader.h"
#include "support/ptypair.h"
#include "support/testsupport.h"

#include "widgets/alert.h"
#include "core/basicutilities.h"
#include "core/errortext.h"
#include "widgets/filedialogs.h"
#include "app/settingsfile.h"
#include "panels/workbench.h"
#include "font/fontfile.h"
#include "font/fonttable.h"
#include "panels/modespanel.h"
#include "panels/segmenttestpanel.h"
#include "panels/portchooser.h"
#include "serial/portscanner.h"
#include "support/recordingport.h"
#include "serial/seriallink.h"
#include "serial/serialportcontrol.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <optional>

#include <grp.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

// Faults from outside the program, injected for real: a serial line whose far end hangs up,
// files and folders the program may not write, settings and pointer files that are no such
// thing, and the window closed in the middle of every long activity.
namespace {

// An unprivileged account (nobody), under which permission bits stop writes for real.
constexpr uid_t kNobody = 65534;

QByteArray read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Bytes that look like nothing: a fixed pseudo-random sequence.
QByteArray binary(qsizetype size, bool withLineEnds)
{
    QByteArray bytes(size, '\0');
    quint32 state = 12345;
    for (qsizetype i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        char byte = static_cast<char>(state >> 24);
        if (!withLineEnds && (byte == '\n' || byte == '\r'))
            byte = '\x7f';
        bytes[i] = byte;
    }
    return bytes;
}

double processCpuSeconds()
{
    timespec now = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Runs the process as an ordinary user (nobody) while it lives, when the tests run as root.
class Unprivileged
{
public:
    // Permission bits then refuse writes as they do for every user; ownPaths are handed to
    // that user first.
    explicit Unprivileged(const QStringList &ownPaths)
    {
        if (geteuid() != 0)
            return;
        for (const QString &path : ownPaths)
            m_ok = m_ok && ::chown(QFile::encodeName(path).constData(), kNobody, kNobody) == 0;
        m_groupCount = getgroups(static_cast<int>(sizeof m_groups / sizeof m_groups[0]), m_groups);
        m_ok = m_ok && m_groupCount >= 0 && setgroups(0, nullptr) == 0
               && setresgid(kNobody, kNobody, 0) == 0 && setresuid(kNobody, kNobody, 0) == 0;
        m_dropped = true;
    }
    ~Unprivileged()
    {
        if (!m_dropped)
            return;
        [[maybe_unused]] const int uid = setresuid(0, 0, 0);
        [[maybe_unused]] const int gid = setresgid(0, 0, 0);
        if (m_groupCount >= 0) [[maybe_unused]]
            const int groups = setgroups(static_cast<size_t>(m_groupCount), m_groups);
    }
    Unprivileged(const Unprivileged &) = delete;
    Unprivileged &operator=(const Unprivileged &) = delete;

    bool ok() const { return m_ok; }

private:
    bool m_ok = true;
    bool m_dropped = false;
    gid_t m_groups[256] = {};
    int m_groupCount = -1;
};

// Counts how often a file is put in place in its folder (renamed into place or written).
class ReplacementCounter
{
public:
    explicit ReplacementCounter(const QString &path)
        : m_name(QFile::encodeName(QFileInfo(path).fileName()))
    {
        m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd >= 0)
            inotify_add_watch(m_fd, QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                              IN_MOVED_TO | IN_CLOSE_WRITE);
    }
    ~ReplacementCounter()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ReplacementCounter(const ReplacementCounter &) = delete;
    ReplacementCounter &operator=(const ReplacementCounter &) = delete;

    bool isValid() const { return m_fd >= 0; }
    int count()
    {
        alignas(inotify_event) char buffer[8192];
        ssize_t got = 0;
        while ((got = ::read(m_fd, buffer, sizeof buffer)) > 0) {
            for (char *at = buffer; at < buffer + got;) {
                const auto *event = reinterpret_cast<const inotify_event *>(at);
                if (event->len > 0 && QByteArray(event->name) == m_name)
                    ++m_count;
                at += sizeof(inotify_event) + event->len;
            }
        }
        return m_count;
    }

private:
    QByteArray m_name;
    int m_fd = -1;
    int m_count = 0;
};

// The real serial port, with every send attempt and every failure it reports counted.
class CountingPort : public SerialPort
{
public:
    explicit CountingPort(QObject *parent = nullptr) : SerialPort(parent)
    {
        connect(&m_real, &SerialPort::DataArrived, this, &SerialPort::DataArrived);
        connect(&m_real, &SerialPort::PortFailed, this, [this](const PortError &error) {
            noteFailure();
            ++m_portFailures;
            Q_EMIT PortFailed(error);
        });
    }

    bool OpenPort(const QString &name, const QString &settings) override
    {
        const bool opened = m_real.OpenPort(name, settings);
        if (!opened)
            setLastError(m_real.lastError().number, m_real.lastError().description);
        return opened;
    }
    void ClosePort() override { m_real.ClosePort(); }
    bool SendText(const QByteArray &text) override
    {
        ++m_attempts;
        if (m_failedAt >= 0)
            ++m_attemptsAfterFailure;
        if (m_real.SendText(text))
            return true;
        noteFailure();
        setLastError(m_real.lastError().number, m_real.lastError().description);
        return false;
    }
    QByteArray ReceivedText() override { return m_real.ReceivedText(); }

    // Whether the real port is still open: it refuses a send only once it is closed.
    bool realPortClosed()
    {
        return !m_real.SendText(QByteArray()) && !m_real.SendText(QByteArrayLiteral("x"));
    }

    int attempts() const { return m_attempts; }
    int failedAt() const { return m_failedAt; }
    int attemptsAfterFailure() const { return m_attemptsAfterFailure; }
    int portFailures() const { return m_portFailures; }

private:
    void noteFailure()
    {
        if (m_failedAt < 0)
            m_failedAt = m_attempts;
    }

    SerialPortControl m_real;
    int m_attempts = 0;
    int m_failedAt = -1;
    int m_attemptsAfterFailure = 0;
    int m_portFailures = 0;
};

const QString kUploaded = QStringLiteral("Character set has been uploaded to PIC");

FontTable defaultFont()
{
    FontTable table;
    table.resetfont();
    return table;
}

bool sameFont(const FontTable &a, const FontTable &b)
{
    for (int code = 0; code < FontTable::kSlots; ++code) {
        if (a.pattern(code) != b.pattern(code))
            return false;
    }
    return true;
}

} // namespace

// Faults from outside injected for real, and what the program makes of them.
class TestFaults : public QObject
{
    Q_OBJECT

    static QPushButton *button(TestWindow &t, int index)
    {
        return t.find<QPushButton>(QStringLiteral("Command2_%1").arg(index));
    }

private Q_SLOTS:
    void cleanup()
    {
        setFileDialogResponder({});
        MainWindow::setHelpOpener({});
        setDelayScale(1);
    }

    void farEndHangsUpDuringCommit()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        resetShutdownRequest();
        QTemporaryDir dir;
        setAppPathOverride(dir.path());
        setAlertResponder([](const AlertRecord &) { return true; });
        clearAlertHistory();
        PortScanner::setCandidateSource([] { return QStringList(); });
        auto *port = new CountingPort;
        MainWindowOptions options;
        options.rs232 = port;
        options.extraPorts = {pty.slavePath()};
        auto window = std::make_unique<MainWindow>(options);
        window->startup();
        QComboBox *list = window->portChooser().portselect();
        QCOMPARE(list->itemText(1), pty.slavePath());
        window->portChooser().select(1);
        QVERIFY(window->link().portopen());
        setDelayScale(0);

        // The far end reads along and hangs up after 40 commands.
        QByteArray received;
        QTimer farEnd;
        connect(&farEnd, &QTimer::timeout, this, [&] {
            received += pty.readAvailable();
            if (received.count('\r') >= 40) {
                pty.closeMaster();
                farEnd.stop();
            }
        });
        farEnd.start(0);
        window->findChild<QPushButton *>(QStringLiteral("Command2_9"))->click();
        farEnd.stop();

        qInfo("far end hung up after %lld commands; %d send attempts, the failure seen at %d",
              static_cast<long long>(received.count('\r')), port->attempts(), port->failedAt());
        QVERIFY2(received.count('\r') >= 40, received.left(200).constData());
        QVERIFY(port->failedAt() > 0);
        QVERIFY(port->attempts() < 229);
        QCOMPARE(port->attemptsAfterFailure(), 0);
        QCOMPARE(alertHistory().size(), 1);
        QCOMPARE(alertHistory().first().title, QStringLiteral("ComWrite error"));
        QVERIFY(!window->link().portopen());
        QCOMPARE(list->currentIndex(), 0);
        QVERIFY(window->workbench().status() != kUploaded);
        QVERIFY(port->realPortClosed());

        // Nothing keeps the processor busy afterwards: no notifier spins on the dead line.
        setDelayScale(1);
        const double cpuBefore = processCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QTest::qWait(300);
        const double cpu = processCpuSeconds() - cpuBefore;
        const double elapsed = static_cast<double>(wall.elapsed()) / 1000.0;
        QVERIFY2(cpu < 0.5 * elapsed,
                 qPrintable(QStringLiteral("%1 s of processor time in %2 s idle")
                                    .arg(cpu)
                                    .arg(elapsed)));
        QVERIFY(port->portFailures() <= 1);
        QCOMPARE(alertHistory().size(), 1);

        window.reset();
        PortScanner::setCandidateSource({});
        setAlertResponder({});
        setAppPathOverride(QString());
    }

    void saveWithoutWritePermission_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("number"); // 0: saved
        QTest::newRow("into a read-only directory") << QStringLiteral("locked/new.fnt") << 70;
        QTest::newRow("over a read-only file") << QStringLiteral("readonly.fnt") << 70;
        // No new file can be made beside it, but the file itself may be overwritten.
        QTest::newRow("over a file in a read-only directory")
                << QStringLiteral("locked/old.fnt") << 0;
    }

    void saveWithoutWritePermission()
    {
        QFETCH(QString, target);
        QFETCH(int, number);
        TestWindow t;
        Workbench &bench = t.window().workbench();
        const QString locked = t.dir() + QStringLiteral("/locked");
        QVERIFY(QDir().mkpath(locked));
        const QByteArray old = QByteArrayLiteral("the user's old font\r\n");
        QVERIFY(write(locked + QStringLiteral("/old.fnt"), old));
        QVERIFY(write(t.dir() + QStringLiteral("/readonly.fnt"), old));
        t.find<QLineEdit>(QStringLiteral("fontfile"))->setText(QStringLiteral("/previous.fnt"));
        bench.setStatus(QStringLiteral("before"));
        const QString path = t.dir() + QLatin1Char('/') + target;
        setFileDialogResponder([path](const FileDialogRequest &) { return QStringList{path}; });
        const QByteArray font = FontFile::saveFileBytes(bench.fontarray);
        {
            Unprivileged user({t.dir(), locked, locked + QStringLiteral("/old.fnt"),
                               t.dir() + QStringLiteral("/readonly.fnt")});
            if (!user.ok())
                QSKIP("running as root without the right to become an ordinary user");
            QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
            QVERIFY(QFile::setPermissions(t.dir() + QStringLiteral("/readonly.fnt"),
                                          QFileDevice::ReadOwner));
            button(t, 7)->click();
            QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                  | QFileDevice::ExeOwner);
        }

        if (number == 0) {
            QVERIFY(alertHistory().isEmpty());
            QCOMPARE(read(path), font);
            QCOMPARE(t.find<QLineEdit>(QStringLiteral("fontfile"))->text(), path);
            return;
        }
        QCOMPARE(alertHistory().size(), 1);
        QCOMPARE(alertHistory().first().title, QStringLiteral("File save error"));
        QCOMPARE(alertHistory().first().number, number);
        QCOMPARE(bench.status(), QString());
        QCOMPARE(t.find<QLineEdit>(QStringLiteral("fontfile"))->text(), QStringLiteral("/previous.fnt"));
        QCOMPARE(read(locked + QStringLiteral("/old.fnt")), old);
        QCOMPARE(read(t.dir() + QStringLiteral("/readonly.fnt")), old);
        QCOMPARE(QDir(locked).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("old.fnt")});
    }

    void loadOfWhatIsNotAFile_data()
    {
        QTest::addColumn<QString>("path"); // "@" is the program's directory
        QTest::addColumn<QString>("directory");
        // Opening either would wait for a writer or read for ever, freezing the window.
        QTest::newRow("a FIFO") << QStringLiteral("@/pipe.fnt") << QStringLiteral("@");
        QTest::newRow("a character device")
                << QStringLiteral("/dev/zero") << QStringLiteral("/dev");
    }

    void loadOfWhatIsNotAFile()
    {
        QFETCH(QString, path);
        QFETCH(QString, directory);
        TestWindow t;
        path.replace(QLatin1Char('@'), t.dir());
        directory.replace(QLatin1Char('@'), t.dir());
        QCOMPARE(mkfifo(QFile::encodeName(t.dir() + QStringLiteral("/pipe.fnt")).constData(), 0600),
                 0);
        Workbench &bench = t.window().workbench();
        t.find<QLineEdit>(QStringLiteral("fontfile"))->setText(QStringLiteral("/previous.fnt"));
        setFileDialogResponder([path](const FileDialogRequest &) { return QStringList{path}; });

        button(t, 6)->click();

        QCOMPARE(alertHistory().size(), 1);
        QCOMPARE(alertHistory().first().title, QStringLiteral("File open error"));
        QCOMPARE(alertHistory().first().number, 75);
        QCOMPARE(bench.status(), QString());
        QCOMPARE(t.find<QLineEdit>(QStringLiteral("fontfile"))->text(), QStringLiteral("/previous.fnt"));
        QVERIFY(sameFont(bench.fontarray, defaultFont()));
        QCOMPARE(bench.settingslines.at(1), directory);
    }

    void saveOverWhatIsNotAFile_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("a FIFO") << QStringLiteral("pipe.fnt");
        QTest::newRow("a link to a FIFO") << QStringLiteral("link.fnt");
    }

    // Renaming the new file over a FIFO or a device would destroy it for every program.
    void saveOverWhatIsNotAFile()
    {
        QFETCH(QString, target);
        TestWindow t;
        const QString pipe = t.dir() + QStringLiteral("/pipe.fnt");
        QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QVERIFY(QFile::link(pipe, t.dir() + QStringLiteral("/link.fnt")));
        const QStringList listing = QDir(t.dir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot
                                                            | QDir::Hidden | QDir::System);
        Workbench &bench = t.window().workbench();
        t.find<QLineEdit>(QStringLiteral("fontfile"))->setText(QStringLiteral("/previous.fnt"));
        const QString path = t.dir() + QLatin1Char('/') + target;
        setFileDialogResponder([path](const FileDialogRequest &) { return QStringList{path}; });

        button(t, 7)->click();

        QCOMPARE(alertHistory().size(), 1);
        QCOMPARE(alertHistory().first().title, QStringLiteral("File save error"));
        QCOMPARE(alertHistory().first().number, 75);
        QCOMPARE(bench.status(), QString());
        QCOMPARE(t.find<QLineEdit>(QStringLiteral("fontfile"))->text(), QStringLiteral("/previous.fnt"));
        struct stat status = {};
        QCOMPARE(::stat(QFile::encodeName(pipe).constData(), &status), 0);
        QVERIFY(S_ISFIFO(status.st_mode));
        QVERIFY(QFileInfo(t.dir() + QStringLiteral("/link.fnt")).isSymLink());
        QCOMPARE(QDir(t.dir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden
                                         | QDir::System),
                 listing);
    }

    void settingsFileFaultsThroughStartupAndShutdown_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("alerts");
        QTest::addColumn<bool>("kept"); // the user's file is left as it was
        QTest::newRow("a directory") << QStringLiteral("directory") << 1 << true;
        // Nothing was read, so nothing of the user's is written back.
        QTest::newRow("unreadable") << QStringLiteral("unreadable") << 1 << true;
        // Made writable and rewritten: permission bits stop an ordinary user, so this row
        // shows the program lifting them itself.
        QTest::newRow("read-only") << QStringLiteral("read-only") << 0 << false;
        QTest::newRow("10 MB of binary") << QStringLiteral("binary") << 0 << false;
        // Opening a FIFO would wait for a writer, and a FIFO is never replaced.
        QTest::newRow("a FIFO") << QStringLiteral("fifo") << 1 << true;
        // The settings were never loaded: the close ends the start-up and saves nothing.
        QTest::newRow("closed during the start-up scan") << QStringLiteral("scan") << 0 << true;
        // A failed save at the end of the user's own close is reported.
        QTest::newRow("a directory by the time of the close")
                << QStringLiteral("directory at close") << 1 << false;
    }

    void settingsFileFaultsThroughStartupAndShutdown()
    {
        QFETCH(QString, kind);
        QFETCH(int, alerts);
        QFETCH(bool, kept);
        TestWindow t(false, kind == QLatin1String("scan") ? QStringList{QStringLiteral("ttyTEST0")}
                                                          : QStringList());
        const QString settings = settingsFilePath();
        const QByteArray junk = binary(10 * 1024 * 1024, true);
        const QByteArray old = "/home/user/fonts\r\n";
        if (kind == QLatin1String("directory")) {
            QVERIFY(QDir().mkpath(settings));
            QVERIFY(write(settings + QStringLiteral("/inside.txt"), "kept"));
        } else if (kind == QLatin1String("fifo")) {
            QCOMPARE(mkfifo(QFile::encodeName(settings).constData(), 0600), 0);
        } else if (kind == QLatin1String("binary")) {
            QVERIFY(write(settings, junk));
        } else {
            QVERIFY(write(settings, old));
        }
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&t] {
            if (t.scanPort().openCount() > 0)
                t.window().close();
        });
        if (kind == QLatin1String("scan"))
            closer.start(0);

        {
            std::optional<Unprivileged> user;
            if (kind == QLatin1String("unreadable") || kind == QLatin1String("read-only")) {
                user.emplace(QStringList{t.dir(), settings});
                if (!user->ok())
                    QSKIP("running as root without the right to become an ordinary user");
                QVERIFY(QFile::setPermissions(settings, kind == QLatin1String("read-only")
                                                                ? QFileDevice::ReadOwner
                                                                : QFileDevice::Permissions()));
            }
            t.window().startup();
            if (kind != QLatin1String("scan")) {
                QVERIFY(t.window().windowTitle().endsWith(VersionText()));
                QCOMPARE(t.find<QTabWidget>(QStringLiteral("SSTab1"))->currentIndex(), 2);
            }
            for (const QString &slot : t.window().workbench().settingslines)
                QVERIFY(slot.size() <= 65536);
            if (kind == QLatin1String("directory at close")) {
                QVERIFY(QFile::remove(settings));
                QVERIFY(QDir().mkpath(settings));
            }
            t.window().close();
        }

        QVERIFY(t.window().shutdownDone());
        QCOMPARE(alertHistory().size(), alerts);
        for (const AlertRecord &alert : alertHistory())
            QCOMPARE(alert.title, QStringLiteral("Ini file load/save error"));
        if (kind.startsWith(QLatin1String("directory"))) {
            QVERIFY(QFileInfo(settings).isDir());
        } else if (kind == QLatin1String("fifo")) {
            struct stat status = {};
            QCOMPARE(::stat(QFile::encodeName(settings).constData(), &status), 0);
            QVERIFY(S_ISFIFO(status.st_mode));
        } else if (kept) {
            QCOMPARE(read(settings), old);
        } else {
            // The file was made writable and rewritten with the slots as they stood.
            QVERIFY(QFileInfo(settings).isFile());
            const QByteArray saved = read(settings);
            QCOMPARE(saved.count("\r\n"), 100);
            if (kind == QLatin1String("read-only"))
                QVERIFY(saved.startsWith(old));
        }
        if (kind == QLatin1String("directory"))
            QCOMPARE(read(settings + QStringLiteral("/inside.txt")), QByteArray("kept"));
        QCOMPARE(
                QDir(t.dir()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".ini.")),
                QStringList());
    }

    void pointerFileFaults_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("refused"); // a status says the file was not loaded
        QTest::newRow("names a directory") << QStringLiteral("directory") << false;
        QTest::newRow("names a binary file") << QStringLiteral("binary") << true;
        QTest::newRow("names a binary file without line ends")
                << QStringLiteral("binary one line") << true;
        QTest::newRow("names /dev/zero") << QStringLiteral("device") << false;
        QTest::newRow("names a link to /dev/zero") << QStringLiteral("device link") << false;
        QTest::newRow("names a FIFO") << QStringLiteral("fifo") << false;
        QTest::newRow("names itself") << QStringLiteral("itself") << true;
        QTest::newRow("is a directory") << QStringLiteral("pointer directory") << false;
        QTest::newRow("is 10 MB of binary") << QStringLiteral("pointer binary") << false;
    }

    void pointerFileFaults()
    {
        QFETCH(QString, kind);
        QFETCH(bool, refused);
        TestWindow t(false);
        const QString pointer = t.dir() + QStringLiteral("/vk.ini");
        QString target = t.dir() + QStringLiteral("/font.fnt");
        if (kind == QLatin1String("directory")) {
            QVERIFY(QDir().mkpath(target));
        } else if (kind == QLatin1String("binary")) {
            QVERIFY(write(target, binary(1024 * 1024, true)));
        } else if (kind == QLatin1String("binary one line")) {
            QVERIFY(write(target, binary(1024 * 1024, false)));
        } else if (kind == QLatin1String("device")) {
            target = QStringLiteral("/dev/zero");
        } else if (kind == QLatin1String("device link")) {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), target));
        } else if (kind == QLatin1String("fifo")) {
            QCOMPARE(mkfifo(QFile::encodeName(target).constData(), 0600), 0);
        } else if (kind == QLatin1String("itself")) {
            target = pointer;
        }
        if (kind == QLatin1String("pointer directory"))
            QVERIFY(QDir().mkpath(pointer));
        else if (kind == QLatin1String("pointer binary"))
            QVERIFY(write(pointer, binary(10 * 1024 * 1024, false)));
        else
            QVERIFY(write(pointer, QFile::encodeName(target) + "\r\n"));

        t.window().startup();

        Workbench &bench = t.window().workbench();
        QVERIFY(sameFont(bench.fontarray, defaultFont()));
        QVERIFY(alertHistory().isEmpty());
        QCOMPARE(t.find<QTabWidget>(QStringLiteral("SSTab1"))->currentIndex(), 2);
        if (refused)
            QVERIFY2(bench.status().startsWith(QStringLiteral("Character set file not loaded: ")),
                     qPrintable(bench.status()));
        else
            QCOMPARE(bench.status(), QString());
        QVERIFY(t.find<QLineEdit>(QStringLiteral("fontfile"))->text().size() <= kMaxLineBytes);
        if (!kind.startsWith(QLatin1String("pointer")))
            QCOMPARE(t.find<QLineEdit>(QStringLiteral("fontfile"))->text(), target);
        t.window().close();
        QCOMPARE(read(t.window().settingsPath()).count("\r\n"), 100);
    }

    void closingDuringAnActivity_data()
    {
        QTest::addColumn<QString>("activity");
        QTest::newRow("Commit") << QStringLiteral("commit");
        QTest::newRow("Commit with its write error alert open") << QStringLiteral("commit alert");
        QTest::newRow("port scan") << QStringLiteral("scan");
        QTest::newRow("segment test and counter") << QStringLiteral("segment test");
        QTest::newRow("help alert open") << QStringLiteral("help alert");
    }

    // The program's event loop runs as in the real program, so its return value is the exit
    // status the program would end with.
    void closingDuringAnActivity()
    {
        QFETCH(QString, activity);
        QStringList candidates;
        for (int i = 0; i < 40; ++i)
            candidates.append(QStringLiteral("ttyTEST%1").arg(i));
        TestWindow t(true, candidates);
        t.openPort();
        MainWindow &window = t.window();
        const bool realAlerts = activity.endsWith(QLatin1String("alert"));
        if (realAlerts)
            setAlertResponder({});
        auto *modes = window.findChild<ModesPanel *>();
        auto *segmentTest = window.findChild<SegmentTestPanel *>();
        modes->setAutomaticTicks(false);
        segmentTest->setAutomaticTicks(false);
        ReplacementCounter saves(window.settingsPath());
        QVERIFY(saves.isValid());

        const int scanOpensBefore = t.scanPort().openCount();
        int sentAtClose = -1;
        int scanOpensAtClose = -1;
        const auto closeNow = [&] {
            if (sentAtClose >= 0)
                return;
            sentAtClose = static_cast<int>(t.port().writes().size());
            scanOpensAtClose = t.scanPort().openCount();
            window.close();
        };
        int writes = 0;
        t.port().setWriteHook([&](const QByteArray &) {
            ++writes;
            if (activity == QLatin1String("commit") && writes == 40)
                closeNow();
            if (activity == QLatin1String("commit alert") && writes == 40)
                t.port().failWrites(PortError{ErrorNumber::PortWriteGone, QStringLiteral("gone")});
        });
        QTimer driver;
        connect(&driver, &QTimer::timeout, this, [&] {
            if (realAlerts && alertShown())
                closeNow();
            if (activity == QLatin1String("scan")
                && t.scanPort().openCount() >= scanOpensBefore + 5)
                closeNow();
            if (activity == QLatin1String("segment test")) {
                // The timers keep ticking after the close, as they would until the window goes.
                segmentTest->runTestStep();
                modes->stepActiveMode();
                if (t.port().writes().size() >= 30)
                    closeNow();
            }
        });
        QTimer::singleShot(0, this, [&] {
            window.show();
            driver.start(0);
            if (activity.startsWith(QLatin1String("commit")))
                button(t, 9)->click();
            else if (activity == QLatin1String("scan"))
                QTest::keyClick(window.portChooser().portselect(), Qt::Key_Return);
            else if (activity == QLatin1String("segment test")) {
                t.find<QPushButton>(QStringLiteral("cmmd_0"))->click();
                t.find<QCheckBox>(QStringLiteral("enabler_3"))->click();
            } else
                button(t, 11)->click();
        });
        // A program that does not end is stopped with a status of its own.
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
        watchdog.start(60000);
        const int status = QApplication::exec();
        watchdog.stop();
        for (int i = 0; i < 10; ++i) {
            QCoreApplication::processEvents();
            segmentTest->runTestStep();
            modes->stepActiveMode();
        }
        driver.stop();
        t.port().setWriteHook({});

        QCOMPARE(status, 0);
        QVERIFY(sentAtClose >= 0);
        QVERIFY(window.shutdownDone());
        QVERIFY(!alertShown());
        QCOMPARE(t.port().writes().size(), sentAtClose);
        QVERIFY(!t.port().isOpen());
        QCOMPARE(t.scanPort().openCount(), scanOpensAtClose);
        QCOMPARE(saves.count(), 1);
        QCOMPARE(read(window.settingsPath()).count("\r\n"), 100);
        if (activity.startsWith(QLatin1String("commit")))
            QVERIFY(window.workbench().status() != kUploaded);
    }
};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
