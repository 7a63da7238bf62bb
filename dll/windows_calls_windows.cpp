#include "windows_calls.h"

namespace zintra {
namespace {

// The stand-in's module name; it exports every call under its Windows name.
constexpr const char* kStandIn = "wincalls.dll";

template <typename Call> void take(HMODULE module, const char* name, Call& call) {
    if (FARPROC found = GetProcAddress(module, name))
        call = reinterpret_cast<Call>(reinterpret_cast<void*>(found));
}

} // namespace

const WindowsCalls& windows_calls() {
    static const WindowsCalls calls = [] {
        WindowsCalls system{MessageBoxA,
                            OutputDebugStringA,
                            Sleep,
                            PeekMessageA,
                            TranslateMessage,
                            DispatchMessageA,
                            QueryPerformanceCounter,
                            QueryPerformanceFrequency};
        HMODULE stand_in = GetModuleHandleA(kStandIn);
        if (!stand_in) return system;
        take(stand_in, "MessageBoxA", system.message_box);
        take(stand_in, "OutputDebugStringA", system.debug_output);
        take(stand_in, "Sleep", system.sleep);
        take(stand_in, "PeekMessageA", system.peek_message);
        take(stand_in, "TranslateMessage", system.translate_message);
        take(stand_in, "DispatchMessageA", system.dispatch_message);
        take(stand_in, "QueryPerformanceCounter", system.performance_counter);
        take(stand_in, "QueryPerformanceFrequency", system.performance_frequency);
        return system;
    }();
    return calls;
}

} // namespace zintra
