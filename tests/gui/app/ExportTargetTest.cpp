#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QDialog>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/documents/AtomicFile.h"
#include "core/documents/DocumentNames.h"
#include "support/GuiFixture.h"
#include "support/WaitForClose.h"

namespace tessaro {
namespace {

using testing::child;
using testing::Message;

const std::string kExample = std::string(TESSARO_FIXTURES) + "/image/worked-example";

// An export of a dialog: the step that opens the dialog, its button, where the file goes and how it begins.
struct Export {
    const char* name;
    const char* step;
    const char* button;
    const char* chosen;  // the file the user chooses; none: DefFrame.csv in the project folder
    std::string_view begins;
    bool inProgress = false;  // written while a progress dialog shows
};

void PrintTo(const Export& e, std::ostream* out) {
    *out << e.name;
}

const Export kExports[] = {
    {"MapSavePdf", "btn_ProjectMap", "BtnSavePdf", "map.pdf", "%PDF-", true},
    {"MapExport", "btn_ProjectMap", "BtnExport", "map.csv", "frame,pgn,"},
    {"FrameExport", "btn_RCOB", "BitBtn3", "frames.csv", "N,Priority,DataPage,PGN,Group,Erase,Mnemonic\r\n1,6,"},
    {"DefinitionsExport", "btn_Info_RCOB", "button1", nullptr, "100,1,\r\n"},
};

mode_t modeOf(const std::string& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 07777;
}

// The worked example as the open project; each export writes into out/ (or the project folder).
class ExportTarget : public testing::GuiFixture, public ::testing::WithParamInterface<Export> {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        useNewProject("abc");
        for (std::string_view name : {kFrameTableFileName, kDefinitionsFileName, kGroupFileName, kPargenFileName})
            std::filesystem::copy_file(kExample + "/" + std::string(name), projectFile(std::string(name)));
        std::filesystem::create_directory(tool.file("out"));
    }
    std::string target() const {
        return GetParam().chosen ? tool.file(std::string("out/") + GetParam().chosen)
                                 : projectFile(std::string(kExportFileName));
    }
    // Opens the dialog, presses its export button (the chooser answers target()) and closes it.
    void exportOnce() {
        if (GetParam().chosen) fake.files.answer = QString::fromStdString(target());
        fake.dialogs.then([this](QDialog& dialog) {
            if (GetParam().inProgress) fake.dialogs.then(testing::waitForClose);
            child<QAbstractButton>(dialog, GetParam().button)->click();
            EXPECT_TRUE(dialog.isVisible());
            dialog.reject();
        });
        click(GetParam().step);
    }
    std::vector<std::string> folderNames(const std::string& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
};

// A file the user made read-only is refused as the documents are, also when root exports.
TEST_P(ExportTarget, AReadOnlyTargetIsRefusedAndLeftAsItIs) {
    const std::string path = target();
    { std::ofstream(path) << "previous"; }
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    exportOnce();
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"standardError", "Cannot create file \"" + path + "\". The file is read-only"}}));
    EXPECT_EQ(readFile(path), "previous");
    EXPECT_EQ(modeOf(path), 0444u);
}

// The target is replaced whole, never written over: a second name of the old file (a hard link) keeps the old
// bytes, and no temporary file is left beside it.
TEST_P(ExportTarget, TheTargetIsReplacedNotWrittenOver) {
    const std::string path = target();
    const std::string folder = std::filesystem::path(path).parent_path();
    { std::ofstream(path) << "previous"; }
    ASSERT_EQ(::link(path.c_str(), tool.file("kept").c_str()), 0);
    const std::vector<std::string> before = folderNames(folder);
    exportOnce();
    EXPECT_TRUE(fake.messages.shown.empty());
    const std::string written = readFile(path);
    EXPECT_TRUE(written.rfind(GetParam().begins, 0) == 0) << written.substr(0, 64);
    EXPECT_EQ(readFile(tool.file("kept")), "previous");
    EXPECT_EQ(folderNames(folder), before);
    if (GetParam().begins == "%PDF-") {
        EXPECT_EQ(written.substr(written.size() - 6), "%%EOF\n");
    }
}

INSTANTIATE_TEST_SUITE_P(EachExport, ExportTarget, ::testing::ValuesIn(kExports),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessaro
