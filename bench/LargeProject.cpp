#include "LargeProject.h"

#include "core/documents/XmlDocument.h"
#include "core/editors/PargenDocument.h"
#include "core/project/ProjectState.h"

namespace tessaro::bench {

void writeLargestProject(const std::string& folder, std::optional<int> groupCycleMs) {
    constexpr int kFrames = 250, kDefinitions = 7032, kGroups = 10;

    XmlDocument frames;
    XmlElement frameRoot = frames.addRoot("Frames_J1939");
    for (int i = 0; i < kFrames; ++i) {
        XmlElement row = frameRoot.addChild("row");
        row.setAttribute("Priority", std::to_string(i % 8));
        row.setAttribute("DataPage", std::to_string(i % 2));
        row.setAttribute("PGN", i % 3 == 0 ? "0xFE" + std::to_string(10 + i % 90) : std::to_string(61440 + i));
        row.setAttribute("Group", std::to_string(i % (kGroups + 1)));
        row.setAttribute("Erase", i % 2 ? "Y" : "N");
        row.setAttribute("Mnemonic", "Frame " + std::to_string(i + 1));
    }
    frames.save(joinPath(folder, "FrameJ1939.xml"));

    XmlDocument definitions;
    XmlElement definitionRoot = definitions.addRoot("DefFrame");
    for (int i = 0; i < kDefinitions; ++i) {
        XmlElement row = definitionRoot.addChild("row");
        row.setAttribute("NrFrameJ1939", std::to_string(i * kFrames / kDefinitions + 1));
        row.setAttribute("Device_ID", std::to_string(i % 250 + 1));
        row.setAttribute("Index", std::to_string(i * 8 % 65536));
        row.setAttribute("Num_Reg", "7");
        row.setAttribute("Type_Reg", i % 2 ? "4" : "3");
        for (int k = 0; k < 8; ++k)
            row.setAttribute("poscomp" + std::to_string(k), std::to_string((k % 8 + 1) * 16 + (7 - k) % 8 + 1));
    }
    definitions.save(joinPath(folder, "DefFrameJ1939.xml"));

    XmlDocument groups;
    XmlElement groupRoot = groups.addRoot("Group");
    for (int i = 0; i < kGroups; ++i) {
        XmlElement row = groupRoot.addChild("row");
        row.setAttribute("Cyclic_Time", std::to_string(groupCycleMs.value_or((i + 1) * 100)));
        row.setAttribute("Mnemonic", "Group " + std::to_string(i + 1));
    }
    groups.save(joinPath(folder, "Group.xml"));

    savePargen(joinPath(folder, "pargen.xml"), PargenSettings{});
}

}  // namespace tessaro::bench
