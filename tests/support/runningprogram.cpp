#include "support/runningprogram.h"

namespace {

constexpr int kTimeoutMs = 20000;

} // namespace

bool RunningProgram::start(const QString &program, const QStringList &arguments)
{
    m_process.start(program, arguments);
    return m_process.waitForStarted();
}

void RunningProgram::stop(bool kill)
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    kill ? m_process.kill() : m_process.terminate();
    m_process.waitForFinished(kTimeoutMs);
}
