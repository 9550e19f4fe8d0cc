#pragma once

#include "core/loggedcommand.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

class QCheckBox;
class QLineEdit;
class QWidget;
class LogPane;

// The transmit and receive logs: the switches, the echo boxes and the two panes. It shows what
// the line reports, stamped when it happened; the transmit pane paints new lines ten times a
// second at most.
class TrafficLog : public QObject
{
    Q_OBJECT
public:
    // The transmit controls are made on transmitTab, the receive controls on receiveTab.
    TrafficLog(QWidget *transmitTab, QWidget *receiveTab, QObject *parent = nullptr);

    QCheckBox *logtraffic() const { return m_logtraffic; }
    QLineEdit *txbufferbox() const { return m_txbufferbox; }
    QLineEdit *rxbufferbox() const { return m_rxbufferbox; }
    LogPane *serialout() const { return m_serialout; }
    QCheckBox *rxlogenable() const { return m_rxlogenable; }
    LogPane *serialin() const { return m_serialin; }

    // The logs as shown, including text not painted yet, every line ended by CR LF.
    QString txlog() const;
    QString rxlog() const;
    QByteArray rxbuffer() const { return m_rxbuffer; }

    // A command went to ComWrite: it is logged while "Log TXD Traffic" is checked, greyed with
    // the reason when it did not go out.
    void logCommand(const LoggedCommand &command);
    // A command is about to be written: the echo box and the receive buffer are emptied.
    void clearEcho();
    // A command found no open port.
    void showNoPort();
    // A port opened: the no-port notice is out of date.
    void clearNoPort();
    // Bytes from the chain that arrived at the given time: kept in rxbuffer and logged by process.
    void receive(const QByteArray &bytes, const QDateTime &at);
    // Turns rxbuffer into readable log text.
    void process();
    // Empties both panes.
    void clear();

private:
    void showLastLogged(const QString &text);

    QCheckBox *m_logtraffic = nullptr;
    QLineEdit *m_txbufferbox = nullptr;
    QLineEdit *m_rxbufferbox = nullptr;
    LogPane *m_serialout = nullptr;
    QCheckBox *m_rxlogenable = nullptr;
    LogPane *m_serialin = nullptr;

    // What the transmit echo box is to show; put there with the pane's paint, since laying out
    // a line edit for every command costs more than the command.
    QString m_lastLogged;
    QTimer m_echoUpdate;

    QByteArray m_rxbuffer;
    QDateTime m_rxbufferAt;
    QString m_rxPending; // received log text waiting for a printable character or a CR
    QDateTime m_rxPendingAt;
};
