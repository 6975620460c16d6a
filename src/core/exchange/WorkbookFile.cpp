#include <xlsxwriter.h>
#include <zip.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <pugixml.hpp>

#include "core/documents/AtomicFile.h"
#include "core/documents/Errors.h"
#include "core/documents/NumericText.h"
#include "core/documents/SystemHeaders.h"
#include "core/documents/Utf8Text.h"
#include "core/exchange/Workbook.h"
#include "core/exchange/WorkbookModule.h"

namespace tessaro {

namespace {

// ---- writing

constexpr double kColumnWidth = 16;
constexpr std::uint8_t kTextFormat = 49;  // the built-in "@"

// A file of our own in the system's temporary folder, removed when done; libxlsxwriter writes only to files.
class TemporaryFile {
public:
    TemporaryFile() {
        const std::string folder = std::filesystem::temp_directory_path().string();
#if defined(TESSARO_POSIX)
        std::string pattern = folder + "/tessaro-workbook-XXXXXX";
        const int descriptor = mkstemp(pattern.data());
        if (descriptor < 0) throw Error("Cannot create a temporary file for the workbook");
        ::close(descriptor);
        m_path = pattern;
#else
        char name[MAX_PATH];
        if (GetTempFileNameA(folder.c_str(), "tsw", 0, name) == 0)
            throw Error("Cannot create a temporary file for the workbook");
        m_path = name;
#endif
    }
    ~TemporaryFile() {
        std::remove(m_path.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& path() const {
        return m_path;
    }

private:
    std::string m_path;
};

// Whether text holds "_xHHHH_" at at: how a workbook writes a character that XML cannot hold.
bool escapeAt(std::string_view text, std::size_t at) {
    if (text.substr(at, 2) != "_x" || at + 7 > text.size() || text[at + 6] != '_') return false;
    for (std::size_t k = at + 2; k < at + 6; ++k)
        if (!std::isxdigit(static_cast<unsigned char>(text[k]))) return false;
    return true;
}

// libxlsxwriter writes a text that looks like such an escape as it is; its underscore is written "_x005F_" so that
// the text reads back as itself.
std::string literalText(const std::string& text) {
    if (text.find("_x") == std::string::npos) return text;
    std::string result;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (escapeAt(text, at)) result += "_x005F";
        result += text[at];
    }
    return result;
}

[[noreturn]] void workbookFailure(lxw_error error) {
    throw Error(std::string("Cannot write the workbook: ") + lxw_strerror(error));
}

}  // namespace

std::string writtenWorkbook(const std::vector<WorkbookSheet>& sheets) {
    const TemporaryFile file;
    lxw_workbook* workbook = workbook_new(file.path().c_str());
    if (!workbook) throw Error("Cannot write the workbook");
    lxw_format* text = workbook_add_format(workbook);
    format_set_num_format_index(text, kTextFormat);
    lxw_format* header = workbook_add_format(workbook);
    format_set_num_format_index(header, kTextFormat);
    format_set_bold(header);
    format_set_bg_color(header, 0xD9D9D9);
    format_set_bottom(header, LXW_BORDER_THIN);
    lxw_error failure = LXW_NO_ERROR;
    for (const WorkbookSheet& sheet : sheets) {
        lxw_worksheet* worksheet = workbook_add_worksheet(workbook, sheet.name.c_str());
        std::size_t width = 0;
        for (const auto& row : sheet.rows) width = std::max(width, row.size());
        if (width > 0) worksheet_set_column(worksheet, 0, static_cast<lxw_col_t>(width - 1), kColumnWidth, text);
        worksheet_freeze_panes(worksheet, 1, 0);
        for (std::size_t r = 0; r < sheet.rows.size() && failure == LXW_NO_ERROR; ++r)
            for (std::size_t c = 0; c < sheet.rows[r].size() && failure == LXW_NO_ERROR; ++c)
                failure = worksheet_write_string(worksheet, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c),
                                                 literalText(sheet.rows[r][c]).c_str(), r == 0 ? header : text);
    }
    const lxw_error closed = workbook_close(workbook);
    if (failure != LXW_NO_ERROR) workbookFailure(failure);
    if (closed != LXW_NO_ERROR) workbookFailure(closed);
    return readFile(file.path());
}

namespace {

// ---- reading

[[noreturn]] void notAWorkbook(const std::string& why) {
    throw Error("not a workbook (.xlsx): " + why);
}

// What reading a workbook may unpack, as a multiple of the file's size, with a floor for the smallest files: the parts
// of workbooks that spreadsheets write unpack to some ten to twenty times their packed size, deflate to at most about
// a thousand times. A reader of what the parts unpack to (its XML trees, its texts) takes a bounded multiple more.
constexpr std::size_t kUnpackedFloor = std::size_t(1) << 20;
constexpr std::size_t kUnpackedPerByte = 200;

std::size_t unpackedLimit(std::size_t fileSize) {
    return kUnpackedFloor + kUnpackedPerByte * fileSize;
}

[[noreturn]] void beyondTheBound(const std::string& what) {
    notAWorkbook(what + " more than " + std::to_string(kUnpackedPerByte) + " times the file's size");
}

// The zip archive of a workbook, whose parts are read within what the file's size allows, all of them together.
class Archive {
public:
    explicit Archive(std::string_view bytes) : m_left(unpackedLimit(bytes.size())) {
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
        if (source) m_zip = zip_open_from_source(source, ZIP_RDONLY, &error);
        if (!m_zip) {
            if (source) zip_source_free(source);
            const std::string why = zip_error_strerror(&error);
            zip_error_fini(&error);
            notAWorkbook(why);
        }
        zip_error_fini(&error);
    }
    ~Archive() {
        if (m_zip) zip_discard(m_zip);
    }
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    std::optional<std::string> entry(const std::string& name) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat(m_zip, name.c_str(), 0, &stat) != 0) return std::nullopt;
        // Workbooks are stored or deflated; other methods would bring their own decoders and their memory.
        if ((stat.valid & ZIP_STAT_COMP_METHOD) && stat.comp_method != ZIP_CM_STORE &&
            stat.comp_method != ZIP_CM_DEFLATE)
            notAWorkbook(name + " is packed in a way workbooks are not (method " + std::to_string(stat.comp_method) +
                         ")");
        if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
            notAWorkbook(name + " is encrypted");
        zip_file_t* file = zip_fopen(m_zip, name.c_str(), 0);
        if (!file) return std::nullopt;
        // The size the archive claims is taken only as a hint: the reading stops where the bound does.
        std::string content;
        if ((stat.valid & ZIP_STAT_SIZE) && stat.size <= m_left) content.reserve(std::size_t(stat.size));
        char chunk[1 << 16];
        for (;;) {
            const zip_int64_t read = zip_fread(file, chunk, sizeof chunk);
            if (read < 0) {
                zip_fclose(file);
                notAWorkbook("cannot read " + name);
            }
            if (read == 0) break;
            if (std::size_t(read) > m_left) {
                zip_fclose(file);
                beyondTheBound(name + " unpacks to");
            }
            m_left -= std::size_t(read);
            content.append(chunk, std::size_t(read));
        }
        zip_fclose(file);
        return content;
    }

