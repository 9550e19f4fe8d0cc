#include "mqtttopics.h"

#include "protocol/fieldcheck.h"
#include "protocol/fieldrules.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace MqttTopics {

namespace {

const char *const kModes[] = {"off", "clock", "date", "count", "animate", "test"};

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// A plain payload stands for the one field a JSON body would name; one that starts with "{"
// is the body itself.
QByteArray body(const QByteArray &payload, const QString &key, bool trimmed)
{
    if (payload.trimmed().startsWith('{'))
        return payload;
    const QByteArray value = trimmed ? payload.trimmed() : payload;
    return compact(QJsonObject{{key, QString::fromUtf8(value)}});
}

} // namespace

QStringList inbound()
{
    return {"message/set", "notify", "mode/set", "attributes/set", "blank"};
}

RequestJudge::Verdict judge(const QString &topic, const QByteArray &payload,
                            const RequestJudge::Context &context)
{
    using RequestJudge::judgeAction;
    // Too long is refused before it is wrapped.
    if (payload.size() > RequestJudge::kMaxBody)
        return judgeAction(ApiRequest::Message, payload, context);
    if (topic == QLatin1String("message/set"))
        return judgeAction(ApiRequest::Message, body(payload, "text", false), context);
    if (topic == QLatin1String("notify"))
        return judgeAction(ApiRequest::Notify, body(payload, "text", false), context);
    if (topic == QLatin1String("mode/set"))
        return judgeAction(ApiRequest::Mode, body(payload, "mode", true), context);
    if (topic == QLatin1String("attributes/set"))
        return judgeAction(ApiRequest::Attributes, payload, context);
    if (topic == QLatin1String("blank"))
        return judgeAction(ApiRequest::Blank, {}, context);
    RequestJudge::Verdict verdict;
    verdict.status = 404;
    verdict.error = "no such topic: " + topic.left(200);
    return verdict;
}

QString messagePattern()
{
    // The printable characters the message field takes, each as a regular expression's class
    // writes it.
    QString accepted;
    for (char16_t code = 0x20; code < 0x7f; ++code) {
        const QString one(QChar{code});
        if (!FieldCheck::typed(one, FieldRules::sentenceKey).ok())
            continue;
        if (QStringLiteral("\\]^-[").contains(one))
            accepted += '\\';
        accepted += one;
    }
    return "^[" + accepted + "]*$";
}

QList<Published> discovery(const Identity &identity, bool removing)
{
    const QString &prefix = identity.prefix;
    QJsonObject device{{"identifiers", QJsonArray{"vornik_" + identity.id}},
                       {"name", "Vornik " + identity.id},
                       {"manufacturer", "Vornik"},
                       {"model", QStringLiteral("Chain of %1 digits").arg(identity.chain)},
                       {"sw_version", QStringLiteral(VORNIK_VERSION)}};
    // None when only this machine could open the page.
    if (!identity.pageUrl.isEmpty())
        device.insert("configuration_url", identity.pageUrl);
    QJsonArray modes;
    for (const char *mode : kModes)
        modes.append(QString::fromLatin1(mode));
    struct Entity
    {
        const char *component;
        const char *object;
        const char *name;
        QJsonObject keys;
    };
    // A message longer than the chain scrolls, so the text entity takes Home Assistant's most.
    const Entity entities[] = {
            {"text",
             "message",
             "Message",
             {{"command_topic", prefix + "/message/set"},
              {"state_topic", prefix + "/message/state"},
              {"min", 0},
              {"max", 255},
              {"mode", "text"},
              {"pattern", messagePattern()}}},
            {"notify", "notify", "Notify", {{"command_topic", prefix + "/notify"}}},
            {"select",
             "mode",
             "Mode",
             {{"command_topic", prefix + "/mode/set"},
              {"state_topic", prefix + "/mode/state"},
              {"options", modes}}},
            {"button",
             "blank",
             "Blank",
             {{"command_topic", prefix + "/blank"}, {"payload_press", "PRESS"}}},
            {"button",
             "test",
             "Segment test",
             {{"command_topic", prefix + "/mode/set"}, {"payload_press", "test"}}},
            {"sensor",
             "showing",
             "Showing",
             {{"state_topic", prefix + "/state"},
              {"value_template", "{{ value_json.digits | map(attribute='character') | join }}"}}},
    };
    QList<Published> configs;
    for (const Entity &entity : entities) {
        const QString topic
                = QStringLiteral("%1/%2/%3/%4/config")
                          .arg(identity.discoveryPrefix, QLatin1String(entity.component),
                               identity.id, QLatin1String(entity.object));
        QJsonObject config = entity.keys;
        config.insert("name", QLatin1String(entity.name));
        config.insert("unique_id", "vornik_" + identity.id + "_" + entity.object);
        config.insert("availability_topic", prefix + "/availability");
        config.insert("device", device);
        configs.append({topic, removing ? QByteArray() : compact(config)});
    }
    return configs;
}

} // namespace MqttTopics
