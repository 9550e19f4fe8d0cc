#include "support/mqttsubscriber.h"
#include "support/ptypair.h"
#include "support/runningprogram.h"
#include "support/serviceprocess.h"
#include "support/testhelpers.h"

#include "protocol/framedecoder.h"
#include "session/chainstate.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <numeric>

namespace {

constexpr int kDigits = 10;
constexpr int kWaitMs = 20000;
const QString kPrefix = "vornik/soak/";
const QByteArray kRowLetters = "FUES"; // fonts, underscores, effects, speeds

int environmentNumber(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

// A process's VmRSS in kB and its count of open descriptors, from /proc; -1 when it is gone.
qint64 residentKb(qint64 pid)
{
    static const QRegularExpression rss("VmRSS:\\s+(\\d+) kB");
    const QRegularExpressionMatch match
            = rss.match(QString::fromLatin1(readFile(QStringLiteral("/proc/%1/status").arg(pid))));
    return pid > 0 && match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

int openDescriptors(qint64 pid)
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    return pid > 0 && fds.exists() ? int(
                   fds.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size())
                                   : -1;
}

QString percent(qint64 part, qint64 whole)
{
    const double share = whole ? 100.0 * double(part) / double(whole) : 100.0;
    return QStringLiteral("%1/%2 (%3 %)").arg(part).arg(whole).arg(share, 0, 'f', 2);
}

QString listed(const QMap<QString, int> &counts)
{
    QStringList parts;
    for (auto it = counts.begin(); it != counts.end(); ++it)
        parts += QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
    return parts.join(", ");
}

// An attributes action: every row given, and a text of its own ("T" and a number, which no
// other client sends), so that its frames can be told from every other.
struct Tagged
{
    QByteArray rows[4];
    QByteArray text;
    QByteArray body() const
    {
        QJsonObject json{{"text", QString(text)}};
        for (int row = 0; row < 4; ++row)
            json[QStringList{"fonts", "underscores", "effects", "speeds"}[row]]
                    = QString(rows[row]);
        return QJsonDocument(json).toJson(QJsonDocument::Compact);
    }
};

// What the soak counted.
struct Tally
{
    QMap<QString, int> sent, answered, refusals, faults; // by path: HTTP, MQTT, vornikctl
    qint64 frames = 0, malformed = 0, notOurs = 0, events = 0, badEvents = 0;
    int tagged = 0, interleaved = 0, cutByFault = 0, quiet = 0, matched = 0, neverQuiet = 0;
    int brokerBack = 0;   // restarts after which vornikd was online again in time
    QStringList problems; // the first few, word for word
    void problem(const QString &what)
    {
        if (problems.size() < 12)
            problems += what;
    }
    // A client's action by path: answered (done, or refused with a reason) or not.
    void outcome(const QString &path, bool wasAnswered, const QString &refusal, const QString &what)
    {
        ++sent[path];
        answered[path] += wasAnswered;
        if (!refusal.isEmpty())
            ++refusals[path + ' ' + refusal];
        if (!wasAnswered)
            problem(path + ' ' + what);
    }
};

} // namespace

// vornikd behind a link to a pseudo-terminal, driven for VORNIK_SOAK_SECONDS by random clients
// over HTTP, the event stream, MQTT and vornikctl --service while the line hangs up, the link
// turns to another device, the broker restarts, clients vanish, sockets pile up and SIGHUP
// comes; judged by its answers, the frames on the line and the chain at every quiet point.
class TestSoak : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void soak()
    {
        const int seconds = environmentNumber("VORNIK_SOAK_SECONDS", 60);
        m_rng.seed(quint32(environmentNumber("VORNIK_SOAK_SEED", 1)));
        QVERIFY(m_dir.isValid() && m_line.isValid() && m_other.isValid());
        QVERIFY(QFile::link(m_line.slavePath(), m_link));
        // Small limits, so that the pile of sockets meets them within seconds.
        QVERIFY(writeFile(m_dir.filePath("vornikd.conf"),
                          "max-clients = 24\nmax-per-address = 4\nrequest-timeout = 2\n"));
        qputenv("VORNIK_REOPEN_MS", "50");
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        m_brokerPort = probe.serverPort();
        probe.close();
        QVERIFY2(startBroker(), "mosquitto did not start");
        QVERIFY2(startService(0), "vornikd did not start");
        connect(new QSocketNotifier(m_line.masterFd(), QSocketNotifier::Read, this),
                &QSocketNotifier::activated, this, [this] { decode(m_line.readAvailable()); });
        connect(new QSocketNotifier(m_other.masterFd(), QSocketNotifier::Read, this),
                &QSocketNotifier::activated, this,
                [this] { m_t.notOurs += m_other.readAvailable().size(); });
        // Memory is measured from a quiet point after the warm-up, when the code's paths have
        // all been taken once and their pages are in.
        m_warmUpMs = std::min(60000LL, seconds * 100LL);
        m_clock.start();
        for (int round = 1; m_clock.elapsed() < seconds * 1000LL && round < 1000000; ++round) {
            traffic();
            if (round % 7 == 0)
                fault(m_rng.bounded(6));
            if (round % 5 == 0)
                quietPoint();
        }
        quietPoint();
        report(seconds);
    }

private:
    bool startBroker()
    {
        m_subscriber = std::make_unique<MqttSubscriber>();
        const bool up = m_broker.start("mosquitto", {"-p", QString::number(m_brokerPort)})
                        && QTest::qWaitFor(
                                [this] {
                                    QTcpSocket socket;
                                    socket.connectToHost(QHostAddress::LocalHost, m_brokerPort);
                                    return socket.waitForConnected(200);
                                },
                                kWaitMs);
        return up && m_subscriber->start(m_brokerPort, kPrefix + '#');
    }

