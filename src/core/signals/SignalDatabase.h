#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaro {

// A J1939 signal database: the messages and signals of a DBC file, as far as mapping frame bytes needs them.

inline constexpr std::string_view kSignalDatabaseFileName = "signals.dbc";

// @0 in a DBC file: Motorola, most significant byte first; @1: Intel, least significant byte first.
enum class ByteOrder : std::uint8_t { bigEndian, littleEndian };

struct SignalDefinition {
    std::string name;
    unsigned startBit = 0;  // as written: the least significant bit (Intel) or the most significant one (Motorola)
    unsigned length = 0;    // bits, 1 to 64
    ByteOrder byteOrder = ByteOrder::littleEndian;
    bool isSigned = false;
    double factor = 1;
    double offset = 0;
    double minimum = 0;
    double maximum = 0;
    std::string unit;
    std::vector<std::string> receivers;
    std::string comment;
    std::size_t line = 0;  // from 1
};

// The bytes a signal occupies in its message, 0-based and contiguous.
struct SignalBytes {
    unsigned first = 0;  // the lowest byte
    unsigned last = 0;   // the highest byte
    ByteOrder order = ByteOrder::littleEndian;
    // The bytes from the most significant to the least significant.
    std::vector<unsigned> bySignificance() const;
    unsigned count() const { return last - first + 1; }
};

SignalBytes bytesOf(const SignalDefinition& signal);
// Starts at a byte's edge and fills whole bytes.
bool coversWholeBytes(const SignalDefinition& signal);

// The flag of an extended (29-bit) identifier in a DBC file.
inline constexpr std::uint32_t kExtendedIdentifierFlag = 0x80000000u;

struct MessageDefinition {
    std::uint32_t identifier = 0;  // as written, with the extended flag
    std::string name;
    unsigned size = 0;  // data bytes
    std::string sender;
    std::string comment;
    // Not named "signals", which Qt reserves.
    std::vector<SignalDefinition> signalDefinitions;
    std::size_t line = 0;

    bool extended() const { return (identifier & kExtendedIdentifierFlag) != 0; }
    // The parameter group number, or nothing for a standard identifier.
    std::optional<std::uint32_t> pgn() const;
};

// The PGN a 29-bit identifier carries: bits 8 to 25; for the PDU1 format (PF below 240) the destination byte PS is
// not part of it. Nothing for a standard identifier or one wider than 29 bits.
std::optional<std::uint32_t> pgnOfIdentifier(std::uint32_t identifier);
// The PGN of a frame of the frame table: the data page above the 16 bits of PGN, the destination byte of the
// PDU1 format dropped.
std::uint32_t framePgn(std::int32_t dataPage, std::int32_t pgn);

// A line of the file that the reader reports: malformed (and skipped), or a signal it left out.
struct DatabaseNote {
    std::size_t line = 0;  // from 1
    std::string text;
};

struct SignalDatabase {
    std::vector<MessageDefinition> messages;
    std::vector<DatabaseNote> malformed;  // in line order
    std::vector<DatabaseNote> leftOut;    // multiplexed signals, in line order

    // The first message of the PGN, or nothing.
    const MessageDefinition* messageOfPgn(std::uint32_t pgn) const;
};

// Reads messages (BO_), their signals (SG_) and the comments on both (CM_); every other statement is passed over.
// A malformed line is noted with its line number and skipped, and the rest is read. Multiplexed signals (M, mN)
// are noted and left out.
SignalDatabase readSignalDatabase(std::string_view text);
// Throws tessaro::Error when the file cannot be read.
SignalDatabase loadSignalDatabase(const std::string& path);

// Where the project's database is: signals.dbc in the project folder, else in the tool folder; nothing when neither
// holds one.
std::optional<std::string> signalDatabasePath(const std::string& projectFolder, const std::string& toolFolder);

// "line 12: TEXT"
std::string noteText(const DatabaseNote& note);

}  // namespace tessaro
