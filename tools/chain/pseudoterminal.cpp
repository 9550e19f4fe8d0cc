#include "chain/pseudoterminal.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr int kReadChunk = 4096;
// After an unexpected read error the notifier rests this long, so a device that keeps failing
// costs a wake-up now and then instead of a whole core.
constexpr int kRetryMs = 250;
} // namespace

PseudoTerminal::PseudoTerminal(QObject *parent) : QObject(parent)
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(kRetryMs);
    connect(&m_retry, &QTimer::timeout, this, [this] {
        if (m_notifier)
            m_notifier->setEnabled(true);
    });
}

PseudoTerminal::~PseudoTerminal()
{
    delete m_notifier;
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

void PseudoTerminal::fail(const QString &what)
{
    m_errorString
            = QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

bool PseudoTerminal::open()
{
    if (m_master >= 0)
        return true;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        fail(QStringLiteral("posix_openpt"));
        return false;
    }
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        fail(QStringLiteral("grantpt/unlockpt"));
        ::close(master);
        return false;
    }
    const char *name = ::ptsname(master);
    if (!name) {
        fail(QStringLiteral("ptsname"));
        ::close(master);
        return false;
    }
    const QString path = QString::fromLocal8Bit(name);
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        fail(QStringLiteral("open %1").arg(path));
        ::close(master);
        return false;
    }
    // Raw: no echo, no CR/LF translation, no line editing. A code-10 argument byte or a CR
    // must reach the decoder exactly as the utility wrote it.
    termios settings{};
    if (::tcgetattr(slave, &settings) != 0) {
        fail(QStringLiteral("tcgetattr"));
        ::close(slave);
        ::close(master);
        return false;
    }
    ::cfmakeraw(&settings);
    if (::tcsetattr(slave, TCSANOW, &settings) != 0) {
        fail(QStringLiteral("tcsetattr"));
        ::close(slave);
        ::close(master);
        return false;
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    m_master = master;
    m_slave = slave;
    m_devicePath = path;
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read);
    connect(m_notifier, &QSocketNotifier::activated, this, &PseudoTerminal::onReadable);
    return true;
}

void PseudoTerminal::onReadable()
{
    QByteArray bytes;
    char chunk[kReadChunk];
    for (;;) {
        const ssize_t count = ::read(m_master, chunk, sizeof chunk);
        if (count > 0) {
            bytes.append(chunk, static_cast<qsizetype>(count));
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        // EIO (no slave open) or end of file: wait a little instead of spinning on a
        // descriptor that stays readable.
        m_notifier->setEnabled(false);
        m_retry.start();
        break;
    }
    if (!bytes.isEmpty())
        Q_EMIT received(bytes);
}

bool PseudoTerminal::write(const QByteArray &bytes)
{
    if (m_master < 0)
        return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t count = ::write(m_master, bytes.constData() + done,
                                      static_cast<size_t>(bytes.size() - done));
        if (count > 0) {
            done += count;
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        // The device's input queue is full (nobody reads it): the rest is dropped, as on a
        // serial line without a listener.
        return false;
    }
    return true;
}
