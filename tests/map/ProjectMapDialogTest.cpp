#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <filesystem>

#include "documents/AtomicFile.h"
#include "map/MapFormats.h"
#include "map/MapProject.h"
#include "map/UProjectMap.h"
#include "support/GuiFixture.h"

namespace tessaro {
namespace {

class ProjectMapDialog : public testing::GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        useNewProject("map");
        // Frame 1 (ET1, group 1): B1 from two definitions; frame 2 (proprietary, On Request).
        testing::writeMapProjectAt(window->project().projectFolder, {{"65262", "1"}, {"65280", "0"}},
                                   {{1, 1, 100, {0x12, 0x30}}, {1, 2, 5, {0x10}, 4}, {2, 1, 102, {0x01}}}, {1000});
    }
    // Shows the map as the button does and runs the script in it.
    void showMap(std::function<void(TFProjectMap&)> script) {
        fake.dialogs.then([script](QDialog& dialog) { script(static_cast<TFProjectMap&>(dialog)); });
        click("btn_ProjectMap");
    }
    static QString cell(QDialog& dialog, const char* table, int row, int column) {
        QTableWidgetItem* item = testing::child<QTableWidget>(dialog, table)->item(row, column);
        return item ? item->text() : QStringLiteral("<no item>");
    }
};

