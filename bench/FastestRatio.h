#pragma once

// The machine is shared: repetitions of a benchmark and of its floor are interleaved, and the fastest of each is
// compared, since another process can only slow a run down.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace tessaro::bench {

inline double fastest(const std::vector<double>& times) {
    return *std::min_element(times.begin(), times.end());
}

// Prints as usual, and remembers the fastest CPU time of each benchmark for the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.aggregate_name == "min") fastest[run.run_name.function_name] = run.GetAdjustedCPUTime();
    }
    std::map<std::string, double> fastest;
};

// Runs the benchmarks with their repetitions interleaved, and what the command line adds; the fastest CPU time of
// each benchmark by name.
inline std::map<std::string, double> runInterleaved(int argc, char** argv) {
    std::vector<char*> arguments(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    arguments.insert(arguments.begin() + 1, interleave);
    argc = static_cast<int>(arguments.size());
    benchmark::Initialize(&argc, arguments.data());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.fastest;
}

// "NAME 4.44 ms / FLOOR 3.18 ms (fastest CPU times): 1.40 (goal: at most 2.00)", when both ran; the times with
// the given number of decimals in the benchmarks' unit.
inline void printRatio(const std::map<std::string, double>& fastest, const std::string& name, const std::string& floor,
                       const char* unit, int decimals, double goal) {
    const auto measured = fastest.find(name);
    const auto least = fastest.find(floor);
    if (measured == fastest.end() || least == fastest.end()) return;
    std::printf("\n%s %.*f %s / %s %.*f %s (fastest CPU times): %.2f (goal: at most %.2f)\n", name.c_str(), decimals,
                measured->second, unit, floor.c_str(), decimals, least->second, unit, measured->second / least->second,
                goal);
}

}  // namespace tessaro::bench
