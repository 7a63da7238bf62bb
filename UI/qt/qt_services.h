// The services of the window on Qt: message boxes titled with the
// application title, file dialogs, Qt's pending events, the executable's
// folder, the local date and the production record's history window.
#pragma once

#include "services.h"

#include <QPointer>
#include <QWidget>

namespace plexmoor {

class HistoryDialog;

class QtServices : public Services {
  public:
    // The window the boxes and dialogs belong to, and the one a deferred
    // close is sent to.
    void setWindow(QWidget* window) { window_ = window; }

    Answer messageBox(const std::string& text, Buttons buttons) override;
    std::string openFileDialog(const std::string& filter) override;
    std::string saveFileDialog(const std::string& filter) override;
    std::string openFileDialogIn(const std::string& filter, const std::string& folder) override;
    std::optional<std::string> inputBox(const std::string& prompt) override;
    void processEvents() override;
    std::string programFolder() override;
    Date today() override;
    void requestClose() override;
    // One history window, brought up to date and to the front each time.
    void showHistory(const std::vector<record::Entry>& rows) override;
    // The station dialog, modal over the window.
    bool showStation(const StationSetup& setup) override;

  private:
    QPointer<QWidget> window_;
    QPointer<HistoryDialog> history_;
};

// "Map File (*.b)|*.b" becomes "Map File (*.b)": descriptions and patterns
// alternate, separated by "|".
QString QtFileFilter(const std::string& filter);

} // namespace plexmoor
