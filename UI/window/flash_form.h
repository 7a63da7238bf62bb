// The window "Flash": its state, its procedures and its event handlers, in
// plain C++. A binding mirrors the controls and forwards user events here.
// The members are defined in one file per area of the window:
//   shell.cpp            start-up, caption, products and system versions,
//                        close, event dispatch
//   flash_panel.cpp      Init, Flash, the progress tick and bar, Stop, the
//                        debug write
//   chip_and_backup.cpp  the chip's identity, the backup before writing,
//                        Restore backup
//   firmware_inputs.cpp  FW DIP count, firmware entries, stamps, file
//                        choosers, StoreEdits
//   field_table.cpp      FieldDef
//   settings_file.cpp    SaveINI, LoadIni, ConfDef, Save and Load config
//   transfer.cpp         PackMIBConf
//   packing.cpp          PackFW, Pack from source and from released
//   groups_presets.cpp   group selection, highlight, quick settings, sets
//   read_back.cpp        ShowConf, Load from Flash, Parse Setting
//   serial_numbers.cpp   Generate Serial, Flash Setting
//   record_panel.cpp     the rows of the window's runs in the production
//                        record, History
#pragma once

#include "controls.h"
#include "form_handlers.h"
#include "host_link.h"
#include "production_record.h"
#include "recovery_copy.h"
#include "services.h"
#include "window_state.h"
#include "zintra_link.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plexmoor {

struct GroupPlan;
struct ListRecord;

class FlashForm {
  public:
    explicit FlashForm(Services& services);
    FlashForm(const FlashForm&) = delete;
    FlashForm& operator=(const FlashForm&) = delete;

    ControlSet& controls() { return controls_; }
    Control& control(C id, int index = kNoIndex) { return controls_(id, index); }
    WindowState& state() { return st_; }
    ZintraLink& zintra() { return zintra_; }
    Services& services() { return services_; }

    // Window events. The start-up reads the settings file beside the
    // program; a front end without a window may start from another
    // configuration file instead.
    void Form_Load(const std::string& strCfgPath = "");
    // False when the close has to wait: the library is programming the
    // flash, and ending the program under it would leave the board half
    // written. The close is asked for again when the run has ended.
    bool Form_QueryUnload();
    void Form_Unload();

    // Procedures.
    void ShowCaption(std::string_view strCaption);
    void ShowProductFrames(int product);
    // False when no file was read: a missing user file (after saying so),
    // an unreadable file (likewise), or no settings file.
    bool LoadIni(const std::string& strCfgPath);
    void SaveINI(const std::string& strCfgPath);
    // What LoadIni does once the file is open (none: the defaults only),
    // and the whole file as SaveINI writes it.
    bool LoadIniLines(std::istream* in);
    std::string settingsText();
    void FieldDef();
    void ConfDef();
    // Copies the shown group's boxes and firmware entry into the window
    // state; false, after saying which box, at a box that holds no number.
    bool StoreEdits();
    // The name with its first date-time stamp (six digits, "_", six digits,
    // something after) replaced by stamp; unchanged when it has none.
    static std::string ReplaceStamp(std::string_view name, std::string_view stamp);
    // Hands the system version, every field, the lists, the serial and the
    // file paths to the library; false, after saying why, when it refused
    // (version 1, a serial too long, a value that is no number).
    bool PackMIBConf();
    // Checks, stores, transfers and packs; mode 0 from source, else the
    // product number of a pack from a released image.
    void PackFW(int32_t mode);
    // Groups and presets: the selected group into the boxes; quick setting
    // q into group s (or every group with "All Group"); profile set n.
    void ShowGroup();
    void QuickSet(int32_t q, int32_t s);
    void ApplySet(int32_t n);
    // The library's configuration tables into the window; false, after
    // saying why, when the tables read do not fit the window.
    bool ShowConf();

