#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessaro {

// What the signal database says about the bytes of one frame of the project map.

inline constexpr std::size_t kFrameBytes = 8;

struct SignalRegister {
    std::uint8_t slave = 0;
    std::uint8_t typeReg = 0;  // 3 holding, 4 input
    std::int32_t registerNumber = 0;

    bool operator==(const SignalRegister&) const = default;
};

// A signal that the frame's sources feed whole, and how the Modbus side must encode it.
struct CoveredSignal {
    std::string name;
    std::vector<unsigned> bytes;            // 1-based, from the most significant one
    std::vector<SignalRegister> registers;  // each once, in the order of the bytes
    double factor = 1;
    double offset = 0;
    std::string unit;
    std::string encoding;  // encodingText
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

struct FrameSignals {
    std::string message;  // the database's message name; empty when the PGN is not there
    std::array<std::vector<std::string>, kFrameBytes> signalsAtByte;
    std::vector<CoveredSignal> covered;
    std::vector<SignalFinding> findings;

    bool inDatabase() const { return !message.empty(); }
};

}  // namespace tessaro
