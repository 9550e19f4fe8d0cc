#pragma once

#include "core/loggedcommand.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>

class SerialPort;
struct PortError;

// The line to the chain: the port-open flag and the one transmit routine every command goes
// through. It owns no widgets: it reports what it sends and receives by signals.
class SerialLink : public QObject
{
    Q_OBJECT
public:
    explicit SerialLink(SerialPort *port, QObject *parent = nullptr);

    SerialPort *rs232() const { return m_port; }
    bool portopen() const { return m_portopen; }
    void setPortOpen(bool open);

    // Whether ComWrite lets waiting events run before it writes. A caller inside a network
    // request's handler writes without: events run there would enter the server again.
    enum class Yielding { RunEvents, WithoutEvents };

    // Writes text unchanged to the open port, logs it, then waits pause hundredths of a second.
    void ComWrite(const QByteArray &text, int pause, int hexlog = 0, int nospace = 0,
                  Yielding yielding = Yielding::RunEvents);

    // The log text of a command: its line end as a marker and other control bytes as "[0A]", so
    // that it is one line, or its bytes in hexadecimal.
    static QString logText(const QByteArray &text, int hexlog, int nospace);

    // Test seam: the clock that stamps a command when it is written and bytes when they arrive.
    void setClock(std::function<QDateTime()> clock);

    // How many writes have failed since the link was made; a caller compares it before and
    // after a run of commands to learn whether all of them went out.
    int writeFailures() const { return m_writeFailures; }

Q_SIGNALS:
    // Every command handed to ComWrite once it went out or did not (no port, the line failed,
    // the port closed meanwhile): its log text, when, and why not. Nothing once the program is
    // closing before the command was looked at.
    void commandLogged(const LoggedCommand &command);
    // A command is about to go out: what was received in answer to the previous one is done.
    void aboutToWrite();
    // A command found no open port.
    void sentWithoutPort();
    // A command was written to the open port; emitted before its pause.
    void frameWritten(const QByteArray &frame);
    // Bytes arrived from the chain, at the given time.
    void received(const QByteArray &bytes, const QDateTime &at);
    // A write failed or the open port failed on its own. Emitted once per failure while nothing
    // else is sent; a listener may wait (an alert) before the port is closed.
    void writeFailed(const PortError &error);
    // After a failure: the port list goes back to "Select...", which closes the port.
    void deselectRequested();
    // The port-open flag changed.
    void portOpenChanged(bool open);

private:
    void onDataArrived();
    void onPortFailed(const PortError &error);
    void failWrite(const PortError &error);
    void logCommand(const QString &text, const QString &notSent);
    QString whyNotSent() const;

    SerialPort *m_port = nullptr;
    bool m_portopen = false;
    bool m_failing = false;
    int m_writeFailures = 0;
    QString m_failure; // what failed, while it is being reported
    std::function<QDateTime()> m_clock;
};