    // Event handlers, from the one list.
#define PLEXMOOR_DECLARE_HANDLER(control, event) void control##_##event(const EventArgs&);
    PLEXMOOR_FORM_HANDLERS(PLEXMOOR_DECLARE_HANDLER)
#undef PLEXMOOR_DECLARE_HANDLER

    // The handlers by control name and event, in list order.
    static std::vector<std::pair<std::string, Event>> HandlerNames();

    // Where Flash puts the backup of what it will erase: the program's
    // folder, beside the settings file, unless a front end names another.
    void setBackupFolder(std::string folder) {
        backup_folder_ = std::move(folder);
    }
    // The backup the last Flash wrote, empty when it wrote none.
    const std::string& lastBackup() const {
        return last_backup_;
    }

    // The bridge Init opens: the one chosen beside Init, by its serial
    // number; false when no attached bridge has it. The serial chosen,
    // empty where the library cannot list the bridges.
    bool chooseBridge(const std::string& serial);
    std::string chosenBridge() const;
    // Lists the attached bridges beside Init; the start-up does, unless a
    // front end that names its bridge otherwise turned that off.
    void listBridges();
    void setBridgeListAtStart(bool listed) {
        bridges_at_start_ = listed;
    }

    // Init offers the recovery copy an interrupted Flash Setting left (on
    // by default); a front end that tells copies its own way turns it off.
    void setRecoveryOffer(bool offered) {
        recovery_offer_ = offered;
    }
    // Told after a copy was written back on the user's word, whether it went
    // back whole: the seam for the production record.
    void onRecoveryWritten(std::function<void(const RecoveryCopy&, bool written)> told) {
        recovery_written_ = std::move(told);
    }

    // The chip that answered Init, for the production record: its JEDEC ID
    // as "C2 20 15" (empty when none answered) and the size its capacity
    // byte gives (0 when unknown).
    std::string chipIdText() const;
    uint64_t chipSize() const;
    // All ones or all zeros: the bridge answered, the lines to the chip did
    // not carry an answer.
    static bool NoChipAnswered(const std::array<uint8_t, 3>& id);
    // False, told, when Init found no chip behind the bridge.
    bool chipAnswered();
    // Serial numbers: "QV" and today as YYMMDD; the counter of today's
    // serial in the serial box, 0 when it holds none of today.
    std::string serialPrefix();
    int todaysSerialCounter();

    // The production record the window's own runs are written to. A front
    // end that records its commands itself turns the window's rows off.
    ProductionRecord& productionRecord() {
        return record_;
    }
    void recordOwnRuns(bool on) {
        record_own_runs_ = on;
    }
    // What the window and the library told the user: the last text and how
    // many there were, for the message of a run's row.
    void tell(std::string_view text);
    const std::string& lastTold() const {
        return last_told_;
    }
    std::size_t toldCount() const {
        return told_count_;
    }

    // The message number every status caption starts with.
    static constexpr int kMessageNumber = 0;

  private:
    void dispatch(Control& control, Event event, const EventArgs& args);
    void message(std::string_view text) {
        tell(text);
    }
    void noteTold(const std::string& text) {
        last_told_ = text;
        ++told_count_;
    }
    std::string programPath(std::string_view file);
    // The window's own settings file, to read or to write.
    std::string settingsPath(bool for_writing);

    // The window's own runs in the production record: the record opened and
    // a started row before the board is touched (false, told, when the
    // record cannot take it), closed with the outcome.
    bool beginRecord(record::Operation op, const std::string& image = {},
                     std::optional<int32_t> address = {}, bool fast = false);
    void finishRecord(record::Result result, const std::string& serial = {});
    // The record that gives the window's serials, opened; nothing (told)
    // when none can be reached, and null when the user works without one.
    std::optional<ProductionRecord*> serialRecord();

