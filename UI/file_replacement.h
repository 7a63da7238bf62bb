// Files the window writes are replaced whole or not at all.
#pragma once

#include <string>
#include <string_view>

namespace plexmoor {

// A file replaced whole or not at all: the new contents go into a temporary
// file beside the target, which is renamed over the target once it is
// complete and on disk. Until commit() the target keeps its old contents,
// so a writer that stops before (a crash, a full disk) leaves it whole; a
// temporary file that was not committed is removed with this object.
class FileReplacement {
  public:
    explicit FileReplacement(std::string target) : target_(std::move(target)) {}
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;
    ~FileReplacement();

    // False when the temporary file could not be written whole, or when the
    // target exists and may not be written.
    bool write(std::string_view contents);
    // False when nothing was written or the rename failed.
    bool commit();

  private:
    void discard();

    std::string target_;
    std::string temporary_;
};

// write() and commit() in one.
bool ReplaceFile(const std::string& target, std::string_view contents);

} // namespace plexmoor
