#include "core/update/UpdateFeedback.h"

#include "core/documents/AtomicFile.h"
#include "core/documents/Errors.h"
#include "core/image/ConfigurationImage.h"
#include "core/update/PortMapping.h"
#include "core/update/UpdaterCommand.h"

namespace tessaro {

std::string startFailureMessage(std::string_view program, std::string_view reason) {
    return "The updater cannot be started: " + std::string(program) + ": " + std::string(reason);
}

std::string secondsText(std::chrono::milliseconds duration) {
    const auto tenths = duration.count() / 100;
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10 != 0) text += "." + std::to_string(tenths % 10);
    return text + " s";
}

std::string waitingLine(std::chrono::milliseconds waited) {
    return "Waiting for " + std::string(kUpdaterProgramName) + ": " +
           std::to_string(std::chrono::duration_cast<std::chrono::seconds>(waited).count()) + " s";
}

std::string runOutcomeLine(const UpdaterRun& run) {
    const std::string program(kUpdaterProgramName);
    switch (run.ending) {
        case UpdaterRun::Ending::NotStarted:
            return program + " was not started.";
        case UpdaterRun::Ending::Ended:
            if (run.signal != 0) return program + " ended by signal " + std::to_string(run.signal) + ".";
            return program + " ended with exit code " + std::to_string(run.exitCode) + ".";
        case UpdaterRun::Ending::StillRunning:
            return updaterStillRunsLine();
        case UpdaterRun::Ending::LeftRunning:
            break;
    }
    return "Stopped waiting after " + secondsText(run.waited) + "; the updater runs on.";
}

std::string updaterStillRunsLine() {
    return std::string(kUpdaterProgramName) + " still runs: Execute is off until it ends.";
}

ImageToLoad imageToLoad(const std::string& projectFolder) {
    ImageToLoad image;
    image.path = imageFilePath(projectFolder);
    image.folder = projectFolder + kPathSeparator;
    image.inFolder = image.path.substr(image.folder.size());
    if (!fileExists(image.path)) {
        image.lines = {"not found"};
        return image;
    }
    try {
        const ImageLayout layout = readImageLayout(readFile(image.path));
        image.lines = {plural(layout.size, "byte", "bytes"),
                       plural(std::size_t(layout.counts.frames), "frame", "frames"),
                       plural(std::size_t(layout.counts.definitions), "definition", "definitions"),
                       plural(std::size_t(layout.counts.groups), "group", "groups")};
        image.readable = true;
    } catch (const Error& failure) {
        image.lines = {"of no use:", failure.what()};
    }
    return image;
}

std::optional<std::string> missingFilesWarning(const ProjectState& project) {
    std::vector<std::string> missing;
    if (!fileExists(joinPath(project.toolFolder, kUpdaterProgramName))) missing.emplace_back(kUpdaterProgramName);
    if (!fileExists(joinPath(project.masterFolder, kSimulationFileName)))
        missing.push_back(joinPath("MASTER", kSimulationFileName));
    if (missing.empty()) return std::nullopt;
    std::string warning = "Missing: " + missing.front();
    if (missing.size() > 1) warning += ", " + missing.back();
    return warning;
}

std::string portNotOpenMessage(std::string_view listName, std::string_view device, std::string_view reason) {
    std::string message = "Error!! Com Port cannot be open.\n" + std::string(listName) + " = " + std::string(device);
    if (!reason.empty()) message += ": " + std::string(reason);
    return message;
}

std::string dtrRefusedReason(std::string_view systemError) {
    return "DTR cannot be raised (" + std::string(systemError) + ")";
}

std::string selectOnePortMessage(std::string_view listName, bool lastConnectFailed) {
    const std::string port(listName);
    return "Select one port.\n" + (lastConnectFailed
                                       ? "Connect failed for " + port + ": connect again, or choose another port."
                                       : port + " is chosen but not connected: press Connect first.");
}

std::string presentDevicesTip(const std::vector<std::string>& devices) {
    std::string tip = devices.empty() ? "No serial device found on this machine." : "Serial devices on this machine:";
    for (const std::string& device : devices) tip += "\n" + device;
    return tip + "\nMap a name to one in " + std::string(kSettingsFileName) + ", section [" +
           std::string(kPortsSection) + "], e.g. COM1=" + std::string(kExampleAdapter) + ".";
}

}  // namespace tessaro
