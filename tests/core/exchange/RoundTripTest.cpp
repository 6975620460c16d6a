// A project out to CSV files and a workbook and back, through the functions the CLI and the dialogs call.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/documents/AtomicFile.h"
#include "core/documents/Errors.h"
#include "core/exchange/ProjectExchange.h"
#include "core/exchange/Workbook.h"
#include "support/RandomProject.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

const char* const kDocuments[] = {"FrameJ1939.xml", "Group.xml", "DefFrameJ1939.xml"};

struct Documents {
    std::vector<std::string> bytes;
    bool operator==(const Documents&) const = default;
};

Documents documentsOf(const testing::TemporaryFolder& project) {
    Documents documents;
    for (const char* name : kDocuments) documents.bytes.push_back(project.exists(name) ? project.read(name) : "-");
    return documents;
}

void exportTo(TableKind kind, const std::string& folder, const std::string& file) {
    replaceFile(file, tableFileBytes(kind, exportedRows(kind, folder), file));
}

std::string refusal(const std::function<void()>& import) {
    try {
        import();
    } catch (const Error& problem) {
        return problem.what();
    }
    return "accepted";
}

TEST(RoundTrip, RandomProjectsComeBackByteForByteFromCsvAndFromTheWorkbook) {
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        testing::TemporaryFolder project, files;
        testing::RandomProject(seed).writeTo(project.path());
        const Documents written = documentsOf(project);
        for (const TableKind kind : kTableKinds)
            exportTo(kind, project.path(), files.file(std::string(tableName(kind)) + ".csv"));
        replaceFile(files.file("book.xlsx"), projectWorkbookBytes(project.path()));
        for (const char* name : kDocuments) std::filesystem::remove(project.file(name));
        // Frames first: the definitions are checked against them. A random project may have no rows in a table.
        const ImportOptions options{.emptyTables = true};
        for (const TableKind kind : kTableKinds)
            importTableFile(kind, project.path(), files.file(std::string(tableName(kind)) + ".csv"), options);
        EXPECT_EQ(documentsOf(project), written) << "seed " << seed;
        for (const char* name : kDocuments) std::filesystem::remove(project.file(name));
        importWorkbookFile(project.path(), files.file("book.xlsx"), options);
        EXPECT_EQ(documentsOf(project), written) << "seed " << seed;
    }
}

TEST(RoundTrip, HandEditedValuesThatTheEditorsAcceptComeBackUnchanged) {
    testing::TemporaryFolder project, files;
    project.write("Group.xml",
                  "<Group><row Cyclic_Time=\" 0x1F4\" Mnemonic=\"\"/><row Cyclic_Time=\"$10\" "
                  "Mnemonic=\" lead, &quot;q&quot;\"/></Group>");
    project.write("FrameJ1939.xml",
                  "<Frames_J1939><row Priority=\"  0x7\" DataPage=\"+1\" PGN=\"$fef1\" Group=\"7\" Erase=\"Y\" "
                  "Mnemonic=\"3/4\"/><row Priority=\"006\" DataPage=\"X0\" PGN=\"0XFFFF\" Group=\"0\" Erase=\"\" "
                  "Mnemonic=\"001;$10\"/></Frames_J1939>");
    project.write("DefFrameJ1939.xml",
                  "<DefFrame><row NrFrameJ1939=\"1\" Device_ID=\" 0x0A\" Index=\"00100\" Num_Reg=\"7\" Type_Reg=\"4\" "
                  "poscomp0=\"136\" poscomp1=\"1\" poscomp2=\"16\" poscomp3=\"0\" poscomp4=\"18\" poscomp5=\"33\" "
                  "poscomp6=\"0\" poscomp7=\"128\"/><row NrFrameJ1939=\"2\" Device_ID=\"250\" Index=\"$FFFF\" "
                  "Num_Reg=\"0\" Type_Reg=\"3\" poscomp0=\"18\" poscomp1=\"0\" poscomp2=\"0\" poscomp3=\"0\" "
                  "poscomp4=\"0\" poscomp5=\"0\" poscomp6=\"0\" poscomp7=\"0\"/></DefFrame>");
    const Documents edited = documentsOf(project);
    for (const TableKind kind : kTableKinds) {
        exportTo(kind, project.path(), files.file(std::string(tableName(kind)) + ".csv"));
        importTableFile(kind, project.path(), files.file(std::string(tableName(kind)) + ".csv"));
    }
    EXPECT_EQ(documentsOf(project), edited);
    replaceFile(files.file("book.xlsx"), projectWorkbookBytes(project.path()));
    importWorkbookFile(project.path(), files.file("book.xlsx"));
    EXPECT_EQ(documentsOf(project), edited);
    EXPECT_EQ(tableFileBytes(TableKind::definitions, exportedRows(TableKind::definitions, project.path()), "x.csv"),
              "Frame,Device_ID,Index,Points,Type,R1_High,R1_Low,R2_High,R2_Low,R3_High,R3_Low,R4_High,R4_Low,R5_High,"
              "R5_Low,R6_High,R6_Low,R7_High,R7_Low,R8_High,R8_Low\r\n"
              "1, 0x0A,00100,8,Input Register,B8,B8,none,B1,B1,none,none,none,B1,B2,B2,B1,none,none,B8,none\r\n"
              "2,250,$FFFF,1,Holding Register,B1,B2,,,,,,,,,,,,,,\r\n");
}

