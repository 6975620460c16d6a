#pragma once

#include <array>
#include <cstdint>
#include <string>

// Rows of FrameJ1939.xml and DefFrameJ1939.xml as the documents hold them, attributes in written order.
namespace tessaro::testing {

inline std::string frameRow(const char* priority, const char* dataPage, const char* pgn) {
    return std::string("<row Priority=\"") + priority + "\" DataPage=\"" + dataPage + "\" PGN=\"" + pgn +
           "\" Group=\"0\" Erase=\"\" Mnemonic=\"\"/>";
}

inline std::string threeFrames() {
    return "<Frames_J1939>" + frameRow("6", "0", "0xFEF1") + frameRow(" 3", "1", "61444") +
           frameRow("7", "0", "$FEEE") + "</Frames_J1939>";
}

inline std::string positionAttributes(const std::array<std::uint8_t, 8>& positions) {
    std::string text;
    for (std::size_t k = 0; k < positions.size(); ++k)
        text += " poscomp" + std::to_string(k) + "=\"" + std::to_string(positions[k]) + "\"";
    return text;
}

inline std::string definitionRow(int frame, const char* device, const char* index, int count, int type,
                                 const std::string& positions = " poscomp0=\"0\"") {
    return "<row NrFrameJ1939=\"" + std::to_string(frame) + "\" Device_ID=\"" + device + "\" Index=\"" + index +
           "\" Num_Reg=\"" + std::to_string(count) + "\" Type_Reg=\"" + std::to_string(type) + "\"" + positions + "/>";
}

// A row as the dialog writes it: all eight positions.
inline std::string writtenRow(int frame, const char* device, const char* index, int count, int type,
                              const std::array<std::uint8_t, 8>& positions = {}) {
    return definitionRow(frame, device, index, count, type, positionAttributes(positions));
}

}  // namespace tessaro::testing
