#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/j1939/Pgn.h"

namespace tessaro {

// A J1939 signal database: the messages and signals of a DBC file, as far as mapping frame bytes needs them.

inline constexpr std::string_view kSignalDatabaseFileName = "signals.dbc";

// @0 in a DBC file: Motorola, most significant byte first; @1: Intel, least significant byte first.
enum class ByteOrder : std::uint8_t { bigEndian, littleEndian };

// SIG_VALTYPE_ 0 (or none), 1 and 2: the raw value is an integer, or the bits of an IEEE single or double.
enum class ValueType : std::uint8_t { integer, ieeeSingle, ieeeDouble };

// Values of a multiplexer, both ends included.
struct ValueRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;

    bool operator==(const ValueRange&) const = default;
};

// VAL_: a raw value and what it means.
struct ValueText {
    double value = 0;
    std::string text;

    bool operator==(const ValueText&) const = default;
};

struct SignalDefinition {
    std::string name;
    unsigned startBit = 0;  // as written: the least significant bit (Intel) or the most significant one (Motorola)
    unsigned length = 0;    // bits, 1 to 64
    ByteOrder byteOrder = ByteOrder::littleEndian;
    bool isSigned = false;
    ValueType valueType = ValueType::integer;
    double factor = 1;
    double offset = 0;
    double minimum = 0;
    double maximum = 0;
    std::string unit;
    std::vector<std::string> receivers;
    std::string comment;
    std::optional<std::uint32_t> spn;   // BA_ "SPN"
    std::vector<ValueText> valueTexts;  // VAL_, in the file's order
    // M: its value chooses which multiplexed signals the message carries.
    bool isMultiplexer = false;
    // For a multiplexed signal (mN): the multiplexer of its message and the values that carry it (N, or the ranges
    // of SG_MUL_VAL_); empty for any other.
    std::string multiplexer;
    std::vector<ValueRange> multiplexerValues;
    std::size_t line = 0;  // from 1

    bool multiplexed() const { return !multiplexer.empty(); }
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

// The bits a signal takes in one byte of its message: bits lowBit to highBit of the byte (0 the least significant)
// hold the raw value's bits rawLowBit upwards, in both byte orders.
struct ByteBits {
    unsigned byte = 0;  // 0-based
    unsigned lowBit = 0;
    unsigned highBit = 0;
    unsigned rawLowBit = 0;

    unsigned count() const { return highBit - lowBit + 1; }
    bool operator==(const ByteBits&) const = default;
};

// The signal's place bit by bit, byte by byte in the message's order: Intel runs up from its start bit through the
// bytes; Motorola runs down from its start bit to bit 0 of its byte, then on from bit 7 of the next byte.
std::vector<ByteBits> bitsOf(const SignalDefinition& signal);

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
    // The parameter group number of the 29-bit identifier, or nothing for a standard one.
    std::optional<Pgn> pgn() const;
};

// A line of the file that the reader reports: malformed (and skipped), or a signal it left out.
struct DatabaseNote {
    std::size_t line = 0;  // from 1
    std::string text;
};

struct SignalDatabase {
    std::vector<MessageDefinition> messages;
    std::vector<DatabaseNote> malformed;  // in line order
    std::vector<DatabaseNote> leftOut;    // multiplexed signals no multiplexer can choose, in line order

    // The first message of pgn's parameter group (a PDU1 destination is no part of it), or nothing.
    const MessageDefinition* messageOfPgn(const Pgn& pgn) const;
};

// Reads messages (BO_), their signals (SG_, multiplexed ones with their multiplexer), the comments on both (CM_),
// the SPN attribute of signals (BA_ "SPN"), their value texts (VAL_), value types (SIG_VALTYPE_) and multiplexer
// values (SG_MUL_VAL_); every other statement is passed over, and so is the pseudo-message of the signals of no
// message. A malformed line is noted with its line number and skipped, and the rest is read.
SignalDatabase readSignalDatabase(std::string_view text);
// Throws tessaro::Error when the file cannot be read, or is a folder, empty or without any message.
SignalDatabase loadSignalDatabase(const std::string& path);

// Where the project's database is: signals.dbc in the project folder, else in the tool folder; nothing when neither
// holds one.
std::optional<std::string> signalDatabasePath(const std::string& projectFolder, const std::string& toolFolder);

// "line 12: TEXT"
std::string noteText(const DatabaseNote& note);

}  // namespace tessaro
