// The flash panel: Init and Uninit, Flash with its progress tick and the
// locked buttons, the progress bar and Stop, and the debug write.
#include "flash_form.h"

#include "control_table.h"
#include "numbers.h"
#include "text_functions.h"
#include "texts.h"
#include "zintra.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace plexmoor {

void FlashForm::Command2_Click(const EventArgs&) {
    if (flash_busy_) return;
    Control& button = control(C::Command2);
    if (st_.bInit) {
        zintra_.ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
        button.setCaption(std::string(text::kInitAfterClose));
        st_.bInit = false;
        chip_ = ChipState::kUnknown;
        control(C::lblChip).setCaption("");
        return;
    }
    // Asked before the board is opened, so nothing of this Init's comes
    // between the interrupted write and its repair.
    const std::optional<RecoveryCopy> recovery = askRecovery();
    if (!bridges_.empty()) zintra_.ZintraSelectBridge(chosenBridge());
    st_.bInit = zintra_.ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0) != 0;
    zintra_.ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
    st_.bInit = zintra_.ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0) != 0;
    if (st_.bInit) {
        button.setCaption(std::string(text::kUninit));
        readChipIdentity();
    }
    if (recovery) writeBackRecovery(*recovery);
}

std::optional<RecoveryCopy> FlashForm::askRecovery() {
    if (!recovery_offer_) return std::nullopt;
    std::optional<RecoveryCopy> copy = FindRecoveryCopy(zintra_);
    // A copy whose name gives no block cannot be put back by this window.
    if (!copy || copy->address < 0) return std::nullopt;
    if (services_.messageBox(RecoveryText(text::kRecoveryAsk, *copy), Buttons::YesNo) !=
        Answer::Yes)
        return std::nullopt;
    return copy;
}

// In the exact mode, which reads every page back; only a copy that is on
// the board again is removed. A board that did not open keeps the copy.
void FlashForm::writeBackRecovery(const RecoveryCopy& copy) {
    bool written =
        boardReady() && runFlash(copy.path, copy.address, false, record::Operation::Recover, true);
    std::error_code ec;
    if (written) std::filesystem::remove(copy.path, ec);
    if (!written)
        message(RecoveryText(text::kRecoveryNotWritten, copy));
    else
        message(RecoveryText(ec ? text::kRecoveryNotRemoved : text::kRecoveryWritten, copy));
    if (recovery_written_) recovery_written_(copy, written);
}

// A station with one bridge sees no choice and opens it as before.
void FlashForm::listBridges() {
    Control& list = control(C::cmbBridge);
    list.clear();
    bridges_.clear();
    if (zintra_.available("ZintraListBridges"))
        for (const Bridge& bridge : zintra_.ZintraListBridges()) {
            bridges_.push_back(bridge.serial);
            list.addItem(bridge.serial + " " + bridge.description);
        }
    if (!bridges_.empty()) list.setListIndex(0);
    list.setVisible(bridges_.size() > 1);
}

bool FlashForm::chooseBridge(const std::string& serial) {
    for (std::size_t i = 0; i < bridges_.size(); ++i)
        if (bridges_[i] == serial) {
            control(C::cmbBridge).setListIndex(static_cast<int>(i));
            return true;
        }
    return false;
}

std::string FlashForm::chosenBridge() const {
    const int chosen = controls_(C::cmbBridge).listIndex();
    return chosen >= 0 && static_cast<std::size_t>(chosen) < bridges_.size()
               ? bridges_[static_cast<std::size_t>(chosen)]
               : std::string();
}

// A click queued before the buttons were locked must not start a second run
// from inside the first; the rest is told.
bool FlashForm::boardReady() {
    if (flash_busy_) return false;
    if (!st_.bInit) {
        message(text::kPressInitFirst);
        return false;
    }
    return chipAnswered();
}

void FlashForm::Command3_Click(const EventArgs&) {
    if (!boardReady()) return;
    std::optional<int32_t> address = startAddress();
    if (!address) return;
    runFlash(control(C::txtPath).text(), *address, true, record::Operation::Flash);
}

