#include "core/documents/AtomicFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>

#include "core/documents/Errors.h"
#include "core/documents/SystemHeaders.h"

namespace tessaro {

namespace {

SavePause g_savePause;

[[noreturn]] void failCreate(const std::string& path, std::string_view reason) {
    throw FileError("Cannot create file \"" + path + "\". " + std::string(reason), reason);
}

[[noreturn]] void failCreate(const std::string& path, int error) {
    failCreate(path, std::strerror(error));
}

[[noreturn]] void failRead(std::string_view what, const std::string& path, int error) {
    const std::string reason = std::strerror(error);
    throw FileError(std::string(what) + " \"" + path + "\". " + reason, reason);
}

// The bytes written before the pause of a test, if one is set.
std::size_t bytesBeforePause(std::string_view bytes) {
    return g_savePause.reached ? std::min(g_savePause.after, bytes.size()) : bytes.size();
}

// Where a save of path lands: path itself, or the file at the end of its links, which may not exist yet. The
// links stay links: a user who linked a file from elsewhere wants that file saved, not the link replaced.
std::filesystem::path followLinks(const std::string& path) {
    constexpr int kMostLinks = 40;
    std::filesystem::path target(path);
    for (int links = 0;; ++links) {
        std::error_code code;
        if (std::filesystem::symlink_status(target, code).type() != std::filesystem::file_type::symlink) return target;
        if (links == kMostLinks)
            failCreate(path, std::make_error_code(std::errc::too_many_symbolic_link_levels).message());
        const std::filesystem::path next = std::filesystem::read_symlink(target, code);
        if (code) failCreate(path, code.message());
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
}

}  // namespace

void setSavePause(const SavePause& pause) {
    g_savePause = pause;
}

#ifdef TESSARO_POSIX

namespace {

constexpr std::string_view kTemporaryMark = ".XXXXXX";
constexpr std::string_view kTemporarySuffix = ".tmp";

// name is a temporary file that a save of the file named base creates: base, a dot, six letters or digits, ".tmp".
bool isTemporaryOf(std::string_view name, std::string_view base) {
    if (name.size() != base.size() + kTemporaryMark.size() + kTemporarySuffix.size()) return false;
    if (name.substr(0, base.size()) != base || name[base.size()] != '.') return false;
    if (name.substr(name.size() - kTemporarySuffix.size()) != kTemporarySuffix) return false;
    const std::string_view unique = name.substr(base.size() + 1, kTemporaryMark.size() - 1);
    return std::all_of(unique.begin(), unique.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

std::filesystem::path folderOf(const std::string& path) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

// A save that was killed leaves its temporary file; the next save of the same file takes it away.
void removeLeftTemporaries(const std::string& path) {
    const std::string base = std::filesystem::path(path).filename().string();
    std::error_code code;
    for (std::filesystem::directory_iterator entry(folderOf(path), code), end; !code && entry != end;
         entry.increment(code)) {
        std::error_code kind;
        if (isTemporaryOf(entry->path().filename().string(), base) && entry->is_regular_file(kind))
            ::unlink(entry->path().c_str());
    }
}

// The rename is only lasting once the folder is on the disk. The file is already replaced when this runs, so a
// folder that cannot be flushed is not reported as a failed save.
void syncFolder(const std::string& path) {
    const int folder = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return;
    ::fsync(folder);
    ::close(folder);
}

bool isReadOnly(const struct stat& existing, const std::string& path) {
    // The owner's write bit, which holds for root as well, and what the user may do.
    return S_ISREG(existing.st_mode) && ((existing.st_mode & S_IWUSR) == 0 || ::access(path.c_str(), W_OK) != 0);
}

// 0, or the errno of the failed write.
int writeAll(int fd, const char* data, std::size_t left) {
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return 0;
}

// A device or a FIFO is written to, as a redirection of the shell writes to it: a rename would put a regular file
// in its place (as root, in place of /dev/null).
void writeInPlace(const std::string& path, const std::string& target, std::string_view bytes) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) failCreate(path, errno);
    int error = writeAll(fd, bytes.data(), bytes.size());
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0) failCreate(path, error);
}

}  // namespace

void replaceFile(const std::string& path, std::string_view bytes) {
    const std::string target = followLinks(path).string();
    struct stat existing {};
    const bool replacing = ::stat(target.c_str(), &existing) == 0;
    if (replacing && S_ISDIR(existing.st_mode)) failCreate(path, EISDIR);
    if (replacing && !S_ISREG(existing.st_mode)) {
        writeInPlace(path, target, bytes);
        return;
    }
    if (replacing && isReadOnly(existing, target)) failCreate(path, kReadOnlyReason);
    removeLeftTemporaries(target);
    std::string temporary = target + std::string(kTemporaryMark) + std::string(kTemporarySuffix);
    const int fd = ::mkstemps(temporary.data(), static_cast<int>(kTemporarySuffix.size()));
    if (fd < 0) failCreate(path, errno);
    // mkstemps creates 0600; a document gets the usual permissions, or keeps those of the file it replaces.
    ::fchmod(fd, replacing ? (existing.st_mode & 07777) : 0644);
    const std::size_t first = bytesBeforePause(bytes);
    int error = writeAll(fd, bytes.data(), first);
    if (error == 0 && g_savePause.reached) g_savePause.reached();
    if (error == 0) error = writeAll(fd, bytes.data() + first, bytes.size() - first);
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        failCreate(path, error);
    }
    syncFolder(target);
}

