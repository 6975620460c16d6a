#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "support/ShowReads.h"

namespace tessaro::testing {

// Full frame tables that differ in every generation, in content and in length, so that any mix of two of them or
// any cut-off one reads as neither: the documents of the save that is killed part-way.

inline std::vector<std::string> generationCaptions() {
    return readGroupCaptions(std::string()).content;
}

inline TableRows generationRows(std::uint64_t generation) {
    const std::vector<std::string> captions = generationCaptions();
    TableRows rows;
    for (std::uint64_t row = 1; row <= kFrameRows; ++row)
        rows.push_back({std::to_string(generation % 8), std::to_string(row % 2),
                        std::to_string((generation * 7 + row) % 65536), captions[(generation + row) % captions.size()],
                        (generation + row) % 2 ? "Y" : "N",
                        "generation " + std::to_string(generation) + std::string(generation % 23, '*')});
    return rows;
}

inline std::string generationText(std::uint64_t generation) {
    return frameTableText(generationCaptions(), generationRows(generation));
}

inline void saveGeneration(const std::string& path, std::uint64_t generation) {
    saveFrameTable(path, generationCaptions(), generationRows(generation));
}

// The generation a frame table read back says it is, or nothing when it is no generation's table.
inline std::optional<std::uint64_t> generationOf(const ReadRows<GroupCaptions>& load) {
    if (!load.read.failures.empty() || load.rows.size() != kFrameRows) return std::nullopt;
    const std::string& mnemonic = load.rows.front()[FrameColumn::Mnemonic];
    const std::string prefix = "generation ";
    if (mnemonic.rfind(prefix, 0) != 0) return std::nullopt;
    const std::size_t end = mnemonic.find('*');
    try {
        return std::stoull(mnemonic.substr(prefix.size(), end == std::string::npos ? end : end - prefix.size()));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace tessaro::testing