    // vornikd on the link; true once it listens and is online on the broker (after from).
    bool startService(qsizetype from)
    {
        const QString broker = "127.0.0.1:" + QString::number(m_brokerPort);
        // At the line's own pace.
        if (!m_service.start(m_link,
                             {"--chain", QString::number(kDigits), "--config",
                              m_dir.filePath("vornikd.conf"), "--mqtt", broker, "--id", "soak"},
                             "1"))
            return false;
        m_baseRss = -1;
        openEvents();
        return m_subscriber->waitForPart(kPrefix + "availability", "online", from, {});
    }

    // The line as the far end reads it: each frame judged, decoded and checked for its place.
    // The attribute frames just before a tagged text are its own, and a tagged action's text
    // never comes after some of its frames went out before another text.
    void decode(const QByteArray &bytes)
    {
        for (const DecodedFrame &frame : m_decoder.feed(bytes)) {
            ++m_t.frames;
            if (frame.kind != DecodedFrame::Kind::Command) {
                ++m_t.malformed;
                m_t.problem("malformed: " + frame.problem + ' ' + escapedBytes(frame.skipped));
                continue;
            }
            (void)m_chain.apply(frame);
            m_recent = (m_recent + ' ' + escapedBytes(frame.letter + frame.argument)).right(400);
            const int row = kRowLetters.indexOf(frame.letter);
            if (row >= 0) {
                m_run += frame;
                continue;
            }
            const QByteArray text = frame.letter == 'M' ? frame.argument.trimmed() : QByteArray();
            // Frames around a fault: the rest of a cut action, the chain's state sent again.
            if (std::exchange(m_cut, false))
                m_run.clear();
            for (const DecodedFrame &done : std::as_const(m_run)) {
                const QByteArray owner = m_owners.value(done.letter + done.argument);
                const QString seen = QStringLiteral("%1 before %2")
                                             .arg(escapedBytes(done.letter + done.argument),
                                                  escapedBytes(frame.letter + frame.argument));
                // Judged where the action's text first shows: later it comes again with what
                // the chain shows then (a paint after a reload, a return after a notification).
                if (m_pending.contains(text)
                    && m_tags.value(text).rows[kRowLetters.indexOf(done.letter)] != done.argument)
                    ++m_t.interleaved, m_t.problem("out of place: " + seen + " in" + m_recent);
                else if (owner != text && m_pending.contains(owner))
                    m_split.insert(owner, seen); // a later text shown with its rows is no fault
            }
            if (m_split.contains(text)) // but its own text after it is
                ++m_t.interleaved, m_t.problem("split: " + m_split.take(text) + " in" + m_recent);
            m_t.tagged += m_pending.remove(text);
            m_run.clear();
        }
    }

