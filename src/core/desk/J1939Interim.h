#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tessaro::desk {

// Interim: until the core has a J1939 folder, the desk test composes identifiers, names PGNs and knows the register
// kinds here, each in one place, so that the folder's own can take its place.

// Modbus register kinds by the function code that reads them, as Type_Reg stores them.
enum class RegisterKind : std::uint8_t { holding = 3, input = 4 };

// The kind a Type_Reg names, or nothing for any other value.
std::optional<RegisterKind> registerKindOf(std::uint8_t typeReg);

// "holding", "input".
std::string_view registerKindWord(RegisterKind kind);

// The 29-bit identifier of a frame: priority (its low three bits), extended data page 0, data page (its low bit),
// the 16 bits of the frame's PGN as PDU format and PDU specific, and the source address.
std::uint32_t composeIdentifier(std::uint8_t priority, std::uint8_t dataPage, std::uint16_t pgn, std::uint8_t source);

// The acronym of a well-known parameter group ("EEC1"), empty for any other.
std::string_view pgnAcronym(std::uint8_t dataPage, std::uint16_t pgn);

// The parameter group of a request (PGN 59904) whose destination is the address or global, as its first three data
// bytes name it; nothing for any other frame.
inline constexpr std::uint32_t kRequestPgn = 59904;
struct CanFrame;
std::optional<std::uint32_t> requestedPgn(const CanFrame& frame, std::uint8_t address);

}  // namespace tessaro::desk
