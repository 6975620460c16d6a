#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <chrono>
#include <filesystem>
#include <memory>

#include "gui/editors/UGroup.h"
#include "gui/editors/UInfoPdoMB.h"
#include "gui/editors/Upargen.h"
#include "gui/editors/UpdoMB.h"
#include "support/DefinitionRows.h"
#include "support/GuiFixture.h"

namespace tessaro {
namespace {

using testing::child;
using testing::Message;

// Two dialogs of one editor over one project, as two instances of the tool on one tool folder have them, or a
// document changed on disk between a dialog's show and its OK: the OK that would overwrite what another writer put
// there names it first and writes only at the next OK.

// One editor: how to open another dialog of it, the document it writes, and an edit its OK writes.
struct Editor {
    const char* name;
    const char* stepButton;
    const char* document;
    const char* ok;
    std::string initial;
    std::function<std::unique_ptr<QDialog>(platform::Platform, const ProjectState&)> another;
    std::function<void(QDialog&)> edit;
};

void setCell(QDialog& dialog, int row, int column, const char* text) {
    child<QTableWidget>(dialog, "sgA")->item(row - 1, column)->setText(QString::fromLatin1(text));
}

std::vector<Editor> editors() {
    return {
        {"Set Communication", "btn_Prm_Gen", "pargen.xml", "bitbtn1",
         "<GeneralParameter><BR_CAN>5</BR_CAN><ID_CAN>10</ID_CAN><Select_Ser>0</Select_Ser><Baud_Ser>3</Baud_Ser>"
         "<Par_Ser>0</Par_Ser><Stop_Ser>0</Stop_Ser><TimeOut_Ser>1000</TimeOut_Ser><Delay_Ser>100</Delay_Ser>"
         "</GeneralParameter>",
         [](platform::Platform platform, const ProjectState& project) {
             return std::make_unique<TFpargen>(platform, project);
         },
         [](QDialog& dialog) { child<QLineEdit>(dialog, "E_ID_CAN")->setText(QStringLiteral("77")); }},
        {"Frame J1939", "btn_RCOB", "FrameJ1939.xml", "BitBtn1", testing::threeFrames(),
         [](platform::Platform platform, const ProjectState& project) {
             return std::make_unique<TFpdoMB>(platform, project);
         },
         [](QDialog& dialog) { setCell(dialog, 2, 1, "5"); }},
        {"Define J1939", "btn_Info_RCOB", "DefFrameJ1939.xml", "bitbtn1",
         "<DefFrame>" + testing::writtenRow(1, "5", "100", 1, 3, {18, 3}) + testing::writtenRow(2, "6", "101", 0, 4) +
             "</DefFrame>",
         [](platform::Platform platform, const ProjectState& project) {
             return std::make_unique<TFInfopdoMB>(platform, project);
         },
         [](QDialog& dialog) {
             child<QListWidget>(dialog, "LPdoCanA")->setCurrentRow(0);
             child<QListWidget>(dialog, "LIndMbCanA")->setCurrentRow(0);
             child<QPushButton>(dialog, "DELETEa")->click();
         }},
        {"Setting Group", "btn_GROUP", "Group.xml", "bitbtn1",
         "<Group><row Cyclic_Time=\"100\" Mnemonic=\"Engine\"/><row Cyclic_Time=\"20\" Mnemonic=\"\"/></Group>",
         [](platform::Platform platform, const ProjectState& project) {
             return std::make_unique<TFGroup>(platform, project);
         },
         [](QDialog& dialog) { setCell(dialog, 1, 1, "300"); }},
    };
}

std::string changedMessage(const std::string& document) {
    return document +
           " was changed on disk since this dialog read it (by another instance of the tool, an import or an "
           "editor). OK replaces it with what is shown, and that change is lost: press OK again to do so, or Cancel "
           "to keep " +
           document + " as it is now and open the dialog again to see it.";
}

std::string createdMessage(const std::string& document) {
    return document +
           " was created since this dialog found none (by another instance of the tool, an import or an editor). "
           "OK replaces it with what is shown, and what it holds is lost: press OK again to do so, or Cancel to "
           "keep " +
           document + " as it is now and open the dialog again to see it.";
}

std::string deletedMessage(const std::string& document) {
    return document +
           " was deleted since this dialog read it. OK writes it again with what is shown: press OK again to do so, "
           "or Cancel to leave it deleted.";
}

class ChangedOnDisk : public testing::GuiFixture {
protected:
    std::string document(const Editor& editor) const { return tool.read(std::string("PROJECTS/") + editor.document); }
    bool exists(const Editor& editor) const { return tool.exists(std::string("PROJECTS/") + editor.document); }
    void writeProject(const Editor& editor) {
        tool.write("PROJECTS/FrameJ1939.xml", testing::threeFrames());
        tool.write(std::string("PROJECTS/") + editor.document, editor.initial);
    }
    // Opens the editor from the main window and lets script act as the user.
    void open(const Editor& editor, std::function<void(QDialog&)> script) {
        fake.dialogs.then(std::move(script));
        click(editor.stepButton);
    }
    // Shows a second dialog of the editor over the same project, which makes its edit and presses OK.
    void editInAnother(const Editor& editor) {
        const std::unique_ptr<QDialog> other = editor.another(fake.platform(), window->project());
        fake.dialogs.then([&editor](QDialog& dialog) {
            editor.edit(dialog);
            child<QPushButton>(dialog, editor.ok)->click();
            EXPECT_FALSE(dialog.isVisible()) << editor.name << ": the other dialog's OK wrote";
        });
        fake.dialogs.runModal(*other);
    }
    static void ok(const Editor& editor, QDialog& dialog) { child<QPushButton>(dialog, editor.ok)->click(); }
    // What the editor's OK writes of its document as it stands, without an edit.
    std::string writtenAsShown(const Editor& editor) {
        open(editor, [&editor](QDialog& dialog) { ok(editor, dialog); });
        return document(editor);
    }
};

TEST_F(ChangedOnDisk, AnOkOverAnotherDialogsWriteNamesItAndWritesAtTheNextOk) {
    for (const Editor& editor : editors()) {
        writeProject(editor);
        const std::string mine = writtenAsShown(editor);
        std::string theirs;
        fake.messages.shown.clear();
        open(editor, [&](QDialog& dialog) {
            editInAnother(editor);
            theirs = document(editor);
            EXPECT_NE(theirs, mine) << editor.name;
            ok(editor, dialog);
            EXPECT_TRUE(dialog.isVisible()) << editor.name;
            EXPECT_EQ(document(editor), theirs) << editor.name << ": the first OK writes nothing";
            EXPECT_EQ(fake.messages.shown, (std::vector<Message>{{"plain", changedMessage(editor.document)}}))
                << editor.name;
            ok(editor, dialog);
            EXPECT_FALSE(dialog.isVisible()) << editor.name;
        });
        EXPECT_EQ(document(editor), mine) << editor.name << ": the second OK wrote what this dialog shows";
        EXPECT_EQ(fake.messages.shown.size(), 1u) << editor.name;
    }
}

TEST_F(ChangedOnDisk, ADocumentDeletedSinceTheShowIsWrittenAgainAtTheNextOk) {
    for (const Editor& editor : editors()) {
        writeProject(editor);
        const std::string mine = writtenAsShown(editor);
        fake.messages.shown.clear();
        open(editor, [&](QDialog& dialog) {
            std::filesystem::remove(tool.file(std::string("PROJECTS/") + editor.document));
            ok(editor, dialog);
            EXPECT_TRUE(dialog.isVisible()) << editor.name;
            EXPECT_FALSE(exists(editor)) << editor.name;
            EXPECT_EQ(fake.messages.shown, (std::vector<Message>{{"plain", deletedMessage(editor.document)}}))
                << editor.name;
            ok(editor, dialog);
            EXPECT_FALSE(dialog.isVisible()) << editor.name;
        });
        EXPECT_EQ(document(editor), mine) << editor.name;
    }
}

// Whether a document changed is told by its bytes, not by its time of modification or its size.
TEST_F(ChangedOnDisk, TheBytesDecideNotTheTimeOrTheSize) {
    const Editor groups = editors().back();
    writeProject(groups);
    const std::string mine = writtenAsShown(groups);
    const std::string path = tool.file("PROJECTS/Group.xml");

    // Same size, and the time of modification put back: changed all the same.
    open(groups, [&](QDialog& dialog) {
        const auto time = std::filesystem::last_write_time(path);
        std::string other = mine;
        other[other.find("100")] = '9';
        tool.write("PROJECTS/Group.xml", other);
        std::filesystem::last_write_time(path, time);
        ok(groups, dialog);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(fake.messages.shown, (std::vector<Message>{{"plain", changedMessage("Group.xml")}}));
        dialog.reject();
    });
    EXPECT_EQ(document(groups).size(), mine.size());
    EXPECT_NE(document(groups), mine) << "Cancel kept the other writer's document";

    // Written again with the same bytes, an hour later by the clock: nothing to name.
    tool.write("PROJECTS/Group.xml", mine);
    fake.messages.shown.clear();
    open(groups, [&](QDialog& dialog) {
        tool.write("PROJECTS/Group.xml", mine);
        std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::hours(1));
        ok(groups, dialog);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(ChangedOnDisk, ADocumentThatAppearedSinceTheShowIsNamed) {
    const Editor groups = editors().back();
    open(groups, [&](QDialog& dialog) {
        editInAnother(groups);
        const std::string theirs = document(groups);
        ok(groups, dialog);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(document(groups), theirs);
        EXPECT_EQ(fake.messages.shown, (std::vector<Message>{{"plain", createdMessage("Group.xml")}}));
        ok(groups, dialog);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(document(groups), "<Group/>");
}

// Once named, the next OK writes; a change made after the warning is named again.
TEST_F(ChangedOnDisk, AChangeAfterTheWarningIsNamedAgain) {
    const Editor groups = editors().back();
    writeProject(groups);
    const std::string mine = writtenAsShown(groups);
    open(groups, [&](QDialog& dialog) {
        editInAnother(groups);
        ok(groups, dialog);
        tool.write("PROJECTS/Group.xml", "<Group><row Cyclic_Time=\"7\" Mnemonic=\"third\"/></Group>");
        ok(groups, dialog);
        EXPECT_TRUE(dialog.isVisible());
        ok(groups, dialog);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(fake.messages.shown, (std::vector<Message>(2, {"plain", changedMessage("Group.xml")})));
    EXPECT_EQ(document(groups), mine);
}

// Define J1939 lists the frames of FrameJ1939.xml: when that changed meanwhile, the definitions it writes were made
// against frames that are no longer those on disk.
TEST_F(ChangedOnDisk, DefineJ1939NamesAFrameTableChangedSinceItsShow) {
    const Editor definitions = editors()[2];
    const Editor frames = editors()[1];
    writeProject(definitions);
    const std::string mine = writtenAsShown(definitions);
    open(definitions, [&](QDialog& dialog) {
        editInAnother(frames);
        ok(definitions, dialog);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(document(definitions), mine);
        ok(definitions, dialog);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{
                  {"plain",
                   "FrameJ1939.xml was changed on disk since this dialog read it (by another instance of the tool, an "
                   "import or an editor), so the frames listed are as it was before. OK writes DefFrameJ1939.xml for "
                   "the frames listed: press OK again to do so, or Cancel to keep DefFrameJ1939.xml as it is now and "
                   "open the dialog again to see them as they are now."}}));
    EXPECT_EQ(document(definitions), mine);
}

// A Cancel at the warning leaves the other writer's document; the next show reads it, and its OK writes at once.
TEST_F(ChangedOnDisk, CancelKeepsTheOtherWritersDocumentAndTheNextShowReadsIt) {
    for (const Editor& editor : editors()) {
        writeProject(editor);
        writtenAsShown(editor);
        std::string theirs;
        fake.messages.shown.clear();
        open(editor, [&](QDialog& dialog) {
            editInAnother(editor);
            theirs = document(editor);
            ok(editor, dialog);
            dialog.reject();
        });
        EXPECT_EQ(document(editor), theirs) << editor.name;
        open(editor, [&](QDialog& dialog) { ok(editor, dialog); });
        EXPECT_EQ(document(editor), theirs) << editor.name << ": shown anew and written back as read";
        EXPECT_EQ(fake.messages.shown.size(), 1u) << editor.name;
    }
}

}  // namespace
}  // namespace tessaro
