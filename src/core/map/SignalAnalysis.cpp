#include "core/map/SignalAnalysis.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <unordered_map>

#include "core/documents/NumericText.h"
#include "core/map/MapFormats.h"

namespace tessaro {

namespace {

std::string byteName(unsigned byte) {
    return "B" + std::to_string(byte);
}

std::string byteList(const std::vector<unsigned>& bytes) {
    std::string text;
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        if (k > 0) text += k + 1 == bytes.size() ? " and " : ", ";
        text += byteName(bytes[k]);
    }
    return text;
}

// "4–11", "4"
std::string bitRange(unsigned low, unsigned high) {
    return low == high ? std::to_string(low) : std::to_string(low) + "–" + std::to_string(high);
}

std::string hexText(std::uint64_t value, unsigned digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llX", int(digits), static_cast<unsigned long long>(value));
    return text;
}

std::uint64_t lowMask(unsigned count) {
    return count >= 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << count) - 1;
}

// The place of a half among a slave's register bytes as Modbus carries them: a register's high byte first.
std::int64_t streamPosition(const RegisterHalfSource& source) {
    return std::int64_t(source.registerNumber) * 2 + (source.half == RegisterHalf::low ? 1 : 0);
}

using KnownHalves = std::vector<std::optional<RegisterHalfSource>>;

// The halves, from the signal's most significant byte, make one value: in the order Modbus carries them, or in
// whole registers with the low word first. A byte fed twice is nobody's: the others alone decide.
bool formsOneValue(const KnownHalves& halves) {
    std::optional<std::int64_t> start;
    bool carried = true;
    for (std::size_t k = 0; k < halves.size(); ++k) {
        if (!halves[k]) continue;
        const std::int64_t at = streamPosition(*halves[k]) - std::int64_t(k);
        if (!start) start = at;
        carried = carried && at == *start;
    }
    if (carried) return true;
    if (halves.size() % 2 != 0) return false;
    std::optional<std::int64_t> firstRegister;
    for (std::size_t k = 0; k < halves.size(); ++k) {
        if (!halves[k]) continue;
        if (halves[k]->half != (k % 2 == 0 ? RegisterHalf::high : RegisterHalf::low)) return false;
        const std::int64_t first = std::int64_t(halves[k]->registerNumber) + std::int64_t(k / 2);
        if (!firstRegister) firstRegister = first;
        if (first != *firstRegister) return false;
    }
    return true;
}

KnownHalves exchangedHalves(KnownHalves halves) {
    for (std::optional<RegisterHalfSource>& half : halves)
        if (half) half->half = half->half == RegisterHalf::high ? RegisterHalf::low : RegisterHalf::high;
    return halves;
}

std::string byteOrderName(ByteOrder order) {
    return order == ByteOrder::littleEndian ? "little-endian" : "big-endian";
}

// "12000", "0.5": a value as a person reads it, without the noise of a binary fraction.
std::string plainNumber(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.12g", value);
    return text;
}