// What a hand-edited document holds beyond the editors' choices goes out as it is, so that nothing is hidden, and
// is refused on the way back at its cell until the user mends it: no import makes a project that check faults.
TEST(RoundTrip, ValuesTheEditorsRefuseGoOutAsTheyAreAndAreRefusedBack) {
    const std::string frames =
        "<Frames_J1939><row Priority=\"1\" DataPage=\"0\" PGN=\"1\" Group=\"0\" Erase=\"\" "
        "Mnemonic=\"\"/><row Priority=\"1\" DataPage=\"0\" PGN=\"2\" ";
    const std::string definitions =
        "<DefFrame><row NrFrameJ1939=\"1\" Device_ID=\"1\" Index=\"0\" Num_Reg=\"0\" Type_Reg=\"3\" "
        "poscomp0=\"18\" poscomp1=\"0\" poscomp2=\"0\" poscomp3=\"0\" poscomp4=\"0\" poscomp5=\"0\" poscomp6=\"0\" "
        "poscomp7=\"0\"/><row NrFrameJ1939=\"2\" Device_ID=\"1\" Index=\"1\" ";
    const std::string allPositions =
        "poscomp1=\"0\" poscomp2=\"0\" poscomp3=\"0\" poscomp4=\"0\" poscomp5=\"0\" "
        "poscomp6=\"0\" poscomp7=\"0\"/></DefFrame>";
    const struct {
        TableKind kind;
        std::string document;
        const char* exported;  // the second data line
        const char* what;
    } cases[] = {
        {TableKind::frames, frames + "Group=\"11\" Erase=\"\" Mnemonic=\"\"/></Frames_J1939>", "2,1,0,2,11,,",
         ":3:5: Group '11' names no group: 0 (On Request) or 1 to 10"},
        {TableKind::frames, frames + "Group=\"0\" Erase=\"maybe\" Mnemonic=\"\"/></Frames_J1939>", "2,1,0,2,0,maybe,",
         ":3:6: Erase 'maybe' is neither Y nor N (nor empty)"},
        {TableKind::definitions, definitions + "Num_Reg=\"8\" Type_Reg=\"3\" poscomp0=\"18\" " + allPositions,
         "2,1,1,9,Holding Register,B1,B2,none,none,none,none,none,none,none,none,none,none,none,none,none,none",
         ":3:4: Points '9' is no number of points: 1 to 8"},
        {TableKind::definitions, definitions + "Num_Reg=\"0\" Type_Reg=\"5\" poscomp0=\"18\" " + allPositions,
         "2,1,1,1,5,B1,B2,,,,,,,,,,,,,,", ":3:5: Type '5' is neither \"Holding Register\" nor \"Input Register\""},
        {TableKind::definitions, definitions + "Num_Reg=\"0\" Type_Reg=\"4\" poscomp0=\"146\" " + allPositions,
         "2,1,1,1,Input Register,B9,B2,,,,,,,,,,,,,,", ":3:6: R1_High 'B9' names no frame byte: \"none\" or B1 to B8"},
    };
    for (const auto& c : cases) {
        testing::TemporaryFolder project, files;
        const std::string plainFrames = frames + "Group=\"0\" Erase=\"\" Mnemonic=\"\"/></Frames_J1939>";
        project.write("FrameJ1939.xml", c.kind == TableKind::frames ? c.document : plainFrames);
        if (c.kind == TableKind::definitions) project.write("DefFrameJ1939.xml", c.document);
        const Documents before = documentsOf(project);
        const std::string file = files.file("table.csv");
        exportTo(c.kind, project.path(), file);
        const std::string csv = files.read("table.csv");
        EXPECT_NE(csv.find(std::string("\r\n") + c.exported + "\r\n"), std::string::npos) << csv;
        EXPECT_EQ(refusal([&] { importTableFile(c.kind, project.path(), file); }), file + c.what);
        EXPECT_EQ(documentsOf(project), before);
    }
}

