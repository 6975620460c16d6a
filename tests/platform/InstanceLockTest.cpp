#include <gtest/gtest.h>

#include <QString>
#include <filesystem>
#include <thread>

#include "platform/InstanceLock.h"
#include "platform/Launcher.h"
#include "support/Scripts.h"

namespace tessaro {
namespace {

using namespace testing;
using Outcome = platform::InstanceLock::Outcome;

class InstanceLock : public ::testing::Test {
protected:
    QString lockFile() const { return QString::fromStdString(folder.file("Tessaro_Kelvane.ini.lock")); }
    TemporaryFolder folder;
};

TEST_F(InstanceLock, TheFirstTakesItTheSecondFindsItHeldUntilTheFirstEnds) {
    auto first = std::make_unique<platform::FileInstanceLock>();
    EXPECT_EQ(first->acquire(lockFile()), Outcome::Taken);
    EXPECT_EQ(first->acquire(lockFile()), Outcome::Taken) << "kept";
    platform::FileInstanceLock second;
    EXPECT_EQ(second.acquire(lockFile()), Outcome::HeldElsewhere);
    EXPECT_EQ(second.acquire(lockFile()), Outcome::HeldElsewhere);
    first.reset();
    EXPECT_EQ(second.acquire(lockFile()), Outcome::Taken);
    EXPECT_TRUE(folder.exists("Tessaro_Kelvane.ini.lock")) << "the file stays; only the lock goes";
}

TEST_F(InstanceLock, ALockFileThatCannotBeOpenedTellsNothing) {
    platform::FileInstanceLock lock;
    EXPECT_EQ(lock.acquire(QString::fromStdString(folder.file("missing folder/Tessaro_Kelvane.ini.lock"))),
              Outcome::Unavailable);
}

// Another process holds it, as another instance of the tool would; killed, it leaves nothing to clean up.
TEST_F(InstanceLock, AProcessThatHoldsItAndIsKilledLetsGoOfIt) {
    platform::ProcessLauncher launcher;
    const std::string holder =
        writeScript(folder, "holder.sh", "exec flock -n \"$1\" sh -c 'echo $$ > \"$0\"; exec sleep 600' \"$2\"\n");
    platform::StartResult started =
        launcher.start({QString::fromStdString(holder), {lockFile(), QString::fromStdString(folder.file("held"))}, {}});
    ASSERT_TRUE(started.process);
    const std::string written = awaitFile(folder.file("held"));
    ASSERT_FALSE(written.empty());
    const pid_t pid = std::stoi(written);

    platform::FileInstanceLock lock;
    EXPECT_EQ(lock.acquire(lockFile()), Outcome::HeldElsewhere);
    ::kill(pid, SIGKILL);
    for (int attempt = 0; attempt < 500 && started.process->running(); ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(lock.acquire(lockFile()), Outcome::Taken);
}

// An updater started while the tool holds the lock, and left running when the tool ends, must not keep it.
TEST_F(InstanceLock, AStartedProgramDoesNotInheritIt) {
    platform::FileInstanceLock lock;
    ASSERT_EQ(lock.acquire(lockFile()), Outcome::Taken);
    platform::ProcessLauncher launcher;
    const std::string lister =
        writeScript(folder, "lister.sh", "ls -l /proc/$$/fd > \"$0.tmp\" && mv \"$0.tmp\" \"$0.out\"\n");
    platform::StartResult started = launcher.start({QString::fromStdString(lister), {}, {}});
    ASSERT_TRUE(started.process);
    const std::string descriptors = awaitFile(lister + ".out");
    ASSERT_FALSE(descriptors.empty());
    EXPECT_EQ(descriptors.find("Tessaro_Kelvane.ini.lock"), std::string::npos) << descriptors;
}

}  // namespace
}  // namespace tessaro
