// What the window procedures need from the world outside the controls:
// message boxes, file dialogs, pending events, the program's folder, the
// date and closing the window. A toolkit binding implements it for real;
// tests implement it with a double.
#pragma once

#include <string>

namespace plexmoor {

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
    // Runs what is waiting: repaints, timer ticks, clicks on unlocked controls.
    virtual void processEvents() = 0;
    // The folder the program was started from, without a trailing separator.
    virtual std::string programFolder() = 0;
    virtual Date today() = 0;
    // Asks for the window to be closed again once the current handler has
    // returned; used for a close that had to wait.
    virtual void requestClose() = 0;
};

} // namespace plexmoor
