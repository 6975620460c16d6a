#include <QLabel>
#include <QPushButton>
#include <filesystem>

#include "gui/app/MakerLinks.h"
#include "gui/app/UAbout.h"
#include "support/GuiFixture.h"
#include "support/Keys.h"

namespace tessaro {
namespace {

const std::string kDesign = "Orvane Tessaro RA48213 J1939 TO MODBUS RTU Master";
const std::string kPrefix = "Orvane Tessaro RA48213 J1939 TO MODBUS RTU Master :";

using MainWindow = testing::GuiFixture;

TEST_F(MainWindow, FirstStartInAnEmptyToolFolder) {
    EXPECT_EQ(caption(), kDesign);
    EXPECT_TRUE(tool.exists("MASTER"));
    EXPECT_TRUE(tool.exists("PROJECTS"));
    EXPECT_EQ(window->project().projectFolder, tool.file("PROJECTS"));
    EXPECT_EQ(window->size(), QSize(566, 261));
    click("btn_Prm_Gen");
    EXPECT_EQ(fake.dialogs.shownTitles, std::vector<QString>{"SET COMMUNICATION"});
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(MainWindow, ControlsStandAtTheirPlaces) {
    struct Place {
        const char* name;
        const char* caption;
        QRect geometry;
    };
    const Place places[] = {
        {"New", "New project", {80, 36, 145, 26}},
        {"open", "Open project", {232, 36, 145, 26}},
        {"btn_Prm_Gen", "Set Communication", {80, 80, 146, 26}},
        {"btn_RCOB", "Frame J1939", {80, 124, 146, 26}},
        {"btn_Info_RCOB", "Define J1939", {232, 124, 146, 26}},
        {"btn_GROUP", "Setting Group", {80, 168, 146, 26}},
        {"CreateBin", "Update Device", {80, 212, 146, 26}},
        {"btn_ProjectMap", "Project Map", {232, 212, 146, 26}},
        {"btn_DeskTest", "Desk Test", {232, 168, 146, 26}},
        {"about", "", {493, 21, 21, 19}},
        {"LbButton1", "X", {520, 21, 21, 19}},
    };
    for (const Place& place : places) {
        auto* control = testing::child<QPushButton>(*window, place.name);
        EXPECT_EQ(control->text().toStdString(), place.caption) << place.name;
        EXPECT_EQ(control->geometry(), place.geometry) << place.name;
    }
    EXPECT_EQ(testing::child<QLabel>(*window, "Label6")->pos(), QPoint(425, 227));
    // No control, the web link included, covers another.
    std::vector<QWidget*> controls;
    for (QWidget* control : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!control->isWindow()) controls.push_back(control);
    for (std::size_t a = 0; a < controls.size(); ++a)
        for (std::size_t b = a + 1; b < controls.size(); ++b)
            EXPECT_FALSE(controls[a]->geometry().intersects(controls[b]->geometry()))
                << controls[a]->objectName().toStdString() << " " << controls[a]->metaObject()->className() << " and "
                << controls[b]->objectName().toStdString() << " " << controls[b]->metaObject()->className();
}

TEST_F(MainWindow, OpenProjectThenNextStartReopensIt) {
    std::filesystem::create_directory(tool.file("PROJECTS/abc"));
    fake.folders.answer = QString::fromStdString(tool.file("PROJECTS/abc"));
    click("open");
    ASSERT_EQ(fake.folders.calls.size(), 1u);
    EXPECT_EQ(fake.folders.calls[0].title, "Select directory of project");
    EXPECT_EQ(fake.folders.calls[0].root.toStdString(), tool.file("PROJECTS"));
    EXPECT_EQ(fake.folders.calls[0].start.toStdString(), tool.file("PROJECTS"));
    EXPECT_EQ(caption(), kPrefix + "/abc");
    closeTool();
    EXPECT_EQ(tool.read("Tessaro_Kelvane.ini"), "[lastproj]\nprojectname=/abc\n");

    start();
    EXPECT_EQ(caption(), kPrefix + "/abc");
    EXPECT_EQ(window->project().pargenPath, tool.file("PROJECTS/abc/pargen.xml"));
    click("open");
    EXPECT_EQ(fake.folders.calls.back().start.toStdString(), tool.file("PROJECTS/abc"));
}

TEST_F(MainWindow, StoredNamesWithAndWithoutSeparatorReopenAndOtherSectionsSurvive) {
    std::filesystem::create_directory(tool.file("PROJECTS/abc"));
    for (const std::string stored : {"/abc", "abc"}) {
        tool.write("Tessaro_Kelvane.ini", "[window]\nleft=3\n\n[lastproj]\nprojectname=" + stored + "\nmore=1\n");
        start();
        EXPECT_EQ(caption(), kPrefix + stored);
        EXPECT_EQ(window->project().projectFolder, tool.file("PROJECTS/abc"));
        closeTool();
        EXPECT_EQ(tool.read("Tessaro_Kelvane.ini"),
                  "[window]\nleft=3\n\n[lastproj]\nprojectname=" + stored + "\nmore=1\n");
    }
}

TEST_F(MainWindow, ASettingsFileSavedWithAByteOrderMarkReopensItsProjectAndKeepsTheMark) {
    std::filesystem::create_directory(tool.file("PROJECTS/abc"));
    tool.write("Tessaro_Kelvane.ini",
               "\xEF\xBB\xBF[lastproj]\r\nprojectname=\"/abc\"\r\n[ports]\r\nCOM1=/dev/ttyUSB0\r\n");
    start();
    EXPECT_EQ(caption(), kPrefix + "/abc");
    closeTool();
    EXPECT_EQ(tool.read("Tessaro_Kelvane.ini"),
              "\xEF\xBB\xBF[lastproj]\r\nprojectname=/abc\r\n[ports]\r\nCOM1=/dev/ttyUSB0\r\n");
}

TEST_F(MainWindow, ASecondInstanceOnTheToolFolderWarnsOnceAtStart) {
    using Outcome = platform::InstanceLock::Outcome;
    EXPECT_EQ(fake.instanceLock.asked, std::vector<std::string>{tool.file("Tessaro_Kelvane.ini.lock")});
    EXPECT_TRUE(fake.messages.shown.empty());
    for (const Outcome outcome : {Outcome::HeldElsewhere, Outcome::Unavailable, Outcome::Taken}) {
        fake.instanceLock.outcome = outcome;
        fake.messages.shown.clear();
        start();
        click("btn_Prm_Gen");
        click("btn_GROUP");
        closeTool();
        if (outcome != Outcome::HeldElsewhere) {
            EXPECT_TRUE(fake.messages.shown.empty());
            continue;
        }
        EXPECT_EQ(fake.messages.shown,
                  (std::vector<testing::Message>{
                      {"plain", "Another Tessaro is already running on the tool folder " + tool.path() +
                                    ". Both may change the same projects: an editor's OK then names a document that "
                                    "was changed on disk since the editor read it, and writes only at a second OK. At "
                                    "close, the last project is stored only by an instance that opened or created "
                                    "one."}}));
    }
}

// Two instances on one tool folder: the settings file keeps the project that was chosen, and every other section.
TEST_F(MainWindow, AnInstanceThatOpenedNoProjectKeepsWhatTheOtherStored) {
    for (const char* name : {"abc", "def", "ghi"}) std::filesystem::create_directory(tool.file("PROJECTS/") + name);
    tool.write("Tessaro_Kelvane.ini", "[lastproj]\nprojectname=/abc\n");
    start();
    const auto otherInstance = [this](const char* project) {
        testing::FakePlatform otherFake;
        TFTessaroFirmWare other(otherFake.platform(), QString::fromStdString(tool.path()));
        other.createWindows();
        otherFake.folders.answer = QString::fromStdString(tool.file("PROJECTS/") + project);
        other.OpenaClick();
        other.FormClose();
        tool.write("Tessaro_Kelvane.ini", tool.read("Tessaro_Kelvane.ini") + "[window]\nleft=3\n");
    };
    otherInstance("def");
    closeTool();
    EXPECT_EQ(tool.read("Tessaro_Kelvane.ini"), "[lastproj]\nprojectname=/def\n[window]\nleft=3\n");

    start();
    EXPECT_EQ(caption(), kPrefix + "/def");
    otherInstance("ghi");
    fake.folders.answer = QString::fromStdString(tool.file("PROJECTS/abc"));
    click("open");
    closeTool();
    EXPECT_EQ(tool.read("Tessaro_Kelvane.ini"), "[lastproj]\nprojectname=/abc\n[window]\nleft=3\n[window]\nleft=3\n")
        << "this one opened a project after the other: its own is stored";
}

TEST_F(MainWindow, CloseWithoutChangesWritesAnEmptyName) {
    closeTool();
    EXPECT_EQ(tool.read("Tessaro_Kelvane.ini"), "[lastproj]\nprojectname=\n");
}

TEST_F(MainWindow, OpenChoosingProjectsItselfShowsThePrefixAlone) {
    fake.folders.answer = QString::fromStdString(tool.file("PROJECTS"));
    click("open");
    EXPECT_EQ(caption(), kPrefix);
    EXPECT_EQ(window->project().projectFolder, tool.file("PROJECTS"));
}

TEST_F(MainWindow, OpenCancelledAfterTheProjectWasDeletedLeavesNoValidProject) {
    std::filesystem::create_directory(tool.file("PROJECTS/abc"));
    fake.folders.answer = QString::fromStdString(tool.file("PROJECTS/abc"));
    click("open");
    std::filesystem::remove(tool.file("PROJECTS/abc"));
    fake.folders.answer.reset();
    click("open");
    EXPECT_EQ(fake.folders.calls.back().start, "");
    EXPECT_EQ(caption(), kPrefix);
    EXPECT_EQ(window->project().pargenPath, "/pargen.xml");
    for (const char* editor :
         {"btn_Prm_Gen", "btn_RCOB", "btn_Info_RCOB", "btn_GROUP", "btn_ProjectMap", "btn_DeskTest"})
        click(editor);
    const std::string gone = "Project not valid\nThe project's folder is gone: " + tool.file("PROJECTS/abc");
    EXPECT_EQ(fake.messages.shown, std::vector<testing::Message>(6, {"plain", gone}));
    EXPECT_TRUE(fake.dialogs.shownTitles.empty());

    std::filesystem::create_directory(tool.file("PROJECTS/other"));
    fake.folders.answer = QString::fromStdString(tool.file("PROJECTS/other"));
    click("open");
    EXPECT_EQ(window->project().goneFolder, "") << "a project is open again";
    click("btn_GROUP");
    EXPECT_EQ(fake.messages.shown.size(), 6u);
    EXPECT_EQ(fake.dialogs.shownTitles, std::vector<QString>{"Groups Setting"});
}

TEST_F(MainWindow, UnwritableSettingsFileIsReportedAndTheToolStillCloses) {
    std::filesystem::create_directories(tool.file("Tessaro_Kelvane.ini/blocked"));
    window->show();
    closeTool();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(fake.messages.shown,
              (std::vector<testing::Message>{
                  {"standardError", "Unable to write to " + tool.file("Tessaro_Kelvane.ini") + "\nIs a directory"}}));
}

// A focused button of the main window is pressed by Enter, by the keypad's Enter and by Space alike.
TEST_F(MainWindow, AFocusedButtonIsPressedByEnterAsBySpace) {
    window->show();
    testing::activate(*window);
    const struct {
        const char* button;
        QString title;
    } steps[] = {{"btn_Prm_Gen", "SET COMMUNICATION"},
                 {"btn_RCOB", "J1939 Frame"},
                 {"btn_Info_RCOB", "Define Frames J1939"},
                 {"btn_GROUP", "Groups Setting"},
                 {"about", "About..."}};
    for (const auto& step : steps) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
            fake.dialogs.shownTitles.clear();
            testing::child<QPushButton>(*window, step.button)->setFocus(Qt::TabFocusReason);
            testing::press(key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
            EXPECT_EQ(fake.dialogs.shownTitles, std::vector<QString>{step.title}) << step.button << " " << key;
        }
    }
    window->hide();
}

TEST_F(MainWindow, WebAndMailLinks) {
    window->Label6Click();
    fake.dialogs.then([](QDialog& dialog) {
        auto& about = static_cast<TFAbout&>(dialog);
        about.LogoClick();
        about.MailLinkClick();
        testing::child<QPushButton>(about, "BitBtn1")->click();
    });
    click("about");
    EXPECT_EQ(fake.dialogs.shownTitles, std::vector<QString>{"About..."});
    EXPECT_EQ(fake.shell.opened,
              (std::vector<std::string>{kMakerWebPage, kMakerWebPage, "mailto:info@orvane.example"}));
    EXPECT_EQ(window->about()->size(), QSize(389, 152));
}

}  // namespace
}  // namespace tessaro
