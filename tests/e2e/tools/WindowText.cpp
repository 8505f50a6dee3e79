// Prints the texts of a shown top-level window and of its child controls, one per line, in
// UTF-8: what a person reads in a message box, for the end-to-end checks (Wine cannot copy a
// box's text to the clipboard).
//   windowtext TITLE
// With --fit, prints the window's DPI and client size ("dpi 144 client 646x334") and then
// every control text that its control cannot show whole; exits with 3 when there is one.
// From outside the program the controls' own fonts cannot be read, so the texts are measured
// with the system's message font at the window's DPI, the font the windows are made with, or,
// for the controls inside a window of the class CLASS, with the face FACE at POINTS points.
//   windowtext --fit TITLE [--font CLASS:FACE:POINTS]...
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "tests/win/TextFit.h"

namespace {

std::wstring TextOf(HWND hwnd) {
    // Cross-process WM_GETTEXT: the system copies the text over.
    wchar_t buffer[8192] = {};
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000, nullptr);
    return buffer;
}

void Print(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], n, nullptr, nullptr);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fputc('\n', stdout);
}

void MakeDpiAware() {
    // Without it the system would give the other program's sizes as if at 96 DPI.
    using SetContextFn = BOOL(WINAPI*)(HANDLE);
    auto set = reinterpret_cast<SetContextFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    if (set == nullptr || !set(reinterpret_cast<HANDLE>(-4))) SetProcessDPIAware();
}

// Controls inside a window of a class have a font of their own.
struct TClassFont {
    std::wstring ClassName;
    HFONT Font = nullptr;
};

bool IsInside(HWND control, HWND root, const std::wstring& className) {
    for (HWND up = GetParent(control); up != nullptr && up != root; up = GetParent(up)) {
        wchar_t name[64] = {};
        GetClassNameW(up, name, 64);
        if (className == name) return true;
    }
    return false;
}

int PrintClipped(HWND window, const std::vector<std::wstring>& fontSpecs) {
    const int dpi = DpiForWindow(window);
    RECT client;
    GetClientRect(window, &client);
    std::printf("dpi %d client %ldx%ld\n", dpi, client.right, client.bottom);
    LOGFONTW logFont = NonClientMetricsForDpi(dpi).lfMessageFont;
    HFONT font = CreateFontIndirectW(&logFont);
    std::vector<TClassFont> classFonts;
    for (const std::wstring& spec : fontSpecs) {
        const size_t first = spec.find(L':'), last = spec.rfind(L':');
        if (first == std::wstring::npos || last == first) continue;
        const std::wstring face = spec.substr(first + 1, last - first - 1);
        const int points = std::wcstol(spec.c_str() + last + 1, nullptr, 10);
        classFonts.push_back({spec.substr(0, first),
                              CreateFontW(PointsToHeight(points, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                          DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                          DEFAULT_PITCH | FF_DONTCARE, face.c_str())});
    }
    const std::vector<TClippedText> clipped = ClippedTexts(window, [&](HWND control) {
        for (const TClassFont& c : classFonts) {
            if (IsInside(control, window, c.ClassName)) return c.Font;
        }
        return font;
    });
    DeleteObject(font);
    for (const TClassFont& c : classFonts) DeleteObject(c.Font);
    for (const TClippedText& c : clipped) {
        Print(L"clipped " + c.ClassName + L" \"" + c.Text + L"\" needs " + std::to_wstring(c.Need.cx) + L"x" +
              std::to_wstring(c.Need.cy) + L", has " + std::to_wstring(c.Have.cx) + L"x" + std::to_wstring(c.Have.cy));
    }
    return clipped.empty() ? 0 : 3;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool fit = argc >= 3 && std::wstring(argv[1]) == L"--fit";
    std::vector<std::wstring> fontSpecs;
    for (int i = 3; fit && i + 1 < argc && std::wstring(argv[i]) == L"--font"; i += 2) fontSpecs.push_back(argv[i + 1]);
    if ((argc != 2 && !fit) || (fit && argc != 3 + 2 * static_cast<int>(fontSpecs.size()))) {
        std::fprintf(stderr, "usage: windowtext [--fit] TITLE [--font CLASS:FACE:POINTS]...\n");
        return 2;
    }
    MakeDpiAware();
    const wchar_t* title = fit ? argv[2] : argv[1];
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, nullptr, title)) != nullptr) {
        if (IsWindowVisible(window)) break;
    }
    if (window == nullptr) return 1;
    if (fit) return PrintClipped(window, fontSpecs);
    Print(TextOf(window));
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        Print(TextOf(child));
    }
    return 0;
}
