#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tessaro::fuzz {

// An input that breaks an invariant of a target. The fuzzer's entry stops the run on it (so that the input is kept
// as a finding); the replay test throws BrokenInvariant and fails the case.
[[noreturn]] void reportBrokenInvariant(const std::string& what);

class BrokenInvariant : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// The message is built only when the condition does not hold.
#define TESSARO_FUZZ_EXPECT(condition, what)                                                               \
    do {                                                                                                   \
        if (!(condition)) ::tessaro::fuzz::reportBrokenInvariant(std::string(#condition) + ": " + (what)); \
    } while (0)

// Bytes as a C string literal would show them, for messages.
std::string printable(std::string_view bytes);

// One folder below the temporary folder per process, removed at its end: the readers take paths, and a folder per
// input would cost more than the reading.
const std::string& scratchFolder();
// Writes bytes to scratch folder/name (replacing it); the path.
std::string writeScratchFile(std::string_view name, std::string_view bytes);
// Writes bytes there, or removes the file when bytes is empty, so that an empty part stands for a missing document.
std::string placeScratchFile(std::string_view name, std::string_view bytes);

// The separator of the targets that take several documents from one input.
inline constexpr std::string_view kPartSeparator = "\n====\n";
// The input cut at the first count - 1 separators; parts that are not there are empty.
std::vector<std::string_view> splitInput(std::string_view input, std::size_t count);

}  // namespace tessaro::fuzz
