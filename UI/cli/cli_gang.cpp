#include "cli_gang.h"

#include "board.h"
#include "cli_texts.h"
#include "os.h"
#include "process.h"
#include "record.h"
#include "texts.h"
#include "worker_pool.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <vector>

namespace plexmoor::cli {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPollMs = 100;
constexpr auto kRedraw = std::chrono::milliseconds(200);
constexpr auto kReportEvery = std::chrono::milliseconds(250);

bool report_on = false;

void Line(std::string_view key, const std::string& value) {
    if (!report_on) return;
    std::printf("%s%s %s\n", std::string(report::kPrefix).c_str(), std::string(key).c_str(),
                value.c_str());
    std::fflush(stdout);
}

std::string JsonText(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        if (c < 0x20) continue;
        out += static_cast<char>(c);
    }
    return out;
}

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// One bridge's worker, as far as its lines told.
struct Board {
    std::string bridge;
    std::string chip = "-";
    std::string phase = std::string(text::kPhaseWaiting);
    std::string message; // the last thing it said that was not a report
    std::string serial;  // the board's serial, from a serial run
    int64_t done = 0, total = 0;
    int last_tenth = -1;
    Clock::time_point started = Clock::now(), progress_started;
    double seconds = 0;
    int status = -1;
    bool stop_sent = false;

    int percent() const { return total > 0 ? static_cast<int>(done * 100 / total) : 0; }
    // m:ss left at the rate so far, "--" before there is a rate.
    std::string left() const {
        if (done <= 0 || total <= 0) return "--";
        const double spent = Since(progress_started);
        const double share = static_cast<double>(done) / static_cast<double>(total);
        const int s = static_cast<int>(spent / share - spent + 0.5);
        char out[16];
        std::snprintf(out, sizeof out, "%d:%02d", s / 60, s % 60);
        return out;
    }
};

// What the parent prints: a line per bridge kept in place on a terminal,
// a line per event otherwise.
class View {
  public:
    View(std::vector<Board>& boards, bool terminal) : boards_(boards), terminal_(terminal) {}

    void event(const Board& b, const std::string& what) {
        if (terminal_) return draw(false);
        std::printf("%s: %s\n", b.bridge.c_str(), what.c_str());
        std::fflush(stdout);
    }
    // Redraws the lines (at most a few times a second unless forced).
    void draw(bool force) {
        if (!terminal_) return;
        if (!force && Clock::now() - last_draw_ < kRedraw) return;
        last_draw_ = Clock::now();
        if (drawn_) std::printf("\x1b[%zuA", boards_.size());
        for (const Board& b : boards_)
            std::printf("\x1b[2K%s\n", Row(b).c_str());
        drawn_ = true;
        std::fflush(stdout);
    }

  private:
    static std::string Row(const Board& b) {
        char row[256];
        if (b.status == kSuccess)
            std::snprintf(row, sizeof row, "%-10s %-14s %-9s %.1f s", b.bridge.c_str(),
                          b.chip.c_str(), b.phase.c_str(), b.seconds);
        else if (b.status >= 0 || b.total == 0)
            std::snprintf(row, sizeof row, "%-10s %-14s %-9s %s", b.bridge.c_str(), b.chip.c_str(),
                          b.phase.c_str(), b.message.substr(0, 60).c_str());
        else
            std::snprintf(row, sizeof row, "%-10s %-14s %-9s %3d%%  %s left", b.bridge.c_str(),
                          b.chip.c_str(), b.phase.c_str(), b.percent(), b.left().c_str());
        return row;
    }

    std::vector<Board>& boards_;
    bool terminal_;
    bool drawn_ = false;
    Clock::time_point last_draw_{};
};

