#include "support/recordingport.h"
#include "support/testhelpers.h"
#include "support/testwindow.h"
#include "support/widgethelpers.h"

#include "app/settingsfile.h"
#include "core/basicutilities.h"
#include "font/fonttable.h"
#include "panels/portchooser.h"
#include "panels/workbench.h"
#include "protocol/command.h"
#include "session/moderunner.h"
#include "session/segmenttestrunner.h"
#include "widgets/alert.h"
#include "widgets/filedialogs.h"
#include "widgets/logpane.h"
#include "widgets/savechangesform.h"
#include "widgets/trafficlog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// While it lives (and drop is true) the process runs as nobody, so permission bits refuse
// writes even to root.
class Unprivileged
{
public:
    explicit Unprivileged(bool drop, const QStringList &ownPaths)
    {
        if (!drop || geteuid() != 0)
            return;
        for (const QString &path : ownPaths)
            m_ok = m_ok && ::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0;
        m_ok = m_ok && setresgid(65534, 65534, 0) == 0 && setresuid(65534, 65534, 0) == 0;
        m_dropped = true;
    }
    ~Unprivileged()
    {
        if (m_dropped && (setresuid(0, 0, 0) != 0 || setresgid(0, 0, 0) != 0))
            qFatal("cannot become root again");
    }
    bool ok() const { return m_ok; }

private:
    bool m_ok = true;
    bool m_dropped = false;
};

