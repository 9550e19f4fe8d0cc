#include "support/recordingport.h"

#include "protocol/chainprotocol.h"
#include "serial/seriallink.h"
#include "session/chainstatetracker.h"

#include <QTest>

// The session layer: what the chain shows, as the frames that reached the line imply it.
class TestSession : public QObject
{
    Q_OBJECT

    enum Line { Open, Closed, Failing };

private Q_SLOTS:
    void trackedState_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QByteArrayList>("frames");
        QTest::addColumn<QByteArray>("characters");
        QTest::addColumn<QByteArray>("fonts");
        QTest::addColumn<QByteArray>("underscores");
        QTest::addColumn<QByteArray>("effects");
        QTest::addColumn<QByteArray>("speeds");
        QTest::addColumn<int>("changes");

        QTest::newRow("message, ! keeps a digit")
                << int(Open) << QByteArrayList{"$B7MHELLO!\r"} << QByteArray("HELLO ")
                << QByteArray("000000") << QByteArray("000000") << QByteArray("000000")
                << QByteArray("000000") << 1;
        QTest::newRow("each letter sets its own attribute")
                << int(Open)
                << QByteArrayList{"$B7FU0U0U0\r", "$B7U010101\r", "$B7E123456\r", "$B7S987654\r"}
                << QByteArray("      ") << QByteArray("U0U0U0") << QByteArray("010101")
                << QByteArray("123456") << QByteArray("987654") << 4;
        QTest::newRow("a short argument sets the first digits")
                << int(Open) << QByteArrayList{"$B7E123456\r", "$B7E!9\r"} << QByteArray("      ")
                << QByteArray("000000") << QByteArray("000000") << QByteArray("193456")
                << QByteArray("000000") << 2;
        QTest::newRow("a pattern write changes the user font only")
                << int(Open) << QByteArrayList{"$B7WA111111111111111\r"} << QByteArray("      ")
                << QByteArray("000000") << QByteArray("000000") << QByteArray("000000")
                << QByteArray("000000") << 1;
        QTest::newRow("repeats, the probe and a bad frame change nothing")
                << int(Open) << QByteArrayList{"$B7MAAAAAA\r", "$B7MAAAAAA\r", "$0000\r", "$B7X1\r"}
                << QByteArray("AAAAAA") << QByteArray("000000") << QByteArray("000000")
                << QByteArray("000000") << QByteArray("000000") << 1;
        QTest::newRow("no open port")
                << int(Closed) << QByteArrayList{"$B7MHELLO!\r"} << QByteArray("      ")
                << QByteArray("000000") << QByteArray("000000") << QByteArray("000000")
                << QByteArray("000000") << 0;
        QTest::newRow("failed write")
                << int(Failing) << QByteArrayList{"$B7MHELLO!\r"} << QByteArray("      ")
                << QByteArray("000000") << QByteArray("000000") << QByteArray("000000")
                << QByteArray("000000") << 0;
    }
    void trackedState()
    {
        QFETCH(int, line);
        QFETCH(QByteArrayList, frames);
        RecordingPort port;
        SerialLink link(&port);
        if (line != Closed) {
            port.OpenPort(QStringLiteral("ttyT"), Protocol::lineSettings());
            link.setPortOpen(true);
        }
        if (line == Failing)
            port.failWrites(PortError{1, QStringLiteral("gone")});
        ChainStateTracker tracker(link);
        int changes = 0;
        QString emitted;
        connect(&tracker, &ChainStateTracker::stateChanged, this, [&](const ChainState &state) {
            ++changes;
            emitted = state.describe();
        });

        for (const QByteArray &frame : frames)
            link.ComWrite(frame, 0);

        const ChainState &state = tracker.state();
        QTEST(state.characters(), "characters");
        QTEST(state.fonts(), "fonts");
        QTEST(state.underscores(), "underscores");
        QTEST(state.effects(), "effects");
        QTEST(state.speeds(), "speeds");
        QTEST(changes, "changes");
        if (changes > 0)
            QCOMPARE(emitted, state.describe());
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
