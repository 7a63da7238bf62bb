#include "recovery_file.h"

#include "atomic_file.h"
#include "date_stamp.h"
#include "os.h"
#include "stale_temporaries.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace zintra::recovery {
namespace {

namespace fs = std::filesystem;

// Tests point the copies at a folder of their own; the product never sets it.
constexpr const char* kFolderOverride = "ZINTRA_RECOVERY_DIR";
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

// Empty when the system names no folder for a user's state.
fs::path user_folder() {
    const std::string state = os::user_state_folder();
    return state.empty() ? fs::path() : fs::path(state) / kProgramFolder;
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

// The identity of a copy that is gone: a process killed between the two
// removals of discard().
bool is_orphan_identity(const std::string& path) {
    const std::string suffix = std::string(kSuffix) + kIdentitySuffix;
    if (!path.ends_with(suffix)) return false;
    const std::string copy = path.substr(0, path.size() - std::strlen(kIdentitySuffix));
    std::error_code ec;
    return fs::path(copy).filename().string().rfind(kPrefix, 0) == 0 && !fs::exists(copy, ec) &&
           !ec;
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
    // Removed while still held, so no other process takes it on its way out;
    // the copy before its identity, so a copy never outlives the board it
    // names (an identity left alone is swept by waiting()).
    if (!path_.empty()) {
        std::remove(path_.c_str());
        std::remove((path_ + kIdentitySuffix).c_str());
    }
    release();
}

namespace {

// Beside the copy, written whole or not at all; a copy without it opens as
// of a board unknown.
void save_identity(const std::string& copy, const Identity& identity) {
    const std::string text = IdentityText(identity);
    files::AtomicFile file(copy + kIdentitySuffix);
    if (file.status() != files::Outcome::kWritten) return;
    if (file.write({reinterpret_cast<const uint8_t*>(text.data()), text.size()})) file.commit();
}

} // namespace

bool save(uint32_t address, std::span<const uint8_t> bytes, const Identity& identity, Copy& copy) {
    copy.release();
    Saved saved = save_in(library_folder(), address, bytes, copy.path_, copy.held_);
    if (saved == Saved::kFolderRefused) {
        const fs::path user = user_folder();
        std::error_code ec;
        if (user.empty() || (fs::create_directories(user, ec), ec)) return false;
        std::string tried = copy.path_;
        saved = save_in(user, address, bytes, copy.path_, copy.held_);
        if (saved == Saved::kFolderRefused) copy.path_ = tried;
    }
    if (saved != Saved::kYes) return false;
    save_identity(copy.path_, identity);
    return true;
}

std::vector<std::string> waiting() {
    struct Found {
        fs::file_time_type time;
        std::string path;
    };
    std::vector<Found> found;
    for (const fs::path& dir : {library_folder(), user_folder()}) {
        std::error_code ec;
        if (dir.empty()) continue;
        for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
            const std::string path = e.path().string();
            if (is_orphan_identity(path)) std::remove(path.c_str());
            if (!is_copy(e)) continue;
            fs::file_time_type t = e.last_write_time(ec);
            if (!ec) found.push_back({t, path});
        }
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.time != b.time ? a.time < b.time : a.path < b.path;
    });
    std::vector<std::string> out;
    for (const Found& f : found)
        out.push_back(f.path);
    return out;
}

} // namespace zintra::recovery
