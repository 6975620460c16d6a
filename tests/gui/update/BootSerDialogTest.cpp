#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <thread>

#include "gui/update/UBootSer.h"
#include "platform/SerialPort.h"
#include "support/GuiFixture.h"
#include "support/Keys.h"
#include "support/PseudoTerminal.h"

namespace tessaro {
namespace {

using testing::child;
using testing::Message;

const char* const kStepLabels[] = {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6"};
const char* const kTicks[] = {"CB_Firm", "CB_RFirm", "CB_Proj", "CB_RProj"};

class BootSerDialog : public testing::GuiFixture {
protected:
    // Shows the dialog, as "Update Device" does after writing the image, and lets script act as the user.
    void update(std::function<void(TFBootSer&)> script) { showWith(*window->bootSer(), std::move(script)); }
    void showWith(TFBootSer& dialog, std::function<void(TFBootSer&)> script) {
        fake.dialogs.then([script](QDialog& shown) { script(static_cast<TFBootSer&>(shown)); });
        fake.dialogs.runModal(dialog);
    }

    static void press(QWidget& dialog, const char* name) { child<QPushButton>(dialog, name)->click(); }
    static void choose(QWidget& dialog, const char* port) { child<QComboBox>(dialog, "CB_Com")->setCurrentText(port); }
    static bool optionsShown(QWidget& dialog) { return child<QFrame>(dialog, "Panel1")->isVisible(); }
    static bool stepsShown(QWidget& dialog) {
        for (const char* name : kStepLabels)
            if (!child<QLabel>(dialog, name)->isVisible()) return false;
        return true;
    }
    static void setTicks(QWidget& dialog, std::array<bool, 4> ticks) {
        for (std::size_t index = 0; index < 4; ++index)
            child<QCheckBox>(dialog, kTicks[index])->setChecked(ticks[index]);
    }
    static std::vector<Message> errors(std::initializer_list<std::string> texts) {
        std::vector<Message> result;
        for (const std::string& text : texts) result.push_back({"error", text});
        return result;
    }
    // The box of a failed Connect, and of Next before a successful one, with the reason below the fixed text.
    static std::string notOpen(const std::string& reason) { return "Error!! Com Port cannot be open.\n" + reason; }
    static std::string notConnected(const std::string& port) {
        return "Select one port.\n" + port + " is chosen but not connected: press Connect first.";
    }
    static std::string connectFailed(const std::string& port) {
        return "Select one port.\nConnect failed for " + port + ": connect again, or choose another port.";
    }
    static std::string dtrRefused(const std::string& port, const std::string& device) {
        return notOpen(port + " = " + device + ": DTR cannot be raised (Inappropriate ioctl for device)");
    }
};

TEST_F(BootSerDialog, BothStagesWithTheirTexts) {
    update([](TFBootSer& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Update Firmware from Serial (RS232)");
        EXPECT_EQ(dialog.size(), QSize(358, 210));
        const std::pair<const char*, const char*> labels[] = {
            {"Label1", "Follow this step to update the DO48213 from RS232:"},
            {"Label2", "1 - Turn OFF the Device"},
            {"Label3", "2 - Insert the Boot Jumper (see the manual)"},
            {"Label4", "3 - Select the  COM port and press the connect button"},
            {"Label5", "4 - Turn ON the Device"},
            {"Label6", "5 - Check the BOOT led. It must blink quickly"},
            {"Label7", "Update Device Options"},
        };
        for (const auto& [name, text] : labels) EXPECT_EQ(child<QLabel>(dialog, name)->text().toStdString(), text);
        const std::pair<const char*, const char*> buttons[] = {
            {"LbButton1", "Connect"}, {"LbButton2", "Next"},
            {"LbButton3", "Cancel"},  {"LbButton4", "Execute update firmware"},
            {"CB_Firm", "Firmware"},  {"CB_RFirm", "Read Firmware when finish"},
            {"CB_Proj", "Project"},   {"CB_RProj", "Read Project when finish"},
        };
        for (const auto& [name, text] : buttons)
            EXPECT_EQ(child<QAbstractButton>(dialog, name)->text().toStdString(), text);
        for (const char* name : kTicks) EXPECT_TRUE(child<QCheckBox>(dialog, name)->isChecked()) << name;

        auto* ports = child<QComboBox>(dialog, "CB_Com");
        EXPECT_FALSE(ports->isEditable());
        ASSERT_EQ(ports->count(), 10);
        for (int index = 0; index < 10; ++index)
            EXPECT_EQ(ports->itemText(index), QStringLiteral("COM%1").arg(index + 1));
        EXPECT_EQ(ports->currentText(), "COM1");

        auto* panel = child<QFrame>(dialog, "Panel1");
        EXPECT_EQ(panel->size(), QSize(353, 209));
        EXPECT_FALSE(panel->isVisible());
        EXPECT_TRUE(stepsShown(dialog));
        for (const char* name : {"CB_Com", "LbButton1", "LbButton2", "LbButton3"})
            EXPECT_TRUE(QRect(0, 0, 353, 209).contains(child<QWidget>(dialog, name)->geometry())) << name;
    });
}

TEST_F(BootSerDialog, NextRightAfterOpeningAsksForAPort) {
    update([](TFBootSer& dialog) {
        press(dialog, "LbButton2");
        EXPECT_FALSE(optionsShown(dialog));
        EXPECT_TRUE(stepsShown(dialog));
    });
    EXPECT_EQ(fake.messages.shown, errors({notConnected("COM1")}));
    EXPECT_TRUE(fake.launcher.started.empty());
}

TEST_F(BootSerDialog, ConnectRaisesDtrAndNextShowsTheOptionsWithThePortClosed) {
    update([this](TFBootSer& dialog) {
        choose(dialog, "COM3");
        press(dialog, "LbButton1");
        EXPECT_EQ(fake.serialPort.calls, (std::vector<std::string>{"close", "name COM3", "open", "dtr"}));
        EXPECT_TRUE(fake.serialPort.opened && fake.serialPort.dtrRaised) << "the port stays open with DTR raised";
        EXPECT_TRUE(dialog.portReady());

        press(dialog, "LbButton2");
        EXPECT_TRUE(optionsShown(dialog));
        EXPECT_EQ(child<QFrame>(dialog, "Panel1")->pos(), QPoint(0, 0));
        for (const char* name : kStepLabels) EXPECT_FALSE(child<QLabel>(dialog, name)->isVisible()) << name;
        for (const char* name : {"CB_Com", "LbButton1", "LbButton2", "LbButton3"})
            EXPECT_FALSE(child<QWidget>(dialog, name)->isEnabled()) << name << " is covered";
        EXPECT_FALSE(fake.serialPort.opened) << "the updater must be able to open it";
        EXPECT_EQ(fake.serialPort.calls.back(), "close");
    });
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(BootSerDialog, FailedConnectClearsTheFlagAndFreesThePort) {
    struct Failure {
        const char* what;
        bool opens, acceptsDtr;
        std::string reason;
    };
    const Failure failures[] = {
        {"port does not open", false, true, "COM1 = /dev/ttyS0: No such file or directory"},
        {"DTR refused", true, false, "COM1 = /dev/ttyS0: DTR cannot be raised (Inappropriate ioctl for device)"},
    };
    for (const Failure& failure : failures) {
        fake.messages.shown.clear();
        update([&](TFBootSer& dialog) {
            fake.serialPort.opens = fake.serialPort.acceptsDtr = true;
            press(dialog, "LbButton1");
            ASSERT_TRUE(dialog.portReady());
            fake.serialPort.opens = failure.opens;
            fake.serialPort.acceptsDtr = failure.acceptsDtr;
            press(dialog, "LbButton1");
            EXPECT_FALSE(dialog.portReady()) << failure.what;
            EXPECT_FALSE(fake.serialPort.opened) << failure.what;
            press(dialog, "LbButton2");
            EXPECT_FALSE(optionsShown(dialog)) << failure.what;
        });
        EXPECT_EQ(fake.messages.shown, errors({notOpen(failure.reason), connectFailed("COM1")})) << failure.what;
    }
}

TEST_F(BootSerDialog, EveryWayOfClosingClosesThePort) {
    const std::pair<const char*, std::function<void(TFBootSer&)>> closings[] = {
        {"Cancel", [](TFBootSer& dialog) { press(dialog, "LbButton3"); }},
        {"close box", [](TFBootSer& dialog) { dialog.close(); }},
        {"Escape",
         [](TFBootSer& dialog) {
             QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(&dialog, &escape);
         }},
    };
    for (const auto& [how, closeIt] : closings) {
        update([&, closeIt = closeIt](TFBootSer& dialog) {
            press(dialog, "LbButton1");
            ASSERT_TRUE(fake.serialPort.opened);
            closeIt(dialog);
            EXPECT_FALSE(dialog.isVisible()) << how;
        });
        EXPECT_FALSE(fake.serialPort.opened) << how;
        EXPECT_EQ(fake.serialPort.calls.back(), "close") << how;
    }
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(BootSerDialog, PortAndTicksSurviveButEveryShowStartsAtTheConnectionStage) {
    update([](TFBootSer& dialog) {
        choose(dialog, "COM7");
        press(dialog, "LbButton1");
        press(dialog, "LbButton2");
        setTicks(dialog, {false, true, true, false});
    });
    update([](TFBootSer& dialog) {
        EXPECT_EQ(child<QComboBox>(dialog, "CB_Com")->currentText(), "COM7");
        EXPECT_FALSE(optionsShown(dialog));
        EXPECT_TRUE(stepsShown(dialog));
        EXPECT_TRUE(child<QPushButton>(dialog, "LbButton2")->isEnabled());
        EXPECT_FALSE(dialog.portReady());
        const UpdateOptions options = dialog.optionsFromControls();
        EXPECT_FALSE(options.firmware);
        EXPECT_TRUE(options.readFirmware && options.project);
        EXPECT_FALSE(options.readProject);
        press(dialog, "LbButton2");
    });
    EXPECT_EQ(fake.messages.shown, errors({notConnected("COM7")}));
}

TEST_F(BootSerDialog, ExecuteStartsTheUpdaterWithTheTicksAndStaysOnTheOptions) {
    struct Case {
        std::array<bool, 4> ticks;
        QStringList tokens;
    };
    const Case cases[] = {
        {{true, true, true, true}, {"FW", "FR", "PW", "PR"}},
        {{false, false, false, false}, {"NO", "NO", "NO", "NO"}},
        {{false, true, true, true}, {"NO", "FR", "PW", "PR"}},
    };
    update([&](TFBootSer& dialog) {
        choose(dialog, "COM3");
        press(dialog, "LbButton1");
        press(dialog, "LbButton2");
        for (const Case& example : cases) {
            setTicks(dialog, example.ticks);
            press(dialog, "LbButton4");
            EXPECT_TRUE(optionsShown(dialog));
        }
    });
    ASSERT_EQ(fake.launcher.started.size(), std::size(cases));
    const QString master = QString::fromStdString(tool.file("MASTER/sim48213.sim"));
    const QString bin = QString::fromStdString(tool.file("PROJECTS/bin/"));
    for (std::size_t index = 0; index < std::size(cases); ++index) {
        const platform::ProgramCall& call = fake.launcher.started[index];
        EXPECT_EQ(call.program.toStdString(), tool.file("Ser_48213_Update.exe"));
        EXPECT_EQ(call.arguments, (QStringList{"COM3"} + cases[index].tokens + QStringList{master, bin}));
        EXPECT_EQ(call.parameters, "COM3 " + cases[index].tokens.join(' ') + " \"" + master + "\" \"" + bin + "\"");
    }
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(BootSerDialog, BesideTheListTheDeviceOfTheChosenNameAndInItsTooltipThePresentDevices) {
    fake.serialPort.mapped[QStringLiteral("COM2")] = QStringLiteral("/dev/ttyUSB0");
    fake.serialPort.present = {QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyUSB0 (FT232R USB UART)")};
    update([](TFBootSer& dialog) {
        auto* device = child<QLabel>(dialog, "L_Device");
        EXPECT_EQ(device->text(), "/dev/ttyS0");
        choose(dialog, "COM2");
        EXPECT_EQ(device->text(), "/dev/ttyUSB0");
        EXPECT_EQ(device->toolTip(), "/dev/ttyUSB0");
        choose(dialog, "COM10");
        EXPECT_EQ(device->text(), "/dev/ttyS9");
        EXPECT_EQ(child<QComboBox>(dialog, "CB_Com")->toolTip().toStdString(),
                  "Serial devices on this machine:\n/dev/ttyS0\n/dev/ttyUSB0 (FT232R USB UART)\n"
                  "Map a name to one in Tessaro_Kelvane.ini, section [ports], e.g. COM1=/dev/ttyUSB0.");
    });
}

TEST_F(BootSerDialog, ALineBesideTheListSaysWhenThePortIsReady) {
    update([this](TFBootSer& dialog) {
        auto* ready = child<QLabel>(dialog, "L_Ready");
        EXPECT_EQ(ready->text(), "");
        press(dialog, "LbButton1");
        EXPECT_EQ(ready->text(), "Port ready, DTR on");
        choose(dialog, "COM4");
        EXPECT_EQ(ready->text(), "") << "another name is not the port that was made ready";
        press(dialog, "LbButton1");
        EXPECT_EQ(ready->text(), "Port ready, DTR on");
        fake.serialPort.acceptsDtr = false;
        press(dialog, "LbButton1");
        EXPECT_EQ(ready->text(), "");
    });
    EXPECT_EQ(fake.messages.shown, errors({dtrRefused("COM4", "/dev/ttyS3")}));
}

TEST_F(BootSerDialog, BackLeadsToTheConnectionStageToChooseAnotherPort) {
    update([this](TFBootSer& dialog) {
        choose(dialog, "COM3");
        press(dialog, "LbButton1");
        press(dialog, "LbButton2");
        ASSERT_TRUE(optionsShown(dialog));
        press(dialog, "LbButton5");
        EXPECT_FALSE(optionsShown(dialog));
        EXPECT_TRUE(stepsShown(dialog));
        for (const char* name : {"CB_Com", "LbButton1", "LbButton2", "LbButton3"})
            EXPECT_TRUE(child<QWidget>(dialog, name)->isEnabled()) << name;
        EXPECT_FALSE(dialog.portReady()) << "the port was closed at Next";
        EXPECT_EQ(child<QLabel>(dialog, "L_Ready")->text(), "");
        press(dialog, "LbButton2");
        EXPECT_FALSE(optionsShown(dialog));

        choose(dialog, "COM5");
        press(dialog, "LbButton1");
        press(dialog, "LbButton2");
        EXPECT_TRUE(optionsShown(dialog));
        press(dialog, "LbButton4");
    });
    EXPECT_EQ(fake.messages.shown, errors({notConnected("COM3")}));
    ASSERT_EQ(fake.launcher.started.size(), 1u);
    EXPECT_EQ(fake.launcher.started[0].arguments.front(), "COM5");
}

TEST_F(BootSerDialog, TheOptionsShowTheImageToLoadAndWhatIsMissing) {
    useNewProject("abc");
    for (const char* name : {"FrameJ1939.xml", "DefFrameJ1939.xml", "Group.xml", "pargen.xml"})
        std::filesystem::copy_file(std::string(TESSARO_FIXTURES) + "/image/worked-example/" + name, projectFile(name));
    fake.dialogs.then([this](QDialog& dialog) {
        press(dialog, "LbButton1");
        press(dialog, "LbButton2");
        auto* image = child<QLabel>(dialog, "L_Image");
        const QStringList lines = image->text().split('\n');
        ASSERT_EQ(lines.size(), 7) << image->text().toStdString();
        EXPECT_EQ(lines[0], "Image to load:");
        EXPECT_TRUE(QString::fromStdString(projectFile("")).endsWith(lines[1].mid(1))) << lines[1].toStdString();
        EXPECT_TRUE(lines[1].endsWith("/abc/")) << "the project's folder stays in sight";
        EXPECT_EQ(lines.mid(2), (QStringList{"bin/bank.bin", "53 bytes", "1 frame", "1 definition", "1 group"}));
        EXPECT_EQ(image->toolTip().toStdString(), projectFile("bin/bank.bin"));
        auto* missing = child<QLabel>(dialog, "L_Missing");
        EXPECT_EQ(missing->text(), "Missing: Ser_48213_Update.exe, MASTER/sim48213.sim");

        tool.write("Ser_48213_Update.exe", "");
        press(dialog, "LbButton5");
        press(dialog, "LbButton1");
        press(dialog, "LbButton2");
        EXPECT_EQ(missing->text(), "Missing: MASTER/sim48213.sim");
        tool.write("MASTER/sim48213.sim", "");
        press(dialog, "LbButton4");
        EXPECT_EQ(missing->text(), "") << "looked at again after each run";
    });
    click("CreateBin");
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(BootSerDialog, SelectOnePortSaysWhyNextDoesNotGoOn) {
    update([this](TFBootSer& dialog) {
        press(dialog, "LbButton2");
        fake.serialPort.opens = false;
        press(dialog, "LbButton1");
        press(dialog, "LbButton2");
        choose(dialog, "COM2");
        press(dialog, "LbButton2");
        fake.serialPort.opens = true;
        press(dialog, "LbButton1");
        press(dialog, "LbButton2");
        ASSERT_TRUE(optionsShown(dialog));
        press(dialog, "LbButton5");
        press(dialog, "LbButton2");
    });
    // After the failure another port was chosen; after Back the port is let go (Next closed it for the updater).
    EXPECT_EQ(fake.messages.shown,
              errors({notConnected("COM1"), notOpen("COM1 = /dev/ttyS0: No such file or directory"),
                      connectFailed("COM1"), notConnected("COM2"), notConnected("COM2")}));
}

// The options' lines are read when the dialog is shown, so a file that appeared meanwhile is seen before any Next.
TEST_F(BootSerDialog, EveryShowReadsTheImageAndTheMissingFilesAgain) {
    useNewProject("abc");
    const auto imageLines = [](QWidget& dialog) {
        return child<QLabel>(dialog, "L_Image")->text().split('\n').mid(3).join(", ").toStdString();
    };
    update([&](TFBootSer& dialog) {
        EXPECT_EQ(imageLines(dialog), "not found");
        EXPECT_EQ(child<QLabel>(dialog, "L_Missing")->text(), "Missing: Ser_48213_Update.exe, MASTER/sim48213.sim");
    });
    tool.write("Ser_48213_Update.exe", "");
    for (const char* name : {"FrameJ1939.xml", "DefFrameJ1939.xml", "Group.xml", "pargen.xml"})
        std::filesystem::copy_file(std::string(TESSARO_FIXTURES) + "/image/worked-example/" + name, projectFile(name));
    fake.dialogs.then([&](QDialog& dialog) {
        EXPECT_FALSE(optionsShown(dialog));
        EXPECT_EQ(imageLines(dialog), "53 bytes, 1 frame, 1 definition, 1 group");
        EXPECT_EQ(child<QLabel>(dialog, "L_Missing")->text(), "Missing: MASTER/sim48213.sim");
        press(dialog, "LbButton1");
        press(dialog, "LbButton2");
        EXPECT_EQ(child<QLabel>(dialog, "L_Missing")->text(), "Missing: MASTER/sim48213.sim");
    });
    click("CreateBin");
    EXPECT_TRUE(fake.messages.shown.empty());
}

// The user leaves the dialog open, puts the updater in place or plugs an adapter in elsewhere, and comes back.
TEST_F(BootSerDialog, ComingBackToTheWindowReadsWhatItShowsAgain) {
    fake.serialPort.present = {QStringLiteral("/dev/ttyS0")};
    update([this](TFBootSer& dialog) {
        QWidget elsewhere;
        elsewhere.show();
        const auto leaveAndComeBack = [&] {
            testing::activate(elsewhere);
            testing::activate(dialog);
        };
        testing::activate(dialog);
        auto* ports = child<QComboBox>(dialog, "CB_Com");
        EXPECT_FALSE(ports->toolTip().contains("/dev/ttyACM0"));
        fake.serialPort.present.push_back(QStringLiteral("/dev/ttyACM0 (USB serial)"));
        fake.serialPort.mapped[QStringLiteral("COM1")] = QStringLiteral("/dev/ttyACM0");
        leaveAndComeBack();
        EXPECT_TRUE(ports->toolTip().contains("/dev/ttyACM0 (USB serial)")) << ports->toolTip().toStdString();
        EXPECT_EQ(child<QLabel>(dialog, "L_Device")->text(), "/dev/ttyACM0") << "the settings file is read again";

        press(dialog, "LbButton1");
        press(dialog, "LbButton2");
        auto* missing = child<QLabel>(dialog, "L_Missing");
        EXPECT_EQ(missing->text(), "Missing: Ser_48213_Update.exe, MASTER/sim48213.sim");
        tool.write("Ser_48213_Update.exe", "");
        tool.write("MASTER/sim48213.sim", "");
        EXPECT_EQ(missing->text(), "Missing: Ser_48213_Update.exe, MASTER/sim48213.sim") << "not read at every paint";
        leaveAndComeBack();
        EXPECT_EQ(missing->text(), "");
        EXPECT_TRUE(optionsShown(dialog)) << "coming back changes no stage";
    });
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(BootSerDialog, AfterEachRunOneLineSaysHowItEnded) {
    update([this](TFBootSer& dialog) {
        press(dialog, "LbButton1");
        press(dialog, "LbButton2");
        auto* line = child<QLabel>(dialog, "L_Run");
        EXPECT_EQ(line->text(), "");
        fake.launcher.exit = {0, 0};
        press(dialog, "LbButton4");
        EXPECT_EQ(line->text(), "Ser_48213_Update.exe ended with exit code 0.");
        fake.launcher.exit = {2, 0};
        press(dialog, "LbButton4");
        EXPECT_EQ(line->text(), "Ser_48213_Update.exe ended with exit code 2.");
        EXPECT_TRUE(fake.messages.shown.empty()) << "no box for an ended updater, whatever its code";
        fake.launcher.starts = false;
        press(dialog, "LbButton4");
        EXPECT_EQ(line->text(), "Ser_48213_Update.exe was not started.");
        EXPECT_TRUE(optionsShown(dialog));
        press(dialog, "LbButton5");
        press(dialog, "LbButton1");
        press(dialog, "LbButton2");
        EXPECT_EQ(line->text(), "") << "a new options stage starts without the last run's line";
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"error", "The updater cannot be started: " + tool.file("Ser_48213_Update.exe") +
                                                  ": No such file or directory"}}));
}

// Lets the event loop run until done says so, at most a few seconds; whether it did.
bool processEventsUntil(const std::function<bool()>& done) {
    for (int attempt = 0; attempt < 500 && !done(); ++attempt) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

TEST_F(BootSerDialog, WhileAnUpdaterLeftRunningRunsExecuteIsOffAndSaysWhy) {
    // The updater is still running when the wait stops, and at every poll after it until told otherwise.
    fake.launcher.pollsRunning = 1 << 30;
    window->setRunAndWaitLimit(std::chrono::milliseconds(0));
    fake.launcher.exit = {5, 0};
    const auto stillRuns = [](TFBootSer& dialog) {
        EXPECT_FALSE(child<QPushButton>(dialog, "LbButton4")->isEnabled());
        auto* row = child<QLabel>(dialog, "L_Missing");
        EXPECT_EQ(row->text(), "Ser_48213_Update.exe still runs: Execute is off until it ends.");
        EXPECT_LE(row->fontMetrics().horizontalAdvance(row->text()), row->width());
    };
    update([&](TFBootSer& dialog) {
        press(dialog, "LbButton1");
        press(dialog, "LbButton2");
        EXPECT_TRUE(child<QPushButton>(dialog, "LbButton4")->isEnabled());
        press(dialog, "LbButton4");
        EXPECT_EQ(child<QLabel>(dialog, "L_Run")->text(), "Stopped waiting after 0 s; the updater runs on.");
        stillRuns(dialog);
        // A start that reaches the handler all the same (Enter, a script) is refused.
        dialog.LbButton4Click();
        EXPECT_EQ(fake.launcher.started.size(), 1u);
        stillRuns(dialog);
        press(dialog, "LbButton5");
        press(dialog, "LbButton1");
        press(dialog, "LbButton2");
        stillRuns(dialog);
    });
    // Closed and shown again: the updater still runs.
    update([&](TFBootSer& dialog) {
        press(dialog, "LbButton1");
        press(dialog, "LbButton2");
        stillRuns(dialog);
        fake.launcher.pollsRunning = 0;
        ASSERT_TRUE(processEventsUntil([&] { return child<QPushButton>(dialog, "LbButton4")->isEnabled(); }));
        EXPECT_EQ(child<QLabel>(dialog, "L_Missing")->text(), "Missing: Ser_48213_Update.exe, MASTER/sim48213.sim")
            << "the row says again what is missing";
        EXPECT_EQ(child<QLabel>(dialog, "L_Run")->text(), "Ser_48213_Update.exe ended with exit code 5.");
        press(dialog, "LbButton4");
    });
    EXPECT_EQ(fake.launcher.started.size(), 2u) << "once it has ended, Execute starts the next one";
    EXPECT_TRUE(fake.messages.shown.empty());
}

// The lines and the button that were added stand in room the dialog leaves free: within the window, over no control
// of the stage they belong to.
TEST_F(BootSerDialog, AddedControlsCoverNoControlOfTheirStage) {
    fake.serialPort.mapped[QStringLiteral("COM1")] =
        QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    useNewProject("a project with a rather long name, to fill the path line");
    update([](TFBootSer& dialog) {
        press(dialog, "LbButton1");
        const char* const connection[] = {"Label1", "Label2", "Label3",    "Label4",    "Label5",
                                          "Label6", "CB_Com", "LbButton1", "LbButton2", "LbButton3"};
        for (const char* added : {"L_Device", "L_Ready"}) {
            const QRect place = child<QWidget>(dialog, added)->geometry();
            EXPECT_TRUE(QRect(0, 0, 358, 210).contains(place)) << added;
            for (const char* name : connection)
                EXPECT_FALSE(place.intersects(child<QWidget>(dialog, name)->geometry())) << added << " over " << name;
        }
        press(dialog, "LbButton2");
        const char* const options[] = {"Label7", "CB_Firm", "CB_RFirm", "CB_Proj", "CB_RProj", "LbButton4"};
        const char* const added[] = {"L_Image", "L_Missing", "L_Run", "LbButton5"};
        for (const char* name : added) {
            const QRect place = child<QWidget>(dialog, name)->geometry();
            EXPECT_TRUE(QRect(0, 0, 353, 209).contains(place)) << name;
            for (const char* control : options)
                EXPECT_FALSE(place.intersects(child<QWidget>(dialog, control)->geometry()))
                    << name << " over " << control;
            for (const char* other : added)
                if (other != name)
                    EXPECT_FALSE(place.intersects(child<QWidget>(dialog, other)->geometry()))
                        << name << " over " << other;
        }
        for (const char* name : {"L_Device", "L_Ready", "L_Image", "L_Missing"}) {
            auto* line = child<QLabel>(dialog, name);
            for (const QString& text : line->text().split('\n'))
                EXPECT_LE(line->fontMetrics().horizontalAdvance(text), line->width())
                    << name << ": " << text.toStdString();
        }
    });
}

// The dialog over a real port.
class BootSerOnARealPort : public BootSerDialog {
protected:
    void showOver(platform::SerialPort& port, std::function<void(TFBootSer&)> script) {
        platform::Platform over{fake.messages, fake.dialogs,  fake.folders, fake.shell,
                                port,          fake.launcher, fake.files,   fake.instanceLock};
        TFBootSer dialog(over, window->project(), nullptr);
        showWith(dialog, std::move(script));
    }
};

TEST_F(BootSerOnARealPort, PseudoTerminalRefusesDtrSoConnectFails) {
    testing::PseudoTerminal terminal;
    const QString device = QString::fromStdString(terminal.device());
    platform::QtSerialPort port([device](const QString&) { return device; });
    showOver(port, [](TFBootSer& dialog) {
        press(dialog, "LbButton1");
        EXPECT_FALSE(dialog.portReady());
        press(dialog, "LbButton2");
        EXPECT_FALSE(optionsShown(dialog));
    });
    EXPECT_EQ(fake.messages.shown, errors({dtrRefused("COM1", terminal.device()), connectFailed("COM1")}));
    platform::QtSerialPort other([device](const QString&) { return device; });
    other.setDeviceName("COM1");
    EXPECT_TRUE(other.open()) << "the failed Connect let the port go";
}

// What the settings file maps a list name to may be missing, or be no device at all: the second line names it and
// says why.
TEST_F(BootSerOnARealPort, AMappedDeviceThatIsMissingAFileOrAFolderSaysWhy) {
    struct Case {
        std::string device;
        std::string reason;
    };
    const Case cases[] = {
        {tool.file("gone"), "No such file or directory"},
        {tool.write("a file", "x"), "a regular file, not a serial device"},
        {tool.path(), "a folder, not a serial device"},
    };
    for (const Case& example : cases) {
        fake.messages.shown.clear();
        const QString device = QString::fromStdString(example.device);
        platform::QtSerialPort port([device](const QString&) { return device; });
        showOver(port, [](TFBootSer& dialog) {
            choose(dialog, "COM3");
            press(dialog, "LbButton1");
            EXPECT_FALSE(dialog.portReady());
        });
        EXPECT_EQ(fake.messages.shown, errors({notOpen("COM3 = " + example.device + ": " + example.reason)}))
            << example.device;
    }
}

// The device COM2 is mapped to is a pseudo-terminal (/dev/pts/N); it opens like a serial port but has no DTR line.
TEST_F(BootSerOnARealPort, Com2MappedInTheSettingsFileAndTheFileSurvivesTheCloseByteForByte) {
    testing::PseudoTerminal terminal;
    std::filesystem::create_directory(tool.file("PROJECTS/abc"));
    const std::string settings =
        "; written by hand\r\n[window]\r\nleft=3\r\n\r\n[ports]\r\nCOM2 = " + terminal.device() +
        "\r\n;COM3=/dev/ttyACM0\r\n[lastproj]\r\nprojectname=/abc\r\n"
        "[later]\r\nkey=value with  blanks \r\nno end of line";
    tool.write("Tessaro_Kelvane.ini", settings);
    start();
    platform::QtSerialPort port(platform::settingsMapping(window->project().settingsFilePath()));
    showOver(port, [&](TFBootSer& dialog) {
        EXPECT_EQ(child<QLabel>(dialog, "L_Device")->text(), "/dev/ttyS0");
        choose(dialog, "COM2");
        EXPECT_EQ(child<QLabel>(dialog, "L_Device")->toolTip().toStdString(), terminal.device());
        press(dialog, "LbButton1");
        EXPECT_FALSE(dialog.portReady()) << "a pseudo-terminal has no DTR line";
    });
    EXPECT_EQ(fake.messages.shown, errors({dtrRefused("COM2", terminal.device())}));
    closeTool();
    EXPECT_EQ(tool.read("Tessaro_Kelvane.ini"), settings);
}

// A serial device this machine really has, and that no one else uses as a console.
std::optional<std::string> whyNoRealDevice(const std::string& name) {
    if (!std::filesystem::exists("/dev/" + name)) return "/dev/" + name + " does not exist";
    std::ifstream consoles("/proc/consoles");
    for (std::string line; std::getline(consoles, line);)
        if (line.rfind(name + ' ', 0) == 0) return "/dev/" + name + " is this machine's console";
    platform::QtSerialPort probe;
    probe.setDeviceName("COM1");
    if (!probe.open()) return "/dev/" + name + " cannot be opened";
    return std::nullopt;
}

TEST_F(BootSerOnARealPort, Com1IsTheFirstSerialDeviceAndIsFreeAfterNext) {
    if (const std::optional<std::string> reason = whyNoRealDevice("ttyS0")) GTEST_SKIP() << *reason;
    platform::QtSerialPort port;
    showOver(port, [](TFBootSer& dialog) {
        choose(dialog, "COM1");
        press(dialog, "LbButton1");
        EXPECT_TRUE(dialog.portReady());
        press(dialog, "LbButton2");
        EXPECT_TRUE(optionsShown(dialog));
    });
    EXPECT_TRUE(fake.messages.shown.empty());
    platform::QtSerialPort updater;
    updater.setDeviceName("COM1");
    EXPECT_TRUE(updater.open()) << "the updater can open the port";
}

}  // namespace
}  // namespace tessaro
