#pragma once

// The system's file calls: POSIX where there is unistd.h (TESSARO_POSIX), Win32 otherwise.
#if __has_include(<unistd.h>)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#define TESSARO_POSIX 1
#elif defined(_WIN32)
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif
