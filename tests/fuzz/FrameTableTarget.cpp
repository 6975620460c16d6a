#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "TableChecks.h"
#include "core/editors/FrameTable.h"

namespace tessaro::fuzz {

namespace {

// Two groups, so that stored indexes 1 and 2 show captions and the others "Not In Use".
constexpr std::string_view kGroups =
    "<Group><row Cyclic_Time=\"100\" Mnemonic=\"Fast\"/><row Cyclic_Time=\"1000\" Mnemonic=\"Slow\"/></Group>";

}  // namespace

void frameTable(std::string_view input) {
    static const std::string groupPath = writeScratchFile("Group.xml", kGroups);
    const std::string framePath = writeScratchFile("FrameJ1939.xml", input);

    const auto shownTable = testing::readFrameRows(groupPath, framePath);
    const GroupCaptions& captions = shownTable.read.content;
    TESSARO_FUZZ_EXPECT(captions.size() == kGroupCaptionCount && captions[1] == "G1 100 - Fast",
                        "the captions of Group.xml");
    checkTableLoad(shownTable, kFrameRows, 6);
    if (!shownTable.read.failures.empty()) return;
    checkFrameRows(shownTable.rows);

    // OK writes the used rows, the Group cells as indexes; the next show gives the same cells.
    writeScratchFile("FrameJ1939.xml", frameTableText(captions, shownTable.rows));
    const auto reread = testing::readFrameRows(groupPath, framePath);
    TESSARO_FUZZ_EXPECT(reread.read.failures.empty(),
                        "the written table is refused: " +
                            (reread.read.failures.empty() ? std::string() : reread.read.failures.front()));
    const TableRows used = usedRows(shownTable.rows);
    TESSARO_FUZZ_EXPECT(reread.rows == used, shown(used) + " reads back as " + shown(reread.rows));
}

}  // namespace tessaro::fuzz
