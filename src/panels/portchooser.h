#pragma once

#include <QWidget>

class QComboBox;
class PortScanner;
class SerialLink;

// The port list: scans on Enter, opens the picked port at 9600,n,8,1, closes on "Select...".
class PortChooser : public QWidget
{
    Q_OBJECT
public:
    PortChooser(SerialLink &link, PortScanner &scanner, QWidget *parent = nullptr);

    QComboBox *portselect() const { return m_portselect; }

    // Closes the port and rescans (mode 0: every port that opens; other modes probe for a chain).
    void portscanx(int mode);
    // Selects entry index and runs the same handling as a user's pick.
    void select(int index);
    // The device --port names; openStartPort() picks it, adding it when the scan missed it.
    void setStartPort(const QString &device) { m_startPort = device; }
    void openStartPort();

Q_SIGNALS:
    // What a rescan asked for by Enter did: the port it closed, the ports found and those that
    // did not open.
    void rescanReported(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onSelected(int index);
    void addPort(const QString &name);
    void rescan();

    SerialLink &m_link;
    PortScanner &m_scanner;
    QComboBox *m_portselect = nullptr;
    QString m_startPort;
};
