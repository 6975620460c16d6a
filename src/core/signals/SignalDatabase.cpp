#include "core/signals/SignalDatabase.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <unordered_map>

#include "core/documents/AtomicFile.h"
#include "core/documents/Errors.h"
#include "core/documents/Paths.h"
#include "core/documents/Utf8Text.h"

namespace tessaro {

namespace {

constexpr std::uint32_t kStandardIdentifierLast = 0x7FF;
// Messages of up to 1785 bytes travel by the transport protocol.
constexpr unsigned kLargestMessage = 1785;
// The pseudo-message that DBC editors write into every file for the signals of no message.
constexpr std::string_view kIndependentSignalsMessage = "VECTOR__INDEPENDENT_SIG_MSG";
// The attribute that gives a signal its suspect parameter number, and the largest such number (19 bits).
constexpr std::string_view kSpnAttribute = "SPN";
constexpr std::uint64_t kLargestSpn = 524287;

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

    bool atQuote() { return peek('"'); }
    bool atDigit() {
        skipBlanks();
        return m_at < m_text.size() && m_text[m_at] >= '0' && m_text[m_at] <= '9';
    }
    void expectEnd(std::string_view after) {
        take(';');
        if (!atEnd()) throw Malformed{"unexpected text after " + std::string(after)};
    }
    std::uint32_t expectIdentifierNumber() {
        const std::uint64_t identifier = expectUnsigned("the message identifier");
        if (identifier > 0xFFFFFFFFu) throw Malformed{"the identifier " + std::to_string(identifier) + " is too large"};
        return std::uint32_t(identifier);
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

// Whether the quote open before line closes in it, and only blanks and the statement's ';' follow the closing quote.
bool closesStatement(std::string_view line) {
    bool open = true;
    std::size_t after = 0;
    for (std::size_t at = 0; at < line.size(); ++at) {
        if (open && line[at] == '\\') {
            ++at;
        } else if (line[at] == '"') {
            open = !open;
            after = at + 1;
        }
    }
    if (open) return false;
    for (std::size_t at = after; at < line.size(); ++at)
        if (line[at] != ';' && line[at] != ' ' && line[at] != '\t' && line[at] != '\r') return false;
    return true;
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

struct CommentEnd {
    std::size_t end;    // of the line that closes the comment
    std::size_t lines;  // after the first
};

// Where a comment whose quote is still open at firstEnd closes: the line whose quote closes with only the ';' after
// it. Nothing when a line beginning with CM_ or the end of the text comes first, which bounds the search.
std::optional<CommentEnd> commentEnd(std::string_view text, std::size_t firstEnd) {
    std::size_t lines = 0;
    for (std::size_t end = firstEnd; end < text.size();) {
        const std::size_t next = end + 1;
        end = lineEnd(text, next);
        ++lines;
        const std::string_view line = text.substr(next, end - next);
        if (firstWord(line) == "CM_") return std::nullopt;
        if (closesStatement(line)) return CommentEnd{end, lines};
        // Closed with more after it: the reading of a stray quote below takes over.
        if (!quotesOpenAfter(line, true)) return std::nullopt;
    }
    return std::nullopt;
}

// What a statement after the messages says about one signal or message; applied once all messages are read. The
// names point into the text, which outlives the reading.
struct PendingComment {
    std::uint32_t identifier;
    std::string_view signal;  // empty for the message's own comment
    std::string text;
};

struct PendingSpn {
    std::uint32_t identifier;
    std::string_view signal;
    std::uint32_t spn;
};

struct PendingValueTexts {
    std::uint32_t identifier;
    std::string_view signal;
    std::vector<ValueText> texts;
};

struct PendingValueType {
    std::uint32_t identifier;
    std::string_view signal;
    ValueType type;
    std::size_t line;
};

struct PendingMultiplexerValues {
    std::uint32_t identifier;
    std::string_view signal;
    std::string_view multiplexer;
    std::vector<ValueRange> values;
    std::size_t line;
};

// A multiplexed signal as read: m3, or m3M for one that is a multiplexer too.
struct ReadMultiplexing {
    std::size_t message;  // into the database's messages
    std::size_t signal;   // into its signals
    std::uint64_t value;
    std::string indicator;
};

std::uint64_t largestRaw(unsigned length) {
    return length >= 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << length) - 1;
}

std::string valuesText(const std::vector<ValueRange>& values) {
    std::string text;
    for (const ValueRange& range : values) {
        if (!text.empty()) text += ", ";
        text += std::to_string(range.first);
        if (range.last != range.first) text += " to " + std::to_string(range.last);
    }
    return text;
}

class DatabaseReader {
public:
    SignalDatabase read(std::string_view text) {
        // Room for every message at once: moving them as the list grows costs more than counting them first.
        std::size_t messages = 0;
        for (std::size_t at = text.find("BO_ "); at != std::string_view::npos; at = text.find("BO_ ", at + 4))
            ++messages;
        m_database.messages.reserve(messages);
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
                // A comment's text is free: a line of it may begin with a statement's keyword. It runs on to the line
                // that closes its quote before the ';', unless another comment comes first.
                if (open && keyword == "CM_")
                    if (const auto closing = commentEnd(text, end)) {
                        lineNumber += closing->lines;
                        end = closing->end;
                        open = false;
                    }
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
        applyMultiplexing();
        std::stable_sort(m_database.malformed.begin(), m_database.malformed.end(),
                         [](const DatabaseNote& a, const DatabaseNote& b) { return a.line < b.line; });
        return std::move(m_database);
    }

private:
    void statement(std::string_view keyword, std::string_view text, std::size_t line) {
        // Blank lines may stand between a message and its signals.
        if (keyword.empty() && isBlankLine(text)) return;
        // The symbol list of NS_ names the statements, one alone on each line.
        if (keyword != "SG_" && keyword != "BO_" && !keyword.empty() &&
            isBlankLine(text.substr(std::size_t(keyword.data() - text.data()) + keyword.size())))
            return;
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
            } else if (keyword == "BA_") {
                attribute(text);
            } else if (keyword == "VAL_") {
                valueTexts(text);
            } else if (keyword == "SIG_VALTYPE_") {
                valueType(text, line);
            } else if (keyword == "SG_MUL_VAL_") {
                multiplexerValues(text, line);
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
        // Its signals belong to no message: none of them is placed in a frame.
        if (message.name == kIndependentSignalsMessage) return;
        if (!message.extended() && message.identifier > kStandardIdentifierLast)
            throw Malformed{"the identifier " + std::to_string(identifier) +
                            " has no extended flag (bit 31) and does not fit in 11 bits"};
        if (message.extended() && (message.identifier & ~kExtendedIdentifierFlag) > kIdentifierMask29)
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
            const std::string quoted = "'" + std::string(indicator) + "'";
            if (indicator == "M") {
                signal.isMultiplexer = true;
            } else {
                // mN, or mNM for a multiplexed signal that is a multiplexer too.
                if (indicator.size() < 2 || indicator[0] != 'm')
                    throw Malformed{quoted + " is no multiplexer indicator"};
                const char* const last = indicator.data() + indicator.size();
                std::uint64_t value = 0;
                const auto [after, failure] = std::from_chars(indicator.data() + 1, last, value);
                if (failure == std::errc::result_out_of_range)
                    throw Malformed{"the multiplexer value of " + quoted + " is too large"};
                if (failure != std::errc() ||
                    (after != last && std::string_view(after, std::size_t(last - after)) != "M"))
                    throw Malformed{quoted + " is no multiplexer indicator"};
                signal.isMultiplexer = after != last;
                m_multiplexed.push_back(
                    {m_database.messages.size() - 1, message.signalDefinitions.size(), value, std::string(indicator)});
            }
        }
        signal.line = line;
        message.signalDefinitions.push_back(std::move(signal));
    }

    // BA_ "SPN" SG_ id signal number; every other attribute is passed over.
    void attribute(std::string_view text) {
        Cursor cursor(text);
        cursor.expectIdentifier("BA_");
        if (!cursor.atQuote() || cursor.expectQuoted("the attribute name") != kSpnAttribute) return;
        const auto object = cursor.identifier();
        if (!object || *object != "SG_") return;
        PendingSpn pending{cursor.expectIdentifierNumber(), cursor.expectIdentifier("the signal name"), 0};
        const std::uint64_t spn = cursor.expectUnsigned("the SPN");
        if (spn > kLargestSpn)
            throw Malformed{"the SPN " + std::to_string(spn) + " is more than " + std::to_string(kLargestSpn)};
        pending.spn = std::uint32_t(spn);
        cursor.expectEnd("the SPN");
        m_spns.push_back(std::move(pending));
    }

    // VAL_ id signal value "text" ... ; those of environment variables (no identifier) are passed over.
    void valueTexts(std::string_view text) {
        Cursor cursor(text);
        cursor.expectIdentifier("VAL_");
        if (!cursor.atDigit()) return;
        PendingValueTexts pending{cursor.expectIdentifierNumber(), cursor.expectIdentifier("the signal name"), {}};
        while (!cursor.peek(';') && !cursor.atEnd()) {
            const double value = cursor.expectNumber("a value");
            pending.texts.push_back({value, cursor.expectQuoted("the text of a value")});
        }
        cursor.expectEnd("the value texts");
        m_valueTexts.push_back(std::move(pending));
    }

    // SIG_VALTYPE_ id signal : 0|1|2;
    void valueType(std::string_view text, std::size_t line) {
        Cursor cursor(text);
        cursor.expectIdentifier("SIG_VALTYPE_");
        PendingValueType pending{cursor.expectIdentifierNumber(), cursor.expectIdentifier("the signal name"),
                                 ValueType::integer, line};
        cursor.take(':');
        const std::uint64_t type = cursor.expectUnsigned("the value type");
        if (type > 2) throw Malformed{"the value type " + std::to_string(type) + " is not 0, 1 or 2"};
        pending.type = type == 1 ? ValueType::ieeeSingle : type == 2 ? ValueType::ieeeDouble : ValueType::integer;
        cursor.expectEnd("the value type");
        m_valueTypes.push_back(std::move(pending));
    }

    // SG_MUL_VAL_ id signal multiplexer first-last, first-last;
    void multiplexerValues(std::string_view text, std::size_t line) {
        Cursor cursor(text);
        cursor.expectIdentifier("SG_MUL_VAL_");
        PendingMultiplexerValues pending{cursor.expectIdentifierNumber(),
                                         cursor.expectIdentifier("the signal name"),
                                         cursor.expectIdentifier("the multiplexer"),
                                         {},
                                         line};
        do {
            const std::uint64_t first = cursor.expectUnsigned("a value");
            cursor.expect('-', "a value");
            const std::uint64_t last = cursor.expectUnsigned("a value");
            if (last < first)
                throw Malformed{"the values " + std::to_string(first) + "-" + std::to_string(last) + " run backwards"};
            pending.values.push_back({first, last});
        } while (cursor.take(','));
        cursor.expectEnd("the values");
        m_multiplexerValues.push_back(std::move(pending));
    }

    void comment(std::string_view text) {
        Cursor cursor(text);
        cursor.expectIdentifier("CM_");
        const auto object = cursor.identifier();
        // The file's own comment, and those on nodes and environment variables, say nothing about signals.
        if (!object || (*object != "BO_" && *object != "SG_")) return;
        PendingComment pending{cursor.expectIdentifierNumber(), {}, {}};
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

    SignalDefinition* signalOf(std::uint32_t identifier, std::string_view name) {
        const auto found = m_messageAt.find(identifier);
        if (found == m_messageAt.end()) return nullptr;
        for (SignalDefinition& signal : m_database.messages[found->second].signalDefinitions)
            if (signal.name == name) return &signal;
        return nullptr;
    }

    void malformedAt(std::size_t line, std::string text) { m_database.malformed.push_back({line, std::move(text)}); }

    // What follows the messages, given to their signals; statements on signals that are not there are passed over.
    void applySignalStatements() {
        for (const PendingSpn& pending : m_spns)
            if (SignalDefinition* signal = signalOf(pending.identifier, pending.signal)) signal->spn = pending.spn;
        for (PendingValueTexts& pending : m_valueTexts)
            if (SignalDefinition* signal = signalOf(pending.identifier, pending.signal))
                signal->valueTexts = std::move(pending.texts);
        for (const PendingValueType& pending : m_valueTypes) {
            SignalDefinition* signal = signalOf(pending.identifier, pending.signal);
            if (!signal) continue;
            const unsigned width = pending.type == ValueType::ieeeSingle ? 32 : 64;
            if (pending.type != ValueType::integer && signal->length != width) {
                malformedAt(pending.line, "SIG_VALTYPE_: signal " + signal->name + " is an IEEE " +
                                              (width == 32 ? "single" : "double") + " of " + std::to_string(width) +
                                              " bits, but has " + std::to_string(signal->length));
                continue;
            }
            signal->valueType = pending.type;
        }
    }

    // Each multiplexed signal gets its multiplexer and the values that choose it: those SG_MUL_VAL_ gives, else its
    // mN and the message's multiplexer M. One that no value of a multiplexer can choose is left out with a note.
    void applyMultiplexing() {
        applySignalStatements();
        std::vector<const PendingMultiplexerValues*> given(m_multiplexed.size(), nullptr);
        // The multiplexed signals of each message, to find those SG_MUL_VAL_ names among a message's few.
        std::vector<std::vector<std::size_t>> multiplexedOf(m_database.messages.size());
        for (std::size_t k = 0; k < m_multiplexed.size(); ++k) multiplexedOf[m_multiplexed[k].message].push_back(k);
        for (const PendingMultiplexerValues& pending : m_multiplexerValues) {
            const auto found = m_messageAt.find(pending.identifier);
            if (found == m_messageAt.end()) continue;
            const MessageDefinition& message = m_database.messages[found->second];
            const std::vector<std::size_t>& candidates = multiplexedOf[found->second];
            const auto multiplexed = std::find_if(candidates.begin(), candidates.end(), [&](std::size_t k) {
                return message.signalDefinitions[m_multiplexed[k].signal].name == pending.signal;
            });
            if (multiplexed == candidates.end()) {
                if (signalOf(pending.identifier, pending.signal))
                    malformedAt(pending.line, "SG_MUL_VAL_: signal " + std::string(pending.signal) + " of " +
                                                  message.name + " has no multiplexer indicator mN");
                continue;
            }
            const bool isMultiplexer = std::any_of(
                message.signalDefinitions.begin(), message.signalDefinitions.end(), [&](const SignalDefinition& s) {
                    return s.isMultiplexer && s.name == pending.multiplexer && s.name != pending.signal;
                });
            if (!isMultiplexer) {
                malformedAt(pending.line, "SG_MUL_VAL_: " + std::string(pending.multiplexer) +
                                              " is no multiplexer of " + message.name);
                continue;
            }
            given[*multiplexed] = &pending;
        }

        // The message's multiplexer M: the first that is not multiplexed itself.
        std::vector<std::vector<bool>> isMultiplexed(m_database.messages.size());
        for (const ReadMultiplexing& read : m_multiplexed) {
            std::vector<bool>& flags = isMultiplexed[read.message];
            flags.resize(m_database.messages[read.message].signalDefinitions.size());
            flags[read.signal] = true;
        }
        const auto plainMultiplexer = [&](std::size_t m) -> const SignalDefinition* {
            const std::vector<SignalDefinition>& signals = m_database.messages[m].signalDefinitions;
            for (std::size_t s = 0; s < signals.size(); ++s)
                if (signals[s].isMultiplexer && !isMultiplexed[m][s]) return &signals[s];
            return nullptr;
        };

        std::vector<std::vector<bool>> dropped(m_database.messages.size());
        for (std::size_t k = 0; k < m_multiplexed.size(); ++k) {
            const ReadMultiplexing& read = m_multiplexed[k];
            MessageDefinition& message = m_database.messages[read.message];
            SignalDefinition& signal = message.signalDefinitions[read.signal];
            if (given[k]) {
                signal.multiplexer = std::string(given[k]->multiplexer);
                signal.multiplexerValues = given[k]->values;
            } else if (const SignalDefinition* plain = plainMultiplexer(read.message)) {
                signal.multiplexer = plain->name;
                signal.multiplexerValues = {{read.value, read.value}};
            }
            std::string why;
            if (!signal.multiplexed()) {
                why = "is multiplexed (" + read.indicator + "), but " + message.name + " has no multiplexer M";
            } else {
                const SignalDefinition& multiplexer =
                    *std::find_if(message.signalDefinitions.begin(), message.signalDefinitions.end(),
                                  [&](const SignalDefinition& s) { return s.name == signal.multiplexer; });
                const std::uint64_t largest = largestRaw(multiplexer.length);
                if (std::any_of(signal.multiplexerValues.begin(), signal.multiplexerValues.end(),
                                [&](const ValueRange& range) { return range.last > largest; }))
                    why = "is chosen by " + multiplexer.name + " = " + valuesText(signal.multiplexerValues) +
                          ", beyond the " + std::to_string(multiplexer.length) + " bits of " + multiplexer.name;
            }
            if (why.empty()) continue;
            m_database.leftOut.push_back(
                {signal.line, "signal " + signal.name + " of " + message.name + " " + why + ": left out"});
            signal.multiplexer.clear();
            signal.multiplexerValues.clear();
            std::vector<bool>& flags = dropped[read.message];
            flags.resize(message.signalDefinitions.size());
            flags[read.signal] = true;
        }
        // A signal whose multiplexer was left out goes with it, and so on down.
        for (bool more = true; more;) {
            more = false;
            for (const ReadMultiplexing& read : m_multiplexed) {
                MessageDefinition& message = m_database.messages[read.message];
                SignalDefinition& signal = message.signalDefinitions[read.signal];
                if (!signal.multiplexed()) continue;
                const std::vector<bool>& flags = dropped[read.message];
                const auto multiplexer =
                    std::find_if(message.signalDefinitions.begin(), message.signalDefinitions.end(),
                                 [&](const SignalDefinition& s) { return s.name == signal.multiplexer; });
                const auto at = std::size_t(multiplexer - message.signalDefinitions.begin());
                if (at >= flags.size() || !flags[at]) continue;
                m_database.leftOut.push_back({signal.line, "signal " + signal.name + " of " + message.name +
                                                               " is chosen by " + signal.multiplexer +
                                                               ", which is left out: left out"});
                signal.multiplexer.clear();
                signal.multiplexerValues.clear();
                std::vector<bool>& mark = dropped[read.message];
                mark.resize(message.signalDefinitions.size());
                mark[read.signal] = true;
                more = true;
            }
        }
        std::stable_sort(m_database.leftOut.begin(), m_database.leftOut.end(),
                         [](const DatabaseNote& a, const DatabaseNote& b) { return a.line < b.line; });
        for (std::size_t m = 0; m < dropped.size(); ++m) {
            if (dropped[m].empty()) continue;
            std::vector<SignalDefinition>& signals = m_database.messages[m].signalDefinitions;
            std::size_t kept = 0;
            for (std::size_t s = 0; s < signals.size(); ++s)
                if (!dropped[m][s]) {
                    if (kept != s) signals[kept] = std::move(signals[s]);
                    ++kept;
                }
            signals.resize(kept);
        }
    }

    enum class Current { none, message, skipped };

    SignalDatabase m_database;
    std::unordered_map<std::uint32_t, std::size_t> m_messageAt;
    std::vector<PendingComment> m_comments;
    std::vector<PendingSpn> m_spns;
    std::vector<PendingValueTexts> m_valueTexts;
    std::vector<PendingValueType> m_valueTypes;
    std::vector<PendingMultiplexerValues> m_multiplexerValues;
    std::vector<ReadMultiplexing> m_multiplexed;
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

std::vector<ByteBits> bitsOf(const SignalDefinition& signal) {
    std::vector<ByteBits> bytes;
    if (signal.byteOrder == ByteOrder::littleEndian) {
        // Up from the start bit: the raw value's bit k is the message's bit start + k.
        for (unsigned raw = 0; raw < signal.length;) {
            const unsigned bit = signal.startBit + raw;
            const unsigned count = std::min(8 - bit % 8, signal.length - raw);
            bytes.push_back({bit / 8, bit % 8, bit % 8 + count - 1, raw});
            raw += count;
        }
        return bytes;
    }
    // Down from the start bit, the most significant one, to bit 0 of its byte, then from bit 7 of the next.
    unsigned bit = signal.startBit;
    for (unsigned left = signal.length; left > 0;) {
        const unsigned count = std::min(bit % 8 + 1, left);
        left -= count;
        bytes.push_back({bit / 8, bit % 8 + 1 - count, bit % 8, left});
        bit = (bit / 8 + 1) * 8 + 7;
    }
    return bytes;
}

std::optional<Pgn> MessageDefinition::pgn() const {
    if (!extended()) return std::nullopt;
    return pgnOfIdentifier(identifier & ~kExtendedIdentifierFlag);
}

const MessageDefinition* SignalDatabase::messageOfPgn(const Pgn& pgn) const {
    for (const MessageDefinition& message : messages) {
        const std::optional<Pgn> own = message.pgn();
        if (own && own->number() == pgn.number()) return &message;
    }
    return nullptr;
}

SignalDatabase readSignalDatabase(std::string_view text) {
    return DatabaseReader().read(text);
}

SignalDatabase loadSignalDatabase(const std::string& path) {
    if (folderExists(path)) throw Error("\"" + path + "\" is a folder, not a signal database (a DBC file)");
    const std::string text = readFile(path);
    if (text.empty()) throw Error("\"" + path + "\" is empty: a signal database holds its messages as BO_ lines");
    SignalDatabase database = readSignalDatabase(text);
    if (database.messages.empty()) {
        std::string why = "\"" + path + "\" holds no message: a signal database holds its messages as BO_ lines";
        for (const DatabaseNote& note : database.malformed)
            if (note.text.rfind("BO_:", 0) == 0) {
                why += "; " + noteText(note);
                break;
            }
        throw Error(why);
    }
    return database;
}

std::optional<std::string> signalDatabasePath(const std::string& projectFolder, const std::string& toolFolder) {
    // A folder of the name is found too, and then refused by its reading.
    for (const std::string* folder : {&projectFolder, &toolFolder}) {
        if (folder->empty()) continue;
        std::string path = joinPath(*folder, kSignalDatabaseFileName);
        if (fileExists(path) || folderExists(path)) return path;
    }
    return std::nullopt;
}

std::string noteText(const DatabaseNote& note) {
    return "line " + std::to_string(note.line) + ": " + note.text;
}

}  // namespace tessaro
