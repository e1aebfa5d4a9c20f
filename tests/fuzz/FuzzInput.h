// The page readers take a saved page: each input is written to one file of
// the process and read back from there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

inline const std::string& FuzzPage(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = "mirelo-fuzz-" + std::to_string(getpid()) + ".txt";
    static const int removeAtExit = std::atexit([] { std::remove(path.c_str()); });
    (void)removeAtExit;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    if (size && std::fwrite(data, 1, size, f) != size)
        std::abort();
    std::fclose(f);
    return path;
}

// A broken promise of the reader, reported like a sanitizer finding.
#define FUZZ_CHECK(cond)                                                                                             \
    do {                                                                                                             \
        if (!(cond)) {                                                                                               \
            std::fprintf(stderr, "check failed: %s\n", #cond);                                                       \
            std::abort();                                                                                            \
        }                                                                                                            \
    } while (0)
