#include "desk/J1939Interim.h"

#include "desk/CanFrame.h"
#include "map/WellKnownPgns.h"
#include "signals/SignalDatabase.h"

namespace tessaro::desk {

std::optional<RegisterKind> registerKindOf(std::uint8_t typeReg) {
    if (typeReg == std::uint8_t(RegisterKind::holding)) return RegisterKind::holding;
    if (typeReg == std::uint8_t(RegisterKind::input)) return RegisterKind::input;
    return std::nullopt;
}

std::string_view registerKindWord(RegisterKind kind) {
    return kind == RegisterKind::holding ? "holding" : "input";
}

std::uint32_t composeIdentifier(std::uint8_t priority, std::uint8_t dataPage, std::uint16_t pgn, std::uint8_t source) {
    return std::uint32_t(priority & 7) << 26 | std::uint32_t(dataPage & 1) << 24 | std::uint32_t(pgn) << 8 | source;
}

std::string_view pgnAcronym(std::uint8_t dataPage, std::uint16_t pgn) {
    const WellKnownPgn* known = findWellKnownPgn(dataPage, pgn);
    return known ? known->acronym : std::string_view();
}

std::optional<std::uint32_t> requestedPgn(const CanFrame& frame, std::uint8_t address) {
    if (!frame.extended || frame.length < 3) return std::nullopt;
    if (pgnOfIdentifier(frame.identifier | kExtendedIdentifierFlag) != kRequestPgn) return std::nullopt;
    const std::uint8_t destination = std::uint8_t(frame.identifier >> 8);
    if (destination != address && destination != 0xFF) return std::nullopt;
    return std::uint32_t(frame.data[0]) | std::uint32_t(frame.data[1]) << 8 | std::uint32_t(frame.data[2] & 3) << 16;
}

}  // namespace tessaro::desk
