#include "signals/SignalDatabase.h"

#include <charconv>
#include <cmath>
#include <unordered_map>

#include "documents/AtomicFile.h"
#include "documents/Paths.h"
#include "documents/Utf8Text.h"

namespace tessaro {

namespace {

constexpr std::uint32_t k29BitMask = 0x1FFFFFFFu;
constexpr std::uint32_t kStandardIdentifierLast = 0x7FF;
constexpr std::uint32_t kPdu2FirstFormat = 240;
// Messages of up to 1785 bytes travel by the transport protocol.
constexpr unsigned kLargestMessage = 1785;
// The pseudo-message that holds signals of no message.
constexpr std::string_view kIndependentSignalsMessage = "VECTOR__INDEPENDENT_SIG_MSG";

// Why a statement is skipped; caught per statement.
struct Malformed {
    std::string text;
};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

bool startsIdentifier(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool continuesIdentifier(char c) {
    return startsIdentifier(c) || (c >= '0' && c <= '9');
}

// Reads the words of one statement.
class Cursor {
public:
    explicit Cursor(std::string_view text) : m_text(text) {}

    void skipBlanks() {
        while (m_at < m_text.size() && (isBlank(m_text[m_at]) || m_text[m_at] == '\n')) ++m_at;
    }
    bool atEnd() {
        skipBlanks();
        return m_at == m_text.size();
    }
    bool peek(char c) {
        skipBlanks();
        return m_at < m_text.size() && m_text[m_at] == c;
    }
    bool take(char c) {
        if (!peek(c)) return false;
        ++m_at;
        return true;
    }
    void expect(char c, std::string_view after) {
        if (!take(c)) throw Malformed{std::string("'") + c + "' expected after " + std::string(after)};
    }

    std::optional<std::string_view> identifier() {
        skipBlanks();
        if (m_at == m_text.size() || !startsIdentifier(m_text[m_at])) return std::nullopt;
        const std::size_t start = m_at;
        while (m_at < m_text.size() && continuesIdentifier(m_text[m_at])) ++m_at;
        return m_text.substr(start, m_at - start);
    }
    std::string_view expectIdentifier(std::string_view what) {
        if (const auto word = identifier()) return *word;
        throw Malformed{std::string(what) + " expected"};
    }

    std::uint64_t expectUnsigned(std::string_view what) {
        skipBlanks();
        std::uint64_t value = 0;
        const char* begin = m_text.data() + m_at;
        const auto [end, failure] = std::from_chars(begin, m_text.data() + m_text.size(), value);
        if (failure != std::errc()) throw Malformed{std::string(what) + " expected"};
        m_at += std::size_t(end - begin);
        return value;
    }

    double expectNumber(std::string_view what) {
        skipBlanks();
        // from_chars takes no leading "+".
        if (m_at + 1 < m_text.size() && m_text[m_at] == '+' && m_text[m_at + 1] != '-') ++m_at;
        double value = 0;
        const char* begin = m_text.data() + m_at;
        const auto [end, failure] = std::from_chars(begin, m_text.data() + m_text.size(), value);
        if (failure != std::errc() || !std::isfinite(value)) throw Malformed{std::string(what) + " expected"};
        m_at += std::size_t(end - begin);
        return value;
    }

    // A quoted text with its \" and \\ escapes resolved.
    std::string expectQuoted(std::string_view what) {
        if (!take('"')) throw Malformed{std::string(what) + " expected in quotes"};
        std::string text;
        while (m_at < m_text.size() && m_text[m_at] != '"') {
            if (m_text[m_at] == '\\' && m_at + 1 < m_text.size()) ++m_at;
            // A text over several lines of a CR LF file keeps its line breaks as LF.
            if (m_text[m_at] != '\r') text += m_text[m_at];
            ++m_at;
        }
        if (m_at == m_text.size()) throw Malformed{std::string(what) + " without its closing quote"};
        ++m_at;
        // DBC files are often written in the Windows code page.
        if (!isValidUtf8(text)) return windows1252ToUtf8(text);
        return text;
    }

private:
    std::string_view m_text;
    std::size_t m_at = 0;
};

// Whether the quotes of a statement so far are closed; escapes inside quotes count.
bool quotesOpenAfter(std::string_view text, bool open) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (open && text[at] == '\\') {
            ++at;
        } else if (text[at] == '"') {
            open = !open;
        }
    }
    return open;
}

std::size_t lineEnd(std::string_view text, std::size_t at) {
    const std::size_t end = text.find('\n', at);
    return end == std::string_view::npos ? text.size() : end;
}

bool isBlankLine(std::string_view line) {
    for (const char c : line)
        if (!isBlank(c)) return false;
    return true;
}

std::string_view firstWord(std::string_view statement) {
    std::size_t start = 0;
    while (start < statement.size() && isBlank(statement[start])) ++start;
    std::size_t end = start;
    while (end < statement.size() && continuesIdentifier(statement[end])) ++end;
    return statement.substr(start, end - start);
}

// The statements of a DBC file, which a quoted text left open does not run into.
bool startsStatement(std::string_view line) {
    static constexpr std::string_view kKeywords[] = {"VERSION",      "NS_",         "BS_",        "BU_",
                                                     "BO_",          "SG_",         "CM_",        "BA_DEF_",
                                                     "BA_DEF_DEF_",  "BA_",         "VAL_",       "VAL_TABLE_",
                                                     "SIG_VALTYPE_", "BO_TX_BU_",   "EV_",        "SIG_GROUP_",
                                                     "SG_MUL_VAL_",  "BA_DEF_REL_", "BA_REL_",    "BA_DEF_DEF_REL_",
                                                     "BU_SG_REL_",   "BU_BO_REL_",  "BU_EV_REL_", "ENVVAR_DATA_"};
    const std::string_view word = firstWord(line);
    if (word.empty()) return false;
    const std::size_t after = std::size_t(word.data() - line.data()) + word.size();
    if (after < line.size() && !isBlank(line[after]) && line[after] != ':') return false;
    for (const std::string_view keyword : kKeywords)
        if (word == keyword) return true;
    return false;
}

struct PendingComment {
    std::uint32_t identifier;
    std::string signal;  // empty for the message's own comment
    std::string text;
};

class DatabaseReader {
public:
    SignalDatabase read(std::string_view text) {
        std::size_t lineNumber = 0;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t statementLine = ++lineNumber;
            const std::size_t start = at;
            std::size_t end = lineEnd(text, at);
            const std::string_view keyword = firstWord(text.substr(start, end - start));
            // A quoted text (a comment, mostly) may run on over lines; messages and signals never do, and a
            // statement's line ends a quote that was left open, so that one stray quote costs one statement.
            if (keyword != "SG_" && keyword != "BO_") {
                bool open = quotesOpenAfter(text.substr(start, end - start), false);
                while (open && end < text.size() &&
                       !startsStatement(text.substr(end + 1, lineEnd(text, end + 1) - end - 1))) {
                    const std::size_t next = end + 1;
                    end = lineEnd(text, next);
                    ++lineNumber;
                    open = quotesOpenAfter(text.substr(next, end - next), true);
                }
            }
            at = end + 1;
            statement(keyword, text.substr(start, end - start), statementLine);
        }
        applyComments();
        return std::move(m_database);
    }

private:
    void statement(std::string_view keyword, std::string_view text, std::size_t line) {
        // Blank lines may stand between a message and its signals.
        if (keyword.empty() && isBlankLine(text)) return;
        try {
            if (keyword == "SG_") {
                signal(text, line);
                return;
            }
            // Any other statement ends the signal list of the message before it.
            m_current = Current::none;
            if (keyword == "BO_") {
                message(text, line);
            } else if (keyword == "CM_") {
                comment(text);
            }
        } catch (const Malformed& malformed) {
            m_database.malformed.push_back({line, std::string(keyword) + ": " + malformed.text});
        }
    }

