#pragma once

#include <QDateTime>
#include <QString>

// A command as the transmit log shows it: its log text, when it was written (or found it could
// not be), and why it did not go out (empty when it did).
struct LoggedCommand
{
    QString text;
    QDateTime at;
    QString notSent;
};
