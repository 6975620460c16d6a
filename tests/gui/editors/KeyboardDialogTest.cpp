#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <filesystem>

#include "gui/editors/UGroup.h"
#include "gui/editors/UInfoPdoMB.h"
#include "gui/editors/Upargen.h"
#include "gui/editors/UpdoMB.h"
#include "support/DefinitionRows.h"
#include "support/GridCells.h"
#include "support/GuiFixture.h"
#include "support/Keys.h"

// The editors driven as a user does with the keyboard alone: what Enter, Escape and Tab do, and what reaches the
// documents.
namespace tessaro {
namespace {

using testing::activate;
using testing::child;
using testing::GridCells;
using testing::Message;
using testing::press;
using testing::typeCells;
using testing::typeInto;
using testing::typeKeys;

const std::string kPargenDefaults =
    "<GeneralParameter><BR_CAN>5</BR_CAN><ID_CAN>10</ID_CAN><Select_Ser>0</Select_Ser><Baud_Ser>3</Baud_Ser>"
    "<Par_Ser>0</Par_Ser><Stop_Ser>0</Stop_Ser><TimeOut_Ser>1000</TimeOut_Ser><Delay_Ser>100</Delay_Ser>"
    "</GeneralParameter>";

std::string pargenWith(const std::string& brCan, const std::string& idCan) {
    return "<GeneralParameter><BR_CAN>" + brCan + "</BR_CAN><ID_CAN>" + idCan +
           "</ID_CAN><Select_Ser>0</Select_Ser><Baud_Ser>3</Baud_Ser><Par_Ser>0</Par_Ser><Stop_Ser>0</Stop_Ser>"
           "<TimeOut_Ser>1000</TimeOut_Ser><Delay_Ser>100</Delay_Ser></GeneralParameter>";
}

class Keyboard : public testing::GuiFixture {
protected:
    // Opens the editor of the main window's button and lets script act as the user, the dialog active.
    void open(const char* button, std::function<void(QDialog&)> script) {
        fake.dialogs.then([script](QDialog& dialog) {
            activate(dialog);
            script(dialog);
        });
        click(button);
    }
    static QPushButton* button(QWidget& dialog, const char* name) { return child<QPushButton>(dialog, name); }
    // The grid's current cell as the user sees it: row 1 is the first data row.
    static std::pair<int, int> at(const GridCells& cells) {
        return {cells.grid()->currentRow() + 1, cells.grid()->currentColumn()};
    }
    // Puts the cursor on a cell as a click does, without starting an edit.
    static void goTo(const GridCells& cells, int row, int column) {
        cells.grid()->setFocus(Qt::MouseFocusReason);
        cells.grid()->setCurrentCell(row - 1, column);
    }
};

// Every control of "Set Communication": Enter in it is OK, which writes what the dialog shows.
TEST_F(Keyboard, SetCommunicationEnterInAnyControlIsOk) {
    for (const char* control :
         {"CB_BR_CAN", "E_ID_CAN", "RB_RS485", "CB_BR_RTU", "CB_PAR_RTU", "CB_STOP_RTU", "E_TIME_RTU", "E_DELAY_RTU"}) {
        std::filesystem::remove(tool.file("PROJECTS/pargen.xml"));
        open("btn_Prm_Gen", [control](QDialog& dialog) {
            child<QWidget>(dialog, control)->setFocus(Qt::TabFocusReason);
            press(Qt::Key_Return);
            EXPECT_FALSE(dialog.isVisible()) << control;
            EXPECT_EQ(dialog.result(), QDialog::Accepted) << control;
        });
        EXPECT_EQ(tool.read("PROJECTS/pargen.xml"), kPargenDefaults) << control;
    }
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(Keyboard, SetCommunicationATypedIdIsWrittenByEnterAndItsRulesStillHold) {
    open("btn_Prm_Gen", [](QDialog& dialog) {
        typeInto(child<QLineEdit>(dialog, "E_ID_CAN"), "241");
        press(Qt::Key_Enter);
        EXPECT_TRUE(dialog.isVisible()) << "the first rule refuses 241";
        typeInto(child<QLineEdit>(dialog, "E_ID_CAN"), "42");
        press(Qt::Key_Return);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"error", "Error! The ID Device must to be between 0 and 240"}}));
    EXPECT_EQ(tool.read("PROJECTS/pargen.xml"), pargenWith("5", "42"));
}

TEST_F(Keyboard, SetCommunicationTypedBaudRateIsTheEntryItEqualsOrRefused) {
    const std::string rule =
        "Error! The J1939 Baud rate must be one of 10, 20, 50, 100, 125, 250, 500, 800, 1000 kbit/s";
    tool.write("PROJECTS/pargen.xml", pargenWith("8", "7"));
    const struct {
        const char* typed;
        const char* stored;  // nullptr: refused
    } cases[] = {{"300", nullptr}, {"250", "5"}, {"", nullptr}, {"1000", "8"}, {"10", "0"}, {" 250", nullptr}};
    for (const auto& c : cases) {
        fake.messages.shown.clear();
        const std::string before = tool.read("PROJECTS/pargen.xml");
        open("btn_Prm_Gen", [&c](QDialog& dialog) {
            typeInto(child<QComboBox>(dialog, "CB_BR_CAN"), c.typed);
            press(Qt::Key_Return);
            EXPECT_EQ(dialog.isVisible(), c.stored == nullptr) << c.typed;
        });
        if (c.stored) {
            EXPECT_TRUE(fake.messages.shown.empty()) << c.typed;
            EXPECT_EQ(tool.read("PROJECTS/pargen.xml"), pargenWith(c.stored, "7")) << c.typed;
        } else {
            EXPECT_EQ(fake.messages.shown, (std::vector<Message>{{"error", rule}})) << c.typed;
            EXPECT_EQ(tool.read("PROJECTS/pargen.xml"), before) << c.typed;
        }
    }
}

TEST_F(Keyboard, SetCommunicationRulesBeforeTheBaudRateComeFirst) {
    open("btn_Prm_Gen", [](QDialog& dialog) {
        typeInto(child<QComboBox>(dialog, "CB_BR_CAN"), "300");
        typeInto(child<QLineEdit>(dialog, "E_DELAY_RTU"), "0");
        press(Qt::Key_Return);
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{
                  {"error", "Error! The Modbus RTU Cyclic Delay must to be between 1 and 65535 milleseconds"}}));
    EXPECT_FALSE(tool.exists("PROJECTS/pargen.xml"));
}

// Escape is Cancel; Cancel never becomes the default button, and a focused one is pressed by Enter, as by Space.
TEST_F(Keyboard, EscapeAndAFocusedCancelThrowTheInputAwayAndNothingElseDoes) {
    const struct {
        const char* editor;
        const char* field;
        const char* cancel;
    } editors[] = {{"btn_Prm_Gen", "E_ID_CAN", "bitbtn2"},
                   {"btn_RCOB", "sgA", "BitBtn2"},
                   {"btn_Info_RCOB", "E_Dev_ID", "bitbtn2"},
                   {"btn_GROUP", "sgA", "bitbtn2"}};
    for (const auto& e : editors) {
        for (bool escape : {true, false}) {
            open(e.editor, [&](QDialog& dialog) {
                QPushButton* ok = dialog.findChild<QPushButton*>(QStringLiteral("bitbtn1"));
                if (!ok) ok = button(dialog, "BitBtn1");
                QPushButton* cancel = button(dialog, e.cancel);
                child<QWidget>(dialog, e.field)->setFocus(Qt::MouseFocusReason);
                if (escape) {
                    press(Qt::Key_Escape);
                } else {
                    cancel->setFocus(Qt::TabFocusReason);
                    EXPECT_TRUE(ok->isDefault()) << e.editor;
                    EXPECT_FALSE(cancel->isDefault()) << e.editor;
                    press(Qt::Key_Return);
                }
                EXPECT_FALSE(dialog.isVisible()) << e.editor;
                EXPECT_EQ(dialog.result(), QDialog::Rejected) << e.editor;
            });
        }
    }
    EXPECT_TRUE(fake.messages.shown.empty());
    for (const char* document : {"pargen.xml", "FrameJ1939.xml", "DefFrameJ1939.xml", "Group.xml"})
        EXPECT_FALSE(tool.exists(std::string("PROJECTS/") + document)) << document;
}

// "Setting Group": Enter in a cell being edited ends the edit and stays; the next Enter is OK.
TEST_F(Keyboard, SettingGroupEnterEndsTheEditThenIsOk) {
    open("btn_GROUP", [](QDialog& dialog) {
        const GridCells cells(dialog);
        goTo(cells, 1, 1);
        typeCells({"100"});
        typeKeys("Engine");
        press(Qt::Key_Return);
        EXPECT_TRUE(dialog.isVisible()) << "the first Enter ends the edit";
        EXPECT_EQ(cells(1, 2), "Engine");
        EXPECT_EQ(at(cells), std::make_pair(1, 2)) << "and the cursor stays on the cell";
        press(Qt::Key_Return);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(tool.read("PROJECTS/Group.xml"), "<Group><row Cyclic_Time=\"100\" Mnemonic=\"Engine\"/></Group>");
}

// Tab after the last column goes on to the first data cell of the next row, never into the row numbers; Shift+Tab
// goes back the same way.
TEST_F(Keyboard, SettingGroupTabRunsThroughTheRowsDataCellsOnly) {
    open("btn_GROUP", [](QDialog& dialog) {
        const GridCells cells(dialog);
        goTo(cells, 1, 1);
        typeCells({"100", "a"});
        EXPECT_EQ(at(cells), std::make_pair(2, 1));
        typeCells({"200", ""});
        EXPECT_EQ(at(cells), std::make_pair(3, 1));
        press(Qt::Key_Backtab);
        press(Qt::Key_Backtab);
        press(Qt::Key_Backtab);
        EXPECT_EQ(at(cells), std::make_pair(1, 2));
        press(Qt::Key_Return);
        EXPECT_TRUE(dialog.isVisible()) << "Tab and Shift+Tab open each cell they reach for editing";
        press(Qt::Key_Return);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(tool.read("PROJECTS/Group.xml"),
              "<Group><row Cyclic_Time=\"100\" Mnemonic=\"a\"/><row Cyclic_Time=\"200\" Mnemonic=\"\"/></Group>");
}

// "Frame J1939": a whole row typed with Tab between the cells, Space for the Erase Data box, and on into row 2.
TEST_F(Keyboard, FrameJ1939TabThroughARowAndPastItsEnd) {
    open("btn_RCOB", [](QDialog& dialog) {
        const GridCells cells(dialog);
        goTo(cells, 1, 1);
        typeCells({"3", "0", "0xFEF1"});
        EXPECT_EQ(at(cells), std::make_pair(1, 4));
        press(Qt::Key_Tab);
        press(Qt::Key_Space);
        EXPECT_EQ(cells(1, 5), "Y");
        typeCells({"", "Engine"});
        EXPECT_EQ(at(cells), std::make_pair(2, 1)) << "past the row's end: the next row's Priority";
        typeCells({"4", "1"});
        typeKeys("100");
        press(Qt::Key_Return);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(cells(2, 0) + "|" + cells(2, 1) + "|" + cells(2, 3), "2|4|100");
        press(Qt::Key_Return);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(tool.read("PROJECTS/FrameJ1939.xml"),
              "<Frames_J1939><row Priority=\"3\" DataPage=\"0\" PGN=\"0xFEF1\" Group=\"0\" Erase=\"Y\" "
              "Mnemonic=\"Engine\"/><row Priority=\"4\" DataPage=\"1\" PGN=\"100\" Group=\"0\" Erase=\"\" "
              "Mnemonic=\"\"/></Frames_J1939>");
}

TEST_F(Keyboard, FrameJ1939ArrowsStayInTheDataColumns) {
    open("btn_RCOB", [](QDialog& dialog) {
        const GridCells cells(dialog);
        goTo(cells, 2, 1);
        press(Qt::Key_Left);
        EXPECT_EQ(at(cells), std::make_pair(2, 1));
        press(Qt::Key_Home);
        EXPECT_EQ(at(cells), std::make_pair(2, 1));
        press(Qt::Key_Up);
        EXPECT_EQ(at(cells), std::make_pair(1, 1));
        press(Qt::Key_Backtab);
        EXPECT_EQ(at(cells), std::make_pair(250, 6)) << "from the very first cell back to the very last";
        press(Qt::Key_Tab);
        EXPECT_EQ(at(cells), std::make_pair(1, 1));
        press(Qt::Key_End);
        EXPECT_EQ(at(cells), std::make_pair(1, 6));
        press(Qt::Key_Right);
        EXPECT_EQ(at(cells), std::make_pair(1, 6));
    });
}

// A digit typed while the cursor stands in the row numbers (after a click there) neither lands in that cell nor
// jumps to the row of that number.
TEST_F(Keyboard, FrameJ1939TheRowNumberColumnTakesNoTextAndNoSearch) {
    open("btn_RCOB", [](QDialog& dialog) {
        const GridCells cells(dialog);
        goTo(cells, 1, 0);
        typeKeys("5");
        EXPECT_EQ(cells.grid()->currentRow(), 0);
        EXPECT_EQ(cells(1, 0), "1");
        EXPECT_EQ(cells(5, 0), "5");
        for (int column = 1; column <= 6; ++column) EXPECT_EQ(cells(5, column), "") << column;
        press(Qt::Key_Tab);
        EXPECT_EQ(at(cells), std::make_pair(1, 1));
        goTo(cells, 1, 5);
        typeKeys("7");
        EXPECT_EQ(at(cells), std::make_pair(1, 5)) << "the Erase Data box takes no text and searches no row";
        EXPECT_EQ(cells(1, 5), "");
        press(Qt::Key_Escape);
    });
    EXPECT_FALSE(tool.exists("PROJECTS/FrameJ1939.xml"));
}

// "Define J1939": definitions added with the keyboard, then Enter in Device ID: all of them are written.
TEST_F(Keyboard, DefineJ1939EnterInAFieldIsOkAndAFocusedButtonIsPressed) {
    tool.write("PROJECTS/FrameJ1939.xml", testing::threeFrames());
    open("btn_Info_RCOB", [](QDialog& dialog) {
        auto* frames = child<QListWidget>(dialog, "LPdoCanA");
        frames->setFocus(Qt::MouseFocusReason);
        press(Qt::Key_Down);
        EXPECT_EQ(frames->currentRow(), 0);
        for (const char* index : {"100", "101", "102", "103"}) {
            typeInto(child<QLineEdit>(dialog, "EindexA"), index);
            typeInto(child<QLineEdit>(dialog, "E_Dev_ID"), "5");
            button(dialog, "NewA")->setFocus(Qt::TabFocusReason);
            press(Qt::Key_Return);
            EXPECT_TRUE(dialog.isVisible()) << "Enter on New presses New";
        }
        EXPECT_EQ(child<QListWidget>(dialog, "LIndMbCanA")->count(), 4);
        child<QLineEdit>(dialog, "E_Dev_ID")->setFocus(Qt::MouseFocusReason);
        press(Qt::Key_Return);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    });
    std::string rows;
    for (const char* index : {"100", "101", "102", "103"}) rows += testing::writtenRow(1, "5", index, 0, 3);
    EXPECT_EQ(tool.read("PROJECTS/DefFrameJ1939.xml"), "<DefFrame>" + rows + "</DefFrame>");
    EXPECT_TRUE(fake.messages.shown.empty());
}

}  // namespace
}  // namespace tessaro
