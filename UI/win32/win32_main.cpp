// Plexmoor on Windows: the same window logic as the Qt program, on the
// system's own controls.
#include "flash_form.h"
#include "win32_driver.h"
#include "win32_services.h"
#include "win32_window.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
    INITCOMMONCONTROLSEX classes{sizeof classes,
                                 ICC_TAB_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&classes);

    plexmoor::Win32Services services;
    plexmoor::FlashForm form(services);
    plexmoor::Win32Window window(form);
    services.setWindow(window.handle());
    form.Form_Load();
    ShowWindow(window.handle(), show);
    UpdateWindow(window.handle());
    if (const char* steps = std::getenv("PLEXMOOR_DRIVE"); steps && *steps)
        plexmoor::DriveWindow(window, steps);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        plexmoor::DispatchWindowMessage(window.handle(), message);
    return static_cast<int>(message.wParam);
}
