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

#include "documents/AtomicFile.h"
#include "documents/Errors.h"
#include "documents/NumericText.h"
#include "documents/SystemHeaders.h"
#include "exchange/Workbook.h"
#include "exchange/WorkbookModule.h"

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

class Archive {
public:
    explicit Archive(std::string_view bytes) {
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

    std::optional<std::string> entry(const std::string& name) const {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat(m_zip, name.c_str(), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) return std::nullopt;
        zip_file_t* file = zip_fopen(m_zip, name.c_str(), 0);
        if (!file) return std::nullopt;
        std::string content(static_cast<std::size_t>(stat.size), '\0');
        const zip_int64_t read = zip_fread(file, content.data(), stat.size);
        zip_fclose(file);
        if (read < 0 || static_cast<zip_uint64_t>(read) != stat.size) notAWorkbook("cannot read " + name);
        return content;
    }

    std::string required(const std::string& name) const {
        std::optional<std::string> content = entry(name);
        if (!content) notAWorkbook(name + " is missing");
        return std::move(*content);
    }

private:
    zip_t* m_zip = nullptr;
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

void parse(pugi::xml_document& document, const std::string& text, const std::string& name) {
    const pugi::xml_parse_result result =
        document.load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_ws_pcdata);
    if (!result) notAWorkbook(name + ": " + result.description());
}

// "_xHHHH_" stands for the character HHHH in a workbook's texts ("_x005F_" for the underscore itself).
std::string unescaped(std::string_view text) {
    if (text.find("_x") == std::string_view::npos) return std::string(text);
    std::string result;
    for (std::size_t at = 0; at < text.size();) {
        unsigned code = 0;
        if (escapeAt(text, at)) {
            std::from_chars(text.data() + at + 2, text.data() + at + 6, code, 16);
            if (code < 0x80) {
                result += static_cast<char>(code);
            } else if (code < 0x800) {
                result += static_cast<char>(0xC0 | code >> 6);
                result += static_cast<char>(0x80 | (code & 0x3F));
            } else {
                result += static_cast<char>(0xE0 | code >> 12);
                result += static_cast<char>(0x80 | (code >> 6 & 0x3F));
                result += static_cast<char>(0x80 | (code & 0x3F));
            }
            at += 7;
        } else {
            result += text[at++];
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

// What a number's format makes of it, when that is something other than a plain number.
enum class Look { number, date, currency, percentage, fraction, scientific, leadingZeros };

Look lookOfCode(std::string_view code) {
    if (code.empty() || code == "General" || code == "@") return Look::number;
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
    if (currency || bare.find_first_of("$\xE2\xA3\xA5") != std::string::npos) return Look::currency;
    if (bare.find_first_of("yYmMdDhHsS") != std::string::npos) return Look::date;
    if (bare.find('%') != std::string::npos) return Look::percentage;
    if (bare.find('/') != std::string::npos) return Look::fraction;
    if (bare.find_first_of("eE") != std::string::npos) return Look::scientific;
    if (bare.find("00") != std::string::npos) return Look::leadingZeros;
    return Look::number;
}

Look lookOfBuiltIn(int id) {
    if (id == 9 || id == 10) return Look::percentage;
    if (id == 11 || id == 48) return Look::scientific;
    if (id == 12 || id == 13) return Look::fraction;
    if ((id >= 14 && id <= 22) || (id >= 45 && id <= 47) || (id >= 27 && id <= 36) || (id >= 50 && id <= 58))
        return Look::date;
    if ((id >= 5 && id <= 8) || (id >= 41 && id <= 44)) return Look::currency;
    return Look::number;
}

// The look of each cell style (the s attribute), from styles.xml.
std::vector<Look> styleLooks(const std::optional<std::string>& styles) {
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

// "B12": column 2, row 12.
bool cellReference(std::string_view reference, std::size_t& row, std::size_t& column) {
    std::size_t at = 0;
    std::size_t letters = 0;
    while (at < reference.size() && reference[at] >= 'A' && reference[at] <= 'Z')
        letters = letters * 26 + std::size_t(reference[at++] - 'A' + 1);
    std::size_t number = 0;
    const auto [end, error] = std::from_chars(reference.data() + at, reference.data() + reference.size(), number);
    if (letters == 0 || error != std::errc() || end != reference.data() + reference.size() || number == 0) return false;
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
std::string numberText(std::string_view value, Look look, bool from1904, std::size_t row, std::size_t column) {
    double number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error != std::errc() || end != value.data() + value.size())
        throw ExchangeError(row, column, "the number '" + std::string(value) + "' cannot be read");
    const std::string shortest = shortestDecimal(number);
    switch (look) {
        case Look::date:
            turned(row, column, "a date or time (" + dateOf(number, from1904) + ")");
        case Look::currency:
            turned(row, column, "a currency amount (" + shortest + ")");
        case Look::percentage:
            turned(row, column, "a percentage (" + shortestDecimal(number * 100) + "%)");
        case Look::fraction:
            turned(row, column, "a fraction (" + shortest + ")");
        case Look::scientific:
            turned(row, column, "a number in powers of ten (" + shortest + ")");
        case Look::leadingZeros:
            turned(row, column, "a number shown with leading zeros (" + shortest + ")");
        case Look::number:
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

}  // namespace

TextGrid readSheet(std::string_view bytes, std::string_view sheet) {
    const Archive archive(bytes);
    pugi::xml_document workbook;
    parse(workbook, archive.required("xl/workbook.xml"), "xl/workbook.xml");
    const pugi::xml_node workbookRoot = workbook.document_element();
    const pugi::xml_node properties = child(workbookRoot, "workbookPr");
    const std::string_view date1904 = properties.attribute("date1904").as_string();
    const bool from1904 = date1904 == "1" || date1904 == "true";
    std::string relation;
    forEachChild(child(workbookRoot, "sheets"), "sheet", [&](const pugi::xml_node& item) {
        if (relation.empty() && sheet == item.attribute("name").as_string())
            if (const char* id = attributeOf(item, "id")) relation = id;
    });
    if (relation.empty()) throw Error("the workbook has no sheet named '" + std::string(sheet) + "'");

    pugi::xml_document relations;
    parse(relations, archive.required("xl/_rels/workbook.xml.rels"), "xl/_rels/workbook.xml.rels");
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
    if (const std::optional<std::string> strings = archive.entry(sharedPath)) {
        pugi::xml_document document;
        parse(document, *strings, sharedPath);
        forEachChild(document.document_element(), "si",
                     [&](const pugi::xml_node& item) { shared.push_back(itemText(item)); });
    }
    const std::vector<Look> looks = styleLooks(archive.entry(stylesPath));

    pugi::xml_document worksheet;
    parse(worksheet, archive.required(sheetPath), sheetPath);
    TextGrid grid;
    std::size_t rowNumber = 0;
    forEachChild(child(worksheet.document_element(), "sheetData"), "row", [&](const pugi::xml_node& rowNode) {
        rowNumber = rowNode.attribute("r") ? std::size_t(rowNode.attribute("r").as_ullong()) : rowNumber + 1;
        GridRow row;
        row.line = rowNumber;
        bool any = false;
        std::size_t columnNumber = 0;
        forEachChild(rowNode, "c", [&](const pugi::xml_node& cell) {
            std::size_t referenceRow = rowNumber;
            if (!cellReference(cell.attribute("r").as_string(), referenceRow, columnNumber)) ++columnNumber;
            const std::string_view type = cell.attribute("t").as_string();
            const std::string_view value = child(cell, "v").text().get();
            std::string text;
            if (type == "s") {
                const std::size_t index = std::size_t(child(cell, "v").text().as_ullong());
                if (index >= shared.size()) notAWorkbook("a cell refers to a shared text that does not exist");
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
                text = numberText(value, style < looks.size() ? looks[style] : Look::number, from1904, rowNumber,
                                  columnNumber);
            }
            if (text.empty()) return;
            while (row.cells.size() + 1 < columnNumber)
                row.cells.push_back(GridCell{{}, rowNumber, row.cells.size() + 1});
            if (row.cells.size() >= columnNumber) notAWorkbook("the cells of a row are out of order");
            row.cells.push_back(GridCell{std::move(text), rowNumber, columnNumber});
            any = true;
        });
        if (any) grid.rows.push_back(std::move(row));
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

bool readEntry(std::string_view bytes, std::string_view sheet, TextGrid& grid, WorkbookFailure& failure) {
    return reporting(failure, [&] { grid = readSheet(bytes, sheet); });
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
