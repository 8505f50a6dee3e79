#include "platform/Window.h"

#include "platform/Dpi.h"
#include "platform/Win32Util.h"

namespace {
// Sent by Windows 8.1 to a top-level window moved to a monitor of another DPI, and by Windows 10
// to the children of a window whose DPI changes.
constexpr UINT kDpiChanged = 0x02E0;
constexpr UINT kDpiChangedAfterParent = 0x02E3;
}  // namespace

TWindow::~TWindow() {
    // Only TOwned ends a window object, and it has destroyed the window by now. Should one still
    // be here, the object around it is half gone: no handler may run on it any more.
    if (hwnd_ != nullptr) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

void TWindow::Show() {
    if (hwnd_ != nullptr) ShowWindow(hwnd_, SW_SHOW);
}

void TWindow::Hide() {
    if (hwnd_ != nullptr) ShowWindow(hwnd_, SW_HIDE);
}

void TWindow::Destroy() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

void TWindow::RegisterWindowClass(const wchar_t* className, UINT style, HBRUSH background) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (GetClassInfoExW(instance, className, &wc)) return;
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    RegisterClassExW(&wc);
}

bool TWindow::CreateHandle(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x, int y,
                           int width, int height, HWND parent) {
    // A second window would leave the first one's messages to an object that no longer knows it.
    if (hwnd_ != nullptr) return false;
    if (dpi_ == 0) PrepareDpi(parent);
    CreateWindowExW(exStyle, className, title, style, x, y, width, height, parent, nullptr,
                    GetModuleHandleW(nullptr), this);
    return hwnd_ != nullptr;
}

void TWindow::PrepareDpi(HWND ownerOrParent) {
    // Under one of our own windows a window takes the DPI that one is laid out for, which it has
    // already taken on a change of monitor while the system may not have told every child yet.
    if (ownerOrParent != nullptr &&
        GetWindowLongPtrW(ownerOrParent, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&TWindow::WindowProc)) {
        const auto* owner = reinterpret_cast<const TWindow*>(GetWindowLongPtrW(ownerOrParent, GWLP_USERDATA));
        if (owner != nullptr && owner->dpi_ != 0) {
            dpi_ = owner->dpi_;
            return;
        }
    }
    dpi_ = DpiForNewWindow(ownerOrParent);
}

void TWindow::DpiChanged(int /*oldDpi*/, const RECT* suggested) {
    if (suggested == nullptr) return;
    SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT TWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kDpiChanged: {
        const int old = dpi_;
        dpi_ = LOWORD(wParam);
        DpiChanged(old, reinterpret_cast<const RECT*>(lParam));
        return 0;
    }
    case kDpiChangedAfterParent: {
        const int old = dpi_;
        dpi_ = DpiForWindow(hwnd_);
        if (dpi_ != old) DpiChanged(old, nullptr);
        return 0;
    }
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK TWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    TWindow* self;
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        self = static_cast<TWindow*>(create->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<TWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);

    // Whichever window of ours hears first that the session ends lets the program keep what it must.
    if (message == WM_ENDSESSION && wParam) HandleSessionEnd();
    LRESULT result = 0;
    try {
        result = self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        HandleApplicationException();
        result = DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

LRESULT TPaintedWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Handle(), &ps);
        if (DoubleBuffered) {
            PaintBuffered(dc, ps.rcPaint);
        } else {
            Paint(dc);
        }
        EndPaint(Handle(), &ps);
        return 0;
    }
    }
    return TWindow::HandleMessage(message, wParam, lParam);
}

void TPaintedWindow::PaintBuffered(HDC dc, const RECT& area) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return;
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    SetViewportOrgEx(memory, -area.left, -area.top, nullptr);
    Paint(memory);
    SetViewportOrgEx(memory, 0, 0, nullptr);
    BitBlt(dc, area.left, area.top, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

LRESULT TViewControl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    }
    return TPaintedWindow::HandleMessage(message, wParam, lParam);
}
