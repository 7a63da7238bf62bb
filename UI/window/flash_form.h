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
//   record_panel.cpp     the production record the window's runs go to,
//                        History
// What a button does to the board or a file is an operation of its own
// (operations/), the same for every front end: a handler turns the boxes
// into a request and shows the outcome.
#pragma once

#include "configuration.h"
#include "controls.h"
#include "form_handlers.h"
#include "outcome.h"
#include "recovery_copy.h"
#include "run_view.h"
#include "services.h"
#include "session.h"
#include "window_state.h"
#include "zintra_link.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plexmoor {

struct GroupPlan;
struct ListRecord;

class FlashForm : public ops::Configuration {
  public:
    // A window of its own, with the session of the program's library.
    explicit FlashForm(Services& services);
    // The configuration model of a front end that keeps the session itself
    // (plexmoor-cli, the station).
    explicit FlashForm(ops::Session& session);
    ~FlashForm() override;
    FlashForm(const FlashForm&) = delete;
    FlashForm& operator=(const FlashForm&) = delete;

    ControlSet& controls() { return controls_; }
    Control& control(C id, int index = kNoIndex) { return controls_(id, index); }
    WindowState& state() { return st_; }
    ZintraLink& zintra() { return session_.zintra(); }
    Services& services() { return services_; }
    ops::Session& session() { return session_; }

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
    // product number of a pack from a released image. Then asks whether the
    // flash panel takes the new file, unless a front end without a flash
    // panel says not to. False when nothing was packed.
    bool PackFW(int32_t mode, bool offer_flash_path = true);
    // Groups and presets: the selected group into the boxes; quick setting
    // q into group s (or every group with "All Group"); profile set n.
    void ShowGroup();
    void QuickSet(int32_t q, int32_t s);
    void ApplySet(int32_t n);
    // The library's configuration tables into the window; false, after
    // saying why, when the tables read do not fit the window.
    bool ShowConf();

    // The configuration as the operations take it.
    bool store() override { return StoreEdits(); }
    bool transfer() override { return PackMIBConf(); }
    bool show() override { return ShowConf(); }
    std::string serial() override;
    void setSerial(const std::string& serial) override;
    // The product number of cmbPrd.
    int32_t productNumber() override;
    bool pack(const std::string& out, const std::string& released, bool offer_flash_path) override;

    // Event handlers, from the one list.
#define PLEXMOOR_DECLARE_HANDLER(control, event) void control##_##event(const EventArgs&);
    PLEXMOOR_FORM_HANDLERS(PLEXMOOR_DECLARE_HANDLER)
#undef PLEXMOOR_DECLARE_HANDLER

    // The handlers by control name and event, in list order.
    static std::vector<std::pair<std::string, Event>> HandlerNames();

    // Where Flash puts the backup of what it will erase: the program's
    // folder, beside the settings file.
    std::string backupFolder();

    // Lists the attached bridges beside Init (the start-up does); the one
    // chosen there is the one Init opens.
    void listBridges();

    // The production record of the window's runs, opened where the Record
    // box, the environment or the default names it; false (told) when it
    // cannot be. A read goes on without it, told once.
    bool openRecord();
    void openRecordForRead();
    bool openRecordQuietly(std::string& why);
    // Where the settings name the record: the Record box, beside the settings.
    RecordPlace recordPlace();

    // A message box, noted among what the operations were told.
    void tell(std::string_view text);
    // The result line on the flash panel: how the last operation ended,
    // when and what it said.
    void showResult(std::string_view line);
    void showOutcome(std::string_view operation, const ops::Outcome& outcome);

    // The message number every status caption starts with.
    static constexpr int kMessageNumber = 0;

  private:
    // What the flash panel shows while an operation holds the board.
    class RunPanel;
    ops::RunView& runPanel();
    void dispatch(Control& control, Event event, const EventArgs& args);
    void message(std::string_view text) {
        tell(text);
    }
    std::string programPath(std::string_view file);
    // The window's own settings file, to read or to write.
    std::string settingsPath(bool for_writing);

    // Flash panel: the start address box as the library takes it, program
    // flash of the debug write, the outcome of a run shown, and the end of
    // a run, where a close that came in meanwhile goes ahead.
    std::optional<int32_t> startAddress();
    int32_t fastClockMhz();
    void showRunOutcome(const ops::Outcome& outcome);
    bool boardReadyFor(std::string_view operation);
    void finishFlashOperation();
    // Init's offer of a recovery copy: the copy to write back once the board
    // is open, when the user said Yes; then the write-back itself.
    std::optional<RecoveryCopy> askRecovery();
    void writeBackRecovery(const RecoveryCopy& copy);
    // The progress bar and the time left of the run in progress.
    void startProgress(int32_t start, int64_t length);
    void startBackupProgress(int32_t first, int64_t length);
    void showBackupProgress(int32_t address);
    void beginProgramming();
    void showProgress(int32_t address);
    void endProgress(bool ok);

    // The chip that answered Init, shown.
    void showChip();

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

    // Read-back: table bytes as characters, zero bytes left out; a list's
    // text from its table; whether the version and DIP count read have
    // entries in the window.
    std::string readBytes(int32_t table, int32_t at, int32_t count);
    std::string listText(const ListRecord& list);
    bool readBackFits();

    // Packing: the input checks of the system version; a pack from the
    // released image in txtReSrc.
    bool packInputsPass(int32_t mode);
    bool packReleased(bool offer_flash_path);
    void showPacked(bool packed);

    // Settings file: one line read.
    void applySetting(std::string_view line);

    Services& services_;
    std::unique_ptr<ops::Session> own_session_;
    ops::Session& session_;
    ControlSet controls_;
    WindowState st_;
    std::unique_ptr<ops::RunView> run_panel_;
    bool run_locked_ = false; // the last run locked the panel
    bool close_deferred_ = false;
    bool stride_told_ = false;
    bool record_unreachable_told_ = false;
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
    std::string last_status_;
};

} // namespace plexmoor
