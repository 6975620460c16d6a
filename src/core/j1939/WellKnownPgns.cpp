#include "core/j1939/WellKnownPgns.h"

#include <algorithm>
#include <array>

#include "core/documents/NumericText.h"

namespace tessaro {

namespace {

// Ordered by number, for the binary search.
constexpr std::array kTable{
    WellKnownPgn{0, "TSC1", "Torque/speed control 1"},
    WellKnownPgn{59392, "ACKM", "Acknowledgment"},
    WellKnownPgn{59904, "RQST", "Request"},
    WellKnownPgn{60160, "TP.DT", "Transport protocol data transfer"},
    WellKnownPgn{60416, "TP.CM", "Transport protocol connection management"},
    WellKnownPgn{60928, "AC", "Address claimed"},
    WellKnownPgn{61440, "ERC1", "Electronic retarder controller 1"},
    WellKnownPgn{61441, "EBC1", "Electronic brake controller 1"},
    WellKnownPgn{61442, "ETC1", "Electronic transmission controller 1"},
    WellKnownPgn{61443, "EEC2", "Electronic engine controller 2"},
    WellKnownPgn{61444, "EEC1", "Electronic engine controller 1"},
    WellKnownPgn{61445, "ETC2", "Electronic transmission controller 2"},
    WellKnownPgn{65214, "EEC4", "Electronic engine controller 4"},
    WellKnownPgn{65215, "EBC2", "Wheel speed information"},
    WellKnownPgn{65226, "DM1", "Active diagnostic trouble codes"},
    WellKnownPgn{65227, "DM2", "Previously active diagnostic trouble codes"},
    WellKnownPgn{65228, "DM3", "Diagnostic data clear/reset of previously active DTCs"},
    WellKnownPgn{65242, "SOFT", "Software identification"},
    WellKnownPgn{65247, "EEC3", "Electronic engine controller 3"},
    WellKnownPgn{65248, "VD", "Vehicle distance"},
    WellKnownPgn{65253, "HOURS", "Engine hours, revolutions"},
    WellKnownPgn{65254, "TD", "Time/date"},
    WellKnownPgn{65257, "LFC", "Fuel consumption (liquid)"},
    WellKnownPgn{65259, "CI", "Component identification"},
    WellKnownPgn{65260, "VI", "Vehicle identification"},
    WellKnownPgn{65261, "CCSS", "Cruise control/vehicle speed setup"},
    WellKnownPgn{65262, "ET1", "Engine temperature 1"},
    WellKnownPgn{65263, "EFL/P1", "Engine fluid level/pressure 1"},
    WellKnownPgn{65265, "CCVS", "Cruise control/vehicle speed"},
    WellKnownPgn{65266, "LFE", "Fuel economy (liquid)"},
    WellKnownPgn{65269, "AMB", "Ambient conditions"},
    WellKnownPgn{65270, "IC1", "Inlet/exhaust conditions 1"},
    WellKnownPgn{65271, "VEP1", "Vehicle electrical power 1"},
    WellKnownPgn{65276, "DD", "Dash display"},
};

static_assert(std::is_sorted(kTable.begin(), kTable.end(),
                             [](const WellKnownPgn& a, const WellKnownPgn& b) { return a.number < b.number; }));

}  // namespace

std::span<const WellKnownPgn> wellKnownPgns() {
    return kTable;
}

const WellKnownPgn* findWellKnownPgn(const Pgn& pgn) {
    const auto found =
        std::lower_bound(kTable.begin(), kTable.end(), pgn.number(),
                         [](const WellKnownPgn& entry, std::uint32_t number) { return entry.number < number; });
    return found != kTable.end() && found->number == pgn.number() ? &*found : nullptr;
}

std::string wellKnownPgnTip(std::string_view dataPage, std::string_view pgn) {
    const std::optional<std::int32_t> page = tryToInteger(dataPage);
    const std::optional<std::int32_t> number = tryToInteger(pgn);
    return page && number ? wellKnownPgnTip(*page, *number) : std::string();
}

std::string wellKnownPgnTip(std::int32_t dataPage, std::int32_t pgn) {
    return wellKnownPgnText(findWellKnownPgn(framePgn(dataPage, pgn)));
}

std::string wellKnownPgnText(const WellKnownPgn* pgn) {
    return pgn ? std::string(pgn->acronym) + " " + std::string(pgn->name) : std::string();
}

}  // namespace tessaro
