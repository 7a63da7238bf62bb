#include "station.h"

#include "configuration_operations.h"
#include "history_format.h"
#include "image_copy.h"
#include "operation_support.h"
#include "operation_texts.h"
#include "program_image.h"

#include <cstdio>
#include <sstream>
#include <thread>

namespace plexmoor::ops {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kFailuresKept = 5;
constexpr auto kReopenEvery = std::chrono::seconds(1);

struct StepName_ {
    StationStep step;
    std::string_view name;
};
constexpr StepName_ kSteps[] = {
    {StationStep::Waiting, "waiting"}, {StationStep::Started, "started"},
    {StationStep::Passed, "pass"},     {StationStep::Failed, "fail"},
    {StationStep::Removed, "removed"}, {StationStep::Lost, "lost"},
    {StationStep::Ended, "ended"},
};

constexpr std::string_view kLinePrefix = "@station ";

using record::JsonString;

} // namespace

std::string_view StepName(StationStep step) {
    for (const StepName_& s : kSteps)
        if (s.step == step) return s.name;
    return "?";
}

Outcome StationBoard(Session& session, Configuration& config, const StationRequest& r,
                     RunView& view) {
    Ending ended(session);
    Outcome& out = ended.out;
    if (!BoardReady(session)) return ended(Result::Refused, {});
    // What the board holds before the image covers its block: a board put
    // back on keeps its serial where the record knows it as its own.
    const std::optional<std::string> held = session.zintra().ZintraBoardSerial();
    std::string why;
    const std::optional<ImageCopy> image = ImageCopy::Take(r.image, why);
    if (!image) {
        session.tell(why);
        return ended(Result::Refused, why);
    }
    ProductionRecord& record = session.record();
    const Board& board = session.board();
    record::Entry e;
    e.operation = record::Operation::Station;
    e.bridge = board.chosen();
    e.chip_id = board.chip().idText();
    if (board.chip().size != 0) e.chip_size = static_cast<int64_t>(board.chip().size);
    e.address = 0;
    e.mode = r.fast ? "fast" : "exact";
    if (!record.begin(e, r.image, &image->bytes())) return ended(Result::Refused, {});
    out.row = record.row();
    auto close = [&](Result result, const std::string& message, const std::string& read) {
        record::Closing c;
        c.result = result == Result::Done ? record::Result::Done : record::Result::Failed;
        c.message = message;
        c.board_serial = read;
        c.chip_id = board.chip().idText();
        if (board.chip().size != 0) c.chip_size = static_cast<int64_t>(board.chip().size);
        record.finish(c);
    };

    FlashRequest program;
    program.what = record::Operation::Station;
    program.image = r.image;
    program.fast = r.fast;
    program.clock_mhz = r.clock_mhz;
    program.own_row = false;
    program.copy = &*image;
    const Outcome programmed = Flash(session, program, view);
    if (!programmed.ok()) {
        ended(programmed.result == Result::Stopped ? Result::Stopped : Result::Failed,
              programmed.reason());
        close(out.result, out.summary, {});
        return out;
    }

    SettingRequest setting;
    setting.source = r.new_serials ? SerialSource::Next : SerialSource::Kept;
    setting.chosen = r.chosen;
    setting.what = record::Operation::Station;
    setting.own_row = false;
    setting.board_serial = held;
    const Outcome written = FlashSetting(session, config, setting, view);
    out.serial = written.serial;
    // Verified twice over: every page read back as it was programmed, and
    // the block's serial as the board holds it now.
    const std::string read = session.zintra().ZintraBoardSerial().value_or("");
    if (!written.ok()) {
        ended(Result::Failed,
              written.reason().empty() ? std::string(text::kBlockNotWritten) : written.reason());
    } else if (read != written.serial) {
        ended(Result::Failed, std::string(text::kSerialNotOnBoard) + written.serial);
    } else {
        ended(Result::Done, written.serial);
    }
    close(out.result, out.ok() ? std::string(text::kStationPassed) + out.serial : out.summary,
          read);
    return out;
}

StationLoop::StationLoop(Session& session, Configuration& config, StationRequest request, Tell tell)
    : session_(session), config_(config), request_(std::move(request)), tell_(std::move(tell)) {}

void StationLoop::tell(StationStep step, std::string serial, std::string reason, double seconds) {
    if (!tell_) return;
    StationEvent e;
    e.bridge = session_.board().chosen();
    e.step = step;
    e.serial = std::move(serial);
    e.reason = std::move(reason);
    e.seconds = seconds;
    tell_(e);
}

