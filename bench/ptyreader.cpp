#include "ptyreader.h"

#include "benchsupport.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

PtyReader::PtyReader()
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
    m_wake = eventfd(0, EFD_NONBLOCK);
}

PtyReader::~PtyReader()
{
    stop();
    for (const int fd : {m_wake, m_master, m_slave}) {
        if (fd >= 0)
            ::close(fd);
    }
}

void PtyReader::start()
{
    if (m_running || !isValid())
        return;
    m_running = true;
    m_thread = std::thread([this] { drain(); });
    m_handle = m_thread.native_handle();
}

void PtyReader::stop()
{
    if (!m_running)
        return;
    m_running = false;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wake, &one, sizeof one);
    m_thread.join();
}

QByteArray PtyReader::received() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

std::vector<double> PtyReader::commandStarts() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_commandStarts;
}

double PtyReader::cpuMs() const
{
    clockid_t clock{};
    timespec used{};
    if (!m_running || pthread_getcpuclockid(m_handle, &clock) != 0
        || clock_gettime(clock, &used) != 0)
        return 0;
    return static_cast<double>(used.tv_sec) * 1e3 + static_cast<double>(used.tv_nsec) / 1e6;
}

void PtyReader::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_received.clear();
    m_commandStarts.clear();
    m_atCommandStart = true;
}

void PtyReader::drain()
{
    while (m_running) {
        struct pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wake, POLLIN, 0}};
        if (poll(fds, 2, -1) <= 0)
            continue;
        if (fds[1].revents != 0)
            break;
        const double arrived = Bench::wallMs();
        char buffer[4096];
        const ssize_t got = ::read(m_master, buffer, sizeof buffer);
        if (got <= 0)
            continue;
        std::lock_guard<std::mutex> lock(m_mutex);
        for (ssize_t i = 0; i < got; ++i) {
            if (m_atCommandStart)
                m_commandStarts.push_back(arrived);
            m_atCommandStart = buffer[i] == '\r';
        }
        m_received.append(buffer, static_cast<int>(got));
    }
}
