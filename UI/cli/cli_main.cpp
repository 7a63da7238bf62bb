// plexmoor-cli: the window's logic without a window, for production lines.
// Each command does what the window's buttons do, through the same
// procedures; message boxes become lines on standard error.
#include "cli_gang.h"
#include "cli_options.h"
#include "cli_services.h"
#include "cli_texts.h"
#include "control_table.h"
#include "file_replacement.h"
#include "flash_form.h"
#include "os.h"
#include "production_record.h"
#include "recovery_copy.h"
#include "texts.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace plexmoor::cli {
namespace {

// Set from a signal handler or, on Windows, the console's own thread.
std::atomic<bool> interrupted = false;
static_assert(std::atomic<bool>::is_always_lock_free);

// Ctrl+C, a closed terminal and a polite kill all end a run where it can
// end without harm: at the next page, never in the middle of one or of a
// file. Output to a closed pipe is only lost; the board's run goes on.
void CatchSignals() {
    os::on_interrupt([] { interrupted = true; });
}

// The outcome of a run that did not complete: stopped when the user asked.
record::Result Unfinished() {
    return interrupted ? record::Result::Stopped : record::Result::Failed;
}

int Fail(const std::string& why) {
    std::fprintf(stderr, "%s: %s\n", std::string(text::kProgram).c_str(), why.c_str());
    return kFailure;
}

// What the logic told: any message box is a failure it reported, an
// unanswered question a usage error.
int Outcome(const CliServices& services) {
    if (services.unansweredQuestion()) return kUsage;
    return services.messages() == 0 ? kSuccess : kFailure;
}

std::string Caption(FlashForm& form) {
    return form.control(C::Flash).caption();
}

bool CaptionSays(FlashForm& form, std::string_view status) {
    const std::string want = std::string(plexmoor::text::kStatusSeparator) + std::string(status) +
                             std::string(plexmoor::text::kStatusJoin);
    return Caption(form).find(want) != std::string::npos;
}

bool StopAsked() {
    return interrupted != 0;
}

bool Init(FlashForm& form) {
    if (form.state().bInit) return true;
    report::Phase(text::kPhaseOpen);
    form.controls().raise(form.control(C::Command2), Event::Click);
    if (form.state().bInit) report::Chip(form);
    return form.state().bInit;
}

// The bridge a board command uses: the one --device names, else the first
// listed; Init opens it and the record names it.
bool ChooseBridge(FlashForm& form, const Options& o) {
    form.listBridges();
    if (!o.device.empty() && !form.chooseBridge(o.device)) {
        Fail(std::string(form.zintra().available("ZintraListBridges") ? text::kBridgeNotChosen
                                                                      : text::kNoBridgeChoice) +
             o.device);
        return false;
    }
    return true;
}

int Pack(FlashForm& form, CliServices& services, const Options& o) {
    form.control(C::txtPath2).setText(o.out);
    services.reset();
    if (!o.released.empty()) {
        form.control(C::txtReSrc).setText(o.released);
        form.controls().raise(form.control(C::btnPackByPack), Event::Click);
    } else {
        form.controls().raise(form.control(C::btnPack), Event::Click);
    }
    const int outcome = Outcome(services);
    if (outcome == kSuccess) std::printf("%s\n", o.out.c_str());
    return outcome;
}

// A board is not written while the copy of a block an interrupted
// configuration write left waits: the copy may hold the only bytes of that
// block outside the configuration.
bool RecoveryCopyWaits(FlashForm& form, const Options& o) {
    if (o.keep_recovery) return false;
    const std::optional<RecoveryCopy> copy = FindRecoveryCopy(form.zintra());
    if (!copy) return false;
    Fail(RecoveryText(text::kRecoveryWaiting, *copy));
    return true;
}

// Ctrl+C asks the library to stop at its next page, again at every pump
// until a run is there to take it: a stop during the backup ends the run
// before anything is erased.
void AskToStop(FlashForm& form, bool& stop_taken, bool& told) {
    if (!interrupted || stop_taken) return;
    stop_taken = form.zintra().ZintraStop() != 0;
    if (!stop_taken && form.zintra().programming() && !told) {
        told = true;
        std::fprintf(stderr, "\n%s\n", std::string(text::kRunGoesOn).c_str());
    }
}

int Program(FlashForm& form, CliServices& services, const Options& o, ProductionRecord& rec) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(o.image, ec);
    if (ec || size == 0) return Fail(o.image + std::string(text::kEmptyImage));
    form.control(C::txtPath).setText(o.image);
    form.control(C::txtAddr).setText(std::to_string(o.address));
    form.control(C::chkFast).setValue(o.fast ? 1 : 0);
    for (std::size_t i = 0; i < kFastClocks.size(); ++i)
        if (kFastClocks[i].mhz == o.clock_mhz)
            form.control(C::cmbClock).setListIndex(static_cast<int>(i));
    // A production line backs boards up only where it asks to, into a
    // folder of its choice.
    form.control(C::chkBackup).setValue(o.backup.empty() ? 0 : 1);
    if (!o.backup.empty()) form.setBackupFolder(o.backup);
    services.reset();
    if (RecoveryCopyWaits(form, o)) return kFailure;
    if (!rec.begin(record::Operation::Program, o.image, o.address, o.fast)) return kFailure;
    if (!Init(form)) {
        rec.finish(record::Result::Failed);
        return kFailure;
    }
    ProgressReport progress(report::Enabled()         ? ProgressStyle::Report
                            : os::is_terminal(stderr) ? ProgressStyle::Bar
                                                      : ProgressStyle::Lines);
    bool started = false, stop_taken = false, told = false;
    services.beforeMessage([&] { progress.breakLine(); });
    services.onPump([&] {
        AskToStop(form, stop_taken, told);
        if (!form.zintra().programming()) return;
        if (!started) {
            started = true;
            report::Phase(text::kPhaseProgram);
            progress.start(static_cast<int64_t>(size));
        }
        // The library's progress is an address; the run counts from its start.
        progress.update(form.zintra().GetFlashProgress() - int64_t{o.address});
    });
    form.controls().raise(form.control(C::Command3), Event::Click);
    services.onPump(nullptr);
    const bool ok = CaptionSays(form, plexmoor::text::kFlashComplete);
    if (started) progress.finish(ok);
    services.beforeMessage(nullptr);
    rec.finish(ok ? record::Result::Done : Unfinished());
    if (!o.backup.empty() && !form.lastBackup().empty())
        std::fprintf(stderr, "%s%s\n", std::string(text::kBackupKept).c_str(),
                     form.lastBackup().c_str());
    if (!ok && services.messages() == 0) return Fail(Caption(form));
    return ok ? kSuccess : kFailure;
}

