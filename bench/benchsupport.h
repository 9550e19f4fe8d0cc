#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// Shared measuring helpers of the benchmark programs: clocks, order statistics and the
// result rows that bench/run.sh gathers into one table.
namespace Bench {

// Monotonic wall clock and this process's CPU time (all threads), in milliseconds.
double wallMs();
double processCpuMs();
// The bytes the heap holds for the program right now (the allocator's own count).
double heapBytes();

// Order statistics of samples (copied, so the caller's order is kept); 0 when empty.
double median(std::vector<double> samples);
// The p-th percentile (0..100) by the nearest-rank method.
double percentile(std::vector<double> samples, double p);
double maximum(const std::vector<double> &samples);
double minimum(const std::vector<double> &samples);

// A number with the given count of decimals.
QString number(double value, int decimals);

// One line of the results table: what was measured, our figure, the naive baseline beside it,
// the goal, and whether the goal was met ("met", "missed", or "-" where there is no goal).
void printRow(const QString &figure, const QString &measured, const QString &baseline,
              const QString &goal, const QString &verdict);
QString verdict(bool met);

// A line of facts about the run for the results file (e.g. the Qt version).
void printInfo(const QString &key, const QString &value);

// Progress for the person watching; goes to standard error so the rows stay clean.
void progress(const QString &text);

// Sets the offscreen platform unless the caller chose one, before the application object exists.
void useOffscreenPlatform();

} // namespace Bench

#include <QByteArrayList>

namespace Bench {

// The commands of one font upload: "$B7F000000\r", then for each user code 10 to 125 except
// 13 and 33 a 15-segment pattern write ("$B7W" code pattern "\r") and a show ("$B7M" code "\r").
QByteArrayList commitSequence();

} // namespace Bench
