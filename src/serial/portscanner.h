#pragma once

#include "serial/serialport.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QRect>
#include <QStringList>

#include <functional>
#include <utility>

class QSerialPortInfo;

// Finds the serial ports by opening each candidate on its own port control, optionally
// probing for a display chain. It announces the start and end of a scan so that a window
// can say what is going on.
class PortScanner : public QObject
{
    Q_OBJECT
public:
    static constexpr int kTableSize = 1001;

    // scanPort is the scan window's own port control; the scanner takes ownership.
    explicit PortScanner(SerialPort *scanPort, QObject *parent = nullptr);
    ~PortScanner() override;

    // Fills ports (entry 0 the count, entries 1..n the names) with the candidates that open,
    // and, when expected names replies separated by "|", that answer the probe "$0000".
    void PortScan(QStringList &ports, const QString &expected, QString settings, int maxport,
                  int left, int width, int top, int height);

    // Devices the platform does not enumerate, tried after the platform's own ports.
    void setExtraPorts(const QStringList &ports) { m_extraPorts = ports; }
    QStringList extraPorts() const { return m_extraPorts; }

    // The platform's serial ports in a stable natural order, by the name that opens them.
    static QStringList systemCandidates();
    // Test seam: replaces the platform's list of serial ports (an empty function restores it).
    static void setCandidateSource(std::function<QStringList()> source);

    // The candidates the last scan could not open, with the reason each gave.
    using Failure = std::pair<QString, PortError>;
    QList<Failure> failures() const { return m_failures; }

    // What the platform said of its ports when the last scan listed them (nothing when a test
    // replaced the list): asking again costs a walk through the device tree for every port.
    QList<QSerialPortInfo> listedPorts() const;

    bool scanning() const { return m_scanning; }
    QByteArray scanbuffer() const { return m_scanbuffer; }

Q_SIGNALS:
    // A scan begins for the window whose frame is given; events are processed right after.
    void scanStarted(const QRect &ownerFrame);
    void scanFinished();

private:
    static QStringList sortedNames(const QList<QSerialPortInfo> &ports);
    QStringList candidates();
    void onDataArrived();

    SerialPort *m_port = nullptr;
    QStringList m_extraPorts;
    QByteArray m_scanbuffer;
    QList<Failure> m_failures;
    QList<QSerialPortInfo> m_listed;
    bool m_scanning = false;
};
