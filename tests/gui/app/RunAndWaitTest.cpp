#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <sstream>

#include "gui/update/UBootSer.h"
#include "platform/Launcher.h"
#include "support/GuiFixture.h"
#include "support/Scripts.h"

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

TEST_F(RunAndWait, ReturnsAtThePollThatSeesTheProgramEndedWithItsExitCode) {
    fake.launcher.exit = {7, 0};
    for (const int pollsRunning : {0, 1, 3}) {
        fake.launcher.pollsRunning = pollsRunning;
        fake.launcher.polls = 0;
        const UpdaterRun run = window->RunAndWait(callOf(updater()));
        EXPECT_EQ(fake.launcher.polls, pollsRunning + 1);
        EXPECT_EQ(run.ending, UpdaterRun::Ending::Ended);
        EXPECT_EQ(run.exitCode, 7u);
    }
}

TEST_F(RunAndWait, TheLimitInUseIs150000Milliseconds) {
    EXPECT_EQ(window->runAndWaitLimit(), kRunAndWaitLimit);
    EXPECT_EQ(kRunAndWaitLimit, 150000ms);
}

TEST_F(RunAndWait, ProgramThatNeverEndsIsLeftRunningAtTheLimit) {
    withRealProcesses();
    writeScript(tool, "Ser_48213_Update.exe", "echo $$ > \"$0.out\"\nexec sleep 600\n");
    window->setRunAndWaitLimit(200ms);
    const UpdaterRun run = window->RunAndWait(callOf(updater()));
    EXPECT_EQ(run.ending, UpdaterRun::Ending::LeftRunning);
    EXPECT_GE(run.waited, 200ms);
    EXPECT_GE(fake.launcher.polls, 2);

    const std::string written = testing::awaitFile(updater() + ".out");
    ASSERT_FALSE(written.empty());
    const pid_t child = std::stoi(written);
    EXPECT_TRUE(testing::processRunning(child));
    testing::killChild(child);
}

TEST_F(RunAndWait, MissingProgramReturnsAtOnceWithTheReason) {
    withRealProcesses();
    const UpdaterRun run = window->RunAndWait(callOf(updater()));
    ASSERT_EQ(fake.launcher.started.size(), 1u);
    EXPECT_EQ(fake.launcher.polls, 0);
    EXPECT_EQ(run.ending, UpdaterRun::Ending::NotStarted);
    EXPECT_EQ(run.failure, "No such file or directory");
    EXPECT_TRUE(fake.messages.shown.empty()) << "the dialog reports it";
}

