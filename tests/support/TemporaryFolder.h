#pragma once

#include <string>
#include <string_view>

namespace tessaro::testing {

// A fresh folder below the system's temporary folder, removed with everything in it at the end of the test.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(std::string_view relative) const;
    // Writes text to a file below the folder, creating the folders on the way.
    std::string write(std::string_view relative, std::string_view text) const;
    std::string read(std::string_view relative) const;
    bool exists(std::string_view relative) const;

private:
    std::string m_path;
};

}  // namespace tessaro::testing
