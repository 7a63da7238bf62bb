#include "recovery_file.h"

#include "atomic_file.h"
#include "date_stamp.h"
#include "os.h"
#include "stale_temporaries.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace zintra::recovery {
namespace {

namespace fs = std::filesystem;

// Tests point the copies at a folder of their own; the product never sets it.
constexpr const char* kFolderOverride = "ZINTRA_RECOVERY_DIR";
constexpr const char* kStateHome = "XDG_STATE_HOME";
constexpr const char* kDefaultStateHome = ".local/state";
constexpr const char* kProgramFolder = "plexmoor";
constexpr const char* kPrefix = "zintra-flash-";
constexpr const char* kSuffix = ".bin";
constexpr int kMaxSuffix = 100;

// The folder of this library: Plexmoor loads it from its own folder, and a
// library has no other notion of the program's folder that holds on every
// way it can be loaded.
fs::path library_folder() {
    if (const char* dir = std::getenv(kFolderOverride); dir && *dir) return dir;
    const std::string library = os::module_path(reinterpret_cast<const void*>(&save));
    if (!library.empty()) return fs::path(library).parent_path();
    return fs::current_path();
}

// Empty when neither the state home nor the home folder is known.
fs::path user_folder() {
    if (const char* dir = std::getenv(kStateHome); dir && *dir == '/')
        return fs::path(dir) / kProgramFolder;
    if (const char* home = std::getenv("HOME"); home && *home)
        return fs::path(home) / kDefaultStateHome / kProgramFolder;
    return {};
}

std::string file_name(uint32_t address, int suffix) {
    char name[96];
    const std::string stamp = DateStamp();
    if (suffix == 0)
        std::snprintf(name, sizeof name, "%s%08x-%s%s", kPrefix, address, stamp.c_str(), kSuffix);
    else
        std::snprintf(name, sizeof name, "%s%08x-%s-%d%s", kPrefix, address, stamp.c_str(), suffix,
                      kSuffix);
    return name;
}

enum class Saved { kYes, kFolderRefused, kFailed };

Saved save_in(const fs::path& dir, uint32_t address, std::span<const uint8_t> bytes,
              std::string& path, int& held) {
    RemoveStaleTemporaries(dir, kPrefix, kSuffix);
    for (int suffix = 0; suffix < kMaxSuffix; ++suffix) {
        path = (dir / file_name(address, suffix)).string();
        std::error_code ec;
        if (fs::exists(fs::symlink_status(path, ec))) continue;
        files::AtomicFile file(path);
        // On the disk before the flash is erased, not in a cache a power cut
        // would take along with the block; created here or not at all,
        // never an earlier copy overwritten.
        if (file.status() != files::Outcome::kWritten) return Saved::kFolderRefused;
        if (!file.write(bytes)) return Saved::kFailed;
        held = file.commit_new_held();
        if (held >= 0) return Saved::kYes;
        if (errno != EEXIST) return Saved::kFailed;
    }
    return Saved::kFailed;
}

bool is_copy(const fs::directory_entry& e) {
    const std::string name = e.path().filename().string();
    std::error_code ec;
    return name.rfind(kPrefix, 0) == 0 && name.size() > std::char_traits<char>::length(kSuffix) &&
           name.ends_with(kSuffix) && e.is_regular_file(ec) && !os::file_locked(e.path().string());
}

} // namespace

Copy::~Copy() {
    release();
}

void Copy::release() {
    if (held_ >= 0) ::close(held_);
    held_ = -1;
}

void Copy::discard() {
    // Removed while still held, so no other process takes it on its way out.
    if (!path_.empty()) std::remove(path_.c_str());
    release();
}

bool save(uint32_t address, std::span<const uint8_t> bytes, Copy& copy) {
    copy.release();
    Saved saved = save_in(library_folder(), address, bytes, copy.path_, copy.held_);
    if (saved != Saved::kFolderRefused) return saved == Saved::kYes;
    const fs::path user = user_folder();
    std::error_code ec;
    if (user.empty() || (fs::create_directories(user, ec), ec)) return false;
    std::string tried = copy.path_;
    saved = save_in(user, address, bytes, copy.path_, copy.held_);
    if (saved == Saved::kFolderRefused) copy.path_ = tried;
    return saved == Saved::kYes;
}

std::optional<std::string> oldest() {
    std::optional<std::string> found;
    fs::file_time_type found_time{};
    for (const fs::path& dir : {library_folder(), user_folder()}) {
        std::error_code ec;
        if (dir.empty()) continue;
        for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
            if (!is_copy(e)) continue;
            fs::file_time_type t = e.last_write_time(ec);
            if (ec) continue;
            if (!found || t < found_time || (t == found_time && e.path().string() < *found)) {
                found = e.path().string();
                found_time = t;
            }
        }
    }
    return found;
}

} // namespace zintra::recovery
