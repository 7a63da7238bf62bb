#include "win32_history.h"

// windows.h names its own file call so; file_replacement.h's is meant here.
#undef ReplaceFile
#include "file_replacement.h"

#include "history_format.h"
#include "text_functions.h"
#include "texts.h"

#include <commctrl.h>

#include <algorithm>
#include <cctype>

namespace plexmoor {
namespace {

// In pixels at 96 dots per inch.
constexpr int kWidth = 960, kHeight = 420, kMargin = 8, kRow = 23, kLabel = 44, kButton = 100;
constexpr int kWidestColumn = 220;

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string WindowText(HWND w) {
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(w)) + 1, '\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextA(w, text.data(), static_cast<int>(text.size()))));
    return text;
}

void SetCell(HWND list, int row, int column, const std::string& text) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(list, column == 0 ? LVM_INSERTITEMA : LVM_SETITEMTEXTA, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
}

} // namespace

Win32History::Win32History(Services& services, HWND owner) : services_(services) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExA(instance, kHistoryWindowClass, &wc)) {
        wc.cbSize = sizeof wc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpfnWndProc = WindowProc;
        wc.lpszClassName = kHistoryWindowClass;
        wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
        RegisterClassExA(&wc);
    }
    if (HDC screen = GetDC(nullptr)) {
        dpi_ = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
    }
    // The main window's face.
    font_ = CreateFontA(-MulDiv(8, dpi_, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                        DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH, "MS Shell Dlg");
    const std::string title(text::kHistoryTitle);
    CreateWindowExA(WS_EX_CONTROLPARENT, kHistoryWindowClass, title.c_str(),
                    WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                    MulDiv(kWidth, dpi_, 96), MulDiv(kHeight, dpi_, 96), owner, nullptr, instance,
                    this);
    label_ = child("STATIC", std::string(text::kHistoryFilter).c_str(), SS_NOPREFIX, 0);
    filter_ = child("EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, kHistoryFilter);
    SetWindowLongPtrA(filter_, GWL_EXSTYLE, WS_EX_CLIENTEDGE);
    export_ = child("BUTTON", std::string(text::kExportCsv).c_str(), WS_TABSTOP | BS_PUSHBUTTON,
                    kHistoryExport);
    list_ = child(WC_LISTVIEWA, "",
                  WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | WS_BORDER,
                  kHistoryList);
    SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    count_ = child("STATIC", "", SS_NOPREFIX | SS_LEFTNOWORDWRAP, kHistoryCount);
    // The terminal's columns; the long ones (times of the end, hashes,
    // sizes) are in the export, and the filter finds what they hold.
    const auto& columns = record::Columns();
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (!columns[c].in_table) continue;
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<char*>(columns[c].name);
        column.cx = MulDiv(80, dpi_, 96);
        SendMessageA(list_, LVM_INSERTCOLUMNA, columns_.size(), reinterpret_cast<LPARAM>(&column));
        columns_.push_back(c);
    }
    layout();
}

Win32History::~Win32History() {
    if (hwnd_) DestroyWindow(hwnd_);
    if (font_) DeleteObject(font_);
}

HWND Win32History::child(const char* window_class, const char* text, DWORD style, int id) {
    HWND w = CreateWindowExA(0, window_class, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0,
                             hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             GetModuleHandleA(nullptr), nullptr);
    SendMessageA(w, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return w;
}

void Win32History::show(std::vector<record::Entry> rows) {
    std::reverse(rows.begin(), rows.end());
    rows_ = std::move(rows);
    applyFilter();
    // Each column as wide as its widest cell, within reason; the last, the
    // message, as wide as it needs, read in full where it is scrolled to.
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        SendMessageA(list_, LVM_SETCOLUMNWIDTH, c, LVSCW_AUTOSIZE_USEHEADER);
        const int widest = MulDiv(kWidestColumn, dpi_, 96);
        if (c + 1 < columns_.size() && SendMessageA(list_, LVM_GETCOLUMNWIDTH, c, 0) > widest)
            SendMessageA(list_, LVM_SETCOLUMNWIDTH, c, widest);
    }
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
}