// A physical value of the signal that shows its encoding: a round number a quarter of the way up its range (its
// minimum to maximum, else what its raw bits can hold), taken to the nearest raw value, and never the raw value 0
// when there is another.
SignalExample workedExample(const SignalDefinition& signal) {
    SignalExample example;
    const bool isFloat = signal.valueType != ValueType::integer;
    long double rawLow = 0, rawHigh = 0;
    if (!isFloat) {
        rawHigh =
            signal.isSigned ? std::ldexp(1.0L, int(signal.length) - 1) - 1 : std::ldexp(1.0L, int(signal.length)) - 1;
        rawLow = signal.isSigned ? -std::ldexp(1.0L, int(signal.length) - 1) : 0;
    }
    long double low = signal.minimum, high = signal.maximum;
    if (!(high > low)) {
        if (isFloat) {
            low = signal.offset;
            high = signal.offset + 400.0L * signal.factor;
        } else {
            low = rawLow * signal.factor + signal.offset;
            high = rawHigh * signal.factor + signal.offset;
        }
        if (low > high) std::swap(low, high);
    }
    long double target = low;
    const long double quarter = (high - low) / 4;
    if (quarter > 0 && std::isfinite(double(quarter))) {
        const long double step = std::pow(10.0L, std::floor(std::log10(quarter)));
        target = std::round((low + quarter) / step) * step;
    }
    long double raw = (target - signal.offset) / signal.factor;
    if (isFloat) {
        if (signal.valueType == ValueType::ieeeSingle) {
            const float single = float(raw);
            example.rawBits = std::bit_cast<std::uint32_t>(single);
            example.physical = double(single) * signal.factor + signal.offset;
            example.rawText = plainNumber(single) + " (" + hexText(example.rawBits, 8) + ")";
        } else {
            const double whole = double(raw);
            example.rawBits = std::bit_cast<std::uint64_t>(whole);
            example.physical = whole * signal.factor + signal.offset;
            example.rawText = plainNumber(whole) + " (" + hexText(example.rawBits, 16) + ")";
        }
    } else {
        raw = std::clamp(std::round(raw), rawLow, rawHigh);
        if (raw == 0 && rawHigh >= 1) raw = 1;
        if (raw < 0) {
            const auto value = std::int64_t(raw);
            example.rawBits = std::uint64_t(value) & lowMask(signal.length);
            example.rawText = std::to_string(value) + " (" + hexText(example.rawBits, (signal.length + 3) / 4) + ")";
        } else {
            example.rawBits = std::uint64_t(raw);
            example.rawText = std::to_string(example.rawBits);
        }
        example.physical = double(raw * signal.factor + signal.offset);
    }
    example.physicalText = plainNumber(example.physical) + (signal.unit.empty() ? "" : " " + signal.unit);
    return example;
}

// The register's value from the raw value: each piece masked and shifted into place. A shift to the right drops
// the low bits itself, so its mask, when one is needed, comes after it.
std::string pieceText(const RegisterPiece& piece, unsigned length) {
    const bool toTheTop = piece.rawLowBit + piece.count == length;
    if (piece.registerLowBit < piece.rawLowBit) {
        const std::string shifted = "raw >> " + std::to_string(piece.rawLowBit - piece.registerLowBit);
        if (toTheTop) return shifted;
        return "(" + shifted + ") & " +
               hexText(lowMask(piece.count) << piece.registerLowBit, (piece.registerLowBit + piece.count + 3) / 4);
    }
    std::string text = "raw";
    if (piece.rawLowBit > 0 || !toTheTop)
        text += " & " + hexText(lowMask(piece.count) << piece.rawLowBit, (piece.rawLowBit + piece.count + 3) / 4);
    if (piece.registerLowBit > piece.rawLowBit) {
        if (text != "raw") text = "(" + text + ")";
        text += " << " + std::to_string(piece.registerLowBit - piece.rawLowBit);
    }
    return text;
}

// The bits of the register that the pieces take, as ranges: "0–15", "4–7 and 12–15".
std::string registerBitsText(const std::vector<RegisterPiece>& pieces) {
    std::vector<std::pair<unsigned, unsigned>> ranges;
    for (const RegisterPiece& piece : pieces) {
        const unsigned last = piece.registerLowBit + piece.count - 1;
        if (!ranges.empty() && ranges.back().second + 1 == piece.registerLowBit)
            ranges.back().second = last;
        else
            ranges.emplace_back(piece.registerLowBit, last);
    }
    std::string text;
    for (std::size_t k = 0; k < ranges.size(); ++k) {
        if (k > 0) text += k + 1 == ranges.size() ? " and " : ", ";
        text += bitRange(ranges[k].first, ranges[k].second);
    }
    return text;
}

bool oneSlaveFeeds(const CoveredSignal& signal) {
    return std::all_of(signal.registers.begin(), signal.registers.end(),
                       [&](const SignalRegister& feeder) { return feeder.slave == signal.registers.front().slave; });
}

// "holding 5", or "slave 2 holding 5" when the signal's registers are of more than one slave.
std::string registerName(const CoveredSignal& signal, const SignalRegister& feeder) {
    const std::string name = registerKindName(feeder.typeReg) + " " + std::to_string(feeder.registerNumber);
    return oneSlaveFeeds(signal) ? name : "slave " + std::to_string(feeder.slave) + " " + name;
}

