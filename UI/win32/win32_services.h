// The services of the window on Win32: MessageBoxA titled with the
// application title, the common file dialogs, the thread's pending
// messages, the executable's folder, the local date and History.
#pragma once

#include "services.h"

#include <windows.h>

#include <memory>

namespace plexmoor {

class Win32History;

class Win32Services : public Services {
  public:
    Win32Services();
    ~Win32Services() override;

    // The window the boxes and dialogs belong to, and the one a deferred
    // close is sent to.
    void setWindow(HWND window) { window_ = window; }

    Answer messageBox(const std::string& text, Buttons buttons) override;
    std::string openFileDialog(const std::string& filter) override;
    std::string saveFileDialog(const std::string& filter) override;
    void processEvents() override;
    std::string programFolder() override;
    Date today() override;
    void requestClose() override;
    void showHistory(const std::vector<record::Entry>& rows) override;

  private:
    std::string fileDialog(const std::string& filter, bool save);

    HWND window_ = nullptr;
    std::unique_ptr<Win32History> history_; // made at the first History
};

// Runs one message: the keyboard navigation of its window (the main one,
// or History) first, then the window procedures. The program's loop and
// processEvents share it.
void DispatchWindowMessage(HWND window, MSG& message);

} // namespace plexmoor
