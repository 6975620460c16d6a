#include <gtest/gtest.h>
#include <xlsxwriter.h>
#include <zip.h>

#include "core/documents/AtomicFile.h"
#include "core/documents/Errors.h"
#include "core/exchange/Workbook.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

using Cells = std::vector<std::vector<std::string>>;

// A workbook as another program writes it: the given parts in a zip archive.
std::string archiveOf(const std::vector<std::pair<std::string, std::string>>& parts) {
    const testing::TemporaryFolder folder;
    const std::string path = folder.file("made.xlsx");
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    for (const auto& [name, content] : parts) {
        zip_source_t* source = zip_source_buffer(zip, content.data(), content.size(), 0);
        zip_file_add(zip, name.c_str(), source, ZIP_FL_OVERWRITE);
    }
    zip_close(zip);
    return readFile(path);
}

std::string sheetWorkbook(const std::string& sheetData, const std::string& shared = "",
                          const std::string& styles = "") {
    std::vector<std::pair<std::string, std::string>> parts = {
        {"xl/workbook.xml",
         "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
         "<sheet name=\"other\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"frames\" sheetId=\"2\" r:id=\"rId2\"/>"
         "</sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<Relationships><Relationship Id=\"rId1\" Type=\"x/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
         "<Relationship Id=\"rId2\" Type=\"x/worksheet\" Target=\"/xl/worksheets/sheet2.xml\"/></Relationships>"},
        {"xl/worksheets/sheet1.xml", "<worksheet><sheetData/></worksheet>"},
        {"xl/worksheets/sheet2.xml",
         "<x:worksheet xmlns:x=\"main\"><x:sheetData>" + sheetData + "</x:sheetData></x:worksheet>"},
    };
    if (!shared.empty()) parts.push_back({"xl/sharedStrings.xml", "<sst>" + shared + "</sst>"});
    if (!styles.empty()) parts.push_back({"xl/styles.xml", "<styleSheet>" + styles + "</styleSheet>"});
    return archiveOf(parts);
}

TEST(Workbook, WrittenTextsReadBackAsTheyWere) {
    const Cells cells = {{"N", "PGN", "Mnemonic"}, {"1", "0x10", "001"},
                         {"2", "$10", "3/4"},      {"3", " +4", "two\nlines, \"quoted\" & <marked>"},
                         {"4", "", "Öl °C"},       {"5", "_x0041_ stays, _x005F_ too", "\x01 and \t"}};
    const std::string bytes = workbookBytes({{"frames", cells}, {"groups", {{"N"}}}});
    EXPECT_EQ(cellTexts(readWorkbookSheet(bytes, "frames")), cells);
    EXPECT_EQ(cellTexts(readWorkbookSheet(bytes, "groups")), (Cells{{"N"}}));
}

TEST(Workbook, SharedInlineAndNumberCellsAreReadWithTheirPlaces) {
    const std::string bytes = sheetWorkbook(
        "<x:row r=\"1\"><x:c r=\"A1\" t=\"s\"><x:v>0</x:v></x:c><x:c r=\"C1\" t=\"inlineStr\"><x:is><x:t> lead</x:t>"
        "</x:is></x:c></x:row>"
        "<x:row r=\"3\"><x:c r=\"A3\"><x:v>65535</x:v></x:c><x:c r=\"B3\" t=\"s\"><x:v>1</x:v></x:c>"
        "<x:c r=\"C3\" t=\"str\"><x:v>from a formula</x:v></x:c><x:c r=\"D3\"><x:v>1E+2</x:v></x:c>"
        "<x:c r=\"E3\"><x:v>-0</x:v></x:c></x:row>"
        "<x:row r=\"4\"><x:c r=\"A4\" s=\"0\"/></x:row>",
        "<si><t>N</t></si><si><r><t>ri</t></r><rPh><t>skip</t></rPh><r><t>ch_x0041_</t></r></si>");
    const TextGrid grid = readWorkbookSheet(bytes, "frames");
    EXPECT_EQ(cellTexts(grid), (Cells{{"N", "", " lead"}, {"65535", "richA", "from a formula", "100", "0"}}));
    EXPECT_EQ(grid.rows[1].line, 3u);
    EXPECT_EQ(grid.rows[1].cells[3].column, 4u);
}

