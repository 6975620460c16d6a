#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "core/j1939/RegisterKind.h"
#include "core/map/SignalAnalysis.h"
#include "core/signals/SignalDatabase.h"

namespace tessaro::fuzz {

namespace {

bool isIdentifier(std::string_view name) {
    if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_')) return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

// Decodes each code point and checks its value: no overlong form, no surrogate, nothing beyond U+10FFFF.
bool isUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        int following = 0;
        std::uint32_t value = lead, least = 0;
        if (lead >= 0x80) {
            if ((lead & 0xE0) == 0xC0) {
                following = 1, value = lead & 0x1F, least = 0x80;
            } else if ((lead & 0xF0) == 0xE0) {
                following = 2, value = lead & 0x0F, least = 0x800;
            } else if ((lead & 0xF8) == 0xF0) {
                following = 3, value = lead & 0x07, least = 0x10000;
            } else {
                return false;
            }
        }
        if (at + std::size_t(following) >= text.size()) return false;
        for (int k = 1; k <= following; ++k) {
            const auto next = static_cast<unsigned char>(text[at + std::size_t(k)]);
            if ((next & 0xC0) != 0x80) return false;
            value = value << 6 | (next & 0x3F);
        }
        if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
        at += std::size_t(following) + 1;
    }
    return true;
}

// The signal's bits walked one by one from its start bit, as the two byte orders lay them out: the lowest and the
// highest byte they touch, or nothing when one of them lies beyond the message.
std::optional<std::pair<unsigned, unsigned>> walkedBytes(const SignalDefinition& signal, unsigned size) {
    unsigned lowest = ~0u, highest = 0;
    long bit = long(signal.startBit);
    for (unsigned k = 0; k < signal.length; ++k) {
        if (bit < 0 || bit >= long(size) * 8) return std::nullopt;
        lowest = std::min(lowest, unsigned(bit / 8));
        highest = std::max(highest, unsigned(bit / 8));
        // Intel runs up through the bits; Motorola down through a byte, then on to bit 7 of the next.
        if (signal.byteOrder == ByteOrder::littleEndian)
            ++bit;
        else
            bit = bit % 8 == 0 ? bit + 15 : bit - 1;
    }
    return std::pair{lowest, highest};
}

// The text of a line, from 1.
std::string_view lineAt(std::string_view input, std::size_t line) {
    std::size_t start = 0;
    for (std::size_t k = 1; k < line; ++k) start = input.find('\n', start) + 1;
    return input.substr(start, input.find('\n', start) - start);
}

// The line begins with the statement's keyword and names what was read from it.
bool lineHolds(std::string_view line, std::string_view keyword, std::string_view name) {
    const std::size_t at = line.find_first_not_of(" \t\r\f\v");
    return at != std::string_view::npos && line.substr(at, keyword.size()) == keyword &&
           line.find(name) != std::string_view::npos;
}

template <class Notes>
void checkLines(const Notes& notes, std::size_t lineCount, const char* what) {
    std::size_t previous = 0;
    for (const DatabaseNote& note : notes) {
        TESSARO_FUZZ_EXPECT(note.line > previous && note.line <= lineCount,
                            std::string(what) + " at line " + std::to_string(note.line) + " of " +
                                std::to_string(lineCount) + ", after " + std::to_string(previous));
        TESSARO_FUZZ_EXPECT(!note.text.empty(), what);
        previous = note.line;
    }
}

std::uint64_t lowMask(unsigned count) {
    return count >= 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << count) - 1;
}

