#include <gtest/gtest.h>

#include "core/exchange/CsvText.h"
#include "core/exchange/ExchangeTables.h"

namespace tessaro {
namespace {

const std::string kFrameHeader = "N,Priority,DataPage,PGN,Group,Erase,Mnemonic\n";
const std::string kGroupHeader = "N,Cyclic_Time,Mnemonic\n";
const std::string kDefinitionHeader =
    "Frame,Device_ID,Index,Points,Type,R1_High,R1_Low,R2_High,R2_Low,R3_High,R3_Low,R4_High,R4_Low,R5_High,R5_Low,"
    "R6_High,R6_Low,R7_High,R7_Low,R8_High,R8_Low\n";

std::string refusal(TableKind kind, const std::string& text, std::size_t frameCount = 3) {
    try {
        const TextGrid grid = readCsv(text);
        if (kind == TableKind::frames) importFrameRows(grid);
        if (kind == TableKind::groups) importGroupRows(grid);
        if (kind == TableKind::definitions) importDefinitionRows(grid, frameCount);
    } catch (const ExchangeError& problem) {
        return problem.what();
    }
    return "accepted";
}

TEST(ExchangeTables, TheHeadersNameTheDocumentsAttributes) {
    EXPECT_EQ(writeCsv({tableHeader(TableKind::frames)}), "N,Priority,DataPage,PGN,Group,Erase,Mnemonic\r\n");
    EXPECT_EQ(writeCsv({tableHeader(TableKind::groups)}), "N,Cyclic_Time,Mnemonic\r\n");
    std::string definitionHeader = kDefinitionHeader;
    definitionHeader.insert(definitionHeader.size() - 1, "\r");
    EXPECT_EQ(writeCsv({tableHeader(TableKind::definitions)}), definitionHeader);
}

TEST(ExchangeTables, EachRefusalSaysItsLineAndColumn) {
    const struct {
        TableKind kind;
        std::string text;
        const char* what;
    } cases[] = {
        {TableKind::frames, "",
         "1:1: the file holds no header line (N, Priority, DataPage, PGN, Group, Erase, Mnemonic)"},
        {TableKind::frames, "N,Priority,DataPage,PGN,Group,Erase,Mnemonic,Colour\n",
         "1:8: unknown column 'Colour': the frames table has the columns N, Priority, DataPage, PGN, Group, Erase, "
         "Mnemonic"},
        {TableKind::frames, "N,Priority,DataPage,PGN,Group,Erase\n",
         "1:7: the column 'Mnemonic' is missing: the frames table has the columns N, Priority, DataPage, PGN, Group, "
         "Erase, Mnemonic"},
        {TableKind::frames, "N,Priority,PGN,DataPage,PGN,Group,Erase,Mnemonic\n",
         "1:5: the column 'PGN' is given twice"},
        {TableKind::frames, "N,Priority,DataPage,,PGN,Group,Erase,Mnemonic\n",
         "1:4: the column has no name: the frames table has the columns N, Priority, DataPage, PGN, Group, Erase, "
         "Mnemonic"},
        {TableKind::frames, "N,Priority,DataPage,PGN,Group,Erase,,\n",
         "1:7: the column 'Mnemonic' is missing: the frames table has the columns N, Priority, DataPage, PGN, Group, "
         "Erase, Mnemonic"},
        {TableKind::frames, kFrameHeader.substr(0, kFrameHeader.size() - 1) + ",,\n1,6,0,100,0,,,,x\n",
         "2:9: a cell beyond the last column of the header (N, Priority, DataPage, PGN, Group, Erase, Mnemonic)"},
        {TableKind::frames, kFrameHeader + "1,6,0,100,0,,\n3,6,0,100,0,,\n",
         "3:1: N is '3' where row 2 stands: the rows are numbered 1, 2, 3 ... in order"},
        {TableKind::frames, kFrameHeader + "1,8,0,100,0,,\n",
         "2:2: Error in row 1!! The Priority must to be between 0 and 7 (the cell holds '8')"},
        {TableKind::frames, kFrameHeader + "1,6,0,100,0,,\n2,6,2,100,0,,\n",
         "3:3: Error in row 2!! The Data Page must to be 0 or 1 (the cell holds '2')"},
        {TableKind::frames, kFrameHeader + "1,6,0,\"12 \",0,,\n",
         "2:4: Error in row 1!! The PGN must to be between 0x0000 and 0xFFFF (the cell holds '12 ')"},
        {TableKind::frames, kFrameHeader + "1,,0,100,0,,\n",
         "2:2: Error in row 1!! The Priority must to be between 0 and 7 (the cell holds '')"},
        {TableKind::frames, kFrameHeader + "1,6,0,100,G1,,\n", "2:5: 'G1' is not a valid integer value"},
        {TableKind::frames, kFrameHeader + "1,6,0,100,0,,,extra\n",
         "2:8: a cell beyond the last column of the header (N, Priority, DataPage, PGN, Group, Erase, Mnemonic)"},
        {TableKind::frames, "Mnemonic,PGN,Priority,N,DataPage,Group,Erase\n\"two\nlines\",65536,1,1,0,0,\n",
         "3:2: Error in row 1!! The PGN must to be between 0x0000 and 0xFFFF (the cell holds '65536')"},
        {TableKind::groups, kGroupHeader + "1,0,\n",
         "2:2: Error in row 1!! The Cyclic Time must be between 1 and 65535 mS (the cell holds '0')"},
        {TableKind::groups,
         kGroupHeader + "1,1,a\n2,1,b\n3,1,c\n4,1,d\n5,1,e\n6,1,f\n7,1,g\n8,1,h\n9,1,i\n10,1,j\n11,1,k\n",
         "12:1: the table holds at most 10 groups"},
        {TableKind::definitions, kDefinitionHeader + "4,1,0,1,Holding Register\n",
         "2:1: there is no frame 4: the frame table holds 3 frames"},
        {TableKind::definitions, kDefinitionHeader + "0,1,0,1,Holding Register\n",
         "2:1: there is no frame 0: the frame table holds 3 frames"},
        {TableKind::definitions, kDefinitionHeader + "1,251,0,1,Holding Register\n",
         "2:2: Device ID must be between 1 and 250 (the cell holds '251')"},
        {TableKind::definitions, kDefinitionHeader + "1,0,65536,1,Holding Register\n",
         "2:3: Index Modbus must be between 0 and 65535 (the cell holds '65536')"},
        {TableKind::definitions, kDefinitionHeader + "1,1,0,0,Holding Register\n",
         "2:4: Points '0' is no number of points: 1 to 8"},
        {TableKind::definitions, kDefinitionHeader + "1,1,0,1,holding register\n",
         "2:5: Type 'holding register' is neither \"Holding Register\" nor \"Input Register\""},
        {TableKind::definitions, kDefinitionHeader + "1,1,0,1,Input Register,B1,B0\n",
         "2:7: R1_Low 'B0' names no frame byte: \"none\" or B1 to B8"},
        {TableKind::definitions, kDefinitionHeader + "1,1,0,1,Input Register,B1,B2,B3\n",
         "2:8: R2_High names the frame byte 'B3', but the definition has 1 point: leave the registers beyond Points "
         "empty"},
    };
    for (const auto& c : cases) EXPECT_EQ(refusal(c.kind, c.text), c.what) << c.text;
}

// A value comes back only when the editors' OK could have stored it: a group of the Group column's list, an Erase
// Data box set, cleared or never touched, a number of points, a kind and frame bytes of the definition's lists.
TEST(ExchangeTables, WhatNoEditorStoresIsRefusedAtItsCell) {
    const std::string frame = kFrameHeader + "1,6,0,100,";
    const std::string definition = kDefinitionHeader + "1,1,0,";
    const struct {
        TableKind kind;
        std::string text;
        const char* what;
    } cases[] = {
        {TableKind::frames, frame + "11,,\n", "2:5: Group '11' names no group: 0 (On Request) or 1 to 10"},
        {TableKind::frames, frame + "-1,,\n", "2:5: Group '-1' names no group: 0 (On Request) or 1 to 10"},
        {TableKind::frames, frame + "0xB,,\n", "2:5: Group '0xB' names no group: 0 (On Request) or 1 to 10"},
        {TableKind::frames, frame + "0,maybe,\n", "2:6: Erase 'maybe' is neither Y nor N (nor empty)"},
        {TableKind::frames, frame + "0,yes,\n", "2:6: Erase 'yes' is neither Y nor N (nor empty)"},
        {TableKind::frames, frame + "0,1,\n", "2:6: Erase '1' is neither Y nor N (nor empty)"},
        {TableKind::frames, frame + "0,TRUE,\n", "2:6: Erase 'TRUE' is neither Y nor N (nor empty)"},
        {TableKind::frames, frame + "0,\" Y\",\n", "2:6: Erase ' Y' is neither Y nor N (nor empty)"},
        {TableKind::definitions, definition + "9,Holding Register\n", "2:4: Points '9' is no number of points: 1 to 8"},
        {TableKind::definitions, definition + "256,Holding Register\n",
         "2:4: Points '256' is no number of points: 1 to 8"},
        {TableKind::definitions, definition + "01,Holding Register\n",
         "2:4: Points '01' is no number of points: 1 to 8"},
        {TableKind::definitions, definition + "1,5\n",
         "2:5: Type '5' is neither \"Holding Register\" nor \"Input Register\""},
        {TableKind::definitions, definition + "1,3\n",
         "2:5: Type '3' is neither \"Holding Register\" nor \"Input Register\""},
        {TableKind::definitions, definition + "1,Input Register,B9,none\n",
         "2:6: R1_High 'B9' names no frame byte: \"none\" or B1 to B8"},
        {TableKind::definitions, definition + "2,Input Register,B1,B2,none,B15\n",
         "2:9: R2_Low 'B15' names no frame byte: \"none\" or B1 to B8"},
    };
    for (const auto& c : cases) EXPECT_EQ(refusal(c.kind, c.text), c.what) << c.text;
}

// Spreadsheets write a separator after the last column once a cell beside the table was touched; the header is read
// as the data rows are, its empty cells at the end left out.
TEST(ExchangeTables, AHeaderEndingInEmptyCellsIsReadAsTheDataRowsAre) {
    const std::string header = kGroupHeader.substr(0, kGroupHeader.size() - 1);
    for (const std::string& text : {header + ",\n1,100,a,\n", header + ",,,\n1,100,a,,\n2,200,b\n",
                                    std::string("Mnemonic;N;;Cyclic_Time;\na;1;;100;\n")}) {
        SCOPED_TRACE(text);
        const std::string what = refusal(TableKind::groups, text);
        if (text.starts_with("Mnemonic"))
            EXPECT_EQ(what, "1:3: the column has no name: the groups table has the columns N, Cyclic_Time, Mnemonic");
        else
            EXPECT_EQ(what, "accepted");
    }
    EXPECT_EQ(importGroupRows(readCsv(header + ",,\n1,100,a,,\n")), (TableRows{{"100", "a"}}));
}

TEST(ExchangeTables, ValuesComeBackAsTheDocumentHoldsThem) {
    const TableRows frames = importFrameRows(readCsv(kFrameHeader + "1, 3,0x1,$FEF1,0x2,,\"a, \"\"quoted\"\" name\"\n"
                                                                    ",,,,,,\n"  // an empty row is left out
                                                                    "2,+7,0,65535,0xA,y,\n"
                                                                    "3,0,0,0,10,n,\n"
                                                                    "4,0,0,0,0,Y,\n"));
    EXPECT_EQ(frames, (TableRows{{" 3", "0x1", "$FEF1", "2", "", "a, \"quoted\" name"},
                                 {"+7", "0", "65535", "10", "Y", ""},
                                 {"0", "0", "0", "10", "N", ""},
                                 {"0", "0", "0", "0", "Y", ""}}));
    EXPECT_EQ(importGroupRows(readCsv(kGroupHeader + "1, 0x1F4,\n2,0100,Slow\n")),
              (TableRows{{" 0x1F4", ""}, {"0100", "Slow"}}));
}

TEST(ExchangeTables, DefinitionsOutsideTheDialogsChoicesGoOutAsTheyAreAndAreRefusedBack) {
    FrameDefinitions frames;
    frames.setFrames({"6\t0\t1", "6\t0\t2"});
    TClIndMB plain{" 010", "0x05", 1, 0, {0x12, 0x03}};
    TClIndMB odd{"7", "1", 11, 2, {0xF9, 0x9F, 0x88, 0x01, 0x10, 0xFF, 0x00, 0xA0}};  // Num_Reg 11, Type_Reg 5
    frames.frame(1).definitions = {plain, odd};
    const TextRows table = definitionTableRows(frames);
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(
        table[1],
        (std::vector<std::string>{
            "2", "0x05", " 010", "2", "Holding Register", "B1", "B2", "none", "B3", "", "", "", "", "", "", "", "",
            "",  "",     "",     ""}));
    EXPECT_EQ(table[2],
              (std::vector<std::string>{"2",    "1",  "7",  "12",   "5",   "B15", "B9",   "B9",   "B15", "B8",  "B8",
                                        "none", "B1", "B1", "none", "B15", "B15", "none", "none", "B10", "none"}));
    EXPECT_EQ(refusal(TableKind::definitions, writeCsv(table), 2), "3:4: Points '12' is no number of points: 1 to 8");
    const auto back = importDefinitionRows(readCsv(writeCsv({table[0], table[1]})), 2);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_TRUE(back[0].empty());
    EXPECT_EQ(back[1], (std::vector<TClIndMB>{plain}));
}

}  // namespace
}  // namespace tessaro
