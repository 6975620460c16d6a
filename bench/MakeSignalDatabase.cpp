// Writes the signal database of the largest project, for timing tessaro-cli map with it:
//   make_signal_database FILE [MESSAGES]   (default 2000 messages)
#include <cstdio>
#include <string>

#include "LargeSignalDatabase.h"
#include "core/documents/AtomicFile.h"
#include "core/documents/Errors.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: make_signal_database FILE [MESSAGES]\n");
        return 2;
    }
    const int messages = argc == 3 ? std::stoi(argv[2]) : 2000;
    try {
        tessaro::replaceFile(argv[1], tessaro::bench::largestProjectDatabase(messages));
    } catch (const tessaro::Error& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return 1;
    }
    return 0;
}
