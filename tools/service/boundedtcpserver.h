#pragma once

#include <QHash>
#include <QTcpServer>

class QTcpSocket;

// The listening socket under the HTTP server, which buffers a whole request before its handler
// sees it: this counts what each connection sends before the HTTP server reads it and answers
// 413 and closes a connection whose request grows past the bound, and answers 503 to clients
// past the cap.
class BoundedTcpServer : public QTcpServer
{
    Q_OBJECT
public:
    explicit BoundedTcpServer(qint64 maxRequestBytes, int maxClients, QObject *parent = nullptr);

    // A whole request of socket reached its handler: the next one is counted from 0.
    void requestDone(QTcpSocket *socket);
    int clients() const { return static_cast<int>(m_received.size()); }

    // Writes a JSON refusal with status and closes the connection once it is out, reading and
    // dropping what the client still sends meanwhile (closing at once could lose the answer).
    static void refuse(QTcpSocket *socket, int status, const QByteArray &reason,
                       const QString &text);

protected:
    void incomingConnection(qintptr handle) override;

private:
    void count(QTcpSocket *socket);

    qint64 m_maxRequestBytes;
    int m_maxClients;
    QHash<QTcpSocket *, qint64> m_received;
};
