// Not a test: saves one generation of a frame table after the other until it is killed (InterruptedSaveTest). It
// says "saved GENERATION\n" on its standard output after each save that returned. Given a pause, it stops inside
// the save of that generation once the temporary file holds the first BYTES bytes, says "writing GENERATION\n"
// and waits there to be killed.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/documents/AtomicFile.h"
#include "support/SaveGenerations.h"

namespace {

std::uint64_t g_generation = 0;

bool report(const char* what, std::uint64_t generation) {
    const std::string line = std::string(what) + " " + std::to_string(generation) + "\n";
    return ::write(STDOUT_FILENO, line.data(), line.size()) == static_cast<ssize_t>(line.size());
}

void waitToBeKilled() {
    report("writing", g_generation);
    for (;;) ::pause();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: tessaro_save_loop DOCUMENT FIRST_GENERATION [PAUSED_GENERATION BYTES]\n");
        return 2;
    }
    const std::string path = argv[1];
    const bool pauses = argc == 5;
    const std::uint64_t paused = pauses ? std::stoull(argv[3]) : 0;
    const std::size_t bytes = pauses ? std::stoull(argv[4]) : 0;
    for (g_generation = std::stoull(argv[2]);; ++g_generation) {
        if (pauses && g_generation == paused) tessaro::setSavePause({bytes, waitToBeKilled});
        tessaro::testing::saveGeneration(path, g_generation);
        if (!report("saved", g_generation)) return 1;
    }
}
