#include <gtest/gtest.h>

#include <filesystem>

#include "core/documents/AtomicFile.h"
#include "core/image/ConfigurationImage.h"
#include "core/update/UpdateFeedback.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

using namespace std::chrono_literals;

TEST(UpdateFeedback, TheToolWaitsAtMost150000Milliseconds) {
    EXPECT_EQ(kRunAndWaitLimit, 150000ms);
}

TEST(UpdateFeedback, WaitingLineCountsWholeSeconds) {
    const std::pair<std::chrono::milliseconds, const char*> cases[] = {
        {0ms, "Waiting for Ser_48213_Update.exe: 0 s"},
        {999ms, "Waiting for Ser_48213_Update.exe: 0 s"},
        {1000ms, "Waiting for Ser_48213_Update.exe: 1 s"},
        {149999ms, "Waiting for Ser_48213_Update.exe: 149 s"},
    };
    for (const auto& [waited, line] : cases) EXPECT_EQ(waitingLine(waited), line) << waited.count();
}

TEST(UpdateFeedback, OutcomeLineShowsTheExitCodeWithoutJudgingIt) {
    using Ending = UpdaterRun::Ending;
    const std::pair<UpdaterRun, const char*> cases[] = {
        {{Ending::Ended, {}, 0, 0, 3200ms}, "Ser_48213_Update.exe ended with exit code 0."},
        {{Ending::Ended, {}, 3, 0, 10ms}, "Ser_48213_Update.exe ended with exit code 3."},
        {{Ending::Ended, {}, 3221225477u, 0, 10ms}, "Ser_48213_Update.exe ended with exit code 3221225477."},
        {{Ending::Ended, {}, 0, 9, 10ms}, "Ser_48213_Update.exe ended by signal 9."},
        {{Ending::LeftRunning, {}, 0, 0, 150000ms}, "Stopped waiting after 150 s; the updater runs on."},
        {{Ending::LeftRunning, {}, 0, 0, 150013ms}, "Stopped waiting after 150 s; the updater runs on."},
        {{Ending::LeftRunning, {}, 0, 0, 300ms}, "Stopped waiting after 0.3 s; the updater runs on."},
        {{Ending::NotStarted, "Permission denied", 0, 0, 0ms}, "Ser_48213_Update.exe was not started."},
        {{Ending::StillRunning, {}, 0, 0, 0ms}, "Ser_48213_Update.exe still runs: Execute is off until it ends."},
    };
    for (const auto& [run, line] : cases) EXPECT_EQ(runOutcomeLine(run), line);
}

TEST(UpdateFeedback, StartFailureNamesTheProgramAndTheReason) {
    EXPECT_EQ(startFailureMessage("/opt/t/Ser_48213_Update.exe", "No such file or directory"),
              "The updater cannot be started: /opt/t/Ser_48213_Update.exe: No such file or directory");
}

TEST(UpdateFeedback, ImageToLoadIsReadFromItsHeader) {
    testing::TemporaryFolder project;
    const std::string path = project.file("bin/bank.bin");
    ImageBuffer engineDemo;
    BuildConfigurationImage(std::string(TESSARO_EXAMPLES) + "/engine-demo", engineDemo);
    std::string header(16, '\0');
    header[0] = 16;
    header[4] = 17;

    struct Case {
        const char* what;
        std::optional<std::string> bytes;
        std::vector<std::string> lines;
        bool readable;
    };
    const Case cases[] = {
        {"worked example",
         readFile(std::string(TESSARO_FIXTURES) + "/image/worked-example/bank.bin"),
         {"53 bytes", "1 frame", "1 definition", "1 group"},
         true},
        {"engine demo", std::string(engineDemo.inUse()), {"233 bytes", "5 frames", "12 definitions", "2 groups"}, true},
        {"no file", std::nullopt, {"not found"}, false},
        {"cut short", "short", {"of no use:", "the image holds 5 bytes, fewer than its 16-byte header"}, false},
        {"broken header",
         header,
         {"of no use:",
          "header word 4 is 17, but the frame entries from offset 16 would not be a whole number of "
          "6-byte entries"},
         false},
    };
    for (const Case& example : cases) {
        std::filesystem::remove(path);
        if (example.bytes) project.write("bin/bank.bin", *example.bytes);
        const ImageToLoad image = imageToLoad(project.path());
        EXPECT_EQ(image.path, path) << example.what;
        EXPECT_EQ(image.folder, project.path() + "/") << example.what;
        EXPECT_EQ(image.inFolder, "bin/bank.bin") << example.what;
        EXPECT_EQ(image.lines, example.lines) << example.what;
        EXPECT_EQ(image.readable, example.readable) << example.what;
    }
}

TEST(UpdateFeedback, MissingUpdaterOrSimulationFileIsNamed) {
    struct Case {
        bool updater, simulation;
        std::optional<std::string> warning;
    };
    const Case cases[] = {
        {true, true, std::nullopt},
        {false, true, "Missing: Ser_48213_Update.exe"},
        {true, false, "Missing: MASTER/sim48213.sim"},
        {false, false, "Missing: Ser_48213_Update.exe, MASTER/sim48213.sim"},
    };
    for (const Case& example : cases) {
        testing::TemporaryFolder tool;
        ProjectState project;
        project.setToolFolder(tool.path());
        if (example.updater) tool.write("Ser_48213_Update.exe", "");
        if (example.simulation) tool.write("MASTER/sim48213.sim", "");
        EXPECT_EQ(missingFilesWarning(project), example.warning) << example.updater << example.simulation;
    }
}

TEST(UpdateFeedback, PortListTipNamesThePresentDevicesAndHowToMapOne) {
    EXPECT_EQ(presentDevicesTip({"/dev/ttyS0", "/dev/ttyUSB0 (FT232R USB UART)"}),
              "Serial devices on this machine:\n/dev/ttyS0\n/dev/ttyUSB0 (FT232R USB UART)\n"
              "Map a name to one in Tessaro_Kelvane.ini, section [ports], e.g. COM1=/dev/ttyUSB0.");
    EXPECT_EQ(presentDevicesTip({}),
              "No serial device found on this machine.\n"
              "Map a name to one in Tessaro_Kelvane.ini, section [ports], e.g. COM1=/dev/ttyUSB0.");
}

}  // namespace
}  // namespace tessaro