TEST_F(ProjectMapDialog, GridNamesEachBytesSourcesAndMarksBytesFedTwice) {
    showMap([](TFProjectMap& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Project Map");
        auto* frames = testing::child<QTableWidget>(dialog, "sgFrames");
        ASSERT_EQ(frames->rowCount(), 2);
        ASSERT_EQ(frames->columnCount(), 11);
        EXPECT_EQ(frames->horizontalHeaderItem(3)->text(), "B1");
        EXPECT_EQ(cell(dialog, "sgFrames", 0, 1), "65262 (0xFEEE)\nET1");
        EXPECT_EQ(frames->item(0, 1)->toolTip(), "ET1 Engine temperature 1");
        EXPECT_EQ(cell(dialog, "sgFrames", 0, 2), "G1 1000 ms");
        EXPECT_EQ(cell(dialog, "sgFrames", 0, 3), "S1 HR100 high\nS2 IR5 high");
        EXPECT_EQ(cell(dialog, "sgFrames", 0, 4), "S1 HR100 low");
        EXPECT_EQ(cell(dialog, "sgFrames", 0, 5), "S1 HR101 high");
        EXPECT_EQ(cell(dialog, "sgFrames", 0, 6), "");
        EXPECT_EQ(cell(dialog, "sgFrames", 1, 1), "65280 (0xFF00)");
        EXPECT_EQ(frames->item(1, 1)->toolTip(), "");
        EXPECT_EQ(cell(dialog, "sgFrames", 1, 2), "On Request");
        EXPECT_EQ(cell(dialog, "sgFrames", 1, 3), "S1 HR102 low");
        // Only the byte fed twice is marked.
        for (int row = 0; row < 2; ++row)
            for (int column = 3; column < 11; ++column)
                EXPECT_EQ(frames->item(row, column)->background().color() == QColor(255, 205, 205),
                          row == 0 && column == 3)
                    << row << "," << column;
        EXPECT_EQ(frames->item(0, 3)->toolTip(), "Fed by 2 register halves");
        EXPECT_FALSE(frames->item(0, 3)->flags() & Qt::ItemIsEditable);

        auto* slaves = testing::child<QTableWidget>(dialog, "sgSlaves");
        ASSERT_EQ(slaves->rowCount(), 2);
        EXPECT_EQ(cell(dialog, "sgSlaves", 0, 0), "1");
        EXPECT_EQ(cell(dialog, "sgSlaves", 0, 1), "holding");
        EXPECT_EQ(cell(dialog, "sgSlaves", 0, 2), "100-102");
        EXPECT_EQ(cell(dialog, "sgSlaves", 0, 3), "100: F1 B1 high, F1 B2 low\n101: F1 B3 high\n102: F2 B1 low");
        EXPECT_EQ(cell(dialog, "sgSlaves", 1, 1), "input");
        EXPECT_EQ(cell(dialog, "sgSlaves", 1, 2), "5");
        EXPECT_EQ(testing::child<QLabel>(dialog, "LSummary")->text().toStdString(),
                  "2 frames, 1 byte fed twice, 2 polled ranges, 1 finding\nframe 1: B1 is fed by 2 register halves");
    });
    EXPECT_EQ(fake.dialogs.shownTitles, std::vector<QString>{"Project Map"});
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(ProjectMapDialog, ExportWritesTheCsvOfTheCommandLineToTheChosenFile) {
    const std::string chosen = tool.file("exported.csv");
    fake.files.answer = QString::fromStdString(chosen);
    showMap([](TFProjectMap& dialog) { testing::child<QPushButton>(dialog, "BtnExport")->click(); });
    ASSERT_EQ(fake.files.calls.size(), 1u);
    EXPECT_EQ(fake.files.calls[0].start.toStdString(), projectFile("ProjectMap.csv"));
    EXPECT_EQ(tool.read("exported.csv"), mapCsv(buildProjectMap(window->project().projectFolder)));
    EXPECT_EQ(tool.read("exported.csv").substr(0, 6), "frame,");
}

TEST_F(ProjectMapDialog, CancelledChooserWritesNothing) {
    showMap([](TFProjectMap& dialog) {
        testing::child<QPushButton>(dialog, "BtnExport")->click();
        testing::child<QPushButton>(dialog, "BtnSavePdf")->click();
    });
    EXPECT_EQ(fake.files.calls.size(), 2u);
    EXPECT_FALSE(tool.exists("PROJECTS/map/ProjectMap.csv"));
    EXPECT_FALSE(tool.exists("PROJECTS/map/ProjectMap.pdf"));
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(ProjectMapDialog, SavePdfWritesAPdfFile) {
    fake.files.answer = QString::fromStdString(tool.file("map.pdf"));
    showMap([](TFProjectMap& dialog) { testing::child<QPushButton>(dialog, "BtnSavePdf")->click(); });
    EXPECT_EQ(fake.files.calls.at(0).start.toStdString(), projectFile("ProjectMap.pdf"));
    const std::string pdf = tool.read("map.pdf");
    EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
    EXPECT_GT(pdf.size(), 1000u);
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(ProjectMapDialog, UnwritableFileGoesToTheStandardErrorBox) {
    fake.files.answer = QString::fromStdString(tool.file("no-such-folder/map.pdf"));
    showMap([](TFProjectMap& dialog) { testing::child<QPushButton>(dialog, "BtnSavePdf")->click(); });
    ASSERT_EQ(fake.messages.shown.size(), 1u);
    EXPECT_EQ(fake.messages.shown[0].kind, "standardError");
    EXPECT_NE(fake.messages.shown[0].text.find("no-such-folder/map.pdf"), std::string::npos);
}

TEST_F(ProjectMapDialog, UnreadableDocumentIsReportedAndTheGridsStayEmpty) {
    testing::writeMapProjectAt(window->project().projectFolder, {{"abc", "1"}}, {}, {1000});
    showMap([](TFProjectMap& dialog) {
        EXPECT_EQ(testing::child<QTableWidget>(dialog, "sgFrames")->rowCount(), 0);
        EXPECT_FALSE(dialog.map());
    });
    ASSERT_EQ(fake.messages.shown.size(), 1u);
    EXPECT_EQ(fake.messages.shown[0].kind, "standardError");
    EXPECT_NE(fake.messages.shown[0].text.find("'abc' is not a valid integer value"), std::string::npos);
}

TEST_F(ProjectMapDialog, FrameEditorsShowThePgnNameAsTip) {
    // Frame J1939: the PGN cell of each row, as loaded and as typed.
    fake.dialogs.then([](QDialog& dialog) {
        auto* grid = testing::child<QTableWidget>(dialog, "sgA");
        EXPECT_EQ(grid->columnCount(), 7);
        EXPECT_EQ(grid->item(0, 3)->toolTip(), "ET1 Engine temperature 1");
        EXPECT_EQ(grid->item(1, 3)->toolTip(), "");
        grid->item(1, 3)->setText(QStringLiteral("0xF004"));
        EXPECT_EQ(grid->item(1, 3)->toolTip(), "EEC1 Electronic engine controller 1");
        grid->item(1, 2)->setText(QStringLiteral("1"));  // data page 1: another parameter group
        EXPECT_EQ(grid->item(1, 3)->toolTip(), "");
    });
    click("btn_RCOB");
    // Define J1939: the frame list.
    fake.dialogs.then([](QDialog& dialog) {
        auto* frames = testing::child<QListWidget>(dialog, "LPdoCanA");
        ASSERT_EQ(frames->count(), 2);
        EXPECT_EQ(frames->item(0)->text(), "6\t0\t65262");
        EXPECT_EQ(frames->item(0)->toolTip(), "ET1 Engine temperature 1");
        EXPECT_EQ(frames->item(1)->toolTip(), "");
    });
    click("btn_Info_RCOB");
    EXPECT_EQ(fake.dialogs.shownTitles.size(), 2u);
}

}  // namespace
}  // namespace tessaro

namespace tessaro {
namespace {

class ProjectMapDialogSignals : public ProjectMapDialog {};

TEST_F(ProjectMapDialogSignals, WithTheProjectsDatabaseTheCellsNameTheirSignalsAndATableSaysHowToEncodeThem) {
    const std::string database = projectFile("signals.dbc");
    replaceFile(database,
                "BO_ 2566843904 ET1: 8 Engine\n"
                " SG_ EngineCoolantTemperature : 0|8@1+ (1,-40) [-40|215] \"degC\" Gateway\n"
                " SG_ FuelTemperature : 8|16@1+ (0.03125,-273) [-273|1774] \"degC\" Gateway\n");
    showMap([](TFProjectMap& dialog) {
        EXPECT_EQ(cell(dialog, "sgFrames", 0, 3), "S1 HR100 high\nS2 IR5 high\n[EngineCoolantTemperature]");
        EXPECT_EQ(cell(dialog, "sgFrames", 0, 4), "S1 HR100 low\n[FuelTemperature]");
        EXPECT_EQ(cell(dialog, "sgFrames", 0, 6), "");
        auto* frames = testing::child<QTableWidget>(dialog, "sgFrames");
        EXPECT_EQ(frames->item(0, 4)->toolTip(), "FuelTemperature");
        auto* signalList = testing::child<QTableWidget>(dialog, "sgSignals");
        EXPECT_TRUE(signalList->isVisibleTo(&dialog));
        ASSERT_EQ(signalList->rowCount(), 2);
        const QStringList expected[] = {
            {"1", "ET1", "EngineCoolantTemperature", "B1", "slave 1 holding 100, slave 2 input 5",
             "raw = physical + 40, 8 bits unsigned, physical in degC"},
            {"1", "ET1", "FuelTemperature", "B2-B3 little-endian", "slave 1 holding 101, slave 1 holding 100",
             "raw = (physical + 273) / 0.03125, 16 bits unsigned, physical in degC"}};
        for (int row = 0; row < 2; ++row)
            for (int column = 0; column < 6; ++column)
                EXPECT_EQ(cell(dialog, "sgSignals", row, column), expected[row][column]) << row << "," << column;
        const QString summary = testing::child<QLabel>(dialog, "LSummary")->text();
        EXPECT_NE(summary.indexOf("frame 1 (ET1): signal FuelTemperature is fed from halves that do not form one "
                                  "value (B2 = slave 1 holding 100 low, B3 = slave 1 holding 101 high)"),
                  -1)
            << summary.toStdString();
    });
    // Without it, the table is not shown.
    std::filesystem::remove(database);
    showMap([](TFProjectMap& dialog) {
        EXPECT_FALSE(testing::child<QTableWidget>(dialog, "sgSignals")->isVisibleTo(&dialog));
        EXPECT_EQ(cell(dialog, "sgFrames", 0, 4), "S1 HR100 low");
    });
    EXPECT_TRUE(fake.messages.shown.empty());
}

}  // namespace
}  // namespace tessaro
