#pragma once

#include <QObject>
#include <QPointer>

class QCheckBox;
class QLineEdit;
class LogPane;
class SerialPort;
struct PortError;

// The main window's line to the chain: the port-open flag, the one transmit routine every
// command goes through, and the transmit and receive logs.
class SerialLink : public QObject
{
    Q_OBJECT
public:
    explicit SerialLink(SerialPort *port, QObject *parent = nullptr);

    SerialPort *rs232() const { return m_port; }
    bool portopen() const { return m_portopen; }
    void setPortOpen(bool open) { m_portopen = open; }

    // Writes text unchanged to the open port, logs it, then waits pause hundredths of a second.
    void ComWrite(const QByteArray &text, int pause, int hexlog = 0, int nospace = 0);

    // The log text of a command: its line end as a marker, or its bytes in hexadecimal.
    static QString logText(const QByteArray &text, int hexlog, int nospace);

    // The transmit log: txbufferbox drives serialout while logtraffic is checked.
    void attachTransmitLog(QLineEdit *txbufferbox, QLineEdit *rxbufferbox, QCheckBox *logtraffic,
                           LogPane *serialout);
    // The receive log: serialin shows what arrives while rxlogenable is checked.
    void attachReceiveLog(QCheckBox *rxlogenable, LogPane *serialin);

    QString txlog() const;
    QString rxlog() const;
    QByteArray rxbuffer() const { return m_rxbuffer; }

    // Turns rxbuffer into readable log text.
    void process();

    // How many writes have failed since the link was made; a caller compares it before and
    // after a run of commands to learn whether all of them went out.
    int writeFailures() const { return m_writeFailures; }

Q_SIGNALS:
    // A write failed: the port list goes back to "Select...", which closes the port.
    void deselectRequested();

private:
    void onTxBufferChanged();
    void onDataArrived();
    void onPortFailed(const PortError &error);
    void failWrite(const PortError &error);

    SerialPort *m_port = nullptr;
    bool m_portopen = false;
    bool m_failing = false;
    int m_writeFailures = 0;
    QByteArray m_rxbuffer;
    QPointer<QLineEdit> m_txbufferbox;
    QPointer<QLineEdit> m_rxbufferbox;
    QPointer<QCheckBox> m_logtraffic;
    QPointer<LogPane> m_serialout;
    bool m_logguard = false;
    QPointer<QCheckBox> m_rxlogenable;
    QPointer<LogPane> m_serialin;
    QString m_rxPending; // log text received but not yet shown in the pane
};
