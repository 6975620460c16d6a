#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace tessaro::fuzz {

namespace {

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tessaro-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            std::perror("tessaro-fuzz: cannot create a temporary folder");
            std::abort();
        }
        m_path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }

    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

}  // namespace

std::string printable(std::string_view bytes) {
    std::string text = "\"";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (byte >= 0x20 && byte < 0x7F) {
            text += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            text += escaped;
        }
    }
    return text + "\"";
}

const std::string& scratchFolder() {
    static const ScratchFolder folder;
    return folder.path();
}

std::string writeScratchFile(std::string_view name, std::string_view bytes) {
    const std::string path = scratchFolder() + "/" + std::string(name);
    // A new file rather than a truncated one: some file systems write a truncated file's data out at its close,
    // which costs more than the reading.
    std::remove(path.c_str());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fclose(file) != 0) {
        std::perror(("tessaro-fuzz: cannot write " + path).c_str());
        std::abort();
    }
    return path;
}

std::string placeScratchFile(std::string_view name, std::string_view bytes) {
    if (!bytes.empty()) return writeScratchFile(name, bytes);
    const std::string path = scratchFolder() + "/" + std::string(name);
    std::remove(path.c_str());
    return path;
}

std::vector<std::string_view> splitInput(std::string_view input, std::size_t count) {
    std::vector<std::string_view> parts;
    while (parts.size() + 1 < count) {
        const std::size_t at = input.find(kPartSeparator);
        if (at == std::string_view::npos) break;
        parts.push_back(input.substr(0, at));
        input.remove_prefix(at + kPartSeparator.size());
    }
    parts.push_back(input);
    parts.resize(count);
    return parts;
}

}  // namespace tessaro::fuzz
