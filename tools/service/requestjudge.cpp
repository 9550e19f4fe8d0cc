#include "requestjudge.h"

#include "tokenfile.h"

#include "font/fontfile.h"
#include "modes/modesteps.h"
#include "protocol/digitattributes.h"
#include "session/actiontable.h"
#include "session/chaininput.h"
#include "session/programrules.h"
#include "session/textglyphs.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cmath>
#include <optional>

namespace RequestJudge {

namespace {

struct Refused
{
    int status;
    QString text;
    QList<QPair<QByteArray, QByteArray>> headers = {};
};

using Method = QByteArray;

QJsonObject bodyObject(const QByteArray &body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        throw Refused{400, "the body is not JSON: " + error.errorString() + " at offset "
                                   + QString::number(error.offset)};
    if (!document.isObject())
        throw Refused{400, QStringLiteral("the body is not a JSON object")};
    return document.object();
}

std::optional<QString> text(const QJsonObject &object, const QString &key)
{
    if (!object.contains(key))
        return std::nullopt;
    if (!object.value(key).isString())
        throw Refused{400, key + " takes a text"};
    return object.value(key).toString();
}

int number(const QJsonObject &object, const QString &key, int low, int high, int fallback)
{
    if (!object.contains(key))
        return fallback;
    const double value = object.value(key).toDouble(std::nan(""));
    if (!object.value(key).isDouble() || std::floor(value) != value || value < low || value > high)
        throw Refused{400, QStringLiteral("%1 takes a whole number from %2 to %3")
                                   .arg(key)
                                   .arg(low)
                                   .arg(high)};
    return static_cast<int>(value);
}

// A mode's from, to and delay as its fields hold them: a number or its text.
std::optional<QString> field(const QJsonObject &object, const QString &key)
{
    if (!object.contains(key))
        return std::nullopt;
    const QJsonValue value = object.value(key);
    if (value.isDouble() && std::abs(value.toDouble()) < 1e15)
        return QString::number(static_cast<qint64>(value.toDouble()));
    if (value.isString())
        return value.toString();
    throw Refused{400, key + " takes a whole number"};
}

// Any text the text font draws, in the case asked for.
void readText(const QJsonObject &object, const QString &what, const QString &given,
              ApiRequest &request)
{
    const TextGlyphs::Case textCase
            = TextGlyphs::caseOf(QStringLiteral("case"), text(object, QStringLiteral("case")));
    request.characters = TextGlyphs::characters(what, given, textCase);
    request.text = request.characters.join(QString());
}

// The text of a message or a notification, and how it is shown over time.
void readShown(const QJsonObject &object, const QString &what, ApiRequest &request)
{
    const std::optional<QString> given = text(object, QStringLiteral("text"));
    if (!given)
        throw Refused{400, what + " needs a text"};
    readText(object, what, *given, request);
    const QString pad = text(object, QStringLiteral("pad")).value_or(QStringLiteral("space"));
    if (pad != QLatin1String("space") && pad != QLatin1String("last"))
        throw Refused{400, QStringLiteral("pad takes \"space\" or \"last\"")};
    request.padLast = pad == QLatin1String("last");
}

// A scroll's rate, passes and seconds; noLimit is the passes when neither limit is given.
void readTiming(const QJsonObject &object, ApiRequest &request, int noLimit)
{
    using namespace ProgramRules;
    request.rate = number(object, QStringLiteral("rate"), kRateMin, kRateMax, kRateDefault);
    request.passes = number(object, QStringLiteral("passes"), 0, kPassesMax, 0);
    request.seconds = number(object, QStringLiteral("seconds"), 0, kSecondsMax, 0);
    if (!object.contains(QLatin1String("passes")) && !object.contains(QLatin1String("seconds")))
        request.passes = noLimit;
}

// A text longer than the chain that is not to scroll shows cut to it (the state keeps the whole
// text asked for), and the answer says so.
void cutUnlessScrolled(ApiRequest &request, int chain)
{
    if (request.characters.size() > chain)
        request.note = ProgramRules::cutNoteForService(chain);
}

void readMessage(const QJsonObject &object, const Context &context, ApiRequest &request)
{
    readShown(object, QStringLiteral("message"), request);
    if (!object.contains(QLatin1String("scroll")))
        return cutUnlessScrolled(request, context.chain);
    if (!object.value(QLatin1String("scroll")).isObject())
        throw Refused{400, QStringLiteral("scroll takes an object: rate, passes, seconds")};
    readTiming(object.value(QLatin1String("scroll")).toObject(), request, 1);
    request.scroll = true;
}

void readNotify(const QJsonObject &object, ApiRequest &request)
{
    readShown(object, QStringLiteral("notification"), request);
    readTiming(object, request, 0);
    request.priority = number(object, QStringLiteral("priority"), 0, 9, 1);
    // Neither limit given: it shows for a while.
    if (request.seconds == 0 && request.passes == 0)
        request.seconds = ProgramRules::kNotifySeconds;
}

void readAttributes(const QJsonObject &object, const Context &context, ApiRequest &request)
{
    const ActionTable::Action &action = ActionTable::action(QStringLiteral("attributes"));
    ChainInput::Attributes given;
    for (std::size_t row = 0; row < given.size(); ++row)
        given[row] = text(object, action.fields.at(int(row)).key);
    const std::optional<QString> message = text(object, QStringLiteral("text"));
    request.commands
            = ProgramRules::attributeFrames(given, message.has_value(), context.chain, QString());
    if (message) {
        request.hasText = true;
        readText(object, QStringLiteral("message"), *message, request);
        cutUnlessScrolled(request, context.chain);
    }
}

void readMode(const QJsonObject &object, ApiRequest &request)
{
    request.mode = text(object, QStringLiteral("mode")).value_or(QString());
    if (!ProgramRules::modeNames().contains(request.mode))
        throw Refused{400, "mode takes one of " + ProgramRules::modeNames().join(", ")};
    const bool count = request.mode == QLatin1String("count");
    std::array<std::optional<QString>, 3> given{field(object, QStringLiteral("from")),
                                                field(object, QStringLiteral("to")),
                                                field(object, QStringLiteral("delay"))};
    if (request.mode == QLatin1String("animate")) {
        if (!given[ModeSteps::kStartField])
            given[ModeSteps::kStartField] = QString::number(ModeSteps::kDefaultStart);
        if (!given[ModeSteps::kStopField])
            given[ModeSteps::kStopField] = QString::number(ModeSteps::kDefaultStop);
    }
    const ModeInputs::Mode mode = count                                      ? ModeInputs::Count
                                  : request.mode == QLatin1String("animate") ? ModeInputs::Animate
                                                                             : ModeInputs::Time;
    request.animation = ChainInput::animation(given, mode, QString());
    if (count)
        request.animation[ModeSteps::kStartField]
                = ModeSteps::counterNormalised(given[ModeSteps::kStartField].value_or(QString()));
}

void readFont(const QByteArray &body, const Context &context, ApiRequest &request)
{
    const FontFile::Patterns read = FontFile::readLoadFile(body);
    if (!read.ok())
        throw Refused{400, read.refusalFrom(QStringLiteral("font"))};
    request.patterns = read.patterns;
    request.fonts
            = ChainInput::attribute(DigitAttributes::Fonts, "fonts", std::nullopt, context.chain);
}

// The body of an action whose kind is set, read into request.
void readAction(const QByteArray &body, const Context &context, ApiRequest &request)
{
    switch (request.kind) {
    case ApiRequest::Blank:
        request.commands = ProgramRules::blank(context.chain);
        break;
    case ApiRequest::Message:
        readMessage(bodyObject(body), context, request);
        break;
    case ApiRequest::Attributes:
        readAttributes(bodyObject(body), context, request);
        break;
    case ApiRequest::Notify:
        readNotify(bodyObject(body), request);
        break;
    case ApiRequest::Mode:
        readMode(bodyObject(body), request);
        break;
    case ApiRequest::Font:
        readFont(body, context, request);
        break;
    default:
        throw Refused{404, QStringLiteral("no such call")};
    }
}

// The request an action of the table makes.
ApiRequest::Kind actionKind(const QString &name)
{
    static const QHash<QString, ApiRequest::Kind> kinds{{"message", ApiRequest::Message},
                                                        {"attributes", ApiRequest::Attributes},
                                                        {"write-all", ApiRequest::Attributes},
                                                        {"blank", ApiRequest::Blank},
                                                        {"notify", ApiRequest::Notify},
                                                        {"dismiss", ApiRequest::Dismiss},
                                                        {"mode", ApiRequest::Mode},
                                                        {"font upload", ApiRequest::Font}};
    return kinds.value(name, ApiRequest::Page);
}

int pathId(const QByteArray &rest)
{
    bool ok = false;
    const int id = rest.toInt(&ok);
    if (!ok || id < 1)
        throw Refused{404, "no such id: " + QString::fromLatin1(rest)};
    return id;
}

void requireMethod(const Incoming &incoming, const char *method, const QByteArray &path)
{
    if (incoming.method != method)
        throw Refused{405,
                      QStringLiteral("%1 %2 is not allowed; use %3")
                              .arg(QString::fromLatin1(incoming.method.left(16)),
                                   QString::fromLatin1(path), QLatin1String(method)),
                      {{"Allow", method}}};
}

void requireToken(const Incoming &incoming, const Context &context)
{
    // A 401 names the scheme it wants; the scheme's name is matched in any case.
    const QList<QPair<QByteArray, QByteArray>> challenge{
            {"WWW-Authenticate", "Bearer realm=\"vornikd\""}};
    static const QByteArray scheme("bearer ");
    const QByteArray given = incoming.authorization.trimmed();
    if (given.left(scheme.size()).toLower() != scheme)
        throw Refused{401,
                      QStringLiteral("this call needs the API token: "
                                     "\"Authorization: Bearer TOKEN\""),
                      challenge};
    if (!TokenFile::matches(given.mid(scheme.size()).trimmed(), context.token))
        throw Refused{401, QStringLiteral("the API token is wrong"), challenge};
}

ApiRequest route(const Incoming &incoming, const Context &context)
{
    QByteArray path = incoming.path;
    const qsizetype query = path.indexOf('?');
    if (query >= 0)
        path.truncate(query);
    ApiRequest request;
    if (path == "/" || path == "/index.html") {
        requireMethod(incoming, "GET", path);
        request.kind = ApiRequest::Page;
        return request;
    }
    if (path == "/digit.svg") {
        requireMethod(incoming, "GET", path);
        request.kind = ApiRequest::DigitSvg;
        return request;
    }
    static const QByteArray api("/api/v1/");
    if (!path.startsWith("/api/"))
        throw Refused{404, "no such page: " + QString::fromLatin1(path.left(200))};
    requireToken(incoming, context);
    if (incoming.body.size() > kMaxBody)
        throw Refused{413, QStringLiteral("the body is larger than 64 KiB")};
    const QByteArray name = path.startsWith(api) ? path.mid(api.size()) : QByteArray();
    const auto is = [&](const char *which, const char *method, ApiRequest::Kind kind) {
        if (name != which)
            return false;
        requireMethod(incoming, method, path);
        request.kind = kind;
        return true;
    };
    if (is("info", "GET", ApiRequest::Info) || is("state", "GET", ApiRequest::State)
        || is("events", "GET", ApiRequest::Events) || is("actions", "GET", ApiRequest::Actions))
        return request;
    // The actions' calls, as the table names them.
    for (const ActionTable::Action &action : ActionTable::actions()) {
        const QByteArray call = action.path.toLatin1().mid(api.size());
        const ApiRequest::Kind kind = actionKind(action.name);
        if (call.endsWith("/{id}") && name.startsWith(call.chopped(4))) {
            requireMethod(incoming, action.method.toLatin1().constData(), path);
            request.kind = kind;
            request.id = pathId(name.mid(call.size() - 4));
            return request;
        }
        // write-all shares the attributes call.
        if (!call.isEmpty() && is(call.constData(), action.method.toLatin1().constData(), kind)) {
            readAction(incoming.body, context, request);
            return request;
        }
    }
    if (name.startsWith("jobs/")) {
        requireMethod(incoming, "GET", path);
        request.kind = ApiRequest::Job;
        request.id = pathId(name.mid(5));
        return request;
    }
    throw Refused{404, "no such call: " + QString::fromLatin1(path.left(200))};
}

} // namespace

bool hostAllowed(const QByteArray &host, const QStringList &hosts)
{
    QByteArray name = host.trimmed().toLower();
    if (name.startsWith('[')) {
        const qsizetype close = name.indexOf(']');
        const QByteArray rest = close < 0 ? QByteArray() : name.mid(close + 1);
        if (close < 0 || !(rest.isEmpty() || rest.startsWith(':')))
            return false;
        name = name.left(close + 1);
    } else if (name.count(':') == 1) {
        name.truncate(name.indexOf(':'));
    }
    if (name.isEmpty())
        return false;
    if (name == "localhost" || name == "127.0.0.1" || name == "[::1]")
        return true;
    return hosts.contains(QString::fromLatin1(name));
}

Verdict judgeAction(ApiRequest::Kind kind, const QByteArray &body, const Context &context)
{
    Verdict verdict;
    verdict.request.kind = kind;
    try {
        if (body.size() > kMaxBody)
            throw Refused{413, QStringLiteral("the body is larger than 64 KiB")};
        readAction(body, context, verdict.request);
    } catch (const Refused &refused) {
        verdict.status = refused.status;
        verdict.error = refused.text;
    } catch (const ChainInput::Refusal &refusal) {
        verdict.status = 400;
        verdict.error = refusal.text;
    }
    return verdict;
}

Verdict judge(const Incoming &incoming, const Context &context)
{
    Verdict verdict;
    try {
        if (!hostAllowed(incoming.host, context.hosts))
            throw Refused{421, QStringLiteral("the Host header must name this service "
                                              "(localhost, 127.0.0.1, [::1] or a configured "
                                              "name)")};
        verdict.request = route(incoming, context);
    } catch (const Refused &refused) {
        verdict.status = refused.status;
        verdict.error = refused.text;
        verdict.headers = refused.headers;
    } catch (const ChainInput::Refusal &refusal) {
        verdict.status = 400;
        verdict.error = refusal.text;
    }
    return verdict;
}

} // namespace RequestJudge
