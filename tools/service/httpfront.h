#pragma once

#include "requestjudge.h"

#include <QAbstractHttpServer>
#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QTimer>

#include <memory>

class BoundedTcpServer;
class ChainService;
class QHttpServerResponder;
class QTcpSocket;

// vornikd's HTTP side: every request judged (RequestJudge), run by the service and answered
// in JSON at once; the page from the program's resources; and the event streams, each a
// response that stays open and gets one Server-Sent Event per state change, notification
// and job step.
class HttpFront : public QAbstractHttpServer
{
    Q_OBJECT
public:
    explicit HttpFront(ChainService &service, const RequestJudge::Context &context, int maxStreams,
                       QObject *parent = nullptr);
    ~HttpFront() override;

    // Serves the connections server accepts; it becomes this object's child.
    void serve(BoundedTcpServer *server);
    int streams() const { return static_cast<int>(m_streams.size()); }

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    struct Stream
    {
        std::unique_ptr<QHttpServerResponder> responder;
        QPointer<QTcpSocket> socket;
    };

    void openStream(QHttpServerResponder &&responder, QTcpSocket *socket);
    void broadcast(const QByteArray &event, const QByteArray &data);

    ChainService &m_service;
    RequestJudge::Context m_context;
    int m_maxStreams;
    BoundedTcpServer *m_server = nullptr;
    QList<std::shared_ptr<Stream>> m_streams;
    QTimer m_keepAlive;
    QByteArray m_page;
    QList<QPair<QByteArray, QByteArray>> m_pageHeaders;
};
