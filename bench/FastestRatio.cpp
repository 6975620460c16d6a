#include "FastestRatio.h"

#include "LargeProject.h"

namespace tessaro::bench {

int runAgainstLargestProject(int argc, char** argv, void (*useFolder)(const std::string&), const char* measured,
                             const char* floor, double goal, const char* unit) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessaro-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return 1;
    useFolder(pattern);
    writeLargestProject(pattern);

    std::vector<char*> arguments(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    arguments.insert(arguments.begin() + 1, interleave);
    argc = static_cast<int>(arguments.size());
    argv = arguments.data();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::filesystem::remove_all(pattern);

    const auto floorTime = reporter.fastest.find(floor);
    const auto measuredTime = reporter.fastest.find(measured);
    if (floorTime != reporter.fastest.end() && measuredTime != reporter.fastest.end())
        std::printf("\n%s %.1f %s / %s %.1f %s (fastest CPU times): %.2f (goal: at most %.2f)\n", measured,
                    measuredTime->second, unit, floor, floorTime->second, unit,
                    measuredTime->second / floorTime->second, goal);
    return 0;
}

}  // namespace tessaro::bench
