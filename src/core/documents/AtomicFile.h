#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tessaro {

// Replaces the file at path with bytes: written to a temporary file in the same folder, flushed, then renamed over
// the old one (and the folder flushed), so an interrupted or failed write leaves the previous file whole. The
// temporary files that earlier saves of the same file left behind when they were killed are removed. A file that
// is read-only (its owner may not write it, or the user may not) is refused and left as it is.
// A link stays a link: the file it leads to is the one replaced, in that file's folder. A target that is neither a
// regular file nor a folder (a device, a FIFO) is written to directly and never renamed over. Every writer of a
// file goes through here, so these rules hold for the documents, the image, the exports and the CLI's -o alike.
// Throws tessaro::Error "Cannot create file "PATH". REASON" on failure.
void replaceFile(const std::string& path, std::string_view bytes);

// The reason replaceFile gives for a read-only file.
inline constexpr std::string_view kReadOnlyReason = "The file is read-only";

// For the tests that kill a save part-way: while set, replaceFile calls reached() once the temporary file holds the
// first `after` bytes (all of them when there are fewer), then writes the rest. The tool itself never sets it.
struct SavePause {
    std::size_t after = 0;
    void (*reached)() = nullptr;
};
void setSavePause(const SavePause& pause);

// Reads a whole file; throws tessaro::Error "Cannot open file "PATH". REASON" on failure.
std::string readFile(const std::string& path);

bool fileExists(const std::string& path);
bool folderExists(const std::string& path);

}  // namespace tessaro
