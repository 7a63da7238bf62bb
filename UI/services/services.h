// What the window procedures need from the world outside the controls:
// message boxes, file dialogs, pending events, the program's folder, the
// date and closing the window. A toolkit binding implements it for real;
// tests implement it with a double.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace plexmoor {

namespace record {
struct Entry;
}

// What the station dialog starts from: the image every board gets, the
// configuration file its boards take (the window's, saved), the record's
// location and plexmoor-cli, whose workers run the bridges.
struct StationSetup {
    std::string image;
    std::string config;
    std::string record; // as the Record box says it; empty for the default
    std::string cli;
    bool fast = false;
    int clock_mhz = 0;
    // The bridges the workers take, or why none can be run.
    std::vector<std::string> bridges;
    std::string refused;
};

enum class Buttons { Ok, YesNo };
enum class Answer { Ok, Yes, No };

struct Date {
    int year = 2000; // four digits
    int month = 1;   // 1-12
    int day = 1;     // 1-31
};

class Services {
  public:
    virtual ~Services() = default;

    // A modal box titled with the application title, without icon.
    virtual Answer messageBox(const std::string& text, Buttons buttons = Buttons::Ok) = 0;
    // The chosen file's full path, or empty when the dialog was cancelled.
    // The filter is written "Description (*.ext)|*.ext".
    virtual std::string openFileDialog(const std::string& filter) = 0;
    virtual std::string saveFileDialog(const std::string& filter) = 0;
    // As openFileDialog, opening in folder; a front end without dialogs
    // answers as it does there.
    virtual std::string openFileDialogIn(const std::string& filter, const std::string& folder) {
        static_cast<void>(folder);
        return openFileDialog(filter);
    }
    // A line of text the user types in answer to prompt, or nothing when
    // the dialog was cancelled. A front end that cannot ask cancels.
    virtual std::optional<std::string> inputBox(const std::string& prompt) {
        static_cast<void>(prompt);
        return std::nullopt;
    }
    // Runs what is waiting: repaints, timer ticks, clicks on unlocked controls.
    virtual void processEvents() = 0;
    // The folder the program was started from, without a trailing separator.
    virtual std::string programFolder() = 0;
    virtual Date today() = 0;
    // Asks for the window to be closed again once the current handler has
    // returned; used for a close that had to wait.
    virtual void requestClose() = 0;
    // The production record's latest rows, oldest first, in a window of
    // their own with a filter and an export; a front end without such a
    // window shows nothing.
    virtual void showHistory(const std::vector<record::Entry>& rows) { static_cast<void>(rows); }
    // The station in a dialog of its own over the window; false where the
    // front end has none (the station then runs in plexmoor-cli).
    virtual bool showStation(const StationSetup& setup) {
        static_cast<void>(setup);
        return false;
    }
};

} // namespace plexmoor
