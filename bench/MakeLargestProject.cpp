// Writes the benchmark's largest project into a folder, for timing tessaro-cli on it.
#include <cstdio>
#include <filesystem>

#include "LargeProject.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_largest_project FOLDER\n");
        return 2;
    }
    std::filesystem::create_directories(argv[1]);
    tessaro::bench::writeLargestProject(argv[1]);
    return 0;
}
