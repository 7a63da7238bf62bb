// What plexmoor-cli shows while an operation holds the board: the phase,
// and the progress of a backup or a programming run on standard error (a
// bar with the time left on a terminal, a line every tenth otherwise, or a
// worker's report lines to its parent); Ctrl+C passed on as a stop.
#pragma once

#include "run_view.h"
#include "session.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string_view>

namespace plexmoor::cli {

enum class ProgressStyle { Bar, Lines, Report };

class ProgressReport {
  public:
    explicit ProgressReport(ProgressStyle style)
        : terminal_(style == ProgressStyle::Bar), report_(style == ProgressStyle::Report) {}
    // verb names what is counted: "programmed", "backed up".
    void start(int64_t total, std::string_view verb);
    void update(int64_t done);
    void finish(bool ok);
    // Ends the bar's line, so that what is printed next has a line of its own.
    void breakLine();

  private:
    bool terminal_;
    bool report_;
    bool bar_shown_ = false;
    bool running_ = false;
    std::string_view verb_;
    int64_t total_ = 0;
    int last_tenth_ = -1;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point last_draw_;
};

class CliRunView : public ops::RunView {
  public:
    // interrupted tells whether Ctrl+C (or a polite kill) came.
    CliRunView(ops::Session& session, std::function<bool()> interrupted);
    ~CliRunView() override;

    void starting(ops::Phase phase) override;
    void locked(int32_t start, int64_t length) override;
    void backingUp(int32_t first, int64_t length) override;
    void programming() override;
    void unlocked() override;
    // The last run ended as told; its progress line closed.
    void ended(bool ok);

  private:
    void pump();
    ops::Session& session_;
    std::function<bool()> interrupted_;
    ProgressReport progress_;
    int32_t start_ = 0;
    int64_t length_ = 0;
    // While a backup runs: its range and which of its two passes.
    int32_t backup_first_ = 0;
    int64_t backup_length_ = 0;
    int backup_pass_ = 0;
    int32_t backup_last_ = 0;
    bool programming_ = false;
    bool stop_taken_ = false;
    bool told_ = false;
    bool setting_ = false;
};

} // namespace plexmoor::cli