// A row stays when any of its cells holds the filter's text, whatever the
// case: a serial, a station, a day, "failed".
void Win32History::applyFilter() {
    const std::string wanted = Lower(Trim(WindowText(filter_)));
    const auto& columns = record::Columns();
    SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0);
    int shown = 0;
    for (const record::Entry& row : rows_) {
        bool match = wanted.empty();
        for (std::size_t c = 0; !match && c < columns.size(); ++c)
            match = Lower(columns[c].text(row)).find(wanted) != std::string::npos;
        if (!match) continue;
        for (std::size_t c = 0; c < columns_.size(); ++c)
            SetCell(list_, shown, static_cast<int>(c), columns[columns_[c]].text(row));
        // The row's place in rows_, for the export.
        LVITEMA tag{};
        tag.mask = LVIF_PARAM;
        tag.iItem = shown;
        tag.lParam = static_cast<LPARAM>(&row - rows_.data());
        SendMessageA(list_, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tag));
        ++shown;
    }
    SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
    const std::string count = std::to_string(shown) + " / " + std::to_string(rows_.size()) +
                              std::string(text::kHistoryShown);
    SetWindowTextA(count_, count.c_str());
}

void Win32History::exportCsv() {
    const std::string path = services_.saveFileDialog(std::string(text::kCsvFilter));
    if (path.empty()) return;
    // Oldest first, as the command line writes them.
    std::vector<record::Entry> shown;
    const int count = static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
    for (int r = count - 1; r >= 0; --r) {
        LVITEMA tag{};
        tag.mask = LVIF_PARAM;
        tag.iItem = r;
        SendMessageA(list_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tag));
        shown.push_back(rows_.at(static_cast<std::size_t>(tag.lParam)));
    }
    if (!ReplaceFile(path, record::Csv(shown)))
        services_.messageBox(std::string(text::kCsvNotWritten) + path);
}

void Win32History::layout() {
    RECT r;
    GetClientRect(hwnd_, &r);
    auto px = [&](int at96) { return MulDiv(at96, dpi_, 96); };
    const int m = px(kMargin), row = px(kRow), width = r.right - r.left;
    const int button_left = width - m - px(kButton);
    MoveWindow(label_, m, m + px(4), px(kLabel), row - px(4), TRUE);
    MoveWindow(filter_, m + px(kLabel), m, button_left - m - (m + px(kLabel)), row, TRUE);
    MoveWindow(export_, button_left, m, px(kButton), row, TRUE);
    const int list_top = m + row + m, count_top = r.bottom - m - row;
    MoveWindow(list_, m, list_top, width - 2 * m, count_top - m - list_top, TRUE);
    MoveWindow(count_, m, count_top + px(4), width - 2 * m, row - px(4), TRUE);
}

LRESULT Win32History::handleMessage(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case WM_SIZE:
        layout();
        return 0;
    case WM_COMMAND:
        if (LOWORD(w) == kHistoryFilter && HIWORD(w) == EN_CHANGE) applyFilter();
        if (LOWORD(w) == kHistoryExport && HIWORD(w) == BN_CLICKED) exportCsv();
        return 0;
    case WM_CLOSE:
        // Kept for the next History, as the Qt dialog is.
        ShowWindow(hwnd_, SW_HIDE);
        return 0;
    case WM_NCDESTROY:
        hwnd_ = nullptr;
        break;
    default:
        break;
    }
    return DefWindowProcA(hwnd_, message, w, l);
}

LRESULT CALLBACK Win32History::WindowProc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<Win32History*>(reinterpret_cast<CREATESTRUCTA*>(l)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32History*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self || !self->hwnd_) return DefWindowProcA(hwnd, message, w, l);
    return self->handleMessage(message, w, l);
}

bool IsHistoryWindow(HWND w) {
    char window_class[32] = "";
    return w && GetClassNameA(w, window_class, sizeof window_class) &&
           std::string(window_class) == kHistoryWindowClass;
}

} // namespace plexmoor
