#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "TableChecks.h"
#include "documents/NumericText.h"
#include "editors/FrameTable.h"
#include "editors/GroupTable.h"

namespace tessaro::fuzz {

void groupTable(std::string_view input) {
    const std::string path = writeScratchFile("Group.xml", input);

    const TableLoad table = loadGroupTable(path);
    checkTableLoad(table, kGroupRows, 2);
    const GroupCaptionsLoad captions = loadGroupCaptions(path);
    if (table.failure) {
        // The captions read the same rows, the cyclic time strictly as a number.
        TESSARO_FUZZ_EXPECT(captions.failure, "captions from a table that failed with " + *table.failure);
        return;
    }

    // The frame table's captions: one per group, from its texts, up to the first cyclic time that is no number.
    std::size_t group = 0;
    for (; group < table.rows.size(); ++group) {
        const TableRow& row = table.rows[group];
        const std::optional<std::int32_t> time = tryToInteger(row[GroupColumn::CyclicTime]);
        if (!time) {
            TESSARO_FUZZ_EXPECT(captions.failure == "'" + row[GroupColumn::CyclicTime] +
                                                        "' is not a valid integer value\nGroup.xml, row " +
                                                        std::to_string(group + 1) + ", attribute Cyclic_Time",
                                captions.failure.value_or("no failure"));
            break;
        }
        const std::string caption =
            "G" + std::to_string(group + 1) + " " + std::to_string(*time) + " - " + row[GroupColumn::Mnemonic];
        TESSARO_FUZZ_EXPECT(group + 1 < captions.captions.size() && captions.captions[group + 1] == caption,
                            "no caption " + printable(caption));
    }
    TESSARO_FUZZ_EXPECT(captions.captions.size() == (captions.failure ? group + 1 : kGroupCaptionCount),
                        std::to_string(captions.captions.size()) + " captions");
    if (!captions.failure)
        for (std::size_t index = group + 1; index < kGroupCaptionCount; ++index)
            TESSARO_FUZZ_EXPECT(captions.captions[index] == "G" + std::to_string(index) + " Not In Use",
                                printable(captions.captions[index]));
    checkGroupRows(table.rows);

    // OK writes the used rows; the next show gives the same cells.
    writeScratchFile("Group.xml", groupTableText(table.rows));
    const TableLoad reread = loadGroupTable(path);
    TESSARO_FUZZ_EXPECT(!reread.failure, "the written groups are refused: " + reread.failure.value_or(""));
    const TableRows used = usedRows(table.rows);
    TESSARO_FUZZ_EXPECT(reread.rows == used, shown(used) + " reads back as " + shown(reread.rows));
}

}  // namespace tessaro::fuzz
