#include "win32_window.h"

#include <commctrl.h>

#include <string_view>

namespace plexmoor {
namespace {

constexpr const char* kWindowClass = "PlexmoorWindow";
constexpr const char* kPaneClass = "PlexmoorPane";
// A drop-down list's window is as tall as the box and its open list.
constexpr int kOpenListPixels = 200;
constexpr UINT_PTR kEditSubclass = 1;

std::string WindowText(HWND w) {
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(w)) + 1, '\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextA(w, text.data(), static_cast<int>(text.size()))));
    return text;
}

COLORREF ColorRef(uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

void RegisterClasses(HINSTANCE instance, WNDPROC window, WNDPROC pane) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpfnWndProc = pane;
    wc.lpszClassName = kPaneClass;
    RegisterClassExA(&wc);
    wc.lpfnWndProc = window;
    wc.lpszClassName = kWindowClass;
    // The icon of the program's resources, when it has one.
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
    RegisterClassExA(&wc);
}

} // namespace

Win32Window::Win32Window(FlashForm& form) : form_(form) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    RegisterClasses(instance, WindowProc, PaneProc);
    if (HDC screen = GetDC(nullptr)) {
        dpi_ = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
    }
    // The places in the control table are drawn for an 8-point face.
    font_ = CreateFontA(-MulDiv(8, static_cast<int>(dpi_), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                        FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                        DEFAULT_QUALITY, DEFAULT_PITCH, "MS Shell Dlg");
    CreateWindowExA(WS_EX_CONTROLPARENT, kWindowClass, "",
                    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                    instance, this);
    for (Control& c : form_.controls().all())
        create(c);
    // Below its frame's controls, which it would clip away otherwise.
    for (auto& [frame, box] : frame_boxes_)
        SetWindowPos(box, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    for (Control& c : form_.controls().all())
        updateAll(c);
    showTab(0);
    form_.controls().onChange([this](const Control& c, Property p) { update(c, p); });
}

Win32Window::~Win32Window() {
    form_.controls().onChange(nullptr);
    if (hwnd_) DestroyWindow(hwnd_);
    for (auto& [rgb, brush] : brushes_)
        DeleteObject(brush);
    if (font_) DeleteObject(font_);
}

HWND Win32Window::windowOf(const std::string& key) const {
    auto it = by_key_.find(key);
    return it == by_key_.end() ? nullptr : it->second;
}

HWND Win32Window::parentFor(const Control& c) const {
    if (c.parent() == NameOf(C::SSTab) && c.tab() >= 0 && c.tab() < static_cast<int>(pages_.size()))
        return pages_[static_cast<std::size_t>(c.tab())];
    HWND parent = c.parent().empty() ? nullptr : windowOf(c.parent());
    return parent ? parent : hwnd_;
}

HWND Win32Window::createChild(const char* window_class, DWORD style, HWND parent) {
    HWND w = CreateWindowExA(0, window_class, "", WS_CHILD | WS_CLIPSIBLINGS | style, 0, 0, 0, 0,
                             parent, nullptr, GetModuleHandleA(nullptr), nullptr);
    SendMessageA(w, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return w;
}

void Win32Window::create(Control& c) {
    HWND parent = parentFor(c);
    HWND w = nullptr;
    switch (c.kind()) {
    case Kind::Window:
        w = hwnd_;
        break;
    case Kind::TabControl: {
        w = tabs_ = createChild(WC_TABCONTROLA, WS_TABSTOP, parent);
        for (const std::string& caption : c.items()) {
            TCITEMA item{};
            item.mask = TCIF_TEXT;
            item.pszText = const_cast<char*>(caption.c_str());
            SendMessageA(tabs_, TCM_INSERTITEMA, pages_.size(), reinterpret_cast<LPARAM>(&item));
            // Above the tab control, which does not paint over them.
            HWND page = createChild(kPaneClass, WS_CLIPCHILDREN, parent);
            SetWindowLongPtrA(page, GWL_EXSTYLE, WS_EX_CONTROLPARENT);
            SetWindowPos(page, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            pages_.push_back(page);
        }
        break;
    }
    case Kind::Frame: {
        // A pane holding the frame's controls, its group box drawn behind
        // them (put there once they all exist). A group box paints its
        // border and caption only, so the pane erases under it: no
        // WS_CLIPCHILDREN.
        w = createChild(kPaneClass, 0, parent);
        SetWindowLongPtrA(w, GWL_EXSTYLE, WS_EX_CONTROLPARENT);
        frame_boxes_[&c] = createChild("BUTTON", WS_VISIBLE | BS_GROUPBOX, w);
        break;
    }
    case Kind::Label:
        // Every label is one line high: a caption wider than its label is
        // cut, as the Qt window cuts it, not wrapped onto a hidden line.
        w = createChild("STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, parent);
        break;
    case Kind::TextBox:
        w = createChild("EDIT", WS_TABSTOP | ES_AUTOHSCROLL, parent);
        SetWindowLongPtrA(w, GWL_EXSTYLE, WS_EX_CLIENTEDGE);
        SetWindowSubclass(w, EditProc, kEditSubclass, reinterpret_cast<DWORD_PTR>(this));
        break;
    case Kind::MultiLineTextBox:
        // Without wrapping: a wrapped line would read as two records.
        w = createChild("EDIT",
                        WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                            ES_AUTOHSCROLL | ES_WANTRETURN,
                        parent);
        SetWindowLongPtrA(w, GWL_EXSTYLE, WS_EX_CLIENTEDGE);
        break;
    case Kind::ComboBox:
        w = createChild("COMBOBOX", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, parent);
        break;
    case Kind::Button:
        w = createChild("BUTTON", WS_TABSTOP | BS_PUSHBUTTON, parent);
        break;
    case Kind::CheckBox:
        // Checked by the form, which toggles the value on a click.
        w = createChild("BUTTON", WS_TABSTOP | BS_CHECKBOX, parent);
        break;
    case Kind::Timer:
        timers_[timers_.size() + 1] = &c;
        return;
    case Kind::FileDialog:
        return;
    case Kind::ProgressBar:
        w = createChild(PROGRESS_CLASSA, 0, parent);
        SendMessageA(w, PBM_SETRANGE32, 0, 1000);
        break;
    }
    windows_[&c] = w;
    by_key_[c.key()] = w;
    controls_[w] = &c;
}

void Win32Window::updateAll(const Control& c) {
    for (Property p : kAllProperties)
        update(c, p);
}

void Win32Window::applyGeometry(const Control& c) {
    HWND w = windows_.at(&c);
    if (c.kind() == Kind::Window) {
        RECT r{0, 0, pixels(ClientWidthTwips(c)), pixels(ClientHeightTwips(c))};
        AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrA(w, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongPtrA(w, GWL_EXSTYLE)));
        SetWindowPos(w, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    int height = pixels(c.height());
    if (c.kind() == Kind::ComboBox) height += kOpenListPixels;
    MoveWindow(w, pixels(c.left()), pixels(c.top()), pixels(c.width()), height, TRUE);
    if (auto box = frame_boxes_.find(&c); box != frame_boxes_.end())
        MoveWindow(box->second, 0, 0, pixels(c.width()), pixels(c.height()), TRUE);
    if (w == tabs_) placePages();
}

// The pages fill the tab control's display area.
void Win32Window::placePages() {
    RECT r;
    GetClientRect(tabs_, &r);
    SendMessageA(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    MapWindowPoints(tabs_, GetParent(tabs_), reinterpret_cast<POINT*>(&r), 2);
    for (HWND page : pages_)
        MoveWindow(page, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

void Win32Window::showTab(int tab) {
    SendMessageA(tabs_, TCM_SETCURSEL, static_cast<WPARAM>(tab), 0);
    for (std::size_t i = 0; i < pages_.size(); ++i)
        ShowWindow(pages_[i], static_cast<int>(i) == tab ? SW_SHOW : SW_HIDE);
}

void Win32Window::runTimer(const Control& c) {
    for (auto& [id, timer] : timers_) {
        if (timer != &c) continue;
        if (c.enabled() && c.interval() > 0) {
            SetTimer(hwnd_, id, static_cast<UINT>(c.interval()), nullptr);
        } else {
            KillTimer(hwnd_, id);
        }
    }
}

void Win32Window::update(const Control& c, Property property) {
    if (c.kind() == Kind::Timer) {
        if (property == Property::Enabled || property == Property::Interval) runTimer(c);
        return;
    }
    auto found = windows_.find(&c);
    if (found == windows_.end()) return;
    HWND w = found->second;
    WidgetSync::Push push(sync_);
    switch (property) {
    case Property::Geometry:
        applyGeometry(c);
        break;
    case Property::Caption:
        if (auto box = frame_boxes_.find(&c); box != frame_boxes_.end()) {
            SetWindowTextA(box->second, c.caption().c_str());
        } else if (c.kind() != Kind::TextBox && c.kind() != Kind::MultiLineTextBox &&
                   c.kind() != Kind::ComboBox && c.kind() != Kind::TabControl) {
            SetWindowTextA(w, c.caption().c_str());
        }
        break;
    case Property::Text:
        if ((c.kind() == Kind::TextBox || c.kind() == Kind::MultiLineTextBox) &&
            WindowText(w) != c.text())
            SetWindowTextA(w, c.text().c_str());
        break;
    case Property::Items:
        if (c.kind() == Kind::ComboBox) {
            SendMessageA(w, CB_RESETCONTENT, 0, 0);
            for (const std::string& item : c.items())
                SendMessageA(w, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
            SendMessageA(w, CB_SETCURSEL, static_cast<WPARAM>(c.listIndex()), 0);
        }
        break;
    case Property::ListIndex:
        if (c.kind() == Kind::ComboBox)
            SendMessageA(w, CB_SETCURSEL, static_cast<WPARAM>(c.listIndex()), 0);
        break;
    case Property::Value:
        if (c.kind() == Kind::CheckBox)
            SendMessageA(w, BM_SETCHECK, c.value() == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
        if (c.kind() == Kind::ProgressBar)
            SendMessageA(w, PBM_SETPOS, static_cast<WPARAM>(c.value()), 0);
        break;
    case Property::BackColor:
        InvalidateRect(w, nullptr, TRUE);
        break;
    case Property::Interval:
        break;
    case Property::Enabled:
        if (w != hwnd_) setEnabled(c, w);
        break;
    case Property::Visible:
        if (w != hwnd_) ShowWindow(w, c.visible() ? SW_SHOWNA : SW_HIDE);
        break;
    }
}

void Win32Window::setEnabled(const Control& c, HWND w) {
    if (!c.enabled() && sync_.parkFocus(c, GetFocus() == w)) SetFocus(hwnd_);
    EnableWindow(w, c.enabled());
    if (c.enabled()) {
        HWND now = GetFocus();
        if (sync_.unparkFocus(c, !now || now == hwnd_)) SetFocus(w);
    }
}

void Win32Window::command(HWND control, int code) {
    auto found = controls_.find(control);
    if (found == controls_.end()) return;
    Control& c = *found->second;
    ControlSet& set = form_.controls();
    switch (c.kind()) {
    case Kind::Button:
    case Kind::CheckBox:
        if (code == BN_CLICKED) set.userClick(c);
        break;
    case Kind::TextBox:
    case Kind::MultiLineTextBox:
        // However the text came: typed, pasted, or WM_SETTEXT from a tool.
        if (code == EN_CHANGE) sync_.widgetText(c, WindowText(control));
        if (code == EN_SETFOCUS) set.userFocus(c);
        break;
    case Kind::ComboBox:
        if (code == CBN_SELCHANGE) {
            int index = static_cast<int>(SendMessageA(control, CB_GETCURSEL, 0, 0));
            // A list out of reach keeps the form's choice.
            if (!set.userSelect(c, index))
                SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(c.listIndex()), 0);
        }
        break;
    default:
        break;
    }
}

LRESULT Win32Window::colour(HDC dc, HWND control) {
    auto found = controls_.find(control);
    if (found != controls_.end() && found->second->kind() == Kind::Label &&
        found->second->backColor() != kButtonFace) {
        uint32_t rgb = found->second->backColor();
        HBRUSH& brush = brushes_[rgb];
        if (!brush) brush = CreateSolidBrush(ColorRef(rgb));
        SetBkColor(dc, ColorRef(rgb));
        return reinterpret_cast<LRESULT>(brush);
    }
    return DefWindowProcA(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                          reinterpret_cast<LPARAM>(control));
}

LRESULT Win32Window::handleMessage(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case WM_COMMAND:
        if (l) command(reinterpret_cast<HWND>(l), HIWORD(w));
        return 0;
    case WM_NOTIFY: {
        const auto* note = reinterpret_cast<const NMHDR*>(l);
        if (note->hwndFrom == tabs_ && note->code == TCN_SELCHANGE)
            showTab(static_cast<int>(SendMessageA(tabs_, TCM_GETCURSEL, 0, 0)));
        return 0;
    }
    case WM_CTLCOLORSTATIC:
        return colour(reinterpret_cast<HDC>(w), reinterpret_cast<HWND>(l));
    case WM_TIMER:
        if (auto found = timers_.find(w); found != timers_.end() && found->second->enabled())
            form_.controls().raise(*found->second, Event::Timer);
        return 0;
    case WM_CLOSE:
        // A close during a run waits for it (the form asks again).
        if (!form_.Form_QueryUnload()) return 0;
        form_.Form_Unload();
        DestroyWindow(hwnd_);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        hwnd_ = nullptr;
        break;
    default:
        break;
    }
    return DefWindowProcA(hwnd_, message, w, l);
}

LRESULT CALLBACK Win32Window::WindowProc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTA*>(l)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self || !self->hwnd_) return DefWindowProcA(hwnd, message, w, l);
    return self->handleMessage(message, w, l);
}

// Panes pass what their controls notify on to the window.
LRESULT CALLBACK Win32Window::PaneProc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
        return SendMessageA(GetAncestor(hwnd, GA_ROOT), message, w, l);
    default:
        return DefWindowProcA(hwnd, message, w, l);
    }
}

// Enter in a text box is the key the form's handlers take; the dialog
// navigation would otherwise turn it into a default-button press.
LRESULT CALLBACK Win32Window::EditProc(HWND hwnd, UINT message, WPARAM w, LPARAM l, UINT_PTR,
                                       DWORD_PTR self_data) {
    auto* self = reinterpret_cast<Win32Window*>(self_data);
    if (message == WM_GETDLGCODE) {
        const auto* msg = reinterpret_cast<const MSG*>(l);
        LRESULT code = DefSubclassProc(hwnd, message, w, l);
        if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) code |= DLGC_WANTMESSAGE;
        return code;
    }
    if (message == WM_CHAR && w == VK_RETURN) {
        if (auto found = self->controls_.find(hwnd); found != self->controls_.end())
            self->form_.controls().userKeyPress(*found->second, 13);
        return 0;
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, EditProc, kEditSubclass);
    return DefSubclassProc(hwnd, message, w, l);
}

} // namespace plexmoor