TEST(Workbook, WhatASpreadsheetTurnedIntoSomethingElseIsRefusedAtItsPlace) {
    const std::string styles =
        "<numFmts><numFmt numFmtId=\"164\" formatCode=\"[$-409]d/m/yyyy\"/><numFmt numFmtId=\"165\" "
        "formatCode=\"[$€-407]#,##0.00\"/><numFmt numFmtId=\"166\" formatCode=\"000\"/><numFmt numFmtId=\"167\" "
        "formatCode=\"#,##0.0;[Red]\\-#,##0.0\"/><numFmt numFmtId=\"168\" formatCode=\"00.0\"/></numFmts>"
        "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"164\"/><xf numFmtId=\"165\"/>"
        "<xf numFmtId=\"9\"/><xf numFmtId=\"12\"/><xf numFmtId=\"166\"/><xf numFmtId=\"11\"/><xf numFmtId=\"49\"/>"
        "<xf numFmtId=\"2\"/><xf numFmtId=\"167\"/><xf numFmtId=\"168\"/><xf numFmtId=\"3\"/><xf numFmtId=\"1\"/>"
        "</cellXfs>";
    const struct {
        std::string cell;
        const char* what;
    } cases[] = {
        {"<c r=\"B2\" s=\"1\"><v>46085</v></c>",
         "2:2: the spreadsheet has turned this cell into a date or time (2026-03-04)"},
        {"<c r=\"B2\" s=\"2\"><v>46085.5</v></c>",
         "2:2: the spreadsheet has turned this cell into a date or time (2026-03-04)"},
        {"<c r=\"C2\" s=\"3\"><v>10</v></c>", "2:3: the spreadsheet has turned this cell into a currency amount (10)"},
        {"<c r=\"B2\" s=\"4\"><v>0.5</v></c>", "2:2: the spreadsheet has turned this cell into a percentage (50%)"},
        {"<c r=\"B2\" s=\"5\"><v>0.75</v></c>", "2:2: the spreadsheet has turned this cell into a fraction (0.75)"},
        {"<c r=\"B2\" s=\"6\"><v>1</v></c>",
         "2:2: the spreadsheet has turned this cell into a number shown with leading zeros (001)"},
        {"<c r=\"B2\" s=\"9\"><v>3</v></c>",
         "2:2: the spreadsheet has turned this cell into a number shown with 2 decimals (3.00)"},
        {"<c r=\"B2\" s=\"10\"><v>-1234</v></c>",
         "2:2: the spreadsheet has turned this cell into a number shown with 1 decimal (-1,234.0)"},
        {"<c r=\"B2\" s=\"11\"><v>7</v></c>",
         "2:2: the spreadsheet has turned this cell into a number shown with leading zeros and 1 decimal (07.0)"},
        {"<c r=\"B2\" s=\"2\"><v>46085</v></c>",
         "2:2: the spreadsheet has turned this cell into a date or time (2026-03-04)"},
        {"<c r=\"B2\" s=\"7\"><v>1000</v></c>",
         "2:2: the spreadsheet has turned this cell into a number in powers of ten (1000)"},
        {"<c r=\"B2\"><v>1.5</v></c>", "2:2: the spreadsheet has turned this cell into the decimal fraction 1.5"},
        {"<c r=\"B2\" s=\"8\"><v>0.30000000000000004</v></c>",
         "2:2: the spreadsheet has turned this cell into the decimal fraction 0.30000000000000004"},
        {"<c r=\"B2\"><v>12345678901234567890</v></c>",
         "2:2: the spreadsheet has turned this cell into a number too large to keep its digits (12345678901234567168)"},
        {"<c r=\"B2\" t=\"b\"><v>1</v></c>", "2:2: the spreadsheet has turned this cell into the truth value TRUE"},
        {"<c r=\"B2\" t=\"e\"><v>#N/A</v></c>", "2:2: the spreadsheet has turned this cell into the error #N/A"},
        {"<c r=\"B2\" t=\"d\"><v>2026-03-04</v></c>",
         "2:2: the spreadsheet has turned this cell into a date or time (2026-03-04)"},
    };
    for (const auto& c : cases) {
        const std::string bytes = sheetWorkbook(
            "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>N</t></is></c></row><row r=\"2\">" + c.cell + "</row>", "",
            styles);
        try {
            readWorkbookSheet(bytes, "frames");
            ADD_FAILURE() << "accepted: " << c.cell;
        } catch (const ExchangeError& problem) {
            EXPECT_EQ(std::string(problem.what()),
                      std::string(c.what) + ": give the column the text format and type the value again");
        }
    }
}

