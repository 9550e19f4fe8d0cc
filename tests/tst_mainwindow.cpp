#include "support/testsupport.h"

#include <QTabWidget>
#include <QTest>

// The main window as a user first meets it.
class TestMainWindow : public QObject
{
    Q_OBJECT
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
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
