#pragma once

#include "apirequest.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <array>
#include <memory>
#include <optional>

class ActionQueue;
class ChainLine;
class ChainStateTracker;
class ModeRunner;
class SegmentTestRunner;
class TextScroller;

// The chain as vornikd serves it: the line (reopened every second when it is lost), one queue
// for every frame, the content on show (a message, scrolling when long, or a mode), the
// notifications that pre-empt it, and the upload jobs. Requests arrive judged; running one
// only queues what it sends.
class ChainService : public QObject
{
    Q_OBJECT
public:
    struct Reply
    {
        int status = 200;
        QJsonObject body;
    };

    explicit ChainService(const QString &device, int chain, int queueCapacity,
                          QObject *parent = nullptr);
    ~ChainService() override;

    // Opens the port; when it cannot, the service runs on and keeps trying. Answers why the
    // first open failed (empty when it did not).
    QString start();

    // Runs a judged request (not Page, DigitSvg or Events).
    Reply run(const ApiRequest &request);

    QJsonObject info() const;
    QJsonObject state() const;
    bool lineOpen() const;

Q_SIGNALS:
    // What GET /api/v1/state answers changed; at most ten times a second.
    void stateChanged();
    // A notification started or finished: {"id": 3, "phase": "started"}.
    void notificationEvent(const QJsonObject &event);
    // An upload job moved on: the jobs JSON.
    void jobEvent(const QJsonObject &job);

private:
    // What shows when no notification does.
    struct Content
    {
        enum Kind { None, Message, Mode } kind = None;
        QString text;     // Message: the whole text
        QByteArray shown; // Message that fits: its frame's argument
        int rate = 300;   // Message that scrolls: its timing
        int passes = 0;
        int seconds = 0;
        QString mode; // Mode: its name and fields
        std::array<QString, 3> animation;
    };
    struct Notification
    {
        int id = 0;
        ApiRequest request;
    };
    struct Job
    {
        int id = 0;
        int sent = 0;
        int total = 0;
        QString state;
    };

    Reply refuse(int status, const QString &text) const;
    Reply queued(const ApiRequest &request);
    void markChanged();

    void setContent(const Content &content);
    void showContent();
    void stopContent();
    void startMode();
    TextScroller *scroller(const QString &text, const QByteArray &fitted);
    // Stops and, once the queue is idle, deletes a runner or scroller.
    void retire(QObject *object);
    // Ticks of the content go to the line only while it shows and the line is up.
    void contentTick(const std::function<void()> &tick);

    Reply notify(const ApiRequest &request);
    Reply dismiss(int id);
    void showNotification(const Notification &notification);
    void endNotification(int id);

    Reply upload(const ApiRequest &request);
    QJsonObject jobJson(const Job &job) const;

    void lineLost(const QString &reason);
    void reopen();

    QString m_device;
    int m_chain;
    std::unique_ptr<ChainLine> m_line;
    ChainStateTracker *m_tracker = nullptr;
    ActionQueue *m_queue = nullptr;
    QString m_lineError;
    QTimer m_reopenTimer;
    QTimer m_stateTimer;

    Content m_content;
    QPointer<QObject> m_modeHolder; // the running mode's runner and timers
    QPointer<ModeRunner> m_modeRunner;
    QPointer<SegmentTestRunner> m_testRunner;
    QPointer<TextScroller> m_contentScroller;

    std::optional<Notification> m_shown;
    QList<Notification> m_waiting;
    QPointer<TextScroller> m_noteScroller;
    int m_nextNotification = 0;

    QMap<int, Job> m_jobs;
    int m_activeJob = 0; // queued or running; 0 for none
    int m_nextJob = 0;
};
