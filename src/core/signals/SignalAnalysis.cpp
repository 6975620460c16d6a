#include "signals/SignalAnalysis.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "documents/NumericText.h"
#include "map/MapFormats.h"

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

// The place of a half among a slave's register bytes as Modbus carries them: a register's high byte first.
std::int64_t streamPosition(const RegisterHalfSource& source) {
    return std::int64_t(source.registerNumber) * 2 + (source.half == RegisterHalf::low ? 1 : 0);
}

// The halves, from the signal's most significant byte, make one value: in the order Modbus carries them, or in
// whole registers with the low word first.
bool formsOneValue(const std::vector<RegisterHalfSource>& halves) {
    bool carried = true;
    for (std::size_t k = 1; k < halves.size(); ++k)
        carried = carried && streamPosition(halves[k]) == streamPosition(halves[k - 1]) + 1;
    if (carried) return true;
    if (halves.size() % 2 != 0) return false;
    for (std::size_t k = 0; k < halves.size(); k += 2) {
        const RegisterHalfSource& high = halves[k];
        const RegisterHalfSource& low = halves[k + 1];
        if (high.half != RegisterHalf::high || low.half != RegisterHalf::low ||
            high.registerNumber != low.registerNumber)
            return false;
        if (k > 0 && high.registerNumber != halves[k - 2].registerNumber - 1) return false;
    }
    return true;
}

std::vector<RegisterHalfSource> exchangedHalves(std::vector<RegisterHalfSource> halves) {
    for (RegisterHalfSource& half : halves)
        half.half = half.half == RegisterHalf::high ? RegisterHalf::low : RegisterHalf::high;
    return halves;
}

std::string byteOrderName(ByteOrder order) {
    return order == ByteOrder::littleEndian ? "little-endian" : "big-endian";
}

class FrameAnalysis {
public:
    FrameAnalysis(const MessageDefinition& message, const FrameMap& frame) : m_message(message), m_frame(frame) {
        m_prefix = "frame " + std::to_string(frame.frame) + " (" + message.name + "): ";
        m_result.message = message.name;
        m_result.signalsAtByte = signalsAtBytes(message);
    }

