#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include "gui/app/Unewp.h"
#include "support/GuiFixture.h"
#include "support/Keys.h"

namespace tessaro {
namespace {

using testing::child;
using testing::Message;

const std::string kPrefix = "Orvane Tessaro RA48213 J1939 TO MODBUS RTU Master :";

// "Name project not valid" as the user sees it, with the rule the name broke below it.
Message notValid(const std::string& rule) {
    return {"plain", "Name project not valid\n" + rule};
}
const std::string kEmpty = "The name is empty.";
const std::string kLeadingBlank = "A name may not begin with a blank: the settings file would lose it.";
const std::string kTrailingBlank = "A name may not end with a blank: the settings file would lose it.";
const std::string kSeparator = "A name may not hold / or \\: a project is one folder below PROJECTS.";
const std::string kDots = "\".\" and \"..\" name no new folder.";

class NewProjectDialog : public testing::GuiFixture {
protected:
    // Presses "New project"; the user types each name in turn and presses OK, then the dialog is cancelled if
    // it is still open.
    void newProject(std::vector<std::string> names) {
        fake.dialogs.then([names](QDialog& dialog) {
            for (const std::string& name : names) {
                if (!dialog.isVisible()) break;
                child<QLineEdit>(dialog, "E_Name")->setText(QString::fromStdString(name));
                child<QPushButton>(dialog, "BitBtn1")->click();
            }
        });
        click("New");
    }
    std::vector<std::string> projects() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(tool.file("PROJECTS")))
            names.push_back(entry.path().lexically_relative(tool.file("PROJECTS")).string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(NewProjectDialog, TheWindow) {
    fake.dialogs.then([](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "New project");
        EXPECT_EQ(dialog.size(), QSize(319, 91));
        EXPECT_EQ(child<QLabel>(dialog, "Label1")->text(), "Project name");
        EXPECT_EQ(child<QLabel>(dialog, "Label1")->pos(), QPoint(16, 2));
        EXPECT_EQ(child<QLineEdit>(dialog, "E_Name")->geometry(), QRect(16, 16, 297, 21));
        EXPECT_EQ(child<QPushButton>(dialog, "BitBtn1")->geometry(), QRect(92, 59, 69, 23));
        EXPECT_EQ(child<QPushButton>(dialog, "BitBtn2")->geometry(), QRect(164, 59, 69, 23));
        EXPECT_EQ(child<QPushButton>(dialog, "BitBtn2")->text(), "Cancel");
        EXPECT_EQ(dialog.focusWidget(), child<QLineEdit>(dialog, "E_Name"));
    });
    click("New");
}

TEST_F(NewProjectDialog, DemoCreatesTheFolderWithAnEmptyBinAndBecomesTheProject) {
    newProject({"demo"});
    EXPECT_EQ(projects(), (std::vector<std::string>{"demo", "demo/bin"}));
    EXPECT_EQ(caption(), kPrefix + "demo");
    EXPECT_EQ(window->project().projectName, "demo");
    EXPECT_EQ(window->project().groupPath, tool.file("PROJECTS/demo/Group.xml"));
    EXPECT_TRUE(fake.messages.shown.empty());
    EXPECT_TRUE(window->saveproj()->FormCloseQuery());
    closeTool();
    EXPECT_EQ(tool.read("Tessaro_Kelvane.ini"), "[lastproj]\nprojectname=demo\n");
}

TEST_F(NewProjectDialog, ExistingNameIsRefusedAndAfterCancelTheCaptionShowsTheOpenProject) {
    newProject({"demo"});
    newProject({"demo"});
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"plain", "Name project not valid because directory already exists"}}));
    EXPECT_EQ(caption(), kPrefix + "demo") << "the refused OK was followed by Cancel";
    EXPECT_EQ(window->project().projectName, "demo") << "the previous project stays current";
    EXPECT_EQ(window->project().projectFolder, tool.file("PROJECTS/demo"));
    EXPECT_EQ(projects(), (std::vector<std::string>{"demo", "demo/bin"}));
}

TEST_F(NewProjectDialog, EmptyNameIsRefusedOnceAndTheDialogStaysOpenUntilAGoodName) {
    newProject({"", "second"});
    EXPECT_EQ(fake.messages.shown, (std::vector<Message>{notValid(kEmpty)}));
    EXPECT_EQ(caption(), kPrefix + "second");
    EXPECT_EQ(projects(), (std::vector<std::string>{"second", "second/bin"}));
}

TEST_F(NewProjectDialog, NamesThatWouldLeaveProjectsAreRefusedAndCreateNothing) {
    std::filesystem::create_directory(tool.file("PROJECTS/abc"));
    // The blanks are those the settings file trims, so such a name would not come back at the next start.
    const std::vector<std::pair<std::string, std::string>> names = {
        {"/", kSeparator},
        {"a/b", kSeparator},
        {"abc/inner", kSeparator},
        {"../outside", kSeparator},
        {"..", kDots},
        {".", kDots},
        {"a\\b", kSeparator},
        {"\\", kSeparator},
        {"   ", kLeadingBlank},
        {" lead", kLeadingBlank},
        {"trail ", kTrailingBlank},
    };
    std::vector<std::string> typed;
    std::vector<Message> expected;
    for (const auto& [name, rule] : names) {
        typed.push_back(name);
        expected.push_back(notValid(rule));
    }
    newProject(typed);
    EXPECT_EQ(fake.messages.shown, expected);
    EXPECT_EQ(projects(), std::vector<std::string>{"abc"});
    EXPECT_FALSE(tool.exists("outside"));
    EXPECT_EQ(caption(), std::string(kDesignCaption)) << "no project was open, and none is";
    EXPECT_EQ(window->project().projectFolder, tool.file("PROJECTS"));
}

