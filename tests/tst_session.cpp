#include "support/recordingport.h"

#include "core/basicutilities.h"
#include "font/fonttable.h"
#include "serial/seriallink.h"
#include "session/chainstatetracker.h"
#include "session/moderunner.h"
#include "session/pacedsender.h"
#include "session/segmenttestrunner.h"
#include "session/uploadjob.h"

#include <QPointer>
#include <QTest>

#include <memory>

using Outcome = PacedSender::Outcome;
Q_DECLARE_METATYPE(PacedSender::Outcome)

namespace {

// Count on a chain of four, until the runner turns it off.
class CountInputs : public ModeInputs
{
public:
    bool modeOn(Mode mode) const override { return on && mode == Count; }
    int chainLength() const override { return 4; }
    QString startText() const override { return QStringLiteral("48"); }
    QString stopText() const override { return QStringLiteral("57"); }
    QString counterText() const override { return m_counter; }
    void setCounterText(const QString &text) override { m_counter = text; }
    QString codeText() const override { return QString(); }
    void showCode(int) override {}
    void stopMode(Mode) override { on = false; }
    bool on = true;

private:
    QString m_counter = QStringLiteral("0");
};

} // namespace

// The session layer alone on a recording port: how a paced run ends, how an upload stops, and
// what the chain shows as the frames that reached the port imply it.
class TestSession : public QObject
{
    Q_OBJECT

    RecordingPort *m_port = nullptr;
    std::unique_ptr<SerialLink> m_link;

private Q_SLOTS:
    void initTestCase() { setDelayScale(0); }
    void init()
    {
        m_port = new RecordingPort;
        m_link = std::make_unique<SerialLink>(m_port);
        m_port->setParent(m_link.get());
        m_port->OpenPort(QStringLiteral("ttyTEST0"), QStringLiteral("9600,n,8,1"));
        m_link->setPortOpen(true);
    }
    void cleanup() { m_link.reset(); }

