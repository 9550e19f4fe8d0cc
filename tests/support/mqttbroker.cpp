#include "support/mqttbroker.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {
constexpr int kTimeoutMs = 20000;
}

MqttBroker::~MqttBroker()
{
    m_process.terminate();
    m_process.waitForFinished(kTimeoutMs);
}

bool MqttBroker::start()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    m_port = probe.serverPort();
    probe.close();
    // With -p alone, Debian's broker listens on loopback only.
    m_process.start("mosquitto", {"-p", QString::number(m_port)});
    if (!m_process.waitForStarted())
        return false;
    return QTest::qWaitFor(
            [&] {
                QTcpSocket socket;
                socket.connectToHost(QHostAddress::LocalHost, m_port);
                return socket.waitForConnected(200);
            },
            kTimeoutMs);
}

bool MqttBroker::publish(const QString &topic, const QByteArray &payload,
                         const std::function<void()> &idle) const
{
    QProcess pub;
    pub.start("mosquitto_pub",
              {"-h", "127.0.0.1", "-p", QString::number(m_port), "-t", topic, "-s"});
    pub.write(payload);
    pub.closeWriteChannel();
    const bool ended = QTest::qWaitFor(
            [&] {
                if (idle)
                    idle();
                return pub.state() == QProcess::NotRunning;
            },
            kTimeoutMs);
    return ended && pub.exitStatus() == QProcess::NormalExit && pub.exitCode() == 0;
}