// A format that shows a whole number with its digits alone, thousands separators or not, keeps it as it was typed.
TEST(Workbook, ANumberShownWithItsDigitsAloneIsRead) {
    const std::string styles =
        "<numFmts><numFmt numFmtId=\"164\" formatCode=\"0&quot; ms&quot;\"/></numFmts>"
        "<cellXfs><xf numFmtId=\"3\"/><xf numFmtId=\"1\"/><xf numFmtId=\"164\"/><xf numFmtId=\"0\"/></cellXfs>";
    const std::string bytes = sheetWorkbook(
        "<row r=\"1\"><c r=\"A1\" s=\"0\"><v>65262</v></c><c r=\"B1\" s=\"1\"><v>7</v>"
        "</c><c r=\"C1\" s=\"2\"><v>100</v></c><c r=\"D1\" s=\"3\"><v>0</v></c></row>",
        "", styles);
    EXPECT_EQ(cellTexts(readWorkbookSheet(bytes, "frames")), (Cells{{"65262", "7", "100", "0"}}));
}

// A sheet ends at XFD1048576: a reference beyond it is refused with the reference, at the place of its row and of
// its cell in the row, instead of being taken as a column or a row that no sheet has.
TEST(Workbook, ACellOrRowBeyondTheLastOfASheetIsRefusedAtItsPlace) {
    const std::string header = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>N</t></is></c></row>";
    const std::string text = "t=\"inlineStr\"><is><t>x</t></is></c></row>";
    const struct {
        std::string rows;
        const char* what;
    } cases[] = {
        {"<row r=\"2\"><c r=\"AAAAAAA2\" " + text,
         "2:1: the cell reference 'AAAAAAA2' lies beyond XFD1048576, the last cell of a sheet"},
        {"<row r=\"2\"><c r=\"B2\" t=\"inlineStr\"><is><t>y</t></is></c><c r=\"XFE2\" " + text,
         "2:3: the cell reference 'XFE2' lies beyond XFD1048576, the last cell of a sheet"},
        {"<row r=\"2\"><c r=\"A1048577\" " + text,
         "2:1: the cell reference 'A1048577' lies beyond XFD1048576, the last cell of a sheet"},
        {"<row r=\"2\"><c r=\"A99999999999999999999999\" " + text,
         "2:1: the cell reference 'A99999999999999999999999' lies beyond XFD1048576, the last cell of a sheet"},
        {"<row r=\"1048577\"><c " + text, "2:1: the row number '1048577' names no row of a sheet (1 to 1048576)"},
        {"<row r=\"0\"><c " + text, "2:1: the row number '0' names no row of a sheet (1 to 1048576)"},
    };
    for (const auto& c : cases) {
        try {
            readWorkbookSheet(sheetWorkbook(header + c.rows), "frames");
            ADD_FAILURE() << "accepted: " << c.rows;
        } catch (const ExchangeError& problem) {
            EXPECT_EQ(std::string(problem.what()), c.what);
        }
    }
    // The last cell itself is a cell like any other, and a row holds only the cells that hold something.
    const TextGrid grid =
        readWorkbookSheet(sheetWorkbook(header + "<row r=\"1048576\"><c r=\"XFD1048576\" " + text), "frames");
    ASSERT_EQ(grid.rows.size(), 2u);
    EXPECT_EQ(grid.rows[1].line, 1048576u);
    ASSERT_EQ(grid.rows[1].cells.size(), 1u);
    EXPECT_EQ(grid.rows[1].cells[0].column, 16384u);
}

