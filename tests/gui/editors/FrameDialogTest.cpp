#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <filesystem>

#include "core/documents/AtomicFile.h"
#include "core/exchange/Workbook.h"
#include "gui/editors/UGroup.h"
#include "gui/editors/UpdoMB.h"
#include "support/GridCells.h"
#include "support/GuiFixture.h"

namespace tessaro {
namespace {

using testing::child;
using testing::GridCells;
using testing::Message;

constexpr int kGroup = 4;
constexpr int kErase = 5;

const char* const kThreeGroups =
    "<Group><row Cyclic_Time=\"100\" Mnemonic=\"Engine\"/><row Cyclic_Time=\"0200\" Mnemonic=\"\"/>"
    "<row Cyclic_Time=\"$14\" Mnemonic=\"Brakes\"/></Group>";

std::string frameRow(const std::string& priority, const std::string& group, const std::string& erase = "",
                     const std::string& mnemonic = "") {
    return "<row Priority=\"" + priority + "\" DataPage=\"0\" PGN=\"100\" Group=\"" + group + "\" Erase=\"" + erase +
           "\" Mnemonic=\"" + mnemonic + "\"/>";
}

class FrameDialog : public testing::GuiFixture {
protected:
    // Opens "Frame J1939" and lets script act as the user.
    void frames(std::function<void(TFpdoMB&, const GridCells&)> script) {
        testing::withGrid(fake.dialogs, script);
        click("btn_RCOB");
    }
    // In "Setting Group" the user types text as the cyclic time of a group and presses OK (again, when asked to
    // confirm that later groups are dropped).
    void setCyclicTime(int group, const std::string& text, int oks = 1) {
        testing::withGrid<TFGroup>(fake.dialogs, [group, text, oks](TFGroup& dialog, const GridCells& cells) {
            cells.set(group, 1, text);
            for (int press = 0; press < oks; ++press) dialog.bitbtn1Click();
        });
        click("btn_GROUP");
    }
    static void ok(QWidget& dialog) { child<QPushButton>(dialog, "BitBtn1")->click(); }
    std::string frameXml() const { return tool.read("PROJECTS/FrameJ1939.xml"); }
    void writeFrames(const std::string& rows) const {
        tool.write("PROJECTS/FrameJ1939.xml", "<Frames_J1939>" + rows + "</Frames_J1939>");
    }

