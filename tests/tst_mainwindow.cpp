#include "support/testhelpers.h"
#include "support/testsupport.h"

#include "widgets/alert.h"
#include "core/basicutilities.h"
#include "panels/workbench.h"
#include "support/recordingport.h"
#include "widgets/filedialogs.h"
#include "widgets/logpane.h"
#include "widgets/savechangesform.h"
#include "widgets/trafficlog.h"
#include "serial/seriallink.h"

#include <QAction>
#include <QComboBox>
#include <QRegularExpression>
#include <QFile>
#include <QLabel>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>

// The main window as a user meets it: caption, tabs, size, help, start-up and closing.
class TestMainWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void opensOnCommTabWithNamedControls()
    {
        TestWindow t;
        QCOMPARE(t.window().windowTitle(),
                 QStringLiteral("Vornik control and test utility  1.00.00"));
        auto *tabs = t.find<QTabWidget>(QStringLiteral("SSTab1"));
        QCOMPARE(tabs->count(), 4);
        QCOMPARE(tabs->currentIndex(), 2);
        const QList<QPair<const char *, int>> controls
                = {{"statusbox", 0},  {"serialout", 0},   {"logtraffic", 0},
                   {"Frame2", 0},     {"serialin", 1},    {"rxlogenable", 1},
                   {"portselect", 2}, {"Command2_11", 2}, {"characters", 3}};
        for (const auto &[name, tab] : controls) {
            QWidget *control = t.find<QWidget>(QString::fromLatin1(name));
            QVERIFY2(control && tabs->widget(tab)->isAncestorOf(control), name);
        }
    }

    void firstStartWithoutPortsOrFiles()
    {
        TestWindow t;
        auto *list = t.find<QComboBox>(QStringLiteral("portselect"));
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->itemText(0), QStringLiteral("Select..."));
        QVERIFY(!t.window().link().portopen());
        QVERIFY(alertHistory().isEmpty());
        // The settings file is created beside the program on first start.
        const QString baseName
                = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
        QCOMPARE(readFile(t.dir() + QLatin1Char('/') + baseName + QStringLiteral(".ini")),
                 QByteArray(" \r\n \r\n"));
    }

    void windowHoldsItsSize()
    {
        TestWindow t;
        t.window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&t.window()));
        const QSize size = t.window().size();
        t.window().resize(size.width() + 200, size.height() + 100);
        QCOMPARE(t.window().size(), size);
        t.window().showMaximized();
        QCoreApplication::processEvents();
        QVERIFY(!(t.window().windowState() & Qt::WindowMaximized));
        QCOMPARE(t.window().size(), size);
        QVERIFY(!(t.window().windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(t.window().windowFlags() & Qt::WindowMinimizeButtonHint);
    }

    void helpButton_data()
    {
        // The program lies in <dir>/bin; helpAt is where the files are, relative to <dir>.
        QTest::addColumn<QString>("helpAt");
        QTest::addColumn<bool>("openerWorks");
        QTest::addColumn<QString>("alert");  // the text of the one alert; empty: none
        QTest::addColumn<QString>("notice"); // the help window's notice, "@" the RTF's path;
                                             // empty: no help window
        QTest::addColumn<int>("opened");
        QTest::newRow("beside the program") << "bin" << true << "" << "" << 1;
        QTest::newRow("installed doc folder") << "share/doc/vornik" << true << "" << "" << 1;
        QTest::newRow("file missing")
                << QString() << true
                << "The Vornik.rtf help file was not found.  Open the file manually from the "
                   "installation directory."
                << "" << 0;
        QTest::newRow("nothing can open it: shown in the program")
                << "bin" << false << ""
                << "No application could open @; the protocol description is shown here instead."
                << 1;
    }
    void helpButton()
    {
        QFETCH(QString, helpAt);
        QFETCH(bool, openerWorks);
        QFETCH(QString, alert);
        QFETCH(QString, notice);
        QFETCH(int, opened);
        TestWindow t;
        QVERIFY(QDir(t.dir()).mkpath(QStringLiteral("bin")));
        setAppPathOverride(t.dir() + QStringLiteral("/bin"));
        const QString help = t.dir() + QLatin1Char('/') + helpAt + QStringLiteral("/Vornik.rtf");
        if (!helpAt.isEmpty())
            QVERIFY(QDir(t.dir()).mkpath(helpAt) && writeFile(help, "{\\rtf1 x}")
                    && writeFile(t.dir() + '/' + helpAt + "/Vornik.md", "# The protocol"));
        QStringList openedPaths;
        MainWindow::setHelpOpener([&](const QString &path) {
            openedPaths.append(path);
            return openerWorks;
        });
        t.find<QPushButton>(QStringLiteral("Command2_11"))->click();
        MainWindow::setHelpOpener({});
        setAppPathOverride(t.dir());
        QCOMPARE(openedPaths, QStringList(opened, help));
        QCOMPARE(alertHistory().size(), alert.isEmpty() ? 0 : 1);
        if (!alert.isEmpty())
            QCOMPARE(alertHistory().first().text, alert);
        auto *window = t.find<QWidget>(QStringLiteral("helpwindow"));
        QCOMPARE(window && window->isVisible(), !notice.isEmpty());
        if (!notice.isEmpty()) {
            QCOMPARE(t.find<QLabel>(QStringLiteral("helpnotice"))->text(),
                     notice.replace(QLatin1Char('@'), help));
            QCOMPARE(t.find<QTextBrowser>(QStringLiteral("helpbrowser"))->toPlainText(),
                     QStringLiteral("The protocol"));
        }
    }

    void logPaneMenu_data()
    {
        QTest::addColumn<bool>("stamps");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("saved"); // a pattern for the whole file; empty: refused
        const QString stamp = QStringLiteral("\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d ");
        QTest::newRow("CR LF line ends") << false << "log.txt"
                                         << "a\r\nb\r\n";
        QTest::newRow("time stamps") << true << "log.txt" << stamp + "a\r\n" + stamp + "b\r\n";
        QTest::newRow("over a folder: refused, nothing lost") << false << "folder" << QString();
    }
    void logPaneMenu()
    {
        QFETCH(bool, stamps);
        QFETCH(QString, target);
        QFETCH(QString, saved);
        TestWindow t;
        LogPane *pane = t.window().trafficLog().serialin();
        QStringList entries;
        for (const QAction *action : pane->actions())
            entries.append(action->text());
        QCOMPARE(entries, (QStringList{"Copy", "Select All", "Clear", "", "Save Log As\u2026", "",
                                       "Time Stamps"}));
        QVERIFY(!pane->timeStampsAction()->isChecked());
        pane->timeStampsAction()->setChecked(stamps);
        pane->appendText(QStringLiteral("a\r\nb"));
        pane->appendText(QStringLiteral("\r\n"));
        QVERIFY(QDir(t.dir()).mkpath(QStringLiteral("folder"))
                && writeFile(t.dir() + QStringLiteral("/folder/inside.txt"), "kept"));
        const QString path = t.dir() + QLatin1Char('/') + target;
        setFileDialogResponder([path](const FileDialogRequest &) { return QStringList{path}; });
        pane->actions().at(4)->trigger();
        setFileDialogResponder({});
        if (saved.isEmpty()) {
            QCOMPARE(alertHistory().size(), 1);
            QCOMPARE(alertHistory().first().title, QStringLiteral("File save error"));
            QCOMPARE(readFile(path + QStringLiteral("/inside.txt")), QByteArray("kept"));
        } else {
            QVERIFY(alertHistory().isEmpty());
            const QString written = QString::fromUtf8(readFile(path));
            const QRegularExpression pattern(QRegularExpression::anchoredPattern(saved));
            QVERIFY2(pattern.match(written).hasMatch(), qPrintable(written));
        }
        pane->actions().at(2)->trigger();
        QCOMPARE(pane->lineCount(), 0);
    }

    void closingClosesThePortThenSavesSettingsOnce_data()
    {
        QTest::addColumn<bool>("portOpen");
        QTest::newRow("port open") << true;
        QTest::newRow("no port") << false;
    }
    void closingClosesThePortThenSavesSettingsOnce()
    {
        QFETCH(bool, portOpen);
        TestWindow t;
        if (portOpen)
            t.openPort();
        QCOMPARE(t.find<QLabel>(QStringLiteral("portstate"))->text(),
                 portOpen ? QStringLiteral("ttyTEST0  9600 8N1") : QStringLiteral("No port"));
        t.window().workbench().settingslines[1] = QStringLiteral("/home/user/fonts");
        const int closesBefore = t.port().closeCount();
        t.window().close();
        QVERIFY(!t.port().isOpen());
        QVERIFY(t.port().closeCount() > closesBefore);
        const QString path = t.window().settingsPath();
        const QByteArray saved = readFile(path);
        QCOMPARE(saved.count("\r\n"), 100);
        QVERIFY(saved.startsWith("/home/user/fonts\r\n"));
        // A second close (the desktop session ending, say) writes nothing again.
        QFile::remove(path);
        t.window().shutdown();
        QVERIFY(!QFile::exists(path));
    }

    void closingWithAChangedFont_data()
    {
        using Choice = SaveChangesForm::Choice;
        QTest::addColumn<bool>("changed");
        QTest::addColumn<bool>("bySignal");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("saveAs"); // what the Save dialog answers; empty cancels
        QTest::addColumn<bool>("closes");
        // clang-format off
        const int cancel = int(Choice::Cancel), discard = int(Choice::Discard);
        const int save = int(Choice::Save);
        QTest::newRow("unchanged: not asked") << false << false << cancel << "" << true;
        QTest::newRow("Cancel keeps the window") << true << false << cancel << "" << false;
        QTest::newRow("Discard closes") << true << false << discard << "" << true;
        QTest::newRow("Save writes, then closes") << true << false << save << "font" << true;
        QTest::newRow("Save cancelled keeps the window") << true << false << save << "" << false;
        QTest::newRow("a signal never asks") << true << true << cancel << "" << true;
        // clang-format on
    }
    void closingWithAChangedFont()
    {
        QFETCH(bool, changed);
        QFETCH(bool, bySignal);
        QFETCH(int, answer);
        QFETCH(QString, saveAs);
        QFETCH(bool, closes);
        TestWindow t;
        if (changed)
            t.window().workbench().fontarray.setPattern(65, QStringLiteral("111111111111111"));
        int asked = 0;
        SaveChangesForm::setResponder([&](const QString &) {
            ++asked;
            return SaveChangesForm::Choice(answer);
        });
        const QString path = t.dir() + QStringLiteral("/font.fnt");
        setFileDialogResponder([&](const FileDialogRequest &) {
            return saveAs.isEmpty() ? QStringList() : QStringList{t.dir() + '/' + saveAs};
        });
        bySignal ? t.window().terminate() : void(t.window().close());
        setFileDialogResponder({});
        QCOMPARE(asked, changed && !bySignal ? 1 : 0);
        QCOMPARE(t.window().shutdownDone(), closes);
        QCOMPARE(readFile(path).count("\r\n"), saveAs.isEmpty() ? 0 : 116);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
