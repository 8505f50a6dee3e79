#include "platform/Win32Util.h"

#include <vector>

#include "model/Codepage.h"
#include "platform/Dpi.h"

namespace {

std::wstring& TitleStorage() {
    static std::wstring title;
    return title;
}

std::function<void()>& ExceptionHandler() {
    static std::function<void()> handler;
    return handler;
}

std::function<void()>& SessionEndHandler() {
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

bool ProcessMessages(const std::function<bool(MSG&)>& filter) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        bool handled = false;
        try {
            handled = filter && filter(msg);
        } catch (...) {
            HandleApplicationException();
            handled = true;
        }
        if (handled) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

void WaitForMessages(DWORD milliseconds) {
    // MWMO_INPUTAVAILABLE: input that arrived while we were busy wakes us too.
    MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

std::wstring WindowTextW(HWND hwnd) {
    int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    length = GetWindowTextW(hwnd, &text[0], length + 1);
    text.resize(static_cast<size_t>(length < 0 ? 0 : length));
    return text;
}

std::string WindowText1251(HWND hwnd) { return WideToCp1251(WindowTextW(hwnd)); }

void SetWindowText1251(HWND hwnd, const std::string& cp1251) { SetWindowTextW(hwnd, Wide(cp1251).c_str()); }

bool ScrollBarTarget(HWND bar, int code, int position, int page, int lineStep, int maximum, int& target) {
    switch (code) {
    case SB_LINEUP: target = position - lineStep; return true;
    case SB_LINEDOWN: target = position + lineStep; return true;
    case SB_PAGEUP: target = position - page; return true;
    case SB_PAGEDOWN: target = position + page; return true;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        // The 16-bit position of the message cannot be trusted; the bar knows the real one.
        SCROLLINFO info = {};
        info.cbSize = sizeof(info);
        info.fMask = SIF_TRACKPOS;
        GetScrollInfo(bar, SB_CTL, &info);
        target = info.nTrackPos;
        return true;
    }
    case SB_TOP: target = 0; return true;
    case SB_BOTTOM: target = maximum; return true;
    }
    return false;
}

SIZE TextExtent(HWND control, const std::wstring& text) {
    SIZE size = {0, 0};
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size;
}

SIZE DrawnTextSize(HFONT font, const std::wstring& text, UINT flags, int width) {
    RECT rc = {0, 0, width, 0};
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, flags | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

SCROLLINFO ScrollBarInfo(HWND bar) {
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    GetScrollInfo(bar, SB_CTL, &info);
    return info;
}

int ScrollCodeFrom(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_VSCROLL && message != WM_HSCROLL) return -1;
    if (bar == nullptr || reinterpret_cast<HWND>(lParam) != bar) return -1;
    return LOWORD(wParam);
}

RECT RectInParent(HWND window) {
    RECT rc;
    GetWindowRect(window, &rc);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

void SetVisible(HWND control, bool visible) { ShowWindow(control, visible ? SW_SHOWNA : SW_HIDE); }

HFONT CreateMessageFont(int dpi, LONG weight, bool underline) {
    LOGFONTW font = NonClientMetricsForDpi(dpi).lfMessageFont;
    if (weight != 0) font.lfWeight = weight;
    font.lfUnderline = underline ? TRUE : FALSE;
    return CreateFontIndirectW(&font);
}

HFONT CreateGuiFont(int dpi) {
    LOGFONTW font = {};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
    const int system = SystemDpi();
    if (dpi != system) font.lfHeight = MulDiv(font.lfHeight, dpi, system);
    return CreateFontIndirectW(&font);
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

void SetSessionEndHandler(std::function<void()> handler) { SessionEndHandler() = std::move(handler); }

void HandleSessionEnd() noexcept {
    // Taken out first: the handler may pump messages, and the session ends only once.
    std::function<void()> handler = std::move(SessionEndHandler());
    SessionEndHandler() = nullptr;
    try {
        if (handler) handler();
    } catch (...) {
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