// The register bit each raw bit of the signal lands in, through the halves that feed its bytes. A byte fed twice is
// nobody's: its bits are in no register's arithmetic.
std::vector<RegisterArithmetic> arithmeticOf(const CoveredSignal& signal, const FrameMap& frame) {
    std::vector<RegisterArithmetic> arithmetic;
    std::vector<std::vector<std::pair<unsigned, unsigned>>> bits;  // per register: (register bit, raw bit)
    for (const SignalRegister& feeder : signal.registers) {
        bool fedOnce = false;
        for (const ByteBits& byte : signal.bits) {
            const std::vector<RegisterHalfSource>& sources = frame.bytes[byte.byte].sources;
            if (sources.size() != 1 ||
                !(SignalRegister{sources[0].slave, sources[0].typeReg, sources[0].registerNumber} == feeder))
                continue;
            if (!fedOnce) {
                arithmetic.push_back({feeder, {}, 0});
                bits.emplace_back();
                fedOnce = true;
            }
            const unsigned above = sources[0].half == RegisterHalf::high ? 8 : 0;
            for (unsigned bit = byte.lowBit; bit <= byte.highBit; ++bit)
                bits.back().emplace_back(bit + above, byte.rawLowBit + bit - byte.lowBit);
        }
    }
    for (std::size_t r = 0; r < arithmetic.size(); ++r) {
        std::sort(bits[r].begin(), bits[r].end());
        bits[r].erase(std::unique(bits[r].begin(), bits[r].end()), bits[r].end());
        std::vector<RegisterPiece>& pieces = arithmetic[r].pieces;
        for (const auto& [registerBit, rawBit] : bits[r]) {
            if (!pieces.empty() && pieces.back().registerLowBit + pieces.back().count == registerBit &&
                pieces.back().rawLowBit + pieces.back().count == rawBit)
                ++pieces.back().count;
            else
                pieces.push_back({rawBit, registerBit, 1});
        }
        std::uint64_t value = 0;
        for (const RegisterPiece& piece : pieces)
            value |= (signal.example.rawBits >> piece.rawLowBit & lowMask(piece.count)) << piece.registerLowBit;
        arithmetic[r].exampleValue = std::uint16_t(value);
    }
    return arithmetic;
}

// The registers of the halves, each once in the order met; the largest project feeds each byte from 56 halves.
std::vector<SignalRegister> distinctRegisters(const std::vector<const std::vector<RegisterHalfSource>*>& feeds) {
    std::vector<SignalRegister> registers;
    std::vector<std::uint64_t> seen;  // sorted
    for (const std::vector<RegisterHalfSource>* sources : feeds)
        for (const RegisterHalfSource& source : *sources) {
            const std::uint64_t key = std::uint64_t(source.slave) << 40 | std::uint64_t(source.typeReg) << 32 |
                                      std::uint32_t(source.registerNumber);
            const auto at = std::lower_bound(seen.begin(), seen.end(), key);
            if (at != seen.end() && *at == key) continue;
            seen.insert(at, key);
            registers.push_back({source.slave, source.typeReg, source.registerNumber});
        }
    return registers;
}

class FrameAnalysis {
public:
    FrameAnalysis(const MessageDefinition& message, const FrameMap& frame) : m_message(message), m_frame(frame) {
        m_prefix = "frame " + std::to_string(frame.frame) + " (" + message.name + "): ";
        m_result.message = message.name;
        m_result.signalsAtByte = signalsAtBytes(message);
        m_result.multiplexedAtByte = multiplexedAtBytes(message);
        m_result.definitions = message.signalDefinitions;
    }

