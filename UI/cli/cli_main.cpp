// plexmoor-cli: the window's logic without a window, for production lines.
// Each command does what the window's buttons do, through the same
// procedures; message boxes become lines on standard error.
#include "cli_record.h"
#include "cli_services.h"
#include "flash_form.h"
#include "os.h"
#include "texts.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>


namespace plexmoor::cli {
namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsage = 2;

// Whether a --since date is YYYY-MM-DD.
bool IsDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
    for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

volatile std::sig_atomic_t interrupted = 0;

void on_interrupt() {
    interrupted = 1;
}

// The command line after the command's name: positional words, options
// with a value, and flags.
struct Arguments {
    std::vector<std::string> words;
    std::map<std::string, std::string> values;
    std::vector<std::string> flags;
    bool has(const std::string& flag) const {
        return std::find(flags.begin(), flags.end(), flag) != flags.end();
    }
    std::optional<std::string> value(const std::string& name) const {
        auto it = values.find(name);
        return it == values.end() ? std::nullopt : std::optional(it->second);
    }
};

struct Command {
    const char* name;
    const char* usage;
    const char* summary;
    std::vector<std::string> value_options; // take a value
    std::vector<std::string> flag_options;
    std::size_t words; // positional arguments
    int (*run)(FlashForm&, CliServices&, const Arguments&, BoardRecord&);
    bool board = false; // touches the board, so it is a row of the record
};

// Where the record is, on every command.
const std::vector<std::string> kRecordValues = {"--record", "--station"};
const std::vector<std::string> kRecordFlags = {"--no-record"};

RecordOptions RecordChoice(const Arguments& args) {
    return {args.value("--record"), args.value("--station").value_or(""), args.has("--no-record")};
}

// The outcome of a run that did not complete: stopped when the user asked.
record::Result Unfinished() {
    return interrupted ? record::Result::Stopped : record::Result::Failed;
}

int Fail(const std::string& why) {
    std::fprintf(stderr, "plexmoor-cli: %s\n", why.c_str());
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
    const std::string want =
        std::string(text::kStatusSeparator) + std::string(status) + std::string(text::kStatusJoin);
    return Caption(form).find(want) != std::string::npos;
}

bool Init(FlashForm& form) {
    if (form.state().bInit) return true;
    form.controls().raise(form.control(C::Command2), Event::Click);
    return form.state().bInit;
}

int Pack(FlashForm& form, CliServices& services, const Arguments& args, BoardRecord&) {
    const std::string out = std::filesystem::absolute(*args.value("--out")).string();
    form.control(C::txtPath2).setText(out);
    services.reset();
    if (auto released = args.value("--released")) {
        form.control(C::txtReSrc).setText(std::filesystem::absolute(*released).string());
        form.controls().raise(form.control(C::btnPackByPack), Event::Click);
    } else {
        form.controls().raise(form.control(C::btnPack), Event::Click);
    }
    const int outcome = Outcome(services);
    if (outcome == kSuccess) std::printf("%s\n", out.c_str());
    return outcome;
}

int Program(FlashForm& form, CliServices& services, const Arguments& args, BoardRecord& rec) {
    const std::string image = std::filesystem::absolute(args.words[0]).string();
    form.control(C::txtPath).setText(image);
    form.control(C::txtAddr).setText(args.value("--address").value_or("0"));
    form.control(C::chkFast).setValue(args.has("--fast") ? 1 : 0);
    // A production line backs boards up only where it asks to, into a
    // folder of its choice.
    const std::optional<std::string> backup = args.value("--backup");
    form.control(C::chkBackup).setValue(backup ? 1 : 0);
    if (backup) {
        std::error_code made;
        std::filesystem::create_directories(*backup, made);
        form.setBackupFolder(std::filesystem::absolute(*backup).string());
    }
    services.reset();
    const std::string address = args.value("--address").value_or("0");
    if (!rec.begin(record::Operation::Program, image,
                   static_cast<int32_t>(std::strtol(address.c_str(), nullptr, 0)),
                   args.has("--fast")))
        return kFailure;
    if (!Init(form)) {
        rec.finish(record::Result::Failed);
        return kFailure;
    }
    ProgressReport progress(os::is_terminal(stderr));
    std::error_code ec;
    const auto size = std::filesystem::file_size(image, ec);
    const int32_t start = 0;
    bool started = false;
    bool stop_asked = false;
    services.onPump([&] {
        if (!form.zintra().programming()) return;
        // Ctrl+C stops at the next page where the library can stop; where
        // it cannot, the run goes on to its end.
        if (interrupted && !stop_asked) {
            stop_asked = true;
            if (form.zintra().ZintraStop() == 0)
                std::fprintf(stderr, "\nplexmoor-cli: interrupted; the run goes on to its end\n");
        }
        if (!started) {
            started = true;
            progress.start(ec ? 0 : static_cast<int64_t>(size));
        }
        progress.update(form.zintra().GetFlashProgress() - start);
    });
    form.controls().raise(form.control(C::Command3), Event::Click);
    services.onPump(nullptr);
    const bool ok = CaptionSays(form, text::kFlashComplete);
    if (started) progress.finish(ok);
    rec.finish(ok ? record::Result::Done : Unfinished());
    if (backup && !form.lastBackup().empty())
        std::fprintf(stderr, "backup of the erased blocks: %s\n", form.lastBackup().c_str());
    if (!ok && services.messages() == 0) return Fail(Caption(form));
    return ok ? kSuccess : kFailure;
}

int Serial(FlashForm& form, CliServices& services, const Arguments& args, BoardRecord& rec) {
    const std::string config = *args.value("--config");
    services.reset();
    if (!Init(form)) {
        if (rec.begin(record::Operation::Serial)) rec.finish(record::Result::Failed);
        return kFailure;
    }
    // With a record the serial is the record's, reserved before the board
    // is written; without one it is the file's next.
    if (rec.active()) {
        const std::optional<std::string> serial = rec.reserveSerial();
        if (!serial) return kFailure;
        form.control(C::txtSerial).setText(*serial);
    } else {
        form.controls().raise(form.control(C::btnGenerate), Event::Click);
        if (services.messages() != 0) return kFailure;
    }
    form.controls().raise(form.control(C::btnSerial), Event::Click);
    if (!CaptionSays(form, text::kFlashComplete) || services.messages() != 0) {
        rec.finish(Unfinished());
        return kFailure;
    }
    rec.finish(record::Result::Done);
    // The next board gets the next number: the file takes the serial just
    // written, whole or not at all.
    form.SaveINI(config);
    if (services.messages() != 0) return kFailure;
    std::printf("%s\n", form.control(C::txtSerial).text().c_str());
    return kSuccess;
}

int Read(FlashForm& form, CliServices& services, const Arguments& args, BoardRecord& rec) {
    services.reset();
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
    form.SaveINI(*args.value("--out"));
    return Outcome(services);
}

int History(FlashForm& form, CliServices&, const Arguments& args, BoardRecord&) {
    HistoryOptions options;
    options.filter.serial = args.value("--serial").value_or("");
    options.filter.since = args.value("--since").value_or("");
    options.filter.station = args.value("--station").value_or("");
    options.filter.failed_only = args.has("--failed");
    options.csv = args.has("--csv");
    options.json = args.has("--json");
    RecordOptions where = RecordChoice(args);
    where.station.clear();
    return History(form, where, options);
}

int Parse(FlashForm& form, CliServices& services, const Arguments& args, BoardRecord&) {
    form.control(C::txtPath2).setText(std::filesystem::absolute(args.words[0]).string());
    services.reset();
    form.controls().raise(form.control(C::cmdParse), Event::Click);
    if (Outcome(services) != kSuccess) return kFailure;
    form.SaveINI(*args.value("--out"));
    return Outcome(services);
}

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"pack",
         "pack --config FILE.ini [--released IMAGE] --out OUT [--yes|--no]",
         "packs an image from the configuration file, from its source images or from a released "
         "image whose configuration block is replaced",
         {"--config", "--released", "--out"},
         {"--yes", "--no"},
         0,
         Pack},
        {"program",
         "program IMAGE [--address N] [--fast] [--backup DIR] [--config FILE.ini]",
         "opens the programmer and programs IMAGE into the board's flash from address N (0); "
         "--fast in the fast mode, --backup DIR first backs up every block it will erase",
         {"--address", "--config", "--backup"},
         {"--fast"},
         1,
         Program,
         true},
        {"serial",
         "serial --config FILE.ini",
         "generates the next serial number from the file's, writes the configuration block with "
         "it to the board, and saves it back into the file",
         {"--config"},
         {},
         0,
         Serial,
         true},
        {"read",
         "read --out FILE.ini [--config FILE.ini]",
         "reads the configuration block from the board's flash into a configuration file",
         {"--out", "--config"},
         {},
         0,
         Read,
         true},
        {"parse",
         "parse IMAGE --out FILE.ini [--config FILE.ini]",
         "reads the configuration of a packed image into a configuration file",
         {"--out", "--config"},
         {},
         1,
         Parse},
        {"history",
         "history [--serial S] [--since YYYY-MM-DD] [--station NAME] [--failed] [--csv|--json]",
         "prints the production record: every board operation with its image hash, chip, serial "
         "and result (a table; --csv or --json for other tools)",
         {"--serial", "--since", "--station"},
         {"--failed", "--csv", "--json"},
         0,
         History},
    };
    return commands;
}

