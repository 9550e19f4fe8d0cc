#include "refusallog.h"

#include <QHostAddress>
#include <QStringList>

#include <algorithm>
#include <cstdio>

namespace {

// A report names this many addresses of a kind, the busiest first.
constexpr int kAddressesShown = 5;

} // namespace

RefusalLog::RefusalLog(QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &RefusalLog::report);
}

void RefusalLog::note(const QString &what, const QHostAddress &from)
{
    Kind &kind = m_kinds[what];
    ++kind.count;
    ++kind.from[from.toString()];
    if (m_timer.isActive())
        return;
    // The first one is told after this turn of the event loop (a burst goes in one line); later
    // ones wait until the interval since the last report has passed.
    const qint64 wait = m_sinceReport.isValid()
                                ? std::max<qint64>(0, kIntervalMs - m_sinceReport.elapsed())
                                : 0;
    m_timer.start(static_cast<int>(wait));
}

void RefusalLog::report()
{
    QStringList kinds;
    for (auto kind = m_kinds.cbegin(); kind != m_kinds.cend(); ++kind) {
        QList<QPair<int, QString>> busiest;
        for (auto from = kind->from.cbegin(); from != kind->from.cend(); ++from)
            busiest.append({-from.value(), from.key()});
        std::sort(busiest.begin(), busiest.end());
        QStringList addresses;
        for (const auto &[count, address] : busiest.mid(0, kAddressesShown))
            addresses.append(QStringLiteral("%1 x%2").arg(address).arg(-count));
        if (busiest.size() > kAddressesShown)
            addresses.append(QStringLiteral("%1 more").arg(busiest.size() - kAddressesShown));
        kinds.append(QStringLiteral("%1 %2 (from %3)")
                             .arg(kind->count)
                             .arg(kind.key(), addresses.join(QStringLiteral(", "))));
    }
    m_kinds.clear();
    m_sinceReport.start();
    std::fputs(qPrintable("vornikd: refused: " + kinds.join(QStringLiteral("; ")) + '\n'), stderr);
    std::fflush(stderr);
}