    FrameSignals run() {
        for (const SignalDefinition& signal : m_message.signalDefinitions) analyse(signal);
        for (unsigned byte = 0; byte < kFrameBytes; ++byte)
            if (!sourcesOf(byte).empty() && m_result.signalsAtByte[byte].empty() &&
                m_result.multiplexedAtByte[byte].empty())
                add(SignalFindingKind::uncoveredByte, {}, byte + 1,
                    byteName(byte + 1) + " is fed, but no signal of " + m_message.name + " covers it");
        // Signal by signal, then the bytes; shown in the order of the bytes.
        std::stable_sort(m_result.findings.begin(), m_result.findings.end(),
                         [](const SignalFinding& a, const SignalFinding& b) { return a.byte < b.byte; });
        return std::move(m_result);
    }

private:
    const std::vector<RegisterHalfSource>& sourcesOf(unsigned byte) const { return m_frame.bytes[byte].sources; }

    void add(SignalFindingKind kind, const std::string& signal, unsigned byte, const std::string& text) {
        m_result.findings.push_back({kind, signal, byte, sourcesOf(byte - 1).front().definitionRow, m_prefix + text});
    }

    std::string feedersText(unsigned byte) const {
        std::string text;
        for (const RegisterHalfSource& source : sourcesOf(byte))
            text += (text.empty() ? "" : " and ") + sourceText(source);
        return text;
    }

    void analyse(const SignalDefinition& signal) {
        const SignalBytes span = bytesOf(signal);
        std::vector<unsigned> bytes;  // 1-based, from the most significant one
        std::vector<unsigned> fed;    // in frame order
        for (const unsigned byte : span.bySignificance()) bytes.push_back(byte + 1);
        for (unsigned byte = span.first; byte <= span.last && byte < kFrameBytes; ++byte)
            if (!sourcesOf(byte).empty()) fed.push_back(byte + 1);
        if (fed.empty()) return;
        const std::string range = span.count() == 1   ? byteName(span.first + 1)
                                  : span.count() == 2 ? byteName(span.first + 1) + " and " + byteName(span.last + 1)
                                                      : byteName(span.first + 1) + " to " + byteName(span.last + 1);
        if (fed.size() < span.count()) {
            add(SignalFindingKind::partlyFed, signal.name, fed.front(),
                "signal " + signal.name + " covers " + range + ", but only " + byteList(fed) +
                    (fed.size() == 1 ? " is fed" : " are fed"));
            return;
        }

        cover(signal, bytes);
        // A byte fed twice is a finding of its own, and its value is no one's: the others say whether the signal's
        // registers make one value.
        KnownHalves halves;
        std::size_t known = 0;
        for (const unsigned byte : bytes) {
            const std::vector<RegisterHalfSource>& feeding = sourcesOf(byte - 1);
            halves.push_back(feeding.size() == 1 ? std::optional(feeding.front()) : std::nullopt);
            if (feeding.size() == 1) ++known;
        }
        if (known < 2) return;

        std::string feeders;
        for (unsigned byte = span.first; byte <= span.last; ++byte)
            feeders += (feeders.empty() ? "" : ", ") + byteName(byte + 1) + " = " + feedersText(byte);
        const RegisterHalfSource* first = nullptr;
        bool oneSlave = true;
        for (const std::optional<RegisterHalfSource>& half : halves) {
            if (!half) continue;
            if (!first) first = &*half;
            oneSlave = oneSlave && half->slave == first->slave && half->typeReg == first->typeReg;
        }
        if (oneSlave && formsOneValue(halves)) return;
        if (oneSlave && formsOneValue(exchangedHalves(halves)))
            add(SignalFindingKind::swapped, signal.name, fed.front(),
                "signal " + signal.name + " is swapped: its registers give " + range + " in the opposite of its " +
                    byteOrderName(signal.byteOrder) + " byte order (" + feeders + ")");
        else
            add(SignalFindingKind::notOneValue, signal.name, fed.front(),
                "signal " + signal.name + " is fed from halves that do not form one value (" + feeders + ")");
    }

