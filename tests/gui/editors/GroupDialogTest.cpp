#include <QHeaderView>
#include <QPushButton>
#include <filesystem>

#include "core/documents/AtomicFile.h"
#include "core/exchange/Workbook.h"
#include "gui/editors/UGroup.h"
#include "support/GridCells.h"
#include "support/GuiFixture.h"
#include "support/Keys.h"

namespace tessaro {
namespace {

using testing::child;
using testing::GridCells;
using testing::Message;

const char* const kThreeGroups =
    "<?xml version=\"1.0\"?>\n<Group>\n  <row Cyclic_Time=\"100\" Mnemonic=\"Engine\"/>\n"
    "  <row Cyclic_Time=\" 20\" Mnemonic=\"a &amp; &lt;b&gt; &quot;c&quot;\"/>\n"
    "  <row Cyclic_Time=\"0x1F4\" Mnemonic=\"\"/>\n</Group>\n";

class GroupDialog : public testing::GuiFixture {
protected:
    // Opens "Setting Group" and lets script act as the user.
    void groups(std::function<void(TFGroup&, const GridCells&)> script) {
        testing::withGrid(fake.dialogs, script);
        click("btn_GROUP");
    }
    static void ok(QWidget& dialog) { child<QPushButton>(dialog, "bitbtn1")->click(); }
    std::string groupXml() const { return tool.read("PROJECTS/Group.xml"); }
};

TEST_F(GroupDialog, EmptyProjectShowsTheEmptyGridAndOkWritesNoRows) {
    groups([](TFGroup& dialog, const GridCells& cells) {
        EXPECT_EQ(dialog.windowTitle(), "Groups Setting");
        EXPECT_EQ(dialog.size(), QSize(430, 334));
        QTableWidget* grid = cells.grid();
        ASSERT_EQ(grid->rowCount(), 10);
        ASSERT_EQ(grid->columnCount(), 3);
        const char* titles[] = {"Group", "Cyclic Time [mS]", "Mnemonic"};
        const int widths[] = {64, 104, 235};
        for (int column = 0; column < 3; ++column) {
            EXPECT_EQ(grid->horizontalHeaderItem(column)->text(), titles[column]);
            EXPECT_EQ(grid->columnWidth(column), widths[column]);
        }
        for (int row = 1; row <= 10; ++row) {
            EXPECT_EQ(cells(row, 0), std::to_string(row));
            EXPECT_EQ(cells(row, 1), "");
            EXPECT_FALSE(grid->item(row - 1, 0)->flags() & Qt::ItemIsEditable);
        }
        EXPECT_TRUE(grid->item(0, 1)->flags() & Qt::ItemIsEditable);
        ok(dialog);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(groupXml(), "<Group/>");
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(GroupDialog, ShowsTheDocumentAndCancelLeavesItByteIdentical) {
    tool.write("PROJECTS/Group.xml", kThreeGroups);
    groups([](TFGroup&, const GridCells& cells) {
        EXPECT_EQ(cells(1, 1), "100");
        EXPECT_EQ(cells(1, 2), "Engine");
        EXPECT_EQ(cells(2, 1), " 20");
        EXPECT_EQ(cells(2, 2), "a & <b> \"c\"");
        EXPECT_EQ(cells(3, 1), "0x1F4");
        EXPECT_EQ(cells(4, 1), "");
        cells.set(1, 1, "300");
    });
    EXPECT_EQ(groupXml(), kThreeGroups);
    groups([](TFGroup&, const GridCells& cells) { EXPECT_EQ(cells(1, 1), "100") << "cancelled edit gone"; });
}

TEST_F(GroupDialog, OkWritesTheTextsAsTypedInStandardForm) {
    tool.write("PROJECTS/Group.xml", kThreeGroups);
    groups([](TFGroup& dialog, const GridCells&) { ok(dialog); });
    EXPECT_EQ(groupXml(),
              "<Group><row Cyclic_Time=\"100\" Mnemonic=\"Engine\"/><row Cyclic_Time=\" 20\" "
              "Mnemonic=\"a &amp; &lt;b> &quot;c&quot;\"/><row Cyclic_Time=\"0x1F4\" Mnemonic=\"\"/></Group>");
}

TEST_F(GroupDialog, FirstFailingRowIsReportedAndNothingIsWritten) {
    tool.write("PROJECTS/Group.xml", kThreeGroups);
    groups([](TFGroup& dialog, const GridCells& cells) {
        cells.set(2, 1, "0");
        cells.set(3, 1, "abc");
        EXPECT_FALSE(dialog.CheckRows());
        ok(dialog);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(cells(2, 1), "0") << "the grid stays as it was";
        cells.set(2, 1, "65535");
        ok(dialog);
        EXPECT_TRUE(dialog.isVisible());
    });
    const Message row2 = {"error", "Error in row 2!! The Cyclic Time must be between 1 and 65535 mS"};
    const Message row3 = {"error", "Error in row 3!! The Cyclic Time must be between 1 and 65535 mS"};
    EXPECT_EQ(fake.messages.shown, (std::vector<Message>{row2, row2, row3}));
    EXPECT_EQ(groupXml(), kThreeGroups);
}

TEST_F(GroupDialog, GapEndsTheListAndLaterRowsAreGoneAfterReopening) {
    tool.write("PROJECTS/Group.xml", kThreeGroups);
    groups([this](TFGroup& dialog, const GridCells& cells) {
        cells.set(2, 1, "");
        cells.set(4, 2, "a mnemonic but no cyclic time");
        cells.set(5, 1, "0");  // below the gap: not checked
        ok(dialog);
        EXPECT_TRUE(dialog.isVisible()) << "the first OK says what it would drop";
        EXPECT_EQ(groupXml(), kThreeGroups);
        ok(dialog);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"plain",
                                     "Row 2 has no Cyclic Time, so OK keeps only the rows above it and "
                                     "would lose rows 2 to 5: press OK again to drop them, or Cancel to "
                                     "keep Group.xml as it is."}}));
    EXPECT_EQ(groupXml(), "<Group><row Cyclic_Time=\"100\" Mnemonic=\"Engine\"/></Group>");
    groups([](TFGroup&, const GridCells& cells) {
        EXPECT_EQ(cells(1, 1), "100");
        for (int row = 2; row <= 5; ++row) EXPECT_EQ(cells(row, 1) + cells(row, 2), "") << row;
    });
}

// Group 2's time erased with the keyboard: the first OK names the group that would go with it, the second drops it.
TEST_F(GroupDialog, ClearingAGroupsTimeDropsTheLaterGroupsOnlyAtTheSecondOk) {
    const std::string threeGroups =
        "<Group><row Cyclic_Time=\"100\" Mnemonic=\"Engine\"/><row Cyclic_Time=\"200\" Mnemonic=\"\"/>"
        "<row Cyclic_Time=\"300\" Mnemonic=\"Brakes\"/></Group>";
    tool.write("PROJECTS/Group.xml", threeGroups);
    groups([&](TFGroup& dialog, const GridCells& cells) {
        testing::activate(dialog);
        cells.grid()->setFocus(Qt::MouseFocusReason);
        cells.grid()->setCurrentCell(1, 1);
        testing::press(Qt::Key_F2);
        testing::press(Qt::Key_A, Qt::ControlModifier);
        testing::press(Qt::Key_Backspace);
        testing::press(Qt::Key_Return);
        EXPECT_EQ(cells(2, 1), "");
        testing::press(Qt::Key_Return);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(groupXml(), threeGroups);
        testing::press(Qt::Key_Return);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"plain",
                                     "Row 2 has no Cyclic Time, so OK keeps only the rows above it and "
                                     "would lose row 3: press OK again to drop it, or Cancel to keep "
                                     "Group.xml as it is."}}));
    EXPECT_EQ(groupXml(), "<Group><row Cyclic_Time=\"100\" Mnemonic=\"Engine\"/></Group>");
}

// What the second OK confirms is what the first one named: rows that come to be lost after the warning are named
// again before anything is written.
TEST_F(GroupDialog, RowsThatWouldBeLostAfterTheWarningAreNamedAgain) {
    groups([this](TFGroup& dialog, const GridCells& cells) {
        cells.set(1, 1, "100");
        cells.set(3, 1, "300");
        ok(dialog);
        cells.set(5, 2, "late");
        ok(dialog);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_FALSE(tool.exists("PROJECTS/Group.xml"));
        cells.set(2, 1, "200");
        cells.set(4, 1, "400");
        ok(dialog);
        EXPECT_TRUE(dialog.isVisible()) << "row 5 alone is lost now";
        ok(dialog);
        EXPECT_FALSE(dialog.isVisible());
    });
    const std::string close = ": press OK again to drop them, or Cancel to keep Group.xml as it is.";
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{
                  {"plain",
                   "Row 2 has no Cyclic Time, so OK keeps only the rows above it and would lose row 3: press "
                   "OK again to drop it, or Cancel to keep Group.xml as it is."},
                  {"plain",
                   "Row 2 has no Cyclic Time, so OK keeps only the rows above it and would lose rows 3 and "
                   "5" +
                       close},
                  {"plain",
                   "Row 5 has no Cyclic Time, so OK keeps only the rows above it and would lose row 5: press "
                   "OK again to drop it, or Cancel to keep Group.xml as it is."}}));
    EXPECT_EQ(groupXml(),
              "<Group><row Cyclic_Time=\"100\" Mnemonic=\"\"/><row Cyclic_Time=\"200\" Mnemonic=\"\"/><row "
              "Cyclic_Time=\"300\" Mnemonic=\"\"/><row Cyclic_Time=\"400\" Mnemonic=\"\"/></Group>");
}

