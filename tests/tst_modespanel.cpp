#include "support/testsupport.h"

#include "panels/workbench.h"
#include "font/fonttable.h"
#include "panels/modespanel.h"
#include "panels/segmenttestpanel.h"
#include "widgets/filteredlineedit.h"
#include "panels/portchooser.h"
#include "support/recordingport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

const QColor kLightRed(255, 192, 192);
const QColor kLightGreen(192, 255, 192);

// A window with both panels ticking only when a test says so.
class Rig
{
public:
    explicit Rig(bool openPort = true)
    {
        modes = t.window().findChild<ModesPanel *>();
        test = t.window().findChild<SegmentTestPanel *>();
        modes->setAutomaticTicks(false);
        test->setAutomaticTicks(false);
        if (openPort)
            t.openPort();
        t.clearSent();
    }

    Workbench &wb() { return t.window().workbench(); }
    void setChain(int length) { field(QStringLiteral("mlength"))->setText(QString::number(length)); }
    QLineEdit *field(const QString &name) { return t.find<QLineEdit>(name); }
    QString text(const QString &name) { return field(name)->text(); }
    void click(const QString &name) { t.find<QAbstractButton>(name)->click(); }
    void retype(const QString &name, const QString &keys)
    {
        field(name)->clear();
        QTest::keyClicks(field(name), keys);
        QTest::keyClick(field(name), Qt::Key_Return);
    }
    QColor testColour()
    {
        return field(QStringLiteral("testrunning"))->palette().color(QPalette::Base);
    }

    TestWindow t;
    ModesPanel *modes = nullptr;
    SegmentTestPanel *test = nullptr;
};

QList<QByteArray> messages(const QStringList &arguments)
{
    QList<QByteArray> result;
    for (const QString &argument : arguments)
        result.append("$B7M" + argument.toLatin1() + "\r");
    return result;
}

} // namespace

