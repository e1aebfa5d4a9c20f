// The page readers take a saved page: each input is written to one
// in-memory file of the process and read back through its /proc path. A file
// on disk would cost a write-out per input (ext4 flushes a file truncated and
// rewritten), more than the reading itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

inline const std::string& FuzzPage(const std::uint8_t* data, std::size_t size)
{
    static const int fd = memfd_create("mirelo-fuzz-page", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ftruncate(fd, 0) != 0)
        std::abort();
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (n <= 0)
            std::abort();
        done += static_cast<std::size_t>(n);
    }
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
