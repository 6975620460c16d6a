#pragma once

#include <string_view>

namespace tessaro {

// The files of a project folder, named with their letter case.
inline constexpr std::string_view kPargenFileName = "pargen.xml";
inline constexpr std::string_view kFrameTableFileName = "FrameJ1939.xml";
inline constexpr std::string_view kDefinitionsFileName = "DefFrameJ1939.xml";
inline constexpr std::string_view kGroupFileName = "Group.xml";
inline constexpr std::string_view kExportFileName = "DefFrame.csv";
// The folder of the image, which "New project" creates with the project.
inline constexpr std::string_view kBinFolderName = "bin";

}  // namespace tessaro
