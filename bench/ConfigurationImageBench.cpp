// Building the largest image against the floor of parsing its four documents with pugixml alone.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <pugixml.hpp>

#include "FastestRatio.h"
#include "LargeProject.h"
#include "core/image/ConfigurationImage.h"
#include "core/project/ProjectState.h"

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
            const pugi::xml_parse_result result = document.load_file(tessaro::joinPath(projectFolder(), name).c_str());
            if (!result) state.SkipWithError("parse failed");
            benchmark::DoNotOptimize(document.first_child());
        }
    }
}

void BuildLargestImage(benchmark::State& state) {
    static tessaro::ImageBuffer image;
    for (auto _ : state) {
        tessaro::BuildConfigurationImage(projectFolder(), image);
        benchmark::DoNotOptimize(image.bytes.data());
    }
    if (image.length != 99999) state.SkipWithError("unexpected image length");
    state.SetBytesProcessed(state.iterations() * image.length);
}

// The machine is shared: repetitions of the two are interleaved, and the fastest of each is compared, since
// another process can only slow a run down.
BENCHMARK(ParseFloor)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", tessaro::bench::fastest);
BENCHMARK(BuildLargestImage)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", tessaro::bench::fastest);

}  // namespace

int main(int argc, char** argv) {
    return tessaro::bench::runAgainstLargestProject(
        argc, argv, [](const std::string& folder) { projectFolder() = folder; }, "BuildLargestImage", "ParseFloor", 1.5,
        "us");
}
