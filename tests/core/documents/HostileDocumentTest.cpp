#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "core/documents/AtomicFile.h"
#include "core/documents/Errors.h"
#include "core/documents/XmlDocument.h"
#include "core/editors/FrameDefinitions.h"
#include "core/editors/FrameTable.h"
#include "core/editors/GroupTable.h"
#include "core/editors/PargenDocument.h"
#include "core/image/ConfigurationImage.h"
#include "support/ErrorOf.h"
#include "support/ImageFields.h"
#include "support/ShowReads.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

using testing::errorOf;

// Documents no editor writes, made to exhaust a reader: ten megabytes of elements each inside the one before, and
// entities that would grow to a billion "lol"s if they were ever expanded. The library parses without recursion
// and frees a document by its pages, and our readers walk rows only, so the nesting is read and ignored; entity
// declarations are skipped and a reference to one stays text.

const std::string kExample = std::string(TESSARO_FIXTURES) + "/image/worked-example";
constexpr std::size_t kNestBytes = 10 * 1024 * 1024;

const std::string& tenMegabytesOfNesting() {
    static const std::string nest = [] {
        const std::size_t depth = kNestBytes / 7;
        std::string text;
        text.reserve(depth * 7);
        for (std::size_t level = 0; level < depth; ++level) text += "<n>";
        for (std::size_t level = 0; level < depth; ++level) text += "</n>";
        return text;
    }();
    return nest;
}

// The nest inside the first row (or, without rows, as the root's last element).
std::string withNest(std::string document) {
    const std::size_t row = document.find("<row ");
    if (row == std::string::npos) return document.insert(document.rfind("</"), tenMegabytesOfNesting());
    return document.replace(document.find("/>", row), 2, ">" + tenMegabytesOfNesting() + "</row>");
}

// Nine levels of ten references each, declared in the document's DTD.
std::string laughs(std::string_view root) {
    std::string dtd = "<!DOCTYPE " + std::string(root) + " [\n<!ENTITY lol \"lol\">\n";
    for (int level = 1; level <= 9; ++level) {
        dtd += "<!ENTITY lol" + std::to_string(level) + " \"";
        for (int copy = 0; copy < 10; ++copy) dtd += "&lol" + (level > 1 ? std::to_string(level - 1) : "") + ";";
        dtd += "\">\n";
    }
    return dtd + "]>\n";
}

std::string replaced(std::string text, std::string_view from, std::string_view to) {
    const std::size_t at = text.find(from);
    if (at == std::string::npos) throw std::logic_error("no " + std::string(from));
    return text.replace(at, from.size(), to);
}

std::string joined(const std::vector<std::string>& texts) {
    std::string line;
    for (const std::string& text : texts) line += text + "|";
    return line;
}

template <class Content>
std::string cells(const testing::ReadRows<Content>& load) {
    std::string text;
    for (const TableRow& row : load.rows) text += joined(row) + "\n";
    return text + (load.read.failures.empty() ? std::string("read whole") : load.read.failures.front());
}

// The worked example's four documents in a project folder of their own.
class Project {
public:
    Project() {
        for (std::string_view name : {kFrameTableFileName, kDefinitionsFileName, kGroupFileName, kPargenFileName})
            std::filesystem::copy_file(kExample + "/" + std::string(name), path(name));
    }
    std::string path(std::string_view name) const { return folder.file(name); }
    std::string read(std::string_view name) const { return folder.read(name); }
    void write(std::string_view name, const std::string& text) const { folder.write(name, text); }

    testing::TemporaryFolder folder;
};

// What a step shows the user of the project: a dialog's controls, or the image Update Device would write.
struct Reader {
    const char* step;
    std::string_view document;
    std::function<std::string(const Project&)> shows;
};

// Names the case in the test's name.
void PrintTo(const Reader& reader, std::ostream* out) {
    *out << reader.step;
}

const Reader kReaders[] = {
    {"SetCommunication", kPargenFileName,
     [](const Project& project) {
         const std::optional<PargenSettings> s = readPargen(project.path(kPargenFileName)).content;
         if (!s) return std::string("not read");
         return joined({std::to_string(s->canBaudRatePosition), s->deviceId, s->rs232 ? "RS232" : "RS485",
                        std::to_string(s->rtuBaudRatePosition), std::to_string(s->parityPosition),
                        std::to_string(s->stopBitsPosition), s->timeout, s->delay});
     }},
    {"FrameJ1939", kFrameTableFileName,
     [](const Project& project) {
         const auto load = testing::readFrameRows(project.path(kGroupFileName), project.path(kFrameTableFileName));
         return joined(load.read.content) + "\n" + cells(load);
     }},
    {"SettingGroup", kGroupFileName,
     [](const Project& project) { return cells(testing::readGroupRows(project.path(kGroupFileName))); }},
    {"DefineJ1939", kDefinitionsFileName,
     [](const Project& project) {
         const ShowRead<FrameDefinitions> read =
             readFrameDefinitions(project.path(kFrameTableFileName), project.path(kDefinitionsFileName));
         const FrameDefinitions& frames = read.content;
         return joined(frames.frameLines()) + "\n" + frames.exportText() + frames.documentText() +
                joined(read.failures);
     }},
};

class NestedDocument : public ::testing::TestWithParam<Reader> {};

TEST_P(NestedDocument, TenMegabytesOfNestingInsideARowChangeNothingTheStepShows) {
    const Reader& reader = GetParam();
    Project project;
    const std::string plain = reader.shows(project);
    project.write(reader.document, withNest(project.read(reader.document)));
    EXPECT_EQ(reader.shows(project), plain);
}

