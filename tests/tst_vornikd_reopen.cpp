#include "support/ptypair.h"
#include "support/testhelpers.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kTimeoutMs = 20000;
// The shortened wait before the first reopening attempt; the waits double up to 30 of it.
constexpr int kBaseMs = 20;
const QByteArray kBackFrame = "$B7MBACK  \r";
// What a reopened line is sent: every attribute, then the characters.
const QByteArray kState = "$B7F000000\r$B7U000000\r$B7E333333\r$B7S000000\r" + kBackFrame;

// vornikd on a link that stands for /dev/ttyUSB0, with its log and the state it answers.
class Daemon
{
public:
    explicit Daemon(const QString &dir) : m_dir(dir) {}
    ~Daemon()
    {
        m_process.terminate();
        m_process.waitForFinished(kTimeoutMs);
    }

    bool start(const QString &device)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("VORNIK_PAUSE_SCALE", "0.02");
        environment.insert("VORNIK_REOPEN_MS", QString::number(kBaseMs));
        m_process.setProcessEnvironment(environment);
        m_process.start(
                QStringLiteral(VORNIKD_PROGRAM),
                {"--port", device, "--listen", "127.0.0.1:0", "--token-file", m_dir + "/token"});
        if (!QTest::qWaitFor([this] { return m_process.canReadLine(); }, kTimeoutMs))
            return false;
        const QByteArray first = m_process.readLine().trimmed();
        m_url = QString::fromUtf8(first.mid(first.indexOf("http")));
        m_token = readFile(m_dir + "/token").trimmed();
        return first.startsWith("listening on ") && !m_token.isEmpty();
    }

    int post(const QString &call, const QByteArray &body)
    {
        return finished(m_net.post(request(call), body)).first;
    }

    QJsonObject state()
    {
        return QJsonDocument::fromJson(finished(m_net.get(request("state"))).second).object();
    }

    // Polls the state until check holds.
    bool stateBecomes(const std::function<bool(const QJsonObject &)> &check)
    {
        return QTest::qWaitFor([&] { return check(state()); }, kTimeoutMs);
    }

    // How many lines of the log so far contain text.
    int said(const QByteArray &text)
    {
        m_log += m_process.readAllStandardError();
        return int(m_log.count(text));
    }
    QByteArray log() const { return m_log; }

private:
    QNetworkRequest request(const QString &call) const
    {
        QNetworkRequest request(QUrl(m_url + "api/v1/" + call));
        request.setRawHeader("Authorization", "Bearer " + m_token);
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        return request;
    }

    // The answer's status and body; an answer that never comes reads as status 0.
    static std::pair<int, QByteArray> finished(QNetworkReply *reply)
    {
        if (!QTest::qWaitFor([reply] { return reply->isFinished(); }, kTimeoutMs))
            reply->abort();
        const std::pair<int, QByteArray> answer{
                reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                reply->readAll()};
        reply->deleteLater();
        return answer;
    }

    QString m_dir;
    QProcess m_process;
    QString m_url;
    QByteArray m_token;
    QByteArray m_log;
    QNetworkAccessManager m_net;
};

} // namespace

// vornikd's port lost and found again: only its own device gets the chain's state, and the
// attempts to reopen it back off.
class TestVornikdReopen : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The adapter's path hung up and came back as another device: it is never sent a frame.
    void anotherDeviceAtThePortIsLeftAlone()
    {
        auto first = std::make_unique<PtyPair>();
        // Made while the first lives, so that it cannot take the first one's number.
        PtyPair second;
        QVERIFY(first->isValid() && second.isValid());
        // The far end is this process alone, so that closing it hangs the line up.
        ::fcntl(first->masterFd(), F_SETFD, FD_CLOEXEC);
        ::fcntl(second.masterFd(), F_SETFD, FD_CLOEXEC);
        const QString link = m_dir.filePath("usb");
        QVERIFY(QFile::link(first->slavePath(), link));
        Daemon daemon(m_dir.path());
        QVERIFY(daemon.start(link));
        QCOMPARE(daemon.post("attributes", R"({"effects": "3", "text": "Back"})"), 200);
        QVERIFY(first->readUntil(kBackFrame, kTimeoutMs).endsWith(kBackFrame));

        first->closeMaster();
        QVERIFY(daemon.stateBecomes(
                [](const QJsonObject &state) { return !state.value("open").toBool(true); }));
        QCOMPARE(daemon.post("message", R"({"text": "Lost"})"), 503);
        QVERIFY(QFile::remove(link) && QFile::link(second.slavePath(), link));
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
        QCOMPARE(second.readAvailable(), QByteArray());
        QVERIFY2(daemon.said(refusal.toUtf8()) == 1 && daemon.said("is lost") == 1,
                 daemon.log().constData());
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
        QCOMPARE(daemon.post("attributes", R"({"effects": "3", "text": "Back"})"), 200);
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
                 daemon.log().constData());

        QVERIFY(QFile::link(line.slavePath(), link));
        QCOMPARE(line.readUntil(kBackFrame, kTimeoutMs), kState);
        QVERIFY(daemon.stateBecomes(
                [](const QJsonObject &state) { return state.value("open").toBool(); }));
        QVERIFY2(daemon.said("is open") == 1 && daemon.said("vornikd:") == 2,
                 daemon.log().constData());
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestVornikdReopen)
#include "tst_vornikd_reopen.moc"