namespace {

// The checks replaceFile makes before it writes anything, and one more: what stands at path must be a file.
void checkReplaceable(const std::string& path) {
    struct stat existing {};
    if (::stat(path.c_str(), &existing) != 0) return;
    if (isReadOnly(existing, path)) failCreate(path, kReadOnlyReason);
    if (S_ISDIR(existing.st_mode)) failCreate(path, EISDIR);
    if (!S_ISREG(existing.st_mode)) failCreate(path, "It is not a regular file");
}

// The bytes in a temporary file beside path, flushed, with the permissions replaceFile gives; its name.
std::string stageFile(const std::string& path, std::string_view bytes) {
    struct stat existing {};
    const bool replacing = ::stat(path.c_str(), &existing) == 0;
    removeLeftTemporaries(path);
    std::string temporary = path + std::string(kTemporaryMark) + std::string(kTemporarySuffix);
    const int fd = ::mkstemps(temporary.data(), static_cast<int>(kTemporarySuffix.size()));
    if (fd < 0) failCreate(path, errno);
    ::fchmod(fd, replacing ? (existing.st_mode & 07777) : 0644);
    int error = writeAll(fd, bytes.data(), bytes.size());
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        failCreate(path, error);
    }
    return temporary;
}

// Empty, or the reason the rename failed.
std::string renameOver(const std::string& temporary, const std::string& path) {
    if (::rename(temporary.c_str(), path.c_str()) == 0) return {};
    return std::strerror(errno);
}

void discardTemporary(const std::string& temporary) {
    ::unlink(temporary.c_str());
}

void flushFolderOf(const std::string& path) {
    syncFolder(path);
}

}  // namespace

#else

void replaceFile(const std::string& path, std::string_view bytes) {
    const std::filesystem::path target = followLinks(path);
    std::error_code kind;
    const std::filesystem::file_status existing = std::filesystem::status(target, kind);
    if (std::filesystem::exists(existing) && !std::filesystem::is_regular_file(existing) &&
        !std::filesystem::is_directory(existing)) {
        // A device is written to, never renamed over.
        std::ofstream out(target, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) failCreate(path, errno);
        return;
    }
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        failCreate(path, kReadOnlyReason);
    // One temporary name per file: a save that was killed leaves it, and the next save overwrites and renames it.
    const std::string temporary = target.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) failCreate(path, errno);
        const std::size_t first = bytesBeforePause(bytes);
        out.write(bytes.data(), static_cast<std::streamsize>(first));
        if (g_savePause.reached) {
            out.flush();
            g_savePause.reached();
        }
        out.write(bytes.data() + first, static_cast<std::streamsize>(bytes.size() - first));
        out.flush();
        if (!out) failCreate(path, errno);
    }
    std::error_code code;
    std::filesystem::rename(temporary, target, code);
    if (code) {
        std::filesystem::remove(temporary, code);
        failCreate(path, code.message());
    }
}

namespace {

void checkReplaceable(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(std::filesystem::path(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) failCreate(path, "It is a folder");
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) failCreate(path, kReadOnlyReason);
}

std::string stageFile(const std::string& path, std::string_view bytes) {
    const std::string temporary = path + ".tmp";
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) failCreate(path, errno);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
        const int error = errno;
        out.close();
        std::error_code code;
        std::filesystem::remove(temporary, code);
        failCreate(path, error);
    }
    return temporary;
}

std::string renameOver(const std::string& temporary, const std::string& path) {
    std::error_code code;
    std::filesystem::rename(temporary, path, code);
    return code ? code.message() : std::string();
}

void discardTemporary(const std::string& temporary) {
    std::error_code code;
    std::filesystem::remove(temporary, code);
}

void flushFolderOf(const std::string&) {}

}  // namespace

#endif

namespace {

void (*g_renamedHook)(std::size_t count) = nullptr;

}  // namespace

void setRenamedHook(void (*renamed)(std::size_t count)) {
    g_renamedHook = renamed;
}

void replaceFiles(const std::vector<FileReplacement>& files) {
    // A document that is a link stays one: the file it leads to is replaced, as replaceFile does.
    std::vector<std::string> targets;
    for (const FileReplacement& file : files) targets.push_back(followLinks(file.path).string());
    for (const std::string& target : targets) checkReplaceable(target);
    // What to put back should a rename fail; nothing for a file that is new.
    std::vector<std::optional<std::string>> previous;
    for (const std::string& target : targets)
        previous.push_back(fileExists(target) ? std::optional(readFile(target)) : std::nullopt);
    std::vector<std::string> staged;
    try {
        for (std::size_t k = 0; k < files.size(); ++k) staged.push_back(stageFile(targets[k], files[k].bytes));
    } catch (const Error&) {
        for (const std::string& temporary : staged) discardTemporary(temporary);
        throw;
    }
    for (std::size_t k = 0; k < files.size(); ++k) {
        const std::string reason = renameOver(staged[k], targets[k]);
        if (reason.empty()) {
            flushFolderOf(targets[k]);
            if (g_renamedHook) g_renamedHook(k + 1);
            continue;
        }
        for (std::size_t rest = k; rest < files.size(); ++rest) discardTemporary(staged[rest]);
        std::string lost;
        for (std::size_t back = k; back-- > 0;) {
            try {
                if (previous[back]) {
                    replaceFile(targets[back], *previous[back]);
                } else if (std::error_code code; !std::filesystem::remove(targets[back], code) || code) {
                    throw Error(code.message());
                }
            } catch (const Error&) {
                lost += "; \"" + files[back].path + "\" could not be put back as it was";
            }
        }
        failCreate(files[k].path, reason + lost);
    }
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) failRead("Cannot open file", path, errno);
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
        if (in.bad()) failRead("Cannot read file", path, errno);
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
    if (in.bad()) failRead("Cannot read file", path, errno);
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
