#include "cli_options.h"

#include "cli_texts.h"
#include "control_table.h"
#include "texts.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <limits>

#include <sys/stat.h>

namespace plexmoor::cli {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kHelpWidth = 48; // the description column, beside 30 of names

// The version the window's caption shows, from its revision keyword.
std::string Version() {
    std::string_view revision = plexmoor::text::kRevision; // "$Revision: 1.17 $"
    const std::size_t colon = revision.find(": ");
    revision.remove_prefix(colon == std::string_view::npos ? 0 : colon + 2);
    revision = revision.substr(0, revision.find(' '));
    return std::string(text::kProgram) + " " + std::string(revision);
}

std::string Absolute(const std::string& path) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    return ec ? path : absolute.string();
}

// A path as a message shows it: a very long one by its two ends.
std::string Shown(const std::string& path) {
    constexpr std::size_t kEnd = 40;
    if (path.size() <= 2 * kEnd + 3) return path;
    return path.substr(0, kEnd) + "..." + path.substr(path.size() - kEnd);
}

// Each check answers with an empty text for a good path, with the refusal
// otherwise; stat() never throws, whatever the path, a too long one too.
std::string ReadableFile(std::string& path) {
    if (path.empty()) return std::string(text::kEmptyPath);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return Shown(path) + (errno == ENOENT ? std::string(text::kNoSuchFile)
                                              : ": " + std::string(std::strerror(errno)));
    if (!S_ISREG(st.st_mode)) return Shown(path) + std::string(text::kNotPlainFile);
    path = Absolute(path);
    return {};
}

// A file to be written: a plain file or none yet, in a folder that exists.
std::string WritableFile(std::string& path) {
    if (path.empty()) return std::string(text::kEmptyPath);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return Shown(path) + std::string(text::kNotPlainFile);
    } else if (errno != ENOENT) {
        return Shown(path) + ": " + std::strerror(errno);
    } else {
        const fs::path folder = fs::path(Absolute(path)).parent_path();
        if (::stat(folder.string().c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return Shown(path) + std::string(text::kNoFolder);
    }
    path = Absolute(path);
    return {};
}

std::string Folder(std::string& path) {
    if (path.empty()) return std::string(text::kEmptyPath);
    std::error_code ec;
    fs::create_directories(path, ec);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return Shown(path) + ": " + std::strerror(errno);
    if (!S_ISDIR(st.st_mode)) return Shown(path) + std::string(text::kNotFolder);
    path = Absolute(path);
    return {};
}

// A check that rewrites the option's value into the checked path.
template <std::string (*Check)(std::string&)> CLI::Validator Path(const char* what) {
    CLI::Validator check([](std::string& value) { return Check(value); }, "");
    check.name(what);
    return check;
}

std::string Help(std::string_view text) {
    return Wrap(std::string(text), kHelpWidth);
}

CLI::App* AddCommand(CLI::App& app, const char* name, std::string_view summary) {
    CLI::App* command = app.add_subcommand(name, Help(summary));
    // -q and -v may come anywhere, as flashrom users write them.
    command->fallthrough(true);
    return command;
}

void AddConfig(CLI::App* command, Options& o, bool required, std::string_view help) {
    CLI::Option* option = command->add_option("--config", o.config, Help(help));
    option->type_name("FILE.ini")->transform(Path<ReadableFile>("FILE.ini"));
    if (required) option->required();
}

void AddOut(CLI::App* command, Options& o) {
    command->add_option("--out", o.out, Help(text::kOutHelp))
        ->type_name("FILE")
        ->required()
        ->transform(Path<WritableFile>("FILE"));
}

void AddAddress(CLI::App* command, std::string& address) {
    command->add_option("--address", address, Help(text::kAddressHelp))
        ->type_name("N")
        ->check(CLI::Validator(
            [](std::string& value) {
                int32_t a = 0;
                return ParseAddress(value, a) ? std::string()
                                              : std::string(text::kNotAddress) + value;
            },
            ""));
}

void AddImage(CLI::App* command, Options& o) {
    command->add_option("IMAGE", o.image, Help(text::kImageHelp))
        ->type_name("FILE")
        ->required()
        ->transform(Path<ReadableFile>("IMAGE"));
}

void AddRecord(CLI::App* command, Options& o) {
    command->add_option("--record", o.record_url, Help(text::kRecordHelp))->type_name("URL");
    command->add_option("--station", o.station, Help(text::kStationHelp))->type_name("NAME");
    command->add_flag("--no-record", o.no_record, Help(text::kNoRecordHelp));
    command->add_flag("--record-create", o.record_create, Help(text::kRecordCreateHelp));
}

// The bridge a board command uses; with --all (program, serial) every one.
void AddDevice(CLI::App* command, Options& o, bool every) {
    // An empty serial (a script's unset variable) would mean the first
    // bridge listed: another board than the one meant.
    CLI::Option* device = command->add_option("--device", o.device, Help(text::kDeviceHelp))
                              ->type_name("SERIAL")
                              ->check(CLI::Validator(
                                  [](std::string& value) {
                                      return value.find_first_not_of(" \t") == std::string::npos
                                                 ? std::string(text::kEmptyDevice)
                                                 : std::string();
                                  },
                                  ""));
    if (!every) return;
    command->add_flag("--all", o.all, Help(text::kAllHelp))->excludes(device);
    command->add_flag("--json", o.json, Help(text::kEventsJsonHelp));
    command->add_flag("--report", o.report)->group("")->excludes("--all");
}

void AddKeepRecovery(CLI::App* command, Options& o) {
    command->add_flag("--keep-recovery", o.keep_recovery, Help(text::kKeepRecoveryHelp));
}

} // namespace

