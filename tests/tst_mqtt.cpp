#include "support/mqttsubscriber.h"
#include "support/ptypair.h"
#include "support/runningprogram.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

constexpr int kTimeoutMs = 20000;
const QString kPrefix = "vornik/test";
const QByteArray kMarkFrame = "$B7MMARK  \r";

// Home Assistant's documented keys per MQTT component that the discovery may use, required
// ones first (count in required).
struct Documented
{
    QStringList keys;
    int required;
};
const QHash<QString, Documented> kDocumented{
        {"text",
         {{"command_topic", "name", "unique_id", "availability_topic", "device", "state_topic",
           "min", "max", "mode", "pattern"},
          1}},
        {"notify", {{"command_topic", "name", "unique_id", "availability_topic", "device"}, 1}},
        {"select",
         {{"command_topic", "options", "name", "unique_id", "availability_topic", "device",
           "state_topic"},
          2}},
        {"button",
         {{"command_topic", "name", "unique_id", "availability_topic", "device", "payload_press"},
          1}},
        {"sensor",
         {{"state_topic", "name", "unique_id", "availability_topic", "device", "value_template"},
          1}}};
const QStringList kDeviceKeys{"identifiers", "name",       "manufacturer",
                              "model",       "sw_version", "configuration_url"};

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

} // namespace

