#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/editors/FrameDefinitions.h"
#include "core/editors/FrameTable.h"
#include "core/editors/GroupTable.h"
#include "core/project/ProjectState.h"

namespace tessaro::testing {

// A project whose documents the editors' own writers wrote, from values a user could type: numbers in every form
// the conversion reads, and mnemonics that a spreadsheet or a CSV file would trip over.
class RandomProject {
public:
    // Without carriage returns in the mnemonics for a trip through a spreadsheet, which keeps a line break in a cell
    // as LF alone.
    explicit RandomProject(std::uint32_t seed, bool carriageReturns = true)
        : m_engine(seed), m_carriageReturns(carriageReturns) {}

    void writeTo(const std::string& folder) {
        const std::size_t groupCount = below(kGroupRows + 1);
        TableRows groups;
        for (std::size_t g = 0; g < groupCount; ++g) groups.push_back({number(1, 65535), mnemonic()});
        saveGroupTable(joinPath(folder, kGroupFileName), groups);

        const GroupCaptions captions = readGroupCaptions(joinPath(folder, kGroupFileName)).content;
        const std::size_t frameCount = below(40);
        TableRows frames;
        for (std::size_t f = 0; f < frameCount; ++f) {
            static const char* const erase[] = {"", "Y", "N"};
            frames.push_back({number(0, 7), number(0, 1), number(0, 65535), captions[below(captions.size())],
                              erase[below(3)], mnemonic()});
        }
        saveFrameTable(joinPath(folder, kFrameTableFileName), captions, frames);

        FrameDefinitions definitions = readFrameDefinitions(joinPath(folder, kFrameTableFileName), {}).content;
        for (std::size_t f = 0; f < definitions.frameCount(); ++f) {
            const std::size_t count = below(4);
            for (std::size_t d = 0; d < count; ++d) {
                DefinitionControls controls;
                controls.index = number(0, 65535);
                controls.deviceId = number(1, 250);
                controls.numberOfPointsPosition = int(below(8));
                controls.kindPosition = int(below(2));
                for (std::size_t r = 0; r < kRegisterSlots; ++r) {
                    controls.high[r] = int(below(9));
                    controls.low[r] = int(below(9));
                }
                definitions.frame(f).definitions.push_back(packDefinition(controls));
            }
        }
        definitions.save(joinPath(folder, kDefinitionsFileName));
    }

    // A value of low..high typed in one of the forms the conversion reads.
    std::string number(std::int32_t low, std::int32_t high) {
        const std::int32_t value = low + std::int32_t(below(std::size_t(high - low) + 1));
        static const char* const prefixes[] = {"$", "x", "X", "0x", "0X"};
        char hex[16];
        std::snprintf(hex, sizeof hex, below(2) ? "%X" : "%x", unsigned(value));
        const std::string blanks(below(5) == 0 ? below(3) + 1 : 0, ' ');
        switch (below(5)) {
            case 0:
                return blanks + "+" + std::to_string(value);
            case 1:
                return blanks + "00" + std::to_string(value);
            case 2:
                return blanks + prefixes[below(5)] + hex;
            default:
                return blanks + std::to_string(value);
        }
    }

    std::string mnemonic() {
        static const char* const pieces[] = {"EEC1",       " lead", "trail ",       "a,b",    "x;y",  "say \"hi\"",
                                             "001",        "$10",   "3/4",          "+4",     "1.50", "Öl °C",
                                             "two\nlines", "=1+1",  "TRUE",         "10%",    "1e3",  "&<>'",
                                             "0x10",       "",      "two\r\nlines", "_x0041_"};
        std::string text;
        for (std::size_t k = below(3); k > 0; --k) text += pieces[below(std::size(pieces))];
        if (!m_carriageReturns) std::erase(text, '\r');
        return text;
    }

private:
    std::size_t below(std::size_t bound) { return std::size_t(m_engine() % bound); }

    std::mt19937 m_engine;
    bool m_carriageReturns;
};

}  // namespace tessaro::testing
