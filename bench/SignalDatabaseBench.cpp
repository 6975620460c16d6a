// Reading a signal database of 10 000 signals against the floor: reading the same file and splitting its lines at
// blanks, and nothing else. Both read the file from disk at every iteration.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "FastestRatio.h"
#include "core/documents/AtomicFile.h"
#include "core/signals/SignalDatabase.h"

namespace {

constexpr int kMessages = 1250;
constexpr int kSignalsPerMessage = 8;

std::string& databasePath() {
    static std::string path;
    return path;
}

// Messages of eight signals of a byte or two each, in both byte orders, with names, units and receivers of the
// usual lengths, a comment on every message and every fourth signal, and attribute and value lines between them.
std::string largeDatabase() {
    static const char* const units[] = {"rpm", "degC", "km/h", "%", "kPa", "", "l/h", "V"};
    std::string text = "VERSION \"\"\n\nNS_ :\n\tCM_\n\tBA_DEF_\n\tBA_\n\tVAL_\n\nBS_:\n\nBU_: Engine Gateway Cab\n\n";
    std::string comments, attributes;
    for (int m = 0; m < kMessages; ++m) {
        // Priority 6, PDU2 PGNs from 0xFE00 up, source address 0.
        const std::uint32_t identifier =
            0x80000000u | 0x18000000u | (0xFE00u + std::uint32_t(m % 256)) << 8 | std::uint32_t(m / 256);
        const std::string id = std::to_string(identifier);
        const std::string name = "ParameterGroup" + std::to_string(m);
        text += "BO_ " + id + " " + name + ": 8 Engine\n";
        for (int s = 0; s < kSignalsPerMessage; ++s) {
            const bool bigEndian = s % 3 == 2;
            const int byte = s;
            const int length = s % 2 == 0 && s < 7 ? 16 : 8;
            const int start = bigEndian ? byte * 8 + 7 : byte * 8;
            const std::string signal = "SuspectParameter" + std::to_string(m) + "_" + std::to_string(s);
            text += " SG_ " + signal + " : " + std::to_string(start) + "|" + std::to_string(length) + "@" +
                    (bigEndian ? "0" : "1") + (s == 5 ? "-" : "+") + " (0.125,-40) [-40|8151.875] \"" + units[s] +
                    "\" Gateway,Cab\n";
            if (s % 4 == 0)
                comments += "CM_ SG_ " + id + " " + signal + " \"The suspect parameter " + std::to_string(s) +
                            " of parameter group " + std::to_string(m) + "\";\n";
        }
        text += "\n";
        comments += "CM_ BO_ " + id + " \"Parameter group " + std::to_string(m) + " of the engine\";\n";
        attributes += "BA_ \"GenMsgCycleTime\" BO_ " + id + " 100;\n";
    }
    return text + comments + "BA_DEF_ BO_ \"GenMsgCycleTime\" INT 0 65535;\n" + attributes;
}

std::size_t signalCount(const tessaro::SignalDatabase& database) {
    std::size_t count = 0;
    for (const tessaro::MessageDefinition& message : database.messages) count += message.signalDefinitions.size();
    return count;
}

void ReadLinesFloor(benchmark::State& state) {
    std::vector<std::string_view> words;
    words.reserve(64);
    std::size_t total = 0;
    for (auto _ : state) {
        const std::string text = tessaro::readFile(databasePath());
        const std::string_view all(text);
        total = 0;
        for (std::size_t at = 0; at < all.size();) {
            std::size_t end = all.find('\n', at);
            if (end == std::string_view::npos) end = all.size();
            const std::string_view line = all.substr(at, end - at);
            words.clear();
            for (std::size_t word = 0; word < line.size();) {
                const std::size_t start = line.find_first_not_of(" \t\r", word);
                if (start == std::string_view::npos) break;
                std::size_t stop = line.find_first_of(" \t\r", start);
                if (stop == std::string_view::npos) stop = line.size();
                words.push_back(line.substr(start, stop - start));
                word = stop;
            }
            total += words.size();
            benchmark::DoNotOptimize(words.data());
            at = end + 1;
        }
    }
    state.counters["words"] = double(total);
}

void ReadSignalDatabase(benchmark::State& state) {
    std::size_t signals = 0;
    for (auto _ : state) {
        const tessaro::SignalDatabase database = tessaro::loadSignalDatabase(databasePath());
        signals = signalCount(database);
        benchmark::DoNotOptimize(database.messages.data());
    }
    state.counters["signals"] = double(signals);
    if (signals != std::size_t(kMessages * kSignalsPerMessage)) state.SkipWithError("not every signal was read");
}

BENCHMARK(ReadLinesFloor)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", tessaro::bench::fastest);
BENCHMARK(ReadSignalDatabase)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", tessaro::bench::fastest);

}  // namespace

int main(int argc, char** argv) {
    std::string folder = (std::filesystem::temp_directory_path() / "tessaro-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data())) return 1;
    databasePath() = folder + "/signals.dbc";
    tessaro::replaceFile(databasePath(), largeDatabase());

    const std::map<std::string, double> fastest = tessaro::bench::runInterleaved(argc, argv);
    std::filesystem::remove_all(folder);
    tessaro::bench::printRatio(fastest, "ReadSignalDatabase", "ReadLinesFloor", 2.0, "ms");
    return 0;
}
