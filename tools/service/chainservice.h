#pragma once

#include "apirequest.h"

#include "protocol/pacedcommand.h"
#include "serial/deviceidentity.h"

#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>

class ActionQueue;
class ChainLine;
class ChainStateTracker;
class ShowLayers;

// The chain as vornikd serves it: the line (reopened, less often the longer it fails, and only
// when the device it first opened is back at the port), one queue
// for every frame, and the requests turned into the layers of what the chain shows (the
// content, the notifications over it, the upload jobs). Requests arrive judged; running one
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

    // Sends what the chain shows again, whole (for a chain that was switched off and on).
    void paintAgain();

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
    struct Job
    {
        int id = 0;
        int sent = 0;
        int total = 0;
        QString state;
    };

    Reply refuse(int status, const QString &text) const;
    Reply queued(const ApiRequest &request);
    Reply queuedText(const ApiRequest &request);
    void markChanged();

    Reply upload(const ApiRequest &request);
    void tellJob(int sent, int total, const QString &state);
    QJsonObject jobJson(const Job &job) const;

    // What the log said last of the line: each change is said once, not every attempt.
    enum class Told { Open, Lost, FailsAtOnce, AnotherDevice };

    bool openLine();
    void lineLost(const QString &reason);
    void reopen();
    void reopenLater();
    // Paints the chain whole from the state; resume: then the content carries on (a line back).
    void sendState(bool resume);
    CommandList wholePicture() const;
    void tell(Told told, const QString &text);

    QString m_device;
    int m_chain;
    std::unique_ptr<ChainLine> m_line;
    ChainStateTracker *m_tracker = nullptr;
    ActionQueue *m_queue = nullptr;
    ShowLayers *m_layers = nullptr;
    QString m_lineError;
    std::optional<DeviceIdentity> m_identity; // of the device first opened
    int m_reopenBaseMs;
    int m_failedAttempts = 0; // since the line was last steady
    Told m_told = Told::Open;
    QTimer m_reopenTimer;
    QTimer m_steadyTimer; // runs while a reopened line has not yet stayed up
    QTimer m_stateTimer;

    QMap<int, Job> m_jobs;
    int m_activeJob = 0; // queued or running; 0 for none
    int m_nextJob = 0;
};
