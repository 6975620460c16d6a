#include <gtest/gtest.h>

#include "core/update/UpdaterCommand.h"

namespace tessaro {
namespace {

ProjectState folders(const std::string& tool, const std::string& project) {
    ProjectState state;
    state.toolFolder = tool;
    state.masterFolder = tool + "/MASTER";
    state.projectsFolder = tool + "/PROJECTS";
    state.projectFolder = project;
    return state;
}

TEST(UpdaterCommand, WorkedExample) {
    const UpdaterCommand command =
        updaterCommand(folders("/T", "/T/PROJECTS/P1"), "COM3", UpdateOptions{false, true, true, true});
    EXPECT_EQ(command.program, "/T/Ser_48213_Update.exe");
    EXPECT_EQ(command.parameters, "COM3 NO FR PW PR \"/T/MASTER/sim48213.sim\" \"/T/PROJECTS/P1/bin/\"");
    EXPECT_EQ(command.arguments, (std::vector<std::string>{"COM3", "NO", "FR", "PW", "PR", "/T/MASTER/sim48213.sim",
                                                           "/T/PROJECTS/P1/bin/"}));
}

TEST(UpdaterCommand, EveryTickGivesItsTokenAndEveryBlankOneNo) {
    struct Case {
        UpdateOptions options;
        const char* tokens;
    };
    const Case cases[] = {
        {{true, true, true, true}, "FW FR PW PR "},   {{false, false, false, false}, "NO NO NO NO "},
        {{false, true, true, true}, "NO FR PW PR "},  {{true, false, true, true}, "FW NO PW PR "},
        {{true, true, false, true}, "FW FR NO PR "},  {{true, true, true, false}, "FW FR PW NO "},
        {{true, false, false, true}, "FW NO NO PR "},
    };
    for (const Case& example : cases) {
        const UpdaterCommand command = updaterCommand(folders("/T", "/T/PROJECTS"), "COM10", example.options);
        EXPECT_EQ(command.parameters,
                  std::string("COM10 ") + example.tokens + "\"/T/MASTER/sim48213.sim\" \"/T/PROJECTS/bin/\"")
            << example.tokens;
        std::string tokens;
        for (std::size_t index = 1; index <= 4; ++index) tokens += command.arguments[index] + ' ';
        EXPECT_EQ(tokens, example.tokens);
    }
}

TEST(UpdaterCommand, BlanksAndQuotesInPathsStayInsideTheirArgument) {
    const UpdaterCommand command =
        updaterCommand(folders("/opt/my tool", "/opt/my tool/PROJECTS/a \"b\" c"), "COM1", UpdateOptions{});
    EXPECT_EQ(command.program, "/opt/my tool/Ser_48213_Update.exe");
    ASSERT_EQ(command.arguments.size(), 7u);
    EXPECT_EQ(command.arguments[5], "/opt/my tool/MASTER/sim48213.sim");
    EXPECT_EQ(command.arguments[6], "/opt/my tool/PROJECTS/a \"b\" c/bin/");
    EXPECT_EQ(command.parameters,
              "COM1 FW FR PW PR \"/opt/my tool/MASTER/sim48213.sim\" \"/opt/my tool/PROJECTS/a \"b\" c/bin/\"");
}

TEST(UpdaterCommand, NoProjectFolderLeavesABareBinFolder) {
    const UpdaterCommand command = updaterCommand(folders("/T", ""), "COM2", UpdateOptions{});
    EXPECT_EQ(command.arguments.back(), "/bin/");
    EXPECT_EQ(command.parameters, "COM2 FW FR PW PR \"/T/MASTER/sim48213.sim\" \"/bin/\"");
}

}  // namespace
}  // namespace tessaro
