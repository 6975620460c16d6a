
#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "cli/ImageDump.h"
#include "core/documents/Errors.h"
#include "core/image/ConfigurationImage.h"
#include "support/CliRun.h"

namespace tessaro::fuzz {

namespace {

// Just enough JSON to check the decoder's document: any value, with objects and arrays kept for lookups.
struct JsonValue {
    enum class Kind { null, boolean, number, string, array, object } kind = Kind::null;
    std::string text;                // a number's digits, a string's content
    std::vector<JsonValue> items;    // an array's, or an object's member values
    std::vector<std::string> names;  // an object's member names

    const JsonValue* member(std::string_view name) const {
        for (std::size_t at = 0; at < names.size(); ++at)
            if (names[at] == name) return &items[at];
        return nullptr;
    }
};

class JsonParser {
public:
    explicit JsonParser(std::string_view text) : m_text(text) {}

    // Nothing when the text is not one JSON value.
    std::optional<JsonValue> document() {
        std::optional<JsonValue> value = parseValue();
        skipBlanks();
        if (!value || m_at != m_text.size()) return std::nullopt;
        return value;
    }

private:
    void skipBlanks() {
        while (m_at < m_text.size() && std::string_view(" \t\r\n").find(m_text[m_at]) != std::string_view::npos) ++m_at;
    }
    bool take(char c) {
        skipBlanks();
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool takeWord(std::string_view word) {
        if (m_text.substr(m_at, word.size()) != word) return false;
        m_at += word.size();
        return true;
    }
    std::optional<std::string> parseString() {
        if (!take('"')) return std::nullopt;
        std::string content;
        while (m_at < m_text.size() && m_text[m_at] != '"') {
            const auto c = static_cast<unsigned char>(m_text[m_at++]);
            if (c < 0x20) return std::nullopt;
            if (c == '\\') {
                if (m_at == m_text.size() ||
                    std::string_view("\"\\/bfnrt").find(m_text[m_at]) == std::string_view::npos)
                    return std::nullopt;  // the decoder writes no \u escapes
                content += m_text[m_at++];
            } else {
                content += static_cast<char>(c);
            }
        }
        if (m_at == m_text.size()) return std::nullopt;
        ++m_at;
        return content;
    }
    std::optional<JsonValue> parseValue() {
        if (++m_depth > 16) return std::nullopt;
        std::optional<JsonValue> value = parseValueHere();
        --m_depth;
        return value;
    }
    std::optional<JsonValue> parseValueHere() {
        skipBlanks();
        JsonValue value;
        if (m_at == m_text.size()) return std::nullopt;
        const char c = m_text[m_at];
        if (c == '{') {
            value.kind = JsonValue::Kind::object;
            ++m_at;
            if (take('}')) return value;
            do {
                std::optional<std::string> key = parseString();
                if (!key || !take(':')) return std::nullopt;
                std::optional<JsonValue> member = parseValue();
                if (!member) return std::nullopt;
                value.names.push_back(std::move(*key));
                value.items.push_back(std::move(*member));
            } while (take(','));
            return take('}') ? std::optional(value) : std::nullopt;
        }
        if (c == '[') {
            value.kind = JsonValue::Kind::array;
            ++m_at;
            if (take(']')) return value;
            do {
                std::optional<JsonValue> item = parseValue();
                if (!item) return std::nullopt;
                value.items.push_back(std::move(*item));
            } while (take(','));
            return take(']') ? std::optional(value) : std::nullopt;
        }
        if (c == '"') {
            std::optional<std::string> text = parseString();
            if (!text) return std::nullopt;
            value.kind = JsonValue::Kind::string;
            value.text = std::move(*text);
            return value;
        }
        if (takeWord("null")) return value;
        if (takeWord("true") || takeWord("false")) {
            value.kind = JsonValue::Kind::boolean;
            return value;
        }
        // Only the decoder's numbers: unsigned integers without leading zeros.
        const std::size_t start = m_at;
        while (m_at < m_text.size() && m_text[m_at] >= '0' && m_text[m_at] <= '9') ++m_at;
        if (m_at == start || (m_text[start] == '0' && m_at - start > 1)) return std::nullopt;
        value.kind = JsonValue::Kind::number;
        value.text = std::string(m_text.substr(start, m_at - start));
        return value;
    }

    std::string_view m_text;
    std::size_t m_at = 0;
    int m_depth = 0;
};

void put16(std::string& bytes, std::uint32_t value) {
    bytes += static_cast<char>(value & 0xFF);
    bytes += static_cast<char>(value >> 8 & 0xFF);
}

// The image the decoded entries stand for, laid out again: it must be the one decoded.
std::string encoded(const DecodedImage& image) {
    std::string bytes;
    for (const std::uint32_t word : image.header) {
        put16(bytes, word & 0xFFFF);
        put16(bytes, word >> 16);
    }
    for (const ImageFrame& frame : image.frames) {
        bytes += static_cast<char>(frame.priority);
        bytes += static_cast<char>(frame.dataPage);
        put16(bytes, frame.pgn);
        bytes += static_cast<char>(frame.group);
        bytes += static_cast<char>(frame.erase);
    }
    for (const ImageDefinition& definition : image.definitions) {
        bytes += static_cast<char>(definition.frame);
        bytes += static_cast<char>(definition.deviceId);
        put16(bytes, definition.index);
        bytes += static_cast<char>(definition.registerCount);
        bytes += static_cast<char>(definition.typeReg);
        for (const std::uint8_t position : definition.positions) bytes += static_cast<char>(position);
    }
    for (const std::uint16_t time : image.groups) put16(bytes, time);
    if (image.general) {
        const ImageGeneralParameters& general = *image.general;
        for (const std::uint8_t value : {general.canBaudRate, general.canDeviceId, general.serialInterface,
                                         general.rtuBaudRate, general.parity, general.stopBits})
            bytes += static_cast<char>(value);
        for (const std::uint16_t value : {general.timeout, general.delay, general.frameCount, general.definitionCount})
            put16(bytes, value);
        bytes += static_cast<char>(general.groupCount);
    }
    return bytes;
}

// The number after "label" at the start of a line of the text dump.
std::optional<std::size_t> countAfter(const std::string& text, const std::string& label) {
    const std::size_t at = text.find("\n" + label);
    if (at == std::string::npos) return std::nullopt;
    std::size_t value = 0;
    std::size_t digit = at + 1 + label.size();
    if (digit >= text.size() || text[digit] < '0' || text[digit] > '9') return std::nullopt;
    for (; digit < text.size() && text[digit] >= '0' && text[digit] <= '9'; ++digit)
        value = value * 10 + std::size_t(text[digit] - '0');
    return value;
}

std::size_t linesStartingWith(const std::string& text, const std::string& start) {
    std::size_t count = 0;
    for (std::size_t at = text.find("\n" + start); at != std::string::npos; at = text.find("\n" + start, at + 1))
        ++count;
    return count;
}

void checkJson(const std::string& json, const DecodedImage& image) {
    const std::optional<JsonValue> document = JsonParser(json).document();
    TESSARO_FUZZ_EXPECT(document && document->kind == JsonValue::Kind::object, "--json is no JSON object");
    const auto length = [&](const char* name) -> std::optional<std::size_t> {
        const JsonValue* array = document->member(name);
        if (!array || array->kind != JsonValue::Kind::array) return std::nullopt;
        return array->items.size();
    };
    TESSARO_FUZZ_EXPECT(length("frames") == image.frames.size() && length("definitions") == image.definitions.size() &&
                            length("groups") == image.groups.size(),
                        "the JSON arrays do not hold the decoded entries");
    const JsonValue* size = document->member("size");
    TESSARO_FUZZ_EXPECT(size && size->text == std::to_string(image.size), "the JSON size");
    const JsonValue* general = document->member("generalParameters");
    TESSARO_FUZZ_EXPECT(general && (general->kind == JsonValue::Kind::object) == image.general.has_value(),
                        "the JSON general parameters");
    if (image.general) {
        const JsonValue* frames = general->member("frameCount");
        TESSARO_FUZZ_EXPECT(frames && frames->text == std::to_string(image.general->frameCount), "frameCount");
    }
}

}  // namespace

void imageDump(std::string_view input) {
    std::optional<DecodedImage> image;
    std::string refusal;
    try {
        image = decodeImage(input);
    } catch (const Error& disagreement) {
        refusal = disagreement.what();
        TESSARO_FUZZ_EXPECT(!refusal.empty(), "a refusal without a message");
    }

    // The command says the same: a refused image as one line of its own, an accepted one as its decoding.
    const std::string path = writeScratchFile("bank.bin", input);
    const testing::CliOutcome text = testing::runCli({"dump", path});
    const testing::CliOutcome json = testing::runCli({"dump", path, "--json"});
    if (!image) {
        const std::string line = "tessaro-cli: '" + path + "' is not a configuration image: " + refusal + "\n";
        TESSARO_FUZZ_EXPECT(text.status == 1 && text.out.empty() && text.err == line, printable(text.err));
        TESSARO_FUZZ_EXPECT(json.status == 1 && json.out.empty() && json.err == line, printable(json.err));
        return;
    }
    TESSARO_FUZZ_EXPECT(text.status == 0 && text.err.empty() && text.out == cli::dumpText(*image, path),
                        printable(text.err));
    TESSARO_FUZZ_EXPECT(json.status == 0 && json.err.empty() && json.out == cli::dumpJson(*image), printable(json.err));

    // Nothing of the image is lost or invented: its entries laid out again are its bytes.
    TESSARO_FUZZ_EXPECT(image->size == input.size(), std::to_string(image->size) + " bytes");
    const std::string again = encoded(*image);
    TESSARO_FUZZ_EXPECT(again == input, "decoded " + printable(input) + ", laid out again " + printable(again));
    if (image->general) {
        TESSARO_FUZZ_EXPECT(image->general->frameCount == image->frames.size() &&
                                image->general->definitionCount == image->definitions.size() &&
                                image->general->groupCount == (image->groups.size() & 0xFF),
                            "counts that disagree with the entries");
    }

    // Both outputs count the entries they list.
    TESSARO_FUZZ_EXPECT(countAfter(text.out, "Frames: ") == image->frames.size() &&
                            countAfter(text.out, "Definitions: ") == image->definitions.size() &&
                            countAfter(text.out, "Groups: ") == image->groups.size(),
                        "the counts of the text dump");
    TESSARO_FUZZ_EXPECT(linesStartingWith(text.out, "  Frame ") == image->frames.size() &&
                            linesStartingWith(text.out, "  Definition ") == image->definitions.size() &&
                            linesStartingWith(text.out, "  Group ") == image->groups.size(),
                        "the entry lines of the text dump");
    checkJson(json.out, *image);
}

}  // namespace tessaro::fuzz
