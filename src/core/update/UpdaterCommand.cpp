#include "core/update/UpdaterCommand.h"

namespace tessaro {

UpdaterCommand updaterCommand(const ProjectState& project, std::string_view port, const UpdateOptions& options) {
    const std::string simulationFile = joinPath(project.masterFolder, kSimulationFileName);
    const std::string binFolder = joinPath(project.projectFolder, "bin") + kPathSeparator;

    UpdaterCommand command;
    command.program = joinPath(project.toolFolder, kUpdaterProgramName);
    command.arguments = {std::string(port),
                         options.firmware ? "FW" : "NO",
                         options.readFirmware ? "FR" : "NO",
                         options.project ? "PW" : "NO",
                         options.readProject ? "PR" : "NO",
                         simulationFile,
                         binFolder};
    for (std::size_t index = 0; index < 5; ++index) command.parameters += command.arguments[index] + ' ';
    command.parameters += '"' + simulationFile + "\" ";
    command.parameters += '"' + binFolder + '"';
    return command;
}

}  // namespace tessaro
