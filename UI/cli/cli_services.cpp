#include "cli_services.h"

#include "cli_gang.h"
#include "os.h"

#include <cstdio>
#include <ctime>
#include <filesystem>

namespace plexmoor::cli {

Answer CliServices::messageBox(const std::string& text, Buttons buttons) {
    if (buttons == Buttons::YesNo) {
        if (answer_) {
            std::fprintf(stderr, "%s? %s\n", text.c_str(), *answer_ == Answer::Yes ? "yes" : "no");
            return *answer_;
        }
        std::fprintf(stderr, "plexmoor-cli: \"%s\" asks a question: answer it with --yes or --no\n",
                     text.c_str());
        unanswered_ = true;
        return Answer::No;
    }
    if (before_message_) before_message_();
    std::fprintf(stderr, "%s\n", text.c_str());
    ++messages_;
    last_message_ = text;
    return Answer::Ok;
}

std::string CliServices::openFileDialog(const std::string&) {
    return {}; // a dialog needs a window; every file comes from the command line
}

std::string CliServices::saveFileDialog(const std::string&) {
    return {};
}

void CliServices::processEvents() {
    if (pump_) pump_();
}

std::string CliServices::programFolder() {
    const std::string exe = os::program_path();
    return exe.empty() ? std::string(".") : std::filesystem::path(exe).parent_path().string();
}

Date CliServices::today() {
    std::time_t now = std::time(nullptr);
    const std::tm local = os::local_time(now);
    return Date{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

} // namespace plexmoor::cli
