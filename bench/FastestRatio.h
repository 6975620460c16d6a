#pragma once

// The machine is shared: repetitions of a benchmark and of its floor are interleaved, and the fastest of each is
// compared, since another process can only slow a run down.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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
std::map<std::string, double> runInterleaved(int argc, char** argv);

// "MEASURED 4.4 ms / FLOOR 3.2 ms (fastest CPU times): 1.40 (goal: at most 2.00)", when both ran.
void printRatio(const std::map<std::string, double>& fastest, const char* measured, const char* floor, double goal,
                const char* unit);

// Writes the largest project into a fresh folder and hands its path to useFolder, runs the benchmarks with their
// repetitions interleaved, removes the folder and prints the fastest CPU time of measured against floor's, in
// the unit the benchmarks report (a name for it: "us", "ms").
int runAgainstLargestProject(int argc, char** argv, void (*useFolder)(const std::string&), const char* measured,
                             const char* floor, double goal, const char* unit);

}  // namespace tessaro::bench
