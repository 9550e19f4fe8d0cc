#include "httpfront.h"

#include "boundedtcpserver.h"
#include "chainservice.h"
#include "digitsvg.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>
#include <QTcpSocket>

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

void answer(QHttpServerResponder &responder, int status, const QJsonObject &body)
{
    responder.write(compact(body),
                    {{"Content-Type", "application/json"}, {"Cache-Control", "no-store"}},
                    static_cast<Status>(status));
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
    if (!verdict.ok()) {
        answer(responder, verdict.status, QJsonObject{{"error", verdict.error}});
        return true;
    }
    switch (verdict.request.kind) {
    case ApiRequest::Page: {
        QFile page(QStringLiteral(":/page/index.html"));
        page.open(QIODevice::ReadOnly);
        responder.write(page.readAll(),
                        {{"Content-Type", "text/html; charset=utf-8"},
                         {"Cache-Control", "no-store"},
                         {"X-Content-Type-Options", "nosniff"}},
                        Status::Ok);
        return true;
    }
    case ApiRequest::DigitSvg:
        responder.write(DigitSvg::svg(), {{"Content-Type", "image/svg+xml"}}, Status::Ok);
        return true;
    case ApiRequest::Events:
        openStream(std::move(responder), socket);
        return true;
    default: {
        ChainService::Reply reply = m_service.run(verdict.request);
        if (reply.status == 200 && !verdict.request.note.isEmpty())
            reply.body.insert("note", verdict.request.note);
        answer(responder, reply.status, reply.body);
        return true;
    }
    }
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
