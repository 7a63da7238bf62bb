// What every harness shares: a check that stops the run with its reason, a
// folder of its own on a memory file system where there is one, and the
// library's host calls kept quiet.
#pragma once

#include "library_state.h"
#include "wincalls.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "property failed at %s:%d: %s\n", __FILE__, __LINE__,             \
                         #condition);                                                              \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

namespace harness {

// Created once per process; the library's recovery copies go there too.
inline const std::filesystem::path& folder() {
    static const std::filesystem::path dir = [] {
        std::filesystem::path base = std::filesystem::exists("/dev/shm")
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
        std::string templ = (base / "plexmoor-fuzz-XXXXXX").string();
        if (!mkdtemp(templ.data())) std::abort();
        setenv("ZINTRA_RECOVERY_DIR", templ.c_str(), 1);
        return std::filesystem::path(templ);
    }();
    return dir;
}

inline int boxes = 0;

// Message boxes are counted, debug lines dropped.
inline void quiet() {
    WinAttachMessageBox([](void*, const char*, const char*, unsigned) { return ++boxes, IDOK; },
                        nullptr);
    WinAttachDebugOutput([](void*, const char*) {}, nullptr);
}

// The library as it is when loaded, with no device held.
inline void fresh_library() {
    static const zintra::LibraryState* blank = new zintra::LibraryState();
    zintra::state() = *blank;
}

} // namespace harness