TEST_F(GroupDialog, LoadFailureIsShownWithTheRowsReadBefore) {
    tool.write("PROJECTS/Group.xml",
               "<Group><row Cyclic_Time=\"1\" Mnemonic=\"a\"/><row Cyclic_Time=\"2\"/><row Cyclic_Time=\"3\" "
               "Mnemonic=\"c\"/></Group>");
    groups([](TFGroup&, const GridCells& cells) {
        EXPECT_EQ(cells(1, 1) + "|" + cells(1, 2), "1|a");
        EXPECT_EQ(cells(2, 1) + "|" + cells(2, 2), "2|");
        EXPECT_EQ(cells(3, 1), "");
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"standardError",
                                     "Could not convert variant of type (Null) into type (String)\n"
                                     "Group.xml, row 2, attribute Mnemonic"}}));

    tool.write("PROJECTS/Group.xml", "<Group><row Cyclic_Time=\"1\" Mnemonic=\"a\"/>");
    groups([](TFGroup&, const GridCells& cells) { EXPECT_EQ(cells(1, 1), ""); });
    ASSERT_EQ(fake.messages.shown.size(), 2u);
    EXPECT_EQ(fake.messages.shown[1], (Message{"standardError", "Start-end tags mismatch at offset 41\nGroup.xml"}));
}

