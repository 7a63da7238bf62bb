#include "recovery_file.h"

#include "date_stamp.h"
#include "os.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace zintra::recovery {
namespace {

// Tests point the copies at a folder of their own; the product never sets it.
constexpr const char* kFolderOverride = "ZINTRA_RECOVERY_DIR";
constexpr int kMaxSuffix = 100;

// The folder of this library: Plexmoor loads it from its own folder, and a
// library has no other notion of the program's folder that holds on every
// way it can be loaded.
std::filesystem::path folder() {
    if (const char* dir = std::getenv(kFolderOverride); dir && *dir) return dir;
    const std::string library = os::module_path(reinterpret_cast<const void*>(&save));
    if (!library.empty()) return std::filesystem::path(library).parent_path();
    return std::filesystem::current_path();
}

std::string file_name(uint32_t address, int suffix) {
    const std::string stamp = DateStamp();
    char name[96];
    if (suffix == 0)
        std::snprintf(name, sizeof name, "zintra-flash-%08x-%s.bin", address, stamp.c_str());
    else
        std::snprintf(name, sizeof name, "zintra-flash-%08x-%s-%d.bin", address, stamp.c_str(),
                      suffix);
    return name;
}

} // namespace

bool save(uint32_t address, std::span<const uint8_t> bytes, std::string& path) {
    const std::filesystem::path dir = folder();
    for (int suffix = 0; suffix < kMaxSuffix; ++suffix) {
        path = (dir / file_name(address, suffix)).string();
        // Created here or not at all, never an earlier copy overwritten.
        std::FILE* f = os::create_new_file(path);
        if (!f && errno == EEXIST) continue;
        if (!f) return false;
        bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        // On the disk before the flash is erased, not in a cache a power
        // cut would take along with the block.
        ok = os::flush_to_disk(f) && ok;
        ok = std::fclose(f) == 0 && ok;
        if (!ok) std::remove(path.c_str());
        return ok;
    }
    return false;
}

void discard(const std::string& path) {
    std::remove(path.c_str());
}

} // namespace zintra::recovery
