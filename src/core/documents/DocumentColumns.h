#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tessaro {

// The one description of each project document: its root element and, in written order, the attributes of its rows
// (or, for pargen.xml, its elements), with the kind of value each holds and the range the editors accept at OK.
// The models, the image builder and decoder, check and every reader and writer take the names from here.

enum class ColumnKind { text, integer };

struct DocumentColumn {
    std::string_view name;
    ColumnKind kind;
    // The range OK accepts, as integer text; none when low > high.
    std::int32_t low = 1;
    std::int32_t high = 0;

    constexpr bool ranged() const { return low <= high; }
};

template <std::size_t N>
constexpr std::array<std::string_view, N> columnNames(const std::array<DocumentColumn, N>& columns) {
    std::array<std::string_view, N> names{};
    for (std::size_t i = 0; i < N; ++i) names[i] = columns[i].name;
    return names;
}

// FrameJ1939.xml: one row per frame.
struct FrameTableColumns {
    std::string_view root = "Frames_J1939";
    DocumentColumn priority{"Priority", ColumnKind::integer, 0, 7};
    DocumentColumn dataPage{"DataPage", ColumnKind::integer, 0, 1};
    DocumentColumn pgn{"PGN", ColumnKind::integer, 0, 65535};
    DocumentColumn group{"Group", ColumnKind::integer};  // 0 for On Request, else a row of Group.xml
    DocumentColumn erase{"Erase", ColumnKind::text};     // "Y" or "N"
    DocumentColumn mnemonic{"Mnemonic", ColumnKind::text};

    constexpr std::array<DocumentColumn, 6> all() const { return {priority, dataPage, pgn, group, erase, mnemonic}; }
};

// Group.xml: one row per group.
struct GroupTableColumns {
    std::string_view root = "Group";
    DocumentColumn cyclicTime{"Cyclic_Time", ColumnKind::integer, 1, 65535};
    DocumentColumn mnemonic{"Mnemonic", ColumnKind::text};

    constexpr std::array<DocumentColumn, 2> all() const { return {cyclicTime, mnemonic}; }
};

// DefFrameJ1939.xml: one row per definition; a row holds a position for each register in use.
struct DefinitionColumns {
    std::string_view root = "DefFrame";
    DocumentColumn frame{"NrFrameJ1939", ColumnKind::integer};  // a row of FrameJ1939.xml, from 1
    DocumentColumn deviceId{"Device_ID", ColumnKind::integer, 1, 250};
    DocumentColumn index{"Index", ColumnKind::integer, 0, 65535};
    DocumentColumn registerCount{"Num_Reg", ColumnKind::integer};  // points minus 1, 0 to 7 from the dialog
    DocumentColumn typeReg{"Type_Reg", ColumnKind::integer};       // 3 holding, 4 input registers
    // Per register: the frame byte of its high half in the upper nibble, of its low half in the lower, 0 for none.
    std::array<DocumentColumn, 8> positions{{{"poscomp0", ColumnKind::integer},
                                             {"poscomp1", ColumnKind::integer},
                                             {"poscomp2", ColumnKind::integer},
                                             {"poscomp3", ColumnKind::integer},
                                             {"poscomp4", ColumnKind::integer},
                                             {"poscomp5", ColumnKind::integer},
                                             {"poscomp6", ColumnKind::integer},
                                             {"poscomp7", ColumnKind::integer}}};

    constexpr std::array<DocumentColumn, 13> all() const {
        return {frame,        deviceId,     index,        registerCount, typeReg,      positions[0], positions[1],
                positions[2], positions[3], positions[4], positions[5],  positions[6], positions[7]};
    }
};

// pargen.xml: one element per setting below the root; a list setting holds a position in its list (the lists are
// those of the communication settings).
struct PargenColumns {
    std::string_view root = "GeneralParameter";
    DocumentColumn canBaudRate{"BR_CAN", ColumnKind::integer};
    DocumentColumn canDeviceId{"ID_CAN", ColumnKind::integer, 0, 240};
    DocumentColumn serialInterface{"Select_Ser", ColumnKind::integer, 0, 1};  // 1 for RS232
    DocumentColumn rtuBaudRate{"Baud_Ser", ColumnKind::integer};
    DocumentColumn parity{"Par_Ser", ColumnKind::integer};
    DocumentColumn stopBits{"Stop_Ser", ColumnKind::integer};
    DocumentColumn timeout{"TimeOut_Ser", ColumnKind::integer, 1, 65535};
    DocumentColumn delay{"Delay_Ser", ColumnKind::integer, 1, 65535};

    constexpr std::array<DocumentColumn, 8> all() const {
        return {canBaudRate, canDeviceId, serialInterface, rtuBaudRate, parity, stopBits, timeout, delay};
    }
};

inline constexpr FrameTableColumns kFrameColumns;
inline constexpr GroupTableColumns kGroupColumns;
inline constexpr DefinitionColumns kDefinitionColumns;
inline constexpr PargenColumns kPargenColumns;

}  // namespace tessaro
