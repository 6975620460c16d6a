// libFuzzer's entry for one target, named by TESSARO_FUZZ_TARGET when compiled.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "FuzzSupport.h"
#include "FuzzTargets.h"

namespace tessaro::fuzz {

void reportBrokenInvariant(const std::string& what) {
    std::fprintf(stderr, "==tessaro-fuzz== broken invariant: %s\n", what.c_str());
    std::abort();
}

}  // namespace tessaro::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tessaro::fuzz::TESSARO_FUZZ_TARGET(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