bool IsDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
    for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (text[i] < '0' || text[i] > '9') return false;
    // A day of the calendar: 2026-13-45 and 2026-02-30 are none.
    const int year = std::stoi(text.substr(0, 4)), month = std::stoi(text.substr(5, 2)),
              day = std::stoi(text.substr(8, 2));
    if (month < 1 || month > 12 || day < 1) return false;
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

std::string DayStartUtc(const std::string& date) {
    std::tm local{};
    local.tm_year = std::stoi(date.substr(0, 4)) - 1900;
    local.tm_mon = std::stoi(date.substr(5, 2)) - 1;
    local.tm_mday = std::stoi(date.substr(8, 2));
    local.tm_isdst = -1;
    const std::time_t start = std::mktime(&local);
    const std::tm* utc = std::gmtime(&start);
    char out[32];
    if (!utc || std::strftime(out, sizeof out, "%Y-%m-%dT%H:%M:%S.000Z", utc) == 0) return date;
    return out;
}

bool ParseAddress(const std::string& text, int32_t& address) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 10) return false;
    int64_t value = 0;
    for (char c : digits) {
        int d = -1;
        if (c >= '0' && c <= '9') d = c - '0';
        if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        if (d < 0) return false;
        value = value * (hex ? 16 : 10) + d;
    }
    if (value > std::numeric_limits<int32_t>::max()) return false;
    address = static_cast<int32_t>(value);
    return true;
}

std::string Wrap(const std::string& text, std::size_t width) {
    std::string out, line;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(start, end - start);
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            out += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        start = end + 1;
    }
    return out + line;
}

