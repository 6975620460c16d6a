#include "core/map/MapFormats.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string_view>

#include "core/documents/JsonText.h"
#include "core/documents/Utf8Text.h"
#include "core/j1939/RegisterKind.h"
#include "core/map/SignalAnalysis.h"

namespace tessaro {

namespace {

// The largest project has some hundred thousand register halves: the text is put together in one buffer.
// Writes the digits of a number at at, four at a time from a table: the numbers here are short and fit in 32 bits,
// and the general conversion costs more than the digits themselves. Up to three characters past the digits may be
// overwritten: every caller has asked for room well beyond them.
constexpr std::array<char, 40000> kDigitQuads = [] {
    std::array<char, 40000> quads{};
    for (int i = 0; i < 10000; ++i) {
        quads[std::size_t(4 * i)] = char('0' + i / 1000);
        quads[std::size_t(4 * i + 1)] = char('0' + i / 100 % 10);
        quads[std::size_t(4 * i + 2)] = char('0' + i / 10 % 10);
        quads[std::size_t(4 * i + 3)] = char('0' + i % 10);
    }
    return quads;
}();

// A number below 10000, without leading zeros.
[[gnu::always_inline]] inline char* writeSmall(char* at, std::uint32_t number) {
    const std::size_t digits = number < 10 ? 1 : number < 100 ? 2 : number < 1000 ? 3 : 4;
    std::memcpy(at, &kDigitQuads[4 * number + 4 - digits], 4);
    return at + digits;
}

[[gnu::always_inline]] inline char* writeNumber(char* at, std::int64_t number) {
    const std::uint32_t magnitude = number < 0 ? 0 - std::uint32_t(number) : std::uint32_t(number);
    if (number < 0) *at++ = '-';
    if (magnitude < 10000) return writeSmall(at, magnitude);
    if (magnitude >= 100000000) return std::to_chars(at, at + 10, magnitude).ptr;
    at = writeSmall(at, magnitude / 10000);
    std::memcpy(at, &kDigitQuads[4 * (magnitude % 10000)], 4);
    return at + 4;
}

template <std::size_t N>
char* writeLiteral(char* at, const char (&literal)[N]) {
    std::memcpy(at, literal, N - 1);
    return at + N - 1;
}

class Text {
public:
    Text() = default;
    // Hands the text to sink a piece at a time rather than keeping it whole.
    explicit Text(std::ostream& sink) : m_sink(&sink) { m_text.resize(kPiece + 256); }

    Text& operator<<(std::string_view text) {
        std::memcpy(room(text.size()), text.data(), text.size());
        m_used += text.size();
        return *this;
    }
    // A literal's length is known here, so its copy is a few moves rather than a call.
    template <std::size_t N>
    Text& operator<<(const char (&literal)[N]) {
        commit(writeLiteral(room(N - 1), literal));
        return *this;
    }
    Text& operator<<(char c) {
        *room(1) = c;
        ++m_used;
        return *this;
    }
    Text& operator<<(std::int64_t number) {
        commit(writeNumber(room(24), number));
        return *this;
    }
    Text& operator<<(int number) { return *this << std::int64_t(number); }
    Text& operator<<(unsigned number) { return *this << std::int64_t(number); }
    Text& operator<<(std::size_t number) { return *this << std::int64_t(number); }
    void reserve(std::size_t size) {
        if (size > m_text.size()) m_text.resize(size);
    }
    std::string take() {
        m_text.resize(m_used);
        m_used = 0;
        return std::move(m_text);
    }

    // Where the next count characters go; commit(end) then takes what was written up to end. The buffer grows
    // ahead of the text and is cut to it at the end.
    char* room(std::size_t count) {
        if (m_used + count > m_text.size()) [[unlikely]]
            grow(count);
        return m_text.data() + m_used;
    }
    void commit(const char* end) { m_used = std::size_t(end - m_text.data()); }
    // Where a piece may end: a sink gets what has come so far once it is a piece's size.
    void mayFlush() {
        if (m_sink && m_used >= kPiece) flush();
    }
    void flush() {
        if (!m_sink) return;
        m_sink->write(m_text.data(), std::streamsize(m_used));
        m_used = 0;
    }

private:
    static constexpr std::size_t kPiece = 1 << 16;