TEST_F(NewProjectDialog, FolderThatCannotBeCreatedGivesTheSystemsReasonAndKeepsTheDialogOpen) {
    tool.write("PROJECTS/afile", "x");
    fake.dialogs.then([](QDialog& dialog) {
        child<QLineEdit>(dialog, "E_Name")->setText("afile");
        child<QPushButton>(dialog, "BitBtn1")->click();
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_FALSE(static_cast<TFsaveproj&>(dialog).FormCloseQuery());
        EXPECT_EQ(child<QLineEdit>(dialog, "E_Name")->text(), "afile") << "kept so the user can correct it";
    });
    click("New");
    EXPECT_EQ(fake.messages.shown, (std::vector<Message>{{"plain", "Cannot create the project folder: File exists\n" +
                                                                       tool.file("PROJECTS/afile")}}));
    EXPECT_EQ(caption(), std::string(kDesignCaption));
    EXPECT_TRUE(window->saveproj()->FormCloseQuery()) << "Cancel grants the close";
}

// The name typed and Enter pressed in the field: OK with its checks; Escape and a focused Cancel are Cancel.
TEST_F(NewProjectDialog, EnterInTheNameIsOkWithItsChecks) {
    fake.dialogs.then([](QDialog& dialog) {
        testing::activate(dialog);
        auto* name = child<QLineEdit>(dialog, "E_Name");
        EXPECT_TRUE(name->hasFocus());
        testing::typeKeys("trail ");
        testing::press(Qt::Key_Return);
        EXPECT_TRUE(dialog.isVisible());
        testing::typeInto(name, "two words");
        testing::press(Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_FALSE(dialog.isVisible());
    });
    click("New");
    EXPECT_EQ(fake.messages.shown, (std::vector<Message>{notValid(kTrailingBlank)}));
    EXPECT_EQ(caption(), kPrefix + "two words");
    EXPECT_EQ(projects(), (std::vector<std::string>{"two words", "two words/bin"}));

    for (bool escape : {true, false}) {
        fake.dialogs.then([escape](QDialog& dialog) {
            testing::activate(dialog);
            testing::typeKeys("other");
            if (!escape) child<QPushButton>(dialog, "BitBtn2")->setFocus(Qt::TabFocusReason);
            EXPECT_TRUE(child<QPushButton>(dialog, "BitBtn1")->isDefault());
            testing::press(escape ? Qt::Key_Escape : Qt::Key_Return);
            EXPECT_FALSE(dialog.isVisible());
            EXPECT_EQ(dialog.result(), QDialog::Rejected);
        });
        click("New");
        EXPECT_EQ(caption(), kPrefix + "two words") << "the open project stays, and its caption";
    }
    EXPECT_EQ(projects(), (std::vector<std::string>{"two words", "two words/bin"}));
}

TEST_F(NewProjectDialog, EmptyDestinationAndEmptyNameGiveBothMessagesInOrder) {
    TFsaveproj& dialog = *window->saveproj();
    dialog.setDestinationFolder("");
    fake.dialogs.then([](QDialog& shown) {
        child<QPushButton>(shown, "BitBtn1")->click();
        EXPECT_TRUE(shown.isVisible());
    });
    EXPECT_EQ(fake.dialogs.runModal(dialog), QDialog::Rejected);
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"plain", "directory destination not valid"}, notValid(kEmpty)}));
}

TEST_F(NewProjectDialog, EveryShowStartsWithAnEmptyNameAndANewProjectHasNoDocuments) {
    fake.dialogs.then([](QDialog& dialog) { child<QLineEdit>(dialog, "E_Name")->setText("typed then cancelled"); });
    click("New");
    EXPECT_EQ(window->saveproj()->enteredName(), "");
    fake.dialogs.then([](QDialog& dialog) {
        EXPECT_EQ(child<QLineEdit>(dialog, "E_Name")->text(), "");
        child<QLineEdit>(dialog, "E_Name")->setText("fresh");
        child<QPushButton>(dialog, "BitBtn1")->click();
    });
    click("New");
    EXPECT_EQ(window->saveproj()->enteredName(), "fresh");
    fake.dialogs.then([](QDialog& dialog) {
        EXPECT_EQ(child<QLineEdit>(dialog, "E_ID_CAN")->text(), "10") << "communication defaults";
    });
    click("btn_Prm_Gen");
    EXPECT_EQ(projects(), (std::vector<std::string>{"fresh", "fresh/bin"}));
}

}  // namespace
}  // namespace tessaro
