#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/documents/Paths.h"

namespace tessaro {

inline constexpr std::string_view kDesignCaption = "Orvane Tessaro RA48213 J1939 TO MODBUS RTU Master";
inline constexpr std::string_view kCaptionPrefix = "Orvane Tessaro RA48213 J1939 TO MODBUS RTU Master :";
inline constexpr std::string_view kSettingsFileName = "Tessaro_Kelvane.ini";
inline constexpr std::string_view kSettingsSection = "lastproj";
inline constexpr std::string_view kSettingsKey = "projectname";

// The settings file of a tool folder.
std::string settingsFileIn(std::string_view toolFolder);

// Beside the settings file: the lock that an instance of the tool holds while it runs on the tool folder.
inline constexpr std::string_view kInstanceLockSuffix = ".lock";

// Said once at start when another instance of the tool already runs on the same tool folder.
std::string anotherInstanceMessage(std::string_view toolFolder);

// The project name a close stores. Instances that share a tool folder share its settings file: one that opened or
// created a project stores its own; one that did not keeps what another stored while it ran, so the next start
// reopens the project last chosen rather than the one an idle instance started with.
std::string projectNameToStore(const std::optional<std::string>& readAtStart,
                               const std::optional<std::string>& storedNow, bool projectChosen,
                               std::string_view projectName);

inline constexpr std::string_view kDestinationNotValid = "directory destination not valid";
inline constexpr std::string_view kNameNotValid = "Name project not valid";
inline constexpr std::string_view kNameAlreadyExists = "Name project not valid because directory already exists";

// The system's reason first, so that it shows whatever the name's length, and the folder on a second line.
std::string folderNotCreatedMessage(std::string_view folder, std::string_view reason);

// Whether a typed name can be a folder directly below the destination and come back from the settings file: not
// empty, no blank (space or tab) at its start or end (the settings file trims them), no separator of either
// platform, not "." or "..", no NUL (which would cut the name short).
bool isValidProjectName(std::string_view name);

// The first of those rules that the name breaks, in the words shown below "Name project not valid"; nothing for a
// valid name.
std::optional<std::string> brokenProjectNameRule(std::string_view name);

// The messages of the checks made before anything is created, in the order they are shown.
std::vector<std::string> newProjectNameMessages(std::string_view destinationFolder, std::string_view name);

// Whether a folder can be a project: it holds one of the four documents, or the bin folder that "New project"
// creates. A folder with neither (an empty one, a typo that exists, a parent folder) would build the image of no
// frames; the window's own PROJECTS, which is the project folder while none is open, is not asked.
bool isProjectFolder(const std::string& folder);

// "Project not valid", and below it why: the folder of the project that was open is gone, or none is set.
std::string projectNotValidMessage(std::string_view goneFolder);

// The refusal of a folder that is not a project, naming it.
std::string notAProjectFolderMessage(std::string_view folder);

struct NewProjectOutcome {
    std::vector<std::string> messages;
    bool created = false;
};

// The process-wide project state, owned by the main window. With no project open the project folder is PROJECTS.
class ProjectState {
public:
    std::string toolFolder;
    std::string masterFolder;
    std::string projectsFolder;
    std::string projectName;
    std::string projectFolder;
    std::string pargenPath;
    std::string frameJ1939Path;
    std::string groupPath;

    // Recomputes the three document paths from the project folder.
    void SetProjectPaths();

    std::string definitionsPath() const;
    std::string settingsFilePath() const;

    // Start-up: derives the folders from the tool folder and creates MASTER and PROJECTS when missing.
    void setToolFolder(std::string_view folder);

    // Start-up: takes the stored name and reopens its folder below PROJECTS when it can. The name is kept as read.
    bool reopen(std::string_view storedName);

    // The folder a project name denotes below PROJECTS (one leading separator allowed), or nothing when the name
    // is empty or holds a "." or ".." component.
    std::optional<std::string> folderOfStoredName(std::string_view storedName) const;

    // The project folder that Open project found gone and emptied, until a project is opened or created.
    std::string goneFolder;

    // Open project, before the browser: empties the project folder when it is gone; returns where to start.
    std::string prepareOpen();
    // Open project, after the browser (chosen folder or cancel): re-derives the name and the document paths.
    void finishOpen(const std::optional<std::string>& chosenFolder);

    // New project confirmed: the folder destination + separator + name has been created.
    void setNewProject(std::string_view destinationFolder, std::string_view name);

    // OK of the New project dialog: the checks, then the folder and its bin folder; the project is set only when
    // the folder was created. A folder that cannot be created gives the system's reason.
    NewProjectOutcome createProject(std::string_view destinationFolder, std::string_view name);
};

}  // namespace tessaro
