#include <QDate>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <algorithm>
#include <climits>
#include <filesystem>

#include "core/documents/AtomicFile.h"
#include "core/map/MapFormats.h"
#include "gui/map/UProjectMap.h"
#include "support/CellTip.h"
#include "support/GuiFixture.h"
#include "support/MapProject.h"
#include "support/PdfText.h"
#include "support/WaitForClose.h"

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
    // Save PDF pressed in the map, with the user's part in its progress dialog.
    void savePdf(QDialog& map, std::function<void(QDialog&)> progress) {
        fake.dialogs.then(std::move(progress));
        testing::child<QPushButton>(map, "BtnSavePdf")->click();
    }
    // The user waits for the progress dialog to close by itself, as it does once the file is written.
    static void untilClosed(QDialog& progress) {
        EXPECT_EQ(progress.windowTitle(), "Save PDF");
        testing::waitForClose(progress);
    }
    static std::vector<std::vector<QString>> rowsOf(QTableWidget* table) {
        std::vector<std::vector<QString>> rows;
        for (int row = 0; row < table->rowCount(); ++row) {
            std::vector<QString>& cells = rows.emplace_back();
            for (int column = 0; column < table->columnCount(); ++column)
                cells.push_back(table->item(row, column)->text());
        }
        return rows;
    }
    static void clickTitle(QTableWidget* table, int column) {
        QHeaderView* header = table->horizontalHeader();
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2));
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
                  "2 frames, 1 byte fed twice, 2 polled ranges, 1 finding");
        EXPECT_EQ(rowsOf(testing::child<QTableWidget>(dialog, "sgFindings")),
                  (std::vector<std::vector<QString>>{{"1", "1", "frame 1: B1 is fed by 2 register halves"}}));
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

TEST_F(ProjectMapDialog, SavePdfWritesThePdfOfTheMapOnceItsProgressEnds) {
    fake.files.answer = QString::fromStdString(tool.file("map.pdf"));
    showMap([this](TFProjectMap& dialog) { savePdf(dialog, untilClosed); });
    EXPECT_EQ(fake.files.calls.at(0).start.toStdString(), projectFile("ProjectMap.pdf"));
    EXPECT_EQ(fake.dialogs.shownTitles, (std::vector<QString>{"Project Map", "Save PDF"}));
    EXPECT_EQ(tool.read("map.pdf").substr(0, 5), "%PDF-");
    const std::vector<std::string> pages = testing::pdfPages(tool, tool.file("map.pdf"));
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_NE(pages[0].find("Project: map"), std::string::npos) << pages[0];
    EXPECT_NE(pages[0].find("Date: " + QDate::currentDate().toString(Qt::ISODate).toStdString()), std::string::npos);
    EXPECT_NE(pages[0].find("frame 1: B1 is fed by 2 register halves"), std::string::npos) << pages[0];
    EXPECT_TRUE(fake.messages.shown.empty());
}

// However the user stops it, Save PDF leaves no file behind, and the one it was to replace as it was.
TEST_F(ProjectMapDialog, CancelledSavePdfWritesNothing) {
    const struct {
        const char* how;
        std::function<void(QDialog&)> stop;
    } cases[] = {
        {"Cancel",
         [](QDialog& progress) {
             auto* cancel = testing::child<QPushButton>(progress, "BtnCancel");
             EXPECT_TRUE(cancel->isEnabled());
             QTest::mouseClick(cancel, Qt::LeftButton);
         }},
        {"the window closed", [](QDialog& progress) { progress.close(); }},
    };
    for (const auto& stopped : cases)
        for (const bool before : {false, true}) {
            SCOPED_TRACE(std::string(stopped.how) + (before ? ", over a file" : ""));
            std::filesystem::remove_all(tool.file("out"));
            if (before) tool.write("out/map.pdf", "the previous sheet");
            std::filesystem::create_directories(tool.file("out"));
            fake.files.answer = QString::fromStdString(tool.file("out/map.pdf"));
            showMap([&](TFProjectMap& dialog) { savePdf(dialog, stopped.stop); });
            EXPECT_EQ(tool.exists("out/map.pdf"), before);
            if (before) {
                EXPECT_EQ(tool.read("out/map.pdf"), "the previous sheet");
            }
            // Nor a temporary file beside it.
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tool.file("out")), {}), before ? 1 : 0);
            EXPECT_TRUE(fake.messages.shown.empty());
        }
}

