#include "mqtttopics.h"

#include "protocol/chainprotocol.h"
#include "protocol/fieldcheck.h"
#include "protocol/fieldrules.h"
#include "session/actiontable.h"
#include "session/programrules.h"

#include <QHash>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace MqttTopics {

namespace {

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

// The action a topic drives, from the table; nullptr for none.
const ActionTable::Action *actionOf(const QString &topic)
{
    for (const ActionTable::Action &action : ActionTable::actions())
        if (action.topic == topic)
            return &action;
    return nullptr;
}

} // namespace

QStringList inbound()
{
    QStringList topics;
    for (const ActionTable::Action &action : ActionTable::actions())
        if (!action.topic.isEmpty() && !topics.contains(action.topic))
            topics += action.topic;
    return topics;
}

RequestJudge::Verdict judge(const QString &topic, const QByteArray &payload,
                            const RequestJudge::Context &context)
{
    using RequestJudge::judgeAction;
    // Too long is refused before it is wrapped.
    if (payload.size() > RequestJudge::kMaxBody)
        return judgeAction(ApiRequest::Message, payload, context);
    static const QHash<QString, ApiRequest::Kind> kinds{{"message", ApiRequest::Message},
                                                        {"notify", ApiRequest::Notify},
                                                        {"mode", ApiRequest::Mode},
                                                        {"attributes", ApiRequest::Attributes},
                                                        {"blank", ApiRequest::Blank}};
    if (const ActionTable::Action *action = actionOf(topic);
        action && kinds.contains(action->name)) {
        // A plain payload is the action's first field: the text, the mode; blank takes none.
        const ApiRequest::Kind kind = kinds.value(action->name);
        if (action->fields.isEmpty())
            return judgeAction(kind, {}, context);
        const QString key = action->fields.first().key;
        if (kind == ApiRequest::Attributes)
            return judgeAction(kind, payload, context);
        return judgeAction(kind, body(payload, key, kind == ApiRequest::Mode), context);
    }
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
        // A reserved code ("!", the skip marker) is taken but not shown as typed.
        if (!FieldCheck::typed(one, FieldRules::sentenceKey).ok() || Protocol::isReservedCode(code))
            continue;
        if (QStringLiteral("\\]^-[").contains(one))
            accepted += '\\';
        accepted += one;
    }
    // Not "$", which also matches before a trailing newline: nothing may follow.
    return "^[" + accepted + "]*(?![\\s\\S])";
}

QByteArray messageState(const QJsonObject &state)
{
    const QString text = state.value("message").toString();
    return text.isEmpty() ? QByteArray(" ") : text.left(kMaxState).toUtf8();
}

QByteArray showing(const QJsonObject &state)
{
    const QJsonValue notification = state.value("notification");
    const QString text = notification.isObject() ? notification.toObject().value("text").toString()
                         : state.value("message").isString() ? state.value("message").toString()
                                                             : state.value("mode").toString();
    return text.isEmpty() ? QByteArray(" ") : text.left(kMaxState).toUtf8();
}

QList<Published> discovery(const Identity &identity, bool removing)
{
    const QString &prefix = identity.prefix;
    QJsonObject device{{"identifiers", QJsonArray{"vornik_" + identity.id}},
                       {"name", "Vornik " + identity.id},
                       {"manufacturer", "Vornik"},
                       {"model", QStringLiteral("Chain of %1 digits").arg(identity.chain)},
                       {"sw_version", QStringLiteral(VORNIK_VERSION_STRING)}};
    // None when only this machine could open the page.
    if (!identity.pageUrl.isEmpty())
        device.insert("configuration_url", identity.pageUrl);
    QJsonArray modes;
    for (const QString &mode : ProgramRules::modeNames())
        modes.append(mode);
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
              {"max", kMaxState},
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
            {"sensor", "showing", "Showing", {{"state_topic", prefix + "/showing"}}},
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
