// Stand-ins for the Windows calls. With no host attached a message box goes
// to standard error and answers OK, debug strings are written only when
// WINCALLS_DEBUG=1 asks for them, and the message queue is always empty.
#include "wincalls.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

// The pump has one synthetic message: a host that attached an event pump
// gets it once per drain of the queue, and it runs the host's pending events
// when dispatched.
constexpr UINT kPumpMessage = 0x8000u + 0x5A;
// Ticks of the performance counter per second, as Windows commonly reports.
constexpr int64_t kCounterFrequency = 10'000'000;
constexpr int64_t kNanosecondsPerTick = 1'000'000'000 / kCounterFrequency;

struct Hooks {
    WinMessageBoxHook message_box = nullptr;
    void* message_box_context = nullptr;
    WinEventPumpHook pump = nullptr;
    void* pump_context = nullptr;
    WinDebugHook debug = nullptr;
    void* debug_context = nullptr;
    WinSleepHook sleep = nullptr;
    void* sleep_context = nullptr;
    WinClockHook clock = nullptr;
    void* clock_context = nullptr;
    bool pump_delivered = false;
};

Hooks& hooks() {
    static Hooks h;
    return h;
}

bool debug_wanted() {
    const char* v = std::getenv("WINCALLS_DEBUG");
    return v && std::strcmp(v, "1") == 0;
}

} // namespace

// On Windows the calls have names of their own here, as the C runtime linked
// into this library calls the system's; wincalls.def exports them under the
// Windows names.
#ifdef _WIN32
#define STAND_IN(name) WINAPI StandIn##name
#else
#define STAND_IN(name) name
#endif

extern "C" {

int STAND_IN(MessageBoxA)(HWND, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    const char* text = lpText ? lpText : "";
    const char* caption = lpCaption ? lpCaption : "";
    Hooks& h = hooks();
    if (h.message_box) return h.message_box(h.message_box_context, text, caption, uType);
    std::fprintf(stderr, "[%s] %s\n", caption, text);
    std::fflush(stderr);
    return IDOK;
}

void STAND_IN(OutputDebugStringA)(LPCSTR lpOutputString) {
    const char* text = lpOutputString ? lpOutputString : "";
    Hooks& h = hooks();
    if (h.debug) {
        h.debug(h.debug_context, text);
    } else if (debug_wanted()) {
        std::fputs(text, stderr);
    }
}

void STAND_IN(Sleep)(DWORD dwMilliseconds) {
    Hooks& h = hooks();
    if (h.sleep && h.sleep(h.sleep_context, dwMilliseconds)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

BOOL STAND_IN(PeekMessageA)(LPMSG lpMsg, HWND, UINT, UINT, UINT wRemoveMsg) {
    Hooks& h = hooks();
    if (!lpMsg || !h.pump || h.pump_delivered) {
        h.pump_delivered = false;
        return 0;
    }
    std::memset(lpMsg, 0, sizeof *lpMsg);
    lpMsg->message = kPumpMessage;
    if (wRemoveMsg & PM_REMOVE) h.pump_delivered = true;
    return 1;
}

BOOL STAND_IN(QueryPerformanceCounter)(LARGE_INTEGER* lpPerformanceCount) {
    if (!lpPerformanceCount) return 0;
    Hooks& h = hooks();
    uint64_t ns = 0;
    if (!h.clock || !h.clock(h.clock_context, &ns)) {
        auto since = std::chrono::steady_clock::now().time_since_epoch();
        ns = static_cast<uint64_t>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(since).count());
    }
    lpPerformanceCount->QuadPart = static_cast<int64_t>(ns) / kNanosecondsPerTick;
    return 1;
}

BOOL STAND_IN(QueryPerformanceFrequency)(LARGE_INTEGER* lpFrequency) {
    if (!lpFrequency) return 0;
    lpFrequency->QuadPart = kCounterFrequency;
    return 1;
}

BOOL STAND_IN(TranslateMessage)(const MSG*) {
    return 0;
}

LRESULT STAND_IN(DispatchMessageA)(const MSG* lpMsg) {
    Hooks& h = hooks();
    if (lpMsg && lpMsg->message == kPumpMessage && h.pump) h.pump(h.pump_context);
    return 0;
}

void WinAttachMessageBox(WinMessageBoxHook hook, void* context) {
    hooks().message_box = hook;
    hooks().message_box_context = context;
}

void WinAttachEventPump(WinEventPumpHook hook, void* context) {
    hooks().pump = hook;
    hooks().pump_context = context;
    hooks().pump_delivered = false;
}

void WinAttachDebugOutput(WinDebugHook hook, void* context) {
    hooks().debug = hook;
    hooks().debug_context = context;
}

void WinAttachSleep(WinSleepHook hook, void* context) {
    hooks().sleep = hook;
    hooks().sleep_context = context;
}

void WinAttachClock(WinClockHook hook, void* context) {
    hooks().clock = hook;
    hooks().clock_context = context;
}

} // extern "C"
