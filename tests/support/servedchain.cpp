#include "support/servedchain.h"

#include "support/mqttbroker.h"
#include "support/testhelpers.h"

#include <QTest>

namespace {
constexpr int kTimeoutMs = 20000;
// A payload vornikd refuses, and a part of the error it publishes for it.
const QByteArray kRefused = "{}";
const QByteArray kRefusal = "attributes needs";
} // namespace

ServedChain::ServedChain(const Programs &programs, const MqttBroker &broker, const QString &dir,
                         int digits, const QString &id)
    : m_programs(programs), m_broker(broker), m_id(id), m_digits(digits),
      m_service(programs.vornikd, dir + "/token"), m_chain(m_line, digits)
{
    m_service.setIdle(idle());
}

std::function<void()> ServedChain::idle()
{
    return [this] { m_chain.pump(); };
}

bool ServedChain::start()
{
    const auto painted = [this] {
        m_chain.pump();
        return m_chain.wire().contains(freshChainPaint(m_digits));
    };
    return m_line.isValid() && m_subscriber.start(m_broker.port(), prefix() + '#')
           && m_service.start(m_line.slavePath(),
                              {"--chain", QString::number(m_digits), "--config", "/dev/null",
                               "--mqtt", m_broker.address(), "--id", m_id})
           && m_subscriber.waitForPart(prefix() + "availability", "online", 0, idle())
           && QTest::qWaitFor(painted, kTimeoutMs);
}

QString ServedChain::publish(const QString &topic, const QByteArray &payload)
{
    const qsizetype before = m_subscriber.count();
    if (!m_broker.publish(prefix() + topic, payload, idle())
        || !m_broker.publish(prefix() + "attributes/set", kRefused, idle()))
        return QStringLiteral("mosquitto_pub failed");
    if (!m_subscriber.waitForPart(prefix() + "error", kRefusal, before, idle()))
        return QStringLiteral("vornikd took no MQTT message");
    for (const auto &[on, said] : m_subscriber.since(before))
        if (on == prefix() + "error" && !said.contains(kRefusal))
            return "MQTT refused it: " + QString::fromUtf8(said);
    return {};
}

void ServedChain::startCtl(QProcess &ctl, const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("VORNIK_PAUSE_SCALE", "0.02");
    for (const char *name : {"VORNIK_PORT", "VORNIK_SERVICE", "VORNIK_TOKEN"})
        environment.remove(name);
    ctl.setProcessEnvironment(environment);
    const QStringList service{"--service", m_service.url(), "--token-file", m_service.tokenFile()};
    ctl.start(m_programs.vornikctl,
              (arguments.contains("--port") ? QStringList() : service) + arguments);
}

int ServedChain::finishCtl(QProcess &ctl, QByteArray *said)
{
    const bool ended = QTest::qWaitFor(
            [&] {
                m_chain.pump();
                return ctl.state() == QProcess::NotRunning;
            },
            kTimeoutMs);
    *said += ctl.readAllStandardError();
    return ended && ctl.exitStatus() == QProcess::NormalExit ? ctl.exitCode() : -1;
}
