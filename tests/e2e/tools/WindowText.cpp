// Prints the texts of a shown top-level window and of its child controls, one per line, in
// UTF-8: what a person reads in a message box, for the end-to-end checks (Wine cannot copy a
// box's text to the clipboard).
//   windowtext TITLE
#include <windows.h>

#include <cstdio>
#include <string>

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

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: windowtext TITLE\n");
        return 2;
    }
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, nullptr, argv[1])) != nullptr) {
        if (IsWindowVisible(window)) break;
    }
    if (window == nullptr) return 1;
    Print(TextOf(window));
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        Print(TextOf(child));
    }
    return 0;
}
