// Log scaling: the cost of appending one line to the transmit pane and painting it when the pane
// holds 1,000, 100,000 and a million lines, the memory a million lines take, and the time to show
// a random place among them. The baseline is the QPlainTextEdit the pane was before, in a window
// of the same size.

#include "benchsupport.h"
#include "benchwindow.h"
#include "plaintextlog.h"

#include "widgets/logpane.h"

#include <QApplication>
#include <QDateTime>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QScrollBar>

#include <cstdio>

namespace {

constexpr int kSizes[] = {1000, 100000, LogPane::kMaxLines};
constexpr int kWarmUp = 20;
constexpr int kSamples = 500;
constexpr int kScrolls = 100;

// A 25-character command line, another for every n: "$B7M00000000000000042[cr]".
QString line(int n)
{
    return QStringLiteral("$B7M%1[cr]").arg(n, 17, 10, QLatin1Char('0'));
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// Fills the log with count lines, the newest at the bottom of the view.
void fill(LogPane &pane, int count, int &next)
{
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < count; ++i)
        pane.appendLine(line(next++), now);
    settle();
}

void fill(PlainTextLog &log, int count, int &next)
{
    QString text;
    text.reserve(static_cast<qsizetype>(count) * 26);
    for (int i = 0; i < count; ++i)
        text += line(next++) + QLatin1Char('\n');
    log.edit().setPlainText(text);
    log.edit().moveCursor(QTextCursor::End);
    settle();
}

// The cost in ms of appending one line and painting it. The program gathers a tenth of a second
// of transmitted lines before it paints; here every line is painted.
template<typename Append>
std::vector<double> appendCosts(int &next, Append append)
{
    std::vector<double> costs;
    for (int i = 0; i < kWarmUp + kSamples; ++i) {
        const QString text = line(next++);
        const double start = Bench::wallMs();
        append(text);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        if (i >= kWarmUp)
            costs.push_back(Bench::wallMs() - start);
    }
    return costs;
}

// The ms it takes to show a random place of the log: the scroll bar moved and the view painted.
std::vector<double> scrollCosts(QAbstractScrollArea &view)
{
    QRandomGenerator random(20261207);
    QScrollBar *bar = view.verticalScrollBar();
    std::vector<double> costs;
    for (int i = 0; i < kScrolls; ++i) {
        const int to = static_cast<int>(random.bounded(bar->maximum() + 1));
        const double start = Bench::wallMs();
        bar->setValue(to);
        view.viewport()->repaint();
        costs.push_back(Bench::wallMs() - start);
    }
    return costs;
}

struct Measured
{
    std::vector<double> append[3];
    double bytes = 0; // the heap a million lines take
    std::vector<double> scroll;
};

QString ms(double value)
{
    return Bench::number(value, value < 1 ? 3 : 1) + QStringLiteral(" ms");
}

QString megabytes(double bytes)
{
    return Bench::number(bytes / 1e6, 1) + QStringLiteral(" MB (")
           + Bench::number(bytes / LogPane::kMaxLines, 0) + QStringLiteral(" bytes a line)");
}

} // namespace

int main(int argc, char *argv[])
{
    Bench::useOffscreenPlatform();
    QApplication app(argc, argv);

    // The transmit pane of the real window, shown with the Display tab in front, so that it lays
    // out and paints at the size it has on screen; every line is painted as it comes.
    BenchWindow bench;
    if (!bench.serialout()) {
        std::fprintf(stderr, "bench_log: the window has no transmit pane\n");
        return 1;
    }
    LogPane &pane = *bench.serialout();
    pane.setRefreshInterval(0);
    Bench::printInfo(QStringLiteral("Transmit pane"), QStringLiteral("%1 x %2 px")
                                                              .arg(pane.viewport()->width())
                                                              .arg(pane.viewport()->height()));
    QWidget baselineWindow;
    PlainTextLog plain(&baselineWindow);
    plain.edit().resize(pane.size());
    baselineWindow.resize(pane.size());
    baselineWindow.show();
    settle();

    int next = 0;
    Measured ours;
    Measured theirs;
    const QDateTime now = QDateTime::currentDateTime();
    for (int size = 0; size < 3; ++size) {
        Bench::progress(QStringLiteral("log: appending at %1 lines").arg(kSizes[size]));
        pane.clearLog();
        settle();
        const double before = Bench::heapBytes();
        fill(pane, kSizes[size], next);
        ours.bytes = Bench::heapBytes() - before;
        ours.append[size]
                = appendCosts(next, [&](const QString &text) { pane.appendLine(text, now); });
    }
    if (pane.lineCount() != LogPane::kMaxLines) {
        std::fprintf(stderr, "bench_log: the pane holds %d lines, not %d\n", pane.lineCount(),
                     LogPane::kMaxLines);
        return 1;
    }
    Bench::progress(QStringLiteral("log: scrolling"));
    ours.scroll = scrollCosts(pane);
    pane.clearLog();

    for (int size = 0; size < 3; ++size) {
        Bench::progress(QStringLiteral("log: QPlainTextEdit, appending at %1 lines (slow)")
                                .arg(kSizes[size]));
        plain.edit().clear();
        settle();
        const double before = Bench::heapBytes();
        fill(plain, kSizes[size], next);
        theirs.bytes = Bench::heapBytes() - before;
        theirs.append[size] = appendCosts(
                next, [&](const QString &text) { plain.appendText(text + QLatin1Char('\n')); });
    }
    Bench::progress(QStringLiteral("log: QPlainTextEdit, scrolling"));
    theirs.scroll = scrollCosts(plain.edit());

    const QString names[]
            = {QStringLiteral("1,000"), QStringLiteral("100,000"), QStringLiteral("1,000,000")};
    for (int size = 0; size < 3; ++size) {
        Bench::printRow(QStringLiteral("Log line append and paint at %1 lines (median of 500)")
                                .arg(names[size]),
                        ms(Bench::median(ours.append[size])),
                        QStringLiteral("QPlainTextEdit: ") + ms(Bench::median(theirs.append[size])),
                        QStringLiteral("-"), QStringLiteral("-"));
    }
    const double ratio = Bench::median(ours.append[2]) / Bench::median(ours.append[0]);
    const double theirRatio = Bench::median(theirs.append[2]) / Bench::median(theirs.append[0]);
    Bench::printRow(QStringLiteral("Log append cost ratio 1,000,000 / 1,000 lines"),
                    Bench::number(ratio, 2),
                    QStringLiteral("QPlainTextEdit: ") + Bench::number(theirRatio, 2),
                    QStringLiteral("<= 1.5"), Bench::verdict(ratio <= 1.5));
    Bench::printRow(QStringLiteral("Memory of a pane holding 1,000,000 lines of 25 characters"),
                    megabytes(ours.bytes),
                    QStringLiteral("QPlainTextEdit: ") + megabytes(theirs.bytes),
                    QStringLiteral("<= 60 MB"), Bench::verdict(ours.bytes <= 60e6));
    const double worst = Bench::maximum(ours.scroll);
    Bench::printRow(QStringLiteral("Scroll to a random place in 1,000,000 lines and paint, median "
                                   "(max) of 100"),
                    ms(Bench::median(ours.scroll)) + QStringLiteral(" (") + ms(worst)
                            + QStringLiteral(")"),
                    QStringLiteral("QPlainTextEdit: ") + ms(Bench::median(theirs.scroll))
                            + QStringLiteral(" (") + ms(Bench::maximum(theirs.scroll))
                            + QStringLiteral(")"),
                    QStringLiteral("< 16 ms"), Bench::verdict(worst < 16));
    return 0;
}