// The Modes and Segment test panels in the main window, driven tick by tick.
class TestModesPanel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void segmentTestShowsSixteenPatternsThenStartsAgain()
    {
        Rig r;
        r.setChain(3);
        QCOMPARE(r.testColour(), kLightRed);
        r.click(QStringLiteral("cmmd_0"));
        r.test->runTestStep();
        // The blank message has six blanks whatever the chain length.
        QCOMPARE(r.t.sent(), (QByteArrayList{"$B7F000\r", "$B7M      \r", "$B7FUUU\r",
                                             "$B7W0000000000000000\r", "$B7M000\r", "$B7FU\r",
                                             "$B7M0\r", "$B7W0000000000000000\r", "$B7M000\r"}));
        QCOMPARE(r.t.pauses(), (QList<int>{10, 10, 2, 10, 2, 2, 2, 10, 2}));
        QStringList shownAtWrite;
        r.t.port().setWriteHook([&r, &shownAtWrite](const QByteArray &) {
            shownAtWrite.append(r.text(QStringLiteral("testrunning")));
        });
        for (int tick = 1; tick <= SegmentTest::kSteps; ++tick) {
            QCOMPARE(r.text(QStringLiteral("testrunning")), SegmentTest::stepPattern(tick - 1));
            QCOMPARE(r.testColour(), kLightGreen);
            r.test->runTestStep();
        }
        QCOMPARE(r.text(QStringLiteral("testrunning")), FontTable::allOff());
        // A step's pattern shows as its write goes out, not while the two commands before it do.
        for (int step = 0; step < SegmentTest::kSteps; ++step) {
            QCOMPARE(shownAtWrite.at(4 * step + 1), SegmentTest::stepPattern(step));
            QCOMPARE(shownAtWrite.at(4 * step + 2),
                     SegmentTest::stepPattern((step + 1) % SegmentTest::kSteps));
        }
        QCOMPARE(r.t.sent().size(), 9 + 4 * SegmentTest::kSteps);
        QCOMPARE(r.t.sent().at(11), QByteArray("$B7W0100000000000000\r"));
        QCOMPARE(r.t.sent().at(67), QByteArray("$B7W0111111111111111\r"));
        QCOMPARE(r.t.sent().at(71), QByteArray("$B7W0000000000000000\r"));
    }

    // Actions: S Start, P Stop, T tick, C forget what was sent, X close the port, O open it.
    void segmentTestEnds_data()
    {
        QTest::addColumn<bool>("portOpen");
        QTest::addColumn<QString>("actions");
        QTest::addColumn<QByteArrayList>("frames");
        const QByteArrayList ending{"$B7F000000\r", "$B7M      \r"};
        QTest::newRow("stop during a run: end commands once") << true << "STTPCTTT" << ending;
        QTest::newRow("start and stop within one tick") << true << "SPT" << QByteArrayList();
        QTest::newRow("start with no port is forgotten") << false << "STOCT" << QByteArrayList();
        QTest::newRow("port lost mid-run: ends once it is back") << true << "STXCTOT" << ending;
    }
    void segmentTestEnds()
    {
        QFETCH(bool, portOpen);
        QFETCH(QString, actions);
        QFETCH(QByteArrayList, frames);
        Rig r(portOpen);
        for (const QChar action : actions) {
            // clang-format off
            switch (action.toLatin1()) {
            case 'S': r.click(QStringLiteral("cmmd_0")); break;
            case 'P': r.click(QStringLiteral("cmmd_1")); break;
            case 'T': r.test->runTestStep(); break;
            case 'C': r.t.clearSent(); break;
            case 'X': r.t.window().portChooser().select(0); break;
            case 'O': r.t.openPort(); break;
            }
            // clang-format on
        }
        QCOMPARE(r.t.sent(), frames);
        QCOMPARE(r.t.pauses(), QList<int>(frames.size(), 10));
        QCOMPARE(r.text(QStringLiteral("testrunning")), FontTable::allOff());
        QCOMPARE(r.testColour(), kLightRed);
    }

    void segmentTestTickDoesNotNest()
    {
        Rig r;
        r.click(QStringLiteral("cmmd_0"));
        // A tick arriving while the start sequence is on the line is skipped.
        r.t.port().setWriteHook([&r](const QByteArray &) { r.test->runTestStep(); });
        r.test->runTestStep();
        r.t.port().setWriteHook({});
        QCOMPARE(r.t.sent().size(), 9);
        QCOMPARE(r.test->state().teststep(), 1);
    }

    void animateRunsFromStartToStop()
    {
        Rig r;
        r.click(QStringLiteral("enabler_0"));
        QCOMPARE(r.text(QStringLiteral("acc")), QStringLiteral("48"));
        QCOMPARE(r.modes->timer1Interval(), 100);
        QStringList expected;
        for (const char c : QByteArray("1234567890123"))
            expected.append(QString(6, QLatin1Char(c)));
        for (int tick = 0; tick < expected.size(); ++tick)
            r.modes->stepActiveMode();
        QCOMPARE(r.t.sent(), messages(expected));
        QCOMPARE(r.t.pauses(), QList<int>(expected.size(), 5));
        QCOMPARE(r.text(QStringLiteral("acc")), QStringLiteral("51"));
        QCOMPARE(r.text(QStringLiteral("udc")), QStringLiteral("3"));
        QCOMPARE(r.text(QStringLiteral("udcpattern")), r.wb().fontarray.pattern(51));
    }

    void animationFieldKeys_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("after"); // start, stop, delay after Enter

        // clang-format off
        QTest::newRow("letter in stop")
                << "48" << "animation_1" << "A" << "65" << QStringList{"48", "65", "100"};
        QTest::newRow("start 20 stop 5 exchanged")
                << "20" << "animation_1" << "5" << "5" << QStringList{"5", "20", "100"};
        QTest::newRow("delay 9999, a fifth digit cannot be typed")
                << "48" << "animation_2" << "99999" << "9999" << QStringList{"48", "57", "2000"};
        // clang-format on
    }
    void animationFieldKeys()
    {
        QFETCH(QString, start);
        QFETCH(QString, field);
        QFETCH(QString, keys);
        QFETCH(QString, typed);
        QFETCH(QStringList, after);
        Rig r;
        r.field(QStringLiteral("animation_0"))->setText(start);
        r.field(field)->clear();
        QTest::keyClicks(r.field(field), keys);
        QCOMPARE(r.text(field), typed);
        QTest::keyClick(r.field(field), Qt::Key_Return);
        QCOMPARE((QStringList{r.text("animation_0"), r.text("animation_1"), r.text("animation_2")}),
                 after);
        if (field == QLatin1String("animation_2"))
            QCOMPARE(r.modes->timer1Interval(), after[2].toInt());
        else
            QCOMPARE(r.modes->timer1Interval(), 100);
        QVERIFY(r.t.sent().isEmpty());
    }

    void leavingAFieldValidatesIt()
    {
        Rig r;
        auto *delay = qobject_cast<FilteredLineEdit *>(r.field(QStringLiteral("animation_2")));
        delay->setText(QStringLiteral("0"));
        Q_EMIT delay->focusLost();
        QCOMPARE(delay->text(), QStringLiteral("1"));
        QCOMPARE(r.modes->timer1Interval(), 1);
        auto *counter = qobject_cast<FilteredLineEdit *>(r.field(QStringLiteral("xcount")));
        counter->setText(QStringLiteral("00472915"));
        Q_EMIT counter->focusLost();
        QCOMPARE(counter->text(), QStringLiteral("472915"));
        // Only Enter reports the interval.
        QCOMPARE(r.wb().status(), QString());
    }

    void counterOnTheChain_data()
    {
        QTest::addColumn<int>("chain");
        QTest::addColumn<QString>("xcount");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("next");
        QTest::addColumn<bool>("portOpen");

        // clang-format off
        QTest::newRow("lowest four of six digits") << 4 << "123456" << "3456" << "123457" << true;
        QTest::newRow("grows past the typing limit") << 6 << "999999" << "999999" << "1000000" << true;
        QTest::newRow("no port: counts, sends nothing") << 6 << "5" << "" << "6" << false;
        // clang-format on
    }
    void counterOnTheChain()
    {
        QFETCH(int, chain);
        QFETCH(QString, xcount);
        QFETCH(QString, shown);
        QFETCH(QString, next);
        QFETCH(bool, portOpen);
        Rig r(portOpen);
        r.setChain(chain);
        r.field(QStringLiteral("xcount"))->setText(xcount);
        r.click(QStringLiteral("enabler_3"));
        QCOMPARE(r.modes->timer1Interval(), 100);
        r.modes->stepActiveMode();
        QCOMPARE(r.t.sent(), portOpen ? messages({shown}) : QList<QByteArray>());
        QCOMPARE(r.text(QStringLiteral("xcount")), next);
    }

    void counterTickDoesNotNest()
    {
        Rig r;
        r.click(QStringLiteral("enabler_3"));
        r.t.port().setWriteHook([&r](const QByteArray &) { r.modes->stepActiveMode(); });
        r.modes->stepActiveMode();
        r.t.port().setWriteHook({});
        QCOMPARE(r.t.sent(), messages({QStringLiteral("000000")}));
        QCOMPARE(r.text(QStringLiteral("xcount")), QStringLiteral("1"));
    }

    void clockModes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("next"); // a day and a second later

        // clang-format off
        QTest::newRow("24-hour time without blank") << 1 << "HH:mm:ss" << "210503" << "210504";
        QTest::newRow("date with slashes") << 2 << "M/d/yyyy" << "120526" << "120626";
        QTest::newRow("AM/PM marker first") << 1 << "AP h:mm" << "090503" << "090504";
        QTest::newRow("year first, no slashes") << 2 << "yy. M. d." << "261205" << "261206";
        // clang-format on
    }
    void clockModes()
    {
        QFETCH(int, mode);
        QFETCH(QString, format);
        QFETCH(QString, shown);
        QFETCH(QString, next);
        Rig r;
        QDateTime now(QDate(2026, 12, 5), QTime(21, 5, 3));
        r.modes->setClockSource([&now] { return now; });
        r.modes->setClockFormats(mode == 1 ? format : QString(), mode == 2 ? format : QString());
        const QString box = QStringLiteral("enabler_%1").arg(mode);
        r.click(box);
        QCOMPARE(r.modes->timer1Interval(), 10);
        r.modes->stepActiveMode();
        r.modes->stepActiveMode();
        QCOMPARE(r.t.sent(), messages({shown}));
        // Choosing the mode again sends at once, even for the same text.
        r.click(box);
        r.click(box);
        r.modes->stepActiveMode();
        QCOMPARE(r.t.sent().size(), 2);
        // A new second (or day) is sent on the next tick.
        now = now.addDays(1).addSecs(1);
        r.modes->stepActiveMode();
        QCOMPARE(r.t.sent(), messages({shown, shown, next}));
    }

    void modeSelection()
    {
        Rig r;
        auto *animate = r.t.find<QCheckBox>(QStringLiteral("enabler_0"));
        auto *count = r.t.find<QCheckBox>(QStringLiteral("enabler_3"));
        r.click(QStringLiteral("enabler_0"));
        r.click(QStringLiteral("enabler_3"));
        QVERIFY(!animate->isChecked());
        QVERIFY(count->isChecked());
        // Clicking the checked box clears it; the ticks then do nothing.
        r.click(QStringLiteral("enabler_3"));
        QVERIFY(!count->isChecked());
        r.modes->stepActiveMode();
        QVERIFY(r.t.sent().isEmpty());
        QCOMPARE(r.text(QStringLiteral("xcount")), QStringLiteral("0"));
    }

    void diagnosticCodeAndIntervalRepair()
    {
        Rig r;
        auto *timer1 = r.t.find<QTimer>(QStringLiteral("Timer1"));
        r.field(QStringLiteral("animation_2"))->setText(QStringLiteral("0"));
        r.click(QStringLiteral("enabler_3"));
        QCOMPARE(r.modes->timer1Interval(), 0);
        QVERIFY(!timer1->isActive());
        r.retype(QStringLiteral("xcount"), QStringLiteral("472915"));
        QCOMPARE(r.wb().status(), QStringLiteral("Timer interval is currently: 0"));
        r.modes->repairModeInterval();
        QCOMPARE(r.wb().status(), QStringLiteral("Timer 1 interval was out of range at 0"));
        QCOMPARE(r.modes->timer1Interval(), 10);
        QVERIFY(timer1->isActive());
        QCOMPARE(timer1->interval(), 10);
        r.wb().setStatus(QString());
        r.modes->repairModeInterval();
        QCOMPARE(r.wb().status(), QString());
        // Choosing Time sets the clock interval; Enter reports it, other values nothing.
        r.click(QStringLiteral("enabler_1"));
        r.retype(QStringLiteral("xcount"), QStringLiteral("472915"));
        QCOMPARE(r.wb().status(), QStringLiteral("Timer interval is currently: 10"));
        r.wb().setStatus(QString());
        r.retype(QStringLiteral("xcount"), QStringLiteral("0070"));
        QCOMPARE(r.text(QStringLiteral("xcount")), QStringLiteral("70"));
        QCOMPARE(r.wb().status(), QString());
    }
};

QTEST_MAIN(TestModesPanel)
#include "tst_modespanel.moc"