    // A user's left click in the middle of a cell of the grid.
    static void clickCell(const GridCells& cells, int row, int column) {
        QTableWidget* grid = cells.grid();
        grid->scrollToItem(grid->item(row - 1, column));
        const QPointF centre = grid->visualItemRect(grid->item(row - 1, column)).center();
        const QPointF global = grid->viewport()->mapToGlobal(centre);
        QMouseEvent press(QEvent::MouseButtonPress, centre, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(grid->viewport(), &press);
        QApplication::sendEvent(grid->viewport(), &release);
    }
    // Opens the drop-down of a Group cell as the user would start editing it.
    static QComboBox* openGroupList(const GridCells& cells, int row) {
        QTableWidget* grid = cells.grid();
        grid->setCurrentCell(row - 1, kGroup);
        grid->editItem(grid->item(row - 1, kGroup));
        return grid->viewport()->findChild<QComboBox*>();
    }
};

TEST_F(FrameDialog, GridColumnsAndButtons) {
    frames([](TFpdoMB& dialog, const GridCells& cells) {
        EXPECT_EQ(dialog.windowTitle(), "J1939 Frame");
        EXPECT_EQ(dialog.size(), QSize(710, 555));
        QTableWidget* grid = cells.grid();
        ASSERT_EQ(grid->rowCount(), 250);
        ASSERT_EQ(grid->columnCount(), 7);
        const char* titles[] = {"N", "Priority", "Data Page", "PGN", "Group", "Erase Data", "Mnemonic"};
        const int widths[] = {64, 60, 75, 128, 107, 64, 147};
        for (int column = 0; column < 7; ++column) {
            EXPECT_EQ(grid->horizontalHeaderItem(column)->text(), titles[column]);
            EXPECT_EQ(grid->columnWidth(column), widths[column]);
        }
        EXPECT_EQ(cells(1, 0), "1");
        EXPECT_EQ(cells(250, 0), "250");
        EXPECT_FALSE(grid->item(0, 0)->flags() & Qt::ItemIsEditable);
        EXPECT_FALSE(grid->item(0, kErase)->flags() & Qt::ItemIsEditable) << "the check box is clicked, not typed";
        EXPECT_TRUE(child<QPushButton>(dialog, "BitBtn2")->isEnabled());
        for (const char* acting : {"BitBtn3", "BitBtn4"}) EXPECT_TRUE(child<QPushButton>(dialog, acting)->isEnabled());
        EXPECT_EQ(child<QPushButton>(dialog, "BitBtn3")->text(), "Export");
        EXPECT_EQ(child<QPushButton>(dialog, "BitBtn4")->text(), "Import");
    });
}

TEST_F(FrameDialog, EmptyRowOnePassesAndWritesNoRows) {
    frames([this](TFpdoMB& dialog, const GridCells& cells) {
        cells.set(2, 1, "9");  // below the first empty Priority: neither checked nor written
        ok(dialog);
        EXPECT_TRUE(dialog.isVisible()) << "row 2 would be dropped: the first OK says so";
        EXPECT_FALSE(tool.exists("PROJECTS/FrameJ1939.xml"));
        ok(dialog);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(frameXml(), "<Frames_J1939/>");
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"plain",
                                     "Row 1 has no Priority, so OK keeps no row and would lose row 2: press "
                                     "OK again to drop it, or Cancel to keep FrameJ1939.xml as it is."}}));
}

TEST_F(FrameDialog, GroupListOffersExactlyTheElevenCaptions) {
    tool.write("PROJECTS/Group.xml", kThreeGroups);
    frames([](TFpdoMB& dialog, const GridCells& cells) {
        const std::vector<std::string> expected = {
            "On Request",    "G1 100 - Engine", "G2 200 - ",     "G3 20 - Brakes", "G4 Not In Use", "G5 Not In Use",
            "G6 Not In Use", "G7 Not In Use",   "G8 Not In Use", "G9 Not In Use",  "G10 Not In Use"};
        EXPECT_EQ(dialog.GroupCaptions(), expected);
        QComboBox* list = openGroupList(cells, 1);
        ASSERT_NE(list, nullptr);
        EXPECT_FALSE(list->isEditable()) << "nothing else can be typed";
        ASSERT_EQ(list->count(), 11);
        for (int item = 0; item < 11; ++item) EXPECT_EQ(list->itemText(item).toStdString(), expected[item]);
        list->setCurrentIndex(3);
        emit list->activated(3);
        EXPECT_EQ(cells(1, kGroup), "G3 20 - Brakes");
        EXPECT_EQ(dialog.GroupIndexOf("g3 20 - brakes"), 3);
        EXPECT_EQ(dialog.GroupIndexOf("no such group"), 0);
        for (int row : {1, 2}) {
            cells.set(row, 1, std::to_string(row));
            cells.set(row, 2, "0");
            cells.set(row, 3, "100");
        }
        ok(dialog);
    });
    EXPECT_EQ(frameXml(), "<Frames_J1939>" + frameRow("1", "3") + frameRow("2", "0") + "</Frames_J1939>")
        << "a group never chosen is stored as 0";
    frames([](TFpdoMB&, const GridCells& cells) { EXPECT_EQ(cells(2, kGroup), "On Request"); });
}

TEST_F(FrameDialog, EraseClickCycle) {
    writeFrames(frameRow("1", "0") + frameRow("2", "0") + frameRow("3", "0") + frameRow("4", "0", "maybe"));
    frames([](TFpdoMB& dialog, const GridCells& cells) {
        EXPECT_EQ(cells(1, kErase), "");
        clickCell(cells, 2, kErase);
        EXPECT_EQ(cells(2, kErase), "Y");
        clickCell(cells, 3, kErase);
        clickCell(cells, 3, kErase);
        EXPECT_EQ(cells(3, kErase), "N");
        dialog.EraseDataClick(3);
        EXPECT_EQ(cells(3, kErase), "Y") << "N becomes Y";
        dialog.EraseDataClick(3);
        dialog.EraseDataClick(4);
        cells.grid()->setCurrentCell(3, kErase);
        QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        QApplication::sendEvent(cells.grid(), &space);
        EXPECT_EQ(cells(4, kErase), "N") << "the space key clicks the box";
        QApplication::sendEvent(cells.grid(), &space);
        EXPECT_EQ(cells(4, kErase), "Y") << "any other text becomes Y";
        ok(dialog);
    });
    EXPECT_EQ(frameXml(), "<Frames_J1939>" + frameRow("1", "0") + frameRow("2", "0", "Y") + frameRow("3", "0", "N") +
                              frameRow("4", "0", "Y") + "</Frames_J1939>");
}

TEST_F(FrameDialog, CaptionsWithThreeGroupsAndIndexesWithoutCaption) {
    tool.write("PROJECTS/Group.xml", kThreeGroups);
    const std::string rows = frameRow("1", "5") + frameRow("2", "12") + frameRow("3", "1") + frameRow("4", "3");
    writeFrames(rows);
    frames([](TFpdoMB& dialog, const GridCells& cells) {
        EXPECT_EQ(cells(1, kGroup), "G5 Not In Use");
        EXPECT_EQ(cells(2, kGroup), "G12 Not In Use");
        EXPECT_EQ(cells(3, kGroup), "G1 100 - Engine");
        EXPECT_EQ(cells(4, kGroup), "G3 20 - Brakes");
        ok(dialog);
    });
    EXPECT_EQ(frameXml(), "<Frames_J1939>" + rows + "</Frames_J1939>") << "a show followed by OK changes nothing";
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(FrameDialog, CaptionFollowsAChangedCyclicTimeAndTheIndexStays) {
    tool.write("PROJECTS/Group.xml", kThreeGroups);
    writeFrames(frameRow("1", "1") + frameRow("2", "2") + frameRow("3", "1"));
    frames([](TFpdoMB&, const GridCells& cells) { EXPECT_EQ(cells(1, kGroup), "G1 100 - Engine"); });
    setCyclicTime(1, "200");
    frames([](TFpdoMB& dialog, const GridCells& cells) {
        EXPECT_EQ(cells(1, kGroup), "G1 200 - Engine");
        EXPECT_EQ(cells(3, kGroup), "G1 200 - Engine");
        EXPECT_EQ(cells(2, kGroup), "G2 200 - ") << "the blank after the dash";
        ok(dialog);
    });
    EXPECT_EQ(frameXml(),
              "<Frames_J1939>" + frameRow("1", "1") + frameRow("2", "2") + frameRow("3", "1") + "</Frames_J1939>");
}

TEST_F(FrameDialog, GroupsRemovedInTheGroupEditorShowAsNotInUseAndKeepTheirIndex) {
    tool.write("PROJECTS/Group.xml", kThreeGroups);
    writeFrames(frameRow("1", "2") + frameRow("2", "3"));
    setCyclicTime(2, "", 2);
    EXPECT_EQ(fake.messages.shown.size(), 1u) << "dropping group 3 was confirmed";
    frames([](TFpdoMB& dialog, const GridCells& cells) {
        EXPECT_EQ(cells(1, kGroup), "G2 Not In Use");
        EXPECT_EQ(cells(2, kGroup), "G3 Not In Use");
        ok(dialog);
    });
    EXPECT_EQ(frameXml(), "<Frames_J1939>" + frameRow("1", "2") + frameRow("2", "3") + "</Frames_J1939>");
}

TEST_F(FrameDialog, FirstFailureInOrderWithItsRowNumberAndNothingIsWritten) {
    const std::string rows = frameRow("1", "0") + frameRow("2", "0") + frameRow("3", "0");
    writeFrames(rows);
    const std::string before = frameXml();
    frames([](TFpdoMB& dialog, const GridCells& cells) {
        cells.set(2, 1, "8");
        cells.set(2, 2, "5");
        cells.set(3, 2, "2");
        ok(dialog);
        EXPECT_TRUE(dialog.isVisible());
        cells.set(2, 1, "7");
        ok(dialog);
        cells.set(2, 2, "1");
        ok(dialog);
        cells.set(1, 3, "0x10000");
        ok(dialog);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(cells(3, 2), "2") << "the grid stays as it was";
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"error", "Error in row 2!! The Priority must to be between 0 and 7"},
                                    {"error", "Error in row 2!! The Data Page must to be 0 or 1"},
                                    {"error", "Error in row 3!! The Data Page must to be 0 or 1"},
                                    {"error", "Error in row 1!! The PGN must to be between 0x0000 and 0xFFFF"}}));
    EXPECT_EQ(frameXml(), before);
}

