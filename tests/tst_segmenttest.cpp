#include "app/basicutilities.h"
#include "modes/segmenttest.h"

#include <QTest>

namespace {

using Command = SegmentTest::Command;

QList<QByteArray> wire(const SegmentTest::Tick &tick)
{
    QList<QByteArray> bytes;
    for (const Command &command : tick.commands)
        bytes.append(command.bytes());
    return bytes;
}

QList<int> pauses(const SegmentTest::Tick &tick)
{
    QList<int> result;
    for (const Command &command : tick.commands)
        result.append(command.pause);
    return result;
}

QList<QByteArray> stepSequence(const QString &pattern, const QByteArray &zeros)
{
    return {"$B7FU\r", "$B7M0\r", "$B7W0" + pattern.toLatin1() + "\r", "$B7M" + zeros + "\r"};
}

} // namespace

// The segment test's state machine: what each tick shows and sends in each state.
class TestSegmentTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { InitConstants(); }

    void stepPatterns()
    {
        QCOMPARE(SegmentTest::stepPattern(0), QStringLiteral("000000000000000"));
        QCOMPARE(SegmentTest::stepPattern(1), QStringLiteral("100000000000000"));
        QCOMPARE(SegmentTest::stepPattern(14), QStringLiteral("111111111111110"));
        QCOMPARE(SegmentTest::stepPattern(15), QStringLiteral("111111111111111"));
    }

    void startSequence_data()
    {
        QTest::addColumn<int>("chainLength");
        QTest::addColumn<QByteArray>("zeros");
        QTest::addColumn<QByteArray>("users");

        // clang-format off
        QTest::newRow("six digits") << 6 << QByteArray("000000") << QByteArray("UUUUUU");
        QTest::newRow("no chain") << 0 << QByteArray() << QByteArray();
        // clang-format on
    }
    void startSequence()
    {
        QFETCH(int, chainLength);
        QFETCH(QByteArray, zeros);
        QFETCH(QByteArray, users);

        SegmentTest test;
        test.requestStart();
        const SegmentTest::Tick tick = test.tick(true, chainLength);
        QList<QByteArray> expected{"$B7F" + zeros + "\r", "$B7M      \r", "$B7F" + users + "\r",
                                   "$B7W0000000000000000\r", "$B7M" + zeros + "\r"};
        expected += stepSequence(QStringLiteral("000000000000000"), zeros);
        QCOMPARE(wire(tick), expected);
        QCOMPARE(pauses(tick), (QList<int>{10, 10, 2, 10, 2, 2, 2, 10, 2}));
        QVERIFY(tick.showChanged);
        QVERIFY(tick.running);
        QCOMPARE(tick.pattern, QStringLiteral("000000000000000"));
        QVERIFY(test.testactive());
        QCOMPARE(test.teststep(), 1);
    }

    // Request and state before a tick, with the port open, and what the tick does.
    void states_data()
    {
        QTest::addColumn<bool>("wasActive");
        QTest::addColumn<bool>("request");
        QTest::addColumn<bool>("running");
        QTest::addColumn<int>("commands");
        QTest::addColumn<bool>("activeAfter");

        // clang-format off
        QTest::newRow("idle") << false << false << false << 0 << false;
        QTest::newRow("starting") << false << true << true << 9 << true;
        QTest::newRow("running") << true << true << true << 4 << true;
        QTest::newRow("ending") << true << false << false << 2 << false;
        // clang-format on
    }
    void states()
    {
        QFETCH(bool, wasActive);
        QFETCH(bool, request);
        QFETCH(bool, running);
        QFETCH(int, commands);
        QFETCH(bool, activeAfter);

        SegmentTest test;
        if (wasActive) {
            test.requestStart();
            test.tick(true, 6);
        }
        if (request)
            test.requestStart();
        else
            test.requestStop();
        const SegmentTest::Tick tick = test.tick(true, 6);
        QVERIFY(tick.showChanged);
        QCOMPARE(tick.running, running);
        QCOMPARE(tick.commands.size(), commands);
        QCOMPARE(test.testactive(), activeAfter);
        if (!running)
            QCOMPARE(tick.pattern, QStringLiteral("000000000000000"));
    }

    void startAgainWhileEndingKeepsRunning()
    {
        SegmentTest test;
        test.requestStart();
        test.tick(true, 6);
        test.requestStop();
        test.requestStart();
        const SegmentTest::Tick tick = test.tick(true, 6);
        QCOMPARE(wire(tick), stepSequence(QStringLiteral("100000000000000"), "000000"));
    }

    void closedPortClearsTheRequestAndChangesNothing()
    {
        SegmentTest test;
        test.requestStart();
        test.tick(true, 6);
        test.requestStart();
        const SegmentTest::Tick closed = test.tick(false, 6);
        QVERIFY(!closed.showChanged);
        QVERIFY(closed.commands.isEmpty());
        QVERIFY(!test.testrequest());
        // The run stays in Ending until a port is open again.
        QVERIFY(test.testactive());
        QVERIFY(test.tick(false, 6).commands.isEmpty());
        const SegmentTest::Tick reopened = test.tick(true, 6);
        QVERIFY(!reopened.running);
        QCOMPARE(wire(reopened), (QList<QByteArray>{"$B7F000000\r", "$B7M      \r"}));
    }
};

QTEST_MAIN(TestSegmentTest)
#include "tst_segmenttest.moc"
