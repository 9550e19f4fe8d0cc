#include "core/inputlines.h"

#include "core/basicutilities.h"

#include <QList>
#include <QSocketNotifier>

#include <unistd.h>

InputLines::InputLines(int fd, QObject *parent) : QObject(parent), m_fd(fd)
{
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &InputLines::readMore);
}

void InputLines::readMore()
{
    char buffer[4096];
    const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
    m_pending.append(buffer, static_cast<int>(qMax<ssize_t>(got, 0)));
    if (got <= 0 && !m_pending.isEmpty())
        m_pending += '\n'; // the last line may come without its end
    // A handler may wait in the event loop (a paced send): no second round meanwhile.
    m_notifier->setEnabled(false);
    QList<QByteArray> lines = m_pending.split('\n');
    m_pending = lines.takeLast();
    for (int i = 0; i < lines.size() && !shutdownRequested(); ++i) {
        QByteArray line = lines.at(i);
        if (line.endsWith('\r'))
            line.chop(1);
        Q_EMIT lineRead(line);
    }
    if (got <= 0)
        Q_EMIT ended();
    else
        m_notifier->setEnabled(true);
}
