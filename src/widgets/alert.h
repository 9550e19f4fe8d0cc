#pragma once

#include <QString>

#include <functional>

class QWidget;

// How an alert looks and sounds.
enum class AlertStyle {
    Warning = 0,        // a beep, the text centred
    Notice = 1,         // no beep, the text left-aligned
    Error = 2,          // a beep, the error code above the centred text
    NoticeWithBeep = 3, // a beep, the text left-aligned
    Quiet = 4,          // no beep, the text centred
};

// What one call of showalert put on screen, for the test seam and the alert history.
struct AlertRecord
{
    QString title;
    QString text; // the message as shown, including the error-code line of Error
    qint32 number = 0;
    AlertStyle style = AlertStyle::Warning;
    double fontSize = 0;
    bool beeped = false;
    bool leftAligned = false;
};

// Shows the modal alert over parent and returns true when the user answered OK. An empty
// message is replaced by errortext's text, also in the caller's variable.
bool showalert(const QString &title, QString &message, qint32 number, AlertStyle style,
               double fontSize, const QString &description = QString());
bool showalert(const QString &title, const QString &message, qint32 number, AlertStyle style,
               double fontSize, const QString &description = QString());

// Lets the window paint what just changed (a status line), then beeps, so that the sound comes
// with the text it is about.
void beepWhenShown();

// The window alerts are centred over (the main window sets itself).
void setAlertParent(QWidget *parent);
// Answers an open alert with Cancel, so that closing the program never waits for a person.
void closeAlertForShutdown();
// Alerts are silent once a shutdown was requested, except while this is set: a failure at the end
// of a close the user asked for is still reported to them.
void setAlertsDuringShutdown(bool shown);
// True while an alert is on screen.
bool alertShown();

// Test seam: when set, alerts are answered by the responder instead of a person.
void setAlertResponder(std::function<bool(const AlertRecord &)> responder);
// Every alert shown since the last clear.
const QList<AlertRecord> &alertHistory();
void clearAlertHistory();
