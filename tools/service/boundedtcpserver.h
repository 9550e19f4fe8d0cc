#pragma once

#include "refusallog.h"

#include <QHash>
#include <QHostAddress>
#include <QTcpServer>

class QTcpSocket;
class QTimer;

// The listening socket under the HTTP server, which buffers a whole request before its handler
// sees it. This keeps one client from shutting the others out: it counts what each connection
// sends before the HTTP server reads it (413 past the bound), gives a request a time to arrive
// whole (408) and a kept-alive connection a time to send the next one, holds each address to
// a share of the connections, and when all are taken drops one that has not yet sent a whole
// request before it refuses a new client (503). Refusals go to a RefusalLog.
class BoundedTcpServer : public QTcpServer
{
    Q_OBJECT
public:
    struct Limits
    {
        qint64 maxRequestBytes = 0;
        int maxClients = 64;
        int maxPerAddress = 16;
        int requestMs = 10000; // from the accept, or from the first byte after an answer
        int idleMs = 30000;    // a kept-alive connection between requests
    };

    explicit BoundedTcpServer(const Limits &limits, QObject *parent = nullptr);

    // A whole request of socket reached its handler: the next one is counted from 0, and the
    // connection may idle until it comes.
    void requestDone(QTcpSocket *socket);
    // socket carries an event stream from now on: no time limits.
    void streaming(QTcpSocket *socket);
    int clients() const { return static_cast<int>(m_connections.size()); }

    // Writes a JSON refusal with status and closes the connection once it is out, reading and
    // dropping what the client still sends meanwhile (closing at once could lose the answer).
    static void refuse(QTcpSocket *socket, int status, const QByteArray &reason,
                       const QString &text);

protected:
    void incomingConnection(qintptr handle) override;

private:
    enum class Phase { Request, Idle, Streaming };
    struct Connection
    {
        QHostAddress peer;
        qint64 received = 0;
        Phase phase = Phase::Request;
        bool answered = false; // a whole request came before
        quint64 serial = 0;    // the order of accepting
        QTimer *deadline = nullptr;
    };

    void count(QTcpSocket *socket);
    void expire(QTcpSocket *socket);
    void arm(Connection &connection, Phase phase);
    // Drops the connection to lose first when all are taken; false when there is none.
    bool makeRoom();
    // Forgets socket and stops the HTTP server reading it.
    void release(QTcpSocket *socket);
    int fromAddress(const QHostAddress &peer) const;

    Limits m_limits;
    QHash<QTcpSocket *, Connection> m_connections;
    quint64 m_accepted = 0;
    RefusalLog m_log;
};