// A workbook comes by mail: its parts may unpack to far more than the file holds. Reading takes at most a bounded
// multiple of the file's size, and refuses a workbook whose parts would unpack to more.
TEST(Workbook, AWorkbookThatUnpacksToFarMoreThanItsSizeIsRefused) {
    std::string rows;
    const std::string row = "<row><c t=\"inlineStr\"><is><t>0x10</t></is></c></row>";
    rows.reserve(row.size() * 200000);
    for (int r = 0; r < 200000; ++r) rows += row;
    const std::string bytes = sheetWorkbook(rows);
    ASSERT_LT(bytes.size(), 200000u);  // about 9 MB that deflate to a few tens of kilobytes
    try {
        readWorkbookSheet(bytes, "frames");
        ADD_FAILURE() << "accepted";
    } catch (const Error& problem) {
        EXPECT_EQ(std::string(problem.what()),
                  "not a workbook (.xlsx): xl/worksheets/sheet2.xml unpacks to more than 200 times the file's size");
    }
    // The same texts a hundredth as often are read.
    EXPECT_EQ(readWorkbookSheet(sheetWorkbook(rows.substr(0, row.size() * 2000)), "frames").rows.size(), 2000u);
}

// One shared text repeated in every cell of a sheet: the cells' texts too stay within that bound.
TEST(Workbook, ASharedTextRepeatedBeyondTheBoundIsRefused) {
    std::string rows;
    const std::string row = "<row><c t=\"s\"><v>0</v></c><c t=\"s\"><v>0</v></c></row>";
    for (int r = 0; r < 2000; ++r) rows += row;
    const std::string bytes = sheetWorkbook(rows, "<si><t>" + std::string(100000, 'x') + "</t></si>");
    try {
        readWorkbookSheet(bytes, "frames");
        ADD_FAILURE() << "accepted";
    } catch (const Error& problem) {
        EXPECT_EQ(std::string(problem.what()),
                  "not a workbook (.xlsx): its cells hold texts of more than 200 times the file's size");
    }
}

// Workbooks are stored or deflated; a part packed otherwise would bring a decoder with its own appetite for memory.
TEST(Workbook, APartPackedAsWorkbooksAreNotIsRefused) {
    for (const zip_int32_t method : {ZIP_CM_BZIP2, ZIP_CM_XZ}) {
        if (!zip_compression_method_supported(method, 1)) continue;
        const testing::TemporaryFolder folder;
        const std::string path = folder.file("packed.xlsx");
        int error = 0;
        zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        const std::string content = "<workbook/>";
        const zip_int64_t index =
            zip_file_add(zip, "xl/workbook.xml", zip_source_buffer(zip, content.data(), content.size(), 0), 0);
        zip_set_file_compression(zip, zip_uint64_t(index), method, 0);
        zip_close(zip);
        try {
            readWorkbookSheet(readFile(path), "frames");
            ADD_FAILURE() << "accepted: method " << method;
        } catch (const Error& problem) {
            EXPECT_EQ(std::string(problem.what()),
                      "not a workbook (.xlsx): xl/workbook.xml is packed in a way "
                      "workbooks are not (method " +
                          std::to_string(method) + ")");
        }
    }
}

// "_xHHHH_" stands for a UTF-16 unit: two of them for a character beyond U+FFFF. What stands for no character, and a
// NUL, which no document can hold, are refused at their cell, as in a CSV file.
TEST(Workbook, EscapedCharactersAreReadAsTheUnitsTheyStandFor) {
    const auto cell = [](const std::string& text) {
        return sheetWorkbook(
            "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>N</t></is></c></row><row r=\"2\">"
            "<c r=\"C2\" t=\"inlineStr\"><is><t>" +
            text + "</t></is></c></row>");
    };
    EXPECT_EQ(cellTexts(readWorkbookSheet(cell("_xD83D__xDE00_ _x00E9_ _x005F_x0041_"), "frames"))[1][2],
              "\xF0\x9F\x98\x80 \xC3\xA9 _x0041_");
    for (const char* text : {"a_x0000_b", "_xD800_", "_xDE00__xD83D_", "\xC3("}) {
        try {
            readWorkbookSheet(cell(text), "frames");
            ADD_FAILURE() << "accepted: " << text;
        } catch (const ExchangeError& problem) {
            EXPECT_EQ(std::string(problem.what()), "2:3: the cell is not UTF-8 text (or holds a NUL character)")
                << text;
        } catch (const Error& problem) {
            ADD_FAILURE() << text << ": " << problem.what();
        }
    }
}