    void message(std::string_view text, std::size_t line) {
        m_current = Current::skipped;
        Cursor cursor(text);
        cursor.expectIdentifier("BO_");
        const std::uint64_t identifier = cursor.expectUnsigned("the message identifier");
        if (identifier > 0xFFFFFFFFu) throw Malformed{"the identifier " + std::to_string(identifier) + " is too large"};
        MessageDefinition message;
        message.identifier = std::uint32_t(identifier);
        message.name = cursor.expectIdentifier("the message name");
        cursor.expect(':', "the message name");
        const std::uint64_t size = cursor.expectUnsigned("the message size");
        if (size > kLargestMessage)
            throw Malformed{"the size " + std::to_string(size) + " is more than " + std::to_string(kLargestMessage) +
                            " bytes"};
        message.size = unsigned(size);
        message.sender = cursor.expectIdentifier("the sender");
        if (!cursor.atEnd()) throw Malformed{"unexpected text after the sender"};
        if (!message.extended() && message.identifier > kStandardIdentifierLast)
            throw Malformed{"the identifier " + std::to_string(identifier) +
                            " has no extended flag (bit 31) and does not fit in 11 bits"};
        if (message.extended() && (message.identifier & ~kExtendedIdentifierFlag) > k29BitMask &&
            message.name != kIndependentSignalsMessage)
            throw Malformed{"the identifier " + std::to_string(identifier) + " does not fit in 29 bits"};
        const auto [known, added] = m_messageAt.emplace(message.identifier, m_database.messages.size());
        if (!added)
            throw Malformed{"the identifier " + std::to_string(identifier) + " is already message " +
                            m_database.messages[known->second].name + " of line " +
                            std::to_string(m_database.messages[known->second].line)};
        message.line = line;
        m_database.messages.push_back(std::move(message));
        m_current = Current::message;
    }

