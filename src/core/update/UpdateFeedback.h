#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/project/ProjectState.h"

namespace tessaro {

// What the serial update dialog tells the user at each step. The tool never judges an update: an exit code is
// shown as it is.

// How long RunAndWait waits for the updater before it lets it run on by itself.
inline constexpr std::chrono::milliseconds kRunAndWaitLimit{150000};

// How one run of the updater ended, as RunAndWait saw it. StillRunning: not started, because the updater started
// before has not ended yet (one updater at a time: two would write to the device over one port).
struct UpdaterRun {
    enum class Ending { NotStarted, Ended, LeftRunning, StillRunning };
    Ending ending = Ending::NotStarted;
    std::string failure;         // NotStarted: the system's reason
    std::uint32_t exitCode = 0;  // Ended
    int signal = 0;              // Ended by this signal (POSIX), 0 when it exited
    std::chrono::milliseconds waited{0};
};

// Called by RunAndWait at every poll with the time waited so far.
using WaitProgress = std::function<void(std::chrono::milliseconds waited)>;

// The error box of an updater that cannot be started.
std::string startFailureMessage(std::string_view program, std::string_view reason);

// "Waiting for Ser_48213_Update.exe: 12 s", whole seconds passed.
std::string waitingLine(std::chrono::milliseconds waited);

// The one line that says how the run ended.
std::string runOutcomeLine(const UpdaterRun& run);

// Above "Execute update firmware" while it is off: an updater the tool started has not ended yet.
std::string updaterStillRunsLine();

// "150 s", "0.3 s": down to tenths of a second.
std::string secondsText(std::chrono::milliseconds duration);

// The image "Execute update firmware" hands to the updater: project folder/bin/bank.bin as it is on disk.
struct ImageToLoad {
    std::string path;
    // The path in two pieces, to be shown on two lines: the project folder with its separator, and "bin/bank.bin".
    std::string folder;
    std::string inFolder;
    // "233 bytes", "16 frames", "46 definitions", "10 groups"; or why the file is of no use.
    std::vector<std::string> lines;
    bool readable = false;
};
ImageToLoad imageToLoad(const std::string& projectFolder);

// A warning when the updater or the simulation file is not where the updater is looked for; nothing when both are.
std::optional<std::string> missingFilesWarning(const ProjectState& project);

// Beside the port list after a successful Connect.
inline constexpr std::string_view kPortReadyLine = "Port ready, DTR on";

// "Error!! Com Port cannot be open." and below it the device the list name stands for and why it failed:
// "COM3 = /dev/ttyUSB0: No such file or directory".
std::string portNotOpenMessage(std::string_view listName, std::string_view device, std::string_view reason);

// Why a port did not open, where the system's own error would not say it plainly.
inline constexpr std::string_view kRegularFileReason = "a regular file, not a serial device";
inline constexpr std::string_view kFolderReason = "a folder, not a serial device";
inline constexpr std::string_view kNotCharacterDeviceReason = "not a character device, so no serial device";
// "DTR cannot be raised (Inappropriate ioctl for device)": the port opened, but its DTR line did not follow.
std::string dtrRefusedReason(std::string_view systemError);

// "Select one port." and below it why Next does not go on: Connect was not pressed for the chosen port since the
// connection stage was shown, or the last Connect failed.
std::string selectOnePortMessage(std::string_view listName, bool lastConnectFailed);

// The tooltip of the port list: the serial devices present, each "device (description)", and how to map one.
std::string presentDevicesTip(const std::vector<std::string>& devices);

}  // namespace tessaro