    // A fault may cut the action on the line short: what came before is judged now, the frames
    // up to the next text are not, and the actions waiting for their text are let go.
    void cutRun()
    {
        decode(m_line.readAvailable());
        m_cut = true;
        m_t.cutByFault += int(m_pending.size());
        m_pending.clear();
        m_split.clear();
    }

    Tagged tagged()
    {
        Tagged action;
        action.text = "T" + QByteArray::number(++m_tagCount).rightJustified(5, '0');
        action.rows[0] = '7' + QByteArray::number(m_tagCount).rightJustified(9, '0');
        for (int row = 1; row < 4; ++row)
            for (int digit = 0; digit < kDigits; ++digit)
                action.rows[row] += char('0' + m_rng.bounded(row == 1 ? 2 : 10));
        m_tags.insert(action.text, action);
        m_pending.insert(action.text);
        for (int row : {0, 2, 3}) // the underscores of two actions may well be the same
            m_owners.insert(kRowLetters[row] + action.rows[row], action.text);
        return action;
    }

    QString text(int longest)
    {
        static const QByteArray letters = "ABCDEFGHIJKLMNOPQRSUVWXYZ  ";
        QString text = "S";
        for (int i = m_rng.bounded(longest); i > 0; --i)
            text += QChar(letters.at(m_rng.bounded(letters.size())));
        return text;
    }

    // One HTTP request: its answer must have a status and a JSON object, a refusal an "error".
    // The answer goes to into, if given.
    void request(const QByteArray &method, const QString &path, const QByteArray &body,
                 const std::shared_ptr<QJsonObject> &into = {}, bool token = true)
    {
        QNetworkRequest request(QUrl(m_service.url() + path.mid(1)));
        request.setRawHeader("Authorization", "Bearer " + (token ? m_service.token() : "wrong"));
        request.setRawHeader("Connection", "close");
        QNetworkReply *reply = m_net.sendCustomRequest(request, method, body);
        ++m_inFlight;
        connect(reply, &QNetworkReply::finished, this, [=] {
            --m_inFlight;
            reply->deleteLater();
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            const QByteArray said = reply->readAll();
            const QJsonObject json = QJsonDocument::fromJson(said).object();
            if (into)
                *into = json.isEmpty() ? QJsonObject{{"", status}} : json;
            m_t.outcome("HTTP",
                        status > 0 && !json.isEmpty() && (status < 400 || json["error"].isString()),
                        status >= 400 ? QString::number(status) : QString(),
                        method + ' ' + path + ' ' + body + ": " + said + reply->errorString());
            if (status >= 400 && path.endsWith("attributes"))
                m_pending.remove(QJsonDocument::fromJson(body)["text"].toString().toLatin1());
            if (json.contains("id") && path.endsWith("notify") && m_notices.size() < 32)
                m_notices += json["id"].toInt();
        });
    }

    QJsonObject call(const QByteArray &method, const QString &path, const QByteArray &body = {})
    {
        const auto answer = std::make_shared<QJsonObject>();
        request(method, path, body, answer);
        (void)QTest::qWaitFor([&] { return !answer->isEmpty(); }, kWaitMs);
        return *answer;
    }

