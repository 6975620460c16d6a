#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/documents/DocumentColumns.h"
#include "core/editors/ShowRead.h"

namespace tessaro {

// The eight communication settings as pargen.xml holds them: list positions and texts as typed.
struct PargenSettings {
    std::int32_t canBaudRatePosition = 5;  // BR_CAN
    std::string deviceId = "10";           // ID_CAN
    bool rs232 = false;                    // Select_Ser: 1 = RS232, 0 = RS485
    std::int32_t rtuBaudRatePosition = 3;  // Baud_Ser
    std::int32_t parityPosition = 0;       // Par_Ser
    std::int32_t stopBitsPosition = 0;     // Stop_Ser
    std::string timeout = "1000";          // TimeOut_Ser
    std::string delay = "100";             // Delay_Ser

    bool operator==(const PargenSettings&) const = default;
};

inline constexpr std::string_view kPargenRoot = kPargenColumns.root;
inline constexpr auto kPargenElements = columnNames(kPargenColumns.all());

inline constexpr std::array<std::string_view, 9> kCanBaudRates = {"10",  "20",  "50",  "100", "125",
                                                                  "250", "500", "800", "1000"};
inline constexpr std::array<std::string_view, 8> kRtuBaudRates = {"1200",  "2400",  "4800",  "9600",
                                                                  "19200", "38400", "57600", "115200"};
inline constexpr std::array<std::string_view, 3> kParities = {"NONE", "ODD", "EVEN"};
inline constexpr std::array<std::string_view, 3> kStopBits = {"1 Stop Bit", "1.5 Stop Bit", "2 Stop Bit"};
// Select_Ser: 0 RS485, 1 RS232.
inline constexpr std::array<std::string_view, 2> kSerialInterfaces = {"RS485", "RS232"};

// Show: the settings from the file, each element alone, its own default when missing or not an integer; the
// defaults when the file does not exist, nothing when it cannot be loaded. The file is unread when it exists but its
// settings could not be read: it is not well-formed or has no GeneralParameter.
ShowRead<std::optional<PargenSettings>> readPargen(const std::string& path);

// The first broken rule's message, or nothing when the settings are valid.
std::optional<std::string> validatePargen(const PargenSettings& settings);

// The document, the eight elements in their fixed order.
std::string pargenText(const PargenSettings& settings);
// Throws tessaro::Error when the file cannot be written; the previous file stays whole.
void savePargen(const std::string& path, const PargenSettings& settings);

}  // namespace tessaro
