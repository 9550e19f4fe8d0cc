#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

#include <functional>

// Debian's mosquitto on a free loopback port for a test, and mosquitto_pub to publish on it.
class MqttBroker
{
public:
    MqttBroker() = default;
    ~MqttBroker();

    // True once the broker takes connections; started again, on the port it had.
    bool start();
    // Ends it (SIGTERM, or SIGKILL when kill) and waits for its end.
    void stop(bool kill = false);
    quint16 port() const { return m_port; }
    QString address() const { return "127.0.0.1:" + QString::number(m_port); }
    // Publishes payload (from standard input, so any bytes) on topic, kept by the broker when
    // retained; while mosquitto_pub runs, idle runs.
    bool publish(const QString &topic, const QByteArray &payload,
                 const std::function<void()> &idle = {}, bool retained = false) const;

private:
    quint16 m_port = 0;
    QProcess m_process;
};