    void cover(const SignalDefinition& signal, const std::vector<unsigned>& bytes) {
        CoveredSignal covered;
        covered.name = signal.name;
        covered.bytes = bytes;
        covered.factor = signal.factor;
        covered.offset = signal.offset;
        covered.unit = signal.unit;
        covered.startBit = signal.startBit;
        covered.length = signal.length;
        covered.byteOrder = signal.byteOrder;
        covered.isSigned = signal.isSigned;
        covered.valueType = signal.valueType;
        covered.bits = bitsOf(signal);
        covered.spn = signal.spn;
        covered.valueTexts = signal.valueTexts;
        covered.multiplexer = signal.multiplexer;
        covered.multiplexerValues = signal.multiplexerValues;
        std::vector<const std::vector<RegisterHalfSource>*> feeds;
        for (const unsigned byte : bytes) feeds.push_back(&sourcesOf(byte - 1));
        covered.registers = distinctRegisters(feeds);
        for (const ByteBits& byte : covered.bits)
            if (m_frame.bytes[byte.byte].fedTwice()) covered.fedTwice.push_back(byte.byte);
        covered.example = workedExample(signal);
        covered.arithmetic = arithmeticOf(covered, m_frame);
        covered.encoding =
            encodingText(signal) + "; " + registerArithmeticText(covered) + "; example: " + exampleText(covered);
        m_result.covered.push_back(std::move(covered));
    }

    const MessageDefinition& m_message;
    const FrameMap& m_frame;
    std::string m_prefix;
    FrameSignals m_result;
};

}  // namespace

std::string registerText(const SignalRegister& source) {
    return "slave " + std::to_string(source.slave) + " " + registerKindName(source.typeReg) + " " +
           std::to_string(source.registerNumber);
}

std::string joinedNames(const std::vector<std::string>& names, std::string_view separator) {
    std::string text;
    for (const std::string& name : names) {
        if (!text.empty()) text += separator;
        text += name;
    }
    return text;
}

std::string byteBitsText(const std::vector<ByteBits>& bits) {
    std::vector<ByteBits> ordered = bits;
    std::sort(ordered.begin(), ordered.end(), [](const ByteBits& a, const ByteBits& b) { return a.byte < b.byte; });
    std::string text;
    for (std::size_t k = 0; k < ordered.size(); ++k) {
        if (k > 0) text += k + 1 == ordered.size() ? " and " : ", ";
        text += byteName(ordered[k].byte + 1) + (ordered[k].count() == 1 ? " bit " : " bits ") +
                bitRange(ordered[k].lowBit, ordered[k].highBit);
    }
    return text;
}

std::string signalPlacementText(const CoveredSignal& signal) {
    return byteBitsText(signal.bits) + " (start bit " + std::to_string(signal.startBit) + ", " +
           std::to_string(signal.length) + (signal.length == 1 ? " bit " : " bits ") + byteOrderName(signal.byteOrder) +
           ")";
}

std::string signalRegistersText(const CoveredSignal& signal) {
    std::vector<std::string> registers;
    for (const SignalRegister& feeder : signal.registers) registers.push_back(registerText(feeder));
    return joinedNames(registers, ", ");
}

std::string registerArithmeticText(const CoveredSignal& signal) {
    std::string text;
    for (const RegisterArithmetic& feeder : signal.arithmetic) {
        if (!text.empty()) text += ", ";
        text += registerName(signal, feeder.source) + " = ";
        for (std::size_t k = 0; k < feeder.pieces.size(); ++k)
            text += (k ? " | " : "") + pieceText(feeder.pieces[k], signal.length);
        text += " in bits " + registerBitsText(feeder.pieces);
    }
    if (!signal.fedTwice.empty()) {
        std::vector<unsigned> bytes;
        for (const unsigned byte : signal.fedTwice) bytes.push_back(byte + 1);
        text += (text.empty() ? "" : "; ") + byteList(bytes) + (bytes.size() == 1 ? " is" : " are") +
                " fed twice, so no register holds " + (bytes.size() == 1 ? "its" : "their") + " bits alone";
    }
    return text;
}

std::string exampleText(const CoveredSignal& signal) {
    std::string text = signal.example.physicalText + " → raw " + signal.example.rawText;
    for (std::size_t k = 0; k < signal.arithmetic.size(); ++k)
        text += (k ? ", " : " → ") + registerName(signal, signal.arithmetic[k].source) + " = " +
                hexText(signal.arithmetic[k].exampleValue, 4);
    return text;
}

