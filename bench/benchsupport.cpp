#include "benchsupport.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <malloc.h>

namespace Bench {

double wallMs()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration<double, std::milli>(now).count();
}

double processCpuMs()
{
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return static_cast<double>(used.tv_sec) * 1e3 + static_cast<double>(used.tv_nsec) / 1e6;
}

double heapBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks) + static_cast<double>(info.hblkhd);
}

double median(std::vector<double> samples)
{
    if (samples.empty())
        return 0.0;
    std::sort(samples.begin(), samples.end());
    const size_t middle = samples.size() / 2;
    if (samples.size() % 2 == 1)
        return samples[middle];
    return (samples[middle - 1] + samples[middle]) / 2.0;
}

double percentile(std::vector<double> samples, double p)
{
    if (samples.empty())
        return 0.0;
    std::sort(samples.begin(), samples.end());
    const double rank = std::ceil(p / 100.0 * static_cast<double>(samples.size()));
    const size_t index = static_cast<size_t>(std::clamp(rank, 1.0, double(samples.size()))) - 1;
    return samples[index];
}

double maximum(const std::vector<double> &samples)
{
    return samples.empty() ? 0.0 : *std::max_element(samples.begin(), samples.end());
}

double minimum(const std::vector<double> &samples)
{
    return samples.empty() ? 0.0 : *std::min_element(samples.begin(), samples.end());
}

QString number(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

void printRow(const QString &figure, const QString &measured, const QString &baseline,
              const QString &goal, const QString &verdict)
{
    const QStringList cells{QStringLiteral("ROW"), figure, measured, baseline, goal, verdict};
    std::printf("%s\n", qPrintable(cells.join(QLatin1Char('\t'))));
    std::fflush(stdout);
}

QString verdict(bool met)
{
    return met ? QStringLiteral("met") : QStringLiteral("missed");
}

void printInfo(const QString &key, const QString &value)
{
    std::printf("INFO\t%s\t%s\n", qPrintable(key), qPrintable(value));
    std::fflush(stdout);
}

void progress(const QString &text)
{
    std::fprintf(stderr, "  %s\n", qPrintable(text));
    std::fflush(stderr);
}

void useOffscreenPlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace Bench

namespace Bench {

QByteArrayList commitSequence()
{
    QByteArrayList commands{QByteArrayLiteral("$B7F000000\r")};
    for (int code = 10; code <= 125; ++code) {
        if (code == 13 || code == 33)
            continue;
        QByteArray pattern;
        // A pattern that differs from code to code, as a real font's does.
        const unsigned mixed = static_cast<unsigned>(code) * 2654435761u;
        for (int segment = 0; segment < 15; ++segment)
            pattern.append(((mixed >> (segment + 7)) & 1u) != 0 ? '1' : '0');
        const char character = static_cast<char>(code);
        commands.append(QByteArrayLiteral("$B7W") + character + pattern + '\r');
        commands.append(QByteArrayLiteral("$B7M") + character + '\r');
    }
    return commands;
}

} // namespace Bench
