#include <zip.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "core/documents/Errors.h"
#include "core/documents/Utf8Text.h"
#include "core/exchange/ExchangeTables.h"
#include "core/exchange/Workbook.h"

// The sanitizers' allocation hooks, where the target runs under one; absent otherwise.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, std::size_t),
                                                         void (*free_hook)(const volatile void*)) __attribute__((weak));

namespace tessaro::fuzz {

namespace {

// ---- the bytes the reader allocates while it reads, as the allocator's hooks see them

// The blocks allocated while counting, by address, so that freeing one takes its size off again. A block that finds
// no slot is never taken off, which only overstates.
struct Block {
    const volatile void* address;
    std::size_t size;
};
constexpr std::size_t kSlots = std::size_t(1) << 18;
constexpr std::size_t kProbes = 32;
Block g_blocks[kSlots];
std::size_t g_used[kSlots];  // the slots taken, to clear them afterwards
std::size_t g_usedCount = 0;
const volatile void* const kFreed = &g_usedCount;  // a slot whose block was freed
bool g_counting = false;
std::int64_t g_current = 0;
std::int64_t g_peak = 0;

std::size_t slotOf(const volatile void* address) {
    const auto bits = reinterpret_cast<std::uintptr_t>(address);
    return std::size_t((bits >> 4) * 0x9E3779B97F4A7C15ull >> 46) & (kSlots - 1);
}

void allocated(const volatile void* address, std::size_t size) {
    if (!g_counting) return;
    g_current += std::int64_t(size);
    if (g_current > g_peak) g_peak = g_current;
    for (std::size_t probe = 0, slot = slotOf(address); probe < kProbes; ++probe, slot = (slot + 1) & (kSlots - 1))
        if (!g_blocks[slot].address || g_blocks[slot].address == kFreed) {
            if (!g_blocks[slot].address) g_used[g_usedCount++] = slot;
            g_blocks[slot] = {address, size};
            return;
        }
}

void freed(const volatile void* address) {
    if (!g_counting || !address) return;
    for (std::size_t probe = 0, slot = slotOf(address); probe < kProbes; ++probe, slot = (slot + 1) & (kSlots - 1))
        if (g_blocks[slot].address == address) {
            g_current -= std::int64_t(g_blocks[slot].size);
            // A freed slot stays taken, with nothing more to take off, so that the blocks after it are still found.
            g_blocks[slot] = {kFreed, 0};
            return;
        }
}

bool hooksInstalled() {
    static const bool installed =
        __sanitizer_install_malloc_and_free_hooks && __sanitizer_install_malloc_and_free_hooks(allocated, freed) != 0;
    return installed;
}

// While it lives, the bytes allocated and not freed again are counted, and the most held at once.
class Counting {
public:
    Counting() : m_on(hooksInstalled()) {
        g_current = g_peak = 0;
        g_counting = m_on;
    }
    ~Counting() { stop(); }
    Counting(const Counting&) = delete;
    Counting& operator=(const Counting&) = delete;

