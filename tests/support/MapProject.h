#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "support/TemporaryFolder.h"

namespace tessaro::testing {

// Small project folders for the map, written as the editors write their documents.
struct MapFrame {
    std::string pgn;
    std::string group = "0";
    std::string dataPage = "0";
};

struct MapDefinition {
    int frame;
    int slave;
    int index;
    std::vector<int> positions;  // one per point
    int typeReg = 3;
};

inline void writeMapProjectAt(const std::string& folder, const std::vector<MapFrame>& frames,
                              const std::vector<MapDefinition>& definitions, const std::vector<int>& cycleTimes) {
    const auto write = [&folder](const char* name, const std::string& text) {
        std::ofstream(folder + "/" + name, std::ios::binary) << text;
    };
    std::string text = "<Frames_J1939>";
    for (const MapFrame& frame : frames)
        text += "<row Priority=\"6\" DataPage=\"" + frame.dataPage + "\" PGN=\"" + frame.pgn + "\" Group=\"" +
                frame.group + "\" Erase=\"N\" Mnemonic=\"\"/>";
    write("FrameJ1939.xml", text + "</Frames_J1939>");
    text = "<DefFrame>";
    for (const MapDefinition& definition : definitions) {
        text += "<row NrFrameJ1939=\"" + std::to_string(definition.frame) + "\" Device_ID=\"" +
                std::to_string(definition.slave) + "\" Index=\"" + std::to_string(definition.index) + "\" Num_Reg=\"" +
                std::to_string(definition.positions.size() - 1) + "\" Type_Reg=\"" +
                std::to_string(definition.typeReg) + "\"";
        for (std::size_t k = 0; k < 8; ++k)
            text += " poscomp" + std::to_string(k) + "=\"" +
                    std::to_string(k < definition.positions.size() ? definition.positions[k] : 0) + "\"";
        text += "/>";
    }
    write("DefFrameJ1939.xml", text + "</DefFrame>");
    text = "<Group>";
    for (const int cycleTime : cycleTimes)
        text += "<row Cyclic_Time=\"" + std::to_string(cycleTime) + "\" Mnemonic=\"\"/>";
    write("Group.xml", text + "</Group>");
}

inline void writeMapProject(const TemporaryFolder& folder, const std::vector<MapFrame>& frames,
                            const std::vector<MapDefinition>& definitions, const std::vector<int>& cycleTimes) {
    writeMapProjectAt(folder.path(), frames, definitions, cycleTimes);
}

}  // namespace tessaro::testing
