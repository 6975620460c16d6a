#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessaro {

// One key of an INI text: section and key names match without regard to letter case; values are trimmed of
// blanks and tabs and lose the double quotes around them, as the system's profile functions do. A UTF-8 byte order
// mark at the start of the text is skipped.
std::optional<std::string> readIniValue(std::string_view iniText, std::string_view section, std::string_view key);

// The INI text with that key set, every other line (and a byte order mark) kept as it was; the section is appended
// when missing. A value that reading would change is written in double quotes, so it reads back as it is.
std::string withIniValue(std::string_view iniText, std::string_view section, std::string_view key,
                         std::string_view value);

// File forms: a missing or unreadable file reads as empty; a failed write throws "Unable to write to PATH" and, on a
// second line, the reason ("Permission denied", "The file is read-only").
std::optional<std::string> readProfileString(const std::string& path, std::string_view section, std::string_view key);
void writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace tessaro