// The bits of each byte the reader gives a signal are those its bits walked one by one take, each raw bit once.
void checkBits(const SignalDefinition& signal, unsigned size) {
    const std::vector<ByteBits> bits = bitsOf(signal);
    unsigned total = 0;
    for (const ByteBits& byte : bits) {
        TESSARO_FUZZ_EXPECT(byte.byte < size && byte.lowBit <= byte.highBit && byte.highBit <= 7,
                            signal.name + ": bits " + std::to_string(byte.lowBit) + "-" + std::to_string(byte.highBit) +
                                " of byte " + std::to_string(byte.byte));
        total += byte.count();
    }
    TESSARO_FUZZ_EXPECT(total == signal.length, signal.name + ": " + std::to_string(total) + " bits placed");
    long bit = long(signal.startBit);
    for (unsigned k = 0; k < signal.length; ++k) {
        // Intel: raw bit k at the walk's k-th bit; Motorola: the walk starts at the most significant one.
        const unsigned raw = signal.byteOrder == ByteOrder::littleEndian ? k : signal.length - 1 - k;
        const bool placed = std::any_of(bits.begin(), bits.end(), [&](const ByteBits& byte) {
            return byte.byte == unsigned(bit / 8) && unsigned(bit % 8) >= byte.lowBit &&
                   unsigned(bit % 8) <= byte.highBit && byte.rawLowBit + unsigned(bit % 8) - byte.lowBit == raw;
        });
        TESSARO_FUZZ_EXPECT(placed,
                            signal.name + ": raw bit " + std::to_string(raw) + " not at bit " + std::to_string(bit));
        if (signal.byteOrder == ByteOrder::littleEndian)
            ++bit;
        else
            bit = bit % 8 == 0 ? bit + 15 : bit - 1;
    }
}

// A multiplexed signal is chosen by a multiplexer of its own message, with values that multiplexer can hold.
void checkMultiplexing(const SignalDefinition& signal, const MessageDefinition& message) {
    TESSARO_FUZZ_EXPECT(signal.multiplexed() == !signal.multiplexerValues.empty(), signal.name);
    if (!signal.multiplexed()) return;
    const auto multiplexer =
        std::find_if(message.signalDefinitions.begin(), message.signalDefinitions.end(),
                     [&](const SignalDefinition& other) { return other.name == signal.multiplexer; });
    TESSARO_FUZZ_EXPECT(
        multiplexer != message.signalDefinitions.end() && multiplexer->isMultiplexer && &*multiplexer != &signal,
        signal.name + " multiplexed by " + signal.multiplexer);
    for (const ValueRange& range : signal.multiplexerValues)
        TESSARO_FUZZ_EXPECT(range.first <= range.last && range.last <= lowMask(multiplexer->length),
                            signal.name + ": " + std::to_string(range.first) + "-" + std::to_string(range.last));
}

// The worked example's register values, carried into the frame's bytes by the feeds, give the example's raw value
// back; and its register arithmetic places each raw bit once.
void checkExample(const CoveredSignal& covered, const FrameMap& frame) {
    std::array<std::uint8_t, kFrameBytes> bytes{};
    for (std::size_t b = 0; b < kFrameBytes; ++b)
        for (const RegisterHalfSource& source : frame.bytes[b].sources)
            for (const RegisterArithmetic& feeder : covered.arithmetic)
                if (feeder.source == SignalRegister{source.slave, source.typeReg, source.registerNumber})
                    bytes[b] = std::uint8_t(source.half == RegisterHalf::high ? feeder.exampleValue >> 8
                                                                              : feeder.exampleValue & 0xFF);
    std::uint64_t raw = 0;
    for (const ByteBits& byte : covered.bits)
        raw |= (std::uint64_t(bytes[byte.byte]) >> byte.lowBit & lowMask(byte.count())) << byte.rawLowBit;
    TESSARO_FUZZ_EXPECT(raw == covered.example.rawBits, covered.name + ": " + covered.encoding);
    TESSARO_FUZZ_EXPECT((covered.example.rawBits & ~lowMask(covered.length)) == 0, covered.name);
    unsigned placed = 0;
    for (const RegisterArithmetic& feeder : covered.arithmetic)
        for (const RegisterPiece& piece : feeder.pieces) {
            TESSARO_FUZZ_EXPECT(piece.count >= 1 && piece.registerLowBit + piece.count <= 16 &&
                                    piece.rawLowBit + piece.count <= covered.length,
                                covered.name + ": " + covered.encoding);
            placed += piece.count;
        }
    TESSARO_FUZZ_EXPECT(placed == covered.length, covered.name + ": " + covered.encoding);
}

}  // namespace

