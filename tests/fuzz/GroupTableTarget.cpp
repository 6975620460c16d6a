#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "TableChecks.h"
#include "core/documents/NumericText.h"
#include "core/editors/FrameTable.h"
#include "core/editors/GroupTable.h"

namespace tessaro::fuzz {

void groupTable(std::string_view input) {
    const std::string path = writeScratchFile("Group.xml", input);

    const auto table = testing::readGroupRows(path);
    checkTableLoad(table, kGroupRows, 2);
    const ShowRead<GroupCaptions> captionsRead = readGroupCaptions(path);
    const std::optional<std::string> failure =
        captionsRead.failures.empty() ? std::nullopt : std::optional(captionsRead.failures.front());
    const GroupCaptions& captions = captionsRead.content;
    if (!table.read.failures.empty()) {
        // The captions read the same rows, the cyclic time strictly as a number.
        TESSARO_FUZZ_EXPECT(failure, "captions from a table that failed with " + table.read.failures.front());
        return;
    }

    // The frame table's captions: one per group, from its texts, up to the first cyclic time that is no number.
    std::size_t group = 0;
    for (; group < table.rows.size(); ++group) {
        const TableRow& row = table.rows[group];
        const std::optional<std::int32_t> time = tryToInteger(row[GroupColumn::CyclicTime]);
        if (!time) {
            TESSARO_FUZZ_EXPECT(failure == "'" + row[GroupColumn::CyclicTime] +
                                               "' is not a valid integer value\nGroup.xml, row " +
                                               std::to_string(group + 1) + ", attribute Cyclic_Time",
                                failure.value_or("no failure"));
            break;
        }
        const std::string caption =
            "G" + std::to_string(group + 1) + " " + std::to_string(*time) + " - " + row[GroupColumn::Mnemonic];
        TESSARO_FUZZ_EXPECT(group + 1 < captions.size() && captions[group + 1] == caption,
                            "no caption " + printable(caption));
    }
    TESSARO_FUZZ_EXPECT(captions.size() == (failure ? group + 1 : kGroupCaptionCount),
                        std::to_string(captions.size()) + " captions");
    if (!failure)
        for (std::size_t index = group + 1; index < kGroupCaptionCount; ++index)
            TESSARO_FUZZ_EXPECT(captions[index] == "G" + std::to_string(index) + " Not In Use",
                                printable(captions[index]));
    checkGroupRows(table.rows);

    // OK writes the used rows; the next show gives the same cells.
    writeScratchFile("Group.xml", groupTableText(table.rows));
    const auto reread = testing::readGroupRows(path);
    TESSARO_FUZZ_EXPECT(reread.read.failures.empty(),
                        "the written groups are refused: " +
                            (reread.read.failures.empty() ? std::string() : reread.read.failures.front()));
    const TableRows used = usedRows(table.rows);
    TESSARO_FUZZ_EXPECT(reread.rows == used, shown(used) + " reads back as " + shown(reread.rows));
}

}  // namespace tessaro::fuzz
