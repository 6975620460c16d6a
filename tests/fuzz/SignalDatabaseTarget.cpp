#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "signals/SignalAnalysis.h"
#include "signals/SignalDatabase.h"

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

        const std::optional<std::uint32_t> pgn = message.pgn();
        TESSARO_FUZZ_EXPECT(pgn.has_value() == (message.extended() && (message.identifier & 0x7FFFFFFF) < (1u << 29)),
                            message.name);
        TESSARO_FUZZ_EXPECT(message.extended() || message.identifier <= 0x7FF, message.name);
        if (pgn) {
            TESSARO_FUZZ_EXPECT(*pgn < (1u << 18), message.name + ": PGN " + std::to_string(*pgn));
            TESSARO_FUZZ_EXPECT(
                *pgn == (message.identifier >> 8 & 0x3FFFF) ||
                    ((message.identifier >> 16 & 0xFF) < 240 && *pgn == (message.identifier >> 8 & 0x3FF00)),
                message.name + ": PGN " + std::to_string(*pgn));
            const MessageDefinition* found = database.messageOfPgn(*pgn);
            TESSARO_FUZZ_EXPECT(found && found->pgn() == pgn, message.name);
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
        }
        previousLine = std::max(previousLine, previousSignal);

        // Every byte fed, each from the next half of a run of registers: what the analysis says is about this
        // message's signals and bytes.
        if (!pgn) continue;
        FrameMap frame;
        frame.frame = 1;
        frame.dataPage = std::uint8_t(*pgn >> 16 & 1);
        frame.pgn = std::uint16_t(*pgn);
        for (std::size_t b = 0; b < kFrameBytes; ++b)
            frame.bytes[b] = {int(b + 1),
                              {{std::int32_t(b / 2), 1, 1, 3, 1, b % 2 == 0 ? RegisterHalf::high : RegisterHalf::low}}};
        if (database.messageOfPgn(framePgn(frame.dataPage, frame.pgn)) != &message) continue;
        const FrameSignals signals = analyseFrameSignals(database, frame);
        TESSARO_FUZZ_EXPECT(signals.message == message.name, message.name);
        const auto named = [&](const std::string& name) {
            return std::any_of(message.signalDefinitions.begin(), message.signalDefinitions.end(),
                               [&](const SignalDefinition& signal) { return signal.name == name; });
        };
        for (const auto& names : signals.signalsAtByte)
            for (const std::string& name : names) TESSARO_FUZZ_EXPECT(named(name), name);
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
        }
    }
}

}  // namespace tessaro::fuzz
