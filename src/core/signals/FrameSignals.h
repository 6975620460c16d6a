#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/signals/SignalDatabase.h"

namespace tessaro {

// What the signal database says about the bytes of one frame of the project map.

inline constexpr std::size_t kFrameBytes = 8;

struct SignalRegister {
    std::uint8_t slave = 0;
    std::uint8_t typeReg = 0;  // a RegisterKind, or any other value as stored
    std::int32_t registerNumber = 0;

    bool operator==(const SignalRegister&) const = default;
};

// Raw bits rawLowBit upwards land in register bits registerLowBit upwards, count of them.
struct RegisterPiece {
    unsigned rawLowBit = 0;
    unsigned registerLowBit = 0;
    unsigned count = 0;

    bool operator==(const RegisterPiece&) const = default;
};

// How one register that feeds a signal holds its bits: the value the Modbus side writes is the pieces put together.
struct RegisterArithmetic {
    SignalRegister source;
    std::vector<RegisterPiece> pieces;  // by register bit
    std::uint16_t exampleValue = 0;     // the register's bits of the signal's worked example
};

// One physical value taken through to its raw value and the registers' values.
struct SignalExample {
    double physical = 0;
    std::string physicalText;   // "1500 rpm"
    std::string rawText;        // "12000", "-3 (0xFFD)", "30 (0x41F00000)"
    std::uint64_t rawBits = 0;  // the raw value's bits, length of them
};

// A signal that the frame's sources feed whole, and how the Modbus side must encode it.
struct CoveredSignal {
    std::string name;
    std::vector<unsigned> bytes;            // 1-based, from the most significant one
    std::vector<SignalRegister> registers;  // each once, in the order of the bytes
    double factor = 1;
    double offset = 0;
    std::string unit;
    std::string encoding;  // the raw value, the register arithmetic and the worked example, as one text
    unsigned startBit = 0;
    unsigned length = 0;
    ByteOrder byteOrder = ByteOrder::littleEndian;
    bool isSigned = false;
    ValueType valueType = ValueType::integer;
    std::vector<ByteBits> bits;  // in the frame's order of bytes (0-based)
    std::optional<std::uint32_t> spn;
    std::vector<ValueText> valueTexts;
    std::string multiplexer;  // empty when the signal is not multiplexed
    std::vector<ValueRange> multiplexerValues;
    std::vector<RegisterArithmetic> arithmetic;  // in the order of registers; those of bytes fed once
    std::vector<unsigned> fedTwice;              // the signal's bytes (0-based) fed by more than one half
    SignalExample example;
};

enum class SignalFindingKind : std::uint8_t {
    swapped,        // the bytes of a register in the opposite of the signal's byte order
    partlyFed,      // some of the signal's bytes fed, not all
    notOneValue,    // fed whole, from halves that do not make one value
    uncoveredByte,  // a fed byte that no signal of the message covers
};

struct SignalFinding {
    SignalFindingKind kind = SignalFindingKind::swapped;
    std::string signal;               // empty for an uncovered byte
    unsigned byte = 0;                // 1-based: the signal's first fed byte, or the uncovered byte
    std::uint32_t definitionRow = 0;  // the row of DefFrameJ1939.xml that feeds that byte first
    std::string message;
};

// A multiplexed signal at a byte: what it is, and which values of which multiplexer carry it.
struct MultiplexedAtByte {
    std::string name;
    std::string multiplexer;
    std::vector<ValueRange> values;

    bool operator==(const MultiplexedAtByte&) const = default;
};

struct FrameSignals {
    std::string message;  // the database's message name; empty when the PGN is not there
    // The signals that are always in the frame, multiplexers included, at each byte.
    std::array<std::vector<std::string>, kFrameBytes> signalsAtByte;
    // Those a multiplexer chooses.
    std::array<std::vector<MultiplexedAtByte>, kFrameBytes> multiplexedAtByte;
    std::vector<CoveredSignal> covered;
    std::vector<SignalFinding> findings;
    // The message's signals as the database holds them, for the tips.
    std::vector<SignalDefinition> definitions;

    bool inDatabase() const { return !message.empty(); }
};

}  // namespace tessaro
