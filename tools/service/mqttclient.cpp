#include "mqttclient.h"

#include <QSocketNotifier>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>

#include <algorithm>

#include <mosquitto.h>
#include <mqtt_protocol.h>

namespace {

constexpr int kFirstRetryMs = 1000;
constexpr int kLastRetryMs = 60000;
constexpr int kKeepAliveSeconds = 30;
constexpr int kMiscMs = 1000;
constexpr int kProbeMs = 10000;
// A connection the broker ends sooner than this after it was made counts as short-lived; so
// many of them in a row tell of a twin taking the session over. A broker restarted twice in
// quick succession ends two connections early too: that is no twin.
constexpr int kShortLivedMs = 5000;
constexpr int kShortLivedInARow = 3;

// libmosquitto is set up once per process.
struct Library
{
    Library() { mosquitto_lib_init(); }
    ~Library() { mosquitto_lib_cleanup(); }
};

} // namespace

MqttClient::MqttClient(const MqttSettings &settings, QObject *parent)
    : QObject(parent), m_settings(settings), m_backoffMs(kFirstRetryMs), m_takeoverMs(kFirstRetryMs)
{
    static Library library;
    m_mosq = mosquitto_new(settings.clientId.toUtf8().constData(), true, this);
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    mosquitto_connect_callback_set(m_mosq, &MqttClient::onConnect);
    mosquitto_disconnect_callback_set(m_mosq, &MqttClient::onDisconnect);
    mosquitto_message_callback_set(m_mosq, &MqttClient::onMessage);
    mosquitto_log_callback_set(m_mosq, &MqttClient::onLog);
    if (!settings.user.isEmpty())
        mosquitto_username_pw_set(
                m_mosq, settings.user.toUtf8().constData(),
                settings.password.isEmpty() ? nullptr : settings.password.toUtf8().constData());
    if (!settings.caFile.isEmpty())
        mosquitto_tls_set(m_mosq, settings.caFile.toUtf8().constData(), nullptr, nullptr, nullptr,
                          nullptr);
    m_misc.setInterval(kMiscMs);
    connect(&m_misc, &QTimer::timeout, this, [this] { loopCall(mosquitto_loop_misc(m_mosq)); });
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &MqttClient::probe);
    m_probeTimeout.setSingleShot(true);
    m_probeTimeout.setInterval(kProbeMs);
    connect(&m_probeTimeout, &QTimer::timeout, this,
            [this] { lost(QStringLiteral("the broker did not answer")); });
}

MqttClient::~MqttClient()
{
    delete m_reader;
    delete m_writer;
    // Without a DISCONNECT the broker publishes the will.
    mosquitto_destroy(m_mosq);
}

void MqttClient::setWill(const QString &topic, const QByteArray &payload)
{
    mosquitto_will_set(m_mosq, topic.toUtf8().constData(), static_cast<int>(payload.size()),
                       payload.constData(), 1, true);
}

void MqttClient::subscribe(const QString &topic)
{
    m_subscriptions.append(topic);
}

void MqttClient::start()
{
    probe();
}

void MqttClient::stop()
{
    m_retry.stop();
    const bool wasConnected = m_state == State::Connected;
    if (wasConnected)
        handOver();
    // Idle first: the disconnection this asks for is no loss.
    m_state = State::Idle;
    if (wasConnected)
        mosquitto_disconnect(m_mosq);
    dropSocket();
}