    // Flash panel: the start address box as the library takes it, program
    // flash with the write parameters already set, and the end of a run,
    // where a close that came in meanwhile goes ahead.
    std::optional<int32_t> startAddress();
    int32_t programFlash(int32_t first_byte_check, bool exact = false);
    void finishFlashOperation();
    // True when the library reported the run as done; `exact` keeps to the
    // exact mode whatever chkFast says.
    bool runFlash(const std::string& path, int32_t address, bool back_up, record::Operation op,
                  bool exact = false);
    // Init's offer of a recovery copy: the copy to write back once the board
    // is open, when the user said Yes; then the write-back itself.
    std::optional<RecoveryCopy> askRecovery();
    void writeBackRecovery(const RecoveryCopy& copy);
    // Not in a run, the programmer open and a chip behind it; else told.
    bool boardReady();
    // The progress bar and the time left of the run in progress.
    void startProgress(int32_t start, int64_t length);
    void startBackupProgress(int32_t first, int64_t length);
    void showBackupProgress(int32_t address);
    void beginProgramming();
    void showProgress(int32_t address);
    void endProgress(bool ok);

    // The chip that answered Init: shown, and a missing one refused.
    void readChipIdentity();
    std::string backupFolder();
    bool backUpBeforeWriting(int32_t address, int64_t length);

    // Firmware entries: the boxes into entry iFWIndex, entry k into the boxes.
    void keepShownFirmwareEntry();
    void showFirmwareEntry(int k);

    // Groups: where field p of group g (from 0) lives in lConf under the
    // current N, or nothing outside it; group s (from 1) into the boxes and
    // back.
    std::optional<std::size_t> confIndex(int32_t group, int32_t field) const;
    bool versionKnown() const;
    bool versionHasMemos() const;
    void showGroupBoxes(int32_t s);
    void storeGroupBoxes(int32_t s);
    // The boxes and memo into group iGroupIndex, as a group switch does.
    void storeShownGroup();

    // Presets: whether their stride is the group's, told once an operation;
    // one field of group h at a stride; a bandplan column into group h; a
    // box into every group; sets 6 and 7.
    bool presetStrideFits();
    void tellOnlyVersion3();
    void writePreset(int32_t h, int32_t stride, int32_t field, int32_t value);
    void writeBandplan(int32_t h, std::size_t column);
    void copyBoxToAllGroups(int32_t p);
    void applyBandplanSet(const std::array<GroupPlan, 8>& plans);

    // Read-back: the product number of cmbPrd; table bytes as characters,
    // zero bytes left out; a list's text from its table; whether the
    // version and DIP count read have entries in the window.
    int32_t productNumber();
    std::string readBytes(int32_t table, int32_t at, int32_t count);
    std::string listText(const ListRecord& list);
    bool readBackFits();

    // Packing: the input checks of the system version.
    bool packInputsPass(int32_t mode);

    // Settings file: one line read.
    void applySetting(std::string_view line);

    Services& services_;
    ControlSet controls_;
    WindowState st_;
    ZintraLink zintra_;
    HostLink host_;
    bool flash_busy_ = false;
    bool close_deferred_ = false;
    bool stride_told_ = false;
    enum class ChipState { kUnknown, kAnswered, kNone } chip_ = ChipState::kUnknown;
    std::array<uint8_t, 3> chip_id_{};
    uint64_t chip_size_ = 0;
    std::string backup_folder_;
    std::string last_backup_;
    std::vector<std::string> bridges_; // serial numbers, as cmbBridge lists them
    struct Progress {
        std::chrono::steady_clock::time_point run_started; // the click
        std::chrono::steady_clock::time_point started;     // the writing
        int32_t start = 0;
        int64_t length = 0;
        int permille = 0;
        // While the backup runs: its range and which of its two passes.
        int32_t backup_first = 0;
        int64_t backup_length = 0;
        int backup_pass = 0;
        int32_t backup_last = 0;
    } progress_;
    bool stop_asked_ = false;
    std::string last_status_;
    std::string last_told_;
    std::size_t told_count_ = 0;
    ProductionRecord record_;
    bool record_own_runs_ = true;
    bool recovery_offer_ = true;
    bool bridges_at_start_ = true;
    std::function<void(const RecoveryCopy&, bool)> recovery_written_;
};

} // namespace plexmoor
