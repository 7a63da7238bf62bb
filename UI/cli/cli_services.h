// The window's services without a window: message boxes become lines on
// standard error, questions take their answer from the command line, file
// dialogs are refused, and the event pump reports programming progress.
#pragma once

#include "services.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace plexmoor::cli {

class CliServices : public Services {
  public:
    // The answer to every question, or nothing to refuse them.
    void setAnswer(std::optional<Answer> answer) { answer_ = answer; }
    // Called from the pump while a run is in progress; the front end turns
    // it into the progress it prints.
    void onPump(std::function<void()> pump) { pump_ = std::move(pump); }
    // Called before a message is printed, so it starts on a line of its own.
    void beforeMessage(std::function<void()> hook) { before_message_ = std::move(hook); }

    Answer messageBox(const std::string& text, Buttons buttons) override;
    std::string openFileDialog(const std::string& filter) override;
    std::string saveFileDialog(const std::string& filter) override;
    void processEvents() override;
    std::string programFolder() override;
    Date today() override;
    void requestClose() override {}

    // What the logic told the user since the last reset, as a failure; a
    // question it could not answer is a usage error.
    int messages() const { return messages_; }
    const std::string& lastMessage() const { return last_message_; }
    bool unansweredQuestion() const { return unanswered_; }
    void reset() {
        messages_ = 0;
        unanswered_ = false;
    }

  private:
    std::optional<Answer> answer_;
    std::function<void()> pump_;
    std::function<void()> before_message_;
    int messages_ = 0;
    std::string last_message_;
    bool unanswered_ = false;
};

// How a run's progress is shown: a bar with the time left on a terminal, a
// line every tenth otherwise, or as a worker's report lines to its parent.
enum class ProgressStyle { Bar, Lines, Report };

// Progress of a programming run on standard error (a worker's report on
// standard output).
class ProgressReport {
  public:
    explicit ProgressReport(ProgressStyle style)
        : terminal_(style == ProgressStyle::Bar), report_(style == ProgressStyle::Report) {}
    void start(int64_t total);
    void update(int64_t done);
    void finish(bool ok);
    // Ends the bar's line, so that what is printed next has a line of its own.
    void breakLine();

  private:
    bool terminal_;
    bool report_;
    bool bar_shown_ = false;
    int64_t total_ = 0;
    int last_tenth_ = -1;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point last_draw_;
};

} // namespace plexmoor::cli
