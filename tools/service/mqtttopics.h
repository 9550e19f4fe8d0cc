#pragma once

#include "requestjudge.h"

#include <QByteArray>
#include <QJsonObject>
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
// The regular expression of the texts the message accepts and shows as typed, for Home
// Assistant's text entity, which matches it from the start (Python's re.match, and the page's
// input as a whole): it cannot match a text with a trailing newline.
QString messagePattern();

// The longest state a text entity or a sensor of Home Assistant takes.
inline constexpr int kMaxState = 255;
// What message/state carries for a state: the content message's text, cut to kMaxState; a
// single space when there is none (a mode, a blank chain), never an empty retained payload,
// which would delete the topic.
QByteArray messageState(const QJsonObject &state);
// What the "Showing" sensor reports: the notification's text while one shows, else the
// message's, else the mode; it changes with what is on show, not with each digit a mode sends.
QByteArray showing(const QJsonObject &state);

} // namespace MqttTopics
