#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/exchange/TextGrid.h"
#include "core/exchange/Workbook.h"

namespace tessaro {

// The workbook's libraries bring a cryptography library whose loading costs every start of the tool about a
// millisecond, so they live in a module of their own that the first workbook loads. Failures cross the module's
// edge as data, not as exceptions.

struct WorkbookFailure {
    bool atCell = false;  // an ExchangeError at line and column, else a tessaro::Error
    std::size_t line = 0;
    std::size_t column = 0;
    std::string message;
};

struct WorkbookEntries {
    bool (*write)(const std::vector<WorkbookSheet>& sheets, std::string& bytes, WorkbookFailure& failure);
    // orTheOnlySheet: a workbook of one sheet gives it whatever its name; name gets the name of the sheet read.
    bool (*read)(std::string_view bytes, std::string_view sheet, bool orTheOnlySheet, TextGrid& grid, std::string& name,
                 WorkbookFailure& failure);
};

inline constexpr const char* kWorkbookEntriesSymbol = "tessaroWorkbookEntries";
#if defined(_WIN32)
inline constexpr const char* kWorkbookModuleFile = "tessaro_workbook.dll";
#else
inline constexpr const char* kWorkbookModuleFile = "libtessaro_workbook.so";
#endif

}  // namespace tessaro

extern "C" const tessaro::WorkbookEntries* tessaroWorkbookEntries();
