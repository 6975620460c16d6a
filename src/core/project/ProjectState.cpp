#include "core/project/ProjectState.h"

#include <filesystem>
#include <system_error>

#include "core/documents/AtomicFile.h"
#include "core/documents/DocumentNames.h"

namespace tessaro {

void ProjectState::SetProjectPaths() {
    pargenPath = joinPath(projectFolder, kPargenFileName);
    frameJ1939Path = joinPath(projectFolder, kFrameTableFileName);
    groupPath = joinPath(projectFolder, kGroupFileName);
}

std::string ProjectState::definitionsPath() const {
    return joinPath(projectFolder, kDefinitionsFileName);
}

std::string settingsFileIn(std::string_view toolFolder) {
    return joinPath(toolFolder, kSettingsFileName);
}

std::string anotherInstanceMessage(std::string_view toolFolder) {
    return "Another Tessaro is already running on the tool folder " + std::string(toolFolder) +
           ". Both may change the same projects: an editor's OK then names a document that was changed on disk "
           "since the editor read it, and writes only at a second OK. At close, the last project is stored only by "
           "an instance that opened or created one.";
}

std::string projectNameToStore(const std::optional<std::string>& readAtStart,
                               const std::optional<std::string>& storedNow, bool projectChosen,
                               std::string_view projectName) {
    if (!projectChosen && storedNow && storedNow != readAtStart) return *storedNow;
    return std::string(projectName);
}

std::string ProjectState::settingsFilePath() const {
    return settingsFileIn(toolFolder);
}

void ProjectState::setToolFolder(std::string_view folder) {
    toolFolder = std::string(folder);
    while (toolFolder.size() > 1 && toolFolder.back() == kPathSeparator) toolFolder.pop_back();
    masterFolder = joinPath(toolFolder, "MASTER");
    projectsFolder = joinPath(toolFolder, "PROJECTS");
    std::error_code ignored;
    if (!folderExists(masterFolder)) std::filesystem::create_directory(masterFolder, ignored);
    if (!folderExists(projectsFolder)) std::filesystem::create_directory(projectsFolder, ignored);
    projectFolder = projectsFolder;
}

std::optional<std::string> ProjectState::folderOfStoredName(std::string_view storedName) const {
    std::string_view relative = storedName;
    if (!relative.empty() && relative.front() == kPathSeparator) relative.remove_prefix(1);
    if (relative.empty()) return std::nullopt;
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = relative.find(kPathSeparator, start);
        if (end == std::string_view::npos) end = relative.size();
        const std::string_view component = relative.substr(start, end - start);
        if (component.empty() || component == "." || component == "..") return std::nullopt;
        start = end + 1;
    }
    return joinPath(projectsFolder, relative);
}

bool ProjectState::reopen(std::string_view storedName) {
    projectName = std::string(storedName);
    projectFolder = projectsFolder;
    bool reopened = false;
    if (const auto folder = folderOfStoredName(storedName); folder && folderExists(*folder)) {
        projectFolder = *folder;
        reopened = true;
    }
    SetProjectPaths();
    return reopened;
}

std::string ProjectState::prepareOpen() {
    if (!folderExists(projectFolder)) {
        if (!projectFolder.empty()) goneFolder = projectFolder;
        projectFolder.clear();
    }
    return projectFolder;
}

void ProjectState::finishOpen(const std::optional<std::string>& chosenFolder) {
    if (chosenFolder) {
        projectFolder = *chosenFolder;
        goneFolder.clear();
    }
    projectName = projectFolder.size() > projectsFolder.size() ? projectFolder.substr(projectsFolder.size()) : "";
    SetProjectPaths();
}

std::optional<std::string> brokenProjectNameRule(std::string_view name) {
    if (name.empty()) return "The name is empty.";
    if (name == "." || name == "..") return "\".\" and \"..\" name no new folder.";
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    if (blank(name.front())) return "A name may not begin with a blank: the settings file would lose it.";
    if (blank(name.back())) return "A name may not end with a blank: the settings file would lose it.";
    if (name.find_first_of("/\\") != std::string_view::npos)
        return "A name may not hold / or \\: a project is one folder below PROJECTS.";
    if (name.find('\0') != std::string_view::npos) return "A name may not hold a NUL character.";
    return std::nullopt;
}

bool isValidProjectName(std::string_view name) {
    return !brokenProjectNameRule(name);
}

std::vector<std::string> newProjectNameMessages(std::string_view destinationFolder, std::string_view name) {
    std::vector<std::string> messages;
    if (destinationFolder.empty()) messages.emplace_back(kDestinationNotValid);
    if (const std::optional<std::string> broken = brokenProjectNameRule(name))
        messages.push_back(std::string(kNameNotValid) + "\n" + *broken);
    return messages;
}

std::string projectNotValidMessage(std::string_view goneFolder) {
    if (goneFolder.empty()) return "Project not valid\nNo project folder is set: open or create a project.";
    return "Project not valid\nThe project's folder is gone: " + std::string(goneFolder);
}

std::string folderNotCreatedMessage(std::string_view folder, std::string_view reason) {
    return "Cannot create the project folder: " + std::string(reason) + "\n" + std::string(folder);
}

bool isProjectFolder(const std::string& folder) {
    std::error_code ignored;
    for (const std::string_view document : {kPargenFileName, kFrameTableFileName, kDefinitionsFileName, kGroupFileName})
        if (std::filesystem::exists(joinPath(folder, document), ignored)) return true;
    return folderExists(joinPath(folder, kBinFolderName));
}

std::string notAProjectFolderMessage(std::string_view folder) {
    return "'" + std::string(folder) + "' is not a project folder: it holds none of " + std::string(kPargenFileName) +
           ", " + std::string(kFrameTableFileName) + ", " + std::string(kDefinitionsFileName) + " and " +
           std::string(kGroupFileName) + ", and no " + std::string(kBinFolderName) + " folder";
}

NewProjectOutcome ProjectState::createProject(std::string_view destinationFolder, std::string_view name) {
    NewProjectOutcome outcome;
    outcome.messages = newProjectNameMessages(destinationFolder, name);
    if (!outcome.messages.empty()) return outcome;
    const std::string folder = joinPath(destinationFolder, name);
    if (folderExists(folder)) {
        outcome.messages.emplace_back(kNameAlreadyExists);
        return outcome;
    }
    std::error_code failure;
    if (!std::filesystem::create_directory(folder, failure) || failure) {
        if (!failure) failure = std::make_error_code(std::errc::file_exists);
        outcome.messages.push_back(folderNotCreatedMessage(folder, failure.message()));
        return outcome;
    }
    std::error_code ignored;
    std::filesystem::create_directories(joinPath(folder, kBinFolderName), ignored);
    setNewProject(destinationFolder, name);
    outcome.created = true;
    return outcome;
}

void ProjectState::setNewProject(std::string_view destinationFolder, std::string_view name) {
    goneFolder.clear();
    projectName = std::string(name);
    projectFolder = joinPath(destinationFolder, name);
    SetProjectPaths();
}

}  // namespace tessaro
