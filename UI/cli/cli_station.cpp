#include "cli_station.h"

#include "cli_gang.h"
#include "cli_texts.h"
#include "file_replacement.h"
#include "os.h"
#include "station.h"
#include "worker_pool.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace plexmoor::cli {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPollMs = 100;
constexpr auto kRedraw = std::chrono::seconds(1);

// Five rows of block letters for the words a station shows.
struct BigLetter {
    char letter;
    std::array<const char*, 5> rows;
};
constexpr BigLetter kFont[] = {
    {'P', {"████ ", "█   █", "████ ", "█    ", "█    "}},
    {'A', {" ███ ", "█   █", "█████", "█   █", "█   █"}},
    {'S', {" ████", "█    ", " ███ ", "    █", "████ "}},
    {'F', {"█████", "█    ", "████ ", "█    ", "█    "}},
    {'I', {"█████", "  █  ", "  █  ", "  █  ", "█████"}},
    {'L', {"█    ", "█    ", "█    ", "█    ", "█████"}},
    {'W', {"█   █", "█   █", "█ █ █", "██ ██", "█   █"}},
    {'T', {"█████", "  █  ", "  █  ", "  █  ", "  █  "}},
    {'B', {"████ ", "█   █", "████ ", "█   █", "████ "}},
    {'U', {"█   █", "█   █", "█   █", "█   █", " ███ "}},
    {'Y', {"█   █", " █ █ ", "  █  ", "  █  ", "  █  "}},
    {'O', {" ███ ", "█   █", "█   █", "█   █", " ███ "}},
};

std::string BigRow(std::string_view word, int row) {
    std::string out;
    for (char c : word)
        for (const BigLetter& l : kFont)
            if (l.letter == c) out += std::string(l.rows[static_cast<std::size_t>(row)]) + "  ";
    return out;
}

// What a bridge's panel says of its last step: the word and its colours
// (ANSI: foreground on background).
struct Look {
    std::string_view word;
    const char* colours;
};
Look LookOf(ops::StationStep step) {
    switch (step) {
    case ops::StationStep::Passed:
        return {"PASS", "\x1b[1;97;42m"};
    case ops::StationStep::Failed:
        return {"FAIL", "\x1b[1;97;41m"};
    case ops::StationStep::Started:
        return {"BUSY", "\x1b[1;30;43m"};
    case ops::StationStep::Lost:
        return {"LOST", "\x1b[1;97;45m"};
    default:
        return {"WAIT", "\x1b[1;97;44m"};
    }
}

std::string Clip(std::string text, std::size_t width) {
    if (text.size() > width) text.resize(width);
    return text;
}

// The whole screen, drawn again from the top: a panel five rows high per
// bridge, then the shift.
void Draw(const ops::StationTally& tally, const std::vector<std::string>& bridges) {
    const auto columns = static_cast<std::size_t>(os::terminal_columns(stdout));
    std::string screen = "\x1b[H";
    for (const std::string& bridge : bridges) {
        const auto found = tally.bridges().find(bridge);
        ops::StationEvent e;
        if (found != tally.bridges().end()) e = found->second;
        const Look look = LookOf(e.step);
        char time[32] = "";
        if (e.step == ops::StationStep::Passed || e.step == ops::StationStep::Failed)
            std::snprintf(time, sizeof time, "%.1f s", e.seconds);
        const std::string side[5] = {bridge, e.serial, time, e.reason.substr(0, 60),
                                     e.reason.size() > 60 ? e.reason.substr(60, 60) : ""};
        for (int row = 0; row < 5; ++row) {
            std::string line = "  " + BigRow(look.word, row) + "  " + side[row];
            // Block letters are three bytes each but one column wide.
            std::size_t shown = 0;
            for (unsigned char c : line)
                shown += (c & 0xC0) != 0x80;
            if (shown < columns) line += std::string(columns - shown, ' ');
            screen += std::string(look.colours) + line + "\x1b[0m\n";
        }
        screen += "\n";
    }
    char counts[256];
    std::snprintf(counts, sizeof counts,
                  "passed %d   failed %d   yield %.1f %%   %.1f boards an hour   (Ctrl+C ends "
                  "after the boards under way)",
                  tally.passed(), tally.failed(), tally.yield(), tally.perHour());
    screen += "\x1b[1m" + Clip(counts, columns) + "\x1b[0m\x1b[K\n";
    for (const ops::StationEvent& f : tally.lastFailures())
        screen += "\x1b[31m" + Clip("  " + f.bridge + "  " + f.reason, columns) + "\x1b[0m\x1b[K\n";
    screen += "\x1b[J";
    std::fwrite(screen.data(), 1, screen.size(), stdout);
    std::fflush(stdout);
}

