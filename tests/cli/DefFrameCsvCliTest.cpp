// tessaro-cli import definitions with the DefFrame.csv that Define J1939's Export writes.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/documents/DocumentNames.h"
#include "core/editors/FrameDefinitions.h"
#include "support/CliRun.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

using testing::runCli;

TEST(CliDefFrameCsv, ImportDefinitionsTakesThemWholeFromTheStoredOnes) {
    testing::TemporaryFolder project;
    for (const char* name : {"FrameJ1939.xml", "DefFrameJ1939.xml", "Group.xml", "pargen.xml"})
        std::filesystem::copy_file(std::string(TESSARO_EXAMPLES) + "/engine-demo/" + name, project.file(name));
    const FrameDefinitions stored =
        readFrameDefinitions(project.file("FrameJ1939.xml"), project.file("DefFrameJ1939.xml")).content;
    ASSERT_GT(stored.frame(0).definitions.size(), 1u);
    const std::string file = project.file(std::string(kExportFileName));
    stored.exportTo(file);
    const auto import = [&] { return runCli({"import", "definitions", project.path(), file}); };
    const testing::CliOutcome whole = import();
    EXPECT_EQ(whole.status, 0) << whole.err;
    EXPECT_EQ(project.read("DefFrameJ1939.xml"), stored.documentText());
    EXPECT_EQ(whole.out,
              project.file("DefFrameJ1939.xml") + ": 12 definitions\n" + file + ": 12 definitions came back whole\n");

    // Frame 1's definitions in the other order, the others left out: moved and dropped, each with its fields.
    const std::vector<TClIndMB>& first = stored.frame(0).definitions;
    std::string text;
    for (auto definition = first.rbegin(); definition != first.rend(); ++definition)
        text += definition->index + ",1,\r\n";
    project.write(std::string(kExportFileName), text);
    EXPECT_EQ(import().status, 0);
    FrameDefinitions expected = stored;
    for (std::size_t f = 0; f < expected.frameCount(); ++f) expected.frame(f).definitions.clear();
    expected.frame(0).definitions.assign(first.rbegin(), first.rend());
    EXPECT_EQ(project.read("DefFrameJ1939.xml"), expected.documentText());
    EXPECT_EQ(runCli({"check", project.path()}).status, 0);

    // A frame the project lacks is refused at its place, and nothing is written.
    const std::string before = project.read("DefFrameJ1939.xml");
    project.write(std::string(kExportFileName), first[0].index + ",1,\r\n" + first[0].index + ",99,\r\n");
    const testing::CliOutcome refused = import();
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.ends_with(file + ":2:2: there is no frame 99: the frame table holds 5 frames\n"))
        << refused.err;
    EXPECT_EQ(project.read("DefFrameJ1939.xml"), before);
}

}  // namespace
}  // namespace tessaro