// The next serial is reserved before the board is written: saved into the
// configuration file, under the lock taken before the file was read, so
// that no other station gets it and a failed save writes nothing. The
// lock is let go before the block is written, which takes a while.
int Serial(FlashForm& form, CliServices& services, const Options& o,
           std::optional<FileLock>& config_lock, ProductionRecord& rec) {
    services.reset();
    if (RecoveryCopyWaits(form, o)) return kFailure;
    // A board without a chip fails before a serial is reserved for it.
    if (!Init(form) || !form.chipAnswered()) {
        if (rec.begin(record::Operation::Serial)) rec.finish(record::Result::Failed);
        return kFailure;
    }
    // With a record the serial is the record's, reserved with its row;
    // without one it is the file's next.
    if (rec.active()) {
        const std::optional<std::string> serial = rec.reserveSerial(form.todaysSerialCounter());
        if (!serial) return kFailure;
        form.control(C::txtSerial).setText(*serial);
    } else {
        form.controls().raise(form.control(C::btnGenerate), Event::Click);
        if (services.messages() != 0) return kFailure;
    }
    form.SaveINI(o.config);
    if (services.messages() != 0) {
        rec.finish(record::Result::Failed);
        return Fail(std::string(text::kSerialNotReserved));
    }
    config_lock.reset();
    if (interrupted) {
        rec.finish(record::Result::Stopped);
        return Fail(std::string(text::kInterruptedBeforeWrite));
    }
    bool told = false;
    report::Phase(text::kPhaseSerial);
    services.onPump([&] {
        if (!interrupted || told) return;
        told = true;
        std::fprintf(stderr, "%s\n", std::string(text::kBlockBeingWritten).c_str());
    });
    form.controls().raise(form.control(C::btnSerial), Event::Click);
    services.onPump(nullptr);
    if (!CaptionSays(form, plexmoor::text::kFlashComplete) || services.messages() != 0) {
        rec.finish(Unfinished());
        return kFailure;
    }
    rec.finish(record::Result::Done);
    if (report::Enabled())
        report::Serial(form.control(C::txtSerial).text());
    else
        std::printf("%s\n", form.control(C::txtSerial).text().c_str());
    return kSuccess;
}