TEST_F(GroupDialog, FirstOkAfterAPartialReadWarnsAndWritesNothing) {
    const std::string broken = "<Group><row Cyclic_Time=\"1\" Mnemonic=\"a\"/><row Cyclic_Time=\"2\"/></Group>";
    tool.write("PROJECTS/Group.xml", broken);
    groups([](TFGroup& dialog, const GridCells&) {
        ok(dialog);
        EXPECT_TRUE(dialog.isVisible());
        ok(dialog);
        EXPECT_FALSE(dialog.isVisible());
    });
    ASSERT_EQ(fake.messages.shown.size(), 2u);
    EXPECT_EQ(fake.messages.shown[1].kind, "plain");
    EXPECT_EQ(fake.messages.shown[1].text.rfind("Group.xml could not be read whole.", 0), 0u);
    EXPECT_EQ(groupXml(),
              "<Group><row Cyclic_Time=\"1\" Mnemonic=\"a\"/><row Cyclic_Time=\"2\" Mnemonic=\"\"/></Group>");

    groups([](TFGroup& dialog, const GridCells&) { ok(dialog); });
    EXPECT_EQ(fake.messages.shown.size(), 2u) << "a document read whole is written at the first OK";
}

TEST_F(GroupDialog, DocumentWithMoreRowsThanTheGridSaysSoOnce) {
    std::string text = "<Group>";
    for (int group = 1; group <= 12; ++group)
        text += "<row Cyclic_Time=\"" + std::to_string(group) + "\" Mnemonic=\"m\"/>";
    tool.write("PROJECTS/Group.xml", text + "</Group>");
    groups([](TFGroup& dialog, const GridCells& cells) {
        EXPECT_EQ(cells(10, 1), "10");
        ok(dialog);
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"plain",
                                     "Group.xml has 12 rows; only the first 10 are shown, and the rows "
                                     "beyond 10 will not be kept if you press OK."}}));
    EXPECT_EQ(groupXml().find("Cyclic_Time=\"11\""), std::string::npos);
    EXPECT_NE(groupXml().find("Cyclic_Time=\"10\""), std::string::npos);
}

