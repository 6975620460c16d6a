#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

#include "platform/Launcher.h"
#include "support/GuiFixture.h"
#include "support/Scripts.h"
#include "update/UBootSer.h"

namespace tessaro {
namespace {

using namespace std::chrono_literals;
using testing::child;

class RunAndWait : public testing::GuiFixture {
protected:
    // The updater's place in the tool folder.
    std::string updater() const { return tool.file("Ser_48213_Update.exe"); }
    platform::ProgramCall callOf(const std::string& program) const { return {QString::fromStdString(program), {}, {}}; }
    void withRealProcesses() { fake.launcher.forwardTo = &real; }

    platform::ProcessLauncher real;
};

TEST_F(RunAndWait, UpdaterGetsPortTokensSimulationFileAndBinFolder) {
    withRealProcesses();
    writeScript(tool, "Ser_48213_Update.exe", testing::kRecordArguments);
    const std::string project = tool.file("PROJECTS/site \"7\" north");
    std::filesystem::create_directories(project + "/bin");
    fake.folders.answer = QString::fromStdString(project);
    click("open");

    fake.dialogs.then([](QDialog& dialog) {
        child<QComboBox>(dialog, "CB_Com")->setCurrentText("COM3");
        child<QPushButton>(dialog, "LbButton1")->click();
        child<QPushButton>(dialog, "LbButton2")->click();
        child<QCheckBox>(dialog, "CB_Firm")->setChecked(false);
        child<QPushButton>(dialog, "LbButton4")->click();
        EXPECT_TRUE(dialog.isVisible()) << "the dialog stays open after the updater ended";
    });
    fake.dialogs.runModal(*window->bootSer());

    const std::string recorded = testing::awaitFile(updater() + ".out");
    const std::size_t firstLine = recorded.find('\n');
    ASSERT_NE(firstLine, std::string::npos);
    EXPECT_EQ(recorded.substr(firstLine + 1), updater() + "\n7\n[COM3]\n[NO]\n[FR]\n[PW]\n[PR]\n[" +
                                                  tool.file("MASTER/sim48213.sim") + "]\n[" + project + "/bin/]\n");
    EXPECT_TRUE(testing::processGone(std::stoi(recorded.substr(0, firstLine)))) << "ended and reaped on return";
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(RunAndWait, ReturnsAtThePollThatSeesTheProgramEnded) {
    for (const int pollsRunning : {0, 1, 3}) {
        fake.launcher.pollsRunning = pollsRunning;
        fake.launcher.polls = 0;
        window->RunAndWait(callOf(updater()));
        EXPECT_EQ(fake.launcher.polls, pollsRunning + 1);
    }
}

TEST_F(RunAndWait, ProgramThatNeverEndsIsLeftRunningAtTheLimit) {
    withRealProcesses();
    writeScript(tool, "Ser_48213_Update.exe", "echo $$ > \"$0.out\"\nexec sleep 600\n");
    window->setRunAndWaitLimit(200ms);
    const auto started = std::chrono::steady_clock::now();
    window->RunAndWait(callOf(updater()));
    EXPECT_GE(std::chrono::steady_clock::now() - started, 200ms);
    EXPECT_GE(fake.launcher.polls, 2);

    const std::string written = testing::awaitFile(updater() + ".out");
    ASSERT_FALSE(written.empty());
    const pid_t child = std::stoi(written);
    EXPECT_TRUE(testing::processRunning(child));
    testing::killChild(child);
}

TEST_F(RunAndWait, MissingProgramReturnsAtOnceWithoutAMessage) {
    withRealProcesses();
    window->RunAndWait(callOf(updater()));
    ASSERT_EQ(fake.launcher.started.size(), 1u);
    EXPECT_EQ(fake.launcher.polls, 0);
    EXPECT_TRUE(fake.messages.shown.empty());
}

}  // namespace
}  // namespace tessaro