    void randomRequest()
    {
        const int roll = m_rng.bounded(100);
        QJsonObject body{{"text", text(m_rng.bounded(3) ? kDigits : kDigits + 6)}};
        if (roll < 5)
            body["text"] = "BAD~"; // a character no digit shows
        if (roll < 25 && body["text"].toString().size() > kDigits && m_rng.bounded(2))
            body["scroll"] = QJsonObject{{"rate", 50}, {"passes", 1}};
        if (roll >= 40)
            body["seconds"] = 1, body["priority"] = m_rng.bounded(4);
        const QByteArray json = QJsonDocument(body).toJson();
        static const char *const modes[]
                = {R"({"mode": "count", "from": 7, "delay": 50})", R"({"mode": "clock"})",
                   R"({"mode": "test"})", R"({"mode": "off"})", R"({"mode": "dance"})"};
        const int notice = roll >= 52 && !m_notices.isEmpty() ? m_notices.takeFirst() : 999;
        if (roll < 25)
            request("POST", "/api/v1/message", json);
        else if (roll < 40)
            request("POST", "/api/v1/attributes", tagged().body());
        else if (roll < 52)
            request("POST", "/api/v1/notify", json);
        else if (roll < 57) // (an id that has ended: 404)
            request("DELETE", "/api/v1/notify/" + QString::number(notice), {});
        else if (roll < 65)
            request("PUT", "/api/v1/mode", modes[m_rng.bounded(5)]);
        else if (roll < 72)
            request("POST", "/api/v1/blank", {});
        else if (roll < 88)
            request("GET", m_rng.bounded(2) ? "/api/v1/state" : "/api/v1/info", {});
        else // refused: a wrong token, broken JSON, no such call, a wrong method
            request(roll < 94 ? "POST" : "PATCH", roll < 91 ? "/api/v1/message" : "/api/v1/no",
                    roll % 2 ? "{\"text\": " : "{}", {}, roll != 88);
    }

    // A burst of HTTP requests, and now and then an MQTT message and a vornikctl beside them.
    void traffic()
    {
        if (!m_events)
            openEvents();
        for (int i = m_rng.bounded(1, 7); i > 0; --i)
            randomRequest();
        QProcess ctl;
        const int roll = m_rng.bounded(12);
        if (roll < 3) {
            const Tagged action = roll ? Tagged() : tagged();
            const QStringList arguments
                    = roll == 2 ? QStringList{"message", text(kDigits)}
                      : roll    ? QStringList{"message", "BAD~"}
                                : QStringList{"attributes",   "--fonts",      action.rows[0],
                                           "--underscore", action.rows[1], "--effects",
                                           action.rows[2], "--speeds",     action.rows[3],
                                           "--message",    action.text};
            ctl.start(VORNIKCTL_PROGRAM, QStringList{"--service", m_service.url(), "--token-file",
                                                     m_service.tokenFile()}
                                                 + arguments);
        }
        if (roll % 3 == 0 && m_subscriber->last(kPrefix + "availability") == "online")
            mqttTurn();
        (void)QTest::qWaitFor(
                [&] { return m_inFlight == 0 && ctl.state() == QProcess::NotRunning; }, kWaitMs);
        if (roll >= 3)
            return;
        const QByteArray said = ctl.readAllStandardError();
        const int status = ctl.exitStatus() == QProcess::NormalExit ? ctl.exitCode() : -1;
        m_t.outcome("vornikctl", status == 0 || (status > 0 && said.startsWith("vornikctl: ")),
                    status > 0 ? QString::number(status) : QString(),
                    ctl.arguments().mid(4).join(' ') + ": " + said);
        if (status != 0)
            m_pending.remove(ctl.arguments().constLast().toLatin1());
    }

    bool publish(const QString &topic, const QByteArray &payload)
    {
        QProcess pub;
        pub.start("mosquitto_pub", {"-h", "127.0.0.1", "-p", QString::number(m_brokerPort), "-t",
                                    kPrefix + topic, "-s"});
        pub.write(payload);
        pub.closeWriteChannel();
        (void)QTest::qWaitFor([&] { return pub.state() == QProcess::NotRunning; }, kWaitMs);
        return pub.exitStatus() == QProcess::NormalExit && pub.exitCode() == 0;
    }

    // An MQTT message, then one vornikd refuses: once that one's error is out, the first was
    // taken, or refused with its own error.
    void mqttTurn()
    {
        static const QStringList topics{"message/set", "notify", "blank", "mode/set",
                                        "attributes/set"};
        const QString topic = topics.at(m_rng.bounded(topics.size()));
        const bool bad = topic != "blank" && m_rng.bounded(4) == 0;
        const Tagged action = topic == "attributes/set" && !bad ? tagged() : Tagged();
        QByteArray payload = topic == "notify" ? R"({"text": "RING", "seconds": 1})" : "off";
        if (topic == "message/set" || topic == "blank")
            payload = text(kDigits).toLatin1();
        payload = bad ? "{\"broken" : action.text.isEmpty() ? payload : action.body();
        const qsizetype from = m_subscriber->count();
        const bool taken = publish(topic, payload) && publish("attributes/set", "{}")
                           && m_subscriber->waitForPart(kPrefix + "error", "needs", from, {});
        bool refused = false;
        for (const auto &[on, said] : m_subscriber->since(from))
            refused = refused
                      || (on.endsWith("/error") && said.contains(topic.toLatin1())
                          && !said.contains("attributes needs"));
        m_t.outcome("MQTT", taken && (refused || !bad), refused ? "error" : "",
                    topic + ' ' + payload + (taken ? ": taken without an error" : ": no answer"));
        if (refused)
            m_pending.remove(action.text);
    }