// vornikd on a real broker (Debian's mosquitto on a loopback port) and a pseudo-terminal:
// the discovery Home Assistant reads, the frames each topic puts on the line, the state
// published back, and the service or the broker going away and coming back.
class TestMqtt : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // The installer brings the broker and its clients: without them this fails.
        for (const char *program : {"mosquitto", "mosquitto_sub", "mosquitto_pub"})
            QVERIFY2(!QStandardPaths::findExecutable(program, {"/usr/sbin", "/usr/bin"}).isEmpty(),
                     program);
        QVERIFY(m_dir.isValid() && m_line.isValid());
        m_port = freePort();
        QVERIFY(startBroker());
        QVERIFY(m_all.start(m_port, "vornik/#"));
        QVERIFY(m_discovery.start(m_port, "homeassistant/#"));
        QVERIFY(startService());
    }

    void discoveryDescribesOneDevice()
    {
        QVERIFY(QTest::qWaitFor([&] { return m_discovery.count() >= 6; }, kTimeoutMs));
        QSet<QString> uniqueIds;
        QSet<QByteArray> devices;
        QStringList components;
        for (const auto &[topic, payload] : m_discovery.since(0)) {
            static const QRegularExpression path("^homeassistant/(\\w+)/test/(\\w+)/config$");
            const QRegularExpressionMatch match = path.match(topic);
            QVERIFY2(match.hasMatch(), qPrintable(topic));
            QJsonParseError error;
            const QJsonObject config = QJsonDocument::fromJson(payload, &error).object();
            QVERIFY2(error.error == QJsonParseError::NoError, payload.constData());
            const QString component = match.captured(1);
            QVERIFY2(kDocumented.contains(component), qPrintable(component));
            const Documented &documented = kDocumented.value(component);
            for (const QString &key : documented.keys.mid(0, documented.required))
                QVERIFY2(config.contains(key), qPrintable(topic + " lacks " + key));
            for (const QString &key : config.keys())
                QVERIFY2(documented.keys.contains(key), qPrintable(topic + ": " + key));
            for (const QString &key : config.value("device").toObject().keys())
                QVERIFY2(kDeviceKeys.contains(key), qPrintable("device: " + key));
            // Listening on loopback alone, there is no page another machine could open.
            QVERIFY(!config.value("device").toObject().contains("configuration_url"));
            QCOMPARE(config.value("availability_topic").toString(), kPrefix + "/availability");
            uniqueIds.insert(config.value("unique_id").toString());
            devices.insert(QJsonDocument(config.value("device").toObject()).toJson());
            components.append(component);
            if (component == "text") {
                // Home Assistant refuses what the message field would.
                const QRegularExpression pattern(config.value("pattern").toString());
                // Python's "$" and PCRE's match before a trailing newline; "!" is taken by the
                // field but never shown.
                QVERIFY(pattern.match("Hello 12:30").hasMatch());
                for (const char *refused : {"HE~LO", "HI!", "A\n"})
                    QVERIFY2(!pattern.match(refused).hasMatch(), refused);
            }
        }
        components.sort();
        QCOMPARE(components,
                 QStringList({"button", "button", "notify", "select", "sensor", "text"}));
        QCOMPARE(uniqueIds.size(), 6);
        QCOMPARE(devices.size(), 1);
    }

    void topicsDriveTheLine_data()
    {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("frames"); // before the next message
        QTest::addColumn<QByteArray>("error");  // a part of the error published; "" for none
        // clang-format off
        QTest::newRow("message") << "message/set" << QByteArray("Hello") << QByteArray("$B7MHELLO \r") << QByteArray();
        QTest::newRow("message as JSON") << "message/set" << QByteArray(R"({"text": "Hi", "pad": "last"})") << QByteArray("$B7MHIIIII\r") << QByteArray();
        QTest::newRow("notification, then the message") << "notify" << QByteArray(R"({"text": "Ring", "seconds": 1})") << QByteArray("$B7MRING  \r") << QByteArray();
        QTest::newRow("attributes then the message once") << "attributes/set" << QByteArray(R"({"effects": "12", "speeds": "9", "text": "HI"})") << QByteArray("$B7E122222\r$B7S999999\r$B7MHI    \r") << QByteArray();
        QTest::newRow("blank") << "blank" << QByteArray("PRESS") << QByteArray("$B7F000000\r$B7M      \r") << QByteArray();
        QTest::newRow("mode") << "mode/set" << QByteArray("count") << QByteArray("$B7M000000\r$B7M000001\r") << QByteArray();
        QTest::newRow("refused character") << "message/set" << QByteArray("HE~LO") << QByteArray() << QByteArray(R"(message: character \"~\" at position 3 cannot be shown)");
        QTest::newRow("broken JSON") << "attributes/set" << QByteArray("{") << QByteArray() << QByteArray("the body is not JSON");
        QTest::newRow("attributes without any") << "attributes/set" << QByteArray("{}") << QByteArray() << QByteArray("attributes needs at least one");
        QTest::newRow("unknown mode") << "mode/set" << QByteArray("disco") << QByteArray() << QByteArray("mode takes one of");
        QTest::newRow("too long") << "notify" << QByteArray(64 * 1024 + 1, 'A') << QByteArray() << QByteArray("larger than 64 KiB");
        // Past the packet size vornikd takes, the broker drops it.
        QTest::newRow("1 MB") << "message/set" << QByteArray(1024 * 1024, 'A') << QByteArray() << QByteArray();
        // clang-format on
    }
    // Each topic's frames on the line, and the error a bad payload publishes instead.
    void topicsDriveTheLine()
    {
        QFETCH(QString, topic);
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, frames);
        QFETCH(QByteArray, error);
        const qsizetype before = m_all.count();
        QVERIFY(publish(topic, payload));
        if (topic == "mode/set" && !frames.isEmpty()) {
            // A mode ticks until it is turned off.
            QCOMPARE(m_line.readUntil(frames.mid(frames.indexOf('\r') + 1), kTimeoutMs), frames);
            QVERIFY(publish(topic, "off"));
            framesUntilMark();
        } else {
            QCOMPARE(framesUntilMark(), frames);
        }
        if (!error.isEmpty()) {
            QVERIFY(QTest::qWaitFor([&] { return m_all.last(kPrefix + "/error").contains(error); },
                                    kTimeoutMs));
            QVERIFY2(m_all.since(before).size() > 0, "no error published");
        } else {
            for (const auto &message : m_all.since(before))
                QVERIFY2(message.first != kPrefix + "/error", message.second.constData());
        }
    }

    // The retained state, message and mode follow what the chain shows.
    void stateFollows()
    {
        QVERIFY(publish("message/set", "Follow"));
        QVERIFY(m_all.waitFor(kPrefix + "/message/state", "FOLLOW"));
        QVERIFY(m_all.waitFor(kPrefix + "/showing", "FOLLOW"));
        QVERIFY(QTest::qWaitFor(
                [&] {
                    QString shown;
                    const QJsonArray digits
                            = QJsonDocument::fromJson(m_all.last(kPrefix + "/state"))
                                      .object()
                                      .value("digits")
                                      .toArray();
                    for (const QJsonValue &digit : digits)
                        shown += digit.toObject().value("character").toString();
                    return shown == "FOLLOW";
                },
                kTimeoutMs));
        // A scrolling text longer than Home Assistant takes: its first 255 characters.
        const QByteArray text(300, 'L');
        QVERIFY(publish("message/set", "{\"scroll\": {\"rate\": 50}, \"text\": \"" + text + "\"}"));
        QVERIFY(m_all.waitFor(kPrefix + "/message/state", text.left(255)));
        const qsizetype counting = m_all.count();
        QVERIFY(publish("mode/set", "count"));
        QVERIFY(m_all.waitFor(kPrefix + "/mode/state", "count"));
        // No message: a single space, never an empty retained payload, which deletes it; what
        // shows is the mode, not each number.
        QVERIFY(m_all.waitFor(kPrefix + "/message/state", " "));
        QVERIFY(m_all.waitFor(kPrefix + "/showing", "count"));
        const auto count = [&](const QString &topic, const QByteArray &payload = {}) {
            const auto since = m_all.since(counting);
            return std::count_if(since.cbegin(), since.cend(), [&](const auto &message) {
                return message.first == topic && (payload.isNull() || message.second == payload);
            });
        };
        const qsizetype states = count(kPrefix + "/state");
        QVERIFY(QTest::qWaitFor([&] { return count(kPrefix + "/state") >= states + 3; },
                                kTimeoutMs));
        QCOMPARE(count(kPrefix + "/showing", "count"), 1);
        QVERIFY(publish("mode/set", "off"));
        QVERIFY(m_all.waitFor(kPrefix + "/mode/state", "off"));
        QVERIFY(framesUntilMark().startsWith("$B7M"));
    }

    // Stopped, it says offline and that it left; killed, the broker says offline for it; back,
    // it says online and describes itself again, as it does when Home Assistant comes online.
    void serviceRestarts()
    {
        const qsizetype configs = m_discovery.count();
        QVERIFY(publish("status", "online", "homeassistant"));
        QVERIFY(QTest::qWaitFor([&] { return m_discovery.count() >= configs + 6; }, kTimeoutMs));

        qsizetype before = m_all.count();
        m_service.stop();
        QVERIFY(m_all.waitFor(kPrefix + "/availability", "offline", before));
        const QByteArray said = m_service.process().readAllStandardError();
        QVERIFY2(said.contains("mqtt: disconnected from") && !said.contains("lost"),
                 said.constData());
        QVERIFY(startService());

        before = m_all.count();
        m_service.stop(true);
        QVERIFY(m_all.waitFor(kPrefix + "/availability", "offline", before));
        const qsizetype again = m_discovery.count();
        // A command the broker kept would run again at every start: it is ignored, and said.
        // (The broker's restart below forgets it.)
        QVERIFY(publish("message/set", "Old", kPrefix, true));
        QVERIFY(startService());
        QVERIFY(QTest::qWaitFor(
                [&] {
                    return m_service.process().readAllStandardError().contains(
                            "message/set: a retained command is ignored");
                },
                kTimeoutMs));
        QVERIFY(m_all.waitFor(kPrefix + "/availability", "online", before));
        QVERIFY(QTest::qWaitFor([&] { return m_discovery.count() >= again + 6; }, kTimeoutMs));
        // Commands reach the line again.
        QCOMPARE(framesUntilMark(), QByteArray());
    }

    // The broker goes away and comes back: vornikd connects again and loses no command sent
    // after that.
    void brokerRestarts()
    {
        m_broker.stop(true);
        QTest::qWait(300);
        QVERIFY(startBroker());
        MqttSubscriber availability;
        QVERIFY(availability.start(m_port, kPrefix + "/availability"));
        QVERIFY(availability.waitFor(kPrefix + "/availability", "online"));
        for (const char *text : {"One", "Two", "Three"})
            QVERIFY(publish("message/set", text));
        QCOMPARE(framesUntilMark(), QByteArray("$B7MONE   \r$B7MTWO   \r$B7MTHREE \r"));
    }

    // --mqtt-remove empties every retained configuration, which removes the device.
    void removeClearsTheDiscovery()
    {
        MqttSubscriber discovery;
        QVERIFY(discovery.start(m_port, "homeassistant/#"));
        QVERIFY(QTest::qWaitFor([&] { return discovery.count() >= 6; }, kTimeoutMs));
        const auto configs = discovery.since(0);
        QProcess remove;
        remove.start(VORNIKD_PROGRAM,
                     {"--config", "/dev/null", "--mqtt", "127.0.0.1:" + QString::number(m_port),
                      "--id", "test", "--mqtt-remove"});
        QVERIFY(remove.waitForFinished(kTimeoutMs));
        QCOMPARE(remove.exitCode(), 0);
        for (const auto &config : configs)
            QVERIFY(discovery.waitFor(config.first, QByteArray(), configs.size()));
    }

    // The port lost, Home Assistant shows the chain unavailable; back, available again.
    void lineLostSaysOffline()
    {
        PtyPair line;
        RunningProgram service;
        QVERIFY(startService(service, line.slavePath(), "line"));
        const qsizetype before = m_all.count();
        QVERIFY(line.endProgramRead());
        QVERIFY(m_all.waitFor("vornik/line/availability", "offline", before));
        QVERIFY(m_all.waitFor("vornik/line/availability", "online", before));
    }

    // Two services of one id take the broker's session from each other: each says so once,
    // while they go on doing it less and less often.
    void sameIdTwice()
    {
        PtyPair line;
        RunningProgram twin;
        QVERIFY(startService(twin, line.slavePath()));
        QByteArray said[2];
        const auto both = [&] {
            said[0] += m_service.process().readAllStandardError();
            said[1] += twin.process().readAllStandardError();
            return said[0].contains("the same client id") && said[1].contains("the same client id");
        };
        QVERIFY2(QTest::qWaitFor(both, kTimeoutMs), said[0].right(500).constData());
        // Two more connections, each a takeover that is not said again.
        const qsizetype from = m_all.count();
        QVERIFY(QTest::qWaitFor(
                [&] {
                    return m_all.since(from).count({kPrefix + "/availability", "online"}) >= 2;
                },
                kTimeoutMs));
        both();
        for (const QByteArray &one : said)
            QVERIFY2(one.count("the same client id") == 1, one.right(1000).constData());
    }

    // Each action through every path a program has: vornikctl on the port (its frames as a dry
    // run prints them), vornikctl through the service, the HTTP API and MQTT, on a service
    // whose chain (10) is not vornikctl's default: the same frames.
    void everyPathSendsTheSameFrames_data()
    {
        QTest::addColumn<QStringList>("ctl"); // vornikctl's words; "-" reads input
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("call"); // "METHOD PATH" of the API
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("frames");
        const auto row = [](const char *name, const QStringList &ctl, const QByteArray &input,
                            const QString &call, const QByteArray &body, const QString &topic,
                            const QByteArray &payload, const QByteArray &frames) {
            QTest::newRow(name) << ctl << input << call << body << topic << payload << frames;
        };
        const QString message = "POST /api/v1/message";
        const QString attributes = "POST /api/v1/attributes";
        // clang-format off
        row("message", {"message", "42"}, {}, message, R"({"text": "42"})", "message/set", "42", "$B7M42        \r");
        row("a line of input", {"message", "-"}, "42\n", message, R"({"text": "42"})", "message/set", "42", "$B7M42        \r");
        row("the last character", {"message", "-", "--pad", "last"}, "42\n", message, R"({"text": "42", "pad": "last"})", "message/set", R"({"text": "42", "pad": "last"})", "$B7M4222222222\r");
        row("an empty message", {"message", ""}, {}, message, R"({"text": ""})", "message/set", R"({"text": ""})", "$B7M          \r");
        row("a long message", {"message", "ABCDEFGHIJKL"}, {}, message, R"({"text": "ABCDEFGHIJKL"})", "message/set", "ABCDEFGHIJKL", "$B7MABCDEFGHIJ\r");
        row("attributes", {"attributes", "--fonts", "1", "--effects", "2", "--message", "HI"}, {}, attributes, R"({"fonts": "1", "effects": "2", "text": "HI"})", "attributes/set", R"({"fonts": "1", "effects": "2", "text": "HI"})", "$B7F1111111111\r$B7E2222222222\r$B7MHI        \r");
        row("write-all", {"write-all", "HELLO", "--speeds", "9"}, {}, attributes, R"({"text": "HELLO", "fonts": "0", "effects": "0", "speeds": "9"})", "attributes/set", R"({"text": "HELLO", "fonts": "0", "effects": "0", "speeds": "9"})", "$B7F0000000000\r$B7E0000000000\r$B7S9999999999\r$B7MHELLO     \r");
        row("blank", {"blank"}, {}, "POST /api/v1/blank", {}, "blank", "PRESS", "$B7F0000000000\r$B7M          \r");
        // clang-format on
    }
    void everyPathSendsTheSameFrames()
    {
        QFETCH(QStringList, ctl);
        QFETCH(QByteArray, input);
        QFETCH(QString, call);
        QFETCH(QByteArray, body);
        QFETCH(QString, topic);
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, frames);
        if (m_markFrame == kMarkFrame) {
            m_service.stop();
            QVERIFY(startService({"--chain", "10"}));
            m_markFrame = "$B7MMARK      \r";
            framesUntilMark(); // whatever the start sent
        }
        const auto vornikctl = [&](const QStringList &arguments) {
            QProcess run;
            run.start(VORNIKCTL_PROGRAM, arguments + ctl);
            run.write(input);
            run.closeWriteChannel();
            return run.waitForFinished(kTimeoutMs) && run.exitCode() == 0
                           ? run.readAllStandardOutput().replace("[cr]\n", "\r")
                           : "<failed: " + run.readAllStandardError() + ">";
        };
        QCOMPARE(vornikctl({"--dry-run", "--chain", "10"}), frames);
        QCOMPARE(vornikctl({"--service", m_url, "--token-file", m_dir.filePath("token")}),
                 QByteArray());
        QCOMPARE(framesUntilMark(), frames);
        QNetworkRequest request(QUrl(m_url + call.section(' ', 1)));
        request.setRawHeader("Authorization", "Bearer " + readToken());
        QNetworkReply *reply
                = m_net.sendCustomRequest(request, call.section(' ', 0, 0).toLatin1(), body);
        QVERIFY(QTest::qWaitFor([reply] { return reply->isFinished(); }, kTimeoutMs));
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        reply->deleteLater();
        QCOMPARE(framesUntilMark(), frames);
        QVERIFY(publish(topic, payload));
        QCOMPARE(framesUntilMark(), frames);
    }