// A worker's line: a report changes its board, anything else is a message.
void Take(Board& b, const std::string& line, View& view) {
    const std::string prefix(report::kPrefix);
    if (line.compare(0, prefix.size(), prefix) != 0) {
        if (line.empty()) return;
        b.message = line;
        return view.event(b, line);
    }
    std::istringstream in(line.substr(prefix.size()));
    std::string key, rest;
    in >> key;
    std::getline(in >> std::ws, rest);
    if (key == "chip") {
        b.chip = rest;
        view.event(b, std::string(text::kEventChip) + rest);
    } else if (key == "phase") {
        b.phase = rest;
        view.event(b, rest);
    } else if (key == "serial") {
        b.serial = rest;
        view.event(b, std::string(text::kEventSerial) + rest);
    } else if (key == "progress") {
        long long done = 0, total = 0;
        std::istringstream numbers(rest);
        numbers >> done >> total;
        if (b.total == 0) b.progress_started = Clock::now();
        b.done = done;
        b.total = total;
        const int tenth = b.percent() / 10;
        if (tenth != b.last_tenth) {
            b.last_tenth = tenth;
            view.event(b, b.phase + " " + std::to_string(tenth * 10) + "%");
        }
    }
}

} // namespace

std::vector<std::string> WorkerArgs(int argc, const char* const* argv, const std::string& bridge) {
    std::vector<std::string> args{SelfPath(argv[0])};
    for (int i = 1; i < argc; ++i) {
        // The record's location, a password in it perhaps, goes to the
        // workers through the environment, never on a command line others
        // can read.
        if (std::strcmp(argv[i], "--record") == 0 && i + 1 < argc) {
            os::set_environment(record::kEnvironmentVariable, argv[++i]);
            continue;
        }
        if (std::strncmp(argv[i], "--record=", 9) == 0) {
            os::set_environment(record::kEnvironmentVariable, argv[i] + 9);
            continue;
        }
        if (std::strcmp(argv[i], "--all") != 0 && std::strcmp(argv[i], "--json") != 0)
            args.emplace_back(argv[i]);
    }
    args.insert(args.end(), {"--device", bridge, "--report"});
    return args;
}

namespace {

void Finish(Board& b, int status, bool stop_sent, View& view) {
    b.status = status;
    b.stop_sent = stop_sent;
    b.seconds = Since(b.started);
    // A worker ended by a signal said nothing of it.
    if (status > 128 && b.message.empty())
        b.message = std::string(text::kWorkerKilled) + std::to_string(status - 128);
    const bool ok = b.status == kSuccess;
    b.phase = std::string(ok            ? text::kPhaseDone
                          : b.stop_sent ? text::kPhaseStopped
                                        : text::kPhaseFailed);
    view.event(b, b.phase + (ok || b.message.empty() ? "" : ": " + b.message));
}

void SummaryJson(const std::vector<Board>& boards) {
    std::printf("[");
    for (std::size_t i = 0; i < boards.size(); ++i) {
        const Board& b = boards[i];
        std::printf("%s\n {\"bridge\": \"%s\", \"chip\": \"%s\", \"result\": \"%s\", "
                    "\"seconds\": %.1f, \"serial\": \"%s\", \"message\": \"%s\"}",
                    i ? "," : "", JsonText(b.bridge).c_str(), JsonText(b.chip).c_str(),
                    b.phase.c_str(), b.seconds, JsonText(b.serial).c_str(),
                    JsonText(b.status == kSuccess ? std::string() : b.message).c_str());
    }
    std::printf("\n]\n");
    std::fflush(stdout);
}

void Summary(const std::vector<Board>& boards) {
    std::printf("\n%-10s %-14s %-8s %8s  %-16s %s\n", "bridge", "chip", "result", "time", "serial",
                "message");
    int done = 0;
    for (const Board& b : boards) {
        const bool ok = b.status == kSuccess;
        done += ok ? 1 : 0;
        std::printf("%-10s %-14s %-8s %6.1f s  %-16s %s\n", b.bridge.c_str(), b.chip.c_str(),
                    b.phase.c_str(), b.seconds, b.serial.empty() ? "-" : b.serial.c_str(),
                    ok ? "" : b.message.c_str());
    }
    std::printf("%d of %zu boards done\n", done, boards.size());
    std::fflush(stdout);
}

int Tell(std::string_view why) {
    std::fprintf(stderr, "%s: %s\n", std::string(text::kProgram).c_str(), std::string(why).c_str());
    return kFailure;
}

// The chip behind a bridge: its ID, family and size; "none" when no chip
// answered.
std::string Probe(ZintraLink& zintra, const std::string& serial) {
    if (!zintra.ZintraSelectBridge(serial) || !zintra.ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0))
        return std::string(text::kNotOpened);
    std::array<uint8_t, 3> id{};
    std::string chip(text::kChipUnread);
    if (zintra.ZintraChipId(id.data())) {
        std::string family;
        const int32_t kib = zintra.ZintraChipFamily(id.data(), family);
        char line[96];
        std::snprintf(line, sizeof line, "%02X %02X %02X %s %d KiB", id[0], id[1], id[2],
                      family.empty() ? "?" : family.c_str(), kib);
        chip = ops::NoChipAnswered(id) ? std::string(text::kNoChipShort) : std::string(line);
    }
    zintra.ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
    return chip;
}

} // namespace

