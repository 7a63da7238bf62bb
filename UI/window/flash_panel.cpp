// The flash panel: Init and Uninit, Flash with its progress tick and the
// locked buttons, the progress bar and Stop, and the debug write. What
// touches the board is the operations' (operations/); here the boxes become
// a request and the outcome is shown.
#include "flash_form.h"

#include "control_table.h"
#include "data_folder.h"
#include "numbers.h"
#include "os.h"
#include "operation_texts.h"
#include "program_image.h"
#include "recover.h"
#include "text_functions.h"
#include "texts.h"
#include "zintra.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <utility>

namespace plexmoor {
namespace {

// The window's configuration as the station's boards take it.
constexpr const char* kStationSettings = "station.ini";
// The chip line: from under Flash to the frame's edge, or after the bridges.
constexpr int kChipLeft = 1800;
constexpr int kChipRight = 8850;
constexpr int kChipGap = 150;

} // namespace

// What the flash panel shows while an operation holds the board: the
// caption, the locked buttons, the timer, Stop and the bar.
class FlashForm::RunPanel : public ops::RunView {
  public:
    explicit RunPanel(FlashForm& form) : form_(form) {}

    void starting(ops::Phase phase) override {
        if (phase == ops::Phase::Setting) return form_.ShowCaption(text::kFlashStart);
        form_.ShowCaption(text::kRunning);
        form_.services_.processEvents();
    }
    void locked(int32_t start, int64_t length) override {
        form_.run_locked_ = true;
        form_.st_.lFlashLen = length;
        form_.control(C::Timer1).setEnabled(true);
        for (C name : kLockedButtons)
            form_.control(name).setEnabled(false);
        for (C name : kLockedAdditions)
            form_.control(name).setEnabled(false);
        form_.startProgress(start, length);
        // Stop reaches the backup as well; a stop there ends the run before
        // anything on the board is erased.
        form_.control(C::btnStop).setEnabled(true);
    }
    void backingUp(int32_t first, int64_t length) override {
        form_.startBackupProgress(first, length);
    }
    void programming() override { form_.beginProgramming(); }
    void unlocked() override {
        form_.control(C::btnStop).setEnabled(false);
        // A waiting close is asked for again now; it is carried out once
        // the handler has shown the outcome.
        form_.finishFlashOperation();
        for (C name : kUnlockOrder)
            form_.control(name).setEnabled(true);
        for (C name : kLockedAdditions)
            form_.control(name).setEnabled(true);
    }

