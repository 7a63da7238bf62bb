// The Windows calls the programmer library uses, with their Windows
// signatures, plus the small interface through which a host program
// attaches its own message box, event pump and debug output.
#ifndef PLEXMOOR_WINCALLS_H
#define PLEXMOOR_WINCALLS_H

#include <stdint.h>

/* On Windows the calls and their types are the system's own; the stand-in
   exports the same calls under the same names (wincalls.def). */
#ifdef _WIN32
#include <windows.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

#ifndef _WIN32
typedef void* HWND;
typedef unsigned int UINT;
typedef int BOOL;
typedef uint32_t DWORD;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef const char* LPCSTR;

typedef union _LARGE_INTEGER {
    struct {
        DWORD LowPart;
        int32_t HighPart;
    } u;
    int64_t QuadPart;
} LARGE_INTEGER;

typedef struct tagPOINT {
    int32_t x;
    int32_t y;
} POINT;

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *LPMSG;

#define MB_OK 0x00000000u
#define IDOK 1
#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);
void OutputDebugStringA(LPCSTR lpOutputString);
void Sleep(DWORD dwMilliseconds);
BOOL PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg);
BOOL TranslateMessage(const MSG* lpMsg);
LRESULT DispatchMessageA(const MSG* lpMsg);
BOOL QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency);

#endif

/* Host attachment. Passing a null hook detaches it again. */
typedef int (*WinMessageBoxHook)(void* context, const char* text, const char* caption,
                                 unsigned type);
typedef void (*WinEventPumpHook)(void* context);
typedef void (*WinDebugHook)(void* context, const char* text);
/* Returns non-zero when it has accounted for the sleep itself (a board in
   virtual time); zero lets Sleep wait in real time. */
typedef int (*WinSleepHook)(void* context, uint32_t milliseconds);
/* Returns non-zero and the time in nanoseconds when it keeps the clock (a
   board in virtual time); zero lets the performance counter run in real time. */
typedef int (*WinClockHook)(void* context, uint64_t* nanoseconds);

void WinAttachMessageBox(WinMessageBoxHook hook, void* context);
void WinAttachEventPump(WinEventPumpHook hook, void* context);
void WinAttachDebugOutput(WinDebugHook hook, void* context);
/* The virtual board registers its clock here when it attaches, so Sleep
   finds it however the libraries were loaded. */
void WinAttachSleep(WinSleepHook hook, void* context);
/* Likewise its clock, so the performance counter tells the board's time. */
void WinAttachClock(WinClockHook hook, void* context);

#ifdef __cplusplus
}
#endif

#endif
