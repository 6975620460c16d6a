#include <gtest/gtest.h>

#include "core/exchange/CsvText.h"

namespace tessaro {
namespace {

using Cells = std::vector<std::vector<std::string>>;

TEST(CsvText, ReadsTheDialectsSpreadsheetsWrite) {
    const struct {
        const char* name;
        std::string text;
        Cells cells;
    } cases[] = {
        {"plain, LF", "N,PGN\n1,0x10\n", {{"N", "PGN"}, {"1", "0x10"}}},
        {"CR LF", "N,PGN\r\n1,$10\r\n", {{"N", "PGN"}, {"1", "$10"}}},
        {"a lone CR", "N,PGN\r1,2\r", {{"N", "PGN"}, {"1", "2"}}},
        {"byte-order mark", "\xEF\xBB\xBFN,PGN\r\n1,2\r\n", {{"N", "PGN"}, {"1", "2"}}},
        {"semicolons found from the header",
         "N;PGN;Mnemonic\n1;2;a,b\n",
         {{"N", "PGN", "Mnemonic"}, {"1", "2", "a,b"}}},
        {"quoted separator", "N,M\n1,\"a,b\"\n", {{"N", "M"}, {"1", "a,b"}}},
        {"doubled quotes", "N,M\n1,\"say \"\"hi\"\"\"\n", {{"N", "M"}, {"1", "say \"hi\""}}},
        {"line breaks in quotes kept as they are",
         "N,M\r\n1,\"two\r\nlines\nhere\"\r\n",
         {{"N", "M"}, {"1", "two\r\nlines\nhere"}}},
        {"blanks kept", "N,M\n1,  lead and trail  \n", {{"N", "M"}, {"1", "  lead and trail  "}}},
        {"empty cells", "N,M,E\n1,,\n", {{"N", "M", "E"}, {"1", "", ""}}},
        {"blank lines left out", "N,M\n\n1,a\r\n\r\n", {{"N", "M"}, {"1", "a"}}},
        {"quoted empty cell is a row", "N\n\"\"\n", {{"N"}, {""}}},
        {"values a spreadsheet would turn", "N,M\n001,3/4\n+4,$10\n", {{"N", "M"}, {"001", "3/4"}, {"+4", "$10"}}},
        {"UTF-8 texts", "N,M\n1,Öldruck °C\n", {{"N", "M"}, {"1", "Öldruck °C"}}},
        {"a header without a separator", "N\n1\n", {{"N"}, {"1"}}},
        {"nothing at all", "", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(cellTexts(readCsv(c.text)), c.cells) << c.name;
}

TEST(CsvText, EveryCellKnowsItsLineAndColumn) {
    const TextGrid grid = readCsv("A,B\r\n\r\n1,\"x\ny\",3\n4,5,6\n");
    ASSERT_EQ(grid.rows.size(), 3u);
    EXPECT_EQ(grid.rows[1].line, 3u);
    EXPECT_EQ(grid.rows[1].cells[2].line, 4u);  // after the line break inside the quotes
    EXPECT_EQ(grid.rows[1].cells[2].column, 3u);
    EXPECT_EQ(grid.rows[2].line, 5u);
    EXPECT_EQ(grid.rows[2].cells[1].column, 2u);
}

TEST(CsvText, RefusesBrokenQuotingAtItsPlace) {
    const struct {
        std::string text;
        const char* what;
    } cases[] = {
        {"A,B\n1,\"open\n", "2:2: the quote that opens this cell is never closed"},
        {"A,B\n1,\"x\"y\n",
         "2:2: 'y' follows the closing quote of the cell: a quote inside a quoted cell is written twice"},
        {"A,B\n1,2\n3,12\"\n",
         "3:2: a quote inside a cell that does not start with one: put the cell in quotes and write the quote twice"},
        {"A,B\n1,\"a\nb\" c\n",
         "3:2: ' ' follows the closing quote of the cell: a quote inside a quoted cell is written twice"},
        {"A,B\n1,caf\xE9\n", "2:2: the cell is not UTF-8 text (or holds a NUL character): save the file as UTF-8"},
        {"A,B\n1,2",
         "2:2: the file stops in the middle of a line (was it cut short?): every line of a table, the last "
         "one too, ends with a line break"},
        {std::string("A,B\n1,a\0b\n", 10),
         "2:2: the cell is not UTF-8 text (or holds a NUL character): save the file as UTF-8"},
    };
    for (const auto& c : cases) {
        try {
            readCsv(c.text);
            ADD_FAILURE() << "accepted: " << c.what;
        } catch (const ExchangeError& problem) {
            EXPECT_EQ(std::string(problem.what()), c.what);
            EXPECT_EQ(problem.placed("f.csv"), std::string("f.csv:") + c.what);
        }
    }
}

TEST(CsvText, WritesCommasAndCrLfQuotingOnlyWhereNeeded) {
    EXPECT_EQ(
        writeCsv(
            {{"N", "Mnemonic"}, {"1", " 0x10"}, {"2", "a,b"}, {"3", "say \"hi\""}, {"4", "x;y"}, {"5", "two\nlines"}}),
        "N,Mnemonic\r\n1, 0x10\r\n2,\"a,b\"\r\n3,\"say \"\"hi\"\"\"\r\n4,\"x;y\"\r\n5,\"two\nlines\"\r\n");
    EXPECT_EQ(writeCsv({{"N"}, {""}}), "N\r\n\"\"\r\n");
}

TEST(CsvText, WhatIsWrittenReadsBackToTheSameCells) {
    const Cells cells = {{"N", "Priority", "Mnemonic"},
                         {"1", " 3",
                          "\xEF\xBB\xBF"
                          "after a mark"},
                         {"2", "", "\"quoted\", then; more\r\nand a line"},
                         {"3", "$10", ""}};
    EXPECT_EQ(cellTexts(readCsv(writeCsv(cells))), cells);
    const Cells markFirst = {{"\xEF\xBB\xBFN", "x"}};
    EXPECT_EQ(cellTexts(readCsv(writeCsv(markFirst))), markFirst);
}

}  // namespace
}  // namespace tessaro
