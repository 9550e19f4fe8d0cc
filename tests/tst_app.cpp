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
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
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
    // file is at start-up or at the close. A start-up font that is no file never freezes, alerts
    // or changes the font. Save where the user may not write (permission bits stop only an
    // ordinary user) or over what is no file alerts and leaves field and files as they were.
    void filesFromOutside_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("alert"); // the one alert's title and number
        const QString ini = QStringLiteral("Ini file load/save error ");
        // clang-format off
        QTest::newRow("first start") << "none" << "";
        QTest::newRow("a directory") << "directory" << ini + "75";
        QTest::newRow("unreadable") << "unreadable" << ini + "70";
        QTest::newRow("a FIFO") << "fifo" << ini + "75";
        QTest::newRow("closed during the start-up scan") << "scan" << "";
        QTest::newRow("a directory by the time of the close") << "directory at close" << ini + "75";
        QTest::newRow("start-up font /dev/zero") << "font device" << "";
        QTest::newRow("start-up font a FIFO") << "font fifo" << "";
        QTest::newRow("Save into a read-only directory") << "save locked/new.fnt" << "File save error 70";
        QTest::newRow("Save over a file in a read-only directory") << "save locked/old.fnt" << "";
        QTest::newRow("Save over a FIFO") << "save pipe.fnt" << "File save error 75";
        // clang-format on
    }
    void filesFromOutside()
    {
        QFETCH(QString, kind);
        QFETCH(QString, alert);
        TestWindow t(false,
                     kind == QLatin1String("scan") ? QStringList{"ttyTEST0"} : QStringList());
        const QString settings = settingsFilePath();
        const QByteArray old = "/home/user/fonts\r\n";
        const QString font = kind == QLatin1String("font device")
                                     ? QStringLiteral("/dev/zero")
                                     : t.dir() + QStringLiteral("/font.fnt");
        const QString locked = t.dir() + QStringLiteral("/locked");
        const QString pipe = t.dir() + QStringLiteral("/pipe.fnt");
        QVERIFY(QDir().mkpath(locked) && writeFile(locked + QStringLiteral("/old.fnt"), "old\r\n"));
        QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        if (kind == QLatin1String("directory"))
            QVERIFY(QDir().mkpath(settings));
        else if (kind == QLatin1String("fifo"))
            QCOMPARE(mkfifo(QFile::encodeName(settings).constData(), 0600), 0);
        else if (kind != QLatin1String("none"))
            QVERIFY(writeFile(settings, old));
        if (kind == QLatin1String("font fifo"))
            QCOMPARE(mkfifo(QFile::encodeName(font).constData(), 0600), 0);
        if (kind.startsWith(QLatin1String("font")))
            QVERIFY(writeFile(t.dir() + QStringLiteral("/vk.ini"),
                              QFile::encodeName(font) + "\r\n"));
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&t] {
            if (t.scanPort().openCount() > 0)
                t.window().close();
        });
        if (kind == QLatin1String("scan"))
            closer.start(0);
        const bool save = kind.startsWith(QLatin1String("save"));
        const QString saved = t.dir() + QLatin1Char('/') + kind.section(QLatin1Char(' '), 1);
        {
            const bool unreadable = kind == QLatin1String("unreadable");
            const Unprivileged user(
                    unreadable || kind.startsWith(QLatin1String("save locked")),
                    {t.dir(), settings, locked, locked + QStringLiteral("/old.fnt")});
            if (!user.ok())
                QSKIP("cannot become an ordinary user");
            QVERIFY(!unreadable || QFile::setPermissions(settings, QFileDevice::Permissions()));
            QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
            t.window().startup();
            if (kind == QLatin1String("none"))
                QCOMPARE(readFile(settings), QByteArray(" \r\n \r\n"));
            if (kind == QLatin1String("directory at close"))
                QVERIFY(QFile::remove(settings) && QDir().mkpath(settings));
            if (save) {
                t.find<QLineEdit>(QStringLiteral("fontfile"))
                        ->setText(QStringLiteral("/previous.fnt"));
                answerDialogsWith(saved);
                t.find<QPushButton>(QStringLiteral("Command2_7"))->click();
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
        if (kind == QLatin1String("fifo"))
            QVERIFY(isFifo(settings));
        else if (kind.startsWith(QLatin1String("directory")))
            QVERIFY(QFileInfo(settings).isDir());
        else if (kind == QLatin1String("unreadable") || kind == QLatin1String("scan"))
            QCOMPARE(readFile(settings), old);
        QCOMPARE(readFile(locked + QStringLiteral("/old.fnt")).count("\r\n"),
                 save && alert.isEmpty() ? 116 : 1);
        QVERIFY(isFifo(pipe));
        const QString fontfile = t.find<QLineEdit>(QStringLiteral("fontfile"))->text();
        if (save)
            QCOMPARE(fontfile, alert.isEmpty() ? saved : QStringLiteral("/previous.fnt"));
        if (!kind.startsWith(QLatin1String("font")))
            return;
        FontTable expected;
        expected.resetfont();
        QVERIFY(t.window().workbench().fontarray == expected);
        QCOMPARE(t.window().workbench().status(), QString());
        QCOMPARE(fontfile, font);
        QCOMPARE(t.find<QLineEdit>(QStringLiteral("udcpattern"))->text(), expected.pattern(65));
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
            bench.fontarray.setPattern(bench.currentCode(), QString(15, QLatin1Char('1')));
        QStringList asked;
        SaveChangesForm::setResponder([&](const QString &) {
            asked.append(QStringLiteral("font"));
            return SaveChangesForm::Choice(answer);
        });
        setAlertResponder([&](const AlertRecord &alert) {
            asked.append(alert.text == QLatin1String("An upload is running. Stop it and close?")
                                 ? QStringLiteral("upload")
                                 : alert.title);
            return answer != int(SaveChangesForm::Choice::Cancel) || changed;
        });
        const bool save = answer == int(SaveChangesForm::Choice::Save) || how == "save";
        answerDialogsWith(save ? t.dir() + QStringLiteral("/font") : QString());
        if (how == QLatin1String("save"))
            t.find<QPushButton>(QStringLiteral("Command2_7"))->click();
        if (how == QLatin1String("upload")) {
            t.port().setWriteHook([&](const QByteArray &) {
                if (t.port().writes().size() == 30)
                    t.window().close();
            });
            t.find<QPushButton>(QStringLiteral("Command2_9"))->click();
            t.port().setWriteHook({});
            QCOMPARE(t.port().writes().size(), closes ? 30 : 229);
        } else {
            how == QLatin1String("signal") ? t.window().terminate() : void(t.window().close());
        }
        QCOMPARE(asked, questions);
        QCOMPARE(t.window().shutdownDone(), closes);
        QCOMPARE(t.port().isOpen(), !closes);
        QCOMPARE(readFile(t.dir() + QStringLiteral("/font.fnt")).count("\r\n"), save ? 116 : 0);
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
        TrafficLog &log = t.window().trafficLog();
        const QString logFile = t.dir() + QStringLiteral("/rx.log");
        log.serialout()->timeStampsAction()->setChecked(true);
        log.serialin()->logToFile(logFile);
        t.window().shutdown();
        const QStringList lines
                = QString::fromLocal8Bit(readFile(t.window().settingsPath())).split("\r\n");
        QCOMPARE(lines.mid(100), (QStringList{"TxdTimeStamps=1", "RxdLogFile=" + logFile, ""}));
        resetShutdownRequest();
        MainWindow::Options options;
        options.rs232 = new RecordingPort;
        options.scanPort = new RecordingPort;
        MainWindow again(options);
        again.startup();
        QVERIFY(again.trafficLog().serialout()->timeStampsAction()->isChecked());
        QVERIFY(!again.trafficLog().serialin()->timeStampsAction()->isChecked());
        QCOMPARE(again.trafficLog().serialin()->logFilePath(), logFile);
        QCOMPARE(again.trafficLog().serialout()->logFilePath(), QString());
    }

    // The program's own event loop runs, so its return value is the exit status it would end with.
    void closingDuringAnActivity_data()
    {
        QTest::addColumn<QString>("activity");
        QTest::newRow("port scan") << "scan";
        QTest::newRow("segment test and counter") << "segment test";
        QTest::newRow("help alert open") << "help alert";
    }
    void closingDuringAnActivity()
    {
        QFETCH(QString, activity);
        QStringList candidates;
        for (int i = 0; i < 40; ++i)
            candidates.append(QStringLiteral("ttyTEST%1").arg(i));
        TestWindow t(true, candidates);
        t.openPort();
        MainWindow &window = t.window();
        if (activity == QLatin1String("help alert"))
            setAlertResponder({});
        auto *modes = window.findChild<ModeRunner *>();
        auto *segmentTest = window.findChild<SegmentTestRunner *>();
        modes->setAutomaticTicks(false);
        segmentTest->setAutomaticTicks(false);
        const int scanOpensBefore = t.scanPort().openCount();
        qsizetype sentAtClose = -1;
        int scanOpensAtClose = -1;
        QTimer driver;
        connect(&driver, &QTimer::timeout, this, [&] {
            if (activity == QLatin1String("segment test")) {
                segmentTest->runTestStep();
                modes->stepActiveMode();
            }
            const bool due = activity == QLatin1String("help alert") ? alertShown()
                             : activity == QLatin1String("scan")
                                     ? t.scanPort().openCount() >= scanOpensBefore + 5
                                     : t.port().writes().size() >= 30;
            if (due && sentAtClose < 0) {
                sentAtClose = t.port().writes().size();
                scanOpensAtClose = t.scanPort().openCount();
                window.close();
            }
        });
        QTimer::singleShot(0, this, [&] {
            window.show();
            driver.start(0);
            if (activity == QLatin1String("scan")) {
                QTest::keyClick(window.portChooser().portselect(), Qt::Key_Return);
            } else if (activity == QLatin1String("help alert")) {
                t.find<QPushButton>(QStringLiteral("Command2_11"))->click();
            } else {
                t.find<QPushButton>(QStringLiteral("cmmd_0"))->click();
                t.find<QCheckBox>(QStringLiteral("enabler_3"))->click();
            }
        });
        QCOMPARE(QApplication::exec(), 0);
        // Ticks that still come after the close send nothing.
        segmentTest->runTestStep();
        modes->stepActiveMode();
        QVERIFY(sentAtClose >= 0 && window.shutdownDone() && !alertShown());
        QCOMPARE(t.port().writes().size(), sentAtClose);
        QCOMPARE(t.scanPort().openCount(), scanOpensAtClose);
        QVERIFY(!t.port().isOpen() && !t.scanPort().isOpen());
        QCOMPARE(readFile(window.settingsPath()).count("\r\n"), 100);
    }

    // The help window always shows the protocol text from beside the program or the installed
    // doc folder; its button opens the RTF, and says so when nothing could; a missing file is
    // an alert.
    void helpButton_data()
    {
        QTest::addColumn<QString>("helpAt"); // relative to the program's folder's parent
        QTest::addColumn<bool>("openerWorks");
        QTest::newRow("beside the program") << "bin" << true;
        QTest::newRow("installed doc folder") << "share/doc/vornik" << true;
        QTest::newRow("missing") << "" << true;
        QTest::newRow("nothing can open it") << "bin" << false;
    }
    void helpButton()
    {
        QFETCH(QString, helpAt);
        QFETCH(bool, openerWorks);
        TestWindow t;
        QVERIFY(QDir(t.dir()).mkpath(QStringLiteral("bin")));
        setAppPathOverride(t.dir() + QStringLiteral("/bin"));
        const QString help = t.dir() + '/' + helpAt + QStringLiteral("/Vornik.rtf");
        if (!helpAt.isEmpty())
            QVERIFY(QDir(t.dir()).mkpath(helpAt) && writeFile(help, "{\\rtf1 x}")
                    && writeFile(t.dir() + '/' + helpAt + "/Vornik.md", "# The protocol"));
        QStringList opened;
        MainWindow::setHelpOpener([&](const QString &path) {
            opened.append(path);
            return openerWorks;
        });
        t.find<QPushButton>(QStringLiteral("Command2_11"))->click();
        setAppPathOverride(t.dir());
        QCOMPARE(alertHistory().size(), helpAt.isEmpty() ? 1 : 0);
        auto *browser = t.find<QWidget>(QStringLiteral("helpbrowser"));
        QCOMPARE(browser && browser->isVisible() ? browser->property("plainText").toString()
                                                 : QString(),
                 helpAt.isEmpty() ? QString() : QStringLiteral("The protocol"));
        QVERIFY(opened.isEmpty());
        if (helpAt.isEmpty())
            return;
        t.find<QPushButton>(QStringLiteral("helpother"))->click();
        QCOMPARE(opened, QStringList{help});
        auto *notice = t.find<QLabel>(QStringLiteral("helpnotice"));
        QCOMPARE(notice->isVisible() ? notice->text() : QString(),
                 openerWorks ? QString() : "No application could open " + help + '.');
    }

    // On a large screen (the test window's) the window keeps the least size it always had on
    // the 800x600 test screen, without bars and without a maximise button; on a small one every
    // control can be scrolled into view.
    void smallScreen()
    {
        TestWindow t;
        MainWindow &window = t.window();
        auto *scroll = window.findChild<QScrollArea *>();
        QWidget *content = scroll->widget();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.size(), content->minimumSizeHint());
        QVERIFY(!window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(!scroll->horizontalScrollBar()->isVisible());
        QVERIFY(!scroll->verticalScrollBar()->isVisible());
        window.holdSize(QSize(600, 400));
        QApplication::processEvents(); // the scroll area's bars follow the new size
        QVERIFY(window.width() <= 600 && window.height() <= 400);
        auto *tabs = t.find<QTabWidget>(QStringLiteral("SSTab1"));
        const QRect view = scroll->viewport()->rect();
        // The user has a bar wherever the content is cut.
        QCOMPARE(scroll->verticalScrollBar()->isVisible(), content->height() > view.height());
        QCOMPARE(scroll->horizontalScrollBar()->isVisible(), content->width() > view.width());
        for (int tab = 0; tab < tabs->count(); ++tab) {
            tabs->setCurrentIndex(tab);
            for (QWidget *control : content->findChildren<QWidget *>()) {
                if (!control->isVisible()
                    || (control->focusPolicy() == Qt::NoFocus
                        && control->objectName() != QLatin1String("portstate")))
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
        TestWindow t(true, {QStringLiteral("ttyTEST0")});
        t.openPort();
        MainWindow &window = t.window();
        MainWindow::setHelpOpener([](const QString &) { return true; });
        QRandomGenerator random(seed);
        setFileDialogResponder([&](const FileDialogRequest &) {
            return random.bounded(2) ? QStringList()
                                     : QStringList{t.dir() + QStringLiteral("/saved.fnt")};
        });
        auto *modes = window.findChild<ModeRunner *>();
        auto *segmentTest = window.findChild<SegmentTestRunner *>();
        modes->setAutomaticTicks(false);
        segmentTest->setAutomaticTicks(false);
        window.show();
        window.activateWindow();
        QList<QWidget *> targets;
        for (QWidget *widget : window.findChildren<QWidget *>()) {
            if (widget->focusPolicy() != Qt::NoFocus && widget->window() == &window
                && !widget->isHidden())
                targets.append(widget);
        }
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
                QApplication::clipboard()->setText(QString::fromLatin1(kPieces[random.bounded(9)]));
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
        t.find<QPushButton>(QStringLiteral("Command2_9"))->click();
        QCOMPARE(t.sent().size(), 229);
        QCOMPARE(window.workbench().status(),
                 QStringLiteral("Character set has been uploaded to PIC"));
    }

    // The program itself. Without a display it answers --help and --version, and otherwise says
    // it needs one instead of aborting; on a screen, SIGTERM once it runs closes it through its
    // normal path, which saves the settings.
    void program_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("environment"); // added to one without a display
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text"); // in the output; "SIGTERM": sent once it runs
        const QString needsDisplay = QStringLiteral("needs a graphical session");
        const QString version = QStringLiteral("vornik " VORNIK_VERSION_STRING);
        const QStringList offscreen{"QT_QPA_PLATFORM=offscreen"};
        // clang-format off
        QTest::newRow("version") << QStringList{"--version"} << QStringList() << 0 << version;
        QTest::newRow("help") << QStringList{"--help"} << QStringList() << 0 << "--extra-port <DEVICE>";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << QStringList() << 1 << "Unknown option 'bogus'";
        QTest::newRow("window, start port") << QStringList{"--port", "/dev/null"} << QStringList() << 1 << "vornikctl drives the chain without one";
        QTest::newRow("window, X platform") << QStringList() << QStringList{"QT_QPA_PLATFORM=xcb"} << 1 << needsDisplay;
        QTest::newRow("version, offscreen platform") << QStringList{"--version"} << offscreen << 0 << version;
        QTest::newRow("SIGTERM") << QStringList() << offscreen << 0 << "SIGTERM";
        // clang-format on
    }
    void program()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, environment);
        QFETCH(int, status);
        QFETCH(QString, text);
        QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            system.remove(QString::fromLatin1(name));
        for (const QString &setting : environment)
            system.insert(setting.section('=', 0, 0), setting.section('=', 1));
        // A copy, so that its settings file is written beside it.
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("vornik"));
        QVERIFY(QFile::copy(QStringLiteral(VORNIK_BINARY), copy));
        QProcess process;
        process.setProcessEnvironment(system);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(copy, arguments);
        const QString settings = dir.filePath(QStringLiteral("vornik.ini"));
        if (text == QLatin1String("SIGTERM")) {
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(settings), 20000);
            // kill(0) would signal this test's whole process group.
            QVERIFY2(process.processId() > 0, "the window ended before its signal");
            ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        }
        QVERIFY(process.waitForFinished(20000));
        const QString output = QString::fromLocal8Bit(process.readAll());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), status);
        QVERIFY2(text == QLatin1String("SIGTERM") ? readFile(settings).count("\r\n") == 100
                                                  : output.contains(text),
                 qPrintable(output));
    }
};

QTEST_MAIN(TestApp)
#include "tst_app.moc"
