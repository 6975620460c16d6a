#include "documents/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "documents/Errors.h"

#if __has_include(<unistd.h>)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#define TESSARO_POSIX 1
#endif

namespace tessaro {

namespace {

[[noreturn]] void failCreate(const std::string& path, int error) {
    throw Error("Cannot create file \"" + path + "\". " + std::strerror(error));
}

}  // namespace

#ifdef TESSARO_POSIX

void replaceFile(const std::string& path, std::string_view bytes) {
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) failCreate(path, errno);
    // mkstemp creates 0600; a document gets the usual permissions, or keeps those of the file it replaces.
    struct stat existing {};
    const mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644;
    ::fchmod(fd, mode);
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    int error = 0;
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            error = errno;
            break;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        failCreate(path, error);
    }
}

#else

void replaceFile(const std::string& path, std::string_view bytes) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) failCreate(path, errno);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) failCreate(path, errno);
    }
    std::error_code code;
    std::filesystem::rename(temporary, path, code);
    if (code) {
        std::filesystem::remove(temporary, code);
        throw Error("Cannot create file \"" + path + "\". " + code.message());
    }
}

#endif

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error("Cannot open file \"" + path + "\". " + std::strerror(errno));
    // One read into a string of the file's size: documents are read whole at every show and every build.
    std::error_code code;
    const auto size = std::filesystem::is_regular_file(path, code) ? std::filesystem::file_size(path, code) : 0;
    if (!code && size > 0) {
        // One byte more than the file, so that a reader can end the text with a NUL of its own without a copy.
        std::string content;
        content.reserve(static_cast<std::size_t>(size) + 1);
        content.resize(static_cast<std::size_t>(size));
        in.read(content.data(), static_cast<std::streamsize>(size));
        content.resize(static_cast<std::size_t>(in.gcount()));
        if (in.bad()) throw Error("Cannot read file \"" + path + "\". " + std::strerror(errno));
        // A file that grew meanwhile: the rest as well.
        if (in.peek() != std::char_traits<char>::eof()) {
            std::ostringstream rest;
            rest << in.rdbuf();
            content += std::move(rest).str();
        }
        return content;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) throw Error("Cannot read file \"" + path + "\". " + std::strerror(errno));
    return std::move(content).str();
}

bool fileExists(const std::string& path) {
    std::error_code code;
    return std::filesystem::is_regular_file(path, code);
}

bool folderExists(const std::string& path) {
    std::error_code code;
    return !path.empty() && std::filesystem::is_directory(path, code);
}

}  // namespace tessaro