TEST_F(FrameDialog, GapRowEndsTheTableAndIsGoneAfterReopening) {
    frames([](TFpdoMB& dialog, const GridCells& cells) {
        for (int row : {1, 2, 4}) {
            cells.set(row, 1, std::to_string(row));
            cells.set(row, 2, "0");
            cells.set(row, 3, "100");
        }
        cells.set(3, 2, "9");  // row 3 has no Priority: not checked
        ok(dialog);
        EXPECT_TRUE(dialog.isVisible());
        ok(dialog);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"plain",
                                     "Row 3 has no Priority, so OK keeps only the rows above it and would "
                                     "lose rows 3 and 4: press OK again to drop them, or Cancel to keep "
                                     "FrameJ1939.xml as it is."}}));
    EXPECT_EQ(frameXml(), "<Frames_J1939>" + frameRow("1", "0") + frameRow("2", "0") + "</Frames_J1939>");
    frames([](TFpdoMB&, const GridCells& cells) {
        EXPECT_EQ(cells(2, 1), "2");
        EXPECT_EQ(cells(4, 1), "");
        EXPECT_EQ(cells(4, 3), "");
    });
}

TEST_F(FrameDialog, OtherNamesAndSpecialTextsComeBackInStandardFormUnchanged) {
    tool.write("PROJECTS/Group.xml", kThreeGroups);
    tool.write("PROJECTS/FrameJ1939.xml",
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Frames>\n"
               "  <frame Mnemonic=\"a &amp; &lt;b&gt; &quot;c&quot; 'd'\" Erase=\"\" Group=\"2\" PGN=\"0xFEF1\" "
               "DataPage=\"0\" Priority=\" 3\" Extra=\"dropped\"/>\n"
               "  <!-- a comment -->\n"
               "  <x Priority=\"0x7\" DataPage=\"+1\" PGN=\"$ffff\" Group=\"0x3\" Erase=\"N\" "
               "Mnemonic=\"\xc3\xa9t\xc3\xa9\"/>\n"
               "</Frames>\n");
    frames([](TFpdoMB& dialog, const GridCells& cells) {
        EXPECT_EQ(cells(1, 1), " 3");
        EXPECT_EQ(cells(1, 3), "0xFEF1");
        EXPECT_EQ(cells(1, kGroup), "G2 200 - ");
        EXPECT_EQ(cells(1, 6), "a & <b> \"c\" 'd'");
        EXPECT_EQ(cells(2, kGroup), "G3 20 - Brakes");
        ok(dialog);
    });
    EXPECT_EQ(frameXml(),
              "<Frames_J1939><row Priority=\" 3\" DataPage=\"0\" PGN=\"0xFEF1\" Group=\"2\" Erase=\"\" "
              "Mnemonic=\"a &amp; &lt;b> &quot;c&quot; 'd'\"/><row Priority=\"0x7\" DataPage=\"+1\" PGN=\"$ffff\" "
              "Group=\"3\" Erase=\"N\" Mnemonic=\"\xc3\xa9t\xc3\xa9\"/></Frames_J1939>");
}