int ListBridges(ops::Session& session, const Options& o) {
    ZintraLink& zintra = session.zintra();
    if (!zintra.available("ZintraListBridges")) return Tell(text::kNoBridgeList);
    const std::vector<Bridge> bridges = zintra.ZintraListBridges();
    if (bridges.empty() && !o.json) return Tell(text::kNoBridges);
    if (o.json) std::printf("[");
    for (std::size_t i = 0; i < bridges.size(); ++i) {
        const Bridge& bridge = bridges[i];
        const std::string chip = o.probe ? Probe(zintra, bridge.serial) : std::string();
        if (o.json)
            std::printf("%s\n {\"serial\": \"%s\", \"description\": \"%s\"%s}", i ? "," : "",
                        JsonText(bridge.serial).c_str(), JsonText(bridge.description).c_str(),
                        o.probe ? (", \"chip\": \"" + JsonText(chip) + "\"").c_str() : "");
        else
            std::printf("%-16s %-32s %s\n", bridge.serial.c_str(), bridge.description.c_str(),
                        chip.c_str());
    }
    if (o.json) std::printf("%s]\n", bridges.empty() ? "" : "\n");
    return kSuccess;
}

int RunGang(ops::Session& session, int argc, const char* const* argv, bool (*stop)(), bool json) {
    std::vector<std::string> bridges;
    if (const std::optional<std::string> why = ops::BridgesForWorkers(session.zintra(), bridges))
        return Tell(*why);
    std::vector<Board> boards(bridges.size());
    for (std::size_t i = 0; i < bridges.size(); ++i)
        boards[i].bridge = bridges[i];
    View view(boards, !json && os::is_terminal(stdout));
    WorkerPool pool;
    pool.start(bridges, [&](const std::string& bridge) { return WorkerArgs(argc, argv, bridge); });
    for (std::size_t i = 0; i < bridges.size(); ++i)
        if (!pool.workers()[i].why_not_started.empty()) {
            boards[i].status = kFailure;
            boards[i].phase = std::string(text::kPhaseFailed);
            boards[i].message = pool.workers()[i].why_not_started;
        }
    view.draw(true);
    while (pool.running()) {
        pool.poll(
            kPollMs, [&](std::size_t i, const std::string& line) { Take(boards[i], line, view); },
            [&](std::size_t i) {
                const WorkerPool::Worker& w = pool.workers()[i];
                Finish(boards[i], w.status, w.stop_sent, view);
            });
        if (stop()) pool.stopAll();
        view.draw(false);
    }
    view.draw(true);
    if (json)
        SummaryJson(boards);
    else
        Summary(boards);
    const auto done = [](const Board& b) { return b.status == kSuccess; };
    return std::all_of(boards.begin(), boards.end(), done) ? kSuccess : kFailure;
}

namespace report {

void Enable() {
    report_on = true;
}

bool Enabled() {
    return report_on;
}

void Phase(std::string_view phase) {
    Line("phase", std::string(phase));
}

// The family where the library knows the part, else its ID; "none" when no
// chip answered.
void Chip(ops::Session& session) {
    if (!report_on) return;
    const ops::Chip& chip = session.board().chip();
    if (!chip.answered()) return Line("chip", std::string(text::kNoChipShort));
    Line("chip", chip.family.empty() ? chip.idText() : chip.family);
}

void Progress(int64_t done, int64_t total) {
    static Clock::time_point last{};
    if (!report_on || (done < total && Clock::now() - last < kReportEvery)) return;
    last = Clock::now();
    Line("progress", std::to_string(done) + " " + std::to_string(total));
}

void Serial(const std::string& serial) {
    Line("serial", serial);
}

} // namespace report

} // namespace plexmoor::cli