    void grow(std::size_t count) {
        if (m_sink && m_used > 0) flush();
        if (m_used + count > m_text.size()) m_text.resize(std::max(2 * m_text.size(), m_used + count + 64));
    }

    std::ostream* m_sink = nullptr;
    std::string m_text;
    std::size_t m_used = 0;
};

std::string_view halfName(RegisterHalf half) {
    return half == RegisterHalf::high ? "high" : "low";
}

void appendKind(Text& out, std::uint8_t typeReg) {
    const std::string_view word = registerKindWord(typeReg);
    if (!word.empty())
        out << word;
    else
        out << "Type_Reg " << unsigned(typeReg);
}

// Written in one go: the largest project has a hundred thousand of them.
void appendSource(Text& out, const RegisterHalfSource& source) {
    if (source.typeReg != 3 && source.typeReg != 4) {
        out << "slave " << unsigned(source.slave) << ' ';
        appendKind(out, source.typeReg);
        out << ' ' << source.registerNumber << ' ' << halfName(source.half);
        return;
    }
    char* at = writeNumber(writeLiteral(out.room(48), "slave "), source.slave);
    at = source.typeReg == 3 ? writeLiteral(at, " holding ") : writeLiteral(at, " input ");
    at = writeNumber(at, source.registerNumber);
    at = source.half == RegisterHalf::high ? writeLiteral(at, " high") : writeLiteral(at, " low");
    out.commit(at);
}

// appendSource for the long lists of the text and the CSV: the "slave 1 holding " of each slave and kind is put
// together once, and each source is then three fixed-size copies and its register's digits.
class SourceWriter {
public:
    // The sources one after the other, separator between them: the room for a whole list is asked for once.
    void appendList(Text& out, const std::vector<RegisterHalfSource>& sources, std::string_view separator) {
        std::size_t next = 0;
        while (next < sources.size()) {
            // Each source of a known kind takes at most 45 characters with its separator and the copies' slack.
            const std::size_t count = std::min<std::size_t>(sources.size() - next, 1024);
            char* at = out.room(48 * count);
            const std::size_t end = next + count;
            for (; next < end; ++next) {
                const RegisterHalfSource& source = sources[next];
                if (source.typeReg != 3 && source.typeReg != 4) [[unlikely]]
                    break;
                if (next) {
                    std::memcpy(at, separator.data(), 2);
                    at += 2;
                }
                at = append(at, source);
            }
            out.commit(at);
            if (next < end) {
                if (next) out << separator;
                appendSource(out, sources[next++]);
            }
        }
    }

private:
    char* append(char* at, const RegisterHalfSource& source) {
        Prefix& prefix = m_prefixes[std::size_t(source.slave) << 1 | (source.typeReg == 4 ? 1u : 0u)];
        if (prefix.length == 0) [[unlikely]]
            prefix.set(source);
        std::memcpy(at, prefix.text, sizeof prefix.text);
        at = writeNumber(at + prefix.length, source.registerNumber);
        std::memcpy(at, source.half == RegisterHalf::high ? " high\0\0\0" : " low\0\0\0\0", 8);
        return at + (source.half == RegisterHalf::high ? 5 : 4);
    }

private:
    struct Prefix {
        char text[24];
        std::uint8_t length = 0;