    // Frames handed to the line; a write to no open port or a failed one changes nothing.
    void trackedState_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QByteArrayList>("frames");
        QTest::addColumn<QByteArray>("characters");
        QTest::addColumn<QByteArray>("fonts");
        QTest::addColumn<QByteArray>("underscores");
        QTest::addColumn<QByteArray>("effects");
        QTest::addColumn<QByteArray>("speeds");
        QTest::addColumn<int>("changes");
        const QByteArray blank("      ");
        const QByteArray zeros("000000");
        QTest::newRow("message, ! keeps a digit")
                << "" << QByteArrayList{"$B7MHELLO!\r"} << QByteArray("HELLO ") << zeros << zeros
                << zeros << zeros << 1;
        QTest::newRow("each letter sets its own attribute")
                << ""
                << QByteArrayList{"$B7FU0U0U0\r", "$B7U010101\r", "$B7E123456\r", "$B7S987654\r"}
                << blank << QByteArray("U0U0U0") << QByteArray("010101") << QByteArray("123456")
                << QByteArray("987654") << 4;
        QTest::newRow("a short argument sets the first digits")
                << "" << QByteArrayList{"$B7E123456\r", "$B7E!9\r"} << blank << zeros << zeros
                << QByteArray("193456") << zeros << 2;
        QTest::newRow("a pattern write changes the user font only")
                << "" << QByteArrayList{"$B7WA111111111111111\r"} << blank << zeros << zeros
                << zeros << zeros << 1;
        QTest::newRow("repeats, the probe and a bad frame change nothing")
                << "" << QByteArrayList{"$B7MAAAAAA\r", "$B7MAAAAAA\r", "$0000\r", "$B7X1\r"}
                << QByteArray("AAAAAA") << zeros << zeros << zeros << zeros << 1;
        QTest::newRow("no open port") << "no port" << QByteArrayList{"$B7MHELLO!\r"} << blank
                                      << zeros << zeros << zeros << zeros << 0;
        QTest::newRow("a failed write") << "write fails" << QByteArrayList{"$B7MHELLO!\r"} << blank
                                        << zeros << zeros << zeros << zeros << 0;
    }
    void trackedState()
    {
        QFETCH(QString, line);
        QFETCH(QByteArrayList, frames);
        if (line == QLatin1String("no port"))
            m_link->setPortOpen(false);
        else if (line == QLatin1String("write fails"))
            m_port->failWrites(PortError{5, QStringLiteral("gone")});
        ChainStateTracker tracker(*m_link);
        int changes = 0;
        QString emitted;
        connect(&tracker, &ChainStateTracker::stateChanged, this, [&](const ChainState &state) {
            ++changes;
            emitted = state.describe();
        });
        for (const QByteArray &frame : frames)
            m_link->ComWrite(frame, 0);
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

    // Three message commands; the fault strikes at the first write (a stop: before the third).
    // Without a port every command still reaches the log; after a failed one, none does.
    void pacedRun_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("logged");
        QTest::newRow("complete") << "" << Outcome::Complete << 3 << 3;
        QTest::newRow("no port open") << "no port" << Outcome::LineFailed << 0 << 3;
        QTest::newRow("a failed write") << "write fails" << Outcome::LineFailed << 1 << 2;
        QTest::newRow("stopped before the third") << "stop" << Outcome::Stopped << 2 << 2;
        QTest::newRow("caller deleted mid-run") << "caller deleted" << Outcome::Stopped << 1 << 1;
    }
    void pacedRun()
    {
        QFETCH(QString, fault);
        QFETCH(Outcome, outcome);
        QFETCH(int, frames);
        QFETCH(int, logged);
        int handed = 0;
        connect(m_link.get(), &SerialLink::commandLogged, this, [&] { ++handed; });
        const CommandList commands{{'M', "ONE", 5}, {'M', "TWO", 5}, {'M', "THREE", 5}};
        auto *caller = new QObject(this);
        const QPointer<QObject> guard(caller);
        if (fault == QLatin1String("no port"))
            m_link->setPortOpen(false);
        m_port->setWriteHook([&](const QByteArray &) {
            if (fault == QLatin1String("write fails"))
                m_port->failWrites(PortError{5, QStringLiteral("gone")});
            else if (fault == QLatin1String("caller deleted"))
                delete guard.data();
        });
        PacedSender sender(*m_link);
        const auto stopAtThree = [&](const PacedCommand &next) {
            return fault == QLatin1String("stop") && next.argument == "THREE";
        };
        QCOMPARE(sender.send(commands, caller, {}, stopAtThree), outcome);
        const QList<QByteArray> expected{"$B7MONE\r", "$B7MTWO\r", "$B7MTHREE\r"};
        QCOMPARE(m_port->writes(), expected.mid(0, frames));
        QCOMPARE(handed, logged);
        delete guard.data();
    }

    // The line fails at the given write (0: no port from the start): the upload, a mode or the
    // segment test stops there, and nothing more is handed to the line.
    void lineFailure_data()
    {
        QTest::addColumn<QString>("activity");
        QTest::addColumn<int>("failAt");
        QTest::addColumn<int>("whole"); // the upload's characters that went out whole
        QTest::newRow("upload, at a pattern") << "upload" << 50 << 24;
        QTest::newRow("upload, no port") << "upload" << 0 << 0;
        QTest::newRow("Count") << "count" << 2 << 0;
        QTest::newRow("segment test") << "segment test" << 3 << 0;
    }
    void lineFailure()
    {
        QFETCH(QString, activity);
        QFETCH(int, failAt);
        QFETCH(int, whole);
        int handed = 0;
        connect(m_link.get(), &SerialLink::commandLogged, this, [&] { ++handed; });
        if (failAt == 0)
            m_link->setPortOpen(false);
        m_port->setWriteHook([&](const QByteArray &) {
            if (m_port->writes().size() == failAt - 1)
                m_port->failWrites(PortError{5, QStringLiteral("gone")});
        });
        PacedSender sender(*m_link);
        QObject timers;
        int stops = 0;
        if (activity == QLatin1String("upload")) {
            UploadJob job(sender);
            FontTable table;
            QCOMPARE(job.run("000000", table), Outcome::LineFailed);
            QCOMPARE(job.sent(), whole);
        } else if (activity == QLatin1String("count")) {
            CountInputs inputs;
            ModeRunner runner(sender, inputs, &timers);
            runner.setAutomaticTicks(false);
            connect(&runner, &ModeRunner::stoppedByFailedLine, this, [&](ModeInputs::Mode mode) {
                QCOMPARE(mode, ModeInputs::Count);
                ++stops;
            });
            for (int tick = 0; tick < 3; ++tick)
                runner.stepActiveMode();
            QVERIFY(!inputs.on);
        } else {
            SegmentTestRunner runner(
                    sender, [] { return 3; }, &timers);
            runner.setAutomaticTicks(false);
            connect(&runner, &SegmentTestRunner::stoppedByFailedLine, this, [&] { ++stops; });
            runner.requestStart();
            runner.runTestStep();
            QVERIFY(!runner.state().testrequest());
        }
        QCOMPARE(stops, activity == QLatin1String("upload") ? 0 : 1);
        QCOMPARE(handed, failAt);
        QCOMPARE(m_port->writes().size(), qMax(0, failAt - 1));
    }

    // Stop asked for while the given write goes out (0: never); the character on the line goes
    // out whole, with its show command, and the next one does not start.
    void uploadStop_data()
    {
        QTest::addColumn<int>("stopAtWrite");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("sent");
        QTest::newRow("not stopped") << 0 << Outcome::Complete << 229 << 114;
        QTest::newRow("during the fonts command") << 1 << Outcome::Stopped << 1 << 0;
        QTest::newRow("during a pattern") << 50 << Outcome::Stopped << 51 << 25;
        QTest::newRow("during its show") << 51 << Outcome::Stopped << 51 << 25;
        QTest::newRow("during the last show") << 229 << Outcome::Complete << 229 << 114;
    }
    void uploadStop()
    {
        QFETCH(int, stopAtWrite);
        QFETCH(Outcome, outcome);
        QFETCH(int, frames);
        QFETCH(int, sent);
        PacedSender sender(*m_link);
        UploadJob job(sender);
        QList<int> progress;
        QList<int> totals;
        QList<int> shown;
        QList<Outcome> finished;
        connect(&job, &UploadJob::progress, this, [&](int done, int total) {
            progress.append(done);
            totals.append(total);
        });
        connect(&job, &UploadJob::characterStarting, this, [&](int code) { shown.append(code); });
        connect(&job, &UploadJob::finished, this, [&](Outcome end) { finished.append(end); });
        m_port->setWriteHook([&](const QByteArray &) {
            if (m_port->writes().size() == stopAtWrite)
                job.stop();
        });
        FontTable table;
        table.resetfont();
        QCOMPARE(job.run("000000", table), outcome);
        QCOMPARE(m_port->writes().size(), frames);
        QCOMPARE(job.sent(), sent);
        QCOMPARE(job.total(), 114);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first(), outcome);
        // One progress step and one character shown per pattern sent, in order; the last frame
        // shows the last character whole.
        QCOMPARE(shown.size(), sent);
        QCOMPARE(totals, QList<int>(sent, 114));
        for (int i = 0; i < sent; ++i) {
            QCOMPARE(progress.at(i), i);
            QVERIFY(i == 0 || shown.at(i) > shown.at(i - 1));
        }
        if (sent > 0)
            QCOMPARE(m_port->writes().last(), QByteArray("$B7M") + char(shown.last()) + '\r');
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