// Stop may come from a notifier's own signal: it goes once that returns.
void MqttClient::dropSocket()
{
    for (QSocketNotifier *notifier : {m_reader.data(), m_writer.data()}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    m_misc.stop();
}

// libmosquitto's connect waits for the TCP handshake, and only its waiting connect sends
// MQTT 5's maximum packet size; so a connection of Qt's own, which waits for nothing, first
// finds the broker answering, and the handshake that follows is one round trip.
void MqttClient::probe()
{
    m_state = State::Probing;
    delete m_probe;
    m_probe = new QSslSocket(this);
    // Without Qt's own TLS the probe only finds the broker, and libmosquitto's log tells the rest.
    const bool tls = !m_settings.caFile.isEmpty() && QSslSocket::supportsSsl();
    connect(m_probe, tls ? &QSslSocket::encrypted : &QSslSocket::connected, this, [this] {
        const QString address = m_probe->peerAddress().toString();
        m_probe->abort();
        m_probe->deleteLater();
        m_probeTimeout.stop();
        // TLS checks the certificate against the name.
        connectBroker(m_settings.caFile.isEmpty() ? address : m_settings.host);
    });
    // With TLS the probe shakes hands as libmosquitto will, and says why a certificate is
    // refused (an unknown issuer, another host's name), which libmosquitto's error does not.
    connect(m_probe, &QSslSocket::sslErrors, this, [this](const QList<QSslError> &errors) {
        QStringList why;
        for (const QSslError &error : errors)
            why.append(error.errorString());
        m_probe->abort();
        m_probe->deleteLater();
        m_probeTimeout.stop();
        lost("the broker's TLS certificate is refused: " + why.join("; "));
    });
    connect(m_probe, &QSslSocket::errorOccurred, this, [this] {
        const QString why = m_probe->errorString();
        m_probe->deleteLater();
        m_probeTimeout.stop();
        lost(why);
    });
    m_probeTimeout.start();
    if (!tls) {
        m_probe->connectToHost(m_settings.host, m_settings.port);
        return;
    }
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setCaCertificates(QSslCertificate::fromPath(m_settings.caFile));
    m_probe->setSslConfiguration(configuration);
    m_probe->connectToHostEncrypted(m_settings.host, m_settings.port);
}

void MqttClient::connectBroker(const QString &address)
{
    m_state = State::Connecting;
    mosquitto_property *properties = nullptr;
    mosquitto_property_add_int32(&properties, MQTT_PROP_MAXIMUM_PACKET_SIZE, kMaxPacket);
    const int rc = mosquitto_connect_bind_v5(m_mosq, address.toUtf8().constData(), m_settings.port,
                                             kKeepAliveSeconds, nullptr, properties);
    mosquitto_property_free_all(&properties);
    if (rc != MOSQ_ERR_SUCCESS) {
        lost(failure(rc));
        return;
    }
    watchSocket();
}

void MqttClient::watchSocket()
{
    const int socket = mosquitto_socket(m_mosq);
    m_reader = new QSocketNotifier(socket, QSocketNotifier::Read, this);
    connect(m_reader, &QSocketNotifier::activated, this,
            [this] { loopCall(mosquitto_loop_read(m_mosq, 1)); });
    m_writer = new QSocketNotifier(socket, QSocketNotifier::Write, this);
    connect(m_writer, &QSocketNotifier::activated, this, [this] {
        loopCall(mosquitto_loop_write(m_mosq, 1));
        flush();
    });
    m_misc.start();
    flush();
}

void MqttClient::loopCall(int rc)
{
    // A callback in the call may have ended the connection already.
    if (m_state == State::Waiting || m_state == State::Idle)
        return;
    if (rc != MOSQ_ERR_SUCCESS) {
        if (rc == MOSQ_ERR_CONN_LOST)
            lost(QStringLiteral("the broker went away"), Loss::Closed);
        else
            lost(failure(rc));
        return;
    }
    watchWrites();
}

void MqttClient::watchWrites()
{
    if (m_writer && (m_state == State::Connecting || m_state == State::Connected))
        m_writer->setEnabled(mosquitto_want_write(m_mosq));
}

QString MqttClient::failure(int rc)
{
    QString why = QString::fromUtf8(mosquitto_strerror(rc));
    // libmosquitto's own words for a TLS failure say nothing of its cause; its log does.
    if (rc == MOSQ_ERR_TLS && !m_errors.isEmpty())
        why += " (" + m_errors.join("; ") + ")";
    m_errors.clear();
    return why;
}

void MqttClient::lost(const QString &why, Loss loss)
{
    if (m_state == State::Waiting || m_state == State::Idle)
        return;
    const bool wasConnected = m_state == State::Connected;
    m_state = State::Waiting;
    // The socket may be closed already: nothing may watch its number any more.
    dropSocket();
    // Two clients of one id take the session from each other at every connection. MQTT 5
    // says so with a reason, but a broker may close the socket before that is written: then
    // connections the broker ends right after they were made, several in a row, tell it.
    const bool shortLived
            = wasConnected && loss == Loss::Closed && m_connectedAt.elapsed() < kShortLivedMs;
    m_shortLived = shortLived ? m_shortLived + 1 : 0;
    const bool takenOver = loss == Loss::TakenOver || m_shortLived >= kShortLivedInARow;
    // Said once, with a pause of its own that keeps growing while it goes on.
    const bool again = takenOver && m_takeoverMs > kFirstRetryMs;
    if (!takenOver)
        m_takeoverMs = kFirstRetryMs;
    int &pause = takenOver ? m_takeoverMs : m_backoffMs;
    const int retry = pause;
    pause = std::min(pause * 2, kLastRetryMs);
    m_retry.start(retry);
    if (again)
        return;
    const QString id = m_settings.clientId;
    if (loss == Loss::TakenOver)
        Q_EMIT disconnected("another client connected with the same client id (" + id
                                    + ") and took the session over; is a second vornikd "
                                      "running with the same --id? Said once; the pause grows "
                                      "while it goes on",
                            retry, wasConnected);
    else if (takenOver)
        Q_EMIT disconnected("the broker closed the connection right after it was made, three "
                            "times in a row: another client with the same client id ("
                                    + id
                                    + ") may be taking the session over; is a second vornikd "
                                      "running with the same --id? Said once; the pause grows "
                                      "while it goes on",
                            retry, wasConnected);
    else
        Q_EMIT disconnected(why, retry, wasConnected);
}

void MqttClient::publish(const QString &topic, const QByteArray &payload, bool retained)
{
    if (retained) {
        m_queue.erase(std::remove_if(m_queue.begin(), m_queue.end(),
                                     [&](const Outgoing &o) { return o.topic == topic; }),
                      m_queue.end());
    }
    m_queue.append({topic, payload, retained});
    while (m_queue.size() > kMaxQueued) {
        const auto event = std::find_if(m_queue.begin(), m_queue.end(),
                                        [](const Outgoing &o) { return !o.retained; });
        m_queue.erase(event != m_queue.end() ? event : m_queue.begin());
    }
    flush();
}

bool MqttClient::drained() const
{
    return m_queue.isEmpty() && !mosquitto_want_write(m_mosq);
}

void MqttClient::flush()
{
    handOver();
    watchWrites();
    if (m_state == State::Connected && drained())
        Q_EMIT emptied();
}

// Hands the queue to libmosquitto only while its own is empty, so that it never grows there.
void MqttClient::handOver()
{
    while (m_state == State::Connected && !m_queue.isEmpty() && !mosquitto_want_write(m_mosq)) {
        const Outgoing next = m_queue.takeFirst();
        const QByteArray topic = next.topic.toUtf8();
        mosquitto_publish(m_mosq, nullptr, topic.constData(), static_cast<int>(next.payload.size()),
                          next.payload.constData(), 0, next.retained);
    }
}

void MqttClient::onConnect(mosquitto *, void *self, int reason)
{
    auto *client = static_cast<MqttClient *>(self);
    if (reason != 0) {
        client->lost(QString::fromUtf8(mosquitto_reason_string(reason)));
        return;
    }
    client->m_state = State::Connected;
    client->m_errors.clear();
    client->m_backoffMs = kFirstRetryMs;
    client->m_connectedAt.start();
    // Subscribed before anything is published, so that one who sees the first publication
    // knows that commands reach the service.
    for (const QString &topic : std::as_const(client->m_subscriptions))
        mosquitto_subscribe(client->m_mosq, nullptr, topic.toUtf8().constData(), 1);
    Q_EMIT client->connected();
}

void MqttClient::onDisconnect(mosquitto *, void *self, int reason)
{
    auto *client = static_cast<MqttClient *>(self);
    if (reason == MQTT_RC_SESSION_TAKEN_OVER)
        client->lost(QString(), Loss::TakenOver);
    else if (reason == MOSQ_ERR_CONN_LOST)
        client->lost(QStringLiteral("the broker went away"), Loss::Closed);
    else if (reason >= MQTT_RC_UNSPECIFIED) // the broker's reason
        client->lost(QString::fromUtf8(mosquitto_reason_string(reason)));
    else if (reason == MOSQ_ERR_SUCCESS)
        client->lost(QStringLiteral("the broker ended the connection"), Loss::Closed);
    else
        client->lost(client->failure(reason));
}

void MqttClient::onLog(mosquitto *, void *self, int level, const char *text)
{
    auto *client = static_cast<MqttClient *>(self);
    if (level == MOSQ_LOG_ERR && client->m_errors.size() < kMaxErrors)
        client->m_errors.append(QString::fromUtf8(text));
}

void MqttClient::onMessage(mosquitto *, void *self, const mosquitto_message *message)
{
    auto *client = static_cast<MqttClient *>(self);
    Q_EMIT client->received(
            QString::fromUtf8(message->topic),
            QByteArray(static_cast<const char *>(message->payload), message->payloadlen),
            message->retain);
}
