// Building the largest image against the floor of parsing its four documents with pugixml alone.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include "LargeProject.h"
#include "app/ProjectState.h"
#include "update/ConfigurationImage.h"

namespace {

const char* const kDocuments[] = {"FrameJ1939.xml", "DefFrameJ1939.xml", "Group.xml", "pargen.xml"};

std::string& projectFolder() {
    static std::string folder;
    return folder;
}

void ParseFloor(benchmark::State& state) {
    for (auto _ : state) {
        for (const char* name : kDocuments) {
            pugi::xml_document document;
            const pugi::xml_parse_result result =
                document.load_file(tessaro::joinPath(projectFolder(), name).c_str());
            if (!result) state.SkipWithError("parse failed");
            benchmark::DoNotOptimize(document.first_child());
        }
    }
}

void BuildLargestImage(benchmark::State& state) {
    tessaro::ImageBuffer& image = tessaro::imageBuffer();
    for (auto _ : state) {
        tessaro::BuildConfigurationImage(projectFolder(), image);
        benchmark::DoNotOptimize(image.bytes.data());
    }
    if (image.length != 99999) state.SkipWithError("unexpected image length");
    state.SetBytesProcessed(state.iterations() * image.length);
}

BENCHMARK(ParseFloor)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BuildLargestImage)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Prints as usual, and remembers the median real time of each benchmark for the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.aggregate_name == "median") medians[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
    std::map<std::string, double> medians;
};

}  // namespace

int main(int argc, char** argv) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessaro-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return 1;
    projectFolder() = pattern;
    tessaro::bench::writeLargestProject(pattern);

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::filesystem::remove_all(pattern);

    const auto floor = reporter.medians.find("ParseFloor");
    const auto build = reporter.medians.find("BuildLargestImage");
    if (floor != reporter.medians.end() && build != reporter.medians.end())
        std::printf("\nBuildLargestImage / ParseFloor (medians): %.2f (goal: at most 1.50)\n",
                    build->second / floor->second);
    return 0;
}
