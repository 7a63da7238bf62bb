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

void ProgressReport::start(int64_t total) {
    total_ = total;
    last_tenth_ = -1;
    started_ = std::chrono::steady_clock::now();
    last_draw_ = started_ - std::chrono::seconds(1);
    update(0);
}

void ProgressReport::update(int64_t done) {
    if (total_ <= 0) return;
    if (done > total_) done = total_;
    if (report_) return report::Progress(done, total_);
    const double share = static_cast<double>(done) / static_cast<double>(total_);
    const auto now = std::chrono::steady_clock::now();
    const double spent = std::chrono::duration<double>(now - started_).count();
    if (terminal_) {
        if (now - last_draw_ < std::chrono::milliseconds(100)) return;
        last_draw_ = now;
        constexpr int kWidth = 40;
        const int filled = static_cast<int>(share * kWidth);
        std::string bar(static_cast<std::size_t>(filled), '#');
        bar.resize(kWidth, '.');
        std::string left = "--";
        if (done > 0) {
            const int seconds = static_cast<int>(spent / share - spent + 0.5);
            left = std::to_string(seconds / 60) + ":" + (seconds % 60 < 10 ? "0" : "") +
                   std::to_string(seconds % 60);
        }
        std::fprintf(stderr, "\r[%s] %5.1f%%  %s left ", bar.c_str(), share * 100.0, left.c_str());
        bar_shown_ = true;
        std::fflush(stderr);
        return;
    }
    const int tenth = static_cast<int>(share * 10.0);
    if (tenth == last_tenth_) return;
    last_tenth_ = tenth;
    std::fprintf(stderr, "programmed %3d%% (%lld of %lld bytes, %.1f s)\n", tenth * 10,
                 static_cast<long long>(done), static_cast<long long>(total_), spent);
}

void ProgressReport::finish(bool ok) {
    if (report_) {
        if (ok) report::Progress(total_, total_);
        return;
    }
    const double spent =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    breakLine();
    if (ok) {
        if (!terminal_ && last_tenth_ < 10) update(total_);
        std::fprintf(stderr, "programmed %lld bytes in %.1f s\n", static_cast<long long>(total_),
                     spent);
    }
}

void ProgressReport::breakLine() {
    if (!bar_shown_) return;
    bar_shown_ = false;
    std::fprintf(stderr, "\n");
}

} // namespace plexmoor::cli