std::string valueTextsText(const std::vector<ValueText>& texts) {
    std::string text;
    for (const ValueText& value : texts)
        text += (text.empty() ? "" : ", ") + plainNumber(value.value) + " " + value.text;
    return text;
}

std::string multiplexerValuesText(const std::string& multiplexer, const std::vector<ValueRange>& values) {
    std::string text = multiplexer + " = ";
    for (std::size_t k = 0; k < values.size(); ++k) {
        if (k > 0) text += ", ";
        text += std::to_string(values[k].first);
        if (values[k].last != values[k].first) text += " to " + std::to_string(values[k].last);
    }
    return text;
}

std::string signalTitle(const CoveredSignal& signal) {
    std::string title = signal.name;
    if (signal.spn) title += " (SPN " + std::to_string(*signal.spn) + ")";
    if (!signal.multiplexer.empty())
        title += " when " + multiplexerValuesText(signal.multiplexer, signal.multiplexerValues);
    return title;
}

std::string coveredSignalText(const CoveredSignal& signal) {
    std::string text = signalTitle(signal) + ", " + signalPlacementText(signal) + ", from " +
                       signalRegistersText(signal) + ": " + signal.encoding;
    if (!signal.valueTexts.empty()) text += "; values: " + valueTextsText(signal.valueTexts);
    return text;
}

std::string multiplexedNamesText(const std::vector<MultiplexedAtByte>& names) {
    std::string text;
    for (const MultiplexedAtByte& name : names)
        text +=
            (text.empty() ? "" : ", ") + name.name + " when " + multiplexerValuesText(name.multiplexer, name.values);
    return text;
}

std::string encodingText(const SignalDefinition& signal) {
    std::string physical = "physical";
    if (signal.offset != 0) physical += (signal.offset < 0 ? " + " : " - ") + shortestDecimal(std::fabs(signal.offset));
    std::string text = "raw = ";
    if (signal.factor == 1)
        text += physical;
    else
        text += (signal.offset != 0 ? "(" + physical + ")" : physical) + " / " + shortestDecimal(signal.factor);
    if (signal.valueType == ValueType::ieeeSingle)
        text += ", IEEE single (32 bits)";
    else if (signal.valueType == ValueType::ieeeDouble)
        text += ", IEEE double (64 bits)";
    else
        text += ", " + std::to_string(signal.length) + (signal.length == 1 ? " bit " : " bits ") +
                (signal.isSigned ? "signed" : "unsigned");
    if (!signal.unit.empty()) text += ", physical in " + signal.unit;
    return text;
}

std::array<std::vector<std::string>, kFrameBytes> signalsAtBytes(const MessageDefinition& message) {
    std::array<std::vector<std::string>, kFrameBytes> names;
    for (const SignalDefinition& signal : message.signalDefinitions) {
        if (signal.multiplexed()) continue;
        const SignalBytes span = bytesOf(signal);
        for (unsigned byte = span.first; byte <= span.last && byte < kFrameBytes; ++byte)
            names[byte].push_back(signal.name);
    }
    return names;
}

std::array<std::vector<MultiplexedAtByte>, kFrameBytes> multiplexedAtBytes(const MessageDefinition& message) {
    std::array<std::vector<MultiplexedAtByte>, kFrameBytes> names;
    for (const SignalDefinition& signal : message.signalDefinitions) {
        if (!signal.multiplexed()) continue;
        const SignalBytes span = bytesOf(signal);
        for (unsigned byte = span.first; byte <= span.last && byte < kFrameBytes; ++byte)
            names[byte].push_back({signal.name, signal.multiplexer, signal.multiplexerValues});
    }
    return names;
}

namespace {

// The bits the signal takes in byte (0-based), or nothing when it takes none there.
std::optional<ByteBits> bitsInByte(const SignalDefinition& signal, unsigned byte) {
    for (const ByteBits& bits : bitsOf(signal))
        if (bits.byte == byte) return bits;
    return std::nullopt;
}

}  // namespace

