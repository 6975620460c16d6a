#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/documents/DocumentColumns.h"
#include "core/documents/DocumentNames.h"
#include "core/editors/ShowRead.h"
#include "core/j1939/Pgn.h"

namespace tessaro {

inline constexpr std::size_t kRegisterSlots = 8;
inline constexpr std::string_view kDefinitionsRoot = kDefinitionColumns.root;
// Type_Reg is the register kind plus this: 3 holding registers, 4 input registers.
inline constexpr std::uint8_t kTypeRegOffset = 3;

inline constexpr std::string_view kFrameTableReadError = "Error in reading file PDO XML";
inline constexpr std::string_view kDefinitionsReadError = "Error in reading file SDOPDO XML";

inline constexpr std::array<std::string_view, 8> kNumberOfPointsItems = {"1", "2", "3", "4", "5", "6", "7", "8"};
inline constexpr std::array<std::string_view, 2> kKindItems = {"Holding Register", "Input Register"};
inline constexpr std::array<std::string_view, 9> kByteSelectorItems = {"none", "B1", "B2", "B3", "B4",
                                                                       "B5",   "B6", "B7", "B8"};

// One Modbus mapping of one frame. Index and device ID stay the text that was typed or read.
class TClIndMB {
public:
    std::string index;
    std::string deviceId;
    std::uint8_t registerCount = 0;  // number of points minus one
    std::uint8_t registerKind = 0;   // 0 holding, 1 input; Type_Reg - 3
    // Register r's byte: high nibble = frame byte of its high byte, low nibble = of its low byte, 0 = none.
    std::array<std::uint8_t, kRegisterSlots> positions{};

    bool operator==(const TClIndMB&) const = default;
};

// One frame of FrameJ1939.xml and the definitions it owns, in the order they were loaded or added.
class TClPdo {
public:
    std::int32_t frameNumber = 0;  // 1-based position in FrameJ1939.xml
    std::vector<TClIndMB> definitions;
};

// Register r (1-based) counts when the number of points reaches r.
constexpr bool registerInUse(std::uint8_t registerCount, std::size_t r) {
    return r <= std::size_t(registerCount) + 1;
}

constexpr std::uint8_t packPosition(int high, int low) {
    return static_cast<std::uint8_t>(high * 16 + low);
}

// A nibble beyond B8 shows as B8.
constexpr int highSelector(std::uint8_t position) {
    return position >> 4 > 8 ? 8 : position >> 4;
}
constexpr int lowSelector(std::uint8_t position) {
    return (position & 0x0F) > 8 ? 8 : position & 0x0F;
}

// What the definition controls hold: the two texts, the chosen drop-down positions (-1 for none) and, per
// register, the chosen byte selectors (0 none, 1..8 = B1..B8). A drop-down without a choice stands for the count or
// kind last shown, which is kept in keptRegisterCount and keptRegisterKind.
// A frame's data page and PGN as FrameJ1939.xml holds them.
struct FramePgnFields {
    std::int32_t dataPage = 0;
    std::int32_t pgn = 0;
};

struct DefinitionControls {
    std::string index;
    std::string deviceId;
    int numberOfPointsPosition = 0;
    int kindPosition = 0;
    std::array<int, kRegisterSlots> high{};
    std::array<int, kRegisterSlots> low{};
    std::uint8_t keptRegisterCount = 0;
    std::uint8_t keptRegisterKind = 0;

    bool operator==(const DefinitionControls&) const = default;
};

// The controls as a definition; choices on the tabs of registers that are not in use give 0.
TClIndMB packDefinition(const DefinitionControls& controls);
// A definition in the controls; registers not in use show "none", counts and kinds outside the lists no choice.
DefinitionControls unpackDefinition(const TClIndMB& definition);

// The frame list of one show: a record and a list line per frame of FrameJ1939.xml, with their definitions.
class FrameDefinitions {
public:
    // A frame list of one frame per line and no definitions, for definitions that come from elsewhere.
    void setFrames(std::vector<std::string> lines);

    std::size_t frameCount() const { return m_frames.size(); }
    TClPdo& frame(std::size_t position) { return m_frames[position]; }
    const TClPdo& frame(std::size_t position) const { return m_frames[position]; }
    // "Priority" TAB "DataPage" TAB "PGN" per frame.
    const std::vector<std::string>& frameLines() const { return m_lines; }
    // The rows (from 1) of DefFrameJ1939.xml the read skipped as their frame is beyond the frame list; OK
    // does not write them.
    const std::vector<std::size_t>& rowsBeyondFrames() const { return m_rowsBeyondFrames; }
    // Said before OK drops those rows; nothing when there are none.
    std::optional<std::string> rowsBeyondFramesWarning() const;
    // The frame's data page and PGN as read; nothing when either is no integer.
    std::optional<FramePgnFields> pgnFieldsOf(std::size_t position) const { return m_pgns[position]; }
    // The frame's PGN with its data page (framePgn); nothing when either is no integer.
    std::optional<Pgn> framePgnOf(std::size_t position) const;

    // DefFrameJ1939.xml: the rows grouped by frame, in frame list order.
    std::string documentText() const;
    // Throws tessaro::Error when the file cannot be written; the previous file stays whole.
    void save(const std::string& path) const;

    // DefFrame.csv: one line per definition, "INDEX,FRAME," and CR LF, no header.
    std::string exportText() const;
    void exportTo(const std::string& path) const;

private:
    friend ShowRead<FrameDefinitions> readFrameDefinitions(const std::string& frameTablePath,
                                                           const std::string& definitionsPath);

    std::vector<TClPdo> m_frames;
    std::vector<std::string> m_lines;
    std::vector<std::size_t> m_rowsBeyondFrames;
    std::vector<std::optional<FramePgnFields>> m_pgns;
};

// Show: the frame list from both documents. A missing document is no failure; a failing one stops its reading where
// it failed, keeping what was read. The failures are the messages to show, in order, each at most once, each with
// the place where the reading stopped on its second line.
ShowRead<FrameDefinitions> readFrameDefinitions(const std::string& frameTablePath, const std::string& definitionsPath);

// The rows of the definitions document that the frame list leaves out, their frame being beyond frameCount: one
// record per frame number, in ascending order, its rows in document order. Throws tessaro::Error (the reading
// message, the place on a second line) at a row that cannot be read; a missing document has none.
std::vector<TClPdo> readDefinitionsBeyondFrames(const std::string& definitionsPath, std::size_t frameCount);

}  // namespace tessaro