// A lowercase y builds as set while the grid shows the box cleared: it comes back as the Y the box shows set.
TEST(RoundTrip, ALowercaseEraseComesBackInTheCaseTheCheckBoxShows) {
    testing::TemporaryFolder project, files;
    project.write(
        "FrameJ1939.xml",
        "<Frames_J1939><row Priority=\"1\" DataPage=\"0\" PGN=\"1\" Group=\"0\" Erase=\"y\" Mnemonic=\"\"/>"
        "<row Priority=\"1\" DataPage=\"0\" PGN=\"2\" Group=\"0\" Erase=\"n\" Mnemonic=\"\"/></Frames_J1939>");
    exportTo(TableKind::frames, project.path(), files.file("frames.csv"));
    EXPECT_EQ(files.read("frames.csv"),
              "N,Priority,DataPage,PGN,Group,Erase,Mnemonic\r\n1,1,0,1,0,y,\r\n2,1,0,2,0,n,\r\n");
    importTableFile(TableKind::frames, project.path(), files.file("frames.csv"));
    EXPECT_EQ(project.read("FrameJ1939.xml"),
              "<Frames_J1939><row Priority=\"1\" DataPage=\"0\" PGN=\"1\" Group=\"0\" Erase=\"Y\" Mnemonic=\"\"/>"
              "<row Priority=\"1\" DataPage=\"0\" PGN=\"2\" Group=\"0\" Erase=\"N\" Mnemonic=\"\"/></Frames_J1939>");
}

// The frame list leaves out the definitions of frames that the frame table lacks; the export writes them too, after
// the others and grouped by frame, and the import then names the first of them until the user mends it.
TEST(RoundTrip, DefinitionsOfFramesTheTableLacksGoOutToo) {
    testing::TemporaryFolder project, files;
    project.write("FrameJ1939.xml",
                  "<Frames_J1939><row Priority=\"1\" DataPage=\"0\" PGN=\"1\" Group=\"0\" Erase=\"\" Mnemonic=\"\"/>"
                  "<row Priority=\"1\" DataPage=\"0\" PGN=\"2\" Group=\"0\" Erase=\"\" Mnemonic=\"\"/></Frames_J1939>");
    const auto row = [](const char* frame, const char* index) {
        return std::string("<row NrFrameJ1939=\"") + frame + "\" Device_ID=\"1\" Index=\"" + index +
               "\" Num_Reg=\"0\" Type_Reg=\"3\" poscomp0=\"18\" poscomp1=\"0\" poscomp2=\"0\" poscomp3=\"0\" "
               "poscomp4=\"0\" poscomp5=\"0\" poscomp6=\"0\" poscomp7=\"0\"/>";
    };
    project.write("DefFrameJ1939.xml", "<DefFrame>" + row("5", "50") + row("1", "10") + row("3", "30") +
                                           row("2", "20") + row("5", "51") + row("3", "31") + "</DefFrame>");
    const Documents before = documentsOf(project);
    const std::string tail = ",1,Holding Register,B1,B2,,,,,,,,,,,,,,\r\n";
    EXPECT_EQ(tableFileBytes(TableKind::definitions, exportedRows(TableKind::definitions, project.path()), "x.csv"),
              "Frame,Device_ID,Index,Points,Type,R1_High,R1_Low,R2_High,R2_Low,R3_High,R3_Low,R4_High,R4_Low,R5_High,"
              "R5_Low,R6_High,R6_Low,R7_High,R7_Low,R8_High,R8_Low\r\n"
              "1,1,10" +
                  tail + "2,1,20" + tail + "3,1,30" + tail + "3,1,31" + tail + "5,1,50" + tail + "5,1,51" + tail);
    const std::string file = files.file("definitions.csv");
    exportTo(TableKind::definitions, project.path(), file);
    EXPECT_EQ(refusal([&] { importTableFile(TableKind::definitions, project.path(), file); }),
              file + ":4:1: there is no frame 3: the frame table holds 2 frames");
    replaceFile(files.file("book.xlsx"), projectWorkbookBytes(project.path()));
    EXPECT_EQ(refusal([&] { importWorkbookFile(project.path(), files.file("book.xlsx")); }),
              files.file("book.xlsx") + "[definitions]:4:1: there is no frame 3: the frame table holds 2 frames");
    EXPECT_EQ(documentsOf(project), before);

    // A row of a frame beyond the table that cannot be read stops the export at its place, as any other would.
    project.write("DefFrameJ1939.xml", "<DefFrame>" + row("1", "10") + "<row NrFrameJ1939=\"4\"/></DefFrame>");
    EXPECT_EQ(refusal([&] { exportedRows(TableKind::definitions, project.path()); }),
              "Error in reading file SDOPDO XML\nDefFrameJ1939.xml, row 2, attribute Device_ID");
}

