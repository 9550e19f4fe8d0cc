#include "support/testsupport.h"

#include "app/alert.h"
#include "app/basicutilities.h"
#include "app/workbench.h"
#include "serial/recordingport.h"
#include "serial/seriallink.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

// The main window as a user meets it: caption, tabs, size, help, start-up and closing.
class TestMainWindow : public QObject
{
    Q_OBJECT

    static QByteArray read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void opensOnCommTabWithVersionCaption()
    {
        TestWindow t;
        QCOMPARE(t.window().windowTitle(), QStringLiteral("Vornik control and test utility  1.00.00"));
        auto *tabs = t.find<QTabWidget>(QStringLiteral("SSTab1"));
        QVERIFY(tabs);
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Display"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("RXD Log"));
        QCOMPARE(tabs->tabText(2), QStringLiteral("COMM"));
        QCOMPARE(tabs->currentIndex(), 2);
        QCOMPARE(t.find<QComboBox>(QStringLiteral("portselect"))->toolTip(),
                 QStringLiteral("Press \"Enter\" to scan all ports"));
    }

    void controlsCarryTheirNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("tab");
        const QList<QPair<const char *, int>> controls = {
                {"statusbox", 0}, {"serialout", 0}, {"logtraffic", 0},   {"Frame2", 0},
                {"serialin", 1},  {"rxlogenable", 1}, {"portselect", 2}, {"Command2_11", 2},
        };
        for (const auto &control : controls)
            QTest::newRow(control.first) << QString::fromLatin1(control.first) << control.second;
    }

    void controlsCarryTheirNames()
    {
        QFETCH(QString, name);
        QFETCH(int, tab);
        TestWindow t;
        auto *tabs = t.find<QTabWidget>(QStringLiteral("SSTab1"));
        QWidget *control = t.find<QWidget>(name);
        QVERIFY2(control, qPrintable(name));
        QVERIFY(tabs->widget(tab)->isAncestorOf(control));
    }

    void startupWithoutPointerFileKeepsDefaultsAndEmptyStatus()
    {
        TestWindow t;
        QCOMPARE(t.find<QLineEdit>(QStringLiteral("statusbox"))->text(), QString());
        QCOMPARE(t.window().workbench().fontarray.pattern(65), QStringLiteral("000000000100010"));
        QCOMPARE(t.window().link().txlog(), QString());
        QVERIFY(!t.window().link().portopen());
        QCOMPARE(t.find<QComboBox>(QStringLiteral("portselect"))->count(), 1);
        QCOMPARE(t.find<QComboBox>(QStringLiteral("portselect"))->itemText(0), QStringLiteral("Select..."));
        QVERIFY(alertHistory().isEmpty());
        // The settings file is created beside the program on first start.
        QCOMPARE(read(t.dir() + QStringLiteral("/") + QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName()
                      + QStringLiteral(".ini")),
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
        QTest::addColumn<bool>("filePresent");
        QTest::addColumn<bool>("openerWorks");
        QTest::addColumn<int>("alerts");
        QTest::addColumn<int>("opened");
        QTest::newRow("present and opened") << true << true << 0 << 1;
        QTest::newRow("file missing") << false << true << 1 << 0;
        QTest::newRow("nothing can open it") << true << false << 1 << 1;
    }

    void helpButton()
    {
        QFETCH(bool, filePresent);
        QFETCH(bool, openerWorks);
        QFETCH(int, alerts);
        QFETCH(int, opened);
        TestWindow t;
        if (filePresent) {
            QFile file(t.dir() + QStringLiteral("/Vornik.rtf"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("{\\rtf1 x}");
        }
        QStringList openedPaths;
        MainWindow::setHelpOpener([&](const QString &path) {
            openedPaths.append(path);
            return openerWorks;
        });
        t.find<QPushButton>(QStringLiteral("Command2_11"))->click();
        MainWindow::setHelpOpener({});
        QCOMPARE(openedPaths.size(), opened);
        if (opened)
            QCOMPARE(openedPaths.first(), t.dir() + QStringLiteral("/Vornik.rtf"));
        QCOMPARE(alertHistory().size(), alerts);
        if (alerts) {
            const AlertRecord &alert = alertHistory().first();
            QCOMPARE(alert.title, QStringLiteral("Help file not found"));
            QCOMPARE(alert.text, QStringLiteral("The Vornik.rtf help file or the path to the wordpad program was not found.  Open the file manually from the installation directory."));
            QCOMPARE(alert.style, 0);
            QCOMPARE(alert.fontSize, 12.0);
        }
    }

    void closingClosesPortThenSavesSettingsOnce()
    {
        TestWindow t;
        t.openPort();
        t.window().workbench().settingslines[1] = QStringLiteral("/home/user/fonts");
        const int closesBefore = t.port().closeCount();
        t.window().close();
        QVERIFY(t.window().shutdownDone());
        QVERIFY(!t.port().isOpen());
        QVERIFY(t.port().closeCount() > closesBefore);
        const QString path = t.window().settingsPath();
        const QByteArray saved = read(path);
        QCOMPARE(saved.count("\r\n"), 100);
        QVERIFY(saved.startsWith("/home/user/fonts\r\n"));
        // A second close (the desktop session ending, say) writes nothing again.
        QFile::remove(path);
        t.window().shutdown();
        QVERIFY(!QFile::exists(path));
    }

    void closingWithNoPortStillClosesAndSaves()
    {
        TestWindow t;
        const int closesBefore = t.port().closeCount();
        t.window().close();
        QVERIFY(t.port().closeCount() > closesBefore);
        QCOMPARE(read(t.window().settingsPath()).count("\r\n"), 100);
    }

    void closingDuringPacedSendStopsSending()
    {
        TestWindow t;
        t.openPort();
        t.clearSent();
        setDelayScale(1);
        int sends = 0;
        QTimer::singleShot(30, &t.window(), [&] { t.window().close(); });
        for (int i = 0; i < 100 && !shutdownRequested(); ++i) {
            t.window().link().ComWrite("$B7MA\r", 10);
            ++sends;
        }
        QVERIFY(shutdownRequested());
        QVERIFY(t.sent().size() < 100);
        QCOMPARE(t.sent().size(), sends);
        QCOMPARE(read(t.window().settingsPath()).count("\r\n"), 100);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