// Counts the paint events of a widget.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// A click as the window system delivers it, queued for the event loop.
void postClick(QWidget* widget) {
    const QPointF centre = QRectF(widget->rect()).center();
    const QPointF global = widget->mapToGlobal(centre);
    QCoreApplication::postEvent(widget, new QMouseEvent(QEvent::MouseButtonPress, centre, global, Qt::LeftButton,
                                                        Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(widget, new QMouseEvent(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton,
                                                        Qt::NoButton, Qt::NoModifier));
}

void postKey(QWidget* widget, Qt::Key key) {
    QCoreApplication::postEvent(widget, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
    QCoreApplication::postEvent(widget, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier));
}

void connectAndNext(QDialog& dialog) {
    child<QPushButton>(dialog, "LbButton1")->click();
    child<QPushButton>(dialog, "LbButton2")->click();
}

TEST_F(RunAndWait, WhileTheUpdaterRunsTheDialogRepaintsAndCountsTheSecondsButTakesNoInput) {
    withRealProcesses();
    writeScript(tool, "Ser_48213_Update.exe", "sleep 3\nexit 3\n");
    fake.dialogs.then([](QDialog& dialog) {
        connectAndNext(dialog);
        auto* line = child<QLabel>(dialog, "L_Run");
        auto* tick = child<QCheckBox>(dialog, "CB_RProj");
        const PaintCounter painted(line);
        std::vector<std::string> seen;
        QTimer watch;
        watch.setInterval(100);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (seen.empty() || seen.back() != line->text().toStdString()) seen.push_back(line->text().toStdString());
        });
        watch.start();
        bool closeRefused = false;
        QTimer::singleShot(1500, [&] {
            postClick(tick);
            postClick(child<QPushButton>(dialog, "LbButton5"));
            postClick(child<QPushButton>(dialog, "LbButton4"));
            postKey(&dialog, Qt::Key_Escape);
            dialog.close();
            closeRefused = dialog.isVisible();
        });

        child<QPushButton>(dialog, "LbButton4")->click();
        watch.stop();

        // A loaded machine may start the script late and show one more second; every second is counted in turn.
        ASSERT_GE(seen.size(), 3u);
        for (std::size_t second = 0; second < seen.size(); ++second)
            EXPECT_EQ(seen[second], "Waiting for Ser_48213_Update.exe: " + std::to_string(second) + " s");
        EXPECT_GE(painted.paints, 3) << "the line was painted at every second";
        EXPECT_EQ(line->text(), "Ser_48213_Update.exe ended with exit code 3.");
        EXPECT_TRUE(closeRefused);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(child<QFrame>(dialog, "Panel1")->isVisible()) << "Back did not act";
        EXPECT_TRUE(tick->isChecked()) << "the click on the tick did not act";

        // The same click once the wait is over does act.
        postClick(tick);
        QCoreApplication::processEvents();
        EXPECT_FALSE(tick->isChecked());
        tick->setChecked(true);
    });
    fake.dialogs.runModal(*window->bootSer());
    EXPECT_EQ(fake.launcher.started.size(), 1u) << "the click on Execute did not start it again";
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(RunAndWait, AnUpdaterThatCannotStartIsReportedWithItsPathAndTheReason) {
    withRealProcesses();
    struct Case {
        const char* what;
        std::function<void()> prepare;
        const char* reason;
    };
    const Case cases[] = {
        {"missing", [] {}, "No such file or directory"},
        {"not executable", [this] { tool.write("Ser_48213_Update.exe", "#!/bin/sh\nexit 0\n"); }, "Permission denied"},
        {"of no known format",
         [this] {
             tool.write("Ser_48213_Update.exe", "MZ\x90 a program of another system");
             std::filesystem::permissions(updater(), std::filesystem::perms::owner_all);
         },
         "Exec format error"},
    };
    for (const Case& example : cases) {
        std::filesystem::remove(updater());
        example.prepare();
        fake.messages.shown.clear();
        fake.dialogs.then([&](QDialog& dialog) {
            connectAndNext(dialog);
            child<QPushButton>(dialog, "LbButton4")->click();
            EXPECT_TRUE(child<QFrame>(dialog, "Panel1")->isVisible()) << example.what;
            EXPECT_EQ(child<QLabel>(dialog, "L_Run")->text(), "Ser_48213_Update.exe was not started.") << example.what;
        });
        fake.dialogs.runModal(*window->bootSer());
        EXPECT_EQ(fake.messages.shown,
                  (std::vector<testing::Message>{
                      {"error", "The updater cannot be started: " + updater() + ": " + example.reason}}))
            << example.what;
    }
}

TEST_F(RunAndWait, AtTheLimitTheDialogSaysTheUpdaterRunsOn) {
    withRealProcesses();
    writeScript(tool, "Ser_48213_Update.exe", "echo $$ > \"$0.out\"\nexec sleep 600\n");
    window->setRunAndWaitLimit(300ms);
    fake.dialogs.then([](QDialog& dialog) {
        connectAndNext(dialog);
        child<QPushButton>(dialog, "LbButton4")->click();
        EXPECT_EQ(child<QLabel>(dialog, "L_Run")->text(), "Stopped waiting after 0.3 s; the updater runs on.");
    });
    fake.dialogs.runModal(*window->bootSer());
    const std::string written = testing::awaitFile(updater() + ".out");
    ASSERT_FALSE(written.empty());
    EXPECT_TRUE(testing::processRunning(std::stoi(written)));
    testing::killChild(std::stoi(written));
    EXPECT_TRUE(fake.messages.shown.empty());
}

// Lets the event loop run until done says so, at most a few seconds; whether it did.
bool processEventsUntil(const std::function<bool()>& done) {
    for (int attempt = 0; attempt < 500 && !done(); ++attempt) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(10ms);
    }
    return done();
}

