#include "platform/Win32Util.h"

#include <vector>

#include "model/Codepage.h"

namespace {

std::wstring& TitleStorage() {
    static std::wstring title;
    return title;
}

std::function<void()>& ExceptionHandler() {
    static std::function<void()> handler;
    return handler;
}

}  // namespace

std::wstring Wide(std::string_view cp1251) { return Cp1251ToWide(cp1251); }

void SetApplicationTitle(const std::wstring& title) { TitleStorage() = title; }

const std::wstring& ApplicationTitle() { return TitleStorage(); }

void ProcessMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
    return MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
}

void SetApplicationExceptionHandler(std::function<void()> handler) { ExceptionHandler() = std::move(handler); }

void HandleApplicationException() noexcept {
    try {
        if (ExceptionHandler()) ExceptionHandler()();
    } catch (...) {
        // The handler itself failed: nothing sensible is left to do with it.
    }
}

std::wstring ModulePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return L"";
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}
