// Log scaling: the cost of appending one line to the transmit pane when it holds 1,000 lines
// and when it holds its limit of 100,000, against replacing the whole text for every line.

#include "benchsupport.h"
#include "benchwindow.h"

#include "serial/seriallink.h"
#include "widgets/logpane.h"

#include <QApplication>
#include <QScrollBar>
#include <QTextCursor>

#include <cstdio>

namespace {

// The log lines ComWrite's handler writes for a font upload, round and round.
class LogLines
{
public:
    LogLines()
    {
        for (const QByteArray &command : Bench::commitSequence())
            m_lines.append(SerialLink::logText(command, 0, 0) + QStringLiteral("\r\n"));
    }
    const QString &next() { return m_lines.at(m_next++ % m_lines.size()); }

private:
    QStringList m_lines;
    int m_next = 0;
};

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// Fills the pane with count lines at once, caret at the end, and lets it lay out.
void fill(LogPane &pane, LogLines &lines, int count, QString &accumulated)
{
    accumulated.clear();
    for (int i = 0; i < count; ++i)
        accumulated += QString(lines.next()).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    pane.setPlainText(accumulated);
    pane.moveCursor(QTextCursor::End);
    settle();
}

// The cost in ms of appending one line the way the program does, window updates included.
std::vector<double> appendCosts(LogPane &pane, LogLines &lines, int repetitions)
{
    std::vector<double> costs;
    for (int i = 0; i < repetitions; ++i) {
        const QString &line = lines.next();
        const double start = Bench::wallMs();
        pane.appendText(line);
        QCoreApplication::processEvents();
        costs.push_back(Bench::wallMs() - start);
    }
    return costs;
}

// The naive log: the whole accumulated text set again for every line, caret to the end.
std::vector<double> replaceCosts(LogPane &pane, LogLines &lines, int repetitions,
                                 QString &accumulated)
{
    std::vector<double> costs;
    for (int i = 0; i < repetitions; ++i) {
        const QString line
                = QString(lines.next()).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        const double start = Bench::wallMs();
        accumulated += line;
        pane.setPlainText(accumulated);
        pane.moveCursor(QTextCursor::End);
        pane.verticalScrollBar()->setValue(pane.verticalScrollBar()->maximum());
        QCoreApplication::processEvents();
        costs.push_back(Bench::wallMs() - start);
    }
    return costs;
}

} // namespace

int main(int argc, char *argv[])
{
    Bench::useOffscreenPlatform();
    QApplication app(argc, argv);

    // The transmit pane of the real window, shown with the Display tab in front, so that it
    // lays out and paints at the size it has on screen.
    BenchWindow bench;
    if (!bench.serialout()) {
        std::fprintf(stderr, "bench_log: the window has no transmit pane\n");
        return 1;
    }
    LogPane &pane = *bench.serialout();
    Bench::printInfo(QStringLiteral("Transmit pane"), QStringLiteral("%1 x %2 px")
                                                              .arg(pane.viewport()->width())
                                                              .arg(pane.viewport()->height()));

    LogLines lines;
    QString accumulated;
    constexpr int kSmall = 1000;
    constexpr int kLarge = LogPane::kMaxLines;

    Bench::progress(QStringLiteral("log: appending at %1 lines").arg(kSmall));
    fill(pane, lines, kSmall, accumulated);
    // Warm-up: the first appends after a fill lay out the blocks around the caret.
    appendCosts(pane, lines, 20);
    const std::vector<double> appendSmall = appendCosts(pane, lines, 500);
    Bench::progress(QStringLiteral("log: replacing the text at %1 lines").arg(kSmall));
    fill(pane, lines, kSmall, accumulated);
    const std::vector<double> replaceSmall = replaceCosts(pane, lines, 100, accumulated);

    Bench::progress(QStringLiteral("log: appending at %1 lines").arg(kLarge));
    fill(pane, lines, kLarge, accumulated);
    appendCosts(pane, lines, 20);
    const std::vector<double> appendLarge = appendCosts(pane, lines, 500);
    const int linesAfter = pane.lineCount();
    Bench::progress(QStringLiteral("log: replacing the text at %1 lines (slow)").arg(kLarge));
    fill(pane, lines, kLarge, accumulated);
    const std::vector<double> replaceLarge = replaceCosts(pane, lines, 5, accumulated);

    if (linesAfter != kLarge) {
        std::fprintf(stderr, "bench_log: the pane holds %d lines, not %d\n", linesAfter, kLarge);
        return 1;
    }

    const auto ms = [](double value) {
        return Bench::number(value, value < 1 ? 3 : 1) + QStringLiteral(" ms");
    };
    const double small = Bench::median(appendSmall);
    const double large = Bench::median(appendLarge);
    Bench::printRow(QStringLiteral("Log line append at 1,000 lines (median of 500)"), ms(small),
                    QStringLiteral("replace: ") + ms(Bench::median(replaceSmall)),
                    QStringLiteral("-"), QStringLiteral("-"));
    Bench::printRow(QStringLiteral("Log line append at 100,000 lines (median of 500)"), ms(large),
                    QStringLiteral("replace: ") + ms(Bench::median(replaceLarge))
                            + QStringLiteral(" (median of 5)"),
                    QStringLiteral("-"), QStringLiteral("-"));
    const double ratio = large / small;
    const double replaceRatio = Bench::median(replaceLarge) / Bench::median(replaceSmall);
    Bench::printRow(QStringLiteral("Log append cost ratio 100,000 / 1,000 lines"),
                    Bench::number(ratio, 2),
                    QStringLiteral("replace: ") + Bench::number(replaceRatio, 0),
                    QStringLiteral("<= 1.5"), Bench::verdict(ratio <= 1.5));
    return 0;
}