    void openEvents()
    {
        QNetworkRequest request(QUrl(m_service.url() + "api/v1/events"));
        request.setRawHeader("Authorization", "Bearer " + m_service.token());
        QNetworkReply *reply = m_events = m_net.get(request);
        connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
            m_eventBytes += reply->readAll();
            for (qsizetype end; (end = m_eventBytes.indexOf("\n\n")) >= 0;
                 m_eventBytes.remove(0, end + 2)) {
                const QByteArray block = m_eventBytes.left(end);
                if (block.startsWith(':')) // a comment that keeps the stream alive
                    continue;
                QJsonParseError error{};
                const qsizetype data = block.indexOf("data: ");
                QJsonDocument::fromJson(block.mid(data + 6), &error);
                const bool good = data >= 0 && error.error == QJsonParseError::NoError;
                ++(good ? m_t.events : m_t.badEvents);
                if (!good)
                    m_t.problem("event: " + escapedBytes(block));
            }
        });
        connect(reply, &QNetworkReply::finished, this, [this, reply] {
            if (m_events == reply)
                m_events = nullptr, m_eventBytes.clear();
            reply->deleteLater();
        });
    }

    void fault(int kind)
    {
        static const QStringList names
                = QStringLiteral(
                          "line hung up, same device|path turned to another device|broker "
                          "restarted|"
                          "clients vanished mid-request|idle and slow sockets piled up|SIGHUP")
                          .split('|');
        ++m_t.faults[names[kind]];
        if (kind <= 1) {
            cutRun();
            const bool other = kind == 1 && QFile::remove(m_link)
                               && QFile::link(m_other.slavePath(), m_link);
            if (!m_line.endProgramRead())
                m_t.problem("the line's read did not end");
            if (!other)
                return;
            (void)QTest::qWaitFor([this] { return call("GET", "/api/v1/state")["open"] == false; },
                                  kWaitMs);
            traffic();
            traffic();
            QFile::remove(m_link);
            QFile::link(m_line.slavePath(), m_link);
        } else if (kind == 2) {
            m_broker.stop(true);
            const bool back
                    = startBroker()
                      && m_subscriber->waitForPart(kPrefix + "availability", "online", 0, {});
            m_t.brokerBack += back;
            if (!back)
                m_t.problem("vornikd not online after the broker's restart");
        } else if (kind == 3) {
            for (int i = 0; i < 4; ++i) { // the last sends a whole request and goes
                QTcpSocket socket;
                socket.connectToHost(QHostAddress::LocalHost,
                                     quint16(QUrl(m_service.url()).port()));
                const QByteArray body = i == 3 ? R"({"text": "GONE"})" : "{\"text\": \"GO";
                if (socket.waitForConnected(kWaitMs))
                    socket.write("POST /api/v1/message HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                 "Authorization: Bearer "
                                 + m_service.token() + "\r\nContent-Length: 16\r\n\r\n" + body);
                socket.waitForBytesWritten(kWaitMs);
            }
        } else if (kind == 4) {
            std::vector<std::unique_ptr<QTcpSocket>> pile;
            for (int i = 0; i < 40; ++i) { // idle ones, and slow ones that stop mid-line
                pile.push_back(std::make_unique<QTcpSocket>());
                pile.back()->bind(QHostAddress(QStringLiteral("127.0.0.%1").arg(2 + i % 8)));
                pile.back()->connectToHost(QHostAddress::LocalHost,
                                           quint16(QUrl(m_service.url()).port()));
                if (i % 2)
                    pile.back()->write("GET /api/v1/state HTTP/1.1\r\nHo");
            }
            traffic();
            traffic();
            for (const auto &socket : pile)
                m_t.faults["piled sockets vornikd dropped"]
                        += !socket->isOpen()
                           || socket->state() == QAbstractSocket::UnconnectedState;
        } else {
            // A reload: the service carries on and paints the chain again.
            const int said = int(m_service.errors().count("SIGHUP: "));
            ::kill(static_cast<pid_t>(m_service.processId()), SIGHUP);
            if (QTest::qWaitFor([&] { return int(m_service.errors().count("SIGHUP: ")) > said; },
                                kWaitMs)
                && m_service.isRunning())
                return;
            ++m_t.faults["vornikd ended on SIGHUP, started again"];
            m_t.problem("vornikd did not carry on after SIGHUP");
            const qsizetype from = m_subscriber->count();
            cutRun();
            if (!m_service.isRunning() && !startService(from))
                m_t.problem("vornikd did not start again after SIGHUP");
        }
    }

    // Where the chain decoded from the line and the state's digits differ; empty for nowhere.
    QString difference(const QJsonObject &state) const
    {
        static const QStringList keys{"character", "font", "underscore", "effect", "speed"};
        const QByteArray chain[5]{m_chain.characters(), m_chain.fonts(), m_chain.underscores(),
                                  m_chain.effects(), m_chain.speeds()};
        QString found;
        for (int key = 0; key < 5; ++key) {
            QByteArray served;
            for (const QJsonValue &digit : state["digits"].toArray())
                served += digit[keys[key]].toString().toLatin1();
            if (served != chain[key])
                found += QStringLiteral("%1s: chain \"%2\", state \"%3\"; ")
                                 .arg(keys[key], chain[key], served);
        }
        return found;
    }

    // A client turns a mode off and dismisses what shows; once the service is idle with nothing
    // moving, the chain shows what the state says.
    void quietPoint()
    {
        QJsonObject state;
        const bool quiet = QTest::qWaitFor(
                [&] {
                    state = call("GET", "/api/v1/state");
                    const QJsonValue notice = state["notification"];
                    if (state["mode"] != "off")
                        call("PUT", "/api/v1/mode", R"({"mode": "off"})");
                    else if (notice.isObject())
                        call("DELETE", "/api/v1/notify/" + QString::number(notice["id"].toInt()));
                    return state["open"] == true && state["queue"] == 0 && state["job"].isNull()
                           && notice.isNull() && state["scrolling"] == false
                           && state["mode"] == "off";
                },
                kWaitMs);
        if (!quiet) {
            ++m_t.neverQuiet;
            return m_t.problem("never quiet: " + QJsonDocument(state).toJson());
        }
        QString differs;
        const bool same = QTest::qWaitFor(
                [&] { return (differs = difference(call("GET", "/api/v1/state"))).isEmpty(); },
                kWaitMs / 4);
        ++m_t.quiet;
        m_t.matched += same;
        if (!same)
            m_t.problem(QStringLiteral("quiet point %1: %2").arg(m_t.quiet).arg(differs));
        if (m_baseRss < 0 && m_clock.elapsed() >= m_warmUpMs) {
            m_baseRss = residentKb(m_service.processId());
            m_baseFds = openDescriptors(m_service.processId());
            m_baseActions = actions();
        }
    }

    qint64 actions() const { return std::accumulate(m_t.sent.begin(), m_t.sent.end(), qint64(0)); }

    void report(int seconds)
    {
        const qint64 rss = residentKb(m_service.processId()), since = actions() - m_baseActions;
        const int fds = openDescriptors(m_service.processId());
        const double growth = since ? double(rss - m_baseRss) * 100000.0 / double(since) : 0.0;
        const int judged = qEnvironmentVariable("VORNIK_SOAK_JUDGE") == "all" ? 1 : 2;
        QStringList rows{"| What | Result | Verdict |", "|---|---|---|"}, answered;
        const auto row = [&](const QString &what, const QString &result, int verdict) {
            const char *said[] = {"FAIL", "pass", "reported"};
            rows += QStringLiteral("| %1 | %2 | %3 |").arg(what, result, said[verdict]);
        };
        for (auto it = m_t.sent.begin(); it != m_t.sent.end(); ++it)
            answered += it.key() + ' ' + percent(m_t.answered[it.key()], it.value());
        row("Requests answered or refused with a reason (goal 100 %)", answered.join(", "),
            m_t.answered == m_t.sent);
        row("Refusals, by path and reason", listed(m_t.refusals), 2);
        row("Frames well-formed (goal 100 %)", percent(m_t.frames - m_t.malformed, m_t.frames),
            m_t.malformed == 0);
        row("Attributes actions contiguous (goal 100 %)",
            QString::asprintf("%d seen whole, %d frames out of place (%d cut short by a fault)",
                              m_t.tagged, m_t.interleaved, m_t.cutByFault),
            m_t.interleaved == 0);
        row("Bytes to a device that is not ours (goal 0)", QString::number(m_t.notOurs),
            m_t.notOurs == 0);
        row("Quiet points: the chain as the state says (goal 100 %)",
            percent(m_t.matched, m_t.quiet)
                    + QStringLiteral(", never quiet %1").arg(m_t.neverQuiet),
            m_t.matched == m_t.quiet && m_t.neverQuiet == 0);
        const int restarts = m_t.faults.value("broker restarted");
        row("Online again within 20 s of each broker restart (goal 100 %)",
            percent(m_t.brokerBack, restarts), m_t.brokerBack == restarts);
        row("Events on the stream well-formed", percent(m_t.events, m_t.events + m_t.badEvents),
            m_t.badEvents == 0);
        row("vornikd's resident memory (goal < 1 MB per 100,000 actions)",
            QString::asprintf("%lld kB, %lld kB after %lld actions: %.0f kB per 100,000", m_baseRss,
                              rss, since, growth),
            judged == 1 ? growth < 1024 : 2);
        row("vornikd's open descriptors (goal flat)",
            QString::asprintf("%d, %d at the end", m_baseFds, fds),
            judged == 1 ? fds <= m_baseFds + 2 : 2);
        row("Faults injected", listed(m_t.faults), 2);
        std::printf("\nSoak of %d s, seed %d: %lld client actions; memory and descriptors from the "
                    "first quiet point after %lld s of warm-up.\n\n%s\n\n",
                    seconds, environmentNumber("VORNIK_SOAK_SEED", 1), actions(), m_warmUpMs / 1000,
                    qPrintable(rows.join('\n')));
        std::fflush(stdout);
        const QString problems = "noted:\n" + m_t.problems.join('\n');
        QVERIFY2(!rows.join('\n').contains("| FAIL |"), qPrintable(problems));
        if (!m_t.problems.isEmpty())
            qInfo().noquote() << problems;
    }

    QTemporaryDir m_dir;
    const QString m_link = m_dir.filePath("ttyVORNIK");
    PtyPair m_line;
    PtyPair m_other; // what the link turns to: never ours
    FrameDecoder m_decoder;
    ChainState m_chain{kDigits};
    QList<DecodedFrame> m_run;              // attribute frames since the last other frame
    QHash<QByteArray, Tagged> m_tags;       // by their text
    QHash<QByteArray, QByteArray> m_owners; // an F, E or S frame's letter and argument: its text
    QSet<QByteArray> m_pending;             // taken, its text not yet on the line
    QHash<QByteArray, QString> m_split;     // pending, some of its frames before another text
    QString m_recent;                       // the last frames, for a failure's message
    bool m_cut = false;                     // a fault came since the last text
    int m_tagCount = 0;
    QRandomGenerator m_rng;
    quint16 m_brokerPort = 0;
    RunningProgram m_broker;
    std::unique_ptr<MqttSubscriber> m_subscriber;
    ServiceProcess m_service{VORNIKD_PROGRAM, m_dir.filePath("token")};
    QNetworkAccessManager m_net;
    QNetworkReply *m_events = nullptr;
    QByteArray m_eventBytes;
    QList<int> m_notices;
    int m_inFlight = 0;
    Tally m_t;
    QElapsedTimer m_clock;
    qint64 m_warmUpMs = 0;
    qint64 m_baseRss = -1;
    int m_baseFds = 0;
    qint64 m_baseActions = 0;
};

QTEST_GUILESS_MAIN(TestSoak)
#include "tst_soak.moc"
