#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// A program that stays up beside a test (a broker, vornikd, a subscriber), ended with the test.
class RunningProgram
{
public:
    RunningProgram() = default;
    ~RunningProgram() { stop(); }
    bool start(const QString &program, const QStringList &arguments);
    // Ends it (SIGTERM, or SIGKILL when kill) and waits for its end.
    void stop(bool kill = false);
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
};
