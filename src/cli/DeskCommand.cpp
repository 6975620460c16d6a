#include "cli/DeskCommand.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <ostream>

#include "bus/DeskSession.h"
#include "bus/Interruption.h"
#include "bus/SocketCan.h"
#include "bus/SteadyClock.h"
#include "cli/ImageDump.h"
#include "core/desk/DeskReport.h"
#include "core/desk/FrameLog.h"
#include "core/desk/SimulatedClock.h"
#include "core/documents/AtomicFile.h"
#include "core/documents/Errors.h"
#include "core/image/ConfigurationImage.h"
#include "core/project/ProjectState.h"
#include "core/signals/SignalDatabase.h"

namespace tessaro::cli {

namespace {

struct LoadedImage {
    DecodedImage image;
    std::string description;
};

LoadedImage loadImage(const DeskOptions& options) {
    if (options.image) return {readImageFile(*options.image), "the image " + *options.image};
    const auto buffer = std::make_unique<ImageBuffer>();
    BuildConfigurationImage(options.projectFolder, *buffer);
    return {decodeImage(buffer->inUse()), "the image its documents build"};
}

std::optional<SignalDatabase> loadDatabase(const DeskOptions& options) {
    if (!options.signalValues) return std::nullopt;
    const std::optional<std::string> path =
        options.dbc ? options.dbc : signalDatabasePath(options.projectFolder, options.toolFolder);
    if (!path)
        throw Error("--signals needs a signal database: give one with --dbc FILE, or put " +
                    std::string(kSignalDatabaseFileName) + " into the project folder");
    return loadSignalDatabase(*path);
}

std::int64_t wallMicrosNow() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

bool runsOnSimulatedClock(const DeskOptions& options) {
    return options.source.kind == desk::SourceKind::values && !options.can;
}

std::optional<desk::DeskTime> durationOf(const std::string& text) {
    double seconds = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (failure != std::errc() || end != text.data() + text.size() || !(seconds > 0) || seconds > 1e9)
        return std::nullopt;
    return std::chrono::duration_cast<desk::DeskTime>(std::chrono::duration<double>(seconds));
}

int runDesk(const DeskOptions& options, std::ostream& out, std::ostream& err) {
    const LoadedImage loaded = loadImage(options);
    const desk::GatewayModel model = desk::buildGatewayModel(loaded.image);
    const std::optional<SignalDatabase> database = loadDatabase(options);

    const bool simulated = runsOnSimulatedClock(options);
    std::unique_ptr<desk::Clock> clock;
    if (simulated)
        clock = std::make_unique<desk::SimulatedClock>();
    else
        clock = std::make_unique<bus::SteadyClock>();
    const std::string settingsPath = options.toolFolder.empty() ? std::string() : settingsFileIn(options.toolFolder);
    bus::OpenedSource source = bus::openSource(options.source, model.settings, *clock, settingsPath);

    std::unique_ptr<bus::CanInterface> can;
    std::ofstream file;
    std::unique_ptr<desk::FrameLogWriter> log;
    std::vector<desk::CanOut*> outputs;
    std::string destination;
    if (options.can) {
        can = bus::openCanInterface(*options.can, *clock);
        outputs.push_back(can.get());
        destination = "the CAN interface " + *options.can;
    } else {
        std::ostream* stream = &out;
        destination = "standard output";
        if (options.output) {
            file.open(*options.output, std::ios::binary | std::ios::trunc);
            if (!file) throw Error("cannot write " + *options.output + ": " + std::strerror(errno));
            stream = &file;
            destination = *options.output;
        }
        log = std::make_unique<desk::FrameLogWriter>(
            *stream, destination, options.json ? desk::LogFormat::jsonLines : desk::LogFormat::candump, model,
            options.json && database ? &*database : nullptr, !simulated);
        outputs.push_back(log.get());
    }
    // A candump log cannot hold the signal values: they go to standard output as lines of their own.
    std::unique_ptr<desk::SignalLinesWriter> signalLines;
    if (database && !options.json) {
        signalLines = std::make_unique<desk::SignalLinesWriter>(out, "standard output", model, *database, !simulated);
        outputs.push_back(signalLines.get());
    }
    desk::FanOut frames(outputs);

    err << "Desk test of " << options.projectFolder << ": " << loaded.description << ", against " << source.description
        << "; the frames to " << destination
        << (simulated ? ", on a simulated clock (a values file has no slave to wait for)"
                      : ", in real time; Ctrl-C stops it")
        << "\n";
    err.flush();

    desk::DeskRun run(model, *source.master, *clock, frames, can.get(), options.limits, wallMicrosNow());
    {
        std::optional<bus::InterruptWatch> interrupts;
        if (!simulated) interrupts.emplace([&run] { run.stop(); });
        run.run();
    }
    if (log) log->finish();
    if (signalLines) signalLines->finish();

    desk::GatewayModel reported = model;
    for (const std::string& note : source.notes) reported.notes.push_back(note);
    if (can && can->dropped() > 0)
        reported.notes.push_back(std::to_string(can->dropped()) + " frames were dropped: the queue of " + *options.can +
                                 " was full (does another node acknowledge them?)");
    err << desk::summaryText(run.summary(), reported);
    return 0;
}

}  // namespace tessaro::cli
