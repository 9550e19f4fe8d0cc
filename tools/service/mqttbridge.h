#pragma once

#include "mqtttopics.h"

#include <QHash>
#include <QObject>

class ChainService;
class MqttClient;

// The chain on an MQTT broker: the inbound topics run as judged requests, the state, the
// message and the mode published retained on every change, the Home Assistant discovery on
// every connection and whenever Home Assistant comes online, errors on the error topic and in
// the log.
class MqttBridge : public QObject
{
    Q_OBJECT
public:
    explicit MqttBridge(ChainService &service, MqttClient &client,
                        const MqttTopics::Identity &identity, const RequestJudge::Context &context,
                        QObject *parent = nullptr);

    // The status topic Home Assistant announces itself on.
    QString statusTopic() const;

private:
    void connected();
    void received(const QString &topic, const QByteArray &payload, bool retained);
    void publishDiscovery();
    // online while the port is open, offline while it is lost; always: also when unchanged.
    void publishAvailability(bool always);
    // Publishes what changed since the last time; everything when all.
    void publishState(bool all);
    void report(const QString &topic, const QString &error);

    ChainService &m_service;
    MqttClient &m_client;
    MqttTopics::Identity m_identity;
    RequestJudge::Context m_context;
    QHash<QString, QByteArray> m_published;
    bool m_lineOpen = false;
};
