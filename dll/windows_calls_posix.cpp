#include "windows_calls.h"

namespace zintra {

// The stand-in's calls, bound by the dynamic linker, so a test double that
// exports its own receives them instead.
const WindowsCalls& windows_calls() {
    static const WindowsCalls calls{MessageBoxA,
                                    OutputDebugStringA,
                                    Sleep,
                                    PeekMessageA,
                                    TranslateMessage,
                                    DispatchMessageA,
                                    QueryPerformanceCounter,
                                    QueryPerformanceFrequency};
    return calls;
}

} // namespace zintra
