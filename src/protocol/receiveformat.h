#pragma once

#include <QByteArray>
#include <QString>

// Received bytes made readable for the receive log.
struct ReceivedLogText
{
    QString text;         // CR as "[CR]" and a line break, other control and high bytes as "[HH]"
    bool refresh = false; // true when a CR or a printable character came in
};

ReceivedLogText formatReceived(const QByteArray &data);