TEST_F(FrameDialog, LoadFailuresAreShownWithWhatWasFilledBefore) {
    tool.write("PROJECTS/Group.xml", kThreeGroups);
    writeFrames(frameRow("1", "1") + "<row Priority=\"2\" DataPage=\"0\" PGN=\"5\" Erase=\"\" Mnemonic=\"\"/>" +
                frameRow("3", "0"));
    frames([](TFpdoMB& dialog, const GridCells& cells) {
        EXPECT_EQ(cells(1, kGroup), "G1 100 - Engine");
        EXPECT_EQ(cells(2, 3), "5");
        EXPECT_EQ(cells(2, kGroup), "");
        EXPECT_EQ(cells(3, 1), "");
        EXPECT_EQ(dialog.GroupCaptions().size(), 11u);
    });
    tool.write("PROJECTS/Group.xml",
               "<Group><row Cyclic_Time=\"100\" Mnemonic=\"a\"/><row Cyclic_Time=\"x\" "
               "Mnemonic=\"b\"/></Group>");
    frames([](TFpdoMB& dialog, const GridCells& cells) {
        EXPECT_EQ(dialog.GroupCaptions(), (std::vector<std::string>{"On Request", "G1 100 - a"}));
        EXPECT_EQ(cells(1, 1), "") << "the frames are not read after a Group.xml failure";
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"standardError",
                                     "Could not convert variant of type (Null) into type (Integer)\n"
                                     "FrameJ1939.xml, row 2, attribute Group"},
                                    {"standardError",
                                     "'x' is not a valid integer value\n"
                                     "Group.xml, row 2, attribute Cyclic_Time"}}));
}

