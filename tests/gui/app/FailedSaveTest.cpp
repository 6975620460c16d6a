#include <sys/stat.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QListWidget>
#include <filesystem>
#include <fstream>
#include <map>

#include "core/documents/AtomicFile.h"
#include "core/documents/DocumentNames.h"
#include "gui/editors/UInfoPdoMB.h"
#include "support/GridCells.h"
#include "support/GuiFixture.h"
#include "support/ImageFields.h"

namespace tessaro {
namespace {

using testing::child;
using testing::GridCells;
using testing::Message;

// A save that cannot happen, whoever runs the tool: while the user works, the project folder is replaced by a
// regular file (a share that went away, another program). Permission bits would not stop root.

const std::string kExample = std::string(TESSARO_FIXTURES) + "/image/worked-example";
const std::string_view kDocuments[] = {kFrameTableFileName, kDefinitionsFileName, kGroupFileName, kPargenFileName};

// A regular file where the folder was, until restore() or the end of the scope puts the folder back.
class FolderReplacedByFile {
public:
    explicit FolderReplacedByFile(std::string folder) : m_folder(std::move(folder)) {
        std::filesystem::rename(m_folder, m_folder + ".away");
        std::ofstream(m_folder) << "not a folder";
    }
    ~FolderReplacedByFile() { restore(); }
    void restore() {
        if (m_restored) return;
        m_restored = true;
        std::filesystem::remove(m_folder);
        std::filesystem::rename(m_folder + ".away", m_folder);
    }

private:
    std::string m_folder;
    bool m_restored = false;
};

// The worked example's project abc below PROJECTS.
class FailedSave : public testing::GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        useNewProject("abc");
        for (std::string_view name : kDocuments)
            std::filesystem::copy_file(kExample + "/" + std::string(name), projectFile(std::string(name)));
    }
    std::map<std::string, std::string> projectFiles() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(window->project().projectFolder))
            if (entry.is_regular_file()) files[entry.path().string()] = readFile(entry.path().string());
        return files;
    }
    std::string failure(const char* what, std::string_view name) const {
        return std::string("Cannot create ") + what + " \"" + projectFile(std::string(name)) + "\". Not a directory";
    }
};

// A file the user made read-only (mode 0444). The tests run as root, who may write it all the same: the tool must
// not.
std::string makeReadOnly(const std::string& path) {
    EXPECT_EQ(::chmod(path.c_str(), 0444), 0);
    return readFile(path);
}

mode_t modeOf(const std::string& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 07777;
}

std::string readOnlyFailure(const std::string& path) {
    return "Cannot create file \"" + path + "\". The file is read-only";
}

// An editor, the change the user makes in it, and what shows the change.
struct Editor {
    const char* step;
    const char* button;
    std::string_view document;
    const char* ok;
    std::function<void(QDialog&)> change;
    std::function<std::string(QDialog&)> shown;
    const char* shownAfterChange;
    const char* writtenAfterChange;
};

// Names the case in the test's name.
void PrintTo(const Editor& editor, std::ostream* out) {
    *out << editor.step;
}

std::string gridCell(QDialog& dialog) {
    return GridCells(dialog)(1, 1);
}

const Editor kEditors[] = {
    {"SetCommunication", "btn_Prm_Gen", kPargenFileName, "bitbtn1",
     [](QDialog& dialog) { child<QLineEdit>(dialog, "E_ID_CAN")->setText("77"); },
     [](QDialog& dialog) { return child<QLineEdit>(dialog, "E_ID_CAN")->text().toStdString(); }, "77",
     "<ID_CAN>77</ID_CAN>"},
    {"FrameJ1939", "btn_RCOB", kFrameTableFileName, "BitBtn1",
     [](QDialog& dialog) { GridCells(dialog).set(1, 1, "3"); }, gridCell, "3", "Priority=\"3\""},
    {"DefineJ1939", "btn_Info_RCOB", kDefinitionsFileName, "bitbtn1",
     [](QDialog& dialog) {
         child<QListWidget>(dialog, "LPdoCanA")->setCurrentRow(0);
         child<QLineEdit>(dialog, "EindexA")->setText("200");
         child<QLineEdit>(dialog, "E_Dev_ID")->setText("1");
         child<QAbstractButton>(dialog, "NewA")->click();
     },
     [](QDialog& dialog) {
         std::string items;
         for (const TClIndMB& definition : static_cast<TFInfopdoMB&>(dialog).frameList().frame(0).definitions)
             items += definition.index + " ";
         const auto* list = child<QListWidget>(dialog, "LIndMbCanA");
         return items + std::to_string(list->count()) + " lines";
     },
     "100 200 2 lines", "Index=\"200\""},
    {"SettingGroup", "btn_GROUP", kGroupFileName, "bitbtn1",
     [](QDialog& dialog) { GridCells(dialog).set(1, 1, "250"); }, gridCell, "250", "Cyclic_Time=\"250\""},
};