    std::string required(const std::string& name) {
        std::optional<std::string> content = entry(name);
        if (!content) notAWorkbook(name + " is missing");
        return std::move(*content);
    }

private:
    zip_t* m_zip = nullptr;
    std::size_t m_left;  // what the parts not yet read may still unpack to
};

// Element names without their namespace prefix.
std::string_view localName(const pugi::xml_node& node) {
    const std::string_view name = node.name();
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node child(const pugi::xml_node& node, std::string_view name) {
    for (pugi::xml_node item = node.first_child(); item; item = item.next_sibling())
        if (item.type() == pugi::node_element && localName(item) == name) return item;
    return {};
}

template <typename Visit>
void forEachChild(const pugi::xml_node& node, std::string_view name, Visit visit) {
    for (pugi::xml_node item = node.first_child(); item; item = item.next_sibling())
        if (item.type() == pugi::node_element && localName(item) == name) visit(item);
}

// An attribute by its local name (r:id and the like).
const char* attributeOf(const pugi::xml_node& node, std::string_view name) {
    for (pugi::xml_attribute attribute = node.first_attribute(); attribute; attribute = attribute.next_attribute()) {
        std::string_view full = attribute.name();
        const std::size_t colon = full.find(':');
        if ((colon == std::string_view::npos ? full : full.substr(colon + 1)) == name) return attribute.value();
    }
    return nullptr;
}

// Parses text in place: the document points into it, so text lives as long as the document is read.
void parse(pugi::xml_document& document, std::string& text, const std::string& name) {
    const pugi::xml_parse_result result =
        document.load_buffer_inplace(text.data(), text.size(), pugi::parse_default | pugi::parse_ws_pcdata);
    if (!result) notAWorkbook(name + ": " + result.description());
}

unsigned escapedCode(std::string_view text, std::size_t at) {
    unsigned code = 0;
    std::from_chars(text.data() + at + 2, text.data() + at + 6, code, 16);
    return code;
}

// "_xHHHH_" stands for the UTF-16 unit HHHH in a workbook's texts ("_x005F_" for the underscore itself), a character
// beyond U+FFFF for two of them. A unit that stands for no character is kept as its three bytes, which the reader
// then refuses as text that is not UTF-8.
std::string unescaped(std::string_view text) {
    if (text.find("_x") == std::string_view::npos) return std::string(text);
    std::string result;
    for (std::size_t at = 0; at < text.size();) {
        if (!escapeAt(text, at)) {
            result += text[at++];
            continue;
        }
        unsigned code = escapedCode(text, at);
        at += 7;
        if (code >= 0xD800 && code < 0xDC00 && escapeAt(text, at)) {
            const unsigned low = escapedCode(text, at);
            if (low >= 0xDC00 && low < 0xE000) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                at += 7;
            }
        }
        if (code < 0x80) {
            result += static_cast<char>(code);
        } else if (code < 0x800) {
            result += static_cast<char>(0xC0 | code >> 6);
            result += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            result += static_cast<char>(0xE0 | code >> 12);
            result += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            result += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            result += static_cast<char>(0xF0 | code >> 18);
            result += static_cast<char>(0x80 | (code >> 12 & 0x3F));
            result += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            result += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return result;
}

// The text of a string item: its <t>, or its runs' <t> one after the other (phonetic runs left out).
std::string itemText(const pugi::xml_node& item) {
    std::string text;
    if (const pugi::xml_node plain = child(item, "t")) return unescaped(plain.text().get());
    forEachChild(item, "r", [&](const pugi::xml_node& run) { text += child(run, "t").text().get(); });
    return unescaped(text);
}

std::string joined(const std::string& folder, const std::string& target) {
    if (!target.empty() && target.front() == '/') return target.substr(1);
    return folder + target;
}

// What a number's format makes of it, when that is something other than the number's digits.
enum class LookKind { number, date, currency, percentage, fraction, scientific, digits };

struct Look {
    LookKind kind = LookKind::number;
    // For digits: at least this many digits before the decimal point (leading zeros), this many after it, and
    // thousands separators.
    std::size_t integerDigits = 1;
    std::size_t decimals = 0;
    bool grouped = false;
};

// How the first section of a format (the part for positive numbers) shows the digits of a number.
Look digitsOf(std::string_view bare) {
    Look look;
    look.integerDigits = 0;
    bool afterPoint = false;
    bool placeholder = false;
    for (const char c : bare.substr(0, bare.find(';'))) {
        if (c == '.') {
            afterPoint = true;
        } else if (c == '0' || c == '#' || c == '?') {
            if (c == '0') ++(afterPoint ? look.decimals : look.integerDigits);
            placeholder = true;
        } else if (c == ',' && placeholder && !afterPoint) {
            look.grouped = true;
        }
    }
    if (look.integerDigits > 1 || look.decimals > 0) look.kind = LookKind::digits;
    look.integerDigits = std::max<std::size_t>(look.integerDigits, 1);
    return look;
}

Look lookOf(LookKind kind) {
    Look look;
    look.kind = kind;
    return look;
}

Look lookOfCode(std::string_view code) {
    if (code.empty() || code == "General" || code == "@") return {};
    std::string bare;  // the code without quoted texts, escaped characters and bracketed parts
    bool currency = false;
    for (std::size_t at = 0; at < code.size(); ++at) {
        const char c = code[at];
        if (c == '"') {
            const std::size_t end = code.find('"', at + 1);
            at = end == std::string_view::npos ? code.size() : end;
        } else if (c == '\\' || c == '_' || c == '*') {
            if (c == '\\' && at + 1 < code.size() && code[at + 1] == '$') currency = true;
            ++at;
        } else if (c == '[') {
            const std::size_t end = code.find(']', at);
            const std::string_view inside =
                code.substr(at + 1, (end == std::string_view::npos ? code.size() : end) - at - 1);
            if (inside.size() > 1 && inside[0] == '$' && inside[1] != '-') currency = true;
            if (!inside.empty() && (inside[0] == 'h' || inside[0] == 'H' || inside[0] == 'm' || inside[0] == 'M' ||
                                    inside[0] == 's' || inside[0] == 'S'))
                bare += 'h';
            at = end == std::string_view::npos ? code.size() : end;
        } else {
            bare += c;
        }
    }
    if (currency || bare.find_first_of("$\xE2\xA3\xA5") != std::string::npos) return lookOf(LookKind::currency);
    if (bare.find_first_of("yYmMdDhHsS") != std::string::npos) return lookOf(LookKind::date);
    if (bare.find('%') != std::string::npos) return lookOf(LookKind::percentage);
    if (bare.find('/') != std::string::npos) return lookOf(LookKind::fraction);
    if (bare.find_first_of("eE") != std::string::npos) return lookOf(LookKind::scientific);
    return digitsOf(bare);
}

Look lookOfBuiltIn(int id) {
    if (id == 9 || id == 10) return lookOf(LookKind::percentage);
    if (id == 11 || id == 48) return lookOf(LookKind::scientific);
    if (id == 12 || id == 13) return lookOf(LookKind::fraction);
    if ((id >= 14 && id <= 22) || (id >= 45 && id <= 47) || (id >= 27 && id <= 36) || (id >= 50 && id <= 58))
        return lookOf(LookKind::date);
    if ((id >= 5 && id <= 8) || (id >= 41 && id <= 44)) return lookOf(LookKind::currency);
    // The built-in codes of plain numbers.
    switch (id) {
        case 2:
            return lookOfCode("0.00");
        case 4:
            return lookOfCode("#,##0.00");
        case 39:
        case 40:
            return lookOfCode("#,##0.00;(#,##0.00)");
        default:
            return {};
    }
}

// The look of each cell style (the s attribute), from styles.xml.
std::vector<Look> styleLooks(std::optional<std::string> styles) {
    std::vector<Look> looks;
    if (!styles) return looks;
    pugi::xml_document document;
    parse(document, *styles, "styles.xml");
    const pugi::xml_node root = document.document_element();
    std::map<int, std::string> codes;
    forEachChild(child(root, "numFmts"), "numFmt", [&](const pugi::xml_node& format) {
        codes[format.attribute("numFmtId").as_int()] = format.attribute("formatCode").as_string();
    });
    forEachChild(child(root, "cellXfs"), "xf", [&](const pugi::xml_node& xf) {
        const int id = xf.attribute("numFmtId").as_int();
        const auto custom = codes.find(id);
        looks.push_back(custom != codes.end() ? lookOfCode(custom->second) : lookOfBuiltIn(id));
    });
    return looks;
}

// The last cell a sheet has, XFD1048576.
constexpr std::size_t kLastColumn = 16384;
constexpr std::size_t kLastRow = 1048576;

// "B12": column 2, row 12. False for a text that is no cell reference; a reference beyond the last cell gives a
// column or a row beyond it.
bool cellReference(std::string_view reference, std::size_t& row, std::size_t& column) {
    std::size_t at = 0;
    std::size_t letters = 0;
    while (at < reference.size() && reference[at] >= 'A' && reference[at] <= 'Z')
        letters = std::min(letters * 26 + std::size_t(reference[at++] - 'A' + 1), kLastColumn + 1);
    std::size_t number = 0;
    const char* const end = reference.data() + reference.size();
    const auto [stop, error] = std::from_chars(reference.data() + at, end, number);
    if (letters == 0 || stop != end || at == reference.size()) return false;
    if (error == std::errc::result_out_of_range)
        number = kLastRow + 1;
    else if (error != std::errc() || number == 0)
        return false;
    row = number;
    column = letters;
    return true;
}

// The calendar date of a day count from 1970-01-01.
std::string civilDate(long long days) {
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthPart = (5 * dayOfYear + 2) / 153;
    const long long day = dayOfYear - (153 * monthPart + 2) / 5 + 1;
    const long long month = monthPart < 10 ? monthPart + 3 : monthPart - 9;
    const long long year = yearOfEra + era * 400 + (month <= 2);
    const auto padded = [](long long value, std::size_t width) {
        std::string text = std::to_string(value);
        return std::string(text.size() < width ? width - text.size() : 0, '0') + text;
    };
    return padded(year, 4) + "-" + padded(month, 2) + "-" + padded(day, 2);
}

std::string dateOf(double serial, bool from1904) {
    const long long days = static_cast<long long>(std::floor(serial));
    // Day 0 is 1899-12-30 (or 1904-01-01): 25569 and 24107 days before 1970-01-01.
    return civilDate(days - (from1904 ? 24107 : 25569));
}

[[noreturn]] void turned(std::size_t row, std::size_t column, const std::string& into) {
    throw ExchangeError(row, column,
                        "the spreadsheet has turned this cell into " + into +
                            ": give the column the text format and type the value again");
}

// The text of a number cell, or the refusal of what the spreadsheet made of it.
// The number as a format of digits shows it: 007, 3.00, -1,234.0. A number too large for its digits to mean
// anything is shown as its shortest decimal text.
std::string shownDigits(double number, const Look& look) {
    if (!(std::fabs(number) < 1e15)) return shortestDecimal(number);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", int(look.decimals), std::fabs(number));
    std::string text = buffer;
    std::size_t point = std::min(text.find('.'), text.size());
    if (point < look.integerDigits) {
        text.insert(0, look.integerDigits - point, '0');
        point = look.integerDigits;
    }
    if (look.grouped)
        for (std::size_t at = point; at > 3; at -= 3) text.insert(at - 3, 1, ',');
    return (number < 0 ? "-" : "") + text;
}

// "leading zeros", "2 decimals", "leading zeros and 1 decimal".
std::string digitsLook(const Look& look) {
    std::string what = look.integerDigits > 1 ? "leading zeros" : "";
    if (look.decimals > 0)
        what += (what.empty() ? "" : " and ") + std::to_string(look.decimals) +
                (look.decimals == 1 ? " decimal" : " decimals");
    return what;
}

std::string numberText(std::string_view value, const Look& look, bool from1904, std::size_t row, std::size_t column) {
    double number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error != std::errc() || end != value.data() + value.size())
        throw ExchangeError(row, column, "the number '" + std::string(value) + "' cannot be read");
    const std::string shortest = shortestDecimal(number);
    switch (look.kind) {
        case LookKind::date:
            turned(row, column, "a date or time (" + dateOf(number, from1904) + ")");
        case LookKind::currency:
            turned(row, column, "a currency amount (" + shortest + ")");
        case LookKind::percentage:
            turned(row, column, "a percentage (" + shortestDecimal(number * 100) + "%)");
        case LookKind::fraction:
            turned(row, column, "a fraction (" + shortest + ")");
        case LookKind::scientific:
            turned(row, column, "a number in powers of ten (" + shortest + ")");
        case LookKind::digits:
            turned(row, column, "a number shown with " + digitsLook(look) + " (" + shownDigits(number, look) + ")");
        case LookKind::number:
            break;
    }
    if (number != std::floor(number)) turned(row, column, "the decimal fraction " + shortest);
    if (std::fabs(number) >= 9007199254740992.0)
        turned(row, column, "a number too large to keep its digits (" + shortest + ")");
    if (number == 0) return "0";
    char buffer[32];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(number));
    return std::string(buffer, written.ptr);
}

