#include "boundedtcpserver.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

namespace {

// How long a refused client may go on sending before the connection is dropped.
constexpr int kLingerMs = 2000;

} // namespace

BoundedTcpServer::BoundedTcpServer(qint64 maxRequestBytes, int maxClients, QObject *parent)
    : QTcpServer(parent), m_maxRequestBytes(maxRequestBytes), m_maxClients(maxClients)
{}

void BoundedTcpServer::incomingConnection(qintptr handle)
{
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(handle)) {
        delete socket;
        return;
    }
    if (clients() >= m_maxClients) {
        refuse(socket, 503, "Service Unavailable",
               QStringLiteral("too many clients (%1); try again later").arg(m_maxClients));
        return;
    }
    // Connected before the HTTP server's own reader, so the bytes are counted before it buffers
    // them; the socket's own buffer never holds much more than the bound.
    socket->setReadBufferSize(m_maxRequestBytes + 64 * 1024);
    m_received.insert(socket, 0);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { count(socket); });
    connect(socket, &QObject::destroyed, this, [this, socket] { m_received.remove(socket); });
    addPendingConnection(socket);
}

void BoundedTcpServer::requestDone(QTcpSocket *socket)
{
    if (m_received.contains(socket))
        m_received[socket] = socket->bytesAvailable();
}

void BoundedTcpServer::count(QTcpSocket *socket)
{
    auto found = m_received.find(socket);
    if (found == m_received.end())
        return;
    // The HTTP server reads everything at each arrival, so what is waiting now is new.
    *found += socket->bytesAvailable();
    if (*found <= m_maxRequestBytes)
        return;
    m_received.erase(found);
    // The HTTP server stops reading this connection.
    disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
    refuse(socket, 413, "Payload Too Large",
           QStringLiteral("the request is larger than %1 KiB").arg(m_maxRequestBytes / 1024));
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
