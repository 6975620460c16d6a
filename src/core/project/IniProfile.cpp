#include "core/project/IniProfile.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "core/documents/AtomicFile.h"
#include "core/documents/Errors.h"

namespace tessaro {

namespace {

struct Line {
    std::string_view text;  // without its line end
    std::string_view end;   // "\r\n", "\n" or "" for the last line
};

std::vector<Line> splitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t newline = text.find('\n', start);
        if (newline == std::string_view::npos) {
            lines.push_back({text.substr(start), {}});
            break;
        }
        std::size_t stop = newline;
        if (stop > start && text[stop - 1] == '\r') --stop;
        lines.push_back({text.substr(start, stop - start), text.substr(stop, newline + 1 - stop)});
        start = newline + 1;
    }
    return lines;
}

std::string_view trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// What some editors put before the first line of a UTF-8 file; it is no part of the first section's name.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view byteOrderMarkOf(std::string_view text) {
    return text.starts_with(kByteOrderMark) ? kByteOrderMark : std::string_view();
}

// A value in double quotes stands for what is between them, blanks included, as the system's profile functions
// read it.
std::string_view unquoted(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
    return value;
}

// The value as a key line holds it: in quotes when reading would otherwise change it.
std::string quotedWhenNeeded(std::string_view value) {
    if (trim(value) == value && unquoted(value) == value) return std::string(value);
    return "\"" + std::string(value) + "\"";
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The section name of a "[name]" line, or nothing.
std::optional<std::string_view> sectionName(std::string_view line) {
    line = trim(line);
    if (line.size() < 2 || line.front() != '[') return std::nullopt;
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return trim(line.substr(1, close - 1));
}

std::optional<std::string_view> keyName(std::string_view line) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return trim(line.substr(0, equals));
}

}  // namespace

std::optional<std::string> readIniValue(std::string_view iniText, std::string_view section, std::string_view key) {
    iniText.remove_prefix(byteOrderMarkOf(iniText).size());
    bool inSection = false;
    for (const Line& line : splitLines(iniText)) {
        if (const auto name = sectionName(line.text)) {
            inSection = sameName(*name, section);
            continue;
        }
        if (!inSection) continue;
        if (const auto name = keyName(line.text); name && sameName(*name, key))
            return std::string(unquoted(trim(line.text.substr(line.text.find('=') + 1))));
    }
    return std::nullopt;
}

std::string withIniValue(std::string_view iniText, std::string_view section, std::string_view key,
                         std::string_view value) {
    const std::string_view byteOrderMark = byteOrderMarkOf(iniText);
    iniText.remove_prefix(byteOrderMark.size());
    const std::vector<Line> lines = splitLines(iniText);
    const std::string lineEnd = iniText.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
    const std::string keyLine = std::string(key) + "=" + quotedWhenNeeded(value);

    // Find the section, its key line, and the last non-blank line of the section.
    std::optional<std::size_t> keyAt;
    std::optional<std::size_t> lastOfSection;
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (const auto name = sectionName(lines[i].text)) {
            if (inSection) break;
            inSection = sameName(*name, section);
            if (inSection) lastOfSection = i;
            continue;
        }
        if (!inSection) continue;
        if (!trim(lines[i].text).empty()) lastOfSection = i;
        if (const auto name = keyName(lines[i].text); name && sameName(*name, key)) {
            keyAt = i;
            break;
        }
    }

    std::string result;
    result.reserve(iniText.size() + keyLine.size() + 16);
    const auto append = [&](const Line& line, bool forceEnd) {
        result += line.text;
        result += line.end.empty() && forceEnd ? std::string_view(lineEnd) : line.end;
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (keyAt && i == *keyAt) {
            result += keyLine;
            result += lines[i].end;
            continue;
        }
        const bool insertAfter = !keyAt && lastOfSection && i == *lastOfSection;
        append(lines[i], insertAfter);
        if (insertAfter) result += keyLine + lineEnd;
    }
    if (!lastOfSection) {
        if (!result.empty() && result.back() != '\n') result += lineEnd;
        result += "[" + std::string(section) + "]" + lineEnd + keyLine + lineEnd;
    }
    return std::string(byteOrderMark) + result;
}

std::optional<std::string> readProfileString(const std::string& path, std::string_view section, std::string_view key) {
    if (!fileExists(path)) return std::nullopt;
    try {
        return readIniValue(readFile(path), section, key);
    } catch (const Error&) {
        return std::nullopt;
    }
}

void writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
    // The system's reason goes on a line of its own below the message, which stays as it is.
    const auto unableToWrite = [&path](const FileError& failure) {
        return Error("Unable to write to " + path + "\n" + failure.reason());
    };
    std::string current;
    if (fileExists(path)) {
        try {
            current = readFile(path);
        } catch (const FileError& failure) {
            throw unableToWrite(failure);
        }
    }
    try {
        replaceFile(path, withIniValue(current, section, key, value));
    } catch (const FileError& failure) {
        throw unableToWrite(failure);
    }
}

}  // namespace tessaro
