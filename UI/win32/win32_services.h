// The services of the window on Win32: MessageBoxA titled with the
// application title, the common file dialogs, the thread's pending
// messages, the executable's folder and the local date.
#pragma once

#include "services.h"

#include <windows.h>

namespace plexmoor {

class Win32Services : public Services {
  public:
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

  private:
    std::string fileDialog(const std::string& filter, bool save);

    HWND window_ = nullptr;
};

// Runs one message: the window's keyboard navigation first, then the
// window procedures. The program's loop and processEvents share it.
void DispatchWindowMessage(HWND window, MSG& message);

} // namespace plexmoor
