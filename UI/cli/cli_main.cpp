// plexmoor-cli: the window's logic without a window, for production lines.
// Each command does what the window's buttons do, through the same
// procedures; message boxes become lines on standard error.
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
    int (*run)(FlashForm&, CliServices&, const Arguments&);
};

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

int Pack(FlashForm& form, CliServices& services, const Arguments& args) {
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

int Program(FlashForm& form, CliServices& services, const Arguments& args) {
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
    if (!Init(form)) return kFailure;
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
    if (backup && !form.lastBackup().empty())
        std::fprintf(stderr, "backup of the erased blocks: %s\n", form.lastBackup().c_str());
    if (!ok && services.messages() == 0) return Fail(Caption(form));
    return ok ? kSuccess : kFailure;
}

int Serial(FlashForm& form, CliServices& services, const Arguments& args) {
    const std::string config = *args.value("--config");
    services.reset();
    if (!Init(form)) return kFailure;
    form.controls().raise(form.control(C::btnGenerate), Event::Click);
    if (services.messages() != 0) return kFailure;
    form.controls().raise(form.control(C::btnSerial), Event::Click);
    if (!CaptionSays(form, text::kFlashComplete) || services.messages() != 0) return kFailure;
    // The next board gets the next number: the file takes the serial just
    // written, whole or not at all.
    form.SaveINI(config);
    if (services.messages() != 0) return kFailure;
    std::printf("%s\n", form.control(C::txtSerial).text().c_str());
    return kSuccess;
}

int Read(FlashForm& form, CliServices& services, const Arguments& args) {
    services.reset();
    if (!Init(form)) return kFailure;
    form.controls().raise(form.control(C::btnLoadFlash), Event::Click);
    if (Outcome(services) != kSuccess) return kFailure;
    form.SaveINI(*args.value("--out"));
    return Outcome(services);
}

int Parse(FlashForm& form, CliServices& services, const Arguments& args) {
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
         Program},
        {"serial",
         "serial --config FILE.ini",
         "generates the next serial number from the file's, writes the configuration block with "
         "it to the board, and saves it back into the file",
         {"--config"},
         {},
         0,
         Serial},
        {"read",
         "read --out FILE.ini [--config FILE.ini]",
         "reads the configuration block from the board's flash into a configuration file",
         {"--out", "--config"},
         {},
         0,
         Read},
        {"parse",
         "parse IMAGE --out FILE.ini [--config FILE.ini]",
         "reads the configuration of a packed image into a configuration file",
         {"--out", "--config"},
         {},
         1,
         Parse},
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
        if (in(c.value_options, a)) {
            if (i + 1 >= argc) {
                status = Usage(a + " needs a value", &c);
                return std::nullopt;
            }
            args.values[a] = argv[++i];
        } else if (in(c.flag_options, a)) {
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
    const int result = command->run(form, services, *args);
    // The device is left closed for the next run; no window settings are
    // written, the window's own file stays as the window left it.
    if (form.state().bInit) form.zintra().ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
    return result;
}

} // namespace plexmoor::cli

int main(int argc, char** argv) {
    return plexmoor::cli::Main(argc, argv);
}
