// What a production engineer needs beside the flash panel: which chip
// answered Init (and that none did), a backup of every block a Flash will
// erase, and the restore of such a backup. Each goes without its feature
// where the library lacks the export for it.
#include "flash_form.h"

#include "date_stamp.h"
#include "numbers.h"
#include "stale_temporaries.h"
#include "texts.h"

#include <cstdio>
#include <filesystem>
#include <regex>
#include <system_error>

namespace plexmoor {
namespace {

constexpr uint32_t kEraseBlock = 0x10000;
constexpr uint32_t kChunk = 4096;
constexpr std::string_view kBackupPrefix = "backup-";
constexpr std::string_view kBackupSuffix = ".bin";

std::string IdText(const std::array<uint8_t, 3>& id, const char* between) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02X%s%02X%s%02X", id[0], between, id[1], between, id[2]);
    return buffer;
}

} // namespace

void FlashForm::readChipIdentity() {
    chip_ = ChipState::kUnknown;
    Control& label = control(C::lblChip);
    if (!zintra_.available("ZintraChipId")) {
        label.setCaption("");
        return;
    }
    std::array<uint8_t, 3> id{};
    if (zintra_.ZintraChipId(id.data()) == 0) {
        label.setCaption(std::string(text::kChipIdUnread));
        return;
    }
    chip_id_ = id;
    if (NoChipAnswered(id)) {
        chip_ = ChipState::kNone;
        label.setCaption(std::string(text::kNoChip));
        return;
    }
    chip_ = ChipState::kAnswered;
    // What the part is and how large comes from the library's table of
    // parts, never decoded here a second time.
    std::string family;
    chip_size_ = uint64_t{static_cast<uint32_t>(zintra_.ZintraChipFamily(id.data(), family))} << 10;
    std::string shown = IdText(id, " ");
    if (!family.empty()) shown += ", " + family;
    if (chipSize() != 0) shown += ", " + FormatSize(chipSize());
    label.setCaption(shown);
}

bool FlashForm::NoChipAnswered(const std::array<uint8_t, 3>& id) {
    return id == std::array<uint8_t, 3>{0xFF, 0xFF, 0xFF} ||
           id == std::array<uint8_t, 3>{0x00, 0x00, 0x00};
}

uint64_t FlashForm::chipSize() const {
    return chip_ == ChipState::kAnswered ? chip_size_ : 0;
}

std::string FlashForm::chipIdText() const {
    return chip_ == ChipState::kAnswered ? IdText(chip_id_, " ") : std::string();
}

bool FlashForm::chipAnswered() {
    if (chip_ != ChipState::kNone) return true;
    message(text::kNoChip);
    return false;
}

std::string FlashForm::backupFolder() {
    return backup_folder_.empty() ? services_.programFolder() : backup_folder_;
}

// Program flash erases whole blocks, so the backup holds every block the
// run touches, not only the file's bytes; the run starts only once the
// library has read them twice alike and read the file back whole.
bool FlashForm::backUpBeforeWriting(int32_t address, int64_t length) {
    if (control(C::chkBackup).value() != 1 || !zintra_.available("ZintraBackupFlash")) return true;
    if (address < 0 || length <= 0) return true;
    const uint64_t touched = (static_cast<uint64_t>(length) + kChunk - 1) / kChunk * kChunk;
    const uint64_t first = static_cast<uint64_t>(address) / kEraseBlock * kEraseBlock;
    uint64_t end =
        (static_cast<uint64_t>(address) + touched + kEraseBlock - 1) / kEraseBlock * kEraseBlock;
    // Past the chip's end the run is refused anyway; the backup keeps to it.
    if (chipSize() != 0) end = std::min(end, chipSize());
    if (end <= first) return true;
    char range[32];
    std::snprintf(range, sizeof range, "%08X-%08X", static_cast<unsigned>(first),
                  static_cast<unsigned>(end - 1));
    const std::string id = chip_ == ChipState::kAnswered ? IdText(chip_id_, "") : "unknown";
    const std::string path = (std::filesystem::path(backupFolder()) /
                              (std::string(kBackupPrefix) + id + "-" + zintra::DateStamp() + "-" +
                               range + std::string(kBackupSuffix)))
                                 .string();
    // A backup killed mid-run left its temporary file beside the backups.
    zintra::RemoveStaleTemporaries(backupFolder(), kBackupPrefix, kBackupSuffix);
    startBackupProgress(static_cast<int32_t>(first), static_cast<int64_t>(end - first));
    if (zintra_.ZintraBackupFlash(path, static_cast<int32_t>(first),
                                  static_cast<int32_t>(end - first)) == 0)
        return false;
    last_backup_ = path;
    return true;
}

void FlashForm::btnRestore_Click(const EventArgs&) {
    if (!boardReady()) return;
    const std::string path =
        services_.openFileDialogIn(std::string(text::kBackupFilter), backupFolder());
    if (path.empty()) return;
    // The name records where the bytes came from; a file whose size does
    // not fit its range is no backup of this program's.
    static const std::regex kName(R"(-([0-9A-F]{8})-([0-9A-F]{8})\.bin$)");
    std::smatch m;
    const std::string name = std::filesystem::path(path).filename().string();
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!std::regex_search(name, m, kName) || ec) {
        message(std::string(text::kNotABackup) + path);
        return;
    }
    const unsigned long first = std::stoul(m[1].str(), nullptr, 16);
    const unsigned long last = std::stoul(m[2].str(), nullptr, 16);
    if (last < first || last - first + 1 != size || first > 0x7FFFFFFFul) {
        message(std::string(text::kNotABackup) + path);
        return;
    }
    const std::string chip = control(C::lblChip).caption();
    const std::string question =
        std::string(text::kRestoreAsk) + name + std::string(text::kRestoreToChip) +
        (chip.empty() ? std::string(text::kUnknownChip) : chip) + std::string(text::kRestoreAt) +
        m[1].str() + "-" + m[2].str() + std::string(text::kRestoreEnd);
    if (services_.messageBox(question, Buttons::YesNo) != Answer::Yes) return;
    runFlash(path, static_cast<int32_t>(first), false, record::Operation::Restore);
}

} // namespace plexmoor