// What the station prints: the screen on a terminal, a worker's report
// lines to its parent, JSON objects, or a line per event.
class Show {
  public:
    Show(bool json, std::vector<std::string> bridges)
        : json_(json), terminal_(!json && !report::Enabled() && os::is_terminal(stdout)),
          bridges_(std::move(bridges)) {
        if (terminal_) std::printf("\x1b[2J");
    }
    void event(const ops::StationEvent& e) {
        tally_.take(e);
        if (report::Enabled()) {
            std::printf("%s\n", ops::EventLine(e).c_str());
        } else if (json_) {
            std::printf("%s\n", ops::EventJson(e).c_str());
        } else if (terminal_) {
            return draw(true);
        } else {
            const std::tm now = os::local_time(std::time(nullptr));
            char when[16];
            std::strftime(when, sizeof when, "%H:%M:%S", &now);
            std::printf(
                "%s %s %s%s%s%s\n", when, e.bridge.c_str(),
                std::string(ops::StepName(e.step)).c_str(),
                e.serial.empty() ? "" : (" " + e.serial).c_str(),
                e.seconds > 0 ? (" " + std::to_string(e.seconds).substr(0, 5) + " s").c_str() : "",
                e.reason.empty() ? "" : (" " + e.reason).c_str());
        }
        std::fflush(stdout);
    }
    // A message of a worker's that is no event, kept with its bridge; the
    // report lines of its board commands are the events' own business.
    void message(const std::string& bridge, const std::string& line) {
        if (report::Enabled() || terminal_ || line.empty()) return;
        if (line.rfind(report::kPrefix, 0) == 0) return;
        std::fprintf(stderr, "%s: %s\n", bridge.c_str(), line.c_str());
    }
    void draw(bool force) {
        if (!terminal_ || (!force && Clock::now() - last_ < kRedraw)) return;
        last_ = Clock::now();
        Draw(tally_, bridges_);
    }
    void summary() {
        if (report::Enabled() || json_) return;
        std::printf("%d boards: %d passed, %d failed, yield %.1f %%\n", tally_.boards(),
                    tally_.passed(), tally_.failed(), tally_.yield());
    }
    const ops::StationTally& tally() const { return tally_; }

  private:
    bool json_, terminal_;
    std::vector<std::string> bridges_;
    ops::StationTally tally_;
    Clock::time_point last_{};
};

// A run of a board ends as it began: the station's Ctrl+C waits for it.
class Quiet : public ops::RunView {};

ops::StationRequest RequestOf(Cli& cli, std::optional<FileLock>& lock) {
    const Options& o = cli.o;
    ops::StationRequest r;
    r.image = o.image;
    r.fast = o.fast;
    r.clock_mhz = o.fast ? o.clock_mhz : 0;
    r.new_serials = o.new_serial;
    // Without a record the serials come from the configuration file, which
    // the stations of the line share: read again under its lock for each
    // board, the serial saved before the board is written.
    r.chosen = [&cli, &lock](const std::string&) {
        const std::size_t told = cli.session.transcript().count();
        cli.config.SaveINI(cli.o.config);
        lock.reset();
        return cli.session.transcript().count() == told;
    };
    return r;
}

int OneBridge(Cli& cli) {
    if (!OpenBoard(cli)) return kFailure;
    std::optional<FileLock> lock;
    ops::StationRequest request = RequestOf(cli, lock);
    const std::function<bool(const std::string&)> save = request.chosen;
    request.chosen = [&](const std::string& serial) {
        if (cli.session.record().active()) return true;
        return save(serial);
    };
    Show show(cli.o.json, {cli.session.board().chosen()});
    ops::StationLoop loop(cli.session, cli.config, request, [&](const ops::StationEvent& e) {
        // The file's serial, read afresh, before a
        // board without a record takes the next.
        if (e.step == ops::StationStep::Started && !cli.session.record().active()) {
            lock.emplace(cli.o.config);
            cli.config.LoadIni(cli.o.config);
        }
        // A board that ended before its serial was
        // saved lets the file go too.
        if (e.step == ops::StationStep::Passed || e.step == ops::StationStep::Failed) lock.reset();
        show.event(e);
    });
    Quiet quiet;
    loop.run(Interrupted, cli.o.count > 0 ? std::optional<int>(cli.o.count) : std::nullopt, quiet);
    show.summary();
    return show.tally().failed() == 0 ? kSuccess : kFailure;
}

int EveryBridge(Cli& cli, int argc, const char* const* argv) {
    std::vector<std::string> bridges;
    if (const std::optional<std::string> why =
            ops::BridgesForWorkers(cli.session.zintra(), bridges))
        return Fail(*why);
    Show show(cli.o.json, bridges);
    WorkerPool pool;
    pool.start(bridges, [&](const std::string& bridge) {
        std::vector<std::string> args = WorkerArgs(argc, argv, bridge);
        // A worker puts through boards until told to stop; the parent counts.
        for (std::size_t i = 0; i + 1 < args.size(); ++i)
            if (args[i] == "--count") args.erase(args.begin() + i, args.begin() + i + 2);
        return args;
    });
    for (const WorkerPool::Worker& w : pool.workers())
        if (!w.why_not_started.empty()) show.message(w.bridge, w.why_not_started);
    while (pool.running()) {
        pool.poll(kPollMs,
                  [&](std::size_t i, const std::string& line) {
                      if (const std::optional<ops::StationEvent> e = ops::ParseEventLine(line))
                          show.event(*e);
                      else
                          show.message(pool.workers()[i].bridge, line);
                  },
                  {});
        if (Interrupted() || (cli.o.count > 0 && show.tally().boards() >= cli.o.count))
            pool.stopAll();
        show.draw(false);
    }
    show.draw(true);
    show.summary();
    return show.tally().failed() == 0 ? kSuccess : kFailure;
}

} // namespace

int Station(Cli& cli, int argc, const char* const* argv) {
    // Judged once for the shift; each board reads it afresh.
    if (!ImageToWrite(cli.o)) return kFailure;
    return cli.o.all ? EveryBridge(cli, argc, argv) : OneBridge(cli);
}

} // namespace plexmoor::cli
