#include <gtest/gtest.h>
#include <xlsxwriter.h>
#include <zip.h>

#include "documents/AtomicFile.h"
#include "documents/Errors.h"
#include "exchange/Workbook.h"
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
        "formatCode=\"[$€-407]#,##0.00\"/><numFmt numFmtId=\"166\" formatCode=\"000\"/></numFmts>"
        "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"164\"/><xf numFmtId=\"165\"/>"
        "<xf numFmtId=\"9\"/><xf numFmtId=\"12\"/><xf numFmtId=\"166\"/><xf numFmtId=\"11\"/><xf numFmtId=\"49\"/>"
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
         "2:2: the spreadsheet has turned this cell into a number shown with leading zeros (1)"},
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

TEST(Workbook, ABrokenWorkbookOrAMissingSheetIsRefusedAsAWhole) {
    const std::string good = workbookBytes({{"frames", {{"N"}}}});
    const struct {
        std::string bytes;
        std::string sheet;
        const char* what;
    } cases[] = {
        {"N,PGN\r\n", "frames", "not a workbook (.xlsx): Not a zip archive"},
        {good.substr(0, good.size() / 2), "frames", "not a workbook (.xlsx): Not a zip archive"},
        {good, "groups", "the workbook has no sheet named 'groups'"},
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
