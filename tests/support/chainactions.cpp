#include "support/chainactions.h"

#include <QJsonDocument>
#include <QRandomGenerator>

#include <cstring>

namespace ChainActions {

namespace {

const char *const kAttributeKeys[] = {"fonts", "underscores", "effects", "speeds"};
const char *const kCtlOptions[] = {"--fonts", "--underscore", "--effects", "--speeds"};

QString randomText(QRandomGenerator &rng, int length)
{
    static const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789:");
    QString text;
    for (int i = 0; i < length; ++i) {
        // Blanks inside only: a text is not trimmed by any path then.
        const bool inner = i > 0 && i < length - 1;
        text += inner && rng.bounded(6) == 0 ? QChar(' ') : letters.at(rng.bounded(letters.size()));
    }
    return text;
}

Action randomAction(QRandomGenerator &rng, int digits, int &tags)
{
    Action a;
    static const int weights[] = {26, 14, 6, 18, 10, 22, 4}; // by Action::Kind
    int roll = rng.bounded(100);
    while (roll >= weights[a.kind])
        roll -= weights[a.kind], a.kind = Action::Kind(a.kind + 1);
    // The paths each kind takes, by Action::Kind.
    static const QList<QList<Action::Path>> pathsOf{{Action::Http, Action::Mqtt, Action::Ctl},
                                                    {Action::Http, Action::Mqtt, Action::Ctl},
                                                    {Action::Http, Action::Mqtt, Action::Ctl},
                                                    {Action::Http, Action::Mqtt},
                                                    {Action::Http},
                                                    {Action::Http, Action::Mqtt},
                                                    {Action::Http, Action::Ctl}};
    const QList<Action::Path> &paths = pathsOf.at(a.kind);
    a.path = paths.at(rng.bounded(paths.size()));
    // Empty, shorter than the chain, as long, longer.
    const int size = rng.bounded(10);
    a.text = randomText(rng, size < 1   ? 0
                             : size < 5 ? rng.bounded(1, digits)
                             : size < 7 ? digits
                                        : rng.bounded(digits + 1, digits + 7));
    a.padLast = rng.bounded(5) == 0;
    a.scroll = rng.bounded(2) == 0;
    if (a.kind == Action::Attributes) {
        static const char *const keys[] = {"0123456789UUU!", "01!", "0123456789!", "0123456789!"};
        a.hasText = rng.bounded(2) == 0;
        for (int row = 0; row < 4; ++row) {
            const bool none = row == 3
                              && std::all_of(a.attributes.begin(), a.attributes.end() - 1,
                                             [](const QString &v) { return v.isNull(); });
            if (rng.bounded(2) == 0 && !none)
                continue;
            a.attributes[row] = QLatin1String("");
            for (int i = rng.bounded(1, digits + 1); i > 0; --i)
                a.attributes[row] += QChar(keys[row][rng.bounded(int(std::strlen(keys[row])))]);
        }
    }
    if (a.kind == Action::Notify) {
        // A long one moves across once; a short one shows for a second or until dismissed.
        a.scroll = rng.bounded(5) == 0;
        a.text = randomText(rng, a.scroll ? digits + 3 : rng.bounded(1, digits + 1));
        a.priority = rng.bounded(4);
        a.seconds = rng.bounded(8) == 0 ? 1 : 0;
        a.tag = ++tags;
    }
    if (a.kind == Action::Dismiss)
        a.tag = rng.bounded(1, qMax(2, tags + 1));
    static const char *const modes[] = {"count", "count", "clock", "date", "test", "off", "off"};
    a.mode = QString::fromLatin1(modes[rng.bounded(7)]);
    a.from = rng.bounded(100);
    return a;
}

} // namespace

QList<Action> random(quint32 seed, int count, int digits)
{
    QRandomGenerator rng(seed);
    ChainModel model(digits);
    QList<Action> actions;
    int tags = 0;
    while (actions.size() < count) {
        const Action action = randomAction(rng, digits, tags);
        if (!model.allows(action))
            continue;
        model.apply(action);
        actions += action;
    }
    return actions;
}

QString listed(const QList<Action> &actions)
{
    static const char *const kinds[]
            = {"message", "attributes", "blank", "notify", "dismiss", "mode", "font upload"};
    static const char *const paths[] = {"http", "mqtt", "ctl"};
    QString text;
    for (int i = 0; i < actions.size(); ++i) {
        const Action &a = actions.at(i);
        text += QStringLiteral("\n  %1. %2 %3 #%4 ")
                        .arg(i + 1)
                        .arg(paths[a.path], kinds[a.kind])
                        .arg(a.tag)
                + QString::fromUtf8(QJsonDocument(body(a)).toJson(QJsonDocument::Compact));
    }
    return text;
}

QJsonObject body(const Action &a)
{
    QJsonObject body{{"text", a.text}};
    if (a.padLast)
        body.insert("pad", "last");
    switch (a.kind) {
    case Action::Message:
        if (a.scroll)
            body.insert("scroll", QJsonObject{{"rate", ChainModel::kScrollRateMs}, {"passes", 1}});
        return body;
    case Action::Attributes:
        if (!a.hasText)
            body.remove("text");
        for (int row = 0; row < 4; ++row)
            if (!a.attributes[row].isNull())
                body.insert(kAttributeKeys[row], a.attributes[row]);
        return body;
    case Action::Notify:
        body.insert("priority", a.priority);
        if (a.scroll) {
            body.insert("passes", 1);
            body.insert("rate", ChainModel::kScrollRateMs);
        } else {
            body.insert("seconds", a.seconds > 0 ? a.seconds : 600);
        }
        return body;
    case Action::Mode:
        if (a.mode == QLatin1String("count"))
            return QJsonObject{{"mode", a.mode}, {"from", a.from}, {"delay", 300}};
        return QJsonObject{{"mode", a.mode}};
    default:
        return {};
    }
}

QPair<QString, QByteArray> mqtt(const Action &a)
{
    const QByteArray json = QJsonDocument(body(a)).toJson(QJsonDocument::Compact);
    switch (a.kind) {
    case Action::Message:
        return {"message/set", a.padLast || a.scroll || a.text.isEmpty() ? json : a.text.toUtf8()};
    case Action::Attributes:
        return {"attributes/set", json};
    case Action::Notify:
        return {"notify", json};
    case Action::Mode:
        return {"mode/set", a.mode == QLatin1String("count") ? json : a.mode.toUtf8()};
    default:
        return {"blank", "PRESS"};
    }
}

QStringList ctlArguments(const Action &a, const QString &fontFile)
{
    QStringList arguments;
    switch (a.kind) {
    case Action::Message:
        arguments = QStringList{"message", a.text};
        if (a.padLast)
            arguments += {"--pad", "last"};
        if (a.scroll)
            arguments += {"--scroll", "--rate", QString::number(ChainModel::kScrollRateMs),
                          "--passes", "1"};
        return arguments;
    case Action::Attributes:
        arguments = QStringList{"attributes"};
        for (int row = 0; row < 4; ++row)
            if (!a.attributes[row].isNull())
                arguments += {kCtlOptions[row], a.attributes[row]};
        if (a.hasText)
            arguments += {"--message", a.text};
        return arguments;
    case Action::Upload:
        return {"font", "upload", fontFile};
    default:
        return {"blank"};
    }
}

} // namespace ChainActions
