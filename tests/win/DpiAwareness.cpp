// The tests run DPI aware as the player does (its manifest says per monitor): the windows under
// test see the screen's real DPI and scale themselves, and nothing is stretched for them.
#include <windows.h>

namespace {

const bool kAware = [] {
    using SetContextFn = BOOL(WINAPI*)(HANDLE);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    auto set = reinterpret_cast<SetContextFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2, then the first version of it.
    if (set != nullptr && (set(reinterpret_cast<HANDLE>(-4)) || set(reinterpret_cast<HANDLE>(-3)))) return true;
    return SetProcessDPIAware() != FALSE;
}();

}  // namespace

bool TestsAreDpiAware() { return kAware; }
