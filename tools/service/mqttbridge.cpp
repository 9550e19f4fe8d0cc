#include "mqttbridge.h"

#include "chainservice.h"
#include "mqttclient.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

MqttBridge::MqttBridge(ChainService &service, MqttClient &client,
                       const MqttTopics::Identity &identity, const RequestJudge::Context &context,
                       QObject *parent)
    : QObject(parent), m_service(service), m_client(client), m_identity(identity),
      m_context(context)
{
    const QString &prefix = identity.prefix;
    m_client.setWill(prefix + "/availability", "offline");
    for (const QString &topic : MqttTopics::inbound())
        m_client.subscribe(prefix + '/' + topic);
    m_client.subscribe(statusTopic());
    connect(&m_client, &MqttClient::connected, this, &MqttBridge::connected);
    connect(&m_client, &MqttClient::received, this, &MqttBridge::received);
    connect(&m_service, &ChainService::stateChanged, this, [this] {
        publishAvailability(false);
        publishState(false);
    });
}

QString MqttBridge::statusTopic() const
{
    return m_identity.discoveryPrefix + "/status";
}

// Home Assistant shows the chain unavailable while the service is gone (the will) and while
// its port is lost: either way nothing reaches the digits.
void MqttBridge::publishAvailability(bool always)
{
    const bool open = m_service.state().value("open").toBool();
    if (!always && open == m_lineOpen)
        return;
    m_lineOpen = open;
    m_client.publish(m_identity.prefix + "/availability", open ? "online" : "offline", true);
}

void MqttBridge::connected()
{
    publishAvailability(true);
    publishDiscovery();
    publishState(true);
}

void MqttBridge::publishDiscovery()
{
    for (const MqttTopics::Published &config : MqttTopics::discovery(m_identity))
        m_client.publish(config.topic, config.payload, true);
}

void MqttBridge::publishState(bool all)
{
    const QJsonObject state = m_service.state();
    const MqttTopics::Published topics[]
            = {{"state", QJsonDocument(state).toJson(QJsonDocument::Compact)},
               {"message/state", MqttTopics::messageState(state)},
               {"mode/state", state.value("mode").toString().toUtf8()},
               {"showing", MqttTopics::showing(state)}};
    for (const MqttTopics::Published &topic : topics) {
        if (!all && m_published.value(topic.topic) == topic.payload)
            continue;
        m_published.insert(topic.topic, topic.payload);
        m_client.publish(m_identity.prefix + '/' + topic.topic, topic.payload, true);
    }
}

void MqttBridge::received(const QString &topic, const QByteArray &payload, bool retained)
{
    if (topic == statusTopic()) {
        if (payload == "online")
            publishDiscovery();
        return;
    }
    const QString name = topic.mid(m_identity.prefix.size() + 1);
    // A command kept by the broker would run again at every start: it is not a command now.
    if (retained) {
        std::fputs(qPrintable("vornikd: mqtt " + name
                              + ": a retained command is ignored; publish commands without "
                                "the retain flag\n"),
                   stderr);
        return;
    }
    const RequestJudge::Verdict verdict = MqttTopics::judge(name, payload, m_context);
    if (!verdict.ok()) {
        report(name, verdict.error);
        return;
    }
    const ChainService::Reply reply = m_service.run(verdict.request);
    if (reply.status >= 400)
        report(name, reply.body.value("error").toString());
    else if (!verdict.request.note.isEmpty())
        std::fputs(qPrintable("vornikd: mqtt " + name + ": " + verdict.request.note + '\n'),
                   stderr);
}

void MqttBridge::report(const QString &topic, const QString &error)
{
    std::fputs(qPrintable("vornikd: mqtt " + topic + ": " + error + '\n'), stderr);
    m_client.publish(m_identity.prefix + "/error",
                     QJsonDocument(QJsonObject{{"topic", topic}, {"error", error}})
                             .toJson(QJsonDocument::Compact),
                     false);
}
