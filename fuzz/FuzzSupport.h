#pragma once

// What every fuzz target shares: the entry points, a process set up like a host's (a Qt
// application, a private Windows directory), a way to cut one input into fields, and checks
// that stop the run with a message when a property of the code under test does not hold.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace tarv::fuzz {

// A Qt application (with a GUI on the offscreen platform when the target draws) and
// $TARV_WINDIR in a temporary folder that lives as long as the process, so that no target
// ever reads or writes the user's files or registry store.
void setUpProcess(int* argc, char*** argv, bool gui);
// The private Windows directory.
QString windowsDirectory();

// The input cut at NUL bytes into at most `count` fields; missing fields are empty and the
// last field takes the rest of the input, NULs included.
std::vector<QByteArray> fields(const uint8_t* data, size_t size, size_t count);

[[noreturn]] inline void fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, what);
    std::abort();
}

} // namespace tarv::fuzz

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::tarv::fuzz::fail(#condition, __FILE__, __LINE__);                                    \
    } while (false)
