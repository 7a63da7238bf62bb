#include "cli_run_view.h"

#include "cli_gang.h"
#include "cli_services.h"
#include "cli_texts.h"
#include "os.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace plexmoor::cli {

void ProgressReport::start(int64_t total, std::string_view verb) {
    total_ = total;
    verb_ = verb;
    running_ = true;
    last_tenth_ = -1;
    started_ = std::chrono::steady_clock::now();
    last_draw_ = started_ - std::chrono::seconds(1);
    update(0);
}

void ProgressReport::update(int64_t done) {
    if (total_ <= 0 || !running_) return;
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
    std::fprintf(stderr, "%s %3d%% (%lld of %lld bytes, %.1f s)\n", std::string(verb_).c_str(),
                 tenth * 10, static_cast<long long>(done), static_cast<long long>(total_), spent);
}

void ProgressReport::finish(bool ok) {
    if (!running_) return;
    running_ = false;
    if (report_) {
        if (ok) report::Progress(total_, total_);
        return;
    }
    const double spent =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    breakLine();
    if (ok) {
        if (!terminal_ && last_tenth_ < 10) {
            running_ = true;
            update(total_);
            running_ = false;
        }
        std::fprintf(stderr, "%s %lld bytes in %.1f s\n", std::string(verb_).c_str(),
                     static_cast<long long>(total_), spent);
    }
}

void ProgressReport::breakLine() {
    if (!bar_shown_) return;
    bar_shown_ = false;
    std::fprintf(stderr, "\n");
}

namespace {

ProgressStyle StyleHere() {
    return report::Enabled()         ? ProgressStyle::Report
           : os::is_terminal(stderr) ? ProgressStyle::Bar
                                     : ProgressStyle::Lines;
}

CliServices& Terminal(ops::Session& session) {
    return static_cast<CliServices&>(session.services());
}

} // namespace

CliRunView::CliRunView(ops::Session& session, std::function<bool()> interrupted)
    : session_(session), interrupted_(std::move(interrupted)), progress_(StyleHere()) {
    CliServices& terminal = Terminal(session_);
    terminal.beforeMessage([this] { progress_.breakLine(); });
    terminal.onPump([this] { pump(); });
}

CliRunView::~CliRunView() {
    CliServices& terminal = Terminal(session_);
    terminal.onPump(nullptr);
    terminal.beforeMessage(nullptr);
}

void CliRunView::starting(ops::Phase phase) {
    setting_ = phase == ops::Phase::Setting;
    if (setting_) report::Phase(text::kPhaseSerial);
}

void CliRunView::locked(int32_t start, int64_t length) {
    start_ = start;
    length_ = length;
    stop_taken_ = false;
}

void CliRunView::backingUp(int32_t first, int64_t length) {
    report::Phase(text::kPhaseBackup);
    backup_first_ = first;
    backup_length_ = length;
    backup_pass_ = 0;
    backup_last_ = first;
    progress_.start(2 * length, text::kBackedUp);
}

void CliRunView::programming() {
    if (backup_length_ > 0) progress_.finish(true);
    backup_length_ = 0;
    programming_ = true;
    report::Phase(text::kPhaseProgram);
    progress_.start(length_, text::kProgrammed);
}

void CliRunView::unlocked() {
    programming_ = false;
}

void CliRunView::ended(bool ok) {
    progress_.finish(ok);
    backup_length_ = 0;
}

// Ctrl+C asks the library to stop at its next page, again at every pump
// until a run is there to take it: a stop during the backup ends the run
// before anything is erased. A configuration block is finished first.
void CliRunView::pump() {
    if (interrupted_() && !stop_taken_) {
        if (setting_) {
            if (!told_) std::fprintf(stderr, "%s\n", std::string(text::kBlockBeingWritten).c_str());
            told_ = true;
        } else {
            stop_taken_ = session_.requestStop();
            if (!stop_taken_ && session_.zintra().programming() && !told_) {
                told_ = true;
                std::fprintf(stderr, "\n%s\n", std::string(text::kRunGoesOn).c_str());
            }
        }
    }
    if (!session_.zintra().programming()) return;
    const int64_t at = session_.zintra().GetFlashProgress();
    if (backup_length_ > 0) {
        // The backup reads its range twice, once to write the file and once
        // to compare.
        if (at < backup_last_ && backup_pass_ == 0) backup_pass_ = 1;
        backup_last_ = static_cast<int32_t>(at);
        progress_.update(std::clamp<int64_t>(at - backup_first_, 0, backup_length_) +
                         backup_pass_ * backup_length_);
        return;
    }
    // The library's progress is an address; the run counts from its start.
    if (programming_) progress_.update(at - int64_t{start_});
}

} // namespace plexmoor::cli
