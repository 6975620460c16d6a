// The project map's printed sheet read back as text, as pdftotext of poppler-utils gives it page by page.
#include <gtest/gtest.h>

#include <QString>
#include <regex>
#include <set>
#include <sstream>

#include "core/map/SignalAnalysis.h"
#include "gui/map/UProjectMap.h"
#include "support/MapProject.h"
#include "support/PdfText.h"

namespace tessaro {
namespace {

using testing::MapDefinition;
using testing::MapFrame;
using testing::TemporaryFolder;

std::vector<std::string> linesOf(const std::string& page) {
    std::vector<std::string> lines;
    std::stringstream in(page);
    for (std::string line; std::getline(in, line);)
        if (line.find_first_not_of(' ') != std::string::npos) lines.push_back(line);
    return lines;
}

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t found = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
    return found;
}

std::string pdfOf(const TemporaryFolder& project) {
    writeProjectMapPdf(QString::fromStdString(project.file("map.pdf")), buildAnnotatedProjectMap(project.path(), {}),
                       QStringLiteral("many"), QStringLiteral("2026-01-02"));
    return project.file("map.pdf");
}

TEST(MapPdf, EveryPageATableRunsOnStartsWithItsTitleAndHeaderRow) {
    TemporaryFolder project;
    // 150 frames, each B1 fed twice (a finding each) and its registers a range of their own.
    std::vector<MapFrame> frames;
    std::vector<MapDefinition> definitions;
    for (int f = 1; f <= 150; ++f) {
        frames.push_back({std::to_string(0xFF00 + f), "1"});
        definitions.push_back({f, 1, 10 * f, {0x12, 0x34, 0x56, 0x78}});
        definitions.push_back({f, 2, 10 * f, {0x10}, 4});
    }
    testing::writeMapProject(project, frames, definitions, {100});
    const std::vector<std::string> pages = testing::pdfPages(project, pdfOf(project));
    ASSERT_GE(pages.size(), 5u);

    const std::vector<std::pair<std::string, std::regex>> tables = {
        {"Frames: the sources of each data byte", std::regex(R"(^\s*Frame\s+PGN\s+Group\s+B1\s+B2\s+B3\s+B4\s+B5\s+B6)"
                                                             R"(\s+B7\s+B8\s*$)")},
        {"Slaves: the registers the gateway polls", std::regex(R"(^\s*Slave\s+Kind\s+Registers\s+Feeds\s*$)")},
        {"Findings", std::regex(R"(^\s*(No\.\s+Frame\s+Finding\s*)+$)")}};
    std::map<std::string, int> continued;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        SCOPED_TRACE("page " + std::to_string(p + 1));
        const std::vector<std::string> lines = linesOf(pages[p]);
        ASSERT_GE(lines.size(), 3u);
        // A page after the first starts where a table goes on.
        if (p > 0) {
            EXPECT_NE(lines[0].find(" (continued)"), std::string::npos) << lines[0];
        }
        for (std::size_t l = 0; l + 1 < lines.size(); ++l)
            for (const auto& [title, header] : tables)
                if (lines[l] == title || lines[l] == title + " (continued)") {
                    EXPECT_TRUE(std::regex_search(lines[l + 1], header)) << lines[l + 1];
                    if (lines[l] != title) ++continued[title];
                }
        EXPECT_NE(lines.back().find("Project Map · many · 2026-01-02"), std::string::npos) << lines.back();
        EXPECT_NE(lines.back().find("Page " + std::to_string(p + 1) + " of " + std::to_string(pages.size())),
                  std::string::npos)
            << lines.back();
    }
    EXPECT_GE(continued["Frames: the sources of each data byte"], 1);
    EXPECT_GE(continued["Slaves: the registers the gateway polls"], 1);

    std::string all;
    for (const std::string& page : pages) all += page;
    EXPECT_EQ(count(all, "S = slave, HR = holding register, IR = input register"), 1u);
    // Every frame once, with its bytes on its row: B1 fed twice, B2 to B8 once.
    for (int f = 1; f <= 150; ++f) {
        const std::regex row("\\n\\s*" + std::to_string(f) + "\\s+" + std::to_string(0xFF00 + f) +
                             " \\(0x[0-9A-F]{4}\\)\\s+G1 100 ms\\s+S1 HR" + std::to_string(10 * f) + " high\\s+S1 HR" +
                             std::to_string(10 * f) + " low\\s+S1 HR" + std::to_string(10 * f + 1) + " high");
        EXPECT_TRUE(std::regex_search(all, row)) << "frame " << f;
        EXPECT_EQ(count(all, "frame " + std::to_string(f) + ": B1 is fed by 2 register halves"), 1u) << f;
    }
}

TEST(MapPdf, LongSignalNamesWrapAtTheirWordEdges) {
    TemporaryFolder project;
    // Frame 1, EEC1: all eight bytes fed, each the signal of a long name.
    testing::writeMapProject(project, {{"61444", "1"}}, {{1, 1, 0, {0x12, 0x34, 0x56, 0x78}}}, {100});
    const std::vector<std::string> numbers = {"One", "Two", "Three", "Four", "Five", "Six", "Seven", "Eight"};
    std::string database = "BO_ 2364539904 EEC1: 8 Engine\n";
    for (std::size_t b = 0; b < 8; ++b)
        database += " SG_ CoolantTemperatureOfTheEngineBlock" + numbers[b] + " : " + std::to_string(8 * b) +
                    "|8@1+ (1,0) [0|255] \"\" Gateway\n";
    project.write("signals.dbc", database);
    const std::vector<std::string> pages = testing::pdfPages(project, pdfOf(project));
    ASSERT_FALSE(pages.empty());

    std::set<std::string> words = {"Coolant", "Temperature", "Of", "The", "Engine", "Block"};
    words.insert(numbers.begin(), numbers.end());
    // The byte cells: the lines of the frames table, up to the signals table.
    const std::string frames = pages[0].substr(0, pages[0].find("Signals fed whole"));
    std::stringstream tokens(frames);
    int pieces = 0;
    for (std::string token; tokens >> token;) {
        if (token.find("Coolant") == std::string::npos && token.find("Block") == std::string::npos &&
            token.find(']') == std::string::npos)
            continue;
        if (token.front() == '[') token.erase(0, 1);
        if (!token.empty() && token.back() == ']') token.pop_back();
        ++pieces;
        EXPECT_NE(token, "CoolantTemperatureOfTheEngineBlockOne") << "the name did not wrap";
        // Each piece is made of whole words.
        for (std::size_t start = 0; start < token.size();) {
            std::size_t end = start + 1;
            while (end < token.size() && !std::isupper(static_cast<unsigned char>(token[end]))) ++end;
            EXPECT_TRUE(words.count(token.substr(start, end - start))) << token << " is cut inside a word";
            start = end;
        }
    }
    EXPECT_GE(pieces, 16);
}

}  // namespace
}  // namespace tessaro
