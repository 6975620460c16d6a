#include "core/exchange/Workbook.h"

#include "core/documents/Errors.h"
#include "core/documents/SystemHeaders.h"
#include "core/exchange/WorkbookModule.h"

#if defined(TESSARO_POSIX)
#include <dlfcn.h>

#include <climits>
#endif

namespace tessaro {

namespace {

#if defined(TESSARO_POSIX)
// The module sits beside the executable; the library search path is the fallback.
std::string besideTheExecutable(const char* file) {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return file;
    std::string folder(path, std::size_t(length));
    folder.erase(folder.find_last_of('/') + 1);
    return folder + file;
}

const WorkbookEntries* load(std::string& why) {
    void* module = ::dlopen(besideTheExecutable(kWorkbookModuleFile).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) module = ::dlopen(kWorkbookModuleFile, RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        why = ::dlerror();
        return nullptr;
    }
    using Entry = const WorkbookEntries* (*)();
    const auto entry = reinterpret_cast<Entry>(::dlsym(module, kWorkbookEntriesSymbol));
    if (!entry) {
        why = ::dlerror();
        return nullptr;
    }
    return entry();
}
#else
const WorkbookEntries* load(std::string& why) {
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring file(path, length);
    file.erase(file.find_last_of(L"\\/") + 1);
    for (const char* c = kWorkbookModuleFile; *c; ++c) file += wchar_t(*c);
    HMODULE module = ::LoadLibraryW(file.c_str());
    if (!module) {
        why = "error " + std::to_string(::GetLastError());
        return nullptr;
    }
    using Entry = const WorkbookEntries* (*)();
    const auto entry = reinterpret_cast<Entry>(::GetProcAddress(module, kWorkbookEntriesSymbol));
    if (!entry) {
        why = "no " + std::string(kWorkbookEntriesSymbol);
        return nullptr;
    }
    return entry();
}
#endif

// Loaded at the first workbook and kept for the run.
const WorkbookEntries& entries() {
    static std::string why;
    static const WorkbookEntries* loaded = load(why);
    if (!loaded) throw Error("The workbook support " + std::string(kWorkbookModuleFile) + " cannot be loaded: " + why);
    return *loaded;
}

[[noreturn]] void fail(const WorkbookFailure& failure) {
    if (failure.atCell) throw ExchangeError(failure.line, failure.column, failure.message);
    throw Error(failure.message);
}

}  // namespace

std::string workbookBytes(const std::vector<WorkbookSheet>& sheets) {
    std::string bytes;
    WorkbookFailure failure;
    if (!entries().write(sheets, bytes, failure)) fail(failure);
    return bytes;
}

TextGrid readWorkbookSheet(std::string_view bytes, std::string_view sheet) {
    TextGrid grid;
    std::string name;
    WorkbookFailure failure;
    if (!entries().read(bytes, sheet, false, grid, name, failure)) fail(failure);
    return grid;
}

TextGrid readTableSheet(std::string_view bytes, std::string_view sheet, std::string& name) {
    TextGrid grid;
    WorkbookFailure failure;
    if (!entries().read(bytes, sheet, true, grid, name, failure)) fail(failure);
    return grid;
}

}  // namespace tessaro
