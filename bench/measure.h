#pragma once
// What every benchmark measures with: wall and processor time, resident
// memory, the median of repeated runs, and keeping the generated files.

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <malloc.h>
#include <vector>

namespace kolva::bench {

inline double ms(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// Processor time of the whole process (all its threads), in ms: what a step
// costs whatever else the machine is running.
inline double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Resident memory of the process, in MiB, after giving freed memory back.
inline double residentMiB()
{
    malloc_trim(0);
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * 4096 / (1024.0 * 1024.0);
}

// The middle value (the mean of the two middle ones for an even count); 0
// for none.
inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// KOLVA_BENCH_KEEP=1 keeps the generated files, to look at or to measure
// again by hand; says where.
inline void keepWhenAsked(QTemporaryDir& work)
{
    if (qEnvironmentVariableIntValue("KOLVA_BENCH_KEEP")) {
        work.setAutoRemove(false);
        std::printf("generated files kept in %s\n", qPrintable(work.path()));
    }
}

} // namespace kolva::bench