    FrameSignals run() {
        for (const SignalDefinition& signal : m_message.signalDefinitions) analyse(signal);
        for (unsigned byte = 0; byte < kFrameBytes; ++byte)
            if (!sourcesOf(byte).empty() && m_result.signalsAtByte[byte].empty())
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

        CoveredSignal covered{signal.name, bytes, {}, signal.factor, signal.offset, signal.unit, encodingText(signal)};
        bool onceEach = true;
        std::vector<RegisterHalfSource> halves;
        for (const unsigned byte : bytes) {
            const std::vector<RegisterHalfSource>& feeding = sourcesOf(byte - 1);
            onceEach = onceEach && feeding.size() == 1;
            for (const RegisterHalfSource& source : feeding) {
                const SignalRegister feeder{source.slave, source.typeReg, source.registerNumber};
                if (std::find(covered.registers.begin(), covered.registers.end(), feeder) == covered.registers.end())
                    covered.registers.push_back(feeder);
            }
            halves.push_back(feeding.front());
        }
        m_result.covered.push_back(std::move(covered));
        // A byte fed twice is a finding of its own, and its value is no one's.
        if (bytes.size() < 2 || !onceEach) return;

        std::string feeders;
        for (unsigned byte = span.first; byte <= span.last; ++byte)
            feeders += (feeders.empty() ? "" : ", ") + byteName(byte + 1) + " = " + sourceText(sourcesOf(byte).front());
        const bool oneSlave = std::all_of(halves.begin(), halves.end(), [&](const RegisterHalfSource& half) {
            return half.slave == halves.front().slave && half.typeReg == halves.front().typeReg;
        });
        if (oneSlave && formsOneValue(halves)) return;
        if (oneSlave && formsOneValue(exchangedHalves(halves)))
            add(SignalFindingKind::swapped, signal.name, fed.front(),
                "signal " + signal.name + " is swapped: its registers give " + range + " in the opposite of its " +
                    byteOrderName(signal.byteOrder) + " byte order (" + feeders + ")");
        else
            add(SignalFindingKind::notOneValue, signal.name, fed.front(),
                "signal " + signal.name + " is fed from halves that do not form one value (" + feeders + ")");
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

std::string signalBytesText(const CoveredSignal& signal) {
    if (signal.bytes.empty()) return {};
    const unsigned first = std::min(signal.bytes.front(), signal.bytes.back());
    const unsigned last = std::max(signal.bytes.front(), signal.bytes.back());
    if (first == last) return byteName(first);
    return byteName(first) + "-" + byteName(last) +
           (signal.bytes.front() > signal.bytes.back() ? " little-endian" : " big-endian");
}

std::string signalRegistersText(const CoveredSignal& signal) {
    std::vector<std::string> registers;
    for (const SignalRegister& feeder : signal.registers) registers.push_back(registerText(feeder));
    return joinedNames(registers, ", ");
}

std::string coveredSignalText(const CoveredSignal& signal) {
    return signal.name + ", " + signalBytesText(signal) + ", from " + signalRegistersText(signal) + ": " +
           signal.encoding;
}

std::string encodingText(const SignalDefinition& signal) {
    std::string physical = "physical";
    if (signal.offset != 0) physical += (signal.offset < 0 ? " + " : " - ") + shortestDecimal(std::fabs(signal.offset));
    std::string text = "raw = ";
    if (signal.factor == 1)
        text += physical;
    else
        text += (signal.offset != 0 ? "(" + physical + ")" : physical) + " / " + shortestDecimal(signal.factor);
    text += ", " + std::to_string(signal.length) + (signal.length == 1 ? " bit " : " bits ") +
            (signal.isSigned ? "signed" : "unsigned");
    if (!signal.unit.empty()) text += ", physical in " + signal.unit;
    return text;
}

std::array<std::vector<std::string>, kFrameBytes> signalsAtBytes(const MessageDefinition& message) {
    std::array<std::vector<std::string>, kFrameBytes> names;
    for (const SignalDefinition& signal : message.signalDefinitions) {
        const SignalBytes span = bytesOf(signal);
        for (unsigned byte = span.first; byte <= span.last && byte < kFrameBytes; ++byte)
            names[byte].push_back(signal.name);
    }
    return names;
}

std::array<std::string, kFrameBytes> byteSignalTips(const SignalDatabase& database, std::uint32_t pgn) {
    std::array<std::string, kFrameBytes> tips;
    const MessageDefinition* message = database.messageOfPgn(pgn);
    if (!message) return tips;
    const auto names = signalsAtBytes(*message);
    for (std::size_t byte = 0; byte < kFrameBytes; ++byte)
        tips[byte] = message->name + " " + byteName(unsigned(byte + 1)) + ": " +
                     (names[byte].empty() ? "no signal" : joinedNames(names[byte], ", "));
    return tips;
}

FrameSignals analyseFrameSignals(const SignalDatabase& database, const FrameMap& frame) {
    const MessageDefinition* message = database.messageOfPgn(framePgn(frame.dataPage, frame.pgn));
    if (!message) return {};
    return FrameAnalysis(*message, frame).run();
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
    for (FrameMap& frame : map.frames) {
        frame.signalInfo = analyseFrameSignals(database, frame);
        for (const SignalFinding& finding : frame.signalInfo.findings)
            map.findings.push_back({MapSeverity::warning, finding.message});
    }
    for (const auto* notes : {&database.malformed, &database.leftOut})
        for (const DatabaseNote& note : *notes)
            map.findings.push_back({MapSeverity::warning, databaseName + ": " + noteText(note)});
}

}  // namespace tessaro
