#include "support/ptypair.h"
#include "support/serviceprocess.h"
#include "support/testhelpers.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

namespace {

constexpr int kTimeoutMs = 20000;
// A message that marks the end of what a step sent: the frames before it are the step's.
const QByteArray kMarkBody = R"({"text": "MARK"})";
const QByteArray kMarkFrame = "$B7MMARK  \r";

using Answer = ServiceProcess::Answer;

// The frames on line up to the marker message posted now.
QByteArray framesUntilMark(ServiceProcess &service, PtyPair &line)
{
    if (service.call("POST", "/api/v1/message", kMarkBody).status != 200)
        return "<marker refused>";
    const QByteArray seen = line.readUntil(kMarkFrame, kTimeoutMs);
    return seen.endsWith(kMarkFrame) ? seen.chopped(kMarkFrame.size()) : "<no marker>" + seen;
}

} // namespace

// vornikd as its clients see it: HTTP answers and the frames on a pseudo-terminal.
class TestVornikd : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(m_line.isValid());
        m_service = std::make_unique<ServiceProcess>(VORNIKD_PROGRAM, m_dir.filePath("token"));
        QVERIFY(m_service->start(m_line.slavePath()));
        // What the chain showed before is unknown: it is painted whole at once.
        QCOMPARE(m_line.readUntil("$B7M      \r", kTimeoutMs), freshChainPaint(6));
        // Made at first start, for its user alone.
        QCOMPARE(QFile::permissions(m_dir.filePath("token")),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    }

    void requests_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("body");
        // "token": the right one; "altered": it with its last character changed; "": none
        QTest::addColumn<QByteArray>("authorization");
        QTest::addColumn<QByteArray>("host"); // "": the client's own
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("answer"); // a part of the body
        QTest::addColumn<QByteArray>("frames");
        const auto row
                = [](const char *name, const QByteArray &method, const QString &path,
                     const QByteArray &body, int status, const QByteArray &answer,
                     const QByteArray &frames = {}, const QByteArray &authorization = "token",
                     const QByteArray &host = {}) {
                      QTest::newRow(name) << method << path << body << authorization << host
                                          << status << answer << frames;
                  };
        const QByteArray hello = R"({"text": "HELLO"})";
        // clang-format off
        row("message padded with blanks", "POST", "/api/v1/message", hello, 200, R"("queued":true)", "$B7MHELLO \r");
        row("a long message is cut, and the answer says so", "POST", "/api/v1/message", R"({"text": "HELLOWORLD"})", 200, R"("note":"cut to 6 digits; give \"scroll\" to show it all")", "$B7MHELLOW\r");
        row("a long text of attributes the same", "POST", "/api/v1/attributes", R"({"fonts": "1", "text": "HELLOWORLD"})", 200, R"("note":"cut to 6 digits)", "$B7F111111\r$B7MHELLOW\r");
        row("the action table", "GET", "/api/v1/actions", {}, 200, R"("http":"POST /api/v1/message")");
        row("info", "GET", "/api/v1/info", {}, 200, R"("chain":6)");
        row("refused character", "POST", "/api/v1/message", R"({"text": "HE中LO"})", 400, R"(message: no glyph for \"中\" (U+4E2D) at character 3)");
        row("refused attribute", "POST", "/api/v1/attributes", R"({"speeds": "12x"})", 400, R"(speeds: character \"x\" at position 3 is not a speed)");
        row("no text", "POST", "/api/v1/message", "{}", 400, "message needs a text");
        row("not JSON", "POST", "/api/v1/message", "{", 400, "the body is not JSON");
        row("unknown mode", "PUT", "/api/v1/mode", R"({"mode": "disco"})", 400, "mode takes one of");
        row("bad font file", "PUT", "/api/v1/font", "010 0101\r\n", 400, "font: ");
        row("unknown call", "GET", "/api/v1/nothing", {}, 404, "no such call");
        row("wrong method", "GET", "/api/v1/message", {}, 405, "use POST");
        row("no notification 99", "DELETE", "/api/v1/notify/99", {}, 404, "no notification 99");
        row("body over 64 KiB", "POST", "/api/v1/message", QByteArray(70 * 1024, ' '), 413, "larger than 64 KiB");
        row("request past the connection's bound", "POST", "/api/v1/message", QByteArray(1024 * 1024, ' '), 413, "request is larger than");
        row("no token", "POST", "/api/v1/message", hello, 401, "needs the API token", {}, "");
        row("wrong token", "POST", "/api/v1/message", hello, 401, "token is wrong", {}, "Bearer 0123");
        row("wrong token of the right length", "POST", "/api/v1/message", hello, 401, "token is wrong", {}, "altered");
        row("token in another scheme", "POST", "/api/v1/message", hello, 401, "needs the API token", {}, "Basic 0123");
        row("Host of another site", "POST", "/api/v1/message", hello, 421, "Host header must name this service", {}, "token", "evil.example");
        row("Host of another site with the port", "GET", "/api/v1/info", {}, 421, "Host header", {}, "token", "evil.example:8760");
        row("Host localhost with a port", "GET", "/api/v1/info", {}, 200, R"("open":true)", {}, "token", "localhost:1");
        row("Host [::1]", "GET", "/api/v1/info", {}, 200, R"("open":true)", {}, "token", "[::1]");
        row("page without a token", "GET", "/", {}, 200, "<html");
        // clang-format on
    }
    // Each request's answer and what it sent: refused ones send nothing.
    void requests()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, authorization);
        QFETCH(QByteArray, host);
        QFETCH(int, status);
        QFETCH(QByteArray, answer);
        QFETCH(QByteArray, frames);
        if (authorization == "altered") {
            QByteArray token = m_service->token();
            token.back() = token.back() == '0' ? '1' : '0';
            authorization = "Bearer " + token;
        }
        const Answer got = m_service->call(method, path, body, authorization, host);
        QVERIFY2(got.body.contains(answer), got.body.constData());
        QCOMPARE(got.status, status);
        // Every refusal is a JSON object with a readable error.
        if (status >= 400)
            QVERIFY2(!got.json().value("error").toString().isEmpty(), got.body.constData());
        QCOMPARE(framesUntilMark(*m_service, m_line), frames);
    }

    // The project's version, as every other program says it.
    void version()
    {
        QProcess vornikd;
        vornikd.start(VORNIKD_PROGRAM, {"--version"});
        QVERIFY(vornikd.waitForFinished(kTimeoutMs));
        QCOMPARE(vornikd.readAllStandardOutput(),
                 QByteArray("vornikd " VORNIK_VERSION_STRING "\n"));
    }

    // The manual page names each action's call and topic as the service serves its table.
    void manualListsTheActions()
    {
        const QJsonArray actions
                = m_service->call("GET", "/api/v1/actions").json().value("actions").toArray();
        QVERIFY(actions.size() >= 10);
        QString manual = QString::fromUtf8(readFile(QFINDTESTDATA("../docs/man/vornikd.1")));
        manual.remove(QRegularExpression("\\\\f[BIRP]")).replace("\\-", "-");
        for (const QJsonValue &action : actions) {
            const QString call = action["http"].toString().replace("{id}", "ID");
            const QString topic = action["mqtt"].toString();
            QVERIFY2(manual.contains(call), qPrintable(call));
            QVERIFY2(manual.contains(topic), qPrintable(topic));
        }
    }

    // The event stream tells a notification's start, then its end, then the state with what
    // was on show again.
    void eventsTellANotification()
    {
        QNetworkReply *events = m_service->send("GET", "/api/v1/events");
        QByteArray stream;
        connect(events, &QNetworkReply::readyRead, this, [&] { stream += events->readAll(); });
        // Also when a check fails, as the stream is read into this function's locals.
        const auto closeStream = qScopeGuard([&] {
            disconnect(events, nullptr, this, nullptr);
            events->abort();
            events->deleteLater();
        });
        QVERIFY(QTest::qWaitFor([&] { return stream.contains("event: state\ndata: {"); },
                                kTimeoutMs));
        QCOMPARE(m_service->call("POST", "/api/v1/message", R"({"text": "HELLO"})").status, 200);
        const Answer posted
                = m_service->call("POST", "/api/v1/notify", R"({"text": "Ring", "seconds": 1})");
        QCOMPARE(posted.status, 200);
        const QByteArray phase = "event: notification\ndata: {\"id\":"
                                 + QByteArray::number(posted.json().value("id").toInt())
                                 + ",\"phase\":\"";
        QVERIFY2(
                QTest::qWaitFor([&] { return stream.contains(phase + "finished\"}"); }, kTimeoutMs),
                stream.right(300).constData());
        const qsizetype started = stream.indexOf(phase + "started\"}");
        QVERIFY(started >= 0 && started < stream.indexOf(phase + "finished\"}"));
        QVERIFY(QTest::qWaitFor(
                [&] {
                    const qsizetype last = stream.lastIndexOf("event: state\ndata: ");
                    return stream.indexOf("\"message\":\"HELLO\",\"mode\":\"off\",\"notification\":"
                                          "null",
                                          last)
                           > last;
                },
                kTimeoutMs));
    }

    // A reload (SIGHUP) leaves the service running and paints the chain again, whole, after
    // what was asked before it, as that leaves the chain: the newest text.
    void reloadPaintsAgain()
    {
        PtyPair line;
        QVERIFY(line.isValid());
        ServiceProcess service(VORNIKD_PROGRAM, m_dir.filePath("token"));
        QVERIFY(service.start(line.slavePath(), {"--config", "/dev/null"}, "1"));
        QCOMPARE(line.readUntil("$B7M      \r", kTimeoutMs), freshChainPaint(6));
        for (const QByteArray text : {"ONE", "TWO", "THREE"})
            QCOMPARE(service.call("POST", "/api/v1/message", "{\"text\": \"" + text + "\"}").status,
                     200);
        ::kill(static_cast<pid_t>(service.processId()), SIGHUP);
        QVERIFY(QTest::qWaitFor([&] { return service.errors().contains("SIGHUP: "); }, kTimeoutMs));
        const QByteArray shown = "$B7MTHREE \r";
        const QByteArray paint = freshChainPaint(6).replace("$B7M      \r", shown);
        QCOMPARE(framesUntilMark(service, line), "$B7MONE   \r$B7MTWO   \r" + shown + paint);
    }

    // At the line's real pace: a full queue answers 429, a second upload 409.
    void refusedWhileBusy()
    {
        PtyPair line;
        QVERIFY(line.isValid());
        QVERIFY(writeFile(m_dir.filePath("busy.conf"), "queue = 2\n"));
        ServiceProcess busy(VORNIKD_PROGRAM, m_dir.filePath("token"));
        QVERIFY(busy.start(line.slavePath(), {"--config", m_dir.filePath("busy.conf")}, "1"));
        QList<QNetworkReply *> replies;
        for (int client = 0; client < 6; ++client)
            replies += busy.send("POST", "/api/v1/attributes",
                                 R"({"effects": "1", "speeds": "2", "text": "FULL"})");
        QList<int> statuses;
        QByteArray refusal;
        for (QNetworkReply *reply : replies) {
            const Answer answer = busy.wait(reply);
            statuses += answer.status;
            if (answer.status == 429)
                refusal = answer.body;
        }
        QVERIFY2(statuses.contains(200) && statuses.contains(429),
                 qPrintable(QString::number(statuses.count(429))));
        // A queue of two refuses the third waiting action, never a later one.
        QVERIFY2(refusal.contains("the queue is full (2 actions waiting)"), refusal.constData());

        QByteArray font;
        for (int code = 10; code <= 125; ++code)
            font += QByteArray::number(code).rightJustified(3, '0') + " 000000000000000\r\n";
        QVERIFY(QTest::qWaitFor(
                [&] {
                    return busy.call("GET", "/api/v1/state").json().value("queue").toInt() == 0;
                },
                kTimeoutMs));
        const Answer first = busy.call("PUT", "/api/v1/font", font);
        QCOMPARE(first.status, 202);
        const Answer second = busy.call("PUT", "/api/v1/font", font);
        QCOMPARE(second.status, 409);
        QVERIFY2(second.body.contains("upload is under way"), second.body.constData());
        const QString job = "/api/v1/jobs/" + QString::number(first.json().value("job").toInt());
        QVERIFY(QTest::qWaitFor(
                [&] { return busy.call("GET", job).json().value("sent").toInt() > 0; },
                kTimeoutMs));
    }

private:
    QTemporaryDir m_dir;
    PtyPair m_line;
    std::unique_ptr<ServiceProcess> m_service;
};

QTEST_GUILESS_MAIN(TestVornikd)
#include "tst_vornikd.moc"
