#include "core/basicutilities.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

#include <sys/prctl.h>

namespace {
QString g_appPathOverride;
double g_delayScale = 1.0;
std::function<void(int)> g_delayObserver;
bool g_shutdown = false;

// Every running Delay loop, so that a shutdown request can end them all.
QList<QPointer<QEventLoop>> &runningDelays()
{
    static QList<QPointer<QEventLoop>> loops;
    return loops;
}
} // namespace

bool FileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QChar last = path.back();
    if (last == QLatin1Char('\\') || last.unicode() < '0')
        return false;
    const QFileInfo info(path);
    return info.exists() && info.isFile() && !info.isHidden();
}

QString AppPath()
{
    if (!g_appPathOverride.isEmpty())
        return g_appPathOverride;
    return QCoreApplication::applicationDirPath();
}

void setAppPathOverride(const QString &dir)
{
    g_appPathOverride = dir;
}

QString VersionText(int major, int minor, int revision)
{
    auto twoDigits
            = [](int value) { return (QStringLiteral("00") + QString::number(value)).right(2); };
    return QString::number(major) + QLatin1Char('.') + twoDigits(minor) + QLatin1Char('.')
           + twoDigits(revision);
}

QString VersionText()
{
    return VersionText(VORNIK_VERSION_MAJOR, VORNIK_VERSION_MINOR, VORNIK_VERSION_PATCH);
}

double Elapsed(double start, double now)
{
    const double result = now < start ? 86400.0 - start + now : now - start;
    return result < 0 ? 0.0 : result;
}

void setDelayScale(double scale)
{
    g_delayScale = scale < 0 ? 0 : scale;
}

double delayScale()
{
    return g_delayScale;
}

void setDelayObserver(std::function<void(int)> observer)
{
    g_delayObserver = std::move(observer);
}

void requestShutdown()
{
    g_shutdown = true;
    for (const QPointer<QEventLoop> &loop : runningDelays()) {
        if (loop)
            loop->quit();
    }
}

bool shutdownRequested()
{
    return g_shutdown;
}

void resetShutdownRequest()
{
    g_shutdown = false;
}

void Delay(int pause)
{
    QElapsedTimer clock;
    clock.start();
    Delay(pause, clock);
}

void Delay(int pause, const QElapsedTimer &clock)
{
    if (pause <= 0)
        return;
    if (g_delayObserver)
        g_delayObserver(pause);
    if (g_shutdown)
        return;

    // A nested event loop woken by a precise timer: the window stays alive, the CPU stays idle.
    // The wait is measured on a monotonic clock so midnight and clock changes do not matter.
    const qint64 wantedNs = static_cast<qint64>(std::llround(pause * 10.0 * 1e6 * g_delayScale));
    // The kernel may let a wake-up slip by its timer slack (50 us unless set), once for the
    // event loop's wait and once for the sleep below: for every frame of a long queue.
    static thread_local const bool precise = ::prctl(PR_SET_TIMERSLACK, 1000UL, 0, 0, 0) == 0;
    Q_UNUSED(precise)
    QEventLoop loop;
    runningDelays().append(&loop);
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    // Timers wake on whole milliseconds, and every wake-up of the loop rounds the rest of the
    // wait up to the next one: the loop waits for the whole milliseconds left and the last
    // fraction is slept off, so the pause ends on time rather than up to a millisecond late.
    bool yielded = false;
    do {
        const qint64 leftNs = wantedNs - clock.nsecsElapsed();
        if (yielded && leftNs < 1000000) {
            std::this_thread::sleep_for(std::chrono::nanoseconds(leftNs));
            break;
        }
        timer.start(static_cast<int>(qMax<qint64>(0, leftNs / 1000000)));
        loop.exec();
        yielded = true;
    } while (!g_shutdown && clock.nsecsElapsed() < wantedNs);
    runningDelays().removeAll(QPointer<QEventLoop>(&loop));
}

QString HexPad(unsigned char value, int digits)
{
    if (digits <= 0)
        return QString();
    const QString padded = QString(digits, QLatin1Char('0')) + QString::number(value, 16).toUpper();
    return padded.right(digits);
}

QString Field(const QString &text, int n, QString &separator)
{
    QString work = text;
    if (separator.isEmpty() || separator.at(0) == QLatin1Char(' ')) {
        separator = QStringLiteral(" ");
        // Leading blanks go, every run of blanks becomes one blank.
        QString squeezed;
        squeezed.reserve(text.size());
        bool lastBlank = true;
        for (const QChar c : text) {
            const bool blank = c == QLatin1Char(' ');
            if (blank && lastBlank)
                continue;
            squeezed.append(c);
            lastBlank = blank;
        }
        work = squeezed;
    }
    const QChar sep = separator.at(0);

    if (n < 0 || n > kMaxFieldIndex)
        return QString();

    if (n == 0) {
        if (work.isEmpty())
            return QStringLiteral("0");
        if (!work.contains(sep))
            return QStringLiteral("1");
        qsizetype count = work.count(sep) + 1;
        if (work.endsWith(sep))
            --count;
        return QString::number(count);
    }

    if (!work.contains(sep))
        return n == 1 ? work : QString();

    qsizetype fieldStart = 0;
    for (int field = 1; field <= n; ++field) {
        const qsizetype hit = work.indexOf(sep, fieldStart);
        const qsizetype fieldEnd = hit < 0 ? work.size() : hit;
        if (field == n)
            return work.mid(fieldStart, fieldEnd - fieldStart);
        if (hit < 0)
            return QString();
        fieldStart = hit + 1;
    }
    return QString();
}

QString Field(const QString &text, int n, QChar separator)
{
    QString sep(separator);
    return Field(text, n, sep);
}

qint64 LeadingNumber(const QString &text)
{
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        const int digit = c.unicode() - '0';
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
            return std::numeric_limits<qint64>::max();
        value = value * 10 + digit;
    }
    return value;
}
