// Timing helpers shared by the benchmarks.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace bench {

// Median wall time of Runs calls, after one call that warms the page cache.
inline double MedianMs(int Runs, const std::function<void()>& Body)
{
    using Clock = std::chrono::steady_clock;
    std::vector<double> Ms;
    Body();
    for (int I = 0; I < Runs; ++I) {
        const auto T0 = Clock::now();
        Body();
        Ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - T0).count());
    }
    std::sort(Ms.begin(), Ms.end());
    return Ms[Ms.size() / 2];
}

// Runs a shell command; a failing peer ends the benchmark.
inline void Run(const std::string& Command)
{
    if (std::system(Command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", Command.c_str());
        std::exit(1);
    }
}

} // namespace bench