// A broken Group.xml leaves the frame grid empty: OK must not wipe the frames without saying so first.
TEST_F(FrameDialog, FirstOkAfterAPartialReadWarnsAndWritesNothing) {
    tool.write("PROJECTS/Group.xml", "<Group><row Cyclic_Time=\"x\" Mnemonic=\"b\"/></Group>");
    writeFrames(frameRow("1", "1") + frameRow("3", "0"));
    const std::string before = frameXml();
    frames([](TFpdoMB& dialog, const GridCells&) {
        ok(dialog);
        EXPECT_TRUE(dialog.isVisible());
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"standardError",
                                     "'x' is not a valid integer value\n"
                                     "Group.xml, row 1, attribute Cyclic_Time"},
                                    {"plain",
                                     "Group.xml could not be read whole. OK replaces FrameJ1939.xml with what is "
                                     "shown, and what could not be read is lost: press OK again to do so, "
                                     "or Cancel to keep FrameJ1939.xml as it is."}}));
    EXPECT_EQ(frameXml(), before);

    frames([](TFpdoMB& dialog, const GridCells&) {
        ok(dialog);
        ok(dialog);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(frameXml(), "<Frames_J1939/>") << "the user chose to replace it";
}

TEST_F(FrameDialog, DocumentWithMoreRowsThanTheGridSaysSoOnce) {
    std::string rows;
    for (int row = 1; row <= 251; ++row) rows += frameRow(std::to_string(row % 8), "0");
    writeFrames(rows);
    frames([](TFpdoMB& dialog, const GridCells& cells) {
        EXPECT_EQ(cells(250, 1), std::to_string(250 % 8));
        ok(dialog);
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"plain",
                                     "FrameJ1939.xml has 251 rows; only the first 250 are shown, and the "
                                     "rows beyond 250 will not be kept if you press OK."}}));
    EXPECT_EQ(frameXml(),
              "<Frames_J1939>" + rows.substr(0, rows.size() - frameRow("3", "0").size()) + "</Frames_J1939>");
}

TEST_F(FrameDialog, FailedSaveIsShownAndTheDialogStaysOpen) {
    std::filesystem::create_directories(tool.file("PROJECTS/FrameJ1939.xml/blocked"));
    frames([](TFpdoMB& dialog, const GridCells&) {
        ok(dialog);
        EXPECT_TRUE(dialog.isVisible());
    });
    ASSERT_EQ(fake.messages.shown.size(), 1u);
    EXPECT_EQ(fake.messages.shown[0].kind, "standardError");
    EXPECT_NE(fake.messages.shown[0].text.find("FrameJ1939.xml"), std::string::npos);
}

}  // namespace
}  // namespace tessaro