    void signal(std::string_view text, std::size_t line) {
        if (m_current == Current::none) throw Malformed{"a signal outside a message"};
        // The signals of a message that was skipped go with it.
        if (m_current == Current::skipped) return;
        MessageDefinition& message = m_database.messages.back();
        Cursor cursor(text);
        cursor.expectIdentifier("SG_");
        SignalDefinition signal;
        signal.name = cursor.expectIdentifier("the signal name");
        std::optional<std::string_view> multiplexing;
        if (!cursor.peek(':')) multiplexing = cursor.expectIdentifier("':' or the multiplexer indicator");
        cursor.expect(':', "the signal name");
        const std::uint64_t startBit = cursor.expectUnsigned("the start bit");
        cursor.expect('|', "the start bit");
        const std::uint64_t length = cursor.expectUnsigned("the length");
        cursor.expect('@', "the length");
        if (cursor.take('0'))
            signal.byteOrder = ByteOrder::bigEndian;
        else if (cursor.take('1'))
            signal.byteOrder = ByteOrder::littleEndian;
        else
            throw Malformed{"the byte order 0 or 1 expected after '@'"};
        if (cursor.take('-'))
            signal.isSigned = true;
        else if (!cursor.take('+'))
            throw Malformed{"'+' or '-' expected after the byte order"};
        cursor.expect('(', "the sign");
        signal.factor = cursor.expectNumber("the factor");
        cursor.expect(',', "the factor");
        signal.offset = cursor.expectNumber("the offset");
        cursor.expect(')', "the offset");
        cursor.expect('[', "the offset");
        signal.minimum = cursor.expectNumber("the minimum");
        cursor.expect('|', "the minimum");
        signal.maximum = cursor.expectNumber("the maximum");
        cursor.expect(']', "the maximum");
        signal.unit = cursor.expectQuoted("the unit");
        while (const auto receiver = cursor.identifier()) {
            signal.receivers.emplace_back(*receiver);
            cursor.take(',');
        }
        if (!cursor.atEnd()) throw Malformed{"unexpected text after the receivers"};

        if (length < 1 || length > 64) throw Malformed{"the length " + std::to_string(length) + " is not 1 to 64 bits"};
        if (startBit >= std::uint64_t(message.size) * 8)
            throw Malformed{"signal " + signal.name + " starts at bit " + std::to_string(startBit) + ", beyond the " +
                            std::to_string(message.size) + " bytes of " + message.name};
        signal.startBit = unsigned(startBit);
        signal.length = unsigned(length);
        if (bytesOf(signal).last >= message.size)
            throw Malformed{"signal " + signal.name + " runs beyond the " + std::to_string(message.size) +
                            " bytes of " + message.name};
        if (signal.factor == 0) throw Malformed{"signal " + signal.name + " has the factor 0"};
        for (const SignalDefinition& earlier : message.signalDefinitions)
            if (earlier.name == signal.name)
                throw Malformed{"signal " + signal.name + " is already in " + message.name + " at line " +
                                std::to_string(earlier.line)};
        if (multiplexing) {
            const std::string_view indicator = *multiplexing;
            bool valid = indicator == "M";
            if (indicator.size() > 1 && indicator[0] == 'm') {
                std::size_t digits = 1;
                while (digits < indicator.size() && indicator[digits] >= '0' && indicator[digits] <= '9') ++digits;
                valid = digits > 1 && (digits == indicator.size() || indicator.substr(digits) == "M");
            }
            if (!valid) throw Malformed{"'" + std::string(indicator) + "' is no multiplexer indicator"};
            m_database.leftOut.push_back({line, "signal " + signal.name + " of " + message.name + " is multiplexed (" +
                                                    std::string(indicator) + "): left out"});
            return;
        }
        signal.line = line;
        message.signalDefinitions.push_back(std::move(signal));
    }

