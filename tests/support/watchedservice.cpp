#include "support/watchedservice.h"

#include "support/testhelpers.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>

#include <signal.h>

namespace {
constexpr int kTimeoutMs = 20000;
}

WatchedService::WatchedService(const QString &program, const QString &tokenFile)
    : m_program(program), m_tokenFile(tokenFile)
{}

WatchedService::~WatchedService()
{
    m_process.terminate();
    m_process.waitForFinished(kTimeoutMs);
}

bool WatchedService::start(const QStringList &arguments)
{
    m_said.clear();
    m_process.start(m_program, QStringList{"--listen", "127.0.0.1:0", "--token-file", m_tokenFile}
                                       + arguments);
    if (!m_process.waitForStarted()
        || !QTest::qWaitFor([this] { return m_process.canReadLine(); }, kTimeoutMs))
        return false;
    static const QRegularExpression listening("^listening on (http://127\\.0\\.0\\.1:(\\d+)/)$");
    const QRegularExpressionMatch match
            = listening.match(QString::fromUtf8(m_process.readLine()).trimmed());
    m_url = match.captured(1);
    m_port = match.captured(2).toUShort();
    m_token = readFile(m_tokenFile).trimmed();
    return match.hasMatch() && !m_token.isEmpty();
}

void WatchedService::signal(int signal)
{
    ::kill(static_cast<pid_t>(m_process.processId()), signal);
}

int WatchedService::saidCount(const QByteArray &text)
{
    m_said += m_process.readAllStandardError();
    return int(m_said.count(text));
}

qint64 WatchedService::residentKb() const
{
    static const QRegularExpression rss("VmRSS:\\s+(\\d+) kB");
    const QString status = QString::fromLatin1(
            readFile(QStringLiteral("/proc/%1/status").arg(m_process.processId())));
    const QRegularExpressionMatch match = rss.match(status);
    return isRunning() && match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

int WatchedService::openDescriptors() const
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(m_process.processId()));
    return isRunning() && fds.exists() ? int(
                   fds.entryList(QDir::NoDotAndDotDot | QDir::System | QDir::Files | QDir::Dirs)
                           .size())
                                       : -1;
}
