#pragma once

#include "support/decodedchain.h"
#include "support/mqttsubscriber.h"
#include "support/ptypair.h"
#include "support/serviceprocess.h"

#include <QProcess>

#include <functional>

class MqttBroker;

// vornikd on a fresh pseudo-terminal of a given chain length, also on an MQTT broker, with the
// chain decoded from its line; and vornikctl sent through it.
class ServedChain
{
public:
    struct Programs
    {
        QString vornikd;
        QString vornikctl;
    };

    // id names it on the broker (vornik/ID/...); dir holds its token.
    explicit ServedChain(const Programs &programs, const MqttBroker &broker, const QString &dir,
                         int digits, const QString &id);

    // True once it listens, is online on the broker and has painted the chain whole.
    bool start();
    QString prefix() const { return "vornik/" + m_id + '/'; }
    ServiceProcess &service() { return m_service; }
    DecodedChain &chain() { return m_chain; }
    // What a wait runs meanwhile: the line is read, so the program never blocks on it.
    std::function<void()> idle();

    // Publishes payload on topic under the prefix, then one vornikd refuses: once its error
    // comes the first was taken. An error for the first is returned.
    QString publish(const QString &topic, const QByteArray &payload);

    // Starts vornikctl through the service, or on its own port when arguments name one.
    void startCtl(QProcess &ctl, const QStringList &arguments);
    // Its exit status (-1 when it did not end normally); its standard error is added to said.
    int finishCtl(QProcess &ctl, QByteArray *said);

private:
    Programs m_programs;
    const MqttBroker &m_broker;
    QString m_id;
    int m_digits;
    PtyPair m_line;
    MqttSubscriber m_subscriber;
    ServiceProcess m_service;
    DecodedChain m_chain;
};