bool isFifo(const QString &path)
{
    struct stat status = {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISFIFO(status.st_mode);
}

bool makeFifo(const QString &path)
{
    return mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

} // namespace

// The whole program: start-up, the settings file, closing in the middle of everything, faults
// injected from outside, a storm of random input and signals.
class TestApp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        setFileDialogResponder({});
        MainWindow::setHelpOpener({});
    }

    // Files the user can break from outside. The settings file: two blank lines at the first
    // start; what the user had is never blanked, a FIFO never opened or replaced, whatever the
    // file is at start-up or at the close. Save where the user may not write (permission bits
    // stop only an ordinary user) or over what is no file alerts and leaves field and files as
    // they were.
    void filesFromOutside_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("alert"); // the one alert's title and number
        const QString ini = "Ini file load/save error ";
        // clang-format off
        QTest::newRow("first start") << "none" << "";
        QTest::newRow("a directory") << "directory" << ini + "75";
        QTest::newRow("unreadable") << "unreadable" << ini + "70";
        QTest::newRow("a FIFO") << "fifo" << ini + "75";
        QTest::newRow("closed during the start-up scan") << "scan" << "";
        QTest::newRow("a directory by the time of the close") << "directory at close" << ini + "75";
        QTest::newRow("Save into a read-only directory") << "save locked/new.fnt" << "File save error 70";
        QTest::newRow("Save over a file in a read-only directory") << "save locked/old.fnt" << "";
        QTest::newRow("Save over a FIFO") << "save pipe.fnt" << "File save error 75";
        // clang-format on
    }
    void filesFromOutside()
    {
        QFETCH(QString, kind);
        QFETCH(QString, alert);
        TestWindow t(false, kind == "scan" ? QStringList{"ttyTEST0"} : QStringList());
        const QString settings = settingsFilePath();
        const QByteArray old = "/home/user/fonts\r\n";
        const QString pipe = t.dir() + "/pipe.fnt";
        const QString locked = t.dir() + "/locked";
        QVERIFY(QDir().mkpath(locked) && writeFile(locked + "/old.fnt", "old\r\n"));
        QVERIFY(makeFifo(pipe));
        if (kind == "directory")
            QVERIFY(QDir().mkpath(settings));
        else if (kind == "fifo")
            QVERIFY(makeFifo(settings));
        else if (kind != "none")
            QVERIFY(writeFile(settings, old));
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&t] {
            if (t.scanPort().openCount() > 0)
                t.window().close();
        });
        if (kind == "scan")
            closer.start(0);
        const bool save = kind.startsWith("save");
        const QString saved = t.dir() + '/' + kind.section(' ', 1);
        {
            const Unprivileged user(kind == "unreadable" || kind.startsWith("save locked"),
                                    {t.dir(), settings, locked, locked + "/old.fnt"});
            if (!user.ok())
                QSKIP("cannot become an ordinary user");
            QVERIFY(kind != "unreadable" || QFile::setPermissions(settings, {}));
            QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
            t.window().startup();
            if (kind == "none")
                QCOMPARE(readFile(settings), QByteArray(" \r\n \r\n"));
            if (kind == "directory at close")
                QVERIFY(QFile::remove(settings) && QDir().mkpath(settings));
            if (save) {
                t.find<QLineEdit>("fontfile")->setText("/previous.fnt");
                answerDialogsWith(saved);
                t.find<QPushButton>("Command2_7")->click();
            }
            t.window().close();
            QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                  | QFileDevice::ExeOwner);
        }
        QVERIFY(t.window().shutdownDone());
        QCOMPARE(alertHistory().size(), alert.isEmpty() ? 0 : 1);
        const AlertRecord shown = alertHistory().value(0);
        QCOMPARE(shown.number ? shown.title + QStringLiteral(" %1").arg(shown.number) : QString(),
                 alert);
        if (kind == "fifo")
            QVERIFY(isFifo(settings));
        else if (kind.startsWith("directory"))
            QVERIFY(QFileInfo(settings).isDir());
        else if (kind == "unreadable" || kind == "scan")
            QCOMPARE(readFile(settings), old);
        QCOMPARE(readFile(locked + "/old.fnt").count("\r\n"), save && alert.isEmpty() ? 116 : 1);
        QVERIFY(isFifo(pipe));
        if (save)
            QCOMPARE(t.find<QLineEdit>("fontfile")->text(),
                     alert.isEmpty() ? saved : "/previous.fnt");
    }

    // Closing asks about a running upload, then about a changed font; questions lists what was
    // asked, in order, and answer is given to the last one (OK to those before). Save is
    // answered with font.fnt in the program's folder; "save" clicks Save before the close.
    void closing_data()
    {
        using Choice = SaveChangesForm::Choice;
        QTest::addColumn<bool>("changed");
        QTest::addColumn<QString>("how"); // "upload": closed at the 30th write of a Commit
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QStringList>("questions");
        const QStringList font{"font"};
        // clang-format off
        QTest::newRow("unchanged: not asked") << false << "close" << int(Choice::Cancel) << true << QStringList();
        QTest::newRow("Cancel keeps the window") << true << "close" << int(Choice::Cancel) << false << font;
        QTest::newRow("Save writes, then closes") << true << "close" << int(Choice::Save) << true << font;
        QTest::newRow("a signal never asks") << true << "signal" << int(Choice::Cancel) << true << QStringList();
        QTest::newRow("during an upload: the upload, then the font") << true << "upload" << int(Choice::Discard) << true << QStringList{"upload", "font"};
        QTest::newRow("during an upload: Cancel lets it finish") << false << "upload" << int(Choice::Cancel) << false << QStringList{"upload"};
        QTest::newRow("during an upload: OK, then Cancel at the font lets it finish") << true << "upload" << int(Choice::Cancel) << false << QStringList{"upload", "font"};
        QTest::newRow("during the segment test and a count: no tick sends after it") << false << "runners" << int(Choice::Cancel) << true << QStringList();
        QTest::newRow("right after Save: not asked") << true << "save" << int(Choice::Cancel) << true << QStringList();
        // clang-format on
    }
    void closing()
    {
        QFETCH(bool, changed);
        QFETCH(QString, how);
        QFETCH(int, answer);
        QFETCH(bool, closes);
        QFETCH(QStringList, questions);
        TestWindow t;
        t.openPort();
        Workbench &bench = t.window().workbench();
        if (changed) // the table, not the editor's field that the editor settles on a Save
            bench.fontarray.setPattern(bench.currentCode(), QString(15, '1'));
        QStringList asked;
        SaveChangesForm::setResponder([&](const QString &) {
            asked.append("font");
            return SaveChangesForm::Choice(answer);
        });
        setAlertResponder([&](const AlertRecord &alert) {
            const bool upload = alert.text == "An upload is running. Stop it and close?";
            asked.append(upload ? "upload" : alert.title);
            return answer != int(SaveChangesForm::Choice::Cancel) || changed;
        });
        const bool save = answer == int(SaveChangesForm::Choice::Save) || how == "save";
        answerDialogsWith(save ? t.dir() + "/font" : QString());
        if (how == "save")
            t.find<QPushButton>("Command2_7")->click();
        if (how == "upload") {
            t.port().setWriteHook([&](const QByteArray &) {
                if (t.port().writes().size() == 30)
                    t.window().close();
            });
            t.find<QPushButton>("Command2_9")->click();
            t.port().setWriteHook({});
            QCOMPARE(t.port().writes().size(), closes ? 30 : 229);
        } else if (how == "runners") {
            auto *modes = t.window().findChild<ModeRunner *>();
            auto *segmentTest = t.window().findChild<SegmentTestRunner *>();
            t.find<QPushButton>("cmmd_0")->click();
            t.find<QCheckBox>("enabler_3")->click();
            modes->stepActiveMode();
            const qsizetype sent = t.port().writes().size();
            t.window().close();
            segmentTest->runTestStep();
            modes->stepActiveMode();
            QCOMPARE(t.port().writes().size(), sent);
        } else {
            how == "signal" ? t.window().terminate() : void(t.window().close());
        }
        QCOMPARE(asked, questions);
        QCOMPARE(t.window().shutdownDone(), closes);
        QCOMPARE(t.port().isOpen(), !closes);
        QCOMPARE(readFile(t.dir() + "/font.fnt").count("\r\n"), save ? 116 : 0);
        const QString settings = t.window().settingsPath();
        QCOMPARE(readFile(settings).count("\r\n"), closes ? 100 : 2);
        // Closing twice (the session ending after the user's close) saves once.
        QFile::remove(settings);
        t.window().shutdown();
        QCOMPARE(QFile::exists(settings), !closes);
    }

    // Time Stamps and Log to File of each log pane outlast a restart, kept in lines after the
    // 100 the settings file always had (an old file without them loads as before: above).
    void logSettingsOutlastARestart()
    {
        TestWindow t;
        const QString logFile = t.dir() + "/rx.log";
        t.window().trafficLog().serialout()->timeStampsAction()->setChecked(true);
        t.window().trafficLog().serialin()->logToFile(logFile);
        t.window().shutdown();
        const QStringList lines = QString(readFile(t.window().settingsPath())).split("\r\n");
        QCOMPARE(lines.mid(100), (QStringList{"TxdTimeStamps=1", "RxdLogFile=" + logFile, ""}));
        resetShutdownRequest();
        MainWindow::Options options;
        options.rs232 = new RecordingPort;
        options.scanPort = new RecordingPort;
        MainWindow again(options);
        again.startup();
        const TrafficLog &log = again.trafficLog();
        QVERIFY(log.serialout()->timeStampsAction()->isChecked());
        QVERIFY(!log.serialin()->timeStampsAction()->isChecked());
        QCOMPARE(log.serialin()->logFilePath() + '|' + log.serialout()->logFilePath(),
                 logFile + '|');
    }

    // On a small screen every control can be scrolled into view, with a bar wherever the
    // content is cut.
    void smallScreen()
    {
        TestWindow t;
        MainWindow &window = t.window();
        auto *scroll = window.findChild<QScrollArea *>();
        QWidget *content = scroll->widget();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.holdSize(QSize(600, 400));
        QApplication::processEvents(); // the scroll area's bars follow the new size
        QVERIFY(window.width() <= 600 && window.height() <= 400);
        auto *tabs = t.find<QTabWidget>("SSTab1");
        const QRect view = scroll->viewport()->rect();
        QCOMPARE(scroll->verticalScrollBar()->isVisible(), content->height() > view.height());
        QCOMPARE(scroll->horizontalScrollBar()->isVisible(), content->width() > view.width());
        for (int tab = 0; tab < tabs->count(); ++tab) {
            tabs->setCurrentIndex(tab);
            for (QWidget *control : content->findChildren<QWidget *>()) {
                if (!control->isVisible()
                    || (control->focusPolicy() == Qt::NoFocus
                        && control->objectName() != "portstate"))
                    continue;
                const QPoint centre = control->mapTo(content, control->rect().center());
                scroll->ensureVisible(centre.x(), centre.y(), control->width() / 2 + 1,
                                      control->height() / 2 + 1);
                const QRect at(control->mapTo(scroll->viewport(), QPoint()), control->size());
                QVERIFY2(control->width() > view.width() || control->height() > view.height()
                                 ? view.intersects(at)
                                 : view.contains(at),
                         qPrintable(control->objectName()));
            }
        }
    }

    // Random keys, clicks, pastes, focus and tab changes, ticks and arriving bytes: every frame
    // on the line stays well formed and the window still works afterwards. Fixed seeds;
    // VORNIK_STORM_SEED replays one, VORNIK_STORM_EVENTS sets the events per seed.
    void storm_data()
    {
        QTest::addColumn<quint64>("seed");
        const QList<quint64> seeds
                = qEnvironmentVariableIsSet("VORNIK_STORM_SEED")
                          ? QList<quint64>{qgetenv("VORNIK_STORM_SEED").toULongLong()}
                          : QList<quint64>{1, 20261206};
        for (const quint64 seed : seeds)
            QTest::addRow("seed %llu", static_cast<unsigned long long>(seed)) << seed;
    }
    void storm()
    {
        QFETCH(quint64, seed);
        TestWindow t(true, {"ttyTEST0"});
        t.openPort();
        MainWindow &window = t.window();
        MainWindow::setHelpOpener([](const QString &) { return true; });
        QRandomGenerator random(seed);
        setFileDialogResponder([&](const FileDialogRequest &) {
            return random.bounded(2) ? QStringList() : QStringList{t.dir() + "/saved.fnt"};
        });
        auto *modes = window.findChild<ModeRunner *>();
        auto *segmentTest = window.findChild<SegmentTestRunner *>();
        modes->setAutomaticTicks(false);
        segmentTest->setAutomaticTicks(false);
        window.show();
        window.activateWindow();
        QList<QWidget *> targets = window.findChildren<QWidget *>();
        targets.removeIf([&](QWidget *widget) {
            return widget->focusPolicy() == Qt::NoFocus || widget->window() != &window
                   || widget->isHidden();
        });
        static const Qt::Key kKeys[]
                = {Qt::Key_Return, Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Tab,
                   Qt::Key_Down,   Qt::Key_Up,        Qt::Key_Space,  Qt::Key_Left};
        static const char kPieces[][6] = {"A", "!", "\r", "\n", "13", "1", "0", "$B7", "~"};
        const int events = qMax(3000, qEnvironmentVariableIntValue("VORNIK_STORM_EVENTS"));
        for (int event = 0; event < events; ++event) {
            QWidget *target = targets.at(random.bounded(static_cast<int>(targets.size())));
            const int roll = random.bounded(100);
            if (roll < 45) {
                QTest::keyClick(target, static_cast<char>(32 + random.bounded(95)));
            } else if (roll < 60) {
                QTest::keyClick(target, kKeys[random.bounded(8)]);
            } else if (roll < 65) {
                QApplication::clipboard()->setText(kPieces[random.bounded(9)]);
                QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
            } else if (roll < 80) {
                auto *clicked = qobject_cast<QAbstractButton *>(target);
                clicked ? clicked->click() : QTest::mouseClick(target, Qt::LeftButton);
            } else if (roll < 88) {
                target->setFocus(Qt::OtherFocusReason);
            } else if (const int other = random.bounded(3); other == 0) { // ticks, arriving bytes
                modes->stepActiveMode();
            } else if (other == 1) {
                segmentTest->runTestStep();
            } else {
                t.port().receive(
                        QByteArray(1 + random.bounded(8), static_cast<char>(random.bounded(256))));
            }
        }
        for (const QByteArray &frame : t.port().writes())
            QVERIFY2(Command::isWellFormed(frame), frame.toHex().constData());
        QVERIFY(!alertShown());
        // The window still works: a whole Commit goes out.
        t.openPort();
        t.clearSent();
        t.find<QPushButton>("Command2_9")->click();
        QCOMPARE(t.sent().size(), 229);
        QCOMPARE(window.workbench().status(), "Character set has been uploaded to PIC");
    }

    // The program itself. Without a display it says it needs one instead of aborting; on a
    // screen, SIGTERM once it runs closes it through its normal path, which saves the settings.
    void program_data()
    {
        QTest::addColumn<QString>("platform");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text"); // in the output; "SIGTERM": sent once it runs
        // clang-format off
        QTest::newRow("window, X platform") << "xcb" << 1 << "needs a graphical session";
        QTest::newRow("SIGTERM") << "offscreen" << 0 << "SIGTERM";
        // clang-format on
    }
    void program()
    {
        QFETCH(QString, platform);
        QFETCH(int, status);
        QFETCH(QString, text);
        QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            system.remove(name);
        system.insert("QT_QPA_PLATFORM", platform);
        // A copy, so that its settings file is written beside it.
        QTemporaryDir dir;
        const QString copy = dir.filePath("vornik");
        QVERIFY(QFile::copy(VORNIK_BINARY, copy));
        QProcess process;
        process.setProcessEnvironment(system);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(copy);
        const QString settings = dir.filePath("vornik.ini");
        if (text == "SIGTERM") {
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(settings), 20000);
            // kill(0) would signal this test's whole process group.
            QVERIFY2(process.processId() > 0, "the window ended before its signal");
            ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        }
        QVERIFY(process.waitForFinished(20000));
        const QString output = QString::fromLocal8Bit(process.readAll());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), status);
        QVERIFY2(text == "SIGTERM" ? readFile(settings).count("\r\n") == 100
                                   : output.contains(text),
                 qPrintable(output));
    }
};

QTEST_MAIN(TestApp)
#include "tst_app.moc"
