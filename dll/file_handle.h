// A C file closed on every way out of the function that opened it.
#pragma once

#include <cstdio>
#include <memory>

namespace zintra {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Opens `path` for binary reading; empty for a null path or a failed open.
inline File open_read(const char* path) {
    return File(path ? std::fopen(path, "rb") : nullptr);
}

} // namespace zintra