// The options a command cannot do without.
std::vector<std::string> Required(const Command& c) {
    const std::string name = c.name;
    if (name == "pack") return {"--config", "--out"};
    if (name == "serial") return {"--config"};
    if (name == "read" || name == "parse") return {"--out"};
    return {};
}

void Help(const Command* c) {
    if (c) {
        std::printf("usage: plexmoor-cli %s\n  %s\n", c->usage, c->summary);
        if (std::string(c->name) != "pack" && std::string(c->name) != "serial")
            std::printf("  --config FILE.ini starts from that configuration instead of the "
                        "settings file beside the program\n");
        return;
    }
    std::printf("usage: plexmoor-cli COMMAND [OPTIONS]   (plexmoor-cli COMMAND --help)\n");
    for (const Command& k : Commands())
        std::printf("  %-7s %s\n", k.name, k.summary);
    std::printf("Every command takes --record URL (a path, sqlite:PATH or postgresql://...), "
                "--station NAME and --no-record.\n");
    std::printf("Exit status: 0 done, 1 a failure the program reported, 2 bad usage.\n"
                "The virtual board is chosen with the same environment variables as Plexmoor.\n");
}

int Usage(const std::string& why, const Command* c) {
    std::fprintf(stderr, "plexmoor-cli: %s\n", why.c_str());
    std::fprintf(stderr, "usage: plexmoor-cli %s\n", c ? c->usage : "COMMAND [OPTIONS]");
    return kUsage;
}