// Flash: the caption, the write parameters, the file, the locks, the
// progress, a backup of what the run will erase, the run and its outcome.
bool FlashForm::runFlash(const std::string& path, int32_t address, bool back_up,
                         record::Operation op, bool exact) {
    // The row of a file that is there is committed before anything else;
    // a missing file is told below, and no board is touched for it.
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec) &&
        !beginRecord(op, path, address, !exact && control(C::chkFast).value() == 1))
        return false;
    flash_busy_ = true;
    last_backup_.clear();
    ShowCaption(text::kRunning);
    services_.processEvents();

    zintra_.SetupWriteParameter(address, path);
    if (!std::filesystem::is_regular_file(path, ec)) {
        message(path + std::string(text::kFileDoesntExist));
        finishFlashOperation();
        return false;
    }
    auto length = std::filesystem::file_size(path, ec);
    st_.lFlashLen = ec ? 0 : static_cast<int64_t>(length);

    control(C::Timer1).setEnabled(true);
    for (C name : kLockedButtons)
        control(name).setEnabled(false);
    for (C name : kLockedAdditions)
        control(name).setEnabled(false);
    startProgress(address, st_.lFlashLen);

    // Stop reaches the backup as well; a stop there ends the run before
    // anything on the board is erased.
    stop_asked_ = false;
    control(C::btnStop).setEnabled(true);
    const bool backed_up = !back_up || backUpBeforeWriting(address, st_.lFlashLen);
    int32_t result = 0;
    if (backed_up && !stop_asked_) {
        beginProgramming();
        result = programFlash(0, exact);
    }
    control(C::btnStop).setEnabled(false);
    // A waiting close is asked for again now; it is carried out once this
    // handler has shown the outcome.
    finishFlashOperation();

    for (C name : kUnlockOrder)
        control(name).setEnabled(true);
    for (C name : kLockedAdditions)
        control(name).setEnabled(true);
    ShowCaption(result != 0 ? text::kFlashComplete : text::kFlashError);
    control(C::Timer1).setEnabled(false);
    endProgress(result != 0);
    finishRecord(result != 0   ? record::Result::Done
                 : stop_asked_ ? record::Result::Stopped
                               : record::Result::Failed);
    return result != 0;
}

void FlashForm::Timer1_Timer(const EventArgs&) {
    int32_t progress = zintra_.GetFlashProgress();
    if (progress_.backup_length > 0) {
        showBackupProgress(progress);
        return;
    }
    if (st_.lFlashLen <= 0) {
        ShowCaption(text::kProgressEmptyFile);
        return;
    }
    // From the run's start, as the bar: a restore from 0x10000 is not
    // shown past 100 %.
    float share =
        static_cast<float>(progress - progress_.start) / static_cast<float>(st_.lFlashLen);
    ShowCaption(std::string(text::kProgressPrefix) + FormatPercent(share));
    showProgress(progress);
}

void FlashForm::btnStop_Click(const EventArgs&) {
    stop_asked_ = true;
    zintra_.ZintraStop();
}

void FlashForm::Command4_Click(const EventArgs&) {
    if (flash_busy_) return;
    std::optional<int32_t> address = startAddress();
    if (!address) return;
    flash_busy_ = true;
    zintra_.SetupWriteParameter(*address, control(C::txtPath2).text());
    control(C::btnStop).setEnabled(true);
    programFlash(control(C::chkIgnore).value() == 1 ? 1 : 0);
    control(C::btnStop).setEnabled(false);
    finishFlashOperation();
}

// The start address as the library takes it; a box that holds no whole
// number in range is reported here and nothing is programmed.
std::optional<int32_t> FlashForm::startAddress() {
    const std::string address_text = control(C::txtAddr).text();
    std::optional<int32_t> address = ParseDecimal32(address_text);
    if (!address) message(std::string(text::kAddressNotNumber) + address_text);
    return address;
}

