#include "support/ptypair.h"
#include "support/serviceprocess.h"

#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kTimeoutMs = 20000;
// The shortened wait before the first reopening attempt; the waits double up to 30 of it.
constexpr int kBaseMs = 20;
const QByteArray kBackFrame = "$B7MBACK  \r";
// What a reopened line is sent: every attribute, then the characters.
const QByteArray kState = "$B7F000000\r$B7U000000\r$B7E333333\r$B7S000000\r" + kBackFrame;

// vornikd on a link that stands for /dev/ttyUSB0, its first reopening attempt soon.
class Daemon : public ServiceProcess
{
public:
    explicit Daemon(const QString &dir) : ServiceProcess(VORNIKD_PROGRAM, dir + "/token")
    {
        setEnvironment("VORNIK_REOPEN_MS", QString::number(kBaseMs));
    }
    int post(const QString &call, const QByteArray &body)
    {
        return ServiceProcess::call("POST", "/api/v1/" + call, body).status;
    }
    QJsonObject state() { return ServiceProcess::call("GET", "/api/v1/state").json(); }
    // Polls the state until check holds.
    bool stateBecomes(const std::function<bool(const QJsonObject &)> &check)
    {
        return QTest::qWaitFor([&] { return check(state()); }, kTimeoutMs);
    }
    // How many lines of the log so far contain text.
    int said(const QByteArray &text) { return int(errors().count(text)); }
};

} // namespace

// vornikd's port lost and found again: only its own device gets the chain's state, and the
// attempts to reopen it back off.
class TestVornikdReopen : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The adapter's path hung up and came back as another device: it is never sent a frame.
    void anotherDeviceAtThePortIsLeftAlone_data()
    {
        QTest::addColumn<bool>("reused");
        QTest::newRow("the path leads to another terminal") << false;
        QTest::newRow("the terminal's number given to the next one opened") << true;
    }
    void anotherDeviceAtThePortIsLeftAlone()
    {
        QFETCH(bool, reused);
        auto first = std::make_unique<PtyPair>();
        // Made while the first lives, so that it cannot take the first one's number.
        auto second = std::make_unique<PtyPair>();
        QVERIFY(first->isValid() && second->isValid());
        const QString link = m_dir.filePath(reused ? "pts" : "usb");
        const QString firstPath = first->slavePath();
        QVERIFY(QFile::link(firstPath, link));
        Daemon daemon(m_dir.path());
        QVERIFY(daemon.start(link));
        QCOMPARE(daemon.post("attributes", R"({"effects": "3", "text": "BACK"})"), 200);
        QVERIFY(first->readUntil(kBackFrame, kTimeoutMs).endsWith(kBackFrame));

        // Gone whole, the terminal's number is free at once.
        reused ? first.reset() : first->closeMaster();
        QVERIFY(daemon.stateBecomes(
                [](const QJsonObject &state) { return !state.value("open").toBool(true); }));
        QCOMPARE(daemon.post("message", R"({"text": "Lost"})"), 503);
        if (reused) {
            // The system gives the lowest free number: the next terminals take the first's.
            std::vector<std::unique_ptr<PtyPair>> taken;
            while (second->slavePath() != firstPath && taken.size() < 16) {
                taken.push_back(std::move(second));
                second = std::make_unique<PtyPair>();
            }
            if (second->slavePath() != firstPath)
                QSKIP("another program took the terminal's number");
        } else {
            QVERIFY(QFile::remove(link) && QFile::link(second->slavePath(), link));
        }
        const QString refusal = "is now another device";
        QVERIFY(daemon.stateBecomes([&](const QJsonObject &state) {
            return state.value("error").toString().contains(refusal);
        }));
        // Several more looks at the port find the stranger still there.
        const int seen = daemon.state().value("attempts").toInt();
        QVERIFY(daemon.stateBecomes([&](const QJsonObject &state) {
            return state.value("attempts").toInt() >= seen + 3;
        }));
        QCOMPARE(daemon.post("message", R"({"text": "Lost"})"), 503);
        QCOMPARE(second->readAvailable(), QByteArray());
        QVERIFY2(daemon.said(refusal.toUtf8()) == 1 && daemon.said("is lost") == 1,
                 daemon.errors().constData());
        QCOMPARE(daemon.said("is open"), 0);
    }

    // The port fails while its device stays; the link to it is gone for a while, and every
    // attempt to reopen it waits twice as long as the one before, up to 30 times the first
    // wait, with the loss said once. The same device back at the path gets the chain's state.
    void sameDeviceBackAfterBackingOff()
    {
        PtyPair line;
        QVERIFY(line.isValid());
        const QString link = m_dir.filePath("again");
        QVERIFY(QFile::link(line.slavePath(), link));
        Daemon daemon(m_dir.path());
        QVERIFY(daemon.start(link));
        QCOMPARE(daemon.post("attributes", R"({"effects": "3", "text": "BACK"})"), 200);
        QVERIFY(line.readUntil(kBackFrame, kTimeoutMs).endsWith(kBackFrame));

        QVERIFY(QFile::remove(link));
        QVERIFY(line.endProgramRead());
        QMap<int, int> waits; // attempts failed → the wait before the next
        QVERIFY(daemon.stateBecomes([&](const QJsonObject &state) {
            if (!state.value("open").toBool(true) && state.contains("retry_ms"))
                waits.insert(state.value("attempts").toInt(), state.value("retry_ms").toInt());
            return !waits.isEmpty() && waits.lastKey() >= 7;
        }));
        for (auto wait = waits.cbegin(); wait != waits.cend(); ++wait)
            QCOMPARE(wait.value(), std::min(kBaseMs << std::min(wait.key(), 5), 30 * kBaseMs));
        QVERIFY2(daemon.said("is lost") == 1 && daemon.said("vornikd:") == 1,
                 daemon.errors().constData());

        QVERIFY(QFile::link(line.slavePath(), link));
        QCOMPARE(line.readUntil(kBackFrame, kTimeoutMs), kState);
        QVERIFY(daemon.stateBecomes(
                [](const QJsonObject &state) { return state.value("open").toBool(); }));
        QVERIFY2(daemon.said("is open") == 1 && daemon.said("vornikd:") == 2,
                 daemon.errors().constData());
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestVornikdReopen)
#include "tst_vornikd_reopen.moc"
