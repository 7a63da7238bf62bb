// Every file the library writes is written through here: into a temporary
// file created exclusively, under a name no other writer can have, beside
// the file it replaces; synced; renamed over it; the folder synced. So the
// target holds its old contents or the new ones, whole, after a crash or a
// power cut at any moment, and a planted file or link is never written.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace zintra::files {

// Why a file could not be written.
enum class Outcome {
    kWritten,
    kEmptyPath,
    kNotRegular, // a FIFO, device or folder: never replaced
    kReadOnly,   // a file the user may not write: left as it is
    kFailed,     // the temporary file could not be made, written, synced or renamed
};

class AtomicFile {
  public:
    // Resolves a symlinked `path` to its final target (the link stays and
    // names the new file) and creates the temporary file beside it, unless
    // the target is refused.
    explicit AtomicFile(const std::string& path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // kWritten while the temporary file is ready, otherwise why not.
    Outcome status() const { return status_; }
    // The file that will be replaced: the path, or its symlink's target.
    const std::string& target() const { return target_; }

    bool write(std::span<const uint8_t> bytes);
    // On the disk, not in a cache a power cut would take along, and read
    // from the start again.
    bool sync();
    bool read(std::span<uint8_t> out);
    // Renames the synced file over the target and syncs the folder.
    bool commit();
    // Gives the synced file the target's name only where no file has it yet;
    // false and nothing changed when one has.
    bool commit_new();
    // As commit_new, and the file stays open under its new name, with the
    // lock its temporary file was created with: the descriptor, for the
    // caller to close once the file may be taken by others; -1 on failure.
    int commit_new_held();

  private:
    bool finish(bool renamed);

    std::string target_;
    std::string temporary_;
    int fd_ = -1;
    Outcome status_ = Outcome::kFailed;
};

// The whole of `bytes` as the new contents of `path`.
Outcome write_file(const std::string& path, std::span<const uint8_t> bytes);

} // namespace zintra::files