std::variant<Options, int> ParseCommandLine(int argc, const char* const* argv) {
    Options o;
    CLI::App app(Wrap(std::string(text::kDescription), 78), std::string(text::kProgram));
    app.set_version_flag("--version", Version());
    app.add_flag("-q,--quiet", o.quiet, Help(text::kQuietHelp));
    app.add_flag("-v,--verbose", o.verbose, Help(text::kVerboseHelp))->excludes("--quiet");
    app.require_subcommand(1);
    app.get_formatter()->column_width(30);

    CLI::App* pack = AddCommand(app, "pack", text::kPackSummary);
    AddConfig(pack, o, true, text::kConfigHelp);
    pack->add_option("--released", o.released, Help(text::kReleasedHelp))
        ->type_name("IMAGE")
        ->transform(Path<ReadableFile>("IMAGE"));
    AddOut(pack, o);
    // The window's closing question of a pack concerns its flash panel, which
    // plexmoor-cli has not: it is not asked, and an old script's answer is
    // taken and passed by.
    bool answered = false;
    pack->add_flag("--yes,--no", answered)->group("");

    CLI::App* program = AddCommand(app, "program", text::kProgramSummary);
    AddImage(program, o);
    std::string address = "0";
    AddAddress(program, address);
    program->add_flag("--fast", o.fast, Help(text::kFastHelp));
    program->add_flag("--raw", o.raw, Help(text::kRawHelp));
    std::vector<int32_t> clocks;
    for (const FastClock& clock : kFastClocks)
        clocks.push_back(clock.mhz);
    program->add_option("--clock", o.clock_mhz, Help(text::kClockHelp))
        ->type_name("MHZ")
        ->check(CLI::IsMember(clocks))
        ->needs("--fast");
    CLI::Option* backup = program->add_option("--backup", o.backup, Help(text::kBackupHelp))
                              ->type_name("DIR")
                              ->transform(Path<Folder>("DIR"));
    program->add_option("--keep-backups", o.keep_backups, Help(text::kKeepBackupsHelp))
        ->type_name("N")
        ->check(CLI::NonNegativeNumber)
        ->needs(backup);
    AddConfig(program, o, false, text::kConfigHelp);
    AddKeepRecovery(program, o);
    AddDevice(program, o, true);

    CLI::App* serial = AddCommand(app, "serial", text::kSerialSummary);
    AddConfig(serial, o, true, text::kSerialConfigHelp);
    serial->add_flag("--new-serial", o.new_serial, Help(text::kNewSerialHelp));
    AddKeepRecovery(serial, o);
    AddDevice(serial, o, true);

    CLI::App* read = AddCommand(app, "read", text::kReadSummary);
    CLI::Option_group* what = read->add_option_group("what");
    what->add_option("--out", o.out, Help(text::kOutHelp))
        ->type_name("FILE")
        ->transform(Path<WritableFile>("FILE"));
    what->add_option("--image", o.chip_image, Help(text::kChipImageHelp))
        ->type_name("FILE")
        ->transform(Path<WritableFile>("FILE"));
    what->require_option(1);
    AddConfig(read, o, false, text::kConfigHelp);
    AddDevice(read, o, false);

    CLI::App* verify = AddCommand(app, "verify", text::kVerifySummary);
    AddImage(verify, o);
    AddAddress(verify, address);
    AddDevice(verify, o, false);

    CLI::App* erase = AddCommand(app, "erase", text::kEraseSummary);
    AddKeepRecovery(erase, o);
    AddDevice(erase, o, false);

    CLI::App* parse = AddCommand(app, "parse", text::kParseSummary);
    AddImage(parse, o);
    AddOut(parse, o);
    AddConfig(parse, o, false, text::kConfigHelp);

    CLI::App* history = AddCommand(app, "history", text::kHistorySummary);
    history->add_option("--serial", o.serial, Help(text::kHistorySerialHelp))->type_name("S");
    history->add_option("--board", o.board, Help(text::kHistoryBoardHelp))->type_name("SERIAL");
    history->add_option("--since", o.since, Help(text::kSinceHelp))
        ->type_name("YYYY-MM-DD")
        ->check(CLI::Validator(
            [](std::string& value) {
                return IsDate(value) ? std::string() : std::string(text::kNotDate) + value;
            },
            ""));
    history->add_flag("--failed", o.failed, Help(text::kFailedHelp));
    CLI::Option_group* format = history->add_option_group("format");
    format->add_flag("--csv", o.csv, Help(text::kCsvHelp));
    format->add_flag("--json", o.json, Help(text::kJsonHelp));
    format->require_option(0, 1);

    CLI::App* recover = AddCommand(app, "recover", text::kRecoverSummary);
    recover->add_option("COPY", o.copy, Help(text::kCopyHelp))
        ->type_name("FILE")
        ->transform(Path<ReadableFile>("COPY"));
    CLI::Option* list_copies =
        recover->add_flag("--list", o.list_copies, Help(text::kListCopiesHelp));
    recover->add_option("--discard", o.discard, Help(text::kDiscardHelp))
        ->type_name("FILE")
        ->transform(Path<ReadableFile>("FILE"))
        ->excludes(list_copies)
        ->excludes("COPY");
    recover->add_flag("--force", o.force, Help(text::kForceHelp))->excludes(list_copies);
    AddDevice(recover, o, false);
    for (CLI::App* command : app.get_subcommands({}))
        AddRecord(command, o);
    CLI::App* list = AddCommand(app, "list", text::kListSummary);
    list->add_flag("--probe", o.probe, Help(text::kProbeHelp));
    list->add_flag("--json", o.json, Help(text::kJsonHelp));

    CLI::App* station = AddCommand(app, "station", text::kStationSummary);
    AddImage(station, o);
    AddConfig(station, o, true, text::kStationConfigHelp);
    station->add_flag("--fast", o.fast, Help(text::kFastHelp));
    station->add_flag("--raw", o.raw, Help(text::kRawHelp));
    station->add_option("--clock", o.clock_mhz, Help(text::kClockHelp))
        ->type_name("MHZ")
        ->check(CLI::IsMember(clocks))
        ->needs("--fast");
    station->add_option("--count", o.count, Help(text::kCountHelp))
        ->type_name("N")
        ->check(CLI::PositiveNumber);
    station->add_flag("--new-serial", o.new_serial, Help(text::kStationNewSerialHelp));
    AddDevice(station, o, true);
    AddRecord(station, o);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            app.exit(e); // --help or --version, on standard output
            return kSuccess;
        }
        // A mistyped command is named, not taken for a missing one.
        std::string why = e.what();
        const auto named = [&](const CLI::App* c) { return c->get_name() == argv[1]; };
        const auto all = app.get_subcommands({});
        if (argc > 1 && argv[1][0] != '-' && std::none_of(all.begin(), all.end(), named))
            why = std::string(text::kUnknownCommand) + argv[1];
        std::fprintf(stderr, "%s: %s\n%s\n", std::string(text::kProgram).c_str(), why.c_str(),
                     std::string(text::kMoreHelp).c_str());
        return kUsage;
    }
    const std::pair<CLI::App*, Command> commands[] = {
        {pack, Command::Pack},       {program, Command::Program}, {serial, Command::Serial},
        {read, Command::Read},       {parse, Command::Parse},     {history, Command::History},
        {recover, Command::Recover}, {list, Command::List},       {station, Command::Station},
        {verify, Command::Verify},   {erase, Command::Erase},
    };
    for (const auto& [app_command, command] : commands)
        if (app_command->parsed()) o.command = command;
    ParseAddress(address, o.address);
    return o;
}

} // namespace plexmoor::cli
