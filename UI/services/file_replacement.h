// Files the window writes are replaced whole or not at all, only where they
// should be, and one writer at a time.
#pragma once

#include "os.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace plexmoor {

// The file a path finally names: a symbolic link is followed to its target
// (which a save replaces, so the link stays a link), however many links
// deep; a path that is no link is itself.
std::string FinalTarget(const std::string& path);

// A file replaced whole or not at all: the new contents go into a temporary
// file beside the target, created exclusively under a name of its own,
// which is renamed over the target once it is complete and on disk. Until
// commit() the target keeps its old contents, so a writer that stops before
// (a crash, a full disk) leaves it whole; a temporary file that was not
// committed is removed with this object. Through a symbolic link the link's
// target is replaced. Refused: an empty path, a target that is not a plain
// file (a folder, a pipe, a device) and one that may not be written.
class FileReplacement {
  public:
    explicit FileReplacement(const std::string& target) : target_(FinalTarget(target)) {}
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;
    ~FileReplacement();

    // False when the target is refused or the temporary file could not be
    // written whole.
    bool write(std::string_view contents);
    // False when nothing was written or the rename failed.
    bool commit();

  private:
    void discard();

    std::string target_;
    std::string temporary_;
};

// An advisory lock on an existing plain file that writers replace
// by rename: every process that reads, changes and saves the file under it
// (plexmoor-cli, Plexmoor's saves) takes its turn. The lock is on the file
// the path names once held, so a waiter that finds the file replaced
// meanwhile locks the new one. Within one process a second lock on a file
// already locked there is granted at once. A missing file or one that is
// not a plain file is not locked (nothing is there to keep).
class FileLock {
  public:
    explicit FileLock(const std::string& path);
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

  private:
    std::intptr_t handle_ = -1;
    os::FileId id_;
};

// write() and commit() in one, under the target's lock.
bool ReplaceFile(const std::string& target, std::string_view contents);

} // namespace plexmoor