// A bridge that does not open (unplugged, its power gone) is said once and
// tried again every second, so the station goes on when it is back.
bool StationLoop::openBridge(const std::function<bool()>& stop) {
    Board& board = session_.board();
    bool told = false;
    while (!board.isOpen()) {
        if (board.open()) break;
        if (!told) tell(StationStep::Lost, {}, std::string(text::kBridgeLost));
        told = true;
        const auto until = Clock::now() + kReopenEvery;
        while (Clock::now() < until) {
            if (stop()) return false;
            std::this_thread::sleep_for(request_.poll);
        }
    }
    return true;
}

// Until a chip answers (a board was put on), or none does (it was taken
// off); false when stop() came first.
bool StationLoop::waitFor(bool answering, const std::function<bool()>& stop) {
    Board& board = session_.board();
    for (;;) {
        if (board.readChip().answered() == answering) return true;
        if (stop()) return false;
        std::this_thread::sleep_for(request_.poll);
    }
}

int StationLoop::run(const std::function<bool()>& stop, std::optional<int> count, RunView& view) {
    int boards = 0;
    while (!stop() && (!count || boards < *count)) {
        if (!openBridge(stop)) break;
        tell(StationStep::Waiting);
        if (!waitFor(true, stop)) break;
        tell(StationStep::Started);
        const auto started = Clock::now();
        const Outcome outcome = StationBoard(session_, config_, request_, view);
        const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
        ++boards;
        if (outcome.ok())
            tell(StationStep::Passed, outcome.serial, {}, seconds);
        else
            tell(StationStep::Failed, outcome.serial,
                 outcome.summary.empty() ? outcome.reason() : outcome.summary, seconds);
        if (count && boards >= *count) break;
        if (!waitFor(false, stop)) break;
        tell(StationStep::Removed);
    }
    tell(StationStep::Ended);
    return boards;
}

std::string EventLine(const StationEvent& e) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", e.seconds);
    std::string reason = e.reason;
    for (char& c : reason)
        if (c == '\n' || c == '\r') c = ' ';
    return std::string(kLinePrefix) + (e.bridge.empty() ? "-" : e.bridge) + " " +
           std::string(StepName(e.step)) + " " + (e.serial.empty() ? "-" : e.serial) + " " +
           seconds + (reason.empty() ? "" : " " + reason);
}

std::optional<StationEvent> ParseEventLine(std::string_view line) {
    if (line.substr(0, kLinePrefix.size()) != kLinePrefix) return std::nullopt;
    std::istringstream in(std::string(line.substr(kLinePrefix.size())));
    StationEvent e;
    std::string step;
    if (!(in >> e.bridge >> step >> e.serial >> e.seconds)) return std::nullopt;
    if (e.bridge == "-") e.bridge.clear();
    if (e.serial == "-") e.serial.clear();
    bool known = false;
    for (const StepName_& s : kSteps)
        if (s.name == step) {
            e.step = s.step;
            known = true;
        }
    if (!known) return std::nullopt;
    std::getline(in >> std::ws, e.reason);
    return e;
}

std::string EventJson(const StationEvent& e) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", e.seconds);
    return "{\"bridge\": " + JsonString(e.bridge) +
           ", \"step\": " + JsonString(std::string(StepName(e.step))) +
           ", \"serial\": " + JsonString(e.serial) + ", \"seconds\": " + seconds +
           ", \"reason\": " + JsonString(e.reason) + "}";
}

void StationTally::take(const StationEvent& e, Clock::time_point) {
    // A loop that ended leaves its bridge showing how its last board went.
    if (e.step != StationStep::Ended || !bridges_.count(e.bridge)) bridges_[e.bridge] = e;
    if (e.step == StationStep::Passed) ++passed_;
    if (e.step != StationStep::Failed) return;
    ++failed_;
    failures_.push_back(e);
    if (failures_.size() > kFailuresKept) failures_.pop_front();
}

double StationTally::yield() const {
    return boards() == 0 ? 0.0 : 100.0 * passed_ / boards();
}

double StationTally::perHour(Clock::time_point now) const {
    const double hours = std::chrono::duration<double>(now - started_).count() / 3600.0;
    return hours <= 0 ? 0.0 : boards() / hours;
}

} // namespace plexmoor::ops
