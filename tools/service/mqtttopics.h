#pragma once

#include "requestjudge.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// vornikd's MQTT topics: the payloads that come in, judged as the HTTP call of their kind, and
// the retained Home Assistant discovery configurations that describe the chain as one device.
namespace MqttTopics {

// The chain as the broker and Home Assistant know it.
struct Identity
{
    QString id;              // names the chain: object ids and unique ids
    QString prefix;          // every topic of the chain goes under it
    QString discoveryPrefix; // Home Assistant's
    int chain = ProgramRules::kDefaultChain;
    QString pageUrl; // the live page, the device's configuration_url
};

struct Published
{
    QString topic;
    QByteArray payload;
};

// The topics under the prefix that drive the chain.
QStringList inbound();
// A payload on one of them (its name under the prefix, "message/set") judged as the HTTP call
// of its kind judges a body; a payload of a topic that is not one of them is refused.
RequestJudge::Verdict judge(const QString &topic, const QByteArray &payload,
                            const RequestJudge::Context &context);
// One retained configuration per entity; empty payloads when removing, which deletes them.
QList<Published> discovery(const Identity &identity, bool removing = false);
// The regular expression of the texts the message accepts, for Home Assistant's text entity.
QString messagePattern();

} // namespace MqttTopics
