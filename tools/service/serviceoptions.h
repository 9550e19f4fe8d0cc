#pragma once

#include "mqttsettings.h"

#include "session/programrules.h"

#include <QHostAddress>
#include <QString>
#include <QStringList>

// vornikd's settings: the command line over VORNIK_PORT over the configuration file over the
// defaults. A refusal names the option or the key.
class ServiceOptions
{
public:
    static constexpr quint16 kDefaultPort = ProgramRules::kServicePort;

    // Reads arguments (the program's name first) and the configuration file they or the
    // system name.
    explicit ServiceOptions(const QStringList &arguments);

    QString error;     // why the options were refused; empty when they were not
    bool help = false; // --help or --version asked for: print text and end
    QString text;

    QString device;
    int chain = ProgramRules::kDefaultChain;
    QHostAddress address = QHostAddress::LocalHost;
    QString listenName; // the name --listen gave instead of an address, lower-cased
    quint16 port = kDefaultPort;
    QString tokenFile;
    QString configFile; // the file read, empty for none
    // Host header names the service answers besides localhost, 127.0.0.1 and [::1] (--hosts).
    QStringList hosts;
    int queueCapacity = 32;
    int maxClients = 64;
    int maxStreams = 16;
    int maxPerAddress = 16;
    int requestMs = 10000; // a request must arrive whole within this
    int idleMs = 30000;    // a kept-alive connection may wait this long for its next request
    MqttSettings mqtt;

    // Whether the address is reachable from other machines.
    bool networkReachable() const;

private:
    void read(const QStringList &arguments);
};