std::array<std::string, kFrameBytes> byteSignalTips(const SignalDatabase& database, const Pgn& pgn) {
    std::array<std::string, kFrameBytes> tips;
    const MessageDefinition* message = database.messageOfPgn(pgn);
    if (!message) return tips;
    for (unsigned byte = 0; byte < kFrameBytes; ++byte) {
        std::string names;
        for (const SignalDefinition& signal : message->signalDefinitions) {
            const std::optional<ByteBits> bits = bitsInByte(signal, byte);
            if (!bits) continue;
            names += (names.empty() ? "" : ", ") + signal.name;
            if (bits->count() < 8)
                names += (bits->count() == 1 ? " bit " : " bits ") + bitRange(bits->lowBit, bits->highBit);
            if (signal.multiplexed())
                names += " when " + multiplexerValuesText(signal.multiplexer, signal.multiplexerValues);
        }
        tips[byte] = message->name + " " + byteName(byte + 1) + ": " + (names.empty() ? "no signal" : names);
    }
    return tips;
}

std::string byteSignalsTip(const FrameSignals& signals, unsigned byte) {
    std::string tip;
    for (const SignalDefinition& signal : signals.definitions) {
        const std::optional<ByteBits> bits = bitsInByte(signal, byte - 1);
        if (!bits) continue;
        const auto covered =
            std::find_if(signals.covered.begin(), signals.covered.end(),
                         [&](const CoveredSignal& candidate) { return candidate.name == signal.name; });
        if (!tip.empty()) tip += "\n";
        if (covered != signals.covered.end()) {
            tip += coveredSignalText(*covered);
            continue;
        }
        tip += signal.name;
        if (signal.spn) tip += " (SPN " + std::to_string(*signal.spn) + ")";
        if (signal.multiplexed()) tip += " when " + multiplexerValuesText(signal.multiplexer, signal.multiplexerValues);
        tip += ", " + byteBitsText(bitsOf(signal)) + " (start bit " + std::to_string(signal.startBit) + ", " +
               std::to_string(signal.length) + (signal.length == 1 ? " bit " : " bits ") +
               byteOrderName(signal.byteOrder) + "): not fed whole";
        if (!signal.valueTexts.empty()) tip += "; values: " + valueTextsText(signal.valueTexts);
    }
    return tip;
}

FrameSignals analyseFrameSignals(const SignalDatabase& database, const FrameMap& frame) {
    const MessageDefinition* message = database.messageOfPgn(framePgn(frame.dataPage, frame.pgn));
    if (!message) return {};
    return FrameAnalysis(*message, frame).run();
}

FrameSignals analyseFrameSignals(const MessageDefinition& message, const FrameMap& frame) {
    return FrameAnalysis(message, frame).run();
}

ProjectMap buildAnnotatedProjectMap(const std::string& projectFolder, const std::string& toolFolder,
                                    const std::optional<std::string>& databaseFile, MapFeeds feeds) {
    ProjectMap map = buildProjectMap(projectFolder, feeds);
    const std::optional<std::string> path = databaseFile ? databaseFile : signalDatabasePath(projectFolder, toolFolder);
    if (path) annotateSignals(map, loadSignalDatabase(*path), *path);
    return map;
}

void annotateSignals(ProjectMap& map, const SignalDatabase& database, const std::string& databaseName) {
    map.withSignals = true;
    // The first message of each parameter group, as messageOfPgn finds it, looked up once per frame.
    std::unordered_map<std::uint32_t, const MessageDefinition*> byPgn;
    for (const MessageDefinition& message : database.messages)
        if (const std::optional<Pgn> pgn = message.pgn()) byPgn.emplace(pgn->number(), &message);
    for (FrameMap& frame : map.frames) {
        const auto found = byPgn.find(frame.pgnValue().number());
        if (found == byPgn.end()) continue;
        frame.signalInfo = analyseFrameSignals(*found->second, frame);
        for (const SignalFinding& finding : frame.signalInfo.findings)
            map.findings.push_back({MapSeverity::warning, finding.message, frame.frame});
    }
    for (const auto* notes : {&database.malformed, &database.leftOut})
        for (const DatabaseNote& note : *notes)
            map.findings.push_back({MapSeverity::warning, databaseName + ": " + noteText(note)});
}

}  // namespace tessaro
