#include "backups.h"

#include "date_stamp.h"
#include "stale_temporaries.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <system_error>

namespace plexmoor::ops {
namespace {

constexpr uint32_t kEraseBlock = 0x10000;
constexpr uint32_t kChunk = 4096;
constexpr std::string_view kBackupPrefix = "backup-";
constexpr std::string_view kBackupSuffix = ".bin";
constexpr int kNameTries = 100;

// A bridge's serial as a part of a file name: letters, digits, '_'.
std::string NamePart(const std::string& text) {
    std::string out;
    for (char c : text)
        out += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return out;
}

} // namespace

std::optional<BlockRange> ErasedBlocks(int32_t address, int64_t length, uint64_t chip_size) {
    if (address < 0 || length <= 0) return std::nullopt;
    const uint64_t touched = (static_cast<uint64_t>(length) + kChunk - 1) / kChunk * kChunk;
    BlockRange r;
    r.first = static_cast<uint32_t>(address) / kEraseBlock * kEraseBlock;
    r.end =
        (static_cast<uint64_t>(address) + touched + kEraseBlock - 1) / kEraseBlock * kEraseBlock;
    // Past the chip's end the run is refused anyway; the backup keeps to it.
    if (chip_size != 0) r.end = std::min(r.end, chip_size);
    if (r.end <= r.first) return std::nullopt;
    return r;
}

std::string BackupPath(const std::string& folder, const std::string& bridge, const Chip& chip,
                       BlockRange range) {
    char span[32];
    std::snprintf(span, sizeof span, "%08X-%08X", static_cast<unsigned>(range.first),
                  static_cast<unsigned>(range.end - 1));
    const std::string id = chip.answered() ? chip.idText("") : "unknown";
    std::string name(kBackupPrefix);
    if (!bridge.empty()) name += NamePart(bridge) + "-";
    name += id + "-" + zintra::DateStamp();
    // Two backups of one board within a second get names of their own: the
    // library never writes over an earlier backup.
    std::string path;
    for (int n = 1; n <= kNameTries; ++n) {
        const std::string count = n == 1 ? "" : "-" + std::to_string(n);
        path = (std::filesystem::path(folder) /
                (name + count + "-" + span + std::string(kBackupSuffix)))
                   .string();
        std::error_code ec;
        if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) break;
    }
    return path;
}

std::vector<std::string> PruneBackups(const std::string& backup, int keep) {
    namespace fs = std::filesystem;
    std::vector<std::string> removed;
    const fs::path path(backup);
    const std::string name = path.filename().string();
    // The name up to its date: backup-<bridge>-<ID>- (BackupPath).
    static const std::regex kDated(
        R"(^(.*-)[0-9]{8}-[0-9]{6}(-[0-9]+)?-[0-9A-F]{8}-[0-9A-F]{8}\.bin$)");
    std::smatch m;
    if (keep <= 0 || !std::regex_match(name, m, kDated)) return removed;
    const std::string same = m[1].str();
    struct Found {
        fs::file_time_type time;
        std::string name;
        fs::path path;
    };
    std::vector<Found> found;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(path.parent_path(), ec)) {
        const std::string other = e.path().filename().string();
        std::smatch o;
        if (!e.is_regular_file(ec) || !std::regex_match(other, o, kDated) || o[1].str() != same)
            continue;
        found.push_back({e.last_write_time(ec), other, e.path()});
    }
    if (found.size() <= static_cast<std::size_t>(keep)) return removed;
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.time != b.time ? a.time < b.time : a.name < b.name;
    });
    for (std::size_t i = 0; i + static_cast<std::size_t>(keep) < found.size(); ++i)
        if (found[i].name != name && fs::remove(found[i].path, ec))
            removed.push_back(found[i].path.string());
    return removed;
}

std::optional<BlockRange> BackupRange(const std::string& path) {
    static const std::regex kName(R"(-([0-9A-F]{8})-([0-9A-F]{8})\.bin$)");
    std::smatch m;
    const std::string name = std::filesystem::path(path).filename().string();
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!std::regex_search(name, m, kName) || ec) return std::nullopt;
    const unsigned long first = std::stoul(m[1].str(), nullptr, 16);
    const unsigned long last = std::stoul(m[2].str(), nullptr, 16);
    if (last < first || last - first + 1 != size || first > 0x7FFFFFFFul) return std::nullopt;
    return BlockRange{static_cast<uint32_t>(first), uint64_t{last} + 1};
}

bool BackUp(Session& session, const std::string& path, int32_t first, int64_t length,
            RunView& view) {
    // A backup killed mid-run left its temporary file beside the backups.
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    zintra::RemoveStaleTemporaries(folder, kBackupPrefix, kBackupSuffix);
    view.backingUp(first, length);
    return session.zintra().ZintraBackupFlash(path, first, static_cast<int32_t>(length)) != 0;
}

} // namespace plexmoor::ops