// What a workbook that lacks a sheet has instead: ", only 'frames' and 'groups'", or ": it has no sheets". A
// workbook of many sheets has the first few named.
std::string sheetList(const std::vector<std::string>& names) {
    constexpr std::size_t kNamed = 8;
    if (names.empty()) return ": it has no sheets";
    const std::size_t named = names.size() > kNamed ? kNamed : names.size();
    std::string text = ", only";
    for (std::size_t i = 0; i < named; ++i)
        text += std::string(i == 0 ? " '" : i + 1 == names.size() ? "' and '" : "', '") + names[i];
    text += "'";
    if (named < names.size()) text += " and " + std::to_string(names.size() - named) + " more";
    return text;
}

}  // namespace

TextGrid readSheet(std::string_view bytes, std::string_view sheet, bool orTheOnlySheet, std::string& name) {
    Archive archive(bytes);
    std::string workbookText = archive.required("xl/workbook.xml");
    pugi::xml_document workbook;
    parse(workbook, workbookText, "xl/workbook.xml");
    const pugi::xml_node workbookRoot = workbook.document_element();
    const pugi::xml_node properties = child(workbookRoot, "workbookPr");
    const std::string_view date1904 = properties.attribute("date1904").as_string();
    const bool from1904 = date1904 == "1" || date1904 == "true";
    std::string relation;
    std::vector<std::string> names;
    std::string onlyRelation;
    forEachChild(child(workbookRoot, "sheets"), "sheet", [&](const pugi::xml_node& item) {
        names.emplace_back(item.attribute("name").as_string());
        const char* id = attributeOf(item, "id");
        if (names.size() == 1 && id) onlyRelation = id;
        if (relation.empty() && sheet == names.back() && id) {
            relation = id;
            name = names.back();
        }
    });
    if (relation.empty() && orTheOnlySheet && names.size() == 1 && !onlyRelation.empty()) {
        relation = onlyRelation;
        name = names.front();
    }
    if (relation.empty())
        throw Error("the workbook has no sheet named '" + std::string(sheet) + "'" + sheetList(names));

    std::string relationsText = archive.required("xl/_rels/workbook.xml.rels");
    pugi::xml_document relations;
    parse(relations, relationsText, "xl/_rels/workbook.xml.rels");
    std::string sheetPath;
    std::string sharedPath = "xl/sharedStrings.xml";
    std::string stylesPath = "xl/styles.xml";
    forEachChild(relations.document_element(), "Relationship", [&](const pugi::xml_node& item) {
        const std::string target = joined("xl/", item.attribute("Target").as_string());
        const std::string_view type = item.attribute("Type").as_string();
        if (relation == item.attribute("Id").as_string()) sheetPath = target;
        if (type.ends_with("/sharedStrings")) sharedPath = target;
        if (type.ends_with("/styles")) stylesPath = target;
    });
    if (sheetPath.empty()) notAWorkbook("the sheet '" + std::string(sheet) + "' has no part");

    std::vector<std::string> shared;
    if (std::optional<std::string> strings = archive.entry(sharedPath)) {
        pugi::xml_document document;
        parse(document, *strings, sharedPath);
        forEachChild(document.document_element(), "si",
                     [&](const pugi::xml_node& item) { shared.push_back(itemText(item)); });
    }
    const std::vector<Look> looks = styleLooks(archive.entry(stylesPath));

    std::string sheetText = archive.required(sheetPath);
    pugi::xml_document worksheet;
    parse(worksheet, sheetText, sheetPath);
    TextGrid grid;
    // A shared text may stand in many cells: the cells' texts together stay within the bound of the parts.
    std::size_t textLeft = unpackedLimit(bytes.size());
    std::size_t rowNumber = 0;
    forEachChild(child(worksheet.document_element(), "sheetData"), "row", [&](const pugi::xml_node& rowNode) {
        if (const pugi::xml_attribute r = rowNode.attribute("r")) {
            const std::string_view number = r.as_string();
            std::size_t value = 0;
            const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
            if (error != std::errc() || end != number.data() + number.size() || value == 0 || value > kLastRow)
                throw ExchangeError(std::min(rowNumber + 1, kLastRow), 1,
                                    "the row number '" + std::string(number) + "' names no row of a sheet (1 to " +
                                        std::to_string(kLastRow) + ")");
            rowNumber = value;
        } else {
            ++rowNumber;
        }
        GridRow row;
        row.line = rowNumber;
        std::size_t columnNumber = 0;
        forEachChild(rowNode, "c", [&](const pugi::xml_node& cell) {
            std::size_t referenceRow = rowNumber;
            std::size_t referenceColumn = 0;
            const std::string_view reference = cell.attribute("r").as_string();
            if (!cellReference(reference, referenceRow, referenceColumn)) {
                referenceColumn = columnNumber + 1;
            } else if (referenceColumn > kLastColumn || referenceRow > kLastRow) {
                throw ExchangeError(rowNumber, std::min(columnNumber + 1, kLastColumn),
                                    "the cell reference '" + std::string(reference) +
                                        "' lies beyond XFD1048576, the last cell of a sheet");
            }
            if (referenceColumn > kLastColumn)
                throw ExchangeError(rowNumber, kLastColumn, "the row has more cells than a sheet has columns");
            columnNumber = referenceColumn;
            const std::string_view type = cell.attribute("t").as_string();
            const std::string_view value = child(cell, "v").text().get();
            std::string text;
            if (type == "s") {
                const std::size_t index = std::size_t(child(cell, "v").text().as_ullong());
                if (index >= shared.size()) notAWorkbook("a cell refers to a shared text that does not exist");
                if (shared[index].size() > textLeft) beyondTheBound("its cells hold texts of");
                text = shared[index];
            } else if (type == "inlineStr") {
                text = itemText(child(cell, "is"));
            } else if (type == "str") {
                text = unescaped(value);
            } else if (type == "b") {
                turned(rowNumber, columnNumber, std::string("the truth value ") + (value == "1" ? "TRUE" : "FALSE"));
            } else if (type == "e") {
                turned(rowNumber, columnNumber, "the error " + std::string(value));
            } else if (type == "d") {
                turned(rowNumber, columnNumber, "a date or time (" + std::string(value) + ")");
            } else if (!value.empty()) {
                const std::size_t style = std::size_t(cell.attribute("s").as_ullong());
                text =
                    numberText(value, style < looks.size() ? looks[style] : Look{}, from1904, rowNumber, columnNumber);
            }
            if (text.empty()) return;
            if (text.find('\0') != std::string::npos || !isValidUtf8(text))
                throw ExchangeError(rowNumber, columnNumber, "the cell is not UTF-8 text (or holds a NUL character)");
            if (text.size() > textLeft) beyondTheBound("its cells hold texts of");
            textLeft -= text.size();
            // Only the cells that hold something are kept, each with its column.
            if (!row.cells.empty() && row.cells.back().column >= columnNumber)
                notAWorkbook("the cells of a row are out of order");
            row.cells.push_back(GridCell{std::move(text), rowNumber, columnNumber});
        });
        if (!row.cells.empty()) grid.rows.push_back(std::move(row));
    });
    return grid;
}

