#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tessaro {

// A parameter group number as a J1939 identifier carries it: the data page bits (extended data page above data
// page), the PDU format PF and the PDU specific PS. Below PF 240 (PDU1) PS is the destination address and no part of
// the parameter group; from 240 on (PDU2) it is the group extension.
struct Pgn {
    std::uint8_t dataPage = 0;  // 0 to 3
    std::uint8_t format = 0;    // PF
    std::uint8_t specific = 0;  // PS

    static constexpr std::uint8_t kFirstPdu2Format = 240;

    constexpr bool pdu1() const { return format < kFirstPdu2Format; }
    // The number of the parameter group: for PDU1 without the destination.
    constexpr std::uint32_t number() const {
        return std::uint32_t(dataPage & 3) << 16 | std::uint32_t(format) << 8 | (pdu1() ? 0u : specific);
    }
    constexpr std::optional<std::uint8_t> destination() const {
        return pdu1() ? std::optional<std::uint8_t>(specific) : std::nullopt;
    }
    // The 16 bits below the data page, destination included, as the frame table and the image hold them.
    constexpr std::uint16_t low16() const { return std::uint16_t(format << 8 | specific); }

    constexpr bool operator==(const Pgn&) const = default;
};

inline constexpr std::uint32_t kIdentifierMask29 = 0x1FFFFFFFu;

// The PGN of a 29-bit identifier (priority in bits 26 to 28, the PGN's bits in 8 to 25, the source address in 0
// to 7); nothing for an identifier wider than 29 bits.
constexpr std::optional<Pgn> pgnOfIdentifier(std::uint32_t identifier) {
    if (identifier > kIdentifierMask29) return std::nullopt;
    return Pgn{std::uint8_t(identifier >> 24 & 3), std::uint8_t(identifier >> 16 & 0xFF),
               std::uint8_t(identifier >> 8 & 0xFF)};
}

// The PGN of a frame of the frame table, read as the builder stores it: the low bit of its data page and the low 16
// bits of its PGN.
constexpr Pgn framePgn(std::int32_t dataPage, std::int32_t pgn) {
    return Pgn{std::uint8_t(std::uint32_t(dataPage) & 1), std::uint8_t(std::uint32_t(pgn) >> 8 & 0xFF),
               std::uint8_t(std::uint32_t(pgn) & 0xFF)};
}

// The 29-bit identifier that carries pgn, at priority (0 to 7) from sourceAddress.
constexpr std::uint32_t identifierOf(const Pgn& pgn, std::uint8_t priority, std::uint8_t sourceAddress) {
    return std::uint32_t(priority & 7) << 26 | std::uint32_t(pgn.dataPage & 3) << 24 | std::uint32_t(pgn.format) << 16 |
           std::uint32_t(pgn.specific) << 8 | sourceAddress;
}

// The request (RQST): its three data bytes name the parameter group asked for.
inline constexpr std::uint32_t kRequestPgn = 59904;

// The number of the parameter group a request asks of address (or of all, destination 0xFF), from the request's
// 29-bit identifier and data; nothing for any other frame.
constexpr std::optional<std::uint32_t> requestedPgnNumber(std::uint32_t identifier, const std::uint8_t* data,
                                                          std::size_t length, std::uint8_t address) {
    const std::optional<Pgn> pgn = pgnOfIdentifier(identifier);
    if (!pgn || pgn->number() != kRequestPgn || length < 3) return std::nullopt;
    if (pgn->specific != address && pgn->specific != 0xFF) return std::nullopt;
    return std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8 | std::uint32_t(data[2] & 3) << 16;
}

// "0xFEEE": the 16 bits below the data page, destination included.
std::string pgnHex(const Pgn& pgn);
// "65262 (0xFEEE)"
std::string pgnText(const Pgn& pgn);

}  // namespace tessaro
