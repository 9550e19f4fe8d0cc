#include "core/basicutilities.h"
#include "modes/segmenttest.h"

#include <QTest>

// The segment test's state machine where the window tests do not reach it: Start, Stop, the
// ticks and the port are driven through the window in tst_modespanel.
class TestSegmentTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { InitConstants(); }

    void startAgainWhileEndingKeepsRunning()
    {
        SegmentTest test;
        test.requestStart();
        test.tick(true, 6);
        test.requestStop();
        test.requestStart();
        const SegmentTest::Tick tick = test.tick(true, 6);
        QByteArrayList wire;
        for (const PacedCommand &command : tick.commands)
            wire.append(command.bytes());
        QCOMPARE(wire,
                 (QByteArrayList{"$B7FU\r", "$B7M0\r", "$B7W0100000000000000\r", "$B7M000000\r"}));
        QVERIFY(tick.running);
        QCOMPARE(tick.pattern, QStringLiteral("100000000000000"));
        QCOMPARE(test.teststep(), 2);
    }
};

QTEST_MAIN(TestSegmentTest)
#include "tst_segmenttest.moc"