    // The most held at once since the start; nothing without the hooks.
    std::optional<std::int64_t> stop() {
        if (!m_on) return std::nullopt;
        g_counting = m_on = false;
        for (std::size_t k = 0; k < g_usedCount; ++k) g_blocks[g_used[k]] = {};
        g_usedCount = 0;
        return g_peak;
    }

private:
    bool m_on;
};

// ---- the workbook

// The parts of a workbook, in the order an input gives them when it is not an archive itself.
constexpr std::array<const char*, 5> kParts = {"xl/workbook.xml", "xl/_rels/workbook.xml.rels",
                                               "xl/worksheets/sheet1.xml", "xl/sharedStrings.xml", "xl/styles.xml"};

// The parts packed into a zip archive as a spreadsheet writes it (deflated); an empty part is left out.
std::string archiveOf(const std::vector<std::string_view>& parts) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(target);
    zip_t* zip = zip_open_from_source(target, ZIP_TRUNCATE, &error);
    for (std::size_t k = 0; k < parts.size(); ++k) {
        if (parts[k].empty()) continue;
        zip_source_t* part = zip_source_buffer(zip, parts[k].data(), parts[k].size(), 0);
        zip_file_add(zip, kParts[k], part, ZIP_FL_OVERWRITE);
    }
    zip_close(zip);
    std::string bytes;
    if (zip_source_open(target) == 0) {
        char chunk[4096];
        for (zip_int64_t read; (read = zip_source_read(target, chunk, sizeof chunk)) > 0;)
            bytes.append(chunk, std::size_t(read));
        zip_source_close(target);
    }
    zip_source_free(target);
    zip_error_fini(&error);
    return bytes;
}

// What the reader may hold at once, for a file of this size: 1 MiB and 200 times the file's size are all its parts
// may unpack to, and what is made of them a bounded multiple: a part's text, its XML tree (a node of 64 bytes for
// as little as two or three bytes of text, some 26 times the text), the shared texts, the grid's cells (at most 96
// bytes for the 15 of the shortest cell) and their texts. Workbooks that spreadsheets write hold about a tenth of the
// unpacking bound, the inputs found so far at most 1.2 times.
constexpr std::int64_t kHeldPerUnpacked = 40;

std::int64_t heldBound(std::size_t fileSize) {
    return kHeldPerUnpacked * (std::int64_t(1) << 20) + kHeldPerUnpacked * 200 * std::int64_t(fileSize);
}

constexpr std::size_t kLastRow = 1048576;
constexpr std::size_t kLastColumn = 16384;

void checkPlace(const ExchangeError& refusal) {
    TESSARO_FUZZ_EXPECT(
        refusal.line() >= 1 && refusal.line() <= kLastRow && refusal.column() >= 1 && refusal.column() <= kLastColumn,
        std::string("refused at no place of a sheet: ") + refusal.what());
}

void checkSheet(const TextGrid& grid) {
    for (const GridRow& row : grid.rows) {
        TESSARO_FUZZ_EXPECT(row.line >= 1 && row.line <= kLastRow && !row.cells.empty(),
                            "a row at " + std::to_string(row.line) + " of " + std::to_string(row.cells.size()));
        std::size_t column = 0;
        for (const GridCell& cell : row.cells) {
            TESSARO_FUZZ_EXPECT(cell.column > column && cell.column <= kLastColumn && cell.line == row.line,
                                "a cell at " + std::to_string(cell.line) + ":" + std::to_string(cell.column));
            column = cell.column;
            TESSARO_FUZZ_EXPECT(
                !cell.text.empty() && cell.text.find('\0') == std::string::npos && isValidUtf8(cell.text),
                "the cell text " + printable(cell.text));
        }
    }
}

// The sheet's table imported as each table would be: any refusal is at a place of the sheet.
void importEach(const TextGrid& grid) {
    const auto refusedAtItsPlace = [](auto import) {
        try {
            import();
        } catch (const ExchangeError& refusal) {
            checkPlace(refusal);
        }
    };
    refusedAtItsPlace([&] { importFrameRows(grid); });
    refusedAtItsPlace([&] { importGroupRows(grid); });
    refusedAtItsPlace([&] { importDefinitionRows(grid, 4); });
}

}  // namespace

void workbook(std::string_view input) {
    // The module of the workbook's libraries is loaded once, before anything is counted.
    static const bool loaded = [] {
        try {
            readWorkbookSheet("", "frames");
        } catch (const Error&) {
        }
        return true;
    }();
    (void)loaded;
    const std::string bytes =
        input.starts_with("PK") ? std::string(input) : archiveOf(splitInput(input, kParts.size()));
    for (const char* sheet : {"frames", "groups", "definitions"}) {
        TextGrid grid;
        bool read = false;
        Counting counting;
        try {
            grid = readWorkbookSheet(bytes, sheet);
            read = true;
        } catch (const ExchangeError& refusal) {
            checkPlace(refusal);
        } catch (const Error& refusal) {
            TESSARO_FUZZ_EXPECT(*refusal.what() != '\0', "a refusal without a message");
        }
        // Refused or not, the reading held no more than the file's size allows.
        if (const std::optional<std::int64_t> peak = counting.stop())
            TESSARO_FUZZ_EXPECT(*peak <= heldBound(bytes.size()),
                                std::to_string(*peak) + " bytes held for a file of " + std::to_string(bytes.size()));
        if (!read) continue;
        checkSheet(grid);
        importEach(grid);
    }
}

}  // namespace tessaro::fuzz
