#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QString>

#include <functional>

// mosquitto_sub on a topic filter: every message that came, in order.
class MqttSubscriber
{
public:
    MqttSubscriber() = default;
    ~MqttSubscriber();

    bool start(quint16 port, const QString &filter);
    qsizetype count() const { return m_messages.size(); }
    QList<QPair<QString, QByteArray>> since(qsizetype from) const { return m_messages.mid(from); }
    // Waits until topic has carried a payload containing part since from; idle runs meanwhile.
    bool waitFor(const QString &topic, const QByteArray &part, qsizetype from = 0,
                 const std::function<void()> &idle = {}) const;

private:
    void read();

    QByteArray m_buffer;
    QList<QPair<QString, QByteArray>> m_messages;
    QProcess m_process;
};
