// What the long-run benchmarks share: clocks, resident memory, percentiles
// and the report of a series of samples.
#pragma once

#include <QString>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace longrun {

inline qint64 NowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Resident memory of this process in kB (0 when /proc is not readable).
inline long RssKb()
{
    std::FILE* F = std::fopen("/proc/self/statm", "r");
    if (!F)
        return 0;
    long Size = 0, Resident = 0;
    const int N = std::fscanf(F, "%ld %ld", &Size, &Resident);
    std::fclose(F);
    return N == 2 ? Resident * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

// User + system CPU seconds of the whole process.
inline double CpuSeconds()
{
    rusage U{};
    getrusage(RUSAGE_SELF, &U);
    return double(U.ru_utime.tv_sec + U.ru_stime.tv_sec) + double(U.ru_utime.tv_usec + U.ru_stime.tv_usec) / 1e6;
}

inline double Load1()
{
    double L[1] = {0};
    return getloadavg(L, 1) == 1 ? L[0] : -1;
}

// Nearest-rank percentile, P in [0, 1]; 0 for no values.
inline double Percentile(std::vector<double> V, double P)
{
    if (V.empty())
        return 0;
    std::sort(V.begin(), V.end());
    return V[std::min(V.size() - 1, size_t(P * double(V.size() - 1) + 0.5))];
}

// Resident memory over a run: taken at moments the caller chooses.
struct TRssSeries {
    struct TSample {
        double Seconds;
        long Kb;
    };
    std::vector<TSample> Samples;

    void Take(double Seconds) { Samples.push_back({Seconds, RssKb()}); }
    // The first sample at or after Seconds (the last one when none).
    long At(double Seconds) const
    {
        for (const auto& S : Samples)
            if (S.Seconds >= Seconds)
                return S.Kb;
        return Samples.empty() ? 0 : Samples.back().Kb;
    }
    long Max(double From = 0) const
    {
        long M = 0;
        for (const auto& S : Samples)
            if (S.Seconds >= From)
                M = std::max(M, S.Kb);
        return M;
    }
    // One line: after the warm-up, at the end, the growth and the peak.
    void Print(const char* What, double WarmUpSeconds, double LimitKb) const
    {
        if (Samples.empty())
            return;
        const long First = At(WarmUpSeconds), Last = Samples.back().Kb;
        std::printf("%s: resident %.1f MB at %.0f s, %.1f MB at the end (%.0f s), growth %+.2f MB, peak after "
                    "warm-up %.1f MB (limit %+.1f MB) %s\n",
                    What, First / 1024.0, WarmUpSeconds, Last / 1024.0, Samples.back().Seconds,
                    (Last - First) / 1024.0, Max(WarmUpSeconds) / 1024.0, LimitKb / 1024.0,
                    Last - First < LimitKb ? "met" : "MISSED");
    }
};

} // namespace longrun

int LongrunDictation(const QStringList& Args);
int LongrunReadback(const QStringList& Args);
int LongrunMarks(const QStringList& Args);
int LongrunSelections(const QStringList& Args);