std::optional<Arguments> ParseArguments(const Command& c, int argc, char** argv, int& status) {
    Arguments args;
    auto in = [](const std::vector<std::string>& list, const std::string& s) {
        return std::find(list.begin(), list.end(), s) != list.end();
    };
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            Help(&c);
            status = kSuccess;
            return std::nullopt;
        }
        if (in(c.value_options, a) || in(kRecordValues, a)) {
            if (i + 1 >= argc) {
                status = Usage(a + " needs a value", &c);
                return std::nullopt;
            }
            args.values[a] = argv[++i];
        } else if (in(c.flag_options, a) || in(kRecordFlags, a)) {
            args.flags.push_back(a);
        } else if (a.rfind("-", 0) == 0) {
            status = Usage("unknown option " + a, &c);
            return std::nullopt;
        } else {
            args.words.push_back(a);
        }
    }
    if (args.words.size() != c.words) {
        status = Usage(std::string(c.name) + " takes " + std::to_string(c.words) +
                           (c.words == 1 ? " file" : " files") + " besides its options",
                       &c);
        return std::nullopt;
    }
    for (const std::string& r : Required(c))
        if (!args.value(r)) {
            status = Usage(std::string(c.name) + " needs " + r, &c);
            return std::nullopt;
        }
    if (args.has("--csv") && args.has("--json")) {
        status = Usage("--csv and --json contradict each other", &c);
        return std::nullopt;
    }
    if (auto since = args.value("--since"); since && !IsDate(*since)) {
        status = Usage("--since takes a date as YYYY-MM-DD", &c);
        return std::nullopt;
    }
    if (args.has("--yes") && args.has("--no")) {
        status = Usage("--yes and --no contradict each other", &c);
        return std::nullopt;
    }
    // A pack ends with a question; it is asked for before anything is
    // written, not after.
    if (std::string(c.name) == "pack" && !args.has("--yes") && !args.has("--no")) {
        status = Usage("pack asks \"" + std::string(text::kReplaceFlashFile) +
                           "\" at its end: answer it with --yes or --no",
                       &c);
        return std::nullopt;
    }
    return args;
}

} // namespace

int Main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        Help(nullptr);
        return argc < 2 ? kUsage : kSuccess;
    }
    const Command* command = nullptr;
    for (const Command& c : Commands())
        if (c.name == std::string(argv[1])) command = &c;
    if (!command) return Usage(std::string("unknown command ") + argv[1], nullptr);
    int status = kSuccess;
    std::optional<Arguments> args = ParseArguments(*command, argc, argv, status);
    if (!args) return status;

    // Ctrl+C never cuts a run short in the middle of a page or a file.
    os::on_interrupt(on_interrupt);

    CliServices services;
    if (args->has("--yes")) services.setAnswer(Answer::Yes);
    if (args->has("--no")) services.setAnswer(Answer::No);
    FlashForm form(services);
    const std::string config = args->value("--config").value_or("");
    if (!config.empty() && !std::filesystem::is_regular_file(config))
        return Fail("configuration file " + config + " does not exist");
    form.Form_Load(config);
    if (services.messages() != 0) return kFailure;
    // A record that cannot be opened is told before the board is touched.
    BoardRecord rec(form, services);
    if (command->board && !rec.open(RecordChoice(*args))) return kFailure;
    const int result = command->run(form, services, *args, rec);
    // The device is left closed for the next run; no window settings are
    // written, the window's own file stays as the window left it.
    if (form.state().bInit) form.zintra().ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
    return result;
}

} // namespace plexmoor::cli

int main(int argc, char** argv) {
    return plexmoor::cli::Main(argc, argv);
}
