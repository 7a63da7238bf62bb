// The station a technician stands in front of: for each bridge, wait until
// a chip answers, put the board through (image, configuration block with
// its serial, both verified, one row), say PASS or FAIL, wait until the
// board is taken off, again. One loop a bridge and process (Zintra keeps
// one device per process); the front ends tally the events of all of them.
#pragma once

#include "configuration.h"
#include "outcome.h"
#include "run_view.h"
#include "session.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace plexmoor::ops {

struct StationRequest {
    std::string image;
    bool fast = false;
    int32_t clock_mhz = 0;
    // The board's own serial where the record knows it as written to it;
    // true gives every board the next one.
    bool new_serials = false;
    // Before the board's block is written, with its serial: false stops the
    // board (the caller told why); a station without a record saves the
    // configuration file's serial here.
    std::function<bool(const std::string& serial)> chosen;
    // How often a bridge is asked whether a chip answers.
    std::chrono::milliseconds poll{50};
};

// One board through the station, one row of the record.
Outcome StationBoard(Session& session, Configuration& config, const StationRequest& request,
                     RunView& view);

// A board's life at a bridge, as the loop tells it.
enum class StationStep { Waiting, Started, Passed, Failed, Removed, Lost, Ended };
struct StationEvent {
    std::string bridge;
    StationStep step = StationStep::Waiting;
    std::string serial;
    std::string reason; // why it failed, what to do
    double seconds = 0; // the board's time at the station
};

// The loop of one bridge until stop() (looked at only while it waits for a
// board to come or go: a board under way is always finished) or count boards.
class StationLoop {
  public:
    using Tell = std::function<void(const StationEvent&)>;
    StationLoop(Session& session, Configuration& config, StationRequest request, Tell tell);
    // The number of boards put through.
    int run(const std::function<bool()>& stop, std::optional<int> count, RunView& view);

  private:
    bool openBridge(const std::function<bool()>& stop);
    bool waitFor(bool answering, const std::function<bool()>& stop);
    void tell(StationStep step, std::string serial = {}, std::string reason = {},
              double seconds = 0);
    Session& session_;
    Configuration& config_;
    StationRequest request_;
    Tell tell_;
};

// An event as one line for a parent to read (and back), and as JSON.
std::string EventLine(const StationEvent& event);
std::optional<StationEvent> ParseEventLine(std::string_view line);
std::string EventJson(const StationEvent& event);
std::string_view StepName(StationStep step);

// The shift so far: each bridge's last step, the counts, the yield, the
// boards an hour and the last failures.
class StationTally {
  public:
    using Clock = std::chrono::steady_clock;
    explicit StationTally(Clock::time_point started = Clock::now()) : started_(started) {}
    void take(const StationEvent& event, Clock::time_point at = Clock::now());

    int passed() const { return passed_; }
    int failed() const { return failed_; }
    int boards() const { return passed_ + failed_; }
    // Passed of all boards, in percent; 0 before the first.
    double yield() const;
    double perHour(Clock::time_point now = Clock::now()) const;
    const std::map<std::string, StationEvent>& bridges() const { return bridges_; }
    // The latest failures, newest last.
    const std::deque<StationEvent>& lastFailures() const { return failures_; }

  private:
    Clock::time_point started_;
    int passed_ = 0, failed_ = 0;
    std::map<std::string, StationEvent> bridges_;
    std::deque<StationEvent> failures_;
};

} // namespace plexmoor::ops