TEST_F(ProjectMapDialog, UnwritableFileGoesToTheStandardErrorBox) {
    fake.files.answer = QString::fromStdString(tool.file("no-such-folder/map.pdf"));
    showMap([this](TFProjectMap& dialog) { savePdf(dialog, untilClosed); });
    ASSERT_EQ(fake.messages.shown.size(), 1u);
    EXPECT_EQ(fake.messages.shown[0].kind, "standardError");
    EXPECT_NE(fake.messages.shown[0].text.find("no-such-folder/map.pdf"), std::string::npos);
}

// Every finding, whatever their number, sorted by the title the user clicks; a finding about no frame goes after
// those about one.
TEST_F(ProjectMapDialog, FindingsListHoldsEveryFindingAndSortsByEachColumn) {
    std::vector<testing::MapFrame> frames = {{"65262", "1"}, {"65263", "4"}, {"65264", "1"}};
    std::vector<testing::MapDefinition> definitions = {
        {3, 1, 0, {0x10}}, {3, 2, 0, {0x10}}, {9, 1, 10, {0x10}}, {1, 1, 20, {0x20}}, {1, 2, 20, {0x20}}};
    for (int f = 4; f <= 30; ++f) {
        frames.push_back({std::to_string(65000 + f), "1"});
        definitions.push_back({f, 1, 100 + f, {0x80}});
        definitions.push_back({f, 2, 100 + f, {0x08}});
    }
    testing::writeMapProjectAt(window->project().projectFolder, frames, definitions, {1000});
    const ProjectMap map = buildProjectMap(window->project().projectFolder);
    ASSERT_EQ(map.findings.size(), 30u);
    std::vector<std::vector<QString>> found;
    for (const std::vector<std::string>& row : findingTable(map).rows)
        found.push_back({toQt(row[0]), toQt(row[1]), toQt(row[2])});
    const auto frameKey = [](const std::vector<QString>& row) { return row[1].isEmpty() ? INT_MAX : row[1].toInt(); };
    std::vector<std::vector<QString>> byFrame = found, byFrameDown = found, byText = found;
    std::stable_sort(byFrame.begin(), byFrame.end(), [&](auto& a, auto& b) { return frameKey(a) < frameKey(b); });
    std::stable_sort(byFrameDown.begin(), byFrameDown.end(),
                     [&](auto& a, auto& b) { return frameKey(a) > frameKey(b); });
    std::stable_sort(byText.begin(), byText.end(), [](auto& a, auto& b) { return a[2] < b[2]; });
    ASSERT_NE(byFrame, found);

    showMap([&](TFProjectMap& dialog) {
        auto* list = testing::child<QTableWidget>(dialog, "sgFindings");
        EXPECT_EQ(list->horizontalHeaderItem(1)->text(), "Frame");
        EXPECT_EQ(rowsOf(list), found);
        EXPECT_EQ(found.front()[2], "frame 2: group 4 does not exist (Group.xml holds 1 group)");
        clickTitle(list, 1);
        EXPECT_EQ(rowsOf(list), byFrame);
        clickTitle(list, 1);
        EXPECT_EQ(rowsOf(list), byFrameDown);
        clickTitle(list, 2);
        EXPECT_EQ(rowsOf(list), byText);
        clickTitle(list, 0);
        EXPECT_EQ(rowsOf(list), found);
        EXPECT_EQ(testing::child<QLabel>(dialog, "LSummary")->text().toStdString(),
                  "30 frames, 29 bytes fed twice, " +
                      plural(pollingTable(map).rows.size(), "polled range", "polled ranges") + ", 30 findings");
    });
}

