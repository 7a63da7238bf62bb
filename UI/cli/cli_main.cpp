// plexmoor-cli: the operations of the window without a window, for
// production lines. Each command calls the operations every front end
// shares; message boxes become lines on standard error.
#include "cli_commands.h"
#include "cli_gang.h"
#include "cli_options.h"
#include "cli_services.h"
#include "cli_station.h"
#include "cli_texts.h"
#include "configuration_operations.h"
#include "os.h"

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

int Pack(Cli& cli) {
    const ops::Outcome outcome =
        ops::Pack(cli.session, cli.config, cli.o.out, cli.o.released, false);
    // A pack reports what it refused in its own boxes, not always in its
    // result.
    if (!outcome.ok() || !outcome.messages.empty()) return kFailure;
    std::printf("%s\n", cli.o.out.c_str());
    return kSuccess;
}

int Parse(Cli& cli) {
    const ops::Outcome outcome = ops::Parse(cli.session, cli.config, cli.o.image);
    if (!outcome.ok()) return kFailure;
    const std::size_t told = cli.session.transcript().count();
    cli.config.SaveINI(cli.o.out);
    return cli.session.transcript().count() == told ? kSuccess : kFailure;
}

int ShowHistory(Cli& cli) {
    const Options& o = cli.o;
    record::Filter filter;
    filter.serial = o.serial;
    filter.board = o.board;
    // A day here begins at local midnight; the record counts in UTC.
    if (!o.since.empty()) filter.since = DayStartUtc(o.since);
    filter.station = o.station;
    filter.failed_only = o.failed;
    const std::optional<std::string> out =
        cli.session.record().historyText(filter, o.csv    ? HistoryFormat::Csv
                                                 : o.json ? HistoryFormat::Json
                                                          : HistoryFormat::Table);
    if (!out) return kFailure;
    std::fwrite(out->data(), 1, out->size(), stdout);
    return kSuccess;
}

int Run(Cli& cli) {
    switch (cli.o.command) {
    case Command::Pack:
        return Pack(cli);
    case Command::Program:
        return Program(cli);
    case Command::Serial:
        return Serial(cli);
    case Command::Read:
        return Read(cli);
    case Command::Parse:
        return Parse(cli);
    case Command::History:
        return ShowHistory(cli);
    case Command::Recover:
        return Recover(cli);
    case Command::Station:
        return Station(cli, cli.argc, cli.argv);
    case Command::Verify:
        return Verify(cli);
    case Command::Erase:
        return Erase(cli);
    case Command::List:
        break; // answered before the other commands
    }
    return kUsage;
}

// Beside the record of the default name: what the record did not take.
std::string RecordJournal(FlashForm& config) {
    return (std::filesystem::path(config.recordPlace().folder) / record::kJournalFile).string();
}

bool TouchesBoard(Command command) {
    return command == Command::Program || command == Command::Serial || command == Command::Read ||
           command == Command::Recover || command == Command::Station ||
           command == Command::Verify || command == Command::Erase;
}

} // namespace

int Fail(const std::string& why) {
    std::fprintf(stderr, "%s: %s\n", std::string(text::kProgram).c_str(), why.c_str());
    return kFailure;
}

bool Interrupted() {
    return interrupted;
}

int StatusOf(const ops::Outcome& outcome) {
    return outcome.ok() ? kSuccess : kFailure;
}

int Main(int argc, char** argv) {
    std::variant<Options, int> parsed = ParseCommandLine(argc, argv);
    if (const int* status = std::get_if<int>(&parsed)) return *status;
    const Options& o = std::get<Options>(parsed);
    CatchSignals();
    if (o.report) report::Enable();
    // The library's debug lines, as WINCALLS_DEBUG=1 gives them.
    if (o.verbose) os::set_environment("WINCALLS_DEBUG", "1");

    CliServices services;
    services.setQuiet(o.quiet);
    // Read, numbered and saved by one station at a time.
    std::optional<FileLock> config_lock;
    if (o.command == Command::Serial && !o.all) config_lock.emplace(o.config);
    ops::Session session(services, record::FrontEnd::Cli);
    FlashForm config(session);
    config.Form_Load(o.config);
    if (services.messages() != 0) return kFailure;
    // Every bridge at once: the workers take the lock and the record each.
    if (o.command == Command::List) return ListBridges(session, o);
    if (o.all && o.command != Command::Station) {
        // A file refused once, not by every worker.
        if (o.command == Command::Program && !ImageToWrite(o)) return kFailure;
        return RunGang(session, argc, argv, Interrupted, o.json);
    }

    // A record that cannot be opened is told before the board is touched;
    // a read goes on without it.
    std::string why;
    ProductionRecord& record = session.record();
    record.setJournal(RecordJournal(config));
    if ((TouchesBoard(o.command) || o.command == Command::History) &&
        !record.open(RecordOptions{o.record_url, o.station, o.no_record, o.record_create},
                     config.recordPlace(), why)) {
        Fail(why);
        if (o.command != Command::Read) return kFailure;
    }
    if (const std::string note = record.takeCreatedNote(); !note.empty()) Fail(note);
    Cli cli{o, services, session, config, config_lock, argc, argv};
    int result = Run(cli);
    // The device is left closed for the next run; no window settings are
    // written, the window's own file stays as the window left it.
    if (session.board().isOpen()) session.board().close();
    if (result != kUsage && interrupted) result = kInterrupted;
    if (result == kSuccess && record.closePending()) result = kRecordUnwritten;
    return result;
}

} // namespace plexmoor::cli

int main(int argc, char** argv) {
    return plexmoor::cli::Main(argc, argv);
}
