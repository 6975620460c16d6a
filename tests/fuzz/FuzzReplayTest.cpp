// Replays every target's seeds and the inputs the fuzzers found (regressions/TARGET), so that the suite checks the
// same invariants without clang.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "core/documents/AtomicFile.h"

namespace tessaro::fuzz {

void reportBrokenInvariant(const std::string& what) {
    throw BrokenInvariant(what);
}

namespace {

const std::filesystem::path kFuzzFolder = TESSARO_FUZZ_FOLDER;

std::vector<std::filesystem::path> inputsIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> inputs;
    if (std::filesystem::is_directory(folder))
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.is_regular_file()) inputs.push_back(entry.path());
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

void replay(const Target& target, const std::filesystem::path& input) {
    SCOPED_TRACE(input.string());
    try {
        target.run(readFile(input.string()));
    } catch (const BrokenInvariant& broken) {
        ADD_FAILURE() << "broken invariant: " << broken.what();
    } catch (const std::exception& escaped) {
        ADD_FAILURE() << "an exception escaped the target: " << escaped.what();
    }
}

}  // namespace

void PrintTo(const Target& target, std::ostream* out) {
    *out << target.name;
}

namespace {

class FuzzReplay : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzReplay, SeedsAndFoundInputsKeepTheInvariants) {
    const std::vector<std::filesystem::path> seeds = inputsIn(kFuzzFolder / GetParam().name);
    EXPECT_GE(seeds.size(), 3u) << "the seed corpus of " << GetParam().name;
    for (const auto& seed : seeds) replay(GetParam(), seed);
    for (const auto& found : inputsIn(kFuzzFolder / "regressions" / GetParam().name)) replay(GetParam(), found);
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<Target>& info) { return std::string(info.param.name); });

// The check itself: a broken invariant fails the replay rather than passing unseen.
TEST(FuzzReplayCheck, ABrokenInvariantIsReported) {
    EXPECT_THROW(TESSARO_FUZZ_EXPECT(1 + 1 == 3, "arithmetic"), BrokenInvariant);
    EXPECT_EQ(printable(std::string_view("a\"\0\xff", 4)), "\"a\\\"\\x00\\xFF\"");
    EXPECT_EQ(splitInput("a\n====\nb\n====\nc", 2), (std::vector<std::string_view>{"a", "b\n====\nc"}));
    EXPECT_EQ(splitInput("a", 3), (std::vector<std::string_view>{"a", "", ""}));
}

}  // namespace
}  // namespace tessaro::fuzz