class FailedEditorSave : public FailedSave, public ::testing::WithParamInterface<Editor> {};

TEST_P(FailedEditorSave, IsShownKeepsTheDialogAndItsChangeAndLeavesTheDocumentsWhole) {
    const Editor& editor = GetParam();
    const std::map<std::string, std::string> before = projectFiles();
    bool closedByTheRetry = false;
    fake.dialogs.then([&](QDialog& dialog) {
        editor.change(dialog);
        ASSERT_EQ(editor.shown(dialog), editor.shownAfterChange);
        FolderReplacedByFile away(window->project().projectFolder);
        child<QAbstractButton>(dialog, editor.ok)->click();
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(editor.shown(dialog), editor.shownAfterChange);
        away.restore();
        EXPECT_EQ(projectFiles(), before);
        // The folder is back: the same OK now saves what the dialog kept.
        child<QAbstractButton>(dialog, editor.ok)->click();
        closedByTheRetry = !dialog.isVisible();
    });
    click(editor.button);
    EXPECT_EQ(fake.messages.shown, (std::vector<Message>{{"standardError", failure("file", editor.document)}}));
    EXPECT_TRUE(closedByTheRetry);
    EXPECT_NE(readFile(projectFile(std::string(editor.document))).find(editor.writtenAfterChange), std::string::npos);
}

TEST_P(FailedEditorSave, OverAReadOnlyDocumentIsRefusedKeepsTheDialogAndLeavesTheFileAsItIs) {
    const Editor& editor = GetParam();
    const std::string document = projectFile(std::string(editor.document));
    const std::string bytes = makeReadOnly(document);
    bool openAfterOk = false;
    fake.dialogs.then([&](QDialog& dialog) {
        editor.change(dialog);
        child<QAbstractButton>(dialog, editor.ok)->click();
        openAfterOk = dialog.isVisible();
        EXPECT_EQ(editor.shown(dialog), editor.shownAfterChange);
    });
    click(editor.button);
    EXPECT_EQ(fake.messages.shown, (std::vector<Message>{{"standardError", readOnlyFailure(document)}}));
    EXPECT_TRUE(openAfterOk);
    EXPECT_EQ(readFile(document), bytes);
    EXPECT_EQ(modeOf(document), 0444u);
}

INSTANTIATE_TEST_SUITE_P(EachEditor, FailedEditorSave, ::testing::ValuesIn(kEditors),
                         [](const auto& info) { return std::string(info.param.step); });

TEST_F(FailedSave, UpdateDeviceShowsTheFailureOpensNoUpdateAndLeavesTheImageWhole) {
    tool.write("PROJECTS/abc/bin/bank.bin", "previous image");
    const std::map<std::string, std::string> before = projectFiles();
    {
        FolderReplacedByFile away(window->project().projectFolder);
        click("CreateBin");
    }
    EXPECT_EQ(fake.messages.shown, (std::vector<Message>{{"standardError", failure("folder", "bin")}}));
    EXPECT_TRUE(fake.dialogs.shownTitles.empty());
    EXPECT_EQ(projectFiles(), before);

    click("CreateBin");
    EXPECT_EQ(fake.messages.shown.size(), 1u);
    EXPECT_TRUE(testing::sameImage(readFile(kExample + "/bank.bin"), readFile(projectFile("bin/bank.bin"))));
    EXPECT_EQ(fake.dialogs.shownTitles, std::vector<QString>{"Update Firmware from Serial (RS232)"});
}

TEST_F(FailedSave, UpdateDeviceOverAReadOnlyImageIsRefusedOpensNoUpdateAndLeavesTheImageAsItIs) {
    const std::string image = tool.write("PROJECTS/abc/bin/bank.bin", "previous image");
    makeReadOnly(image);
    click("CreateBin");
    EXPECT_EQ(fake.messages.shown, (std::vector<Message>{{"standardError", readOnlyFailure(image)}}));
    EXPECT_TRUE(fake.dialogs.shownTitles.empty());
    EXPECT_EQ(readFile(image), "previous image");
    EXPECT_EQ(modeOf(image), 0444u);
}

TEST_F(FailedSave, AReadOnlySettingsFileIsReportedAtCloseAndLeftAsItIs) {
    const std::string settings = tool.write("Tessaro_Kelvane.ini", "[lastproj]\nprojectname=\\old\n");
    makeReadOnly(settings);
    window->show();
    closeTool();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"standardError", "Unable to write to " + settings + "\nThe file is read-only"}}));
    EXPECT_EQ(readFile(settings), "[lastproj]\nprojectname=\\old\n");
    EXPECT_EQ(modeOf(settings), 0444u);
}

}  // namespace
}  // namespace tessaro
