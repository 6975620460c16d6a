#include <filesystem>
#include <iostream>
#include <ostream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "cli/Cli.h"
#include "cli/StandardOutput.h"

namespace {

// The tool folder is the folder of the executable, as for the window; empty when it cannot be told.
std::string executableFolder() {
#ifdef _WIN32
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (length == 0 || length == path.size()) return {};
    path.resize(length);
    return std::filesystem::path(path).parent_path().string();
#else
    std::error_code failure;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", failure);
    return failure ? std::string() : path.parent_path().string();
#endif
}

}  // namespace

int main(int argc, char** argv) {
#ifdef __GLIBC__
    // A command reads a document of megabytes, lets it go and then builds what it prints: the memory stays with
    // the process for the next step rather than going back to the system and being faulted in again.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
#endif
    std::ios::sync_with_stdio(false);
    // A write that fails stops the command where it is, with its reason.
    tessaro::cli::StandardOutputBuffer buffer;
    std::ostream out(&buffer);
    out.exceptions(std::ios::badbit);
    return tessaro::cli::run(std::vector<std::string>(argv + 1, argv + argc), out, std::cerr, executableFolder());
}
