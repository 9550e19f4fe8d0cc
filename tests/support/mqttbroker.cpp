#include "support/mqttbroker.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {
constexpr int kTimeoutMs = 20000;
}

MqttBroker::~MqttBroker()
{
    stop();
}

bool MqttBroker::start()
{
    if (m_port == 0) {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        m_port = probe.serverPort();
    }
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

void MqttBroker::stop(bool kill)
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    kill ? m_process.kill() : m_process.terminate();
    m_process.waitForFinished(kTimeoutMs);
}

bool MqttBroker::publish(const QString &topic, const QByteArray &payload,
                         const std::function<void()> &idle, bool retained) const
{
    QProcess pub;
    pub.start("mosquitto_pub",
              QStringList{"-h", "127.0.0.1", "-p", QString::number(m_port), "-t", topic, "-s"}
                      + (retained ? QStringList{"-r"} : QStringList()));
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
