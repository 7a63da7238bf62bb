#include "win32_driver.h"

#include "win32_history.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace plexmoor {
namespace {

Win32Window* driven = nullptr;
std::string pending;

void Report(const char* what, const std::string& text) {
    std::printf("%s: %s\n", what, text.c_str());
    std::fflush(stdout);
}

std::string TextOf(HWND w) {
    char text[1024] = "";
    GetWindowTextA(w, text, sizeof text);
    return text;
}

// A modal box of this thread is read and answered with its default button.
BOOL CALLBACK AnswerBox(HWND w, LPARAM) {
    char window_class[16] = "";
    GetClassNameA(w, window_class, sizeof window_class);
    if (std::string(window_class) != "#32770" || !IsWindowVisible(w)) return TRUE;
    constexpr int kMessageText = 0xFFFF;
    Report("box", TextOf(GetDlgItem(w, kMessageText)));
    const auto button = LOWORD(SendMessageA(w, DM_GETDEFID, 0, 0));
    PostMessageA(w, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    return TRUE;
}

void CALLBACK AnswerBoxes(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), AnswerBox, 0);
}

void Redraw(HWND window) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    GdiFlush();
}

// The window as it is on the screen, frame and caption included, as a
// 24-bit bottom-up BMP.
bool SaveShot(HWND window, const std::string& file) {
    Redraw(window);
    RECT r;
    GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const DWORD row = static_cast<DWORD>((width * 3 + 3) & ~3);
    std::vector<char> pixels(row * static_cast<DWORD>(height));
    const int rows = GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                               reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (rows != height) return false;
    BITMAPFILEHEADER head{};
    head.bfType = 0x4D42; // "BM"
    head.bfOffBits = sizeof head + sizeof info;
    head.bfSize = head.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&head), sizeof head);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}

std::string TabCaptions(HWND tabs) {
    std::string captions;
    const int count = static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[64] = "";
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(tabs, TCM_GETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        captions += (i ? "|" : "") + std::string(text);
    }
    return captions;
}

// History's count and its list's rows as they are shown, when it is open.
void PrintHistory() {
    HWND history = FindWindowA(kHistoryWindowClass, nullptr);
    if (!history || !IsWindowVisible(history)) return;
    Report("history", TextOf(GetDlgItem(history, kHistoryCount)));
    HWND list = GetDlgItem(history, kHistoryList);
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    const int columns = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int r = 0; r < rows; ++r) {
        std::string cells;
        for (int c = 0; c < columns; ++c) {
            char text[512] = "";
            LVITEMA item{};
            item.iSubItem = c;
            item.pszText = text;
            item.cchTextMax = sizeof text;
            SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(r),
                         reinterpret_cast<LPARAM>(&item));
            cells += (c ? "|" : "") + std::string(text);
        }
        Report("row", cells);
    }
}

void Step(Win32Window& window, const std::string& step) {
    std::istringstream in(step);
    std::string verb, key;
    in >> verb >> key;
    std::string rest;
    std::getline(in >> std::ws, rest);
    HWND target = window.windowOf(key);
    if (verb == "text" && target) {
        SendMessageA(target, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(rest.c_str()));
    } else if (verb == "click" && target) {
        SendMessageA(target, BM_CLICK, 0, 0);
    } else if (verb == "tab") {
        window.showTab(std::atoi(key.c_str()));
    } else if (verb == "shot") {
        if (!SaveShot(window.handle(), key)) Report("error", "no shot in " + key);
    } else if (verb == "print") {
        Report("caption", TextOf(window.handle()));
        Report("tabs", TabCaptions(window.tabControl()));
        PrintHistory();
    } else if (verb == "close") {
        PostMessageA(window.handle(), WM_CLOSE, 0, 0);
    } else if (!verb.empty()) {
        Report("error", "cannot " + step);
    }
}

void CALLBACK RunSteps(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    std::istringstream steps(pending);
    for (std::string step; std::getline(steps, step, ';');)
        Step(*driven, step);
}

} // namespace

void DriveWindow(Win32Window& window, std::string steps) {
    driven = &window;
    pending = std::move(steps);
    constexpr UINT kStartAfterMs = 300, kBoxPollMs = 50;
    SetTimer(nullptr, 0, kStartAfterMs, RunSteps);
    SetTimer(nullptr, 0, kBoxPollMs, AnswerBoxes);
}

} // namespace plexmoor