private:
    QByteArray readToken() const
    {
        QFile file(m_dir.filePath("token"));
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
    }

    bool startBroker()
    {
        // With -p alone, Debian's broker listens on loopback only.
        if (!m_broker.start("mosquitto", {"-p", QString::number(m_port)}))
            return false;
        return QTest::qWaitFor(
                [&] {
                    QTcpSocket probe;
                    probe.connectToHost(QHostAddress::LocalHost, m_port);
                    return probe.waitForConnected(200);
                },
                kTimeoutMs);
    }

    bool startService(const QStringList &extra = {})
    {
        return startService(m_service, m_line.slavePath(), "test", extra) && readUrl();
    }
    // Started on device, once it says online.
    bool startService(RunningProgram &service, const QString &device, const QString &id = "test",
                      const QStringList &extra = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("VORNIK_PAUSE_SCALE", "0.02");
        environment.remove("VORNIK_PORT");
        service.process().setProcessEnvironment(environment);
        const qsizetype before = m_all.count();
        return service.start(VORNIKD_PROGRAM,
                             QStringList{"--port", device, "--listen", "127.0.0.1:0",
                                         "--token-file", m_dir.filePath("token"), "--config",
                                         "/dev/null", "--mqtt",
                                         "127.0.0.1:" + QString::number(m_port), "--id", id}
                                     + extra)
               && m_all.waitFor("vornik/" + id + "/availability", "online", before);
    }

    // "listening on http://127.0.0.1:PORT/", the service's first line.
    bool readUrl()
    {
        QProcess &process = m_service.process();
        if (!process.canReadLine() && !process.waitForReadyRead(kTimeoutMs))
            return false;
        m_url = QString::fromUtf8(process.readLine()).trimmed().section(' ', 2);
        return m_url.startsWith("http://127.0.0.1:");
    }

    // mosquitto_pub with the payload on standard input; a topic under the prefix unless
    // another prefix is named.
    bool publish(const QString &topic, const QByteArray &payload, const QString &prefix = kPrefix,
                 bool retained = false)
    {
        QProcess pub;
        QStringList arguments{"-h", "127.0.0.1",          "-p", QString::number(m_port),
                              "-t", prefix + '/' + topic, "-s"};
        if (retained)
            arguments += "-r";
        pub.start("mosquitto_pub", arguments);
        pub.write(payload);
        pub.closeWriteChannel();
        return pub.waitForFinished(kTimeoutMs) && pub.exitCode() == 0;
    }

    // The frames on the line before a marker message published now.
    QByteArray framesUntilMark()
    {
        if (!publish("message/set", "MARK"))
            return "<marker not published>";
        const QByteArray seen = m_line.readUntil(m_markFrame, kTimeoutMs);
        return seen.endsWith(m_markFrame) ? seen.chopped(m_markFrame.size()) : "<no marker>" + seen;
    }

    QTemporaryDir m_dir;
    PtyPair m_line;
    quint16 m_port = 0;
    RunningProgram m_broker;
    RunningProgram m_service;
    MqttSubscriber m_all;
    MqttSubscriber m_discovery;
    QByteArray m_markFrame = kMarkFrame; // as the service's chain shows it
    QString m_url;                       // the service's address
    QNetworkAccessManager m_net;
};

QTEST_GUILESS_MAIN(TestMqtt)
#include "tst_mqtt.moc"
