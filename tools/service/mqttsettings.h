#pragma once

#include <QString>

// How vornikd meets the MQTT broker and names itself there; no host means no MQTT.
struct MqttSettings
{
    QString host;
    quint16 port = 1883;
    QString user;
    QString password; // read from the password file
    QString caFile;   // TLS when set
    QString clientId;
    QString id;              // names the chain in topics and in Home Assistant
    QString prefix;          // topics go under it: vornik/<id> unless set
    QString discoveryPrefix; // Home Assistant's, homeassistant unless set
    bool remove = false;     // --mqtt-remove: clear the discovery and end

    bool enabled() const { return !host.isEmpty(); }
};
