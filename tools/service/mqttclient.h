#pragma once

#include "mqttsettings.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

class QSocketNotifier;
class QSslSocket;
struct mosquitto;
struct mosquitto_message;

// libmosquitto on Qt's event loop: its socket watched by notifiers and its housekeeping on a
// timer, never a thread of its own and never a wait on the broker. Reconnects after a pause
// that doubles up to a minute; what waits for the broker is bounded, the oldest events going
// first and a retained topic keeping only its newest payload.
class MqttClient : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxQueued = 64;
    // Larger packets the broker does not send (MQTT 5's maximum packet size): room for a
    // 64 KiB payload and its topic.
    static constexpr int kMaxPacket = 64 * 1024 + 4096;

    explicit MqttClient(const MqttSettings &settings, QObject *parent = nullptr);
    ~MqttClient() override;

    // Before start: what the broker publishes, retained, when the connection is lost.
    void setWill(const QString &topic, const QByteArray &payload);
    // Subscribed on every connection.
    void subscribe(const QString &topic);
    void start();
    // Leaves the broker cleanly; with a last message sent first.
    void stop();

    void publish(const QString &topic, const QByteArray &payload, bool retained);
    bool isConnected() const { return m_state == State::Connected; }
    // Nothing waits to be handed to the broker or written to its socket.
    bool drained() const;

Q_SIGNALS:
    void connected();
    // A try failed, or the connection was lost (wasConnected); the next try is in retryMs.
    void disconnected(const QString &why, int retryMs, bool wasConnected);
    // retained: the broker kept it from before (a command sent with the retain flag).
    void received(const QString &topic, const QByteArray &payload, bool retained);
    // Everything queued has been written.
    void emptied();

private:
    enum class State { Idle, Probing, Connecting, Connected, Waiting };
    struct Outgoing
    {
        QString topic;
        QByteArray payload;
        bool retained = false;
    };

    static void onConnect(mosquitto *, void *self, int reason);
    static void onDisconnect(mosquitto *, void *self, int reason);
    static void onMessage(mosquitto *, void *self, const mosquitto_message *message);
    static void onLog(mosquitto *, void *self, int level, const char *text);

    void probe();
    void connectBroker(const QString &address);
    void watchSocket();
    enum class Loss { Other, Closed, TakenOver }; // Closed: by the broker, without a reason
    void lost(const QString &why, Loss loss = Loss::Other);
    // libmosquitto's error rc in words, with the causes its log gave.
    QString failure(int rc);
    // Runs one of libmosquitto's loop calls and takes a failure as the connection's loss.
    void loopCall(int rc);
    // The write notifier is on while libmosquitto has bytes to write.
    void watchWrites();
    void dropSocket();
    // Hands over what waits, then tells when all of it is written.
    void flush();
    void handOver();

    MqttSettings m_settings;
    mosquitto *m_mosq = nullptr;
    State m_state = State::Idle;
    QStringList m_subscriptions;
    QList<Outgoing> m_queue;
    QPointer<QSslSocket> m_probe;
    QPointer<QSocketNotifier> m_reader;
    QPointer<QSocketNotifier> m_writer;
    QTimer m_misc;
    QTimer m_retry;
    QTimer m_probeTimeout;
    int m_backoffMs;
    int m_takeoverMs;     // the pause after the session was taken over; grows until another loss
    int m_shortLived = 0; // connections in a row the broker closed right after they were made
    QElapsedTimer m_connectedAt;
    QStringList m_errors; // libmosquitto's error lines since the last connection
    static constexpr int kMaxErrors = 8;
};
