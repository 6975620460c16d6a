#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "TableChecks.h"
#include "editors/FrameTable.h"

namespace tessaro::fuzz {

namespace {

// Two groups, so that stored indexes 1 and 2 show captions and the others "Not In Use".
constexpr std::string_view kGroups =
    "<Group><row Cyclic_Time=\"100\" Mnemonic=\"Fast\"/><row Cyclic_Time=\"1000\" Mnemonic=\"Slow\"/></Group>";

}  // namespace

void frameTable(std::string_view input) {
    static const std::string groupPath = writeScratchFile("Group.xml", kGroups);
    const std::string framePath = writeScratchFile("FrameJ1939.xml", input);

    const FrameTableLoad shownTable = loadFrameTable(groupPath, framePath);
    TESSARO_FUZZ_EXPECT(shownTable.captions.size() == kGroupCaptionCount && shownTable.captions[1] == "G1 100 - Fast",
                        "the captions of Group.xml");
    checkTableLoad(shownTable.table, kFrameRows, 6);
    if (shownTable.table.failure) return;
    checkFrameRows(shownTable.table.rows);

    // OK writes the used rows, the Group cells as indexes; the next show gives the same cells.
    writeScratchFile("FrameJ1939.xml", frameTableText(shownTable.captions, shownTable.table.rows));
    const FrameTableLoad reread = loadFrameTable(groupPath, framePath);
    TESSARO_FUZZ_EXPECT(!reread.table.failure, "the written table is refused: " + reread.table.failure.value_or(""));
    const TableRows used = usedRows(shownTable.table.rows);
    TESSARO_FUZZ_EXPECT(reread.table.rows == used, shown(used) + " reads back as " + shown(reread.table.rows));
}

}  // namespace tessaro::fuzz
