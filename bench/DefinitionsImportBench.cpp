// Importing the largest project's 7032 definitions from CSV, whole process: tessaro-cli import definitions against
// definitions_import_floor (which splits the same file and writes the same document with pugixml, as safely), in turn,
// A B A B ..., so that a drift of the machine's speed touches both alike. Prints the medians of CPU (user + system)
// and wall time and of the ratio pair by pair, after checking that both write the same bytes.
//   definitions_import_bench [PAIRS]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "LargeProject.h"
#include "core/documents/AtomicFile.h"
#include "core/exchange/ProjectExchange.h"

namespace {

struct Run {
    double cpu;
    double wall;
};

Run timed(const std::vector<std::string>& command) {
    std::vector<char*> arguments;
    for (const std::string& word : command) arguments.push_back(const_cast<char*>(word.c_str()));
    arguments.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execv(arguments[0], arguments.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", command[0].c_str());
        std::exit(1);
    }
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return {seconds(usage.ru_utime) + seconds(usage.ru_stime), wall};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int pairs = argc > 1 ? std::atoi(argv[1]) : 31;
    const std::filesystem::path here = std::filesystem::canonical("/proc/self/exe").parent_path();
    const std::string cli = (here.parent_path() / "tessaro-cli").string();
    const std::string floor = (here / "definitions_import_floor").string();
    const std::filesystem::path scratch = std::filesystem::temp_directory_path() / "tessaro-import-bench";
    std::filesystem::remove_all(scratch);
    const std::string tool = (scratch / "tool").string();
    const std::string bare = (scratch / "floor").string();
    std::filesystem::create_directories(tool);
    std::filesystem::create_directories(bare);
    tessaro::bench::writeLargestProject(tool);
    const std::string csv = (scratch / "definitions.csv").string();
    tessaro::replaceFile(csv,
                         tessaro::tableFileBytes(tessaro::TableKind::definitions,
                                                 tessaro::exportedRows(tessaro::TableKind::definitions, tool), csv));
    const std::string written = tessaro::readFile(tool + "/DefFrameJ1939.xml");

    const std::vector<std::string> a = {cli, "import", "definitions", tool, csv};
    const std::vector<std::string> b = {floor, bare, csv};
    timed(a);
    timed(b);
    if (tessaro::readFile(tool + "/DefFrameJ1939.xml") != written ||
        tessaro::readFile(bare + "/DefFrameJ1939.xml") != written) {
        std::fprintf(stderr, "the two programs do not write the document the editor wrote\n");
        return 1;
    }
    std::vector<double> cpuA, cpuB, wallA, wallB, cpuRatio, wallRatio;
    for (int pair = 0; pair < pairs; ++pair) {
        const Run runA = timed(a);
        const Run runB = timed(b);
        cpuA.push_back(runA.cpu);
        cpuB.push_back(runB.cpu);
        wallA.push_back(runA.wall);
        wallB.push_back(runB.wall);
        cpuRatio.push_back(runA.cpu / std::max(runB.cpu, 1e-6));
        wallRatio.push_back(runA.wall / runB.wall);
    }
    std::printf("7032 definitions from %s (%ju bytes), %d pairs, medians:\n", csv.c_str(),
                std::uintmax_t(std::filesystem::file_size(csv)), pairs);
    std::printf("  tessaro-cli import   cpu %.1f ms  wall %.1f ms\n", median(cpuA) * 1e3, median(wallA) * 1e3);
    std::printf("  floor (pugixml)      cpu %.1f ms  wall %.1f ms\n", median(cpuB) * 1e3, median(wallB) * 1e3);
    std::printf("  ratio pair by pair   cpu %.2f  wall %.2f  (goal: at most 1.5)\n", median(cpuRatio),
                median(wallRatio));
    std::filesystem::remove_all(scratch);
    return 0;
}