INSTANTIATE_TEST_SUITE_P(EachEditor, NestedDocument, ::testing::ValuesIn(kReaders),
                         [](const auto& info) { return std::string(info.param.step); });

class NestedDocumentInTheImage : public ::testing::TestWithParam<std::string_view> {};

TEST_P(NestedDocumentInTheImage, TheImageIsTheSame) {
    Project project;
    project.write(GetParam(), withNest(project.read(GetParam())));
    ImageBuffer image;
    EXPECT_EQ(errorOf([&] { BuildConfigurationImage(project.folder.path(), image); }), "no error");
    EXPECT_TRUE(testing::sameImage(readFile(kExample + "/bank.bin"), image.inUse()));
}

INSTANTIATE_TEST_SUITE_P(EachDocument, NestedDocumentInTheImage,
                         ::testing::Values(kFrameTableFileName, kDefinitionsFileName, kGroupFileName, kPargenFileName),
                         [](const auto& info) {
                             const std::string_view name = info.param;
                             return std::string(name.substr(0, name.find('.')));
                         });

TEST(NestedDocument, TheDocumentLayerHoldsEveryLevelAndWritesThemBack) {
    testing::TemporaryFolder folder;
    const std::string text = "<Group>" + tenMegabytesOfNesting() + "</Group>";
    const std::string path = folder.write("Group.xml", text);
    XmlDocument document;
    document.load(path);
    ASSERT_EQ(document.documentElement().childCount(), 1u);
    std::size_t depth = 0;
    for (pugi::xml_node level = document.documentElement().node().first_child(); level; level = level.first_child())
        ++depth;
    EXPECT_EQ(depth, kNestBytes / 7);
    // The innermost element has no content, so it is written as an empty-element tag.
    EXPECT_EQ(document.toText(), replaced(text, "<n></n>", "<n/>"));
    document.reset();
    EXPECT_EQ(document.documentElement().childCount(), 0u);
}

TEST(EntityBomb, TheDeclarationsAreSkippedAndAReferenceStaysText) {
    testing::TemporaryFolder folder;
    const std::string path =
        folder.write("bomb.xml", laughs("Group") + "<Group><row Mnemonic=\"&lol9;\">&lol9;</row></Group>");
    XmlDocument document;
    document.load(path);
    EXPECT_EQ(document.documentElement().name(), "Group");
    const std::vector<XmlElement> rows = document.documentElement().children();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].attribute("Mnemonic"), "&lol9;");
    EXPECT_EQ(rows[0].text(), "&lol9;");
    // Written back as the text it is.
    EXPECT_EQ(document.toText(), "<Group><row Mnemonic=\"&amp;lol9;\">&amp;lol9;</row></Group>");
}

TEST(EntityBomb, EachStepShowsTheReferenceAsTyped) {
    Project project;
    const auto bomb = [&](std::string_view name, std::string_view root, std::string_view from, std::string_view to) {
        project.write(name, laughs(root) + replaced(project.read(name), from, to));
    };
    bomb(kPargenFileName, "GeneralParameter", "<ID_CAN>10</ID_CAN>", "<ID_CAN>&lol9;</ID_CAN>");
    bomb(kFrameTableFileName, "Frames_J1939", "Mnemonic=\"ET1\"", "Mnemonic=\"&lol9;\"");
    bomb(kGroupFileName, "Group", "Mnemonic=\"Engine\"", "Mnemonic=\"&lol9;\"");
    bomb(kDefinitionsFileName, "DefFrame", "Device_ID=\"1\"", "Device_ID=\"&lol9;\"");

    EXPECT_EQ(kReaders[0].shows(project), "5|&lol9;|RS485|3|0|0|1000|100|");
    EXPECT_EQ(validatePargen(*readPargen(project.path(kPargenFileName)).content),
              "Error! The ID Device must to be between 0 and 240");
    EXPECT_EQ(kReaders[1].shows(project),
              "On Request|G1 1000 - &lol9;|G2 Not In Use|G3 Not In Use|G4 Not In Use|G5 Not In Use|G6 Not In Use|"
              "G7 Not In Use|G8 Not In Use|G9 Not In Use|G10 Not In Use|\n"
              "6|0|65262|G1 1000 - &lol9;|N|&lol9;|\nread whole");
    EXPECT_EQ(kReaders[2].shows(project), "1000|&lol9;|\nread whole");
    const ShowRead<FrameDefinitions> read =
        readFrameDefinitions(project.path(kFrameTableFileName), project.path(kDefinitionsFileName));
    EXPECT_TRUE(read.failures.empty());
    const FrameDefinitions& frames = read.content;
    ASSERT_EQ(frames.frameCount(), 1u);
    ASSERT_EQ(frames.frame(0).definitions.size(), 1u);
    EXPECT_EQ(frames.frame(0).definitions[0].deviceId, "&lol9;");

    // The builder reads mnemonics not at all, and a reference where it reads a number is no number.
    ImageBuffer image;
    EXPECT_EQ(errorOf([&] { BuildConfigurationImage(project.folder.path(), image); }),
              "'&lol9;' is not a valid integer value\nDefFrameJ1939.xml, row 1, attribute Device_ID");
    for (std::string_view name : {kDefinitionsFileName, kPargenFileName})
        project.write(name, readFile(kExample + "/" + std::string(name)));
    EXPECT_EQ(errorOf([&] { BuildConfigurationImage(project.folder.path(), image); }), "no error");
    EXPECT_TRUE(testing::sameImage(readFile(kExample + "/bank.bin"), image.inUse()));
}

}  // namespace
}  // namespace tessaro
