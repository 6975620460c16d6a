#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "signals/SignalDatabase.h"

namespace tessaro {

// What the signal database says about the bytes of one frame, given the register halves that feed them.

inline constexpr std::size_t kFrameBytes = 8;

enum class RegisterKind : std::uint8_t { holding, input };
enum class RegisterHalf : std::uint8_t { high, low };

// One register half that feeds a frame byte.
struct RegisterSource {
    std::int32_t slave = 0;
    RegisterKind kind = RegisterKind::holding;
    std::int64_t registerNumber = 0;  // the definition's index + the register's position
    RegisterHalf half = RegisterHalf::high;

    bool operator==(const RegisterSource&) const = default;
};

// Per frame byte B1 to B8, the halves that feed it.
using FrameByteSources = std::array<std::vector<RegisterSource>, kFrameBytes>;

// "slave 1 holding 0 high"
std::string sourceText(const RegisterSource& source);

struct SignalRegister {
    std::int32_t slave = 0;
    RegisterKind kind = RegisterKind::holding;
    std::int64_t registerNumber = 0;

    bool operator==(const SignalRegister&) const = default;
};

// "slave 1 holding 0"
std::string registerText(const SignalRegister& source);

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

// "raw = physical / 0.125, 16 bits unsigned, physical in rpm": raw = (physical - offset) / factor.
std::string encodingText(const SignalDefinition& signal);
// The shortest decimal text that reads back as the same number.
std::string numberText(double value);

enum class SignalFindingKind : std::uint8_t {
    swapped,        // the bytes of a register in the opposite of the signal's byte order
    partlyFed,      // some of the signal's bytes fed, not all
    notOneValue,    // fed whole, from halves that do not make one value
    uncoveredByte,  // a fed byte that no signal of the message covers
};

struct SignalFinding {
    SignalFindingKind kind = SignalFindingKind::swapped;
    std::string signal;  // empty for an uncovered byte
    unsigned byte = 0;   // 1-based: the signal's first fed byte, or the uncovered byte
    std::string message;
};

struct FrameSignals {
    std::string message;  // the database's message name; empty when the PGN is not there
    std::array<std::vector<std::string>, kFrameBytes> signalsAtByte;
    std::vector<CoveredSignal> covered;
    std::vector<SignalFinding> findings;

    bool inDatabase() const { return !message.empty(); }
};

// The names of the message's signals at each of B1 to B8, in the message's order.
std::array<std::vector<std::string>, kFrameBytes> signalsAtBytes(const MessageDefinition& message);

// The signals of the frame's PGN (framePgn) at its bytes. The findings name the frame by its number.
FrameSignals analyseFrameSignals(const SignalDatabase& database, std::int32_t frameNumber, std::uint32_t pgn,
                                 const FrameByteSources& sources);

}  // namespace tessaro