        void set(const RegisterHalfSource& source) {
            char* at = writeNumber(writeLiteral(text, "slave "), source.slave);
            at = source.typeReg == 3 ? writeLiteral(at, " holding ") : writeLiteral(at, " input ");
            length = std::uint8_t(at - text);
        }
    };
    std::array<Prefix, 512> m_prefixes{};
};

void appendShortSource(Text& out, const RegisterHalfSource& source) {
    char* at = writeNumber(writeLiteral(out.room(48), "S"), source.slave);
    if (source.typeReg == 3)
        at = writeLiteral(at, " HR");
    else if (source.typeReg == 4)
        at = writeLiteral(at, " IR");
    else
        at = writeLiteral(writeNumber(writeLiteral(at, " T"), source.typeReg), ":");
    at = writeNumber(at, source.registerNumber);
    out.commit(source.half == RegisterHalf::high ? writeLiteral(at, " high") : writeLiteral(at, " low"));
}

std::size_t sourceCount(const ProjectMap& map) {
    std::size_t count = 0;
    for (const FrameMap& frame : map.frames)
        for (const FrameByteMap& byte : frame.bytes) count += byte.sources.size();
    return count;
}

std::string csvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

std::string registerKindName(std::uint8_t typeReg) {
    Text out;
    appendKind(out, typeReg);
    return out.take();
}

std::string sourceText(const RegisterHalfSource& source) {
    Text out;
    appendSource(out, source);
    return out.take();
}

std::string shortSourceText(const RegisterHalfSource& source) {
    Text out;
    appendShortSource(out, source);
    return out.take();
}

MapTable frameTable(const ProjectMap& map) {
    MapTable table;
    table.titles = {"Frame", "PGN", "Group"};
    for (int b = 1; b <= 8; ++b) table.titles.push_back("B" + std::to_string(b));
    table.rows.reserve(map.frames.size());
    for (const FrameMap& frame : map.frames) {
        std::vector<std::string>& row = table.rows.emplace_back();
        row.reserve(table.titles.size());
        row.push_back(std::to_string(frame.frame));
        std::string pgn = pgnText(frame.pgnValue());
        if (frame.wellKnown) pgn += "\n" + std::string(frame.wellKnown->acronym);
        row.push_back(std::move(pgn));
        row.push_back(frame.onRequest() ? cycleText(frame)
                                        : "G" + std::to_string(frame.group) + " " + cycleText(frame));
        for (const FrameByteMap& byte : frame.bytes) {
            Text cell;
            for (std::size_t i = 0; i < byte.sources.size(); ++i) {
                if (i) cell << '\n';
                appendShortSource(cell, byte.sources[i]);
            }
            bool firstLine = byte.sources.empty();
            for (const std::string& name : frame.signalInfo.signalsAtByte[std::size_t(byte.byte - 1)]) {
                cell << (firstLine ? "" : "\n") << '[' << name << ']';
                firstLine = false;
            }
            for (const MultiplexedAtByte& name : frame.signalInfo.multiplexedAtByte[std::size_t(byte.byte - 1)]) {
                cell << (firstLine ? "" : "\n") << '{' << name.name << '}';
                firstLine = false;
            }
            row.push_back(cell.take());
        }
    }
    return table;
}

MapTable signalTable(const ProjectMap& map) {
    MapTable table;
    table.titles = {"Frame", "Message", "Signal", "Bits", "Registers", "Encoding", "Values"};
    for (const FrameMap& frame : map.frames)
        for (const CoveredSignal& signal : frame.signalInfo.covered)
            table.rows.push_back({std::to_string(frame.frame), frame.signalInfo.message, signalTitle(signal),
                                  signalPlacementText(signal), signalRegistersText(signal), signal.encoding,
                                  valueTextsText(signal.valueTexts)});
    return table;
}

MapTable pollingTable(const ProjectMap& map) {
    MapTable table;
    table.titles = {"Slave", "Kind", "Registers", "Feeds"};
    for (const SlavePolling& polling : map.slaves) {
        const std::string slave = std::to_string(polling.slave);
        const std::string kind = registerKindName(polling.typeReg);
        auto feed = polling.feeds.begin();
        for (const RegisterRange& range : polling.ranges) {
            Text registers, feeds;
            registers << range.first;
            if (range.last != range.first) registers << '-' << range.last;
            for (std::int32_t number = range.first; number <= range.last; ++number) {
                if (number != range.first) feeds << '\n';
                // room() may move the buffer: what was written is committed before more room is asked for.
                char* at = writeLiteral(writeNumber(feeds.room(32), number), ":");
                if (feed == polling.feeds.end() || feed->registerNumber != number) at = writeLiteral(at, " -");
                for (bool first = true; feed != polling.feeds.end() && feed->registerNumber == number;
                     ++feed, first = false) {
                    feeds.commit(at);
                    at = feeds.room(40);
                    at = writeNumber(first ? writeLiteral(at, " F") : writeLiteral(at, ", F"), feed->frame);
                    at = writeNumber(writeLiteral(at, " B"), feed->byte);
                    at = feed->half == RegisterHalf::high ? writeLiteral(at, " high") : writeLiteral(at, " low");
                }
                feeds.commit(at);
            }
            table.rows.push_back({slave, kind, registers.take(), feeds.take()});
        }
    }
    return table;
}

MapTable findingTable(const ProjectMap& map) {
    MapTable table;
    table.titles = {"No.", "Frame", "Finding"};
    table.rows.reserve(map.findings.size());
    for (std::size_t i = 0; i < map.findings.size(); ++i) {
        const MapFinding& finding = map.findings[i];
        table.rows.push_back(
            {std::to_string(i + 1), finding.frame ? std::to_string(finding.frame) : std::string(), finding.message});
    }
    return table;
}

std::string cycleText(const FrameMap& frame) {
    if (frame.onRequest()) return "On Request";
    if (frame.cycleMs) return std::to_string(*frame.cycleMs) + " ms";
    return "group " + std::to_string(frame.group) + " missing";
}

std::string wellKnownText(const FrameMap& frame) {
    return wellKnownPgnText(frame.wellKnown);
}

std::string pgnTip(const FrameMap& frame) {
    std::string tip = wellKnownText(frame);
    if (const auto destination = frame.pgnValue().destination())
        tip += (tip.empty() ? "destination " : ", destination ") + std::to_string(*destination);
    return tip;
}

namespace {

void writeText(const ProjectMap& map, Text& out) {
    SourceWriter sources;
    out << "Frames: " << int(map.frames.size()) << '\n';
    for (const FrameMap& frame : map.frames) {
        out << "Frame " << frame.frame << ": PGN " << pgnText(frame.pgnValue());
        if (frame.wellKnown) out << ' ' << wellKnownText(frame);
        if (const auto destination = frame.pgnValue().destination()) out << ", destination " << unsigned(*destination);
        out << ", priority " << unsigned(frame.priority) << ", data page " << unsigned(frame.dataPage);
        if (frame.onRequest())
            out << ", On Request";
        else
            out << ", group " << unsigned(frame.group) << " (" << cycleText(frame) << ')';
        out << ", erase " << (frame.erase ? "yes" : "no");
        if (frame.signalInfo.inDatabase()) out << ", message " << frame.signalInfo.message;
        out << '\n';
        for (const FrameByteMap& byte : frame.bytes) {
            out << "  B" << byte.byte << ": ";
            if (byte.sources.empty()) out << "none";
            sources.appendList(out, byte.sources, ", ");
            if (byte.fedTwice()) out << "  (fed twice)";
            const std::vector<std::string>& names = frame.signalInfo.signalsAtByte[std::size_t(byte.byte - 1)];
            if (!names.empty()) out << "  [" << joinedNames(names, ", ") << ']';
            const std::vector<MultiplexedAtByte>& chosen =
                frame.signalInfo.multiplexedAtByte[std::size_t(byte.byte - 1)];
            if (!chosen.empty()) out << "  {" << multiplexedNamesText(chosen) << '}';
            out << '\n';
            out.mayFlush();
        }
        for (const CoveredSignal& signal : frame.signalInfo.covered)
            out << "  signal " << coveredSignalText(signal) << '\n';
    }

    out << "Slaves: " << int(map.slaves.size()) << '\n';
    for (const SlavePolling& polling : map.slaves) {
        out << "Slave " << unsigned(polling.slave) << ", ";
        appendKind(out, polling.typeReg);
        out << " registers:";
        for (std::size_t i = 0; i < polling.ranges.size(); ++i) {
            out << (i ? ", " : " ") << polling.ranges[i].first;
            if (polling.ranges[i].last != polling.ranges[i].first) out << '-' << polling.ranges[i].last;
        }
        out << '\n';
    }

    out << "Findings: " << int(map.findings.size()) << '\n';
    for (const MapFinding& finding : map.findings) out << "  warning: " << finding.message << '\n';
    out.flush();
}

// Each format is written whole into one buffer of about its size, or handed to a sink a piece at a time.
template <void (*write)(const ProjectMap&, Text&)>
std::string whole(const ProjectMap& map, std::size_t size) {
    Text out;
    out.reserve(size);
    write(map, out);
    return out.take();
}

template <void (*write)(const ProjectMap&, Text&)>
void inPieces(const ProjectMap& map, std::ostream& sink) {
    Text out(sink);
    write(map, out);
}

}  // namespace

std::string mapText(const ProjectMap& map) {
    return whole<writeText>(map, 32 * sourceCount(map) + 4096);
}

void writeMapText(const ProjectMap& map, std::ostream& sink) {
    inPieces<writeText>(map, sink);
}

namespace {

// A string value, by the one rule of the tool's JSON strings.
void appendJsonString(Text& out, std::string_view text) {
    out << std::string_view(jsonString(text));
}

void appendJsonKind(Text& out, std::uint8_t typeReg) {
    const std::string_view word = registerKindWord(typeReg);
    if (word.empty())
        out << "null";
    else
        out << '"' << word << '"';
}

using Json = nlohmann::ordered_json;

// The library refuses to write text that is not UTF-8: the strings of a value (names and units from a database, a
// path) get the one rule of the tool's JSON strings first.
Json withRepairedText(Json value) {
    if (value.is_string()) {
        std::string& text = value.get_ref<std::string&>();
        if (!isValidUtf8(text)) text = repairedUtf8(text);
    } else if (value.is_structured()) {
        for (Json& item : value) item = withRepairedText(std::move(item));
    }
    return value;
}

std::string jsonText(Json value) {
    return withRepairedText(std::move(value)).dump();
}

void appendJsonRegister(Text& out, const SignalRegister& feeder) {
    out << "{\"slave\":" << unsigned(feeder.slave) << ",\"kind\":";
    appendJsonKind(out, feeder.typeReg);
    out << ",\"register\":" << std::int64_t(feeder.registerNumber);
}

void appendJsonRanges(Text& out, const std::vector<ValueRange>& values) {
    out << '[';
    for (std::size_t k = 0; k < values.size(); ++k)
        out << (k ? ",[" : "[") << std::to_string(values[k].first) << ',' << std::to_string(values[k].last) << ']';
    out << ']';
}

// A number as the library writes it: the shortest text that reads back the same, with ".0" when it is whole.
void appendJsonNumber(Text& out, double value) {
    if (!std::isfinite(value)) {
        out << "null";
        return;
    }
    char* const start = out.room(32);
    char* const end = std::to_chars(start, start + 32, value).ptr;
    out.commit(end);
    if (std::find_if(start, end, [](char c) { return c == '.' || c == 'e'; }) == end) out << ".0";
}

// The texts of a signal database are UTF-8 already and seldom hold a character that JSON escapes: those are written
// as they are, the rest as the library escapes them.
void appendJsonText(Text& out, std::string_view text) {
    const bool plain = std::none_of(
        text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '"' || c == '\\'; });
    if (plain && isValidUtf8(text))
        out << '"' << text << '"';
    else
        appendJsonString(out, text);
}

std::string_view valueTypeName(ValueType type) {
    return type == ValueType::ieeeSingle ? "ieeeSingle" : type == ValueType::ieeeDouble ? "ieeeDouble" : "integer";
}

// Written directly: in the largest project each signal has over a hundred registers, which the library would build
// as objects first.
void appendCoveredSignalJson(Text& out, const CoveredSignal& signal) {
    out << "{\"name\":";
    appendJsonText(out, signal.name);
    out << ",\"bytes\":[";
    for (std::size_t k = 0; k < signal.bytes.size(); ++k) out << (k ? "," : "") << signal.bytes[k];
    out << "],\"registers\":[";
    for (std::size_t k = 0; k < signal.registers.size(); ++k) {
        if (k) out << ',';
        appendJsonRegister(out, signal.registers[k]);
        out << '}';
        out.mayFlush();
    }
    out << "],\"factor\":";
    appendJsonNumber(out, signal.factor);
    out << ",\"offset\":";
    appendJsonNumber(out, signal.offset);
    out << ",\"unit\":";
    appendJsonText(out, signal.unit);
    out << ",\"encoding\":";
    appendJsonText(out, signal.encoding);
    out << ",\"startBit\":" << signal.startBit << ",\"length\":" << signal.length
        << ",\"byteOrder\":" << (signal.byteOrder == ByteOrder::littleEndian ? "\"little-endian\"" : "\"big-endian\"")
        << ",\"signed\":" << (signal.isSigned ? "true" : "false") << ",\"valueType\":\""
        << valueTypeName(signal.valueType) << "\",\"bits\":[";
    for (std::size_t k = 0; k < signal.bits.size(); ++k) {
        const ByteBits& byte = signal.bits[k];
        out << (k ? ",{\"byte\":" : "{\"byte\":") << byte.byte + 1 << ",\"bits\":[" << byte.lowBit << ','
            << byte.highBit << "],\"rawBits\":[" << byte.rawLowBit << ',' << byte.rawLowBit + byte.count() - 1 << "]}";
    }
    out << "],\"arithmetic\":[";
    for (std::size_t k = 0; k < signal.arithmetic.size(); ++k) {
        const RegisterArithmetic& feeder = signal.arithmetic[k];
        if (k) out << ',';
        appendJsonRegister(out, feeder.source);
        out << ",\"pieces\":[";
        for (std::size_t p = 0; p < feeder.pieces.size(); ++p)
            out << (p ? ",{\"rawBit\":" : "{\"rawBit\":") << feeder.pieces[p].rawLowBit
                << ",\"registerBit\":" << feeder.pieces[p].registerLowBit << ",\"count\":" << feeder.pieces[p].count
                << '}';
        out << "]}";
    }
    out << "],\"example\":{\"physical\":";
    appendJsonNumber(out, signal.example.physical);
    out << ",\"raw\":";
    const std::uint64_t bits = signal.example.rawBits;
    if (signal.valueType == ValueType::ieeeSingle)
        appendJsonNumber(out, double(std::bit_cast<float>(std::uint32_t(bits))));
    else if (signal.valueType == ValueType::ieeeDouble)
        appendJsonNumber(out, std::bit_cast<double>(bits));
    else if (signal.isSigned && (signal.length == 64 || (bits >> (signal.length - 1) & 1)))
        out << std::to_string(signal.length == 64 ? std::int64_t(bits)
                                                  : std::int64_t(bits) - (std::int64_t(1) << signal.length));
    else
        out << std::to_string(bits);
    out << ",\"registers\":[";
    for (std::size_t k = 0; k < signal.arithmetic.size(); ++k) {
        const RegisterArithmetic& feeder = signal.arithmetic[k];
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%04X", unsigned(feeder.exampleValue));
        if (k) out << ',';
        appendJsonRegister(out, feeder.source);
        out << ",\"value\":" << unsigned(feeder.exampleValue) << ",\"hex\":\"" << std::string_view(hex) << "\"}";
    }
    out << "],\"text\":";
    appendJsonText(out, exampleText(signal));
    out << "},\"spn\":";
    if (signal.spn)
        out << std::int64_t(*signal.spn);
    else
        out << "null";
    out << ",\"valueTexts\":[";
    for (std::size_t k = 0; k < signal.valueTexts.size(); ++k) {
        out << (k ? ",{\"value\":" : "{\"value\":");
        appendJsonNumber(out, signal.valueTexts[k].value);
        out << ",\"text\":";
        appendJsonText(out, signal.valueTexts[k].text);
        out << '}';
    }
    out << "],\"multiplexer\":";
    if (signal.multiplexer.empty())
        out << "null";
    else
        appendJsonText(out, signal.multiplexer);
    out << ",\"multiplexerValues\":";
    appendJsonRanges(out, signal.multiplexerValues);
    out << '}';
}

// What a signal database adds to a frame: a few signals per frame, so the library writes them, numbers and all.
void appendJsonSignals(Text& out, const FrameSignals& signals) {
    out << ",\"message\":" << jsonText(signals.inDatabase() ? Json(signals.message) : Json(nullptr))
        << ",\"coveredSignals\":[";
    for (std::size_t i = 0; i < signals.covered.size(); ++i) {
        if (i) out << ',';
        appendCoveredSignalJson(out, signals.covered[i]);
    }
    out << ']';
}

template <typename Entry>
void appendJsonList(Text& out, const char* name, std::size_t count, const Entry& entry, bool last) {
    out << "\n \"" << std::string_view(name) << "\": [";
    for (std::size_t i = 0; i < count; ++i) {
        out << (i ? ",\n  " : "\n  ");
        entry(i);
        out.mayFlush();
    }
    out << (count ? "\n ]" : "]");
    if (!last) out << ',';
}

// Written directly rather than built as a library document: the largest project's runs to 16 megabytes, and its
// objects are all of a few fixed shapes. The library escapes the strings.
void writeJson(const ProjectMap& map, Text& out) {
    out << '{';
    appendJsonList(
        out, "frames", map.frames.size(),
        [&](std::size_t i) {
            const FrameMap& frame = map.frames[i];
            out << "{\"frame\":" << frame.frame << ",\"pgn\":" << unsigned(frame.pgn) << ",\"pgnHex\":\""
                << pgnHex(frame.pgnValue()) << "\",\"acronym\":";
            if (frame.wellKnown)
                appendJsonString(out, frame.wellKnown->acronym);
            else
                out << "null";
            out << ",\"name\":";
            if (frame.wellKnown)
                appendJsonString(out, frame.wellKnown->name);
            else
                out << "null";
            out << ",\"destination\":";
            if (const auto destination = frame.pgnValue().destination())
                out << unsigned(*destination);
            else
                out << "null";
            out << ",\"priority\":" << unsigned(frame.priority) << ",\"dataPage\":" << unsigned(frame.dataPage)
                << ",\"group\":" << unsigned(frame.group) << ",\"onRequest\":" << (frame.onRequest() ? "true" : "false")
                << ",\"cycleMs\":";
            if (frame.cycleMs)
                out << unsigned(*frame.cycleMs);
            else
                out << "null";
            out << ",\"erase\":" << (frame.erase ? "true" : "false") << ",\"bytes\":[";
            for (const FrameByteMap& byte : frame.bytes) {
                if (byte.byte != frame.bytes.front().byte) out << ',';
                out << "{\"byte\":" << byte.byte << ",\"sources\":[";
                for (std::size_t s = 0; s < byte.sources.size(); ++s) {
                    const RegisterHalfSource& source = byte.sources[s];
                    if (s) out << ',';
                    out << "{\"slave\":" << unsigned(source.slave) << ",\"kind\":";
                    appendJsonKind(out, source.typeReg);
                    out << ",\"typeReg\":" << unsigned(source.typeReg) << ",\"register\":" << source.registerNumber
                        << (source.half == RegisterHalf::high ? ",\"half\":\"high\"" : ",\"half\":\"low\"")
                        << ",\"definitionRow\":" << std::int64_t(source.definitionRow) << '}';
                    out.mayFlush();
                }
                out << "],\"fedTwice\":" << (byte.fedTwice() ? "true" : "false");
                if (map.withSignals) {
                    const std::size_t at = std::size_t(byte.byte - 1);
                    out << ",\"signals\":[";
                    for (std::size_t k = 0; k < frame.signalInfo.signalsAtByte[at].size(); ++k) {
                        if (k) out << ',';
                        appendJsonText(out, frame.signalInfo.signalsAtByte[at][k]);
                    }
                    out << "],\"multiplexedSignals\":[";
                    for (std::size_t k = 0; k < frame.signalInfo.multiplexedAtByte[at].size(); ++k) {
                        const MultiplexedAtByte& name = frame.signalInfo.multiplexedAtByte[at][k];
                        out << (k ? ",{\"name\":" : "{\"name\":");
                        appendJsonText(out, name.name);
                        out << ",\"multiplexer\":";
                        appendJsonText(out, name.multiplexer);
                        out << ",\"values\":";
                        appendJsonRanges(out, name.values);
                        out << '}';
                    }
                    out << ']';
                }
                out << '}';
            }
            out << ']';
            if (map.withSignals) appendJsonSignals(out, frame.signalInfo);
            out << '}';
        },
        false);
    appendJsonList(
        out, "slaves", map.slaves.size(),
        [&](std::size_t i) {
            const SlavePolling& polling = map.slaves[i];
            out << "{\"slave\":" << unsigned(polling.slave) << ",\"kind\":";
            appendJsonKind(out, polling.typeReg);
            out << ",\"typeReg\":" << unsigned(polling.typeReg) << ",\"ranges\":[";
            for (std::size_t r = 0; r < polling.ranges.size(); ++r)
                out << (r ? ",[" : "[") << polling.ranges[r].first << ',' << polling.ranges[r].last << ']';
            out << "],\"registers\":[";
            auto feed = polling.feeds.begin();
            bool firstRegister = true;
            for (const RegisterRange& range : polling.ranges)
                for (std::int32_t number = range.first; number <= range.last; ++number) {
                    out << (firstRegister ? "{\"register\":" : ",{\"register\":") << number << ",\"feeds\":[";
                    firstRegister = false;
                    for (bool first = true; feed != polling.feeds.end() && feed->registerNumber == number;
                         ++feed, first = false)
                        out << (first ? "{\"frame\":" : ",{\"frame\":") << feed->frame
                            << ",\"byte\":" << unsigned(feed->byte)
                            << (feed->half == RegisterHalf::high ? ",\"half\":\"high\"}" : ",\"half\":\"low\"}");
                    out << "]}";
                    out.mayFlush();
                }
            out << "]}";
        },
        false);
    appendJsonList(
        out, "findings", map.findings.size(),
        [&](std::size_t i) {
            out << "{\"severity\":\"warning\",\"message\":";
            appendJsonString(out, map.findings[i].message);
            out << '}';
        },
        true);
    out << "\n}\n";
    out.flush();
}

}  // namespace

// One line per frame, slave and finding: the document stays readable line by line, and the largest project's
// stays a few megabytes.
std::string mapJson(const ProjectMap& map) {
    return whole<writeJson>(map, 160 * sourceCount(map) + 4096);
}

void writeMapJson(const ProjectMap& map, std::ostream& sink) {
    inPieces<writeJson>(map, sink);
}

namespace {

void writeCsv(const ProjectMap& map, Text& out) {
    SourceWriter sources;
    out << "frame,pgn,pgnHex,acronym,name,priority,dataPage,group,cycle,erase,byte,sources,fedTwice"
        << (map.withSignals ? ",message,signals,coveredSignals,multiplexedSignals\r\n" : "\r\n");
    for (const FrameMap& frame : map.frames) {
        std::string head =
            std::to_string(frame.frame) + "," + std::to_string(frame.pgn) + "," + pgnHex(frame.pgnValue()) + ",";
        if (frame.wellKnown)
            head += csvField(frame.wellKnown->acronym) + "," + csvField(frame.wellKnown->name);
        else
            head += ",";
        head += "," + std::to_string(frame.priority) + "," + std::to_string(frame.dataPage) + "," +
                std::to_string(frame.group) + "," + cycleText(frame) + "," + (frame.erase ? "Y" : "N") + ",";
        for (const FrameByteMap& byte : frame.bytes) {
            out << head << 'B' << byte.byte << ',';
            sources.appendList(out, byte.sources, "; ");
            out << (byte.fedTwice() ? ",yes" : ",no");
            if (map.withSignals) {
                const FrameSignals& signals = frame.signalInfo;
                std::vector<std::string> covered;
                for (const CoveredSignal& signal : signals.covered)
                    if (std::find(signal.bytes.begin(), signal.bytes.end(), unsigned(byte.byte)) != signal.bytes.end())
                        covered.push_back(coveredSignalText(signal));
                // A covered signal's text holds "; " itself: one line each.
                out << ',' << csvField(signals.message) << ','
                    << csvField(joinedNames(signals.signalsAtByte[std::size_t(byte.byte - 1)], "; ")) << ','
                    << csvField(joinedNames(covered, "\n")) << ','
                    << csvField(multiplexedNamesText(signals.multiplexedAtByte[std::size_t(byte.byte - 1)]));
            }
            out << "\r\n";
            out.mayFlush();
        }
    }
    out.flush();
}

}  // namespace

std::string mapCsv(const ProjectMap& map) {
    return whole<writeCsv>(map, 48 * sourceCount(map) + 128 * map.frames.size() + 256);
}

void writeMapCsv(const ProjectMap& map, std::ostream& sink) {
    inPieces<writeCsv>(map, sink);
}

}  // namespace tessaro
