#include "win32_services.h"

#include "binding_support.h"
#include "texts.h"
#include "win32_history.h"

#include <commdlg.h>

namespace plexmoor {

void DispatchWindowMessage(HWND window, MSG& message) {
    HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (IsHistoryWindow(root)) window = root;
    if (window && IsDialogMessageA(window, &message)) return;
    TranslateMessage(&message);
    DispatchMessageA(&message);
}

Win32Services::Win32Services() = default;
Win32Services::~Win32Services() = default;

Answer Win32Services::messageBox(const std::string& text, Buttons buttons) {
    const std::string title(text::kAppTitle);
    int answer = MessageBoxA(window_, text.c_str(), title.c_str(),
                             buttons == Buttons::YesNo ? MB_YESNO : MB_OK);
    if (buttons == Buttons::Ok) return Answer::Ok;
    return answer == IDYES ? Answer::Yes : Answer::No;
}

std::string Win32Services::fileDialog(const std::string& filter, bool save) {
    // Descriptions and patterns, each ended by a null, the list by another.
    std::string entries;
    for (const auto& [description, pattern] : FileFilterEntries(filter)) {
        entries += description + '\0';
        entries += pattern + '\0';
    }
    entries += '\0';
    char file[MAX_PATH] = "";
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_;
    dialog.lpstrFilter = entries.c_str();
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof file;
    dialog.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY |
                   (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
    const BOOL chosen = save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog);
    return chosen ? std::string(file) : std::string();
}

std::string Win32Services::openFileDialog(const std::string& filter) {
    return fileDialog(filter, false);
}

std::string Win32Services::saveFileDialog(const std::string& filter) {
    return fileDialog(filter, true);
}

void Win32Services::processEvents() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // For the program's own loop, which ends on it.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        DispatchWindowMessage(window_, message);
    }
}

std::string Win32Services::programFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length < MAX_PATH ? length : 0);
    std::size_t separator = folder.find_last_of("\\/");
    return separator == std::string::npos ? std::string(".") : folder.substr(0, separator);
}

Date Win32Services::today() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return Date{now.wYear, now.wMonth, now.wDay};
}

void Win32Services::requestClose() {
    if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
}

void Win32Services::showHistory(const std::vector<record::Entry>& rows) {
    if (!history_) history_ = std::make_unique<Win32History>(*this, window_);
    history_->show(rows);
}

} // namespace plexmoor
