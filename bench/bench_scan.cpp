// Port scan: the wall time of a scan with no serial devices and with three pseudo-terminals
// given as extra ports, against trying the names COM1 to COM999, none of which opens.

#include "benchsupport.h"
#include "ptyreader.h"

#include "core/basicutilities.h"
#include "serial/portscanner.h"
#include "serial/serialportcontrol.h"

#include <QApplication>
#include <QWidget>

#include <cstdio>
#include <memory>

namespace {

// Scans as the start-up does (no probe) repetitions times; the wall time of each in ms.
std::vector<double> scanTimes(PortScanner &scanner, const QWidget &owner, int repetitions,
                              int expectedFound, bool &allFound)
{
    std::vector<double> times;
    allFound = true;
    const QRect frame = owner.frameGeometry();
    for (int i = 0; i < repetitions; ++i) {
        QStringList ports;
        const double start = Bench::wallMs();
        scanner.PortScan(ports, QString(), QStringLiteral("9600,n,8,1"), 1000, frame.left(),
                         frame.width(), frame.top(), frame.height());
        times.push_back(Bench::wallMs() - start);
        if (LeadingNumber(ports.value(0)) != expectedFound)
            allFound = false;
    }
    return times;
}

QString timing(const std::vector<double> &times)
{
    return Bench::number(Bench::median(times), 2) + QStringLiteral(" ms (max ")
           + Bench::number(Bench::maximum(times), 2) + QStringLiteral(")");
}

} // namespace

int main(int argc, char *argv[])
{
    Bench::useOffscreenPlatform();
    QApplication app(argc, argv);

    QWidget owner;
    owner.resize(800, 600);
    owner.show();
    QCoreApplication::processEvents();
    PortScanner scanner(new SerialPortControl);

    bool ok = true;
    bool found = true;
    Bench::progress(QStringLiteral("scan: no serial devices"));
    PortScanner::setCandidateSource([] { return QStringList(); });
    const std::vector<double> none = scanTimes(scanner, owner, 20, 0, found);
    ok = ok && found;

    Bench::progress(QStringLiteral("scan: three pseudo-terminals as extra ports"));
    std::vector<std::unique_ptr<PtyReader>> terminals;
    QStringList extra;
    for (int i = 0; i < 3; ++i) {
        terminals.push_back(std::make_unique<PtyReader>());
        extra.append(terminals.back()->slavePath());
    }
    scanner.setExtraPorts(extra);
    const std::vector<double> three = scanTimes(scanner, owner, 20, 3, found);
    ok = ok && found;
    scanner.setExtraPorts({});

    Bench::progress(QStringLiteral("scan: baseline, COM1 to COM999 (none opens)"));
    PortScanner::setCandidateSource([] {
        QStringList names;
        for (int i = 1; i <= 999; ++i)
            names.append(QStringLiteral("COM%1").arg(i));
        return names;
    });
    const std::vector<double> naive = scanTimes(scanner, owner, 3, 0, found);
    ok = ok && found;

    // For context: this machine's own list of serial ports, as a plain start-up scans it.
    PortScanner::setCandidateSource({});
    const int systemPorts = static_cast<int>(PortScanner::systemCandidates().size());
    bool ignored = true;
    const std::vector<double> system = scanTimes(scanner, owner, 5, -1, ignored);

    if (!ok) {
        std::fprintf(stderr, "bench_scan: a scan did not find the expected ports\n");
        return 1;
    }
    const QString baseline = QStringLiteral("COM1..COM999: ") + timing(naive);
    Bench::printRow(QStringLiteral("Port scan, no serial devices (median of 20)"), timing(none),
                    baseline, QStringLiteral("< 50 ms"),
                    Bench::verdict(Bench::median(none) < 50.0));
    Bench::printRow(
            QStringLiteral("Port scan, three pseudo-terminals as extra ports (median of 20)"),
            timing(three), baseline, QStringLiteral("< 50 ms"),
            Bench::verdict(Bench::median(three) < 50.0));
    Bench::printRow(QStringLiteral("Port scan of this machine's %1 listed port(s), for context")
                            .arg(systemPorts),
                    timing(system), QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("-"));
    return 0;
}
