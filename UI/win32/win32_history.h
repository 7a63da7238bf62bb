// History on Win32, as the Qt program shows it: the production record's
// latest rows in a window beside the main one, owned by it, with a list of
// the terminal's columns (the latest row at the top), a filter box that
// keeps the rows holding its text in any column, the count shown, and an
// export of the rows shown as CSV.
#pragma once

#include "record.h"
#include "services.h"

#include <windows.h>

#include <vector>

namespace plexmoor {

// What a tool finds the window and its controls by (the driver).
inline constexpr const char* kHistoryWindowClass = "PlexmoorHistory";
enum HistoryControl { kHistoryFilter = 101, kHistoryExport, kHistoryList, kHistoryCount };
// Whether w is a History window, whose keys the message loop hands to its
// dialog navigation as it does the main window's.
bool IsHistoryWindow(HWND w);

class Win32History {
  public:
    // Dialogs and boxes of the export go through services.
    Win32History(Services& services, HWND owner);
    ~Win32History();
    Win32History(const Win32History&) = delete;
    Win32History& operator=(const Win32History&) = delete;

    HWND handle() const { return hwnd_; }
    // Shows rows, oldest first, the latest at the top, and brings the
    // window up.
    void show(std::vector<record::Entry> rows);

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM w, LPARAM l);
    LRESULT handleMessage(UINT message, WPARAM w, LPARAM l);
    HWND child(const char* window_class, const char* text, DWORD style, int id);
    void layout();
    void applyFilter();
    void exportCsv();

    Services& services_;
    HWND hwnd_ = nullptr, filter_ = nullptr, list_ = nullptr, count_ = nullptr;
    HWND label_ = nullptr, export_ = nullptr;
    HFONT font_ = nullptr;
    int dpi_ = 96;
    std::vector<record::Entry> rows_;  // the latest first
    std::vector<std::size_t> columns_; // of record::Columns(), in the list
};

} // namespace plexmoor
