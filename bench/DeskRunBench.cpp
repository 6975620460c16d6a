// The desk test's whole run over the largest project, all ten groups at 10 ms (250 frames, 25 000 a second) and its
// 7032 definitions polled from a Modbus TCP slave in process, in real time: each group's measured cycle against its
// own, and the processor the run takes, the thread that waits between cycles apart.
//   desk_run_bench [SECONDS]
#include <sys/resource.h>
#include <time.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <streambuf>

#include "LargeProject.h"
#include "bus/ModbusLines.h"
#include "bus/SteadyClock.h"
#include "core/desk/DeskRun.h"
#include "core/desk/FrameLog.h"
#include "core/image/ConfigurationImage.h"
#include "support/ModbusTestSlave.h"

namespace {

using namespace tessaro;

// Takes the log's bytes and keeps none: what formatting them costs stays in the figures, writing them does not.
class Discard : public std::streambuf {
protected:
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
    int overflow(int c) override { return c; }
};

double seconds(clockid_t clock) {
    timespec time{};
    clock_gettime(clock, &time);
    return double(time.tv_sec) + double(time.tv_nsec) / 1e9;
}

double processSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const double runSeconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "tessaro-desk-bench";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    bench::writeLargestProject(folder.string(), 10);
    const auto buffer = std::make_unique<ImageBuffer>();
    BuildConfigurationImage(folder.string(), *buffer);
    const desk::GatewayModel model = desk::buildGatewayModel(decodeImage(buffer->inUse()));
    std::filesystem::remove_all(folder);

    testing::ModbusTestSlave slave(testing::ModbusTestSlave::Units::shared);
    bus::SteadyClock clock;
    const auto master = bus::openTcpMaster({"127.0.0.1", std::to_string(slave.port())}, std::chrono::seconds(1));
    Discard nowhere;
    std::ostream log(&nowhere);
    desk::FrameLogWriter out(log, "nowhere", desk::LogFormat::candump, model, nullptr, true);
    desk::DeskRun run(model, *master, clock, out, nullptr,
                      {std::chrono::duration_cast<desk::DeskTime>(std::chrono::duration<double>(runSeconds)), 0}, 0);

    std::printf(
        "desk run: %zu frames in %zu groups at 10 ms, %zu definitions (a request each), %.1f s against a "
        "Modbus TCP slave in process\n",
        model.frames.size(), model.groups.size(), model.requests.size(), runSeconds);
    const double wallBefore = seconds(CLOCK_MONOTONIC);
    const double threadBefore = seconds(CLOCK_THREAD_CPUTIME_ID);
    const double processBefore = processSeconds();
    run.run();
    const double thread = seconds(CLOCK_THREAD_CPUTIME_ID) - threadBefore;
    const double process = processSeconds() - processBefore;
    const double wall = seconds(CLOCK_MONOTONIC) - wallBefore;

    const desk::DeskSummary summary = run.summary();
    std::printf("poll rounds: %llu, %.0f ms a round; requests answered: %llu of %llu\n",
                static_cast<unsigned long long>(summary.rounds),
                summary.rounds ? wall * 1000 / double(summary.rounds) : 0.0,
                static_cast<unsigned long long>(summary.slaves.empty() ? 0 : [&] {
                    std::uint64_t answered = 0;
                    for (const desk::SlaveStats& stats : summary.slaves) answered += stats.answered;
                    return answered;
                }()),
                static_cast<unsigned long long>([&] {
                    std::uint64_t requests = 0;
                    for (const desk::SlaveStats& stats : summary.slaves) requests += stats.requests;
                    return requests;
                }()));
    bool within = true;
    for (const desk::GroupFigures& group : summary.groups) {
        if (!group.measured) continue;
        const double off = std::abs(group.measured->medianMs - group.cycleMs) / group.cycleMs * 100;
        within = within && off < 1;
        std::printf(
            "group %2zu, %2zu frames: %5llu sends, cycle min %7.3f  median %7.3f  max %7.3f ms  (median %.3f%% "
            "off %u ms)\n",
            group.number, group.frames, static_cast<unsigned long long>(group.sends), group.measured->minimumMs,
            group.measured->medianMs, group.measured->maximumMs, off, unsigned(group.cycleMs));
    }
    const double sender = thread / wall * 100;
    std::printf(
        "the sender, which waits between cycles and formats the 25 000 log lines a second: %.2f%% of one "
        "core\n",
        sender);
    std::printf("the whole process (the poller and libmodbus, the slave in process): %.1f%% of one core\n",
                process / wall * 100);
    std::printf("every median within 1%%: %s; the sender under 5%% of one core: %s\n", within ? "yes" : "NO",
                sender < 5 ? "yes" : "NO");
    return within && sender < 5 ? 0 : 1;
}
