#include "boundedtcpserver.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <tuple>

#include <sys/socket.h>

namespace {

// How long a refused client may go on sending before the connection is dropped.
constexpr int kLingerMs = 2000;

// An IPv4 client of a dual-stack socket as its IPv4 address, so that it counts as one address.
QHostAddress plain(const QHostAddress &address)
{
    bool ok = false;
    const quint32 v4 = address.toIPv4Address(&ok);
    return ok ? QHostAddress(v4) : address;
}

QString seconds(int ms)
{
    return QString::number(ms / 1000.0, 'g', 3) + QStringLiteral(" s");
}

} // namespace

BoundedTcpServer::BoundedTcpServer(const Limits &limits, QObject *parent)
    : QTcpServer(parent), m_limits(limits)
{}

int BoundedTcpServer::fromAddress(const QHostAddress &peer) const
{
    return static_cast<int>(std::count_if(m_connections.cbegin(), m_connections.cend(),
                                          [&](const Connection &c) { return c.peer == peer; }));
}

void BoundedTcpServer::incomingConnection(qintptr handle)
{
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(handle)) {
        delete socket;
        return;
    }
    const QHostAddress peer = plain(socket->peerAddress());
    if (fromAddress(peer) >= m_limits.maxPerAddress) {
        m_log.note(QStringLiteral("connections past %1 per address").arg(m_limits.maxPerAddress),
                   peer);
        refuse(socket, 503, "Service Unavailable",
               QStringLiteral("too many connections from %1 (%2); try again later")
                       .arg(peer.toString())
                       .arg(m_limits.maxPerAddress));
        return;
    }
    if (clients() >= m_limits.maxClients && !makeRoom()) {
        m_log.note(QStringLiteral("connections past %1 clients").arg(m_limits.maxClients), peer);
        refuse(socket, 503, "Service Unavailable",
               QStringLiteral("too many clients (%1); try again later").arg(m_limits.maxClients));
        return;
    }
    // Connected before the HTTP server's own reader, so the bytes are counted before it buffers
    // them; the socket's own buffer never holds much more than the bound.
    socket->setReadBufferSize(m_limits.maxRequestBytes + 64 * 1024);
    Connection &connection = m_connections[socket];
    connection.peer = peer;
    connection.serial = ++m_accepted;
    connection.deadline = new QTimer(socket);
    connection.deadline->setSingleShot(true);
    connect(connection.deadline, &QTimer::timeout, this, [this, socket] { expire(socket); });
    arm(connection, Phase::Request);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { count(socket); });
    connect(socket, &QObject::destroyed, this, [this, socket] { m_connections.remove(socket); });
    addPendingConnection(socket);
}

void BoundedTcpServer::arm(Connection &connection, Phase phase)
{
    connection.phase = phase;
    if (phase == Phase::Streaming)
        connection.deadline->stop();
    else
        connection.deadline->start(phase == Phase::Request ? m_limits.requestMs : m_limits.idleMs);
}

void BoundedTcpServer::requestDone(QTcpSocket *socket)
{
    const auto found = m_connections.find(socket);
    if (found == m_connections.end())
        return;
    found->received = socket->bytesAvailable();
    found->answered = true;
    arm(*found, found->received > 0 ? Phase::Request : Phase::Idle);
}

void BoundedTcpServer::streaming(QTcpSocket *socket)
{
    const auto found = m_connections.find(socket);
    if (found != m_connections.end())
        arm(*found, Phase::Streaming);
}

void BoundedTcpServer::count(QTcpSocket *socket)
{
    auto found = m_connections.find(socket);
    if (found == m_connections.end())
        return;
    // The HTTP server reads everything at each arrival, so what is waiting now is new.
    found->received += socket->bytesAvailable();
    // The next request's time runs from its first byte.
    if (found->phase == Phase::Idle)
        arm(*found, Phase::Request);
    if (found->received <= m_limits.maxRequestBytes)
        return;
    m_log.note(QStringLiteral("requests past %1 KiB").arg(m_limits.maxRequestBytes / 1024),
               found->peer);
    release(socket);
    refuse(socket, 413, "Payload Too Large",
           QStringLiteral("the request is larger than %1 KiB")
                   .arg(m_limits.maxRequestBytes / 1024));
}

void BoundedTcpServer::expire(QTcpSocket *socket)
{
    const auto found = m_connections.find(socket);
    if (found == m_connections.end())
        return;
    if (found->phase == Phase::Idle) {
        // A kept-alive connection that sent nothing more: closed once the answers are out.
        release(socket);
        socket->disconnectFromHost();
        return;
    }
    m_log.note(QStringLiteral("requests not whole within %1").arg(seconds(m_limits.requestMs)),
               found->peer);
    release(socket);
    refuse(socket, 408, "Request Timeout",
           QStringLiteral("the request did not arrive whole within %1")
                   .arg(seconds(m_limits.requestMs)));
}

bool BoundedTcpServer::makeRoom()
{
    // First a connection that never sent a whole request, from the address that holds the
    // most, the oldest of those; then the oldest kept-alive one between requests. Streams and
    // a known client's request in progress stay.
    QTcpSocket *victim = nullptr;
    std::tuple<int, int, quint64> best{2, 0, 0};
    for (auto c = m_connections.cbegin(); c != m_connections.cend(); ++c) {
        std::tuple<int, int, quint64> rank;
        if (c->phase == Phase::Request && !c->answered)
            rank = {0, -fromAddress(c->peer), c->serial};
        else if (c->phase == Phase::Idle)
            rank = {1, 0, c->serial};
        else
            continue;
        if (!victim || rank < best) {
            victim = c.key();
            best = rank;
        }
    }
    if (!victim)
        return false;
    const Connection dropped = m_connections.value(victim);
    if (!dropped.answered)
        m_log.note(QStringLiteral("connections without a whole request dropped for new clients"),
                   dropped.peer);
    release(victim);
    victim->abort();
    victim->deleteLater();
    return true;
}

void BoundedTcpServer::release(QTcpSocket *socket)
{
    m_connections.remove(socket);
    // The HTTP server stops reading this connection.
    disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
}

void BoundedTcpServer::refuse(QTcpSocket *socket, int status, const QByteArray &reason,
                              const QString &text)
{
    const QByteArray body
            = QJsonDocument(QJsonObject{{"error", text}}).toJson(QJsonDocument::Compact);
    socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reason
                  + "\r\nContent-Type: application/json\r\nContent-Length: "
                  + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    connect(socket, &QTcpSocket::readyRead, socket,
            [socket] { socket->skip(socket->bytesAvailable()); });
    socket->skip(socket->bytesAvailable());
    // Once the answer is out, the sending side closes; the client reads it and hangs up.
    const auto halfClose = [socket] {
        if (socket->bytesToWrite() == 0)
            ::shutdown(static_cast<int>(socket->socketDescriptor()), SHUT_WR);
    };
    connect(socket, &QTcpSocket::bytesWritten, socket, halfClose);
    socket->flush();
    halfClose();
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(kLingerMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
}