int Read(FlashForm& form, CliServices& services, const Options& o, ProductionRecord& rec) {
    services.reset();
    // Reading writes nothing, so a waiting copy is only told: what the
    // block reads may be the erased remains of an interrupted write.
    if (const std::optional<RecoveryCopy> copy = FindRecoveryCopy(form.zintra()))
        std::fprintf(stderr, "%s\n", RecoveryText(text::kRecoveryNote, *copy).c_str());
    if (!rec.begin(record::Operation::Read)) return kFailure;
    if (!Init(form)) {
        rec.finish(record::Result::Failed);
        return kFailure;
    }
    form.controls().raise(form.control(C::btnLoadFlash), Event::Click);
    const bool ok = Outcome(services) == kSuccess;
    rec.finish(ok ? record::Result::Done : record::Result::Failed,
               ok ? form.control(C::txtSerial).text() : std::string());
    if (!ok) return kFailure;
    form.SaveINI(o.out);
    return Outcome(services);
}

int Parse(FlashForm& form, CliServices& services, const Options& o) {
    form.control(C::txtPath2).setText(o.image);
    services.reset();
    form.controls().raise(form.control(C::cmdParse), Event::Click);
    if (Outcome(services) != kSuccess) return kFailure;
    form.SaveINI(o.out);
    return Outcome(services);
}

// The copy goes back where its name says, in the exact mode, which verifies
// every page; only a copy that is on the board again is removed.
int Recover(FlashForm& form, CliServices& services, ProductionRecord& rec) {
    if (!form.zintra().available("ZintraRecoveryCopy")) return Fail(std::string(text::kNoRecovery));
    const std::optional<RecoveryCopy> copy = FindRecoveryCopy(form.zintra());
    if (!copy) {
        std::printf("%s\n", std::string(text::kNoRecoveryCopy).c_str());
        return kSuccess;
    }
    if (copy->address < 0) return Fail(copy->path + std::string(text::kRecoveryNameUnknown));
    form.control(C::txtPath).setText(copy->path);
    form.control(C::txtAddr).setText(std::to_string(copy->address));
    form.control(C::chkFast).setValue(0);
    form.control(C::chkBackup).setValue(0);
    services.reset();
    if (!rec.begin(record::Operation::Program, copy->path, copy->address, false)) return kFailure;
    if (!Init(form)) {
        rec.finish(record::Result::Failed);
        return kFailure;
    }
    form.controls().raise(form.control(C::Command3), Event::Click);
    const bool ok = CaptionSays(form, plexmoor::text::kFlashComplete);
    rec.finish(ok ? record::Result::Done : Unfinished());
    if (!ok) return Fail(std::string(text::kRecoveryKept) + copy->path);
    std::error_code ec;
    std::filesystem::remove(copy->path, ec);
    if (ec) return Fail(std::string(text::kRecoveryNotRemoved) + copy->path);
    std::printf("%s\n", RecoveryText(text::kRecovered, *copy).c_str());
    return kSuccess;
}

