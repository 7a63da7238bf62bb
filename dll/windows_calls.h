// The Windows calls the library makes, bound once per process. On Windows
// they are the system's own, unless the process holds the Windows-calls
// stand-in (wincalls.dll: a program or test that attaches its own message
// box, or the virtual board keeping its clock), which then gets them all.
#pragma once

#include "wincalls.h"

namespace zintra {

#if defined(_WIN32) && !defined(_WIN64)
#define ZINTRA_WINDOWS_CALL __stdcall
#else
#define ZINTRA_WINDOWS_CALL
#endif

struct WindowsCalls {
    int(ZINTRA_WINDOWS_CALL* message_box)(HWND, LPCSTR, LPCSTR, UINT);
    void(ZINTRA_WINDOWS_CALL* debug_output)(LPCSTR);
    void(ZINTRA_WINDOWS_CALL* sleep)(DWORD);
    BOOL(ZINTRA_WINDOWS_CALL* peek_message)(LPMSG, HWND, UINT, UINT, UINT);
    BOOL(ZINTRA_WINDOWS_CALL* translate_message)(const MSG*);
    LRESULT(ZINTRA_WINDOWS_CALL* dispatch_message)(const MSG*);
    BOOL(ZINTRA_WINDOWS_CALL* performance_counter)(LARGE_INTEGER*);
    BOOL(ZINTRA_WINDOWS_CALL* performance_frequency)(LARGE_INTEGER*);
};

const WindowsCalls& windows_calls();

} // namespace zintra
