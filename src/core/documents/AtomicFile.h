#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

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

// Several files replaced as one: every file or none. Each target is checked first (a read-only one is refused, as is
// one that is no file), every new file is written beside its target and flushed before the first target is renamed
// over, and when a rename fails the files already replaced get their previous bytes back. A process killed between
// two renames leaves the first files new and the others as they were, each whole, and the temporary files of the
// others, which their next save removes. Throws tessaro::Error as replaceFile does, for the file that failed.
struct FileReplacement {
    std::string path;
    std::string_view bytes;
};
void replaceFiles(const std::vector<FileReplacement>& files);

// For the tests that make a rename of replaceFiles fail: while set, replaceFiles calls it after each rename, with the
// number of files renamed so far. The tool itself never sets it.
void setRenamedHook(void (*renamed)(std::size_t count));

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
