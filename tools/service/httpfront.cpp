#include "httpfront.h"

#include "boundedtcpserver.h"
#include "chainservice.h"
#include "digitsvg.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>
#include <QTcpSocket>

#include <algorithm>

namespace {

using Status = QHttpServerResponder::StatusCode;

// A stream whose client stops reading is dropped before its backlog grows past this.
constexpr qint64 kMaxBacklog = 1024 * 1024;
// A comment line now and then keeps idle streams from being closed by proxies.
constexpr int kKeepAliveMs = 15000;

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

using Headers = QList<QPair<QByteArray, QByteArray>>;

// The live page may run its own script (by its hash) and talk to this service alone, and no
// other page may frame it or learn its address.
Headers pageHeaders(const QByteArray &page)
{
    const qsizetype open = page.indexOf("<script>") + 8;
    const QByteArray script = page.mid(open, page.indexOf("</script>", open) - open);
    const QByteArray hash = QCryptographicHash::hash(script, QCryptographicHash::Sha256).toBase64();
    return {{"Content-Type", "text/html; charset=utf-8"},
            {"Content-Security-Policy",
             "default-src 'self'; script-src 'sha256-" + hash
                     + "'; style-src 'self' 'unsafe-inline'; img-src 'self' data:; connect-src "
                       "'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'"},
            {"X-Frame-Options", "DENY"},
            {"Referrer-Policy", "no-referrer"}};
}

void reply(QHttpServerResponder &responder, int status, const QByteArray &body,
           const Headers &headers)
{
    responder.writeStatusLine(static_cast<Status>(status));
    for (const auto &[name, value] : headers)
        responder.writeHeader(name, value);
    responder.writeHeader("Cache-Control", "no-store");
    responder.writeHeader("X-Content-Type-Options", "nosniff");
    responder.writeHeader("Content-Length", QByteArray::number(body.size()));
    responder.writeBody(body);
}

void answer(QHttpServerResponder &responder, int status, const QJsonObject &body,
            Headers headers = {})
{
    headers.prepend(qMakePair(QByteArray("Content-Type"), QByteArray("application/json")));
    reply(responder, status, compact(body), headers);
}

// The client asked for the connection to end with this answer.
bool closeAsked(const QHttpServerRequest &request)
{
    const QList<QByteArray> tokens = request.value("Connection").toLower().split(',');
    return std::any_of(tokens.cbegin(), tokens.cend(),
                       [](const QByteArray &token) { return token.trimmed() == "close"; });
}

QByteArray methodName(QHttpServerRequest::Method method)
{
    return QByteArray(QMetaEnum::fromType<QHttpServerRequest::Method>().valueToKey(
                              static_cast<int>(method)))
            .toUpper();
}

} // namespace

HttpFront::HttpFront(ChainService &service, const RequestJudge::Context &context, int maxStreams,
                     QObject *parent)
    : QAbstractHttpServer(parent), m_service(service), m_context(context), m_maxStreams(maxStreams)
{
    connect(&m_service, &ChainService::stateChanged, this,
            [this] { broadcast("state", compact(m_service.state())); });
    connect(&m_service, &ChainService::notificationEvent, this,
            [this](const QJsonObject &event) { broadcast("notification", compact(event)); });
    connect(&m_service, &ChainService::jobEvent, this,
            [this](const QJsonObject &job) { broadcast("job", compact(job)); });
    QFile page(QStringLiteral(":/page/index.html"));
    page.open(QIODevice::ReadOnly);
    m_page = page.readAll();
    m_pageHeaders = pageHeaders(m_page);
    m_keepAlive.setInterval(kKeepAliveMs);
    connect(&m_keepAlive, &QTimer::timeout, this, [this] { broadcast({}, {}); });
    m_keepAlive.start();
}

HttpFront::~HttpFront() = default;

void HttpFront::serve(BoundedTcpServer *server)
{
    m_server = server;
    bind(server);
}

bool HttpFront::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    if (m_server)
        m_server->requestDone(socket);
    const RequestJudge::Incoming incoming{
            methodName(request.method()), request.url().path(QUrl::FullyEncoded).toUtf8(),
            request.value("Host"), request.value("Authorization"), request.body()};
    const RequestJudge::Verdict verdict = RequestJudge::judge(incoming, m_context);
    QHttpServerResponder responder = makeResponder(request, socket);
    if (verdict.ok() && verdict.request.kind == ApiRequest::Events) {
        openStream(std::move(responder), socket);
        return true;
    }
    const bool close = closeAsked(request);
    Headers headers = verdict.headers;
    if (close)
        headers.append(qMakePair(QByteArray("Connection"), QByteArray("close")));
    if (!verdict.ok()) {
        answer(responder, verdict.status, QJsonObject{{"error", verdict.error}}, headers);
    } else if (verdict.request.kind == ApiRequest::Page) {
        reply(responder, 200, m_page, m_pageHeaders + headers);
    } else if (verdict.request.kind == ApiRequest::DigitSvg) {
        reply(responder, 200, DigitSvg::svg(),
              Headers{{"Content-Type", "image/svg+xml"}} + headers);
    } else {
        ChainService::Reply run = m_service.run(verdict.request);
        if (run.status == 200 && !verdict.request.note.isEmpty())
            run.body.insert("note", verdict.request.note);
        answer(responder, run.status, run.body, headers);
    }
    // Closed once the answer is out.
    if (close)
        socket->disconnectFromHost();
    return true;
}

void HttpFront::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    QHttpServerResponder responder = makeResponder(request, socket);
    answer(responder, 404, QJsonObject{{"error", "no such page"}});
}

void HttpFront::openStream(QHttpServerResponder &&responder, QTcpSocket *socket)
{
    if (streams() >= m_maxStreams) {
        answer(responder, 503,
               QJsonObject{{"error", QStringLiteral("too many event streams (%1); close one "
                                                    "first")
                                             .arg(m_maxStreams)}});
        return;
    }
    auto stream = std::make_shared<Stream>();
    stream->responder = std::make_unique<QHttpServerResponder>(std::move(responder));
    stream->socket = socket;
    if (m_server)
        m_server->streaming(socket);
    // No length: the body is the stream, and it ends when either side closes.
    stream->responder->writeStatusLine(Status::Ok);
    stream->responder->writeHeaders({{"Content-Type", "text/event-stream"},
                                     {"Cache-Control", "no-store"},
                                     {"Connection", "close"}});
    stream->responder->writeBody("event: state\ndata: " + compact(m_service.state()) + "\n\n");
    m_streams.append(stream);
    const auto drop = [this, weak = std::weak_ptr<Stream>(stream)] {
        if (const auto gone = weak.lock())
            m_streams.removeOne(gone);
    };
    connect(socket, &QTcpSocket::disconnected, this, drop);
    connect(socket, &QObject::destroyed, this, drop);
}

void HttpFront::broadcast(const QByteArray &event, const QByteArray &data)
{
    const QByteArray text = event.isEmpty() ? QByteArray(": keep-alive\n\n")
                                            : "event: " + event + "\ndata: " + data + "\n\n";
    const QList<std::shared_ptr<Stream>> streams = m_streams;
    for (const auto &stream : streams) {
        QTcpSocket *socket = stream->socket;
        if (!socket || socket->state() != QAbstractSocket::ConnectedState
            || socket->bytesToWrite() > kMaxBacklog) {
            m_streams.removeOne(stream);
            if (socket)
                socket->abort();
            continue;
        }
        stream->responder->writeBody(text);
    }
}