TEST(Workbook, ABrokenWorkbookOrAMissingSheetIsRefusedAsAWhole) {
    const std::string good = workbookBytes({{"frames", {{"N"}}}});
    const struct {
        std::string bytes;
        std::string sheet;
        const char* what;
    } cases[] = {
        {"N,PGN\r\n", "frames", "not a workbook (.xlsx): Not a zip archive"},
        {good.substr(0, good.size() / 2), "frames", "not a workbook (.xlsx): Not a zip archive"},
        {good, "groups", "the workbook has no sheet named 'groups', only 'frames'"},
        {archiveOf({{"xl/other.xml", "<x/>"}}), "frames", "not a workbook (.xlsx): xl/workbook.xml is missing"},
    };
    for (const auto& c : cases) {
        try {
            readWorkbookSheet(c.bytes, c.sheet);
            ADD_FAILURE() << "accepted: " << c.what;
        } catch (const Error& problem) {
            EXPECT_EQ(std::string(problem.what()), c.what);
        }
    }
}

// A spreadsheet that opens one CSV file names its one sheet after the file: a table is read from it whatever that
// name, and only then; a workbook that lacks the sheet says which sheets it has, the first eight of many.
TEST(Workbook, ATableIsReadFromTheOnlySheetWhateverItsName) {
    std::string name;
    const std::string lone = workbookBytes({{"engine frames", {{"N", "PGN"}, {"1", "0x10"}}}});
    EXPECT_EQ(cellTexts(readTableSheet(lone, "frames", name)), (Cells{{"N", "PGN"}, {"1", "0x10"}}));
    EXPECT_EQ(name, "engine frames");
    const std::string named = workbookBytes({{"other", {{"x"}}}, {"frames", {{"N"}}}});
    EXPECT_EQ(cellTexts(readTableSheet(named, "frames", name)), (Cells{{"N"}}));
    EXPECT_EQ(name, "frames");

    std::vector<WorkbookSheet> many;
    for (int i = 1; i <= 10; ++i) many.push_back({"Sheet" + std::to_string(i), {{"x"}}});
    const struct {
        std::string bytes;
        bool orTheOnlySheet;
        const char* what;
    } cases[] = {
        {lone, false, "the workbook has no sheet named 'frames', only 'engine frames'"},
        {named, true, "the workbook has no sheet named 'groups', only 'other' and 'frames'"},
        {workbookBytes({{"a", {}}, {"b", {}}, {"c", {}}}), true,
         "the workbook has no sheet named 'groups', only 'a', 'b' and 'c'"},
        {workbookBytes(many), true,
         "the workbook has no sheet named 'groups', only 'Sheet1', 'Sheet2', 'Sheet3', 'Sheet4', 'Sheet5', 'Sheet6', "
         "'Sheet7', 'Sheet8' and 2 more"},
    };
    for (const auto& c : cases) {
        try {
            const std::string_view sheet = c.orTheOnlySheet ? "groups" : "frames";
            if (c.orTheOnlySheet)
                readTableSheet(c.bytes, sheet, name);
            else
                readWorkbookSheet(c.bytes, sheet);
            ADD_FAILURE() << "accepted: " << c.what;
        } catch (const Error& problem) {
            EXPECT_EQ(std::string(problem.what()), c.what);
        }
    }
}

TEST(Workbook, TheHeaderRowIsSetApartAndEveryColumnIsText) {
    const std::string bytes = workbookBytes({{"frames", {{"N", "PGN"}, {"1", "0x10"}}}});
    testing::TemporaryFolder folder;
    const std::string path = folder.write("book.xlsx", bytes);
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_RDONLY, &error);
    ASSERT_NE(zip, nullptr);
    const auto part = [zip](const char* name) {
        zip_stat_t stat;
        zip_stat(zip, name, 0, &stat);
        std::string content(stat.size, '\0');
        zip_file_t* file = zip_fopen(zip, name, 0);
        zip_fread(file, content.data(), stat.size);
        zip_fclose(file);
        return content;
    };
    const std::string styles = part("xl/styles.xml");
    const std::string sheet = part("xl/worksheets/sheet1.xml");
    zip_discard(zip);
    EXPECT_NE(styles.find("<b/>"), std::string::npos);
    EXPECT_NE(styles.find("numFmtId=\"49\""), std::string::npos);  // the text format, "@"
    EXPECT_NE(sheet.find("<pane ySplit=\"1\""), std::string::npos);
    EXPECT_NE(sheet.find("<col min=\"1\" max=\"2\""), std::string::npos);
    EXPECT_EQ(sheet.find("t=\"n\""), std::string::npos);
}

}  // namespace
}  // namespace tessaro
