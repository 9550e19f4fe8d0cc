#include "support/testhelpers.h"

#include "modes/modecommands.h"
#include "modes/modesteps.h"
#include "modes/segmenttest.h"

#include <QTest>

using namespace ModeSteps;

namespace {

QString validated(const QString &before, int edited) // before: "start,stop,delay"
{
    const QStringList parts = before.split(QLatin1Char(','));
    std::array<QString, 3> fields{parts[0], parts[1], parts[2]};
    validateAnimation(fields, edited);
    return QStringList({fields[0], fields[1], fields[2]}).join(QLatin1Char(','));
}

// A letter that replaces the field as "=" and its code, a verdict as E(nter), P(ass),
// S(wallow) or the character entered.
QString keyText(int field, int code)
{
    const AnimationKey key = animationKey(field, code);
    const KeyVerdict v = key.verdict;
    if (key.replaces)
        return "=" + key.replacement;
    return v.kind ? QString(QLatin1Char("IEPS"[v.kind])) : QString(v.character);
}

// The last tick of a segment test driven by script: s starts, x stops, t ticks on 3 digits.
QString lastTick(const QString &script)
{
    SegmentTest test;
    SegmentTest::Tick tick;
    for (const QChar step : script) {
        if (step == QLatin1Char('s'))
            test.requestStart();
        else if (step == QLatin1Char('x'))
            test.requestStop();
        else
            tick = test.tick(true, 3);
    }
    return onWire(tick.commands);
}

} // namespace

// The display modes' rules and the commands each mode step and the segment test send.
class TestModes : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rules_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        const auto next = [](const char *acc, const char *start, const char *stop) {
            return QString::number(animateNext(acc, start, stop));
        };
        const QString blanking("$B7F000\r(10)$B7M      \r(10)");
        const QString off(15, QLatin1Char('0'));
        const QString step1("$B7FU\r(2)$B7M0\r(2)$B7W0100000000000000\r(10)$B7M000\r(2)");
        const QTime evening(21, 5, 3);
        const QDate day(2026, 12, 5);
        // clang-format off
        QTest::newRow("animate: restart past stop") << next("57", "48", "57") << "48";
        QTest::newRow("animate: over CR") << next("12", "10", "40") << "14";
        QTest::newRow("animate: over !") << next("32", "10", "40") << "34";
        QTest::newRow("animate: restart at 13") << next("20", "13", "20") << "14";
        QTest::newRow("animate: 125 shown") << next("124", "100", "200") << "125";
        QTest::newRow("animate: start held to 10") << next("40", "3", "40") << "10";
        QTest::newRow("12-hour time") << timeDigits(evening, "h:mm AP") << "090503";
        QTest::newRow("12-hour midnight") << timeDigits(QTime(0, 5, 3), "ap h:mm") << "120503";
        QTest::newRow("24-hour time") << timeDigits(evening, "HH:mm") << "210503";
        QTest::newRow("US date") << dateDigits(day, "M/d/yy") << "120526";
        QTest::newRow("quoted letters") << dateDigits(day, "d 'day' M/yy") << "051226";
        QTest::newRow("count digits") << countDigits("123456", 4) << "3456";
        QTest::newRow("count zero-filled") << countDigits("7", 12) << "00000000007";
        QTest::newRow("counter from empty") << counterNext("") << "1";
        QTest::newRow("counter wraps") << counterNext("999999999999999999") << "0";
        QTest::newRow("counter lowest digits") << counterNormalised("12345678901234567890") << "345678901234567890";
        QTest::newRow("diagnostic code") << QString::number(isDiagnosticCode("0472915")) << "1";
        QTest::newRow("delay 1 kept") << validated("48,57,1", 2) << "48,57,1";
        QTest::newRow("delay 0") << validated("48,57,0", 2) << "48,57,1";
        QTest::newRow("delay 2000 kept") << validated("48,57,2000", 2) << "48,57,2000";
        QTest::newRow("delay 2001") << validated("48,57,2001", 2) << "48,57,2000";
        QTest::newRow("start 10 kept") << validated("10,57,100", 0) << "10,57,100";
        QTest::newRow("start 9") << validated("9,57,100", 0) << "10,57,100";
        QTest::newRow("stop 126") << validated("48,126,100", 1) << "48,125,100";
        QTest::newRow("bound, then exchanged") << validated("5,3,100", 0) << "3,10,100";
        QTest::newRow("leading zeros dropped") << validated("60x,050,100", 2) << "50,60,100";
        QTest::newRow("letter in stop") << keyText(kStopField, 'A') << "=65";
        QTest::newRow("letter in delay") << keyText(kDelayField, 'A') << "S";
        QTest::newRow("digit in start") << keyText(kStartField, '7') << "7";
        QTest::newRow("clock") << onWire(ModeCommands::clock("123456")) << "$B7M123456\r(5)";
        QTest::newRow("count") << onWire(ModeCommands::count("7", 4)) << "$B7M0007\r(5)";
        QTest::newRow("animate") << onWire(ModeCommands::animate('A', 3)) << "$B7MAAA\r(5)";
        QTest::newRow("test starts blank, in the user font") << lastTick("st") << blanking + "$B7FUUU\r(2)$B7W0" + off + "\r(10)$B7M000\r(2)$B7FU\r(2)$B7M0\r(2)$B7W0" + off + "\r(10)$B7M000\r(2)";
        QTest::newRow("test steps") << lastTick("stt") << step1;
        QTest::newRow("test stop blanks the chain") << lastTick("sttxt") << blanking;
        QTest::newRow("start again while ending") << lastTick("stxst") << step1;
        // clang-format on
    }
    void rules()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }
};

QTEST_MAIN(TestModes)
#include "tst_modes.moc"
