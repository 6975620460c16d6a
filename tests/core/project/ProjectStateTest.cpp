#include <gtest/gtest.h>

#include <filesystem>

#include "core/project/ProjectState.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

class ProjectStateTest : public ::testing::Test {
protected:
    void SetUp() override { state.setToolFolder(tool.path()); }

    void expectPathsOf(const std::string& folder) {
        EXPECT_EQ(state.projectFolder, folder);
        EXPECT_EQ(state.pargenPath, folder + "/pargen.xml");
        EXPECT_EQ(state.frameJ1939Path, folder + "/FrameJ1939.xml");
        EXPECT_EQ(state.groupPath, folder + "/Group.xml");
    }

    testing::TemporaryFolder tool;
    ProjectState state;
};

TEST_F(ProjectStateTest, FirstStartCreatesTheFoldersAndHasNoProject) {
    EXPECT_EQ(state.masterFolder, tool.path() + "/MASTER");
    EXPECT_EQ(state.projectsFolder, tool.path() + "/PROJECTS");
    EXPECT_TRUE(std::filesystem::is_directory(state.masterFolder));
    EXPECT_TRUE(std::filesystem::is_directory(state.projectsFolder));
    EXPECT_FALSE(state.reopen(""));
    EXPECT_EQ(state.projectName, "");
    expectPathsOf(state.projectsFolder);
}

TEST_F(ProjectStateTest, ToolFolderLosesItsTrailingSeparator) {
    ProjectState other;
    other.setToolFolder(tool.path() + "/");
    EXPECT_EQ(other.toolFolder, tool.path());
}

TEST_F(ProjectStateTest, StoredNameReopensWithOrWithoutLeadingSeparator) {
    std::filesystem::create_directory(tool.file("PROJECTS/abc"));
    for (const std::string stored : {"/abc", "abc"}) {
        EXPECT_TRUE(state.reopen(stored)) << stored;
        EXPECT_EQ(state.projectName, stored);
        expectPathsOf(tool.path() + "/PROJECTS/abc");
    }
}

TEST_F(ProjectStateTest, StoredNamesThatAreNotReopened) {
    std::filesystem::create_directory(tool.file("PROJECTS/abc"));
    std::filesystem::create_directory(tool.file("PROJECTSabc"));  // beside PROJECTS, not below it
    std::filesystem::create_directory(tool.file("outside"));
    for (const std::string stored : {"/missing", "..", "/../outside", "abc/..", "./abc", "/", "//abc", "abc/"}) {
        EXPECT_FALSE(state.reopen(stored)) << stored;
        EXPECT_EQ(state.projectName, stored) << "kept as read";
        expectPathsOf(state.projectsFolder);
    }
}

TEST_F(ProjectStateTest, OpenChoosingAFolderOrProjectsItself) {
    std::filesystem::create_directory(tool.file("PROJECTS/abc"));
    EXPECT_EQ(state.prepareOpen(), state.projectsFolder);
    state.finishOpen(tool.path() + "/PROJECTS/abc");
    EXPECT_EQ(state.projectName, "/abc");
    expectPathsOf(tool.path() + "/PROJECTS/abc");

    EXPECT_EQ(state.prepareOpen(), tool.path() + "/PROJECTS/abc");
    state.finishOpen(state.projectsFolder);
    EXPECT_EQ(state.projectName, "");
    expectPathsOf(state.projectsFolder);
}

TEST_F(ProjectStateTest, OpenCancelledKeepsAnExistingFolder) {
    std::filesystem::create_directory(tool.file("PROJECTS/abc"));
    state.finishOpen(tool.path() + "/PROJECTS/abc");
    state.prepareOpen();
    state.finishOpen(std::nullopt);
    EXPECT_EQ(state.projectName, "/abc");
    expectPathsOf(tool.path() + "/PROJECTS/abc");
}

TEST_F(ProjectStateTest, OpenCancelledAfterTheFolderWasDeletedIsInvalid) {
    std::filesystem::create_directory(tool.file("PROJECTS/abc"));
    state.finishOpen(tool.path() + "/PROJECTS/abc");
    std::filesystem::remove(tool.file("PROJECTS/abc"));
    EXPECT_EQ(state.prepareOpen(), "");
    state.finishOpen(std::nullopt);
    EXPECT_EQ(state.projectName, "");
    EXPECT_EQ(state.projectFolder, "");
    EXPECT_EQ(state.pargenPath, "/pargen.xml");
    EXPECT_EQ(state.frameJ1939Path, "/FrameJ1939.xml");
    EXPECT_EQ(state.groupPath, "/Group.xml");
}

