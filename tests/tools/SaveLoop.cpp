// Not a test: saves one generation of a frame table after the other, until it is killed, and says on its standard
// output "GENERATION\n" after each save that returned (InterruptedSaveTest).
#include <unistd.h>

#include <cstdio>
#include <string>

#include "support/SaveGenerations.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tessaro_save_loop DOCUMENT FIRST_GENERATION\n");
        return 2;
    }
    const std::string path = argv[1];
    for (std::uint64_t generation = std::stoull(argv[2]);; ++generation) {
        tessaro::testing::saveGeneration(path, generation);
        const std::string line = std::to_string(generation) + "\n";
        if (::write(STDOUT_FILENO, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return 1;
    }
}
