#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

class QSocketNotifier;

// The chain's end of the serial line: a pseudo-terminal whose slave device the utility opens
// as its port. It stays usable while the utility opens and closes the device any number of
// times.
class PseudoTerminal : public QObject
{
    Q_OBJECT
public:
    explicit PseudoTerminal(QObject *parent = nullptr);
    ~PseudoTerminal() override;

    // Creates the pseudo-terminal in raw mode; false with errorString() when that fails.
    bool open();
    // The slave device, such as "/dev/pts/3", for the utility to open.
    QString devicePath() const { return m_devicePath; }
    QString errorString() const { return m_errorString; }

    // Sends bytes to whoever has the device open; false when they could not all be written.
    bool write(const QByteArray &bytes);

Q_SIGNALS:
    void received(const QByteArray &bytes);

private:
    void onReadable();
    void fail(const QString &what);

    int m_master = -1;
    // Held open by the chain itself, so the master never sees a hang-up between the
    // utility's opens and closes.
    int m_slave = -1;
    QString m_devicePath;
    QString m_errorString;
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_retry;
};
