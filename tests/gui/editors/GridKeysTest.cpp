#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include "support/DefinitionRows.h"
#include "support/GridCells.h"
#include "support/GuiFixture.h"
#include "support/Keys.h"

// The grids driven as a spreadsheet is, with real keys and clicks: Delete, Ctrl+C, Ctrl+X, Ctrl+V, the arrow keys
// in a cell's list, and what reaches the documents.
namespace tessaro {
namespace {

using testing::activate;
using testing::child;
using testing::GridCells;
using testing::Message;
using testing::press;
using testing::typeKeys;

constexpr int kGroup = 4;
constexpr int kErase = 5;

// Captions: "On Request", "G1 100 - Engine", "G2 500 - Brakes", then "G3 Not In Use" to "G10 Not In Use".
const char* const kTwoGroups =
    "<Group><row Cyclic_Time=\"100\" Mnemonic=\"Engine\"/><row Cyclic_Time=\"500\" Mnemonic=\"Brakes\"/></Group>";

std::string frameRow(const std::string& priority, const std::string& dataPage, const std::string& pgn,
                     const std::string& group, const std::string& erase, const std::string& mnemonic) {
    return "<row Priority=\"" + priority + "\" DataPage=\"" + dataPage + "\" PGN=\"" + pgn + "\" Group=\"" + group +
           "\" Erase=\"" + erase + "\" Mnemonic=\"" + mnemonic + "\"/>";
}

std::string frames(const std::string& rows) {
    return rows.empty() ? "<Frames_J1939/>" : "<Frames_J1939>" + rows + "</Frames_J1939>";
}

std::string groupRow(const std::string& cyclicTime, const std::string& mnemonic) {
    return "<row Cyclic_Time=\"" + cyclicTime + "\" Mnemonic=\"" + mnemonic + "\"/>";
}

const std::string kThreeFrames =
    frames(frameRow("3", "0", "0xFEF1", "1", "Y", "Engine speed") + frameRow("4", "1", "100", "0", "", "Wheel") +
           frameRow("6", "0", "65262", "2", "N", "Temperatures"));

void setClipboard(const std::string& text) {
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

std::string clipboard() {
    return QGuiApplication::clipboard()->text().toStdString();
}

// The texts of a grid row's data cells, joined with "|".
std::string rowText(const GridCells& cells, int row) {
    std::string text;
    for (int column = 1; column < cells.grid()->columnCount(); ++column)
        text += (column > 1 ? "|" : "") + cells(row, column);
    return text;
}

// A user's left click in the middle of a cell, with the keys held (Shift extends the selection).
void clickCell(const GridCells& cells, int row, int column, Qt::KeyboardModifiers keys = Qt::NoModifier) {
    QTableWidget* grid = cells.grid();
    grid->scrollToItem(grid->item(row - 1, column));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, keys,
                      grid->visualItemRect(grid->item(row - 1, column)).center());
}

// The grid's current cell as the user sees it: row 1 is the first data row.
std::pair<int, int> at(const GridCells& cells) {
    return {cells.grid()->currentRow() + 1, cells.grid()->currentColumn()};
}

// Whether a cell's editor is open: it has the keyboard then.
bool editing(const GridCells& cells) {
    QWidget* focus = QApplication::focusWidget();
    return focus && cells.grid()->viewport()->isAncestorOf(focus);
}

struct Grid {
    const char* button;
    const char* ok;
    const char* document;
};
const Grid kFrameJ1939{"btn_RCOB", "BitBtn1", "PROJECTS/FrameJ1939.xml"};
const Grid kSettingGroup{"btn_GROUP", "bitbtn1", "PROJECTS/Group.xml"};

class GridKeys : public testing::GuiFixture {
protected:
    void twoGroups() const { tool.write("PROJECTS/Group.xml", kTwoGroups); }
    // Opens the grid's editor and lets script act as the user, the dialog active and the grid focused.
    void open(const Grid& grid, std::function<void(QDialog&, const GridCells&)> script) {
        fake.dialogs.then([script](QDialog& dialog) {
            activate(dialog);
            const GridCells cells(dialog);
            cells.grid()->setFocus(Qt::MouseFocusReason);
            script(dialog, cells);
        });
        click(grid.button);
    }
    static void ok(QDialog& dialog, const Grid& grid) { child<QPushButton>(dialog, grid.ok)->click(); }
};

// Delete and Backspace empty the selected block; the row numbers are no cells to empty.
TEST_F(GridKeys, FrameJ1939DeleteAndBackspaceEmptyTheSelectedCells) {
    twoGroups();
    tool.write("PROJECTS/FrameJ1939.xml", kThreeFrames);
    open(kFrameJ1939, [](QDialog& dialog, const GridCells& cells) {
        clickCell(cells, 1, kGroup);
        clickCell(cells, 2, 6, Qt::ShiftModifier);
        press(Qt::Key_Delete);
        EXPECT_EQ(rowText(cells, 1), "3|0|0xFEF1|||");
        EXPECT_EQ(rowText(cells, 2), "4|1|100|||");
        EXPECT_EQ(rowText(cells, 3), "6|0|65262|G2 500 - Brakes|N|Temperatures");
        clickCell(cells, 3, 6);
        press(Qt::Key_Backspace);
        EXPECT_FALSE(editing(cells)) << "Backspace empties the cell without opening it";
        clickCell(cells, 3, 0);
        press(Qt::Key_Delete);
        press(Qt::Key_Backspace);
        EXPECT_EQ(cells(3, 0), "3");
        EXPECT_EQ(rowText(cells, 3), "6|0|65262|G2 500 - Brakes|N|");
        ok(dialog, kFrameJ1939);
    });
    EXPECT_EQ(tool.read(kFrameJ1939.document),
              frames(frameRow("3", "0", "0xFEF1", "0", "", "") + frameRow("4", "1", "100", "0", "", "") +
                     frameRow("6", "0", "65262", "2", "N", "")));
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(GridKeys, SettingGroupDeleteEmptiesTheBlockSelectedWithShiftAndTheArrows) {
    tool.write("PROJECTS/Group.xml", "<Group>" + groupRow("100", "Engine") + groupRow("500", "Brakes") +
                                         groupRow("900", "Doors") + "</Group>");
    open(kSettingGroup, [](QDialog& dialog, const GridCells& cells) {
        clickCell(cells, 1, 2);
        press(Qt::Key_Down, Qt::ShiftModifier);
        press(Qt::Key_Down, Qt::ShiftModifier);
        press(Qt::Key_Delete);
        EXPECT_EQ(rowText(cells, 1) + " " + rowText(cells, 2) + " " + rowText(cells, 3), "100| 500| 900|");
        EXPECT_EQ(cells(3, 0), "3");
        ok(dialog, kSettingGroup);
    });
    EXPECT_EQ(tool.read(kSettingGroup.document),
              "<Group>" + groupRow("100", "") + groupRow("500", "") + groupRow("900", "") + "</Group>");
}

// Ctrl+C puts the block on the clipboard as a spreadsheet does; pasted elsewhere it gives the same cells.
TEST_F(GridKeys, FrameJ1939CtrlCCopiesTheSelectionAsTabSeparatedRowsThatPasteBackTheSame) {
    twoGroups();
    tool.write("PROJECTS/FrameJ1939.xml", kThreeFrames);
    open(kFrameJ1939, [](QDialog& dialog, const GridCells& cells) {
        clickCell(cells, 1, 1);
        clickCell(cells, 2, 6, Qt::ShiftModifier);
        press(Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(clipboard(),
                  "3\t0\t0xFEF1\tG1 100 - Engine\tY\tEngine speed\n"
                  "4\t1\t100\tOn Request\t\tWheel\n");
        clickCell(cells, 3, kGroup);
        clickCell(cells, 3, kErase, Qt::ShiftModifier);
        press(Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(clipboard(), "G2 500 - Brakes\tN\n");
        clickCell(cells, 1, 1);
        clickCell(cells, 2, 6, Qt::ShiftModifier);
        press(Qt::Key_C, Qt::ControlModifier);
        clickCell(cells, 4, 1);
        press(Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(rowText(cells, 4), rowText(cells, 1));
        EXPECT_EQ(rowText(cells, 5), rowText(cells, 2));
        ok(dialog, kFrameJ1939);
    });
    EXPECT_EQ(
        tool.read(kFrameJ1939.document),
        frames(frameRow("3", "0", "0xFEF1", "1", "Y", "Engine speed") + frameRow("4", "1", "100", "0", "", "Wheel") +
               frameRow("6", "0", "65262", "2", "N", "Temperatures") +
               frameRow("3", "0", "0xFEF1", "1", "Y", "Engine speed") + frameRow("4", "1", "100", "0", "", "Wheel")));
}

// Ctrl+X copies and empties; Ctrl+V puts the rows back further down.
TEST_F(GridKeys, SettingGroupCtrlXThenCtrlVMovesRows) {
    tool.write("PROJECTS/Group.xml", "<Group>" + groupRow("100", "Engine") +
                                         groupRow("500", "Brakes &quot;rear&quot;") + groupRow("900", "Doors") +
                                         "</Group>");
    open(kSettingGroup, [](QDialog& dialog, const GridCells& cells) {
        clickCell(cells, 2, 1);
        press(Qt::Key_Down, Qt::ShiftModifier);
        press(Qt::Key_Right, Qt::ShiftModifier);
        press(Qt::Key_X, Qt::ControlModifier);
        EXPECT_EQ(clipboard(), "500\tBrakes \"rear\"\n900\tDoors\n");
        EXPECT_EQ(rowText(cells, 2) + rowText(cells, 3), "||");
        clickCell(cells, 2, 1);
        press(Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(rowText(cells, 2), "500|Brakes \"rear\"");
        EXPECT_EQ(rowText(cells, 3), "900|Doors");
        ok(dialog, kSettingGroup);
    });
    EXPECT_EQ(tool.read(kSettingGroup.document), "<Group>" + groupRow("100", "Engine") +
                                                     groupRow("500", "Brakes &quot;rear&quot;") +
                                                     groupRow("900", "Doors") + "</Group>");
}

// Three rows as LibreOffice Calc puts them on the clipboard (LF on Linux, CR LF on Windows, a line break after the
// last row, a cell with a line break in quotes): each value goes through the cell's own rule.
TEST_F(GridKeys, FrameJ1939PasteOfABlockCopiedFromCalc) {
    twoGroups();
    for (const std::string lineBreak : {"\n", "\r\n"}) {
        std::filesystem::remove(tool.file(kFrameJ1939.document));
        const std::string block = "3\t0\t0xFEF1\tg1 100 - ENGINE\ty\tEngine speed" + lineBreak +
                                  "6\t0\t65265\t2\tN\t\"Wheel-based" + lineBreak + "vehicle speed\"" + lineBreak +
                                  "7\t1\t$FEEE\tOn Request\t\tEngine temperature" + lineBreak +
                                  "6\t0\t65266\tFuel\tyes\tFuel economy" + lineBreak;
        setClipboard(block);
        open(kFrameJ1939, [](QDialog& dialog, const GridCells& cells) {
            clickCell(cells, 1, 1);
            press(Qt::Key_V, Qt::ControlModifier);
            EXPECT_EQ(rowText(cells, 1), "3|0|0xFEF1|G1 100 - Engine|Y|Engine speed");
            EXPECT_EQ(rowText(cells, 2), "6|0|65265|G2 500 - Brakes|N|Wheel-based vehicle speed");
            EXPECT_EQ(rowText(cells, 3), "7|1|$FEEE|On Request||Engine temperature");
            EXPECT_EQ(rowText(cells, 4), "6|0|65266|On Request|N|Fuel economy");
            EXPECT_EQ(rowText(cells, 5), "|||||");
            EXPECT_EQ(cells.grid()->selectedItems().size(), 24) << "the pasted block stays selected";
            EXPECT_EQ(at(cells), std::make_pair(1, 1));
            ok(dialog, kFrameJ1939);
        });
        EXPECT_EQ(tool.read(kFrameJ1939.document),
                  frames(frameRow("3", "0", "0xFEF1", "1", "Y", "Engine speed") +
                         frameRow("6", "0", "65265", "2", "N", "Wheel-based vehicle speed") +
                         frameRow("7", "1", "$FEEE", "0", "", "Engine temperature") +
                         frameRow("6", "0", "65266", "0", "N", "Fuel economy")))
            << (lineBreak == "\n" ? "LF" : "CR LF");
    }
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(GridKeys, SettingGroupPasteOfABlockCopiedFromCalc) {
    setClipboard("100\tEngine\n250\t\"Brakes\nrear\"\n\t\n1000\tDoors \"left\"\n");
    open(kSettingGroup, [](QDialog& dialog, const GridCells& cells) {
        clickCell(cells, 2, 1);
        press(Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(rowText(cells, 1), "|");
        EXPECT_EQ(rowText(cells, 2), "100|Engine");
        EXPECT_EQ(rowText(cells, 3), "250|Brakes rear");
        EXPECT_EQ(rowText(cells, 4), "|");
        EXPECT_EQ(rowText(cells, 5), "1000|Doors \"left\"");
        clickCell(cells, 1, 1);
        setClipboard("50\n");
        press(Qt::Key_V, Qt::ControlModifier);
        clickCell(cells, 4, 1);
        setClipboard("70\tLights\n");
        press(Qt::Key_V, Qt::ControlModifier);
        ok(dialog, kSettingGroup);
    });
    EXPECT_EQ(tool.read(kSettingGroup.document), "<Group>" + groupRow("50", "") + groupRow("100", "Engine") +
                                                     groupRow("250", "Brakes rear") + groupRow("70", "Lights") +
                                                     groupRow("1000", "Doors &quot;left&quot;") + "</Group>");
}

// From a click on a row number the paste starts in the row's first data column.
TEST_F(GridKeys, APasteFromTheRowNumberStartsInTheFirstDataColumn) {
    for (const Grid& grid : {kFrameJ1939, kSettingGroup}) {
        setClipboard("5\t1\n");
        open(grid, [](QDialog&, const GridCells& cells) {
            clickCell(cells, 2, 0);
            press(Qt::Key_V, Qt::ControlModifier);
            EXPECT_EQ(cells(2, 0), "2");
            EXPECT_EQ(cells(2, 1) + "|" + cells(2, 2), "5|1");
            press(Qt::Key_Escape);
        });
    }
}

// A block that would reach beyond the last row or column pastes nothing and says why.
TEST_F(GridKeys, APasteThatWouldOverflowSaysSoAndPastesNothing) {
    const struct {
        Grid grid;
        int row, column;
        const char* block;
        const char* message;
    } cases[] = {
        {kFrameJ1939, 249, 1, "1\t0\t1\n2\t0\t2\n3\t0\t3\n",
         "Nothing was pasted: the clipboard holds 3 rows of 3 cells, and from row 249, column \"Priority\", the grid "
         "has room for 2 rows of 6 cells."},
        {kFrameJ1939, 1, kErase, "Y\tEngine\textra\n",
         "Nothing was pasted: the clipboard holds 1 row of 3 cells, and from row 1, column \"Erase Data\", the grid "
         "has room for 250 rows of 2 cells."},
        {kSettingGroup, 9, 1, "100\ta\n200\tb\n300\tc\n",
         "Nothing was pasted: the clipboard holds 3 rows of 2 cells, and from row 9, column \"Cyclic Time [mS]\", the "
         "grid has room for 2 rows of 2 cells."},
        {kSettingGroup, 1, 2, "a\tb\n",
         "Nothing was pasted: the clipboard holds 1 row of 2 cells, and from row 1, column \"Mnemonic\", the grid has "
         "room for 10 rows of 1 cell."},
    };
    for (const auto& c : cases) {
        fake.messages.shown.clear();
        setClipboard(c.block);
        open(c.grid, [&c](QDialog&, const GridCells& cells) {
            // To the cell with the keys: a click on an Erase Data box would tick it.
            clickCell(cells, c.row, 1);
            for (int column = 1; column < c.column; ++column) press(Qt::Key_Right);
            press(Qt::Key_V, Qt::ControlModifier);
            for (int row = 1; row <= cells.grid()->rowCount(); ++row)
                ASSERT_EQ(rowText(cells, row).find_first_not_of('|'), std::string::npos) << c.block << row;
            press(Qt::Key_Escape);
        });
        EXPECT_EQ(fake.messages.shown, (std::vector<Message>{{"plain", c.message}})) << c.block;
    }
}

// One cell pasted into a selected block fills every cell of it, through the column's rule.
TEST_F(GridKeys, FrameJ1939OneCellPastedIntoASelectionFillsIt) {
    twoGroups();
    open(kFrameJ1939, [](QDialog&, const GridCells& cells) {
        clickCell(cells, 1, kGroup);
        press(Qt::Key_Right);
        clickCell(cells, 4, kErase, Qt::ShiftModifier);
        EXPECT_EQ(cells(1, kErase) + cells(4, kErase), "") << "Shift+click selects and leaves the box as it is";
        setClipboard("y\n");
        press(Qt::Key_V, Qt::ControlModifier);
        clickCell(cells, 2, kGroup);
        clickCell(cells, 3, kGroup, Qt::ShiftModifier);
        setClipboard("g2 500 - brakes");
        press(Qt::Key_V, Qt::ControlModifier);
        for (int row = 1; row <= 4; ++row) EXPECT_EQ(cells(row, kErase), "Y") << row;
        EXPECT_EQ(cells(5, kErase), "");
        EXPECT_EQ(cells(1, kGroup) + "|" + cells(2, kGroup) + "|" + cells(3, kGroup) + "|" + cells(4, kGroup),
                  "|G2 500 - Brakes|G2 500 - Brakes|");
        press(Qt::Key_Escape);
    });
}

// In a cell being typed in, Ctrl+V of one cell inserts its text (without the line break a spreadsheet adds); of
// several cells, pastes them from this cell and ends the edit; of cells that do not fit, pastes nothing and keeps
// the edit.
TEST_F(GridKeys, FrameJ1939CtrlVInACellBeingTypedIn) {
    twoGroups();
    open(kFrameJ1939, [](QDialog& dialog, const GridCells& cells) {
        clickCell(cells, 1, 6);
        typeKeys("Front ");
        setClipboard("wheel speed\n");
        press(Qt::Key_V, Qt::ControlModifier);
        ASSERT_TRUE(editing(cells));
        EXPECT_EQ(qobject_cast<QLineEdit*>(QApplication::focusWidget())->text(), "Front wheel speed");
        press(Qt::Key_Return);
        EXPECT_EQ(cells(1, 6), "Front wheel speed");

        clickCell(cells, 1, 1);
        typeKeys("9");
        setClipboard("3\t0\t100\n4\t1\t200\n");
        press(Qt::Key_V, Qt::ControlModifier);
        EXPECT_FALSE(editing(cells));
        EXPECT_EQ(QApplication::focusWidget(), cells.grid());
        EXPECT_EQ(rowText(cells, 1), "3|0|100|||Front wheel speed");
        EXPECT_EQ(rowText(cells, 2), "4|1|200|||");

        clickCell(cells, 2, 6);
        typeKeys("ab");
        setClipboard("x\ty\n");
        press(Qt::Key_V, Qt::ControlModifier);
        ASSERT_TRUE(editing(cells));
        EXPECT_EQ(qobject_cast<QLineEdit*>(QApplication::focusWidget())->text(), "ab");
        press(Qt::Key_Return);

        clickCell(cells, 2, kGroup);
        press(Qt::Key_F2);
        ASSERT_TRUE(qobject_cast<QComboBox*>(QApplication::focusWidget()));
        setClipboard("2\n");
        press(Qt::Key_V, Qt::ControlModifier);
        EXPECT_FALSE(editing(cells));
        EXPECT_EQ(cells(2, kGroup), "G2 500 - Brakes");
        ok(dialog, kFrameJ1939);
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"plain",
                                     "Nothing was pasted: the clipboard holds 1 row of 2 cells, and from row 2, column "
                                     "\"Mnemonic\", the grid has room for 249 rows of 1 cell."}}));
    EXPECT_EQ(tool.read(kFrameJ1939.document), frames(frameRow("3", "0", "100", "0", "", "Front wheel speed") +
                                                      frameRow("4", "1", "200", "2", "", "ab")));
}

TEST_F(GridKeys, SettingGroupCtrlVOfSeveralCellsInACellBeingTypedInPastesThemAsCells) {
    open(kSettingGroup, [](QDialog& dialog, const GridCells& cells) {
        clickCell(cells, 1, 1);
        typeKeys("1");
        setClipboard("100\tEngine\n200\tBrakes\n");
        press(Qt::Key_V, Qt::ControlModifier);
        EXPECT_FALSE(editing(cells));
        EXPECT_EQ(QApplication::focusWidget(), cells.grid());
        EXPECT_EQ(rowText(cells, 1) + " " + rowText(cells, 2), "100|Engine 200|Brakes");
        ok(dialog, kSettingGroup);
    });
    EXPECT_EQ(tool.read(kSettingGroup.document),
              "<Group>" + groupRow("100", "Engine") + groupRow("200", "Brakes") + "</Group>");
}

// The Paste of a cell editor's own menu pastes as Ctrl+V does.
TEST_F(GridKeys, SettingGroupTheEditorsMenuPastesSeveralCellsAsCells) {
    open(kSettingGroup, [](QDialog&, const GridCells& cells) {
        clickCell(cells, 1, 1);
        typeKeys("1");
        auto* line = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_TRUE(line);
        setClipboard("100\tEngine\n200\tBrakes\n");
        bool pasted = false;
        QTimer::singleShot(0, [&pasted] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            for (QAction* action : menu->actions())
                if (action->text().startsWith(QStringLiteral("&Paste"))) {
                    action->trigger();
                    pasted = true;
                }
            menu->close();
        });
        QContextMenuEvent menu(QContextMenuEvent::Mouse, line->rect().center(),
                               line->mapToGlobal(line->rect().center()));
        QApplication::sendEvent(line, &menu);
        ASSERT_TRUE(pasted) << "the menu has its Paste";
        EXPECT_FALSE(editing(cells));
        EXPECT_EQ(rowText(cells, 1) + " " + rowText(cells, 2), "100|Engine 200|Brakes");
    });
}

// Text that reached an editor some other way (the middle button pastes the X selection) is kept on one line.
TEST_F(GridKeys, FrameJ1939AnEditKeepsOneLine) {
    open(kFrameJ1939, [](QDialog&, const GridCells& cells) {
        clickCell(cells, 1, 6);
        typeKeys("a");
        auto* line = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_TRUE(line);
        line->insert(QStringLiteral("\tb\r\nc"));
        press(Qt::Key_Return);
        EXPECT_EQ(cells(1, 6), "a b c");
    });
}

// Tab through every cell of the rows, each opened in turn (the lists too), changes nothing: OK writes what was there.
TEST_F(GridKeys, TabbingThroughTheCellsChangesNothing) {
    tool.write("PROJECTS/FrameJ1939.xml", frames(frameRow("3", "0", "0xFEF1", "1", "Y", "Engine speed")));
    tool.write("PROJECTS/Group.xml", "<Group>" + groupRow("100", "Engine") + "</Group>");
    for (const Grid& grid : {kFrameJ1939, kSettingGroup}) {
        const std::string before = tool.read(grid.document);
        open(grid, [&grid](QDialog& dialog, const GridCells& cells) {
            clickCell(cells, 1, 1);
            press(Qt::Key_F2);
            ASSERT_TRUE(editing(cells));
            const int cellsInThreeRows = 3 * (cells.grid()->columnCount() - 1);
            for (int step = 0; step < cellsInThreeRows; ++step) {
                press(Qt::Key_F2);
                press(Qt::Key_Tab);
            }
            EXPECT_EQ(at(cells), std::make_pair(4, 1));
            EXPECT_EQ(rowText(cells, 2) + rowText(cells, 3), std::string(2 * (cells.grid()->columnCount() - 2), '|'));
            press(Qt::Key_Escape);
            ok(dialog, grid);
        });
        EXPECT_EQ(tool.read(grid.document), before) << grid.button;
    }
    EXPECT_TRUE(fake.messages.shown.empty());
}

// In a Group cell's closed list the arrow keys move to the next cell, as in the other cells, and leave the cell as
// it was; Alt+Down opens the list, where the arrows choose.
TEST_F(GridKeys, FrameJ1939ArrowKeysInAGroupCellMoveAndAltDownOpensTheList) {
    twoGroups();
    tool.write("PROJECTS/FrameJ1939.xml", kThreeFrames);
    open(kFrameJ1939, [](QDialog&, const GridCells& cells) {
        const auto openList = [&](int row) {
            clickCell(cells, row, kGroup);
            press(Qt::Key_F2);
            ASSERT_TRUE(qobject_cast<QComboBox*>(QApplication::focusWidget()));
        };
        const struct {
            Qt::Key key;
            std::pair<int, int> to;
        } moves[] = {{Qt::Key_Down, {3, kGroup}},
                     {Qt::Key_Up, {1, kGroup}},
                     {Qt::Key_Left, {2, kGroup - 1}},
                     {Qt::Key_Right, {2, kGroup + 1}}};
        for (const auto& move : moves) {
            openList(2);
            press(move.key);
            EXPECT_EQ(at(cells), move.to) << move.key;
            EXPECT_FALSE(editing(cells)) << move.key;
            EXPECT_EQ(QApplication::focusWidget(), cells.grid()) << move.key;
            EXPECT_EQ(cells(1, kGroup) + "|" + cells(2, kGroup) + "|" + cells(3, kGroup),
                      "G1 100 - Engine|On Request|G2 500 - Brakes")
                << move.key;
        }
        openList(5);
        press(Qt::Key_Down);
        EXPECT_EQ(at(cells), std::make_pair(6, kGroup));
        EXPECT_EQ(cells(5, kGroup), "") << "an empty row's Group stays empty";

        clickCell(cells, 1, kGroup);
        press(Qt::Key_Down, Qt::AltModifier);
        ASSERT_TRUE(QApplication::activePopupWidget()) << "Alt+Down on the cell opens its list";
        press(Qt::Key_Down);
        press(Qt::Key_Return);
        EXPECT_FALSE(QApplication::activePopupWidget());
        EXPECT_EQ(cells(1, kGroup), "G2 500 - Brakes");

        openList(3);
        press(Qt::Key_Down, Qt::AltModifier);
        ASSERT_TRUE(QApplication::activePopupWidget()) << "Alt+Down in the cell's editor opens its list";
        press(Qt::Key_Up);
        press(Qt::Key_Escape);
        EXPECT_FALSE(QApplication::activePopupWidget());
        press(Qt::Key_Escape);
        EXPECT_EQ(cells(3, kGroup), "G2 500 - Brakes") << "Escape leaves the choice as it was";
        press(Qt::Key_Escape);
    });
}

// In a cell being typed in, Up and Down keep the text and move a row, as in a spreadsheet; Left and Right move in
// the text.
TEST_F(GridKeys, UpAndDownInACellBeingTypedInKeepTheTextAndMoveARow) {
    for (const Grid& grid : {kFrameJ1939, kSettingGroup}) {
        open(grid, [](QDialog&, const GridCells& cells) {
            clickCell(cells, 1, 1);
            typeKeys("10");
            press(Qt::Key_Down);
            EXPECT_EQ(at(cells), std::make_pair(2, 1));
            EXPECT_FALSE(editing(cells));
            typeKeys("20");
            press(Qt::Key_Left);
            typeKeys("5");
            EXPECT_TRUE(editing(cells));
            press(Qt::Key_Up);
            EXPECT_EQ(at(cells), std::make_pair(1, 1));
            EXPECT_EQ(cells(1, 1) + "|" + cells(2, 1), "10|250");
            press(Qt::Key_Escape);
        });
    }
}

// Define J1939 has lists, not grids: Ctrl+C copies the selected line as a row of cells (a definition as the
// exported table has it), and Delete in the definitions is their Delete button.
TEST_F(GridKeys, DefineJ1939CtrlCCopiesTheSelectedLineAndDeleteRemovesADefinition) {
    tool.write("PROJECTS/FrameJ1939.xml", testing::threeFrames());
    tool.write("PROJECTS/DefFrameJ1939.xml", "<DefFrame>" + testing::writtenRow(1, "5", "100", 1, 3, {0x12, 0x30}) +
                                                 testing::writtenRow(2, "7", "0x20", 0, 4, {0x05}) +
                                                 testing::writtenRow(2, "8", "300", 0, 3) + "</DefFrame>");
    fake.dialogs.then([](QDialog& dialog) {
        activate(dialog);
        auto* frameList = child<QListWidget>(dialog, "LPdoCanA");
        auto* definitionList = child<QListWidget>(dialog, "LIndMbCanA");
        const auto clickLine = [](QListWidget* list, int row) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                              list->visualItemRect(list->item(row)).center());
        };
        setClipboard("before");
        frameList->setFocus(Qt::MouseFocusReason);
        press(Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(clipboard(), "before") << "nothing is selected";
        clickLine(frameList, 1);
        press(Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(clipboard(), " 3\t1\t61444\n");
        clickLine(definitionList, 0);
        press(Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(clipboard(), "2\t7\t0x20\t1\tInput Register\tnone\tB5" + std::string(14, '\t') + "\n");
        clickLine(frameList, 0);
        clickLine(definitionList, 0);
        press(Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(clipboard(), "1\t5\t100\t2\tHolding Register\tB1\tB2\tB3\tnone" + std::string(12, '\t') + "\n");
        clickLine(frameList, 1);
        clickLine(definitionList, 0);
        press(Qt::Key_Delete);
        EXPECT_EQ(definitionList->count(), 1);
        child<QPushButton>(dialog, "bitbtn1")->click();
    });
    click("btn_Info_RCOB");
    EXPECT_EQ(tool.read("PROJECTS/DefFrameJ1939.xml"), "<DefFrame>" +
                                                           testing::writtenRow(1, "5", "100", 1, 3, {0x12, 0x30}) +
                                                           testing::writtenRow(2, "8", "300", 0, 3) + "</DefFrame>");
    EXPECT_TRUE(fake.messages.shown.empty());
}

}  // namespace
}  // namespace tessaro
