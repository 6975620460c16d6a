#include <gtest/gtest.h>

#include <filesystem>

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
    const QStringList arguments{
        "COM3", "NO", "FR",          "PW", "PR", "/t/MASTER/sim48213.sim", "/t/PROJECTS/a \"b\" 'c'/bin/",
        "",     "*",  "$HOME;exit 1"};
    std::unique_ptr<platform::Process> process =
        launcher.start({QString::fromStdString(program), arguments, QStringLiteral("not used on POSIX")}).process;
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

TEST_F(Launcher, WhatCannotBeStartedGivesNoProcessAndTheSystemsReason) {
    const auto executable = [this](const char* name, std::string_view text) {
        const std::string path = folder.write(name, text);
        std::filesystem::permissions(path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
        return path;
    };
    folder.write("plain.exe", "#!/bin/sh\nexit 0\n");
    // Neither a known binary format nor an interpreter line: no shell is tried in its place.
    const std::string noFormat = executable("text.exe", "echo no interpreter line\n");
    const std::string elf = executable("elf.exe",
                                       "\x7f"
                                       "ELF not really");
    const std::pair<std::string, const char*> cases[] = {
        {folder.file("Ser_48213_Update.exe"), "No such file or directory"},
        {folder.file("plain.exe"), "Permission denied"},
        {folder.path(), "Permission denied"},
        {noFormat, "Exec format error"},
        {elf, "Exec format error"},
    };
    for (const auto& [program, reason] : cases) {
        const platform::StartResult result = launcher.start({QString::fromStdString(program), {}, {}});
        EXPECT_FALSE(result.process) << program;
        EXPECT_EQ(result.failure.toStdString(), reason) << program;
    }
}

TEST_F(Launcher, ExitCodeOrSignalOfTheEndedProgram) {
    const std::pair<const char*, platform::ExitStatus> cases[] = {
        {"exit 0\n", {0, 0}},
        {"exit 3\n", {3, 0}},
        {"exit 255\n", {255, 0}},
        {"kill -TERM $$\n", {0, SIGTERM}},
    };
    for (const auto& [body, status] : cases) {
        const std::string program = writeScript(folder, "ends.sh", body);
        platform::StartResult result = launcher.start({QString::fromStdString(program), {}, {}});
        ASSERT_TRUE(result.process) << body;
        EXPECT_TRUE(result.failure.isEmpty());
        ASSERT_TRUE(awaitEnd(*result.process)) << body;
        EXPECT_EQ(result.process->exitStatus(), status) << body;
    }
}

TEST_F(Launcher, ProgramLetGoOfRunsOnAndIsReapedOnceEnded) {
    const std::string program = writeScript(folder, "long.sh", "echo $$ > \"$0.out\"\nexec sleep 600\n");
    launcher.start({QString::fromStdString(program), {}, {}}).process.reset();
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