namespace tessaro {
namespace {

class FrameDialogExchange : public FrameDialog {
protected:
    static void press(QWidget& dialog, const char* name) { child<QPushButton>(dialog, name)->click(); }
    std::string projectFolder() const { return tool.file("PROJECTS"); }
};

TEST_F(FrameDialogExchange, ImportFillsTheGridWhichOnlyOkWritesAndCancelDiscards) {
    tool.write("PROJECTS/Group.xml", kThreeGroups);
    writeFrames(frameRow("1", "0"));
    const std::string before = frameXml();
    const std::string file = tool.write("frames.csv",
                                        "N;Priority;DataPage;PGN;Group;Erase;Mnemonic\r\n"
                                        "1; 3;0x1;$FEF1;2;y;\"a;b\"\r\n2;7;0;65535;10;;3/4\r\n");
    for (const bool confirm : {false, true}) {
        fake.files.answers.push_back(QString::fromStdString(file));
        frames([confirm](TFpdoMB& dialog, const GridCells& cells) {
            press(dialog, "BitBtn4");
            EXPECT_EQ(cells(1, 1), " 3");
            EXPECT_EQ(cells(1, 3), "$FEF1");
            EXPECT_EQ(cells(1, kGroup), "G2 200 - ");
            EXPECT_EQ(cells(1, kErase), "Y");
            EXPECT_EQ(cells(1, 6), "a;b");
            EXPECT_EQ(cells(2, kGroup), "G10 Not In Use");
            EXPECT_EQ(cells(3, 1), "");
            EXPECT_EQ(cells(3, 0), "3");
            if (confirm) ok(dialog);
        });
        EXPECT_EQ(frameXml(), confirm ? "<Frames_J1939><row Priority=\" 3\" DataPage=\"0x1\" PGN=\"$FEF1\" Group=\"2\" "
                                        "Erase=\"Y\" Mnemonic=\"a;b\"/><row Priority=\"7\" DataPage=\"0\" "
                                        "PGN=\"65535\" Group=\"10\" Erase=\"\" Mnemonic=\"3/4\"/></Frames_J1939>"
                                      : before);
    }
    EXPECT_TRUE(fake.messages.shown.empty());
    ASSERT_EQ(fake.files.calls.size(), 2u);
    EXPECT_EQ(fake.files.calls[0].kind, "open");
    EXPECT_EQ(fake.files.calls[0].title, "Import frames");
    EXPECT_EQ(fake.files.calls[0].start.toStdString(), projectFolder());
}

TEST_F(FrameDialogExchange, ARefusedFileIsShownInTheErrorBoxAndTheGridStays) {
    writeFrames(frameRow("1", "0"));
    const std::string file =
        tool.write("frames.csv", "N,Priority,DataPage,PGN,Group,Erase,Mnemonic\n1,1,0,1,0,,\n2,1,5,1,0,,\n");
    fake.files.answers.push_back(QString::fromStdString(file));
    fake.files.answers.push_back(std::nullopt);  // the user gives up choosing
    frames([](TFpdoMB& dialog, const GridCells& cells) {
        press(dialog, "BitBtn4");
        press(dialog, "BitBtn4");
        EXPECT_EQ(cells(1, 1), "1");
        EXPECT_EQ(cells(1, 3), "100");
        EXPECT_TRUE(dialog.isVisible());
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"error", file + ":3:3: Error in row 2!! The Data Page must to be 0 or 1 (the cell "
                                                     "holds '5')"}}));
}

TEST_F(FrameDialogExchange, ExportWritesTheGridAsItStandsToCsvOrAWorkbook) {
    tool.write("PROJECTS/Group.xml", kThreeGroups);
    const std::string csv = tool.file("out/frames.csv");
    const std::string book = tool.file("out/frames.xlsx");
    std::filesystem::create_directories(tool.file("out"));
    fake.files.answers = {QString::fromStdString(csv), QString::fromStdString(book),
                          QString::fromStdString(tool.file("out/plain"))};
    frames([](TFpdoMB& dialog, const GridCells& cells) {
        for (int column = 1; column <= 6; ++column)
            cells.set(1, column, std::vector<std::string>{"", " 0x6", "0", "001", "", "", "x, \"y\""}[column]);
        cells.set(1, kGroup, "G3 20 - Brakes");
        cells.set(2, 1, "9");  // not checked: Export writes what is shown
        for (int times = 0; times < 3; ++times) press(dialog, "BitBtn3");
        EXPECT_TRUE(dialog.isVisible());
    });
    EXPECT_FALSE(tool.exists("PROJECTS/FrameJ1939.xml"));
    EXPECT_EQ(tool.read("out/frames.csv"),
              "N,Priority,DataPage,PGN,Group,Erase,Mnemonic\r\n1, 0x6,0,001,3,,\"x, \"\"y\"\"\"\r\n2,9,,,0,,\r\n");
    const TextGrid sheet = readWorkbookSheet(readFile(book), "frames");
    ASSERT_EQ(sheet.rows.size(), 3u);
    EXPECT_EQ(sheet.rows[1].cells[3].text, "001");
    EXPECT_EQ(tool.read("out/plain.csv"), tool.read("out/frames.csv"));
    ASSERT_EQ(fake.files.calls.size(), 3u);
    EXPECT_EQ(fake.files.calls[0].kind, "save");
    EXPECT_EQ(fake.files.calls[0].title, "Export frames");
    EXPECT_EQ(fake.files.calls[0].start.toStdString(), projectFolder() + "/frames.csv");
    EXPECT_TRUE(fake.messages.shown.empty());
}

