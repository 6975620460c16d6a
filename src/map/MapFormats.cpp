#include "map/MapFormats.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string_view>

#include "signals/SignalAnalysis.h"

namespace tessaro {

namespace {

// The largest project has some hundred thousand register halves: the text is put together in one buffer.
class Text {
public:
    Text& operator<<(std::string_view text) {
        m_text.append(text);
        return *this;
    }
    Text& operator<<(char c) {
        m_text.push_back(c);
        return *this;
    }
    Text& operator<<(std::int64_t number) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
        m_text.append(digits, end);
        return *this;
    }
    Text& operator<<(int number) { return *this << std::int64_t(number); }
    Text& operator<<(unsigned number) { return *this << std::int64_t(number); }
    void reserve(std::size_t size) { m_text.reserve(size); }
    std::string take() { return std::move(m_text); }

private:
    std::string m_text;
};

std::string_view halfName(RegisterHalf half) {
    return half == RegisterHalf::high ? "high" : "low";
}

std::string_view kindWord(std::uint8_t typeReg) {
    if (typeReg == 3) return "holding";
    if (typeReg == 4) return "input";
    return {};
}

void appendKind(Text& out, std::uint8_t typeReg) {
    const std::string_view word = kindWord(typeReg);
    if (!word.empty())
        out << word;
    else
        out << "Type_Reg " << unsigned(typeReg);
}

void appendSource(Text& out, const RegisterHalfSource& source) {
    out << "slave " << unsigned(source.slave) << ' ';
    appendKind(out, source.typeReg);
    out << ' ' << source.registerNumber << ' ' << halfName(source.half);
}

void appendShortSource(Text& out, const RegisterHalfSource& source) {
    out << 'S' << unsigned(source.slave) << ' ';
    if (source.typeReg == 3)
        out << "HR";
    else if (source.typeReg == 4)
        out << "IR";
    else
        out << 'T' << unsigned(source.typeReg) << ':';
    out << source.registerNumber << ' ' << halfName(source.half);
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
        std::string pgn = pgnText(frame.pgn);
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
            row.push_back(cell.take());
        }
    }
    return table;
}

MapTable signalTable(const ProjectMap& map) {
    MapTable table;
    table.titles = {"Frame", "Message", "Signal", "Bytes", "Registers", "Encoding"};
    for (const FrameMap& frame : map.frames)
        for (const CoveredSignal& signal : frame.signalInfo.covered)
            table.rows.push_back({std::to_string(frame.frame), frame.signalInfo.message, signal.name,
                                  signalBytesText(signal), signalRegistersText(signal), signal.encoding});
    return table;
}

MapTable pollingTable(const ProjectMap& map) {
    MapTable table;
    table.titles = {"Slave", "Kind", "Registers", "Feeds"};
    for (const SlavePolling& polling : map.slaves) {
        auto feed = polling.feeds.begin();
        for (const RegisterRange& range : polling.ranges) {
            Text registers, feeds;
            registers << range.first;
            if (range.last != range.first) registers << '-' << range.last;
            for (std::int32_t number = range.first; number <= range.last; ++number) {
                if (number != range.first) feeds << '\n';
                feeds << number << ':';
                if (feed == polling.feeds.end() || feed->registerNumber != number) feeds << " -";
                for (bool first = true; feed != polling.feeds.end() && feed->registerNumber == number;
                     ++feed, first = false)
                    feeds << (first ? " F" : ", F") << feed->frame << " B" << unsigned(feed->byte) << ' '
                          << halfName(feed->half);
            }
            table.rows.push_back(
                {std::to_string(polling.slave), registerKindName(polling.typeReg), registers.take(), feeds.take()});
        }
    }
    return table;
}

std::string pgnHex(std::uint16_t pgn) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", unsigned(pgn));
    return text;
}

std::string pgnText(std::uint16_t pgn) {
    return std::to_string(pgn) + " (" + pgnHex(pgn) + ")";
}

std::string cycleText(const FrameMap& frame) {
    if (frame.onRequest()) return "On Request";
    if (frame.cycleMs) return std::to_string(*frame.cycleMs) + " ms";
    return "group " + std::to_string(frame.group) + " missing";
}

std::string wellKnownText(const FrameMap& frame) {
    return wellKnownPgnText(frame.wellKnown);
}

