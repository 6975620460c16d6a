#include "support/TemporaryFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tessaro::testing {

TemporaryFolder::TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessaro-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
    m_path = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(m_path, ignored);
}

std::string TemporaryFolder::file(std::string_view relative) const {
    return m_path + "/" + std::string(relative);
}

std::string TemporaryFolder::write(std::string_view relative, std::string_view text) const {
    const std::string target = file(relative);
    std::filesystem::create_directories(std::filesystem::path(target).parent_path());
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return target;
}

std::string TemporaryFolder::read(std::string_view relative) const {
    std::ifstream in(file(relative), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool TemporaryFolder::exists(std::string_view relative) const {
    return std::filesystem::exists(file(relative));
}

}  // namespace tessaro::testing
