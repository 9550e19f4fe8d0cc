#include "core/inputlines.h"

#include "core/basicutilities.h"
#include "core/linereader.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <unistd.h>

InputLines::InputLines(int fd, QObject *parent) : QObject(parent), m_fd(fd)
{
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &InputLines::readMore);
}

void InputLines::setPaused(bool paused)
{
    m_paused = paused;
    updateNotifier();
}

void InputLines::updateNotifier()
{
    m_notifier->setEnabled(!m_paused && !m_reading && !m_ended);
}

void InputLines::readMore()
{
    char buffer[65536];
    const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
    if (got < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    // A handler may wait in the event loop (a paced send): no second round meanwhile.
    m_reading = true;
    updateNotifier();
    if (got > 0)
        take(buffer, got);
    else if (!m_pending.isEmpty() || m_skipping)
        endLine(); // the last line may come without its end
    m_reading = false;
    m_ended = got <= 0;
    updateNotifier();
    if (m_ended)
        Q_EMIT ended();
}

void InputLines::take(const char *data, qsizetype size)
{
    const char *const end = data + size;
    while (data < end && !shutdownRequested()) {
        const auto *newline = static_cast<const char *>(std::memchr(data, '\n', end - data));
        const char *const stop = newline ? newline : end;
        // One byte more than a line may hold: its CR, or the sign that it is too long.
        const qsizetype room = kMaxLineBytes + 1 - m_pending.size();
        if (!m_skipping && stop - data > room) {
            m_skipping = true;
            m_pending.clear();
        }
        if (!m_skipping)
            m_pending.append(data, stop - data);
        data = stop;
        if (newline) {
            ++data;
            endLine();
        }
    }
}

void InputLines::endLine()
{
    const bool tooLong
            = m_skipping || (m_pending.size() > kMaxLineBytes && !m_pending.endsWith('\r'));
    QByteArray line;
    line.swap(m_pending);
    m_skipping = false;
    if (line.endsWith('\r'))
        line.chop(1);
    if (tooLong)
        Q_EMIT lineTooLong();
    else
        Q_EMIT lineRead(line);
}