std::string mapText(const ProjectMap& map) {
    Text out;
    out.reserve(32 * sourceCount(map) + 4096);
    out << "Frames: " << int(map.frames.size()) << '\n';
    for (const FrameMap& frame : map.frames) {
        out << "Frame " << frame.frame << ": PGN " << pgnText(frame.pgn);
        if (frame.wellKnown) out << ' ' << wellKnownText(frame);
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
            for (std::size_t i = 0; i < byte.sources.size(); ++i) {
                if (i) out << ", ";
                appendSource(out, byte.sources[i]);
            }
            if (byte.fedTwice()) out << "  (fed twice)";
            const std::vector<std::string>& names = frame.signalInfo.signalsAtByte[std::size_t(byte.byte - 1)];
            if (!names.empty()) out << "  [" << joinedNames(names, ", ") << ']';
            out << '\n';
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
    return out.take();
}

std::string mapJson(const ProjectMap& map) {
    using Json = nlohmann::ordered_json;
    const auto kind = [](std::uint8_t typeReg) {
        const std::string_view word = kindWord(typeReg);
        return word.empty() ? Json(nullptr) : Json(word);
    };
    Json frames = Json::array();
    for (const FrameMap& frame : map.frames) {
        Json bytes = Json::array();
        for (const FrameByteMap& byte : frame.bytes) {
            Json sources = Json::array();
            for (const RegisterHalfSource& source : byte.sources)
                sources.push_back({{"slave", source.slave},
                                   {"kind", kind(source.typeReg)},
                                   {"typeReg", source.typeReg},
                                   {"register", source.registerNumber},
                                   {"half", halfName(source.half)},
                                   {"definitionRow", source.definitionRow}});
            bytes.push_back({{"byte", byte.byte}, {"sources", std::move(sources)}, {"fedTwice", byte.fedTwice()}});
            if (map.withSignals) bytes.back()["signals"] = frame.signalInfo.signalsAtByte[std::size_t(byte.byte - 1)];
        }
        frames.push_back({{"frame", frame.frame},
                          {"pgn", frame.pgn},
                          {"pgnHex", pgnHex(frame.pgn)},
                          {"acronym", frame.wellKnown ? Json(frame.wellKnown->acronym) : Json(nullptr)},
                          {"name", frame.wellKnown ? Json(frame.wellKnown->name) : Json(nullptr)},
                          {"priority", frame.priority},
                          {"dataPage", frame.dataPage},
                          {"group", frame.group},
                          {"onRequest", frame.onRequest()},
                          {"cycleMs", frame.cycleMs ? Json(*frame.cycleMs) : Json(nullptr)},
                          {"erase", frame.erase},
                          {"bytes", std::move(bytes)}});
        if (!map.withSignals) continue;
        const FrameSignals& signals = frame.signalInfo;
        frames.back()["message"] = signals.inDatabase() ? Json(signals.message) : Json(nullptr);
        Json covered = Json::array();
        for (const CoveredSignal& signal : signals.covered) {
            Json registers = Json::array();
            for (const SignalRegister& feeder : signal.registers)
                registers.push_back(
                    {{"slave", feeder.slave}, {"kind", kind(feeder.typeReg)}, {"register", feeder.registerNumber}});
            covered.push_back({{"name", signal.name},
                               {"bytes", signal.bytes},
                               {"registers", std::move(registers)},
                               {"factor", signal.factor},
                               {"offset", signal.offset},
                               {"unit", signal.unit},
                               {"encoding", signal.encoding}});
        }
        frames.back()["coveredSignals"] = std::move(covered);
    }
    Json slaves = Json::array();
    for (const SlavePolling& polling : map.slaves) {
        Json ranges = Json::array();
        for (const RegisterRange& range : polling.ranges) ranges.push_back({range.first, range.last});
        Json registers = Json::array();
        auto feed = polling.feeds.begin();
        for (const RegisterRange& range : polling.ranges)
            for (std::int32_t number = range.first; number <= range.last; ++number) {
                Json feeds = Json::array();
                for (; feed != polling.feeds.end() && feed->registerNumber == number; ++feed)
                    feeds.push_back({{"frame", feed->frame}, {"byte", feed->byte}, {"half", halfName(feed->half)}});
                registers.push_back({{"register", number}, {"feeds", std::move(feeds)}});
            }
        slaves.push_back({{"slave", polling.slave},
                          {"kind", kind(polling.typeReg)},
                          {"typeReg", polling.typeReg},
                          {"ranges", std::move(ranges)},
                          {"registers", std::move(registers)}});
    }
    Json findings = Json::array();
    for (const MapFinding& finding : map.findings)
        findings.push_back({{"severity", "warning"}, {"message", finding.message}});
    const Json document = {
        {"frames", std::move(frames)}, {"slaves", std::move(slaves)}, {"findings", std::move(findings)}};
    return document.dump(1) + "\n";
}

std::string mapCsv(const ProjectMap& map) {
    Text out;
    out.reserve(48 * sourceCount(map) + 128 * map.frames.size() + 256);
    out << "frame,pgn,pgnHex,acronym,name,priority,dataPage,group,cycle,erase,byte,sources,fedTwice"
        << (map.withSignals ? ",message,signals,coveredSignals\r\n" : "\r\n");
    for (const FrameMap& frame : map.frames) {
        std::string head =
            std::to_string(frame.frame) + "," + std::to_string(frame.pgn) + "," + pgnHex(frame.pgn) + ",";
        if (frame.wellKnown)
            head += csvField(frame.wellKnown->acronym) + "," + csvField(frame.wellKnown->name);
        else
            head += ",";
        head += "," + std::to_string(frame.priority) + "," + std::to_string(frame.dataPage) + "," +
                std::to_string(frame.group) + "," + cycleText(frame) + "," + (frame.erase ? "Y" : "N") + ",";
        for (const FrameByteMap& byte : frame.bytes) {
            out << head << 'B' << byte.byte << ',';
            for (std::size_t i = 0; i < byte.sources.size(); ++i) {
                if (i) out << "; ";
                appendSource(out, byte.sources[i]);
            }
            out << (byte.fedTwice() ? ",yes" : ",no");
            if (map.withSignals) {
                const FrameSignals& signals = frame.signalInfo;
                std::vector<std::string> covered;
                for (const CoveredSignal& signal : signals.covered)
                    if (std::find(signal.bytes.begin(), signal.bytes.end(), unsigned(byte.byte)) != signal.bytes.end())
                        covered.push_back(coveredSignalText(signal));
                out << ',' << csvField(signals.message) << ','
                    << csvField(joinedNames(signals.signalsAtByte[std::size_t(byte.byte - 1)], "; ")) << ','
                    << csvField(joinedNames(covered, "; "));
            }
            out << "\r\n";
        }
    }
    return out.take();
}

}  // namespace tessaro
