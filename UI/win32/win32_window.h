// The window on Win32: one native control per control of the form, at the
// places of the control table, kept in step with the controls, and the
// user's clicks, choices, typing and close requests handed to the form's
// handlers. Frames and tab pages are panes of this program's own class, so
// what their controls notify reaches the window.
#pragma once

#include "binding_support.h"
#include "flash_form.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace plexmoor {

class Win32Window {
  public:
    explicit Win32Window(FlashForm& form);
    ~Win32Window();
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    HWND handle() const { return hwnd_; }
    // The native control of a control, found by the key the code writes
    // ("Command2", "txtFile3(1)"); null when it has none.
    HWND windowOf(const std::string& key) const;
    HWND tabControl() const { return tabs_; }
    // Shows a tab's page, as a click on its tab does.
    void showTab(int tab);
    int pixels(int twips) const { return TwipsToPixels(twips, dpi_); }

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM w, LPARAM l);
    static LRESULT CALLBACK PaneProc(HWND hwnd, UINT message, WPARAM w, LPARAM l);
    static LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM w, LPARAM l, UINT_PTR,
                                     DWORD_PTR self);
    LRESULT handleMessage(UINT message, WPARAM w, LPARAM l);
    void command(HWND control, int code);
    LRESULT colour(HDC dc, HWND control);

    void create(Control& c);
    HWND createChild(const char* window_class, DWORD style, HWND parent);
    HWND parentFor(const Control& c) const;
    void update(const Control& c, Property property);
    void updateAll(const Control& c);
    void applyGeometry(const Control& c);
    void placePages();
    void setEnabled(const Control& c, HWND w);
    void runTimer(const Control& c);

    FlashForm& form_;
    HWND hwnd_ = nullptr;
    HWND tabs_ = nullptr;
    std::vector<HWND> pages_;
    HFONT font_ = nullptr;
    double dpi_ = 96.0;
    std::map<const Control*, HWND> windows_;
    std::map<std::string, HWND> by_key_;
    std::map<HWND, Control*> controls_;
    std::map<const Control*, HWND> frame_boxes_; // a frame's group box, which shows its caption
    std::map<UINT_PTR, Control*> timers_;
    std::map<uint32_t, HBRUSH> brushes_;
    WidgetSync sync_;
};

} // namespace plexmoor