  private:
    FlashForm& form_;
};

FlashForm::~FlashForm() = default;

ops::RunView& FlashForm::runPanel() {
    if (!run_panel_) run_panel_ = std::make_unique<RunPanel>(*this);
    return *run_panel_;
}

void FlashForm::Command2_Click(const EventArgs&) {
    ops::Board& board = session_.board();
    if (board.busy()) return;
    Control& button = control(C::Command2);
    if (st_.bInit) {
        board.close();
        button.setCaption(std::string(text::kInitAfterClose));
        st_.bInit = false;
        control(C::lblChip).setCaption("");
        return;
    }
    // Asked before the board is opened, so nothing of this Init's comes
    // between the interrupted write and its repair.
    const std::optional<RecoveryCopy> recovery = askRecovery();
    const int chosen = control(C::cmbBridge).listIndex();
    if (chosen >= 0) board.chooseIndex(static_cast<std::size_t>(chosen));
    st_.bInit = board.open();
    if (st_.bInit) {
        button.setCaption(std::string(text::kUninit));
        showChip();
    }
    if (recovery) writeBackRecovery(*recovery);
}

std::optional<RecoveryCopy> FlashForm::askRecovery() {
    // Only the window's own session offers copies; a front end that tells
    // them its own way does.
    if (!own_session_) return std::nullopt;
    std::optional<RecoveryCopy> copy = FindRecoveryCopy(zintra());
    // A copy whose name gives no block cannot be put back by this window.
    if (!copy || copy->address < 0) return std::nullopt;
    if (services_.messageBox(RecoveryText(text::kRecoveryAsk, *copy), Buttons::YesNo) !=
        Answer::Yes)
        return std::nullopt;
    return copy;
}

// In the exact mode, which reads every page back, and onto the copy's own
// board only; a board that did not open keeps the copy.
void FlashForm::writeBackRecovery(const RecoveryCopy& copy) {
    if (!openRecord()) {
        message(RecoveryText(text::kRecoveryNotWritten, copy));
        return;
    }
    const ops::Outcome outcome = ops::Recover(session_, copy, false, runPanel());
    showRunOutcome(outcome);
    message(outcome.summary);
    showOutcome(text::kOperationRecover, outcome);
}

// A station with one bridge sees no choice and opens it as before.
void FlashForm::listBridges() {
    Control& list = control(C::cmbBridge);
    list.clear();
    for (const Bridge& bridge : session_.board().listBridges())
        list.addItem(bridge.serial + " " + bridge.description);
    if (!session_.board().bridges().empty()) list.setListIndex(0);
    const bool choice = session_.board().bridges().size() > 1;
    list.setVisible(choice);
    // The chip line takes the row where no choice is shown.
    Control& chip = control(C::lblChip);
    const int left = choice ? list.left() + list.width() + kChipGap : kChipLeft;
    chip.move(left, chip.top());
    chip.resize(kChipRight - left, chip.height());
}

// ---------------------------------------------------------------------------
// The result line: how the last operation ended, when, what it said.

void FlashForm::showResult(std::string_view line) {
    const std::tm now = os::local_time(std::time(nullptr));
    char when[16];
    std::strftime(when, sizeof when, "%H:%M:%S", &now);
    control(C::lblResult).setCaption(std::string(when) + "  " + std::string(line));
}

void FlashForm::showOutcome(std::string_view operation, const ops::Outcome& outcome) {
    std::string_view how = text::kResultRefused;
    switch (outcome.result) {
    case ops::Result::Done:
        how = text::kResultDone;
        break;
    case ops::Result::Failed:
        how = text::kResultFailed;
        break;
    case ops::Result::Stopped:
        how = text::kResultStopped;
        break;
    case ops::Result::Refused:
        break;
    }
    const std::string said = outcome.ok() ? outcome.summary : outcome.reason();
    showResult(std::string(operation) + ": " + std::string(how) + (said.empty() ? "" : ", " + said));
}

// Ready for an operation on the board; a refusal is the result line's too.
bool FlashForm::boardReadyFor(std::string_view operation) {
    const std::size_t mark = session_.transcript().mark();
    if (ops::BoardReady(session_)) return true;
    ops::Outcome refused;
    refused.messages = session_.transcript().since(mark);
    if (!refused.messages.empty()) showOutcome(operation, refused);
    return false;
}

void FlashForm::Command3_Click(const EventArgs&) {
    if (!boardReadyFor(text::kOperationFlash)) return;
    std::optional<int32_t> address = startAddress();
    if (!address || !openRecord()) return;
    ops::FlashRequest r;
    r.image = control(C::txtPath).text();
    r.address = *address;
    r.fast = control(C::chkFast).value() == 1;
    r.clock_mhz = fastClockMhz();
    r.back_up = control(C::chkBackup).value() == 1;
    r.backup_folder = backupFolder();
    const ops::Outcome outcome = ops::Flash(session_, r, runPanel());
    showRunOutcome(outcome);
    showOutcome(text::kOperationFlash, outcome);
}

// The caption and the bar of a run that held the panel; a run refused
// before, or ended at a missing file, leaves them as they are.
void FlashForm::showRunOutcome(const ops::Outcome& outcome) {
    const bool locked = std::exchange(run_locked_, false);
    finishFlashOperation();
    if (!locked) return;
    ShowCaption(outcome.ok() ? text::kFlashComplete : text::kFlashError);
    control(C::Timer1).setEnabled(false);
    endProgress(outcome.ok());
}

void FlashForm::Timer1_Timer(const EventArgs&) {
    int32_t progress = zintra().GetFlashProgress();
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

// The station runs the bridges through workers of its own, which open them:
// this window lets go of its bridge first.
void FlashForm::btnStation_Click(const EventArgs&) {
    if (session_.board().busy()) return;
    if (st_.bInit) controls_.raise(control(C::Command2), Event::Click);
    StationSetup setup;
    setup.image = control(C::txtPath).text();
    setup.config = (std::filesystem::path(DataFolder(services_.programFolder())) /
                    kStationSettings)
                       .string();
    setup.record = Trim(control(C::txtRecord).text());
    setup.cli = (std::filesystem::path(services_.programFolder()) /
                 os::program_file(text::kCommandLineProgram))
                    .string();
    setup.fast = control(C::chkFast).value() == 1;
    setup.clock_mhz = fastClockMhz();
    if (const std::optional<std::string> why = ops::BridgesForWorkers(zintra(), setup.bridges))
        setup.refused = *why;
    // What the window holds now is what the boards get.
    if (!StoreEdits()) return;
    const std::size_t told = session_.transcript().count();
    SaveINI(setup.config);
    if (session_.transcript().count() != told) return;
    if (!services_.showStation(setup)) message(text::kNoStationHere);
}

void FlashForm::btnStop_Click(const EventArgs&) {
    session_.requestStop();
}

void FlashForm::Command4_Click(const EventArgs&) {
    ops::Board& board = session_.board();
    if (board.busy()) return;
    std::optional<int32_t> address = startAddress();
    if (!address) return;
    board.setBusy(true);
    zintra().SetupWriteParameter(*address, control(C::txtPath2).text());
    control(C::btnStop).setEnabled(true);
    zintra().ZintraAction(ZINTRA_PROGRAM_FLASH, control(C::chkIgnore).value() == 1 ? 1 : 0, 0, 0);
    control(C::btnStop).setEnabled(false);
    board.setBusy(false);
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

// The clock chosen under the fast mode's check box.
int32_t FlashForm::fastClockMhz() {
    const int clock = control(C::cmbClock).listIndex();
    return clock >= 0 && clock < static_cast<int>(kFastClocks.size())
               ? kFastClocks[static_cast<std::size_t>(clock)].mhz
               : 0;
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
    if (session_.stopAsked() && !ok) {
        if (progress_.backup_length > 0) {
            label.setCaption(std::string(text::kStoppedInBackup) + FormatSeconds(whole));
            return;
        }
        char at[16];
        std::snprintf(at, sizeof at, "%08x", static_cast<unsigned>(zintra().GetFlashProgress()));
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
    if (close_deferred_ && !session_.board().busy()) {
        close_deferred_ = false;
        services_.requestClose();
    }
}

} // namespace plexmoor