TEST_F(RunAndWait, AnUpdaterNoLongerWaitedForIsReapedWhenItEnds) {
    withRealProcesses();
    writeScript(tool, "Ser_48213_Update.exe", "echo $$ > \"$0.out\"\nsleep 1\nexit 4\n");
    window->setRunAndWaitLimit(100ms);
    EXPECT_EQ(window->RunAndWait(callOf(updater())).ending, UpdaterRun::Ending::LeftRunning);
    const std::string written = testing::awaitFile(updater() + ".out");
    ASSERT_FALSE(written.empty());
    const pid_t child = std::stoi(written);
    EXPECT_TRUE(testing::processRunning(child));
    EXPECT_TRUE(window->updaterAlive());

    // The tool idles meanwhile, as it does with the dialog open: nothing is started again.
    EXPECT_TRUE(processEventsUntil([child] { return testing::processGone(child); }))
        << "the updater that ended is no defunct child of the tool";
    EXPECT_FALSE(window->updaterAlive());
    EXPECT_EQ(fake.launcher.started.size(), 1u);
}

TEST_F(RunAndWait, ASecondUpdaterIsNotStartedWhileTheFirstRunsOn) {
    withRealProcesses();
    writeScript(tool, "Ser_48213_Update.exe", "echo $$ >> \"$0.out\"\nexec sleep 600\n");
    window->setRunAndWaitLimit(100ms);
    fake.dialogs.then([&](QDialog& dialog) {
        connectAndNext(dialog);
        auto* execute = child<QPushButton>(dialog, "LbButton4");
        execute->click();
        EXPECT_EQ(child<QLabel>(dialog, "L_Run")->text(), "Stopped waiting after 0.1 s; the updater runs on.");
        EXPECT_FALSE(execute->isEnabled());
        EXPECT_EQ(child<QLabel>(dialog, "L_Missing")->text(),
                  "Ser_48213_Update.exe still runs: Execute is off until it ends.");
        static_cast<TFBootSer&>(dialog).LbButton4Click();
        const UpdaterRun refused = window->RunAndWait(callOf(updater()));
        EXPECT_EQ(refused.ending, UpdaterRun::Ending::StillRunning);
        EXPECT_EQ(fake.launcher.started.size(), 1u);

        const std::string written = testing::awaitFile(updater() + ".out");
        ASSERT_FALSE(written.empty());
        const pid_t first = std::stoi(written);
        ::kill(first, SIGKILL);
        EXPECT_TRUE(processEventsUntil([&] { return execute->isEnabled(); }));
        EXPECT_TRUE(testing::processGone(first));
        EXPECT_EQ(child<QLabel>(dialog, "L_Run")->text(), "Ser_48213_Update.exe ended by signal 9.");
        EXPECT_EQ(child<QLabel>(dialog, "L_Missing")->text(), "Missing: MASTER/sim48213.sim");
    });
    fake.dialogs.runModal(*window->bootSer());
    const std::string started = testing::awaitFile(updater() + ".out");
    EXPECT_EQ(std::count(started.begin(), started.end(), '\n'), 1) << "one updater ran: " << started;
    std::istringstream pids(started);
    for (pid_t pid = 0; pids >> pid;)
        if (testing::processRunning(pid)) testing::killChild(pid);
    EXPECT_TRUE(fake.messages.shown.empty());
}

}  // namespace
}  // namespace tessaro
