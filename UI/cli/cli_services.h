// The window's services without a window: message boxes become lines on
// standard error, questions take their answer from the command line, file
// dialogs are refused, and the event pump reports programming progress.
#pragma once

#include "services.h"

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
    // Errors only: progress and notes are left out.
    void setQuiet(bool quiet) { quiet_ = quiet; }
    bool quiet() const { return quiet_; }
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
    bool quiet_ = false;
};

} // namespace plexmoor::cli
