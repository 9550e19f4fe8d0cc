#pragma once

#include "support/runningprogram.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>

// mosquitto_sub on a filter: every message that came, and the last payload of each topic.
class MqttSubscriber
{
public:
    bool start(quint16 port, const QString &filter);
    qsizetype count() const { return m_messages.size(); }
    QList<QPair<QString, QByteArray>> since(qsizetype from) const { return m_messages.mid(from); }
    // Waits until topic has carried payload since from.
    bool waitFor(const QString &topic, const QByteArray &payload, qsizetype from = 0) const;
    // Waits until topic has carried a payload containing part since from; idle runs meanwhile.
    bool waitForPart(const QString &topic, const QByteArray &part, qsizetype from,
                     const std::function<void()> &idle) const;
    QByteArray last(const QString &topic) const;

private:
    QByteArray m_buffer;
    QList<QPair<QString, QByteArray>> m_messages;
    RunningProgram m_run; // last, so that it ends before what its output fills
};
