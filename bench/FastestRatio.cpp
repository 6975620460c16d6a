#include "FastestRatio.h"

#include "LargeProject.h"

namespace tessaro::bench {

std::map<std::string, double> runInterleaved(int argc, char** argv) {
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

void printRatio(const std::map<std::string, double>& fastest, const char* measured, const char* floor, double goal,
                const char* unit) {
    const auto floorTime = fastest.find(floor);
    const auto measuredTime = fastest.find(measured);
    if (floorTime != fastest.end() && measuredTime != fastest.end())
        std::printf("\n%s %.1f %s / %s %.1f %s (fastest CPU times): %.2f (goal: at most %.2f)\n", measured,
                    measuredTime->second, unit, floor, floorTime->second, unit,
                    measuredTime->second / floorTime->second, goal);
}

int runAgainstLargestProject(int argc, char** argv, void (*useFolder)(const std::string&), const char* measured,
                             const char* floor, double goal, const char* unit) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessaro-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return 1;
    useFolder(pattern);
    writeLargestProject(pattern);
    const std::map<std::string, double> fastest = runInterleaved(argc, argv);
    std::filesystem::remove_all(pattern);
    printRatio(fastest, measured, floor, goal, unit);
    return 0;
}

}  // namespace tessaro::bench