void signalDatabase(std::string_view input) {
    const SignalDatabase database = readSignalDatabase(input);
    const std::size_t lineCount = std::size_t(std::count(input.begin(), input.end(), '\n')) + 1;
    checkLines(database.malformed, lineCount, "a malformed line");
    checkLines(database.leftOut, lineCount, "a signal left out");

    std::size_t previousLine = 0;
    for (const MessageDefinition& message : database.messages) {
        TESSARO_FUZZ_EXPECT(isIdentifier(message.name) && isIdentifier(message.sender), printable(message.name));
        TESSARO_FUZZ_EXPECT(message.line > previousLine && message.line <= lineCount, message.name);
        TESSARO_FUZZ_EXPECT(lineHolds(lineAt(input, message.line), "BO_", message.name),
                            message.name + " is not at line " + std::to_string(message.line));
        previousLine = message.line;
        TESSARO_FUZZ_EXPECT(message.size <= 1785, message.name + " of " + std::to_string(message.size) + " bytes");
        TESSARO_FUZZ_EXPECT(isUtf8(message.comment), printable(message.comment));
        for (const MessageDefinition& other : database.messages)
            TESSARO_FUZZ_EXPECT(&other == &message || other.identifier != message.identifier,
                                "two messages of the identifier " + std::to_string(message.identifier));

        const std::optional<Pgn> pgn = message.pgn();
        TESSARO_FUZZ_EXPECT(pgn.has_value() == (message.extended() && (message.identifier & 0x7FFFFFFF) < (1u << 29)),
                            message.name);
        TESSARO_FUZZ_EXPECT(message.extended() || message.identifier <= 0x7FF, message.name);
        if (pgn) {
            const std::uint32_t number = pgn->number();
            TESSARO_FUZZ_EXPECT(number < (1u << 18), message.name + ": PGN " + std::to_string(number));
            TESSARO_FUZZ_EXPECT(
                number == (message.identifier >> 8 & 0x3FFFF) ||
                    ((message.identifier >> 16 & 0xFF) < 240 && number == (message.identifier >> 8 & 0x3FF00)),
                message.name + ": PGN " + std::to_string(number));
            // The identifier comes back from its PGN, priority and source address.
            TESSARO_FUZZ_EXPECT(identifierOf(*pgn, std::uint8_t(message.identifier >> 26 & 7),
                                             std::uint8_t(message.identifier)) == (message.identifier & 0x1FFFFFFF),
                                message.name);
            const MessageDefinition* found = database.messageOfPgn(*pgn);
            TESSARO_FUZZ_EXPECT(found && found->pgn()->number() == number, message.name);
        }

        std::size_t previousSignal = message.line;
        for (const SignalDefinition& signal : message.signalDefinitions) {
            TESSARO_FUZZ_EXPECT(isIdentifier(signal.name), printable(signal.name));
            TESSARO_FUZZ_EXPECT(signal.line > previousSignal && signal.line <= lineCount, signal.name);
            TESSARO_FUZZ_EXPECT(lineHolds(lineAt(input, signal.line), "SG_", signal.name),
                                signal.name + " is not at line " + std::to_string(signal.line));
            previousSignal = signal.line;
            TESSARO_FUZZ_EXPECT(signal.length >= 1 && signal.length <= 64, signal.name);
            TESSARO_FUZZ_EXPECT(signal.factor != 0 && std::isfinite(signal.factor) && std::isfinite(signal.offset) &&
                                    std::isfinite(signal.minimum) && std::isfinite(signal.maximum),
                                signal.name);
            TESSARO_FUZZ_EXPECT(isUtf8(signal.unit) && isUtf8(signal.comment), printable(signal.unit));
            // Within the message's size * 8 bits, and in the bytes the reader says.
            const auto walked = walkedBytes(signal, message.size);
            TESSARO_FUZZ_EXPECT(walked.has_value(), signal.name + " runs beyond the " + std::to_string(message.size) +
                                                        " bytes of " + message.name);
            const SignalBytes bytes = bytesOf(signal);
            TESSARO_FUZZ_EXPECT(
                bytes.first == walked->first && bytes.last == walked->second,
                signal.name + ": bytes " + std::to_string(bytes.first) + "-" + std::to_string(bytes.last));
            for (const SignalDefinition& other : message.signalDefinitions)
                TESSARO_FUZZ_EXPECT(&other == &signal || other.name != signal.name, signal.name + " twice");
            if (walked) checkBits(signal, message.size);
            checkMultiplexing(signal, message);
            TESSARO_FUZZ_EXPECT(signal.valueType == ValueType::integer ||
                                    signal.length == (signal.valueType == ValueType::ieeeSingle ? 32u : 64u),
                                signal.name + " is a float of " + std::to_string(signal.length) + " bits");
            TESSARO_FUZZ_EXPECT(!signal.spn || *signal.spn <= 524287, signal.name);
            for (const ValueText& text : signal.valueTexts)
                TESSARO_FUZZ_EXPECT(isUtf8(text.text) && std::isfinite(text.value), printable(text.text));
        }
        previousLine = std::max(previousLine, previousSignal);

        // Every byte fed, each from the next half of a run of registers: what the analysis says is about this
        // message's signals and bytes.
        if (!pgn) continue;
        FrameMap frame;
        frame.frame = 1;
        frame.dataPage = pgn->dataPage;
        frame.pgn = pgn->low16();
        for (std::size_t b = 0; b < kFrameBytes; ++b)
            frame.bytes[b] = {int(b + 1),
                              {{std::int32_t(b / 2), 1, 1, typeRegOf(RegisterKind::holding), 1,
                                b % 2 == 0 ? RegisterHalf::high : RegisterHalf::low}}};
        if (pgn->dataPage > 1 || database.messageOfPgn(frame.pgnValue()) != &message) continue;
        const FrameSignals signals = analyseFrameSignals(database, frame);
        TESSARO_FUZZ_EXPECT(signals.message == message.name, message.name);
        const auto named = [&](const std::string& name) {
            return std::any_of(message.signalDefinitions.begin(), message.signalDefinitions.end(),
                               [&](const SignalDefinition& signal) { return signal.name == name; });
        };
        const auto definitionOf = [&](const std::string& name) {
            return &*std::find_if(message.signalDefinitions.begin(), message.signalDefinitions.end(),
                                  [&](const SignalDefinition& signal) { return signal.name == name; });
        };
        for (const auto& names : signals.signalsAtByte)
            for (const std::string& name : names)
                TESSARO_FUZZ_EXPECT(named(name) && !definitionOf(name)->multiplexed(), name);
        for (const auto& names : signals.multiplexedAtByte)
            for (const MultiplexedAtByte& name : names)
                TESSARO_FUZZ_EXPECT(named(name.name) && definitionOf(name.name)->multiplexer == name.multiplexer &&
                                        definitionOf(name.name)->multiplexerValues == name.values,
                                    name.name);
        for (const SignalFinding& finding : signals.findings) {
            TESSARO_FUZZ_EXPECT(finding.byte >= 1 && finding.byte <= 8 && finding.definitionRow == 1, finding.message);
            TESSARO_FUZZ_EXPECT(finding.signal.empty() == (finding.kind == SignalFindingKind::uncoveredByte),
                                finding.message);
            TESSARO_FUZZ_EXPECT(finding.signal.empty() || named(finding.signal), finding.message);
            // Halves in the order Modbus carries them are one value for a big-endian signal.
            if (const auto signal =
                    std::find_if(message.signalDefinitions.begin(), message.signalDefinitions.end(),
                                 [&](const SignalDefinition& candidate) { return candidate.name == finding.signal; });
                signal != message.signalDefinitions.end() && signal->byteOrder == ByteOrder::bigEndian)
                TESSARO_FUZZ_EXPECT(
                    finding.kind != SignalFindingKind::notOneValue && finding.kind != SignalFindingKind::swapped,
                    finding.message);
        }
        for (const CoveredSignal& covered : signals.covered) {
            TESSARO_FUZZ_EXPECT(named(covered.name), covered.name);
            for (const unsigned byte : covered.bytes) TESSARO_FUZZ_EXPECT(byte >= 1 && byte <= 8, covered.name);
            checkExample(covered, frame);
        }
    }
}

}  // namespace tessaro::fuzz
