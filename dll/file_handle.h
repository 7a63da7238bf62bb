// A C file closed on every way out of the function that opened it.
#pragma once

#include <cstdio>
#include <memory>

namespace zintra {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Opens `path` for binary reading when it names a regular file (after
// symlinks); empty for a null path, a failed open, or a FIFO, device or
// folder, which are never opened for reading: a FIFO would wait for a
// writer that never comes.
File open_regular(const char* path);

} // namespace zintra
