#include <QHeaderView>
#include <QListWidget>
#include <QTableWidget>

#include "support/CellTip.h"
#include "support/GridCells.h"
#include "support/GuiFixture.h"
#include "support/Keys.h"

// A cell the grid's fixed column widths cut gives its whole text as its tip, and the user can still fit a column
// to its texts; a cell that shows all of its text keeps its own tip, if any.
namespace tessaro {
namespace {

using testing::child;
using testing::tipOfCell;

class CellTips : public testing::GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        useNewProject("tips");
    }
    void write(const char* name, const std::string& text) { tool.write("PROJECTS/tips/" + std::string(name), text); }
    // The tip of a grid cell, row 1 the first data row.
    static std::string tip(QTableWidget* grid, int row, int column) {
        return tipOfCell(grid, grid->model()->index(row - 1, column)).toStdString();
    }
};

TEST_F(CellTips, FrameJ1939GroupAndMnemonicCutByTheirColumnsGiveTheirTextAsTip) {
    write("Group.xml", "<Group><row Cyclic_Time=\"1000\" Mnemonic=\"Slow engine data\"/></Group>");
    write("FrameJ1939.xml",
          "<Frames_J1939><row Priority=\"6\" DataPage=\"0\" PGN=\"65262\" Group=\"1\" Erase=\"N\" "
          "Mnemonic=\"ET1 engine temperatures of the main engine\"/><row Priority=\"3\" DataPage=\"0\" "
          "PGN=\"65280\" Group=\"0\" Erase=\"Y\" Mnemonic=\"Short\"/></Frames_J1939>");
    fake.dialogs.then([](QDialog& dialog) {
        QTableWidget* grid = testing::GridCells(dialog).grid();
        // The widths stay those of the window's design.
        EXPECT_EQ(grid->columnWidth(4), 107);
        EXPECT_EQ(grid->columnWidth(6), 147);
        const struct {
            int row, column;
            std::string tip;
        } cases[] = {
            {1, 4, "G1 1000 - Slow engine data"},
            {1, 6, "ET1 engine temperatures of the main engine"},
            {1, 3, "ET1 Engine temperature 1"},  // the PGN's own tip, its text shown whole
            {1, 1, ""},
            {2, 4, ""},  // "On Request" fits
            {2, 6, ""},
            {3, 6, ""},  // an empty cell
        };
        for (const auto& c : cases) EXPECT_EQ(tip(grid, c.row, c.column), c.tip) << c.row << "," << c.column;
        // Double-clicking the edge of the title fits the column to its texts: the caption is whole and has no tip.
        QHeaderView* header = grid->horizontalHeader();
        QTest::mouseDClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(4) + header->sectionSize(4) - 1, header->height() / 2));
        EXPECT_GT(grid->columnWidth(4), 107);
        EXPECT_EQ(tip(grid, 1, 4), "");
    });
    click("btn_RCOB");
}

TEST_F(CellTips, SettingGroupMnemonicCutByItsColumnGivesItsTextAsTip) {
    const std::string mnemonic = "Engine and transmission data sent every second to the dashboard";
    write("Group.xml", "<Group><row Cyclic_Time=\"1000\" Mnemonic=\"" + mnemonic +
                           "\"/><row Cyclic_Time=\"100\" Mnemonic=\"Fast\"/></Group>");
    fake.dialogs.then([&mnemonic](QDialog& dialog) {
        QTableWidget* grid = testing::GridCells(dialog).grid();
        EXPECT_EQ(tip(grid, 1, 2), mnemonic);
        EXPECT_EQ(tip(grid, 1, 1), "");
        EXPECT_EQ(tip(grid, 2, 2), "");
        // What the user types is measured as it stands.
        grid->item(1, 2)->setText(QString::fromStdString(mnemonic));
        EXPECT_EQ(tip(grid, 2, 2), mnemonic);
    });
    click("btn_GROUP");
}

TEST_F(CellTips, DefineJ1939FrameLineCutByTheListGivesItselfAndThePgnNameAsTip) {
    write("FrameJ1939.xml",
          "<Frames_J1939><row Priority=\"6\" DataPage=\"0\" PGN=\"0x000000000000FEEE\" Group=\"1\" Erase=\"N\" "
          "Mnemonic=\"\"/><row Priority=\"6\" DataPage=\"0\" PGN=\"65262\" Group=\"1\" Erase=\"N\" "
          "Mnemonic=\"\"/></Frames_J1939>");
    fake.dialogs.then([](QDialog& dialog) {
        auto* frames = child<QListWidget>(dialog, "LPdoCanA");
        ASSERT_EQ(frames->count(), 2);
        EXPECT_EQ(tipOfCell(frames, frames->model()->index(0, 0)).toStdString(),
                  "6\t0\t0x000000000000FEEE\nET1 Engine temperature 1");
        EXPECT_EQ(tipOfCell(frames, frames->model()->index(1, 0)).toStdString(), "ET1 Engine temperature 1");
    });
    click("btn_Info_RCOB");
}

}  // namespace
}  // namespace tessaro