// The fast mode only where the user chose it, at the clock chosen under it;
// the library's exact mode otherwise, delay for delay.
int32_t FlashForm::programFlash(int32_t first_byte_check, bool exact) {
    const int clock = control(C::cmbClock).listIndex();
    const int32_t mhz = clock >= 0 && clock < static_cast<int>(kFastClocks.size())
                            ? kFastClocks[static_cast<std::size_t>(clock)].mhz
                            : 0;
    if (!exact && control(C::chkFast).value() == 1)
        return zintra_.ZintraProgramFast(first_byte_check, mhz);
    return zintra_.ZintraAction(ZINTRA_PROGRAM_FLASH, first_byte_check, 0, 0);
}

// ---------------------------------------------------------------------------
// Progress a person can read

void FlashForm::startProgress(int32_t start, int64_t length) {
    const auto now = std::chrono::steady_clock::now();
    progress_ = {now, now, start, length};
    control(C::pgbFlash).setValue(0);
    control(C::lblProgress).setCaption("");
}

void FlashForm::startBackupProgress(int32_t first, int64_t length) {
    progress_.backup_first = first;
    progress_.backup_length = length;
    progress_.backup_pass = 0;
    progress_.backup_last = first;
}

// The backup reads its range twice, once to write the file and once to
// compare; the share counts both passes.
void FlashForm::showBackupProgress(int32_t address) {
    Progress& p = progress_;
    if (address < p.backup_last && p.backup_pass == 0) p.backup_pass = 1;
    p.backup_last = address;
    const int64_t done =
        std::clamp<int64_t>(int64_t{address} - p.backup_first, 0, p.backup_length) +
        p.backup_pass * p.backup_length;
    const int permille = static_cast<int>(done * 1000 / (2 * p.backup_length));
    p.permille = std::max(p.permille, permille);
    control(C::pgbFlash).setValue(p.permille);
    control(C::lblProgress)
        .setCaption(std::string(text::kBackingUp) + std::to_string(p.permille / 10) + " %");
}

// The bar and the time left of the writing start again after the backup.
void FlashForm::beginProgramming() {
    progress_.backup_length = 0;
    progress_.started = std::chrono::steady_clock::now();
    progress_.permille = 0;
    control(C::pgbFlash).setValue(0);
    control(C::lblProgress).setCaption("");
}

// From the progress address and the rate so far; never backwards, since the
// address only grows and a shown share is not taken back.
void FlashForm::showProgress(int32_t address) {
    if (progress_.length <= 0) return;
    const int64_t done =
        std::clamp<int64_t>(int64_t{address} - progress_.start, 0, progress_.length);
    progress_.permille =
        std::max(progress_.permille, static_cast<int>(done * 1000 / progress_.length));
    control(C::pgbFlash).setValue(progress_.permille);
    const double spent =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - progress_.started).count();
    if (done <= 0 || spent <= 0) return;
    const double left =
        spent * static_cast<double>(progress_.length - done) / static_cast<double>(done);
    control(C::lblProgress).setCaption(FormatSeconds(left) + std::string(text::kTimeLeft));
}

// What happened, not the last estimate: the time and rate of a finished
// run, where a stopped one stopped.
void FlashForm::endProgress(bool ok) {
    const auto now = std::chrono::steady_clock::now();
    const double spent = std::chrono::duration<double>(now - progress_.started).count();
    const double whole = std::chrono::duration<double>(now - progress_.run_started).count();
    Control& label = control(C::lblProgress);
    if (stop_asked_ && !ok) {
        if (progress_.backup_length > 0) {
            label.setCaption(std::string(text::kStoppedInBackup) + FormatSeconds(whole));
            return;
        }
        char at[16];
        std::snprintf(at, sizeof at, "%08x", static_cast<unsigned>(zintra_.GetFlashProgress()));
        label.setCaption(std::string(text::kStoppedAt) + at + std::string(text::kAfter) +
                         FormatSeconds(whole));
        return;
    }
    if (!ok) {
        label.setCaption("");
        return;
    }
    if (progress_.length <= 0) return;
    control(C::pgbFlash).setValue(1000);
    label.setCaption(FormatTook(spent, progress_.length));
}

void FlashForm::finishFlashOperation() {
    flash_busy_ = false;
    if (close_deferred_) {
        close_deferred_ = false;
        services_.requestClose();
    }
}

} // namespace plexmoor