TEST(RoundTrip, AFileCutShortChangesNothing) {
    testing::TemporaryFolder project, files;
    testing::RandomProject(7).writeTo(project.path());
    const Documents before = documentsOf(project);
    const std::string csv = tableFileBytes(TableKind::frames, exportedRows(TableKind::frames, project.path()), "f.csv");
    ASSERT_GT(csv.size(), 200u);
    for (std::size_t cut = 1; cut < csv.size(); ++cut) {
        // A file cut at a line's end reads as a shorter table.
        if (csv[cut - 1] == '\n' || csv[cut - 1] == '\r') continue;
        const std::string file = files.write("cut.csv", csv.substr(0, cut));
        EXPECT_NE(refusal([&] { importTableFile(TableKind::frames, project.path(), file); }), "accepted") << cut;
    }
    EXPECT_EQ(documentsOf(project), before);

    const std::string book = projectWorkbookBytes(project.path());
    for (std::size_t cut = 0; cut < book.size(); cut += 97) {
        const std::string file = files.write("cut.xlsx", book.substr(0, cut));
        EXPECT_NE(refusal([&] { importWorkbookFile(project.path(), file); }), "accepted") << cut;
    }
    EXPECT_EQ(documentsOf(project), before);
}

TEST(RoundTrip, AWorkbookIsCheckedWholeBeforeAnyDocumentIsWritten) {
    testing::TemporaryFolder project, files;
    testing::RandomProject(3).writeTo(project.path());
    const Documents before = documentsOf(project);
    // Definitions that name a frame beyond the workbook's own frames sheet.
    testing::TemporaryFolder other;
    other.write("FrameJ1939.xml",
                "<Frames_J1939><row Priority=\"1\" DataPage=\"0\" PGN=\"1\" Group=\"0\" Erase=\"\" "
                "Mnemonic=\"\"/></Frames_J1939>");
    other.write("DefFrameJ1939.xml", "<DefFrame/>");
    TextRows definitions = {tableHeader(TableKind::definitions),
                            {"2", "1", "0", "1", "Holding Register", "none", "none"}};
    const std::string file = files.file("book.xlsx");
    replaceFile(file, workbookBytes({{"frames", exportedRows(TableKind::frames, other.path())},
                                     {"groups", exportedRows(TableKind::groups, other.path())},
                                     {"definitions", definitions}}));
    EXPECT_EQ(refusal([&] { importWorkbookFile(project.path(), file); }),
              file + "[definitions]:2:1: there is no frame 2: the frame table holds 1 frame");
    EXPECT_EQ(documentsOf(project), before);
    replaceFile(file, workbookBytes({{"frames", exportedRows(TableKind::frames, other.path())}}));
    EXPECT_EQ(refusal([&] { importWorkbookFile(project.path(), file); }),
              file + ": the workbook has no sheet named 'groups', only 'frames'");
    EXPECT_EQ(documentsOf(project), before);
}

TEST(RoundTrip, ExportRefusesADocumentItCannotRead) {
    testing::TemporaryFolder project;
    project.write("FrameJ1939.xml", "<Frames_J1939><row Priority=\"1\"/></Frames_J1939>");
    EXPECT_EQ(refusal([&] { exportedRows(TableKind::frames, project.path()); }),
              "Could not convert variant of type (Null) into type (String)\nFrameJ1939.xml, row 1, attribute DataPage");
    project.write("Group.xml", "<Group><row");
    EXPECT_NE(refusal([&] { exportedRows(TableKind::groups, project.path()); }), "accepted");
}

}  // namespace
}  // namespace tessaro
