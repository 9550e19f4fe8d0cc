#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <vector>

// The far end of a raw pseudo-terminal: a thread drains everything the program writes to
// slavePath() and notes when each carriage-return-terminated command began to arrive.
class PtyReader
{
public:
    PtyReader();
    ~PtyReader();
    PtyReader(const PtyReader &) = delete;
    PtyReader &operator=(const PtyReader &) = delete;

    bool isValid() const { return m_master >= 0 && m_wake >= 0; }
    QString slavePath() const { return m_slavePath; }

    // Starts and stops the draining thread.
    void start();
    void stop();

    // What arrived so far, and the arrival time (Bench::wallMs) of each command's first byte.
    QByteArray received() const;
    std::vector<double> commandStarts() const;
    // Forgets what arrived, for the next measured run.
    void clear();
    // The CPU time the draining thread has used, in ms: the far end's, not the program's.
    double cpuMs() const;

private:
    void drain();

    int m_master = -1; // the far end, non-blocking
    int m_slave = -1;  // held open so the far end never sees a hang-up between runs
    QString m_slavePath;
    int m_wake = -1; // eventfd that ends the thread's wait
    std::thread m_thread;
    pthread_t m_handle{}; // the draining thread's, for its CPU clock
    std::atomic<bool> m_running{false};
    mutable std::mutex m_mutex;
    QByteArray m_received;
    std::vector<double> m_commandStarts;
    bool m_atCommandStart = true;
};
