#include "support/ptypair.h"

#include <QElapsedTimer>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    char name[256] = {};
    struct termios raw = {};
    cfmakeraw(&raw);
    if (openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    // The programs a test starts never hold either end: closing them hangs the line up, and
    // destroying the pair frees its number.
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
}

PtyPair::~PtyPair()
{
    closeMaster();
    if (m_slave >= 0)
        ::close(m_slave);
}

QByteArray PtyPair::readFromProgram(int count, int timeoutMs)
{
    QByteArray data;
    QElapsedTimer clock;
    clock.start();
    while (m_master >= 0 && data.size() < count && clock.elapsed() < timeoutMs) {
        struct pollfd fd = {m_master, POLLIN, 0};
        if (poll(&fd, 1, 10) > 0) {
            char buffer[512];
            const ssize_t got = ::read(m_master, buffer, sizeof buffer);
            if (got > 0)
                data.append(buffer, static_cast<int>(got));
        }
    }
    return data;
}

QByteArray PtyPair::readAvailable()
{
    QByteArray data;
    char buffer[512];
    ssize_t got = 0;
    while (m_master >= 0 && (got = ::read(m_master, buffer, sizeof buffer)) > 0)
        data.append(buffer, static_cast<int>(got));
    return data;
}

QByteArray PtyPair::readUntil(const QByteArray &end, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!m_pending.contains(end) && clock.elapsed() < timeoutMs)
        m_pending += readFromProgram(1, 50);
    const qsizetype at = m_pending.indexOf(end);
    const QByteArray seen = at < 0 ? m_pending : m_pending.left(at + end.size());
    m_pending.remove(0, seen.size());
    return seen;
}

void PtyPair::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
    // Our own slave descriptor would keep the line up; the program's is the only one left.
    if (m_slave >= 0)
        ::close(m_slave);
    m_slave = -1;
}

bool PtyPair::endProgramRead()
{
    struct termios modes = {};
    if (::tcgetattr(m_master, &modes) != 0)
        return false;
    const char endOfFile = 4;
    modes.c_lflag |= ICANON;
    modes.c_cc[VEOF] = endOfFile;
    return ::tcsetattr(m_master, TCSANOW, &modes) == 0 && ::write(m_master, &endOfFile, 1) == 1;
}
