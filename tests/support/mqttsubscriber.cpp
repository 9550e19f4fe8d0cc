#include "support/mqttsubscriber.h"

#include <QTest>

namespace {

constexpr int kTimeoutMs = 20000;

} // namespace

bool MqttSubscriber::start(quint16 port, const QString &filter)
{
    QObject::connect(&m_run.process(), &QProcess::readyReadStandardOutput, [this] {
        m_buffer += m_run.process().readAllStandardOutput();
        qsizetype end;
        while ((end = m_buffer.indexOf('\n')) >= 0) {
            const QByteArray line = m_buffer.left(end);
            m_buffer.remove(0, end + 1);
            const qsizetype space = line.indexOf(' ');
            const QString topic = QString::fromUtf8(space < 0 ? line : line.left(space));
            // mosquitto_sub writes an empty payload as "(null)".
            const QByteArray payload = space < 0 ? QByteArray() : line.mid(space + 1);
            m_messages.append({topic, payload == "(null)" ? QByteArray() : payload});
        }
    });
    return m_run.start("mosquitto_sub", {"-h", "127.0.0.1", "-p", QString::number(port), "-V",
                                         "mqttv5", "-v", "-t", filter});
}

bool MqttSubscriber::waitFor(const QString &topic, const QByteArray &payload, qsizetype from) const
{
    return QTest::qWaitFor(
            [&] {
                for (const auto &message : since(from))
                    if (message.first == topic && message.second == payload)
                        return true;
                return false;
            },
            kTimeoutMs);
}

bool MqttSubscriber::waitForPart(const QString &topic, const QByteArray &part, qsizetype from,
                                 const std::function<void()> &idle) const
{
    return QTest::qWaitFor(
            [&] {
                if (idle)
                    idle();
                for (const auto &message : since(from))
                    if (message.first == topic && message.second.contains(part))
                        return true;
                return false;
            },
            kTimeoutMs);
}

QByteArray MqttSubscriber::last(const QString &topic) const
{
    for (qsizetype i = m_messages.size() - 1; i >= 0; --i)
        if (m_messages.at(i).first == topic)
            return m_messages.at(i).second;
    return "<none>";
}