// An imported table with fewer frames than the definitions use would leave those definitions without their frame:
// the first OK names them, as it names the rows it would drop, and the second writes.
TEST_F(FrameDialogExchange, AnImportThatLeavesDefinitionsWithoutTheirFrameIsNamedAtTheFirstOk) {
    writeFrames(frameRow("1", "0") + frameRow("2", "0") + frameRow("3", "0"));
    const std::string definition = "Device_ID=\"1\" Index=\"0\" Num_Reg=\"0\" Type_Reg=\"3\" poscomp0=\"18\"/>";
    tool.write("PROJECTS/DefFrameJ1939.xml", "<DefFrame><row NrFrameJ1939=\"1\" " + definition +
                                                 "<row NrFrameJ1939=\"3\" " + definition + "<row NrFrameJ1939=\"2\" " +
                                                 definition + "<row NrFrameJ1939=\"9\" " + definition + "</DefFrame>");
    const std::string file =
        tool.write("frames.csv", "N,Priority,DataPage,PGN,Group,Erase,Mnemonic\n1,6,0,65262,0,,ET1\n");
    fake.files.answers.push_back(QString::fromStdString(file));
    frames([](TFpdoMB& dialog, const GridCells& cells) {
        press(dialog, "BitBtn4");
        EXPECT_EQ(cells(1, 3), "65262");
        ok(dialog);
        EXPECT_TRUE(dialog.isVisible());
        ok(dialog);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"plain",
                                     "Rows 2 and 3 of DefFrameJ1939.xml are definitions of frames 2 and 3, which the "
                                     "table would no longer have (it would keep 1 frame): the build would leave them "
                                     "out, and the OK of Define J1939 would drop them. Press OK again to write "
                                     "FrameJ1939.xml all the same, or Cancel to keep it as it is."}}));
    EXPECT_EQ(frameXml(),
              "<Frames_J1939><row Priority=\"6\" DataPage=\"0\" PGN=\"65262\" Group=\"0\" Erase=\"\" "
              "Mnemonic=\"ET1\"/></Frames_J1939>");
}

// OK keeps the rows down to the first without a priority and names the others first; Export writes every row the
// grid holds, so that the next Import shows where the table breaks off instead of losing the rows below.
TEST_F(FrameDialogExchange, ExportWritesEveryRowTheGridHoldsAndImportNamesTheGap) {
    tool.write("PROJECTS/Group.xml", kThreeGroups);
    const std::string csv = tool.file("frames.csv");
    fake.files.answers = {QString::fromStdString(csv), QString::fromStdString(csv)};
    frames([](TFpdoMB& dialog, const GridCells& cells) {
        for (const int row : {1, 2, 4}) {
            cells.set(row, 1, "6");
            cells.set(row, 2, "0");
            cells.set(row, 3, std::to_string(65260 + row));
        }
        cells.set(2, kGroup, "G1 100 - Engine");
        cells.set(4, kErase, "Y");
        cells.set(6, 6, "kept too");
        press(dialog, "BitBtn3");
        press(dialog, "BitBtn4");
        EXPECT_EQ(cells(4, 3), "65264");
        EXPECT_EQ(cells(6, 6), "kept too");
    });
    EXPECT_EQ(tool.read("frames.csv"),
              "N,Priority,DataPage,PGN,Group,Erase,Mnemonic\r\n1,6,0,65261,0,,\r\n2,6,0,65262,1,,\r\n3,,,,,,\r\n"
              "4,6,0,65264,0,Y,\r\n5,,,,,,\r\n6,,,,0,,kept too\r\n");
    EXPECT_EQ(
        fake.messages.shown,
        (std::vector<Message>{
            {"error", csv + ":4:2: Error in row 3!! The Priority must to be between 0 and 7 (the cell holds '')"}}));
    EXPECT_FALSE(tool.exists("PROJECTS/FrameJ1939.xml"));
}

}  // namespace
}  // namespace tessaro