TEST_F(ProjectStateTest, NewProjectKeepsTheTypedName) {
    state.setNewProject(state.projectsFolder, "demo");
    EXPECT_EQ(state.projectName, "demo");
    expectPathsOf(tool.path() + "/PROJECTS/demo");
    EXPECT_EQ(state.definitionsPath(), tool.path() + "/PROJECTS/demo/DefFrameJ1939.xml");
}

TEST_F(ProjectStateTest, CreateProjectMakesTheFolderAndBinAndSetsTheProject) {
    const NewProjectOutcome outcome = state.createProject(state.projectsFolder, "demo");
    EXPECT_TRUE(outcome.created);
    EXPECT_TRUE(outcome.messages.empty());
    EXPECT_TRUE(std::filesystem::is_directory(tool.file("PROJECTS/demo/bin")));
    EXPECT_TRUE(std::filesystem::is_empty(tool.file("PROJECTS/demo/bin")));
    EXPECT_EQ(state.projectName, "demo");
    expectPathsOf(tool.path() + "/PROJECTS/demo");
}

TEST_F(ProjectStateTest, CreateProjectRefusesAndChangesNothing) {
    std::filesystem::create_directory(tool.file("PROJECTS/taken"));
    tool.write("PROJECTS/afile", "x");
    state.reopen("");
    const std::string destination = state.projectsFolder;
    struct Case {
        std::string destination;
        std::string name;
        std::vector<std::string> messages;
    };
    // Below "Name project not valid", the rule the name breaks.
    const auto notValid = [](const std::string& rule) { return "Name project not valid\n" + rule; };
    const std::string empty = notValid("The name is empty.");
    const std::string leading = notValid("A name may not begin with a blank: the settings file would lose it.");
    const std::string trailing = notValid("A name may not end with a blank: the settings file would lose it.");
    const std::string dots = notValid("\".\" and \"..\" name no new folder.");
    const std::string separator = notValid("A name may not hold / or \\: a project is one folder below PROJECTS.");
    const std::vector<Case> cases = {
        {destination, "", {empty}},
        {"", "demo", {"directory destination not valid"}},
        {"", "", {"directory destination not valid", empty}},
        {destination, "taken", {"Name project not valid because directory already exists"}},
        // The folder cannot be created: the system's reason.
        {destination, "afile", {"Cannot create the project folder: File exists\n" + destination + "/afile"}},
        {destination + "/missing",
         "demo",
         {"Cannot create the project folder: No such file or directory\n" + destination + "/missing/demo"}},
        {destination,
         std::string(300, 'n'),
         {"Cannot create the project folder: File name too long\n" + destination + "/" + std::string(300, 'n')}},
        // Blanks the settings file would trim, so the name would not come back.
        {destination, "   ", {leading}},
        {destination, " lead", {leading}},
        {destination, "trail ", {trailing}},
        {destination, "\ttab", {leading}},
        {destination, "tab\t", {trailing}},
        {destination, ".", {dots}},
        {destination, "..", {dots}},
        {destination, "../outside", {separator}},
        {destination, "taken/inner", {separator}},
        {destination, "a\\b", {separator}},
        // Only the first rule broken is named.
        {destination, " a/b", {leading}},
        {destination, std::string("cut\0short", 9), {notValid("A name may not hold a NUL character.")}},
    };
    for (const Case& refused : cases) {
        const NewProjectOutcome outcome = state.createProject(refused.destination, refused.name);
        EXPECT_FALSE(outcome.created) << refused.name;
        EXPECT_EQ(outcome.messages, refused.messages) << refused.name;
        EXPECT_EQ(state.projectName, "") << refused.name;
        expectPathsOf(state.projectsFolder);
    }
    EXPECT_FALSE(tool.exists("outside"));
    EXPECT_FALSE(tool.exists("PROJECTS/taken/inner"));
    EXPECT_FALSE(tool.exists("PROJECTS/cut"));
    EXPECT_FALSE(tool.exists("PROJECTS/a\\b"));
    EXPECT_FALSE(tool.exists("PROJECTS/missing"));
}

TEST_F(ProjectStateTest, BlanksInsideANameAndLeadingDotsAreAccepted) {
    EXPECT_FALSE(isValidProjectName("   "));
    EXPECT_TRUE(isValidProjectName("..."));
    EXPECT_TRUE(isValidProjectName(".hidden"));
    const NewProjectOutcome outcome = state.createProject(state.projectsFolder, "two words");
    EXPECT_TRUE(outcome.created);
    EXPECT_EQ(state.projectName, "two words");
    EXPECT_TRUE(tool.exists("PROJECTS/two words/bin"));
}

}  // namespace
}  // namespace tessaro
