#include <gtest/gtest.h>

#include "platform/Launcher.h"
#include "support/Scripts.h"

namespace tessaro {
namespace {

using namespace testing;

// Polls until the program has ended, at most a few seconds.
bool awaitEnd(platform::Process& process) {
    for (int attempt = 0; attempt < 500; ++attempt) {
        if (!process.running()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

class Launcher : public ::testing::Test {
protected:
    TemporaryFolder folder;
    platform::ProcessLauncher launcher;
};

TEST_F(Launcher, ArgumentsArriveOneByOneWithoutAShell) {
    const std::string program = writeScript(folder, "my tool/Ser_48213_Update.exe", kRecordArguments);
    const QStringList arguments{"COM3", "NO", "FR", "PW", "PR", "/t/MASTER/sim48213.sim",
                                "/t/PROJECTS/a \"b\" 'c'/bin/", "", "*", "$HOME;exit 1"};
    std::unique_ptr<platform::Process> process =
        launcher.start({QString::fromStdString(program), arguments, QStringLiteral("not used on POSIX")});
    ASSERT_TRUE(process);
    ASSERT_TRUE(awaitEnd(*process));

    const std::string recorded = awaitFile(program + ".out");
    const std::size_t firstLine = recorded.find('\n');
    ASSERT_NE(firstLine, std::string::npos);
    EXPECT_EQ(recorded.substr(firstLine + 1), program +
                                                  "\n10\n[COM3]\n[NO]\n[FR]\n[PW]\n[PR]\n[/t/MASTER/sim48213.sim]\n"
                                                  "[/t/PROJECTS/a \"b\" 'c'/bin/]\n[]\n[*]\n[$HOME;exit 1]\n");
    const pid_t child = std::stoi(recorded.substr(0, firstLine));
    EXPECT_TRUE(processGone(child)) << "a finished child is reaped";
    EXPECT_FALSE(process->running()) << "and stays ended";
}

TEST_F(Launcher, WhatCannotBeStartedGivesNoProcess) {
    folder.write("plain.exe", "#!/bin/sh\nexit 0\n");
    for (const std::string& missing : {folder.file("Ser_48213_Update.exe"), folder.file("plain.exe"), folder.path()})
        EXPECT_FALSE(launcher.start({QString::fromStdString(missing), {}, {}})) << missing;
}

TEST_F(Launcher, ProgramLetGoOfRunsOnAndIsReapedOnceEnded) {
    const std::string program = writeScript(folder, "long.sh", "echo $$ > \"$0.out\"\nexec sleep 600\n");
    launcher.start({QString::fromStdString(program), {}, {}}).reset();
    const std::string written = awaitFile(program + ".out");
    ASSERT_FALSE(written.empty());
    const pid_t child = std::stoi(written);
    EXPECT_TRUE(processRunning(child));

    ::kill(child, SIGKILL);
    for (int attempt = 0; attempt < 500 && processRunning(child); ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_FALSE(processGone(child)) << "ended, not yet reaped";
    launcher.start({QString::fromStdString(folder.file("missing")), {}, {}});
    EXPECT_TRUE(processGone(child));
}

}  // namespace
}  // namespace tessaro