// The columns are as wide as their texts; a cell that still cuts its text gives it whole as its tip, before the tip
// of its own.
TEST_F(ProjectMapDialog, ACellThatCutsItsTextShowsItWholeAsItsTip) {
    // B1 of frame 1 fed by six register halves: more lines than a row shows.
    testing::writeMapProjectAt(
        window->project().projectFolder, {{"65262", "1"}},
        {{1, 1, 100, {0x10, 0x10, 0x10}}, {1, 2, 5, {0x10, 0x10}, 4}, {1, 3, 7, {0x10}}, {1, 4, 9, {0x02}}}, {1000});
    showMap([](TFProjectMap& dialog) {
        auto* frames = testing::child<QTableWidget>(dialog, "sgFrames");
        const QString b1 = frames->item(0, 3)->text();
        EXPECT_EQ(b1, "S1 HR100 high\nS1 HR101 high\nS1 HR102 high\nS2 IR5 high\nS2 IR6 high\nS3 HR7 high");
        EXPECT_EQ(testing::tipOfCell(frames, frames->model()->index(0, 3)), b1 + "\nFed by 6 register halves");
        // The PGN cell shows its whole text: its tip is its name alone.
        EXPECT_EQ(testing::tipOfCell(frames, frames->model()->index(0, 1)), "ET1 Engine temperature 1");
        // B2 shows all of its one line and has no tip.
        EXPECT_EQ(testing::tipOfCell(frames, frames->model()->index(0, 4)), "");
        EXPECT_LE(frames->horizontalHeader()->length(), frames->viewport()->width()) << "the grid scrolls across";
        for (int column = 0; column < frames->columnCount(); ++column)
            EXPECT_GE(frames->columnWidth(column),
                      frames->fontMetrics().horizontalAdvance(frames->item(0, column)->text().section('\n', 0, 0)))
                << column;
    });
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
        // A PDU1 PGN names its parameter group whatever its destination.
        grid->item(1, 2)->setText(QStringLiteral("0"));
        grid->item(1, 3)->setText(QStringLiteral("0xEA21"));
        EXPECT_EQ(grid->item(1, 3)->toolTip(), "RQST Request");
        grid->item(1, 3)->setText(QStringLiteral("3"));
        EXPECT_EQ(grid->item(1, 3)->toolTip(), "TSC1 Torque/speed control 1");
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
        const QString fuel = QString::fromUtf8(
            "FuelTemperature, B2 bits 0–7 and B3 bits 0–7 (start bit 8, 16 bits little-endian), from slave 1 holding "
            "101, slave 1 holding 100: raw = (physical + 273) / 0.03125, 16 bits unsigned, physical in degC; holding "
            "101 = raw & 0xFF00 in bits 8–15, holding 100 = raw & 0xFF in bits 0–7; example: 200 degC → raw 15136 → "
            "holding 101 = 0x3B00, holding 100 = 0x0020");
        EXPECT_EQ(frames->item(0, 4)->toolTip(), fuel);
        EXPECT_EQ(frames->item(0, 6)->toolTip(), "");
        // A byte fed twice says so first.
        EXPECT_EQ(frames->item(0, 3)->toolTip().section(QLatin1Char('\n'), 0, 0), "Fed by 2 register halves");
        EXPECT_TRUE(frames->item(0, 3)
                        ->toolTip()
                        .section(QLatin1Char('\n'), 1)
                        .startsWith("EngineCoolantTemperature, B1 bits 0–7"));
        auto* signalList = testing::child<QTableWidget>(dialog, "sgSignals");
        EXPECT_TRUE(signalList->isVisibleTo(&dialog));
        ASSERT_EQ(signalList->rowCount(), 2);
        ASSERT_EQ(signalList->columnCount(), 7);
        EXPECT_EQ(signalList->horizontalHeaderItem(3)->text(), "Bits");
        const QStringList expected[] = {
            {"1", "ET1", "EngineCoolantTemperature",
             QString::fromUtf8("B1 bits 0–7 (start bit 0, 8 bits little-endian)"),
             "slave 1 holding 100, slave 2 input 5",
             // B1 is fed twice: its value is no one's, and so are its bits.
             QString::fromUtf8(
                 "raw = physical + 40, 8 bits unsigned, physical in degC; B1 is fed twice, so no register "
                 "holds its bits alone; example: 20 degC → raw 60"),
             ""},
            {"1", "ET1", "FuelTemperature",
             QString::fromUtf8("B2 bits 0–7 and B3 bits 0–7 (start bit 8, 16 bits little-endian)"),
             "slave 1 holding 101, slave 1 holding 100", fuel.section(QStringLiteral(": "), 1), ""}};
        for (int row = 0; row < 2; ++row)
            for (int column = 0; column < 7; ++column) {
                EXPECT_EQ(cell(dialog, "sgSignals", row, column), expected[row][column]) << row << "," << column;
                EXPECT_EQ(signalList->item(row, column)->toolTip(), expected[row][column]) << row << "," << column;
            }
        const auto findings = rowsOf(testing::child<QTableWidget>(dialog, "sgFindings"));
        EXPECT_NE(std::find_if(findings.begin(), findings.end(),
                               [](const std::vector<QString>& row) {
                                   return row[1] == "1" &&
                                          row[2] ==
                                              "frame 1 (ET1): signal FuelTemperature is fed from halves that do not "
                                              "form one value (B2 = slave 1 holding 100 low, B3 = slave 1 holding 101 "
                                              "high)";
                               }),
                  findings.end());
        // The signal's name is not cut: its cell gives its own tip alone.
        EXPECT_EQ(testing::tipOfCell(frames, frames->model()->index(0, 4)), fuel);
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

namespace tessaro {
namespace {

TEST_F(ProjectMapDialogSignals, MultiplexedSignalsSpnsAndValueTextsShowInTheCellsTipsAndTable) {
    // Frame 1 becomes the multiplexed message: its multiplexer in B1, what it chooses in B2 and B3.
    testing::writeMapProjectAt(window->project().projectFolder, {{"0xFF10", "1"}}, {{1, 1, 100, {0x12, 0x30}}}, {1000});
    replaceFile(projectFile("signals.dbc"),
                "BO_ 2566852611 Muxed: 8 Engine\n"
                " SG_ Page M : 0|8@1+ (1,0) [0|255] \"\" Gateway\n"
                " SG_ PageA m0 : 8|16@1+ (1,0) [0|65535] \"\" Gateway\n"
                " SG_ PageB m1 : 8|8@1+ (1,0) [0|255] \"\" Gateway\n"
                "BA_ \"SPN\" SG_ 2566852611 Page 1234;\n"
                "VAL_ 2566852611 Page 0 \"first\" 1 \"second\" ;\n");
    showMap([](TFProjectMap& dialog) {
        EXPECT_EQ(cell(dialog, "sgFrames", 0, 3), "S1 HR100 high\n[Page]");
        EXPECT_EQ(cell(dialog, "sgFrames", 0, 4), "S1 HR100 low\n{PageA}\n{PageB}");
        EXPECT_EQ(cell(dialog, "sgFrames", 0, 5), "S1 HR101 high\n{PageA}");
        auto* frames = testing::child<QTableWidget>(dialog, "sgFrames");
        const QStringList b2 = frames->item(0, 4)->toolTip().split(QLatin1Char('\n'));
        ASSERT_EQ(b2.size(), 2);
        EXPECT_TRUE(b2[0].startsWith("PageA when Page = 0, B2 bits 0–7 and B3 bits 0–7")) << b2[0].toStdString();
        EXPECT_TRUE(b2[1].startsWith("PageB when Page = 1, B2 bits 0–7")) << b2[1].toStdString();
        EXPECT_TRUE(frames->item(0, 3)->toolTip().endsWith("; values: 0 first, 1 second"))
            << frames->item(0, 3)->toolTip().toStdString();
        auto* signalList = testing::child<QTableWidget>(dialog, "sgSignals");
        ASSERT_EQ(signalList->rowCount(), 3);
        EXPECT_EQ(cell(dialog, "sgSignals", 0, 2), "Page (SPN 1234)");
        EXPECT_EQ(cell(dialog, "sgSignals", 0, 6), "0 first, 1 second");
        EXPECT_EQ(cell(dialog, "sgSignals", 1, 2), "PageA when Page = 0");
        EXPECT_EQ(cell(dialog, "sgSignals", 2, 2), "PageB when Page = 1");
        for (const std::vector<QString>& row : rowsOf(testing::child<QTableWidget>(dialog, "sgFindings")))
            EXPECT_EQ(row[2].indexOf("no signal"), -1) << row[2].toStdString();
    });
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(ProjectMapDialogSignals, ADatabaseWithoutAMessageIsAnErrorBox) {
    replaceFile(projectFile("signals.dbc"), "VERSION \"\"\n\nNS_ :\n\nBS_:\n\nBU_: Engine\n");
    showMap([](TFProjectMap& dialog) { EXPECT_FALSE(dialog.map()); });
    ASSERT_EQ(fake.messages.shown.size(), 1u);
    EXPECT_EQ(fake.messages.shown[0].kind, "standardError");
    EXPECT_NE(fake.messages.shown[0].text.find(projectFile("signals.dbc") + "\" holds no message"), std::string::npos)
        << fake.messages.shown[0].text;
}

}  // namespace
}  // namespace tessaro