    void comment(std::string_view text) {
        Cursor cursor(text);
        cursor.expectIdentifier("CM_");
        const auto object = cursor.identifier();
        // The file's own comment, and those on nodes and environment variables, say nothing about signals.
        if (!object || (*object != "BO_" && *object != "SG_")) return;
        const std::uint64_t identifier = cursor.expectUnsigned("the message identifier");
        if (identifier > 0xFFFFFFFFu) throw Malformed{"the identifier " + std::to_string(identifier) + " is too large"};
        PendingComment pending{std::uint32_t(identifier), {}, {}};
        if (*object == "SG_") pending.signal = cursor.expectIdentifier("the signal name");
        pending.text = cursor.expectQuoted("the comment");
        cursor.take(';');
        if (!cursor.atEnd()) throw Malformed{"unexpected text after the comment"};
        m_comments.push_back(std::move(pending));
    }

    // Comments usually follow all messages; one on a message or signal that is not there is passed over.
    void applyComments() {
        for (PendingComment& pending : m_comments) {
            const auto found = m_messageAt.find(pending.identifier);
            if (found == m_messageAt.end()) continue;
            MessageDefinition& message = m_database.messages[found->second];
            if (pending.signal.empty()) {
                message.comment = std::move(pending.text);
                continue;
            }
            for (SignalDefinition& signal : message.signalDefinitions)
                if (signal.name == pending.signal) signal.comment = std::move(pending.text);
        }
    }

    enum class Current { none, message, skipped };

    SignalDatabase m_database;
    std::unordered_map<std::uint32_t, std::size_t> m_messageAt;
    std::vector<PendingComment> m_comments;
    Current m_current = Current::none;
};

}  // namespace

std::vector<unsigned> SignalBytes::bySignificance() const {
    std::vector<unsigned> bytes;
    bytes.reserve(count());
    for (unsigned k = 0; k < count(); ++k) bytes.push_back(order == ByteOrder::bigEndian ? first + k : last - k);
    return bytes;
}

SignalBytes bytesOf(const SignalDefinition& signal) {
    const unsigned startByte = signal.startBit / 8;
    if (signal.byteOrder == ByteOrder::littleEndian)
        return {startByte, (signal.startBit + signal.length - 1) / 8, ByteOrder::littleEndian};
    // Motorola: from the start bit down to bit 0 of its byte, then on through the following bytes.
    const unsigned inFirstByte = signal.startBit % 8 + 1;
    const unsigned rest = signal.length > inFirstByte ? signal.length - inFirstByte : 0;
    return {startByte, startByte + (rest + 7) / 8, ByteOrder::bigEndian};
}

bool coversWholeBytes(const SignalDefinition& signal) {
    const unsigned edge = signal.byteOrder == ByteOrder::littleEndian ? 0 : 7;
    return signal.startBit % 8 == edge && signal.length % 8 == 0;
}

std::optional<std::uint32_t> MessageDefinition::pgn() const {
    return pgnOfIdentifier(identifier);
}

std::optional<std::uint32_t> pgnOfIdentifier(std::uint32_t identifier) {
    if ((identifier & kExtendedIdentifierFlag) == 0) return std::nullopt;
    const std::uint32_t id = identifier & ~kExtendedIdentifierFlag;
    if (id > k29BitMask) return std::nullopt;
    std::uint32_t pgn = id >> 8 & 0x3FFFF;
    if ((pgn >> 8 & 0xFF) < kPdu2FirstFormat) pgn &= ~0xFFu;
    return pgn;
}

std::uint32_t framePgn(std::int32_t dataPage, std::int32_t pgn) {
    std::uint32_t full = (std::uint32_t(dataPage) & 1) << 16 | (std::uint32_t(pgn) & 0xFFFF);
    if ((full >> 8 & 0xFF) < kPdu2FirstFormat) full &= ~0xFFu;
    return full;
}

const MessageDefinition* SignalDatabase::messageOfPgn(std::uint32_t pgn) const {
    for (const MessageDefinition& message : messages)
        if (message.pgn() == pgn) return &message;
    return nullptr;
}

SignalDatabase readSignalDatabase(std::string_view text) {
    return DatabaseReader().read(text);
}

SignalDatabase loadSignalDatabase(const std::string& path) {
    return readSignalDatabase(readFile(path));
}

std::optional<std::string> signalDatabasePath(const std::string& projectFolder, const std::string& toolFolder) {
    for (const std::string* folder : {&projectFolder, &toolFolder}) {
        if (folder->empty()) continue;
        std::string path = joinPath(*folder, kSignalDatabaseFileName);
        if (fileExists(path)) return path;
    }
    return std::nullopt;
}

std::string noteText(const DatabaseNote& note) {
    return "line " + std::to_string(note.line) + ": " + note.text;
}

}  // namespace tessaro
