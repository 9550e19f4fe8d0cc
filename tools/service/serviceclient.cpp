#include "serviceclient.h"

#include "core/basicutilities.h"
#include "core/consoleoutput.h"
#include "core/exitstatus.h"
#include "session/chaininput.h"
#include "session/programrules.h"
#include "tokenfile.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTimer>

namespace {

constexpr int kAnswerMs = 30000;
constexpr int kPollMs = 100;

} // namespace

ServiceClient::ServiceClient(const QString &url, const ActionTable::Action *action, QObject *parent)
    : QObject(parent), m_url(url), m_action(action)
{}

void ServiceClient::check(const QString &words, bool dryRun,
                          const std::optional<QString> &tokenFile)
{
    const QString scheme = m_url.scheme();
    if (!m_url.isValid() || m_url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        throw ChainInput::Refusal{QStringLiteral("the service's address \"%1\" is not an http:// "
                                                 "or https:// URL")
                                          .arg(m_url.toString())};
    if (!m_action || m_action->method.isEmpty())
        throw ChainInput::Refusal{words + " has no call in vornikd's API; it needs the port"};
    m_token = qgetenv("VORNIK_TOKEN").trimmed();
    if (dryRun || (!m_token.isEmpty() && !tokenFile))
        return;
    QFile file(tokenFile.value_or(TokenFile::defaultPath()));
    m_token = file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
    if (m_token.isEmpty())
        throw ChainInput::Refusal{
                QStringLiteral("no token for the service in %1 (%2); set VORNIK_TOKEN or "
                               "--token-file")
                        .arg(file.fileName(),
                             file.isOpen() ? QStringLiteral("empty") : file.errorString()),
                Exit::PortError};
}

bool ServiceClient::wait(QObject *sender, int timeoutMs)
{
    QEventLoop loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (auto *reply = qobject_cast<QNetworkReply *>(sender))
        connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // A program that is ending (a signal) waits no more; its end quits this loop too.
    if (!shutdownRequested())
        loop.exec();
    return !shutdownRequested();
}

ServiceClient::Answer ServiceClient::call(const QByteArray &method, const QString &path,
                                          const QByteArray &body)
{
    if (m_dryRun) {
        // A font file is named by its size; a JSON body fits the line.
        const QByteArray shown
                = body.startsWith('{') ? body : "(" + QByteArray::number(body.size()) + " bytes)";
        m_dryRun(QString::fromUtf8(method + ' ' + path.toUtf8()
                                   + (body.isEmpty() ? QByteArray() : ' ' + shown)));
        return {200, {}, {}};
    }
    QUrl url = m_url;
    url.setPath(path);
    QNetworkRequest request(url);
    request.setRawHeader("Authorization", "Bearer " + m_token);
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    QNetworkReply *reply = m_net.sendCustomRequest(request, method, body);
    const bool waited = wait(reply, kAnswerMs);
    Answer answer{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                  QJsonDocument::fromJson(reply->readAll()).object(),
                  {}};
    const QString base = m_url.toString(QUrl::RemovePath);
    if (!waited)
        answer = {0, {}, QStringLiteral("ended while waiting for the service at %1").arg(base)};
    else if (answer.status == 0)
        answer.error = QStringLiteral("no answer from the service at %1 (%2)")
                               .arg(base, reply->isFinished() ? reply->errorString()
                                                              : QStringLiteral("timed out"));
    else if (answer.status == 401)
        answer.error = QStringLiteral("the service at %1 refused the token (VORNIK_TOKEN or "
                                      "--token-file must hold the one vornikd made)")
                               .arg(base);
    else if (answer.status == 421)
        answer.error = QStringLiteral("the service refused the host name of %1; use the address "
                                      "it listens on or a name in its hosts setting")
                               .arg(base);
    else if (!answer.ok())
        answer.error
                = answer.body.value(QLatin1String("error"))
                          .toString(QStringLiteral("the service answered %1").arg(answer.status));
    reply->abort();
    reply->deleteLater();
    return answer;
}

int ServiceClient::said(const Answer &answer)
{
    // The service cut what it was given to its chain: said as a cut on the port is said.
    static const QRegularExpression cut(QStringLiteral("^cut to (\\d+) digits"));
    const QString note = answer.body.value(QLatin1String("note")).toString();
    if (const auto match = cut.match(note); answer.ok() && match.hasMatch())
        ConsoleOutput::say(m_action->name + ": "
                           + ProgramRules::cutNote(match.captured(1).toInt()));
    else if (answer.ok() && !note.isEmpty())
        ConsoleOutput::say(m_action->name + ": " + note);
    if (answer.ok())
        return Exit::Done;
    // A signal that ended the program has said what it needed.
    if (!shutdownRequested())
        ConsoleOutput::say(answer.error);
    return answer.status == 400   ? Exit::InputError
           : answer.status == 503 ? Exit::LineFailed
                                  : Exit::PortError;
}

int ServiceClient::send(const QJsonObject &fields, const QByteArray &file)
{
    // Blank takes no body.
    const QByteArray body
            = fields.isEmpty() ? file : QJsonDocument(fields).toJson(QJsonDocument::Compact);
    return said(call(m_action->method.toLatin1(), m_action->path, body));
}

int ServiceClient::startMode(const QString &mode,
                             const std::array<std::optional<QString>, 3> &fields)
{
    QJsonObject body{{QStringLiteral("mode"), mode}};
    const char *const names[] = {"from", "to", "delay"};
    for (std::size_t field = 0; field < fields.size(); ++field)
        if (fields[field])
            body.insert(QLatin1String(names[field]), *fields[field]);
    return send(body);
}

std::function<bool(const QString &text)>
ServiceClient::messages(const QJsonObject &fields, std::function<void(int status)> failed)
{
    return [this, fields, failed](const QString &text) {
        QJsonObject body = fields;
        body.insert(QStringLiteral("text"), text);
        const int status = send(body);
        if (status != Exit::Done)
            failed(status);
        return status == Exit::Done;
    };
}

int ServiceClient::upload(const QByteArray &file, const Progress &progress)
{
    Answer answer = call("PUT", QStringLiteral("/api/v1/font"), file);
    const int job = answer.body.value(QLatin1String("job")).toInt();
    QElapsedTimer clock;
    clock.start();
    int lastSent = -1;
    while (answer.ok() && job > 0) {
        answer = call("GET", QStringLiteral("/api/v1/jobs/%1").arg(job));
        const QString state = answer.body.value(QLatin1String("state")).toString();
        const int sent = answer.body.value(QLatin1String("sent")).toInt();
        const int total = answer.body.value(QLatin1String("total")).toInt();
        if (answer.ok() && sent != lastSent && total > 0) {
            lastSent = sent;
            progress(sent, total, sent > 0 ? clock.elapsed() / 1000.0 / sent * (total - sent) : 0);
        }
        if (state == QLatin1String("done"))
            return Exit::Done;
        if (answer.ok() && state != QLatin1String("queued") && state != QLatin1String("running")) {
            ConsoleOutput::say(QStringLiteral("the upload ended %1 in the service").arg(state));
            return Exit::LineFailed;
        }
        if (answer.ok() && !wait(nullptr, kPollMs))
            return Exit::Done;
    }
    return said(answer);
}

int ServiceClient::waitWhileScrolling()
{
    if (m_dryRun)
        return Exit::Done;
    for (;;) {
        const Answer answer = call("GET", QStringLiteral("/api/v1/state"));
        if (!answer.ok())
            return said(answer);
        if (!answer.body.value(QLatin1String("scrolling")).toBool())
            return Exit::Done;
        if (!wait(nullptr, kPollMs))
            return Exit::Done;
    }
}