int ShowHistory(ProductionRecord& rec, const Options& o) {
    record::Filter filter;
    filter.serial = o.serial;
    filter.since = o.since;
    filter.station = o.station;
    filter.failed_only = o.failed;
    if (!rec.open(RecordOptions{o.record_url, "", o.no_record})) return kFailure;
    const std::optional<std::string> out = rec.historyText(filter, o.csv    ? HistoryFormat::Csv
                                                                   : o.json ? HistoryFormat::Json
                                                                            : HistoryFormat::Table);
    if (!out) return kFailure;
    std::fwrite(out->data(), 1, out->size(), stdout);
    return kSuccess;
}

int Run(FlashForm& form, CliServices& services, const Options& o,
        std::optional<FileLock>& config_lock, ProductionRecord& rec) {
    switch (o.command) {
    case Command::Pack:
        return Pack(form, services, o);
    case Command::Program:
        return Program(form, services, o, rec);
    case Command::Serial:
        return Serial(form, services, o, config_lock, rec);
    case Command::Read:
        return Read(form, services, o, rec);
    case Command::Parse:
        return Parse(form, services, o);
    case Command::History:
        return ShowHistory(rec, o);
    case Command::Recover:
        return Recover(form, services, rec);
    case Command::List:
        break; // answered before the form's board commands
    }
    return kUsage;
}

} // namespace

int Main(int argc, char** argv) {
    std::variant<Options, int> parsed = ParseCommandLine(argc, argv);
    if (const int* status = std::get_if<int>(&parsed)) return *status;
    const Options& o = std::get<Options>(parsed);
    CatchSignals();
    if (o.report) report::Enable();

    CliServices services;
    if (o.command == Command::Pack) services.setAnswer(o.yes ? Answer::Yes : Answer::No);
    // Every bridge at once: the workers take the lock and the record each.
    if (o.command == Command::List || o.all) {
        FlashForm form(services);
        form.setBridgeListAtStart(false);
        form.Form_Load(o.config);
        if (services.messages() != 0) return kFailure;
        if (!o.all) return ListBridges(form, o);
        // Checked once for the gang: a copy that turns up while it runs is
        // a worker's own, which its configuration write removes.
        if (RecoveryCopyWaits(form, o)) return kFailure;
        return RunGang(form, argc, argv, StopAsked);
    }
    // Read, numbered and saved by one station at a time.
    std::optional<FileLock> config_lock;
    if (o.command == Command::Serial) config_lock.emplace(o.config);
    FlashForm form(services);
    // Each command is one row of its own, not the rows of the window's runs.
    form.recordOwnRuns(false);
    // Copies are told and written back by the commands here, never asked.
    form.setRecoveryOffer(false);
    // Only a board command looks for bridges, not a pack or a parse.
    form.setBridgeListAtStart(false);
    form.Form_Load(o.config);
    if (services.messages() != 0) return kFailure;
    // A record that cannot be opened is told before the board is touched.
    ProductionRecord rec(form, [](const std::string& why) {
        std::fprintf(stderr, "%s: %s\n", std::string(text::kProgram).c_str(), why.c_str());
    });
    const bool board = o.command == Command::Program || o.command == Command::Serial ||
                       o.command == Command::Read || o.command == Command::Recover;
    if (board && !rec.open(RecordOptions{o.record_url, o.station, o.no_record})) return kFailure;
    if (board && !ChooseBridge(form, o)) return kFailure;
    const int result = Run(form, services, o, config_lock, rec);
    // The device is left closed for the next run; no window settings are
    // written, the window's own file stays as the window left it.
    if (form.state().bInit) form.zintra().ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
    return result;
}

} // namespace plexmoor::cli

int main(int argc, char** argv) {
    return plexmoor::cli::Main(argc, argv);
}