namespace {

template <typename Work>
bool reporting(WorkbookFailure& failure, Work work) {
    try {
        work();
        return true;
    } catch (const ExchangeError& refusal) {
        failure = {true, refusal.line(), refusal.column(), refusal.message()};
    } catch (const std::exception& error) {
        failure = {false, 0, 0, error.what()};
    }
    return false;
}

bool writeEntry(const std::vector<WorkbookSheet>& sheets, std::string& bytes, WorkbookFailure& failure) {
    return reporting(failure, [&] { bytes = writtenWorkbook(sheets); });
}

bool readEntry(std::string_view bytes, std::string_view sheet, bool orTheOnlySheet, TextGrid& grid, std::string& name,
               WorkbookFailure& failure) {
    return reporting(failure, [&] { grid = readSheet(bytes, sheet, orTheOnlySheet, name); });
}

}  // namespace

}  // namespace tessaro

#if defined(_WIN32)
#define TESSARO_MODULE_ENTRY __declspec(dllexport)
#else
#define TESSARO_MODULE_ENTRY __attribute__((visibility("default")))
#endif

extern "C" TESSARO_MODULE_ENTRY const tessaro::WorkbookEntries* tessaroWorkbookEntries() {
    static const tessaro::WorkbookEntries entries{tessaro::writeEntry, tessaro::readEntry};
    return &entries;
}
