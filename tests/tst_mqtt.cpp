#include "support/mqttbroker.h"
#include "support/mqttsubscriber.h"
#include "support/ptypair.h"
#include "support/serviceprocess.h"
#include "support/testhelpers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

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
        QVERIFY(m_broker.start());
        QVERIFY(m_all.start(m_broker.port(), "vornik/#"));
        QVERIFY(m_discovery.start(m_broker.port(), "homeassistant/#"));
        QVERIFY(startService(m_service, m_line.slavePath()));
        QCOMPARE(m_line.readUntil("$B7M      \r", kTimeoutMs), freshChainPaint(6));
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
        QTest::newRow("mode") << "mode/set" << QByteArray("count") << QByteArray("$B7M000000\r$B7M000001\r") << QByteArray();
        QTest::newRow("refused character") << "message/set" << QByteArray("HE中LO") << QByteArray() << QByteArray(R"(message: no glyph for \"中\" (U+4E2D) at character 3)");
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
        QVERIFY(publish("message/set", "FOLLOW"));
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
        QVERIFY(m_broker.publish("homeassistant/status", "online"));
        QVERIFY(QTest::qWaitFor([&] { return m_discovery.count() >= configs + 6; }, kTimeoutMs));

        qsizetype before = m_all.count();
        m_service.stop();
        QVERIFY(m_all.waitFor(kPrefix + "/availability", "offline", before));
        const QByteArray said = m_service.errors();
        QVERIFY2(said.contains("mqtt: disconnected from") && !said.contains("lost"),
                 said.constData());
        QVERIFY(startService(m_service, m_line.slavePath()));

        before = m_all.count();
        m_service.stop(true);
        QVERIFY(m_all.waitFor(kPrefix + "/availability", "offline", before));
        const qsizetype again = m_discovery.count();
        // A command the broker kept would run again at every start: it is ignored, and said.
        // (The broker's restart below forgets it.)
        QVERIFY(publish("message/set", "Old", true));
        QVERIFY(startService(m_service, m_line.slavePath()));
        QVERIFY(QTest::qWaitFor(
                [&] {
                    return m_service.errors().contains(
                            "message/set: a retained command is ignored");
                },
                kTimeoutMs));
        QVERIFY(m_all.waitFor(kPrefix + "/availability", "online", before));
        QVERIFY(QTest::qWaitFor([&] { return m_discovery.count() >= again + 6; }, kTimeoutMs));
        // Commands reach the line again; each start painted the chain (the killed one maybe
        // not to its end), and the kept one sent nothing.
        const QByteArray paint = freshChainPaint(6), seen = framesUntilMark();
        QVERIFY2(seen.endsWith(paint) && paint.startsWith(seen.chopped(paint.size())),
                 seen.constData());
    }

    // The broker goes away and comes back: vornikd connects again and loses no command sent
    // after that.
    void brokerRestarts()
    {
        m_broker.stop(true);
        QTest::qWait(300);
        QVERIFY(m_broker.start());
        MqttSubscriber availability;
        QVERIFY(availability.start(m_broker.port(), kPrefix + "/availability"));
        QVERIFY(availability.waitFor(kPrefix + "/availability", "online"));
        for (const char *text : {"ONE", "TWO", "THREE"})
            QVERIFY(publish("message/set", text));
        QCOMPARE(framesUntilMark(), QByteArray("$B7MONE   \r$B7MTWO   \r$B7MTHREE \r"));
    }

    // --mqtt-remove empties every retained configuration, which removes the device.
    void removeClearsTheDiscovery()
    {
        MqttSubscriber discovery;
        QVERIFY(discovery.start(m_broker.port(), "homeassistant/#"));
        QVERIFY(QTest::qWaitFor([&] { return discovery.count() >= 6; }, kTimeoutMs));
        const auto configs = discovery.since(0);
        QProcess remove;
        remove.start(VORNIKD_PROGRAM, {"--config", "/dev/null", "--mqtt", m_broker.address(),
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
        ServiceProcess service(VORNIKD_PROGRAM, m_dir.filePath("token"));
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
        ServiceProcess twin(VORNIKD_PROGRAM, m_dir.filePath("token"));
        QVERIFY(startService(twin, line.slavePath()));
        QByteArray said[2];
        const auto both = [&] {
            said[0] = m_service.errors();
            said[1] = twin.errors();
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

private:
    // Started on device, once it says online.
    bool startService(ServiceProcess &service, const QString &device, const QString &id = "test")
    {
        const qsizetype before = m_all.count();
        return service.start(device,
                             {"--config", "/dev/null", "--mqtt", m_broker.address(), "--id", id})
               && m_all.waitFor("vornik/" + id + "/availability", "online", before);
    }

    // Publishes on a topic under the prefix.
    bool publish(const QString &topic, const QByteArray &payload, bool retained = false)
    {
        return m_broker.publish(kPrefix + '/' + topic, payload, {}, retained);
    }

    // The frames on the line before a marker message published now.
    QByteArray framesUntilMark()
    {
        if (!publish("message/set", "MARK"))
            return "<marker not published>";
        const QByteArray seen = m_line.readUntil(kMarkFrame, kTimeoutMs);
        return seen.endsWith(kMarkFrame) ? seen.chopped(kMarkFrame.size()) : "<no marker>" + seen;
    }

    QTemporaryDir m_dir;
    PtyPair m_line;
    MqttBroker m_broker;
    ServiceProcess m_service{VORNIKD_PROGRAM, m_dir.filePath("token")};
    MqttSubscriber m_all;
    MqttSubscriber m_discovery;
};

QTEST_GUILESS_MAIN(TestMqtt)
#include "tst_mqtt.moc"
