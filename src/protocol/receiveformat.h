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

// A frame as one line of printable text: its closing CR as "[cr]" as the transmit log shows it,
// other control and high bytes as the receive log writes them ("[1B]", "[0A]"), so that a
// printed frame never drives a terminal and one line is one frame.
QString frameLogText(const QByteArray &frame);
// Control, delete and high bytes as "[1B]", the rest as they are.
QString controlTokens(const QByteArray &bytes);