TEST_F(GroupDialog, FailedSaveIsShownAndTheDialogStaysOpen) {
    std::filesystem::create_directories(tool.file("PROJECTS/Group.xml/blocked"));
    groups([](TFGroup& dialog, const GridCells& cells) {
        cells.set(1, 1, "5");
        ok(dialog);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(cells(1, 1), "5");
    });
    ASSERT_EQ(fake.messages.shown.size(), 1u);
    EXPECT_EQ(fake.messages.shown[0].kind, "standardError");
    EXPECT_NE(fake.messages.shown[0].text.find("Group.xml"), std::string::npos);
}

}  // namespace
}  // namespace tessaro

namespace tessaro {
namespace {

using testing::child;
using testing::GridCells;
using testing::Message;

class GroupDialogExchange : public GroupDialog {
protected:
    static void press(QWidget& dialog, const char* name) { child<QPushButton>(dialog, name)->click(); }
    // The texts of the data cells, row by row.
    static std::vector<std::string> shown(const GridCells& cells) {
        std::vector<std::string> texts;
        for (int row = 1; row <= 10; ++row) texts.push_back(cells(row, 1) + "|" + cells(row, 2));
        return texts;
    }
};

// Export and Import sit at the right of the bar that holds OK and Cancel, as in Frame J1939; the grid keeps the
// window's width and the bar's height.
TEST_F(GroupDialogExchange, ExportAndImportSitBesideOkAndCancel) {
    groups([](TFGroup& dialog, const GridCells& cells) {
        EXPECT_EQ(dialog.size(), QSize(430, 334));
        const QPushButton* ok = child<QPushButton>(dialog, "bitbtn1");
        const QPushButton* cancel = child<QPushButton>(dialog, "bitbtn2");
        const QPushButton* exportButton = child<QPushButton>(dialog, "bitbtn3");
        const QPushButton* importButton = child<QPushButton>(dialog, "bitbtn4");
        EXPECT_EQ(exportButton->text(), "Export");
        EXPECT_EQ(importButton->text(), "Import");
        for (const QPushButton* button : {cancel, exportButton, importButton}) {
            EXPECT_TRUE(button->isEnabled());
            EXPECT_EQ(button->geometry().top(), ok->geometry().top());
            EXPECT_EQ(button->height(), ok->height());
        }
        EXPECT_LT(ok->geometry().right(), cancel->geometry().left());
        EXPECT_LT(cancel->geometry().right(), exportButton->geometry().left() - 40) << "apart, as OK and Cancel";
        EXPECT_LT(exportButton->geometry().right(), importButton->geometry().left());
        EXPECT_LT(importButton->geometry().right(), dialog.width());
        EXPECT_EQ(cells.grid()->geometry().left(), 4);
        EXPECT_EQ(cells.grid()->geometry().right(), dialog.width() - 5);
        EXPECT_LT(cells.grid()->geometry().bottom(), ok->geometry().top());
    });
}

TEST_F(GroupDialogExchange, ExportThenImportGivesTheSameGroupsFromCsvOrAWorkbook) {
    tool.write("PROJECTS/Group.xml", kThreeGroups);
    std::filesystem::create_directories(tool.file("out"));
    const std::string csv = tool.file("out/groups.csv");
    const std::string book = tool.file("out/groups.xlsx");
    for (const std::string& file : {csv, book, csv, book}) fake.files.answers.push_back(QString::fromStdString(file));
    groups([&](TFGroup& dialog, const GridCells& cells) {
        cells.set(1, 2, "Engine, fast");  // changed on screen: Export writes it as shown
        cells.set(4, 1, "$FFFF");
        press(dialog, "bitbtn3");
        press(dialog, "bitbtn3");
        const std::vector<std::string> before = shown(cells);
        for (int import = 0; import < 2; ++import) {
            for (int row = 1; row <= 10; ++row) cells.set(row, 1, "1");
            press(dialog, "bitbtn4");
            EXPECT_EQ(shown(cells), before) << "import " << import;
            EXPECT_EQ(cells(5, 0), "5");
        }
        ok(dialog);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(tool.read("out/groups.csv"),
              "N,Cyclic_Time,Mnemonic\r\n1,100,\"Engine, fast\"\r\n2, 20,\"a & <b> \"\"c\"\"\"\r\n3,0x1F4,\r\n"
              "4,$FFFF,\r\n");
    const TextGrid sheet = readWorkbookSheet(readFile(book), "groups");
    ASSERT_EQ(sheet.rows.size(), 5u);
    EXPECT_EQ(sheet.rows[2].cells[1].text, " 20");
    EXPECT_TRUE(fake.messages.shown.empty());
    EXPECT_EQ(groupXml(),
              "<Group><row Cyclic_Time=\"100\" Mnemonic=\"Engine, fast\"/><row Cyclic_Time=\" 20\" "
              "Mnemonic=\"a &amp; &lt;b> &quot;c&quot;\"/><row Cyclic_Time=\"0x1F4\" Mnemonic=\"\"/><row "
              "Cyclic_Time=\"$FFFF\" Mnemonic=\"\"/></Group>");
    ASSERT_EQ(fake.files.calls.size(), 4u);
    EXPECT_EQ(fake.files.calls[0].kind, "save");
    EXPECT_EQ(fake.files.calls[0].title, "Export groups");
    EXPECT_EQ(fake.files.calls[0].start.toStdString(), tool.file("PROJECTS") + "/groups.csv");
    EXPECT_EQ(fake.files.calls[2].kind, "open");
    EXPECT_EQ(fake.files.calls[2].title, "Import groups");
    EXPECT_EQ(fake.files.calls[2].start.toStdString(), tool.file("PROJECTS"));
}

// Import only fills the grid: Cancel leaves Group.xml as it was. A file that breaks a rule is shown in the error box
// at its place, and the grid stays.
TEST_F(GroupDialogExchange, ImportFillsTheGridWhichOnlyOkWritesAndARefusedFileChangesNothing) {
    tool.write("PROJECTS/Group.xml", kThreeGroups);
    const std::string unquoted = tool.write("unquoted.csv", "N;Mnemonic;Cyclic_Time\n1;a;b; 0x10\n");
    const std::string fine = tool.write("fine.csv", "N;Mnemonic;Cyclic_Time\n1;\"a;b\"; 0x10\n2;;020\n");
    const std::string bad = tool.write("bad.csv", "N,Cyclic_Time,Mnemonic\n1,100,a\n2,0,b\n");
    for (const std::string& file : {unquoted, fine, bad}) fake.files.answers.push_back(QString::fromStdString(file));
    fake.files.answers.push_back(std::nullopt);  // the user gives up choosing
    groups([](TFGroup& dialog, const GridCells& cells) {
        press(dialog, "bitbtn4");
        EXPECT_EQ(cells(1, 1), "100") << "refused: the grid stays";
        press(dialog, "bitbtn4");
        EXPECT_EQ(shown(cells)[0], " 0x10|a;b");
        EXPECT_EQ(shown(cells)[1], "020|");
        EXPECT_EQ(shown(cells)[2], "|");
        press(dialog, "bitbtn4");
        press(dialog, "bitbtn4");
        EXPECT_EQ(shown(cells)[1], "020|");
        EXPECT_TRUE(dialog.isVisible());
    });
    EXPECT_EQ(groupXml(), kThreeGroups);
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{
                  {"error", unquoted + ":2:4: a cell beyond the last column of the header (N, Cyclic_Time, Mnemonic)"},
                  {"error", bad + ":3:2: Error in row 2!! The Cyclic Time must be between 1 and 65535 mS (the cell "
                                  "holds '0')"}}));
}

}  // namespace
}  // namespace tessaro
