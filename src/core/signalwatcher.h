#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal on the user-interface thread.
class SignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

Q_SIGNALS:
    // signal is the one that came (SIGINT, SIGTERM or SIGHUP): a command line ends differently
    // after Ctrl+C than after a service manager's stop.
    void terminationRequested(int signal);

private:
    QSocketNotifier *m_notifier = nullptr;
};
