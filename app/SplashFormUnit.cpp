#include "app/SplashFormUnit.h"

#include "platform/Win32Util.h"

namespace {
constexpr wchar_t kSplashClass[] = L"TfSplash";
constexpr wchar_t kWaitText[] = L"Подождите, идет подготовка к запуску ...";
}  // namespace

bool TfSplash::Create() {
    RegisterWindowClass(kSplashClass, 0, GetSysColorBrush(COLOR_BTNFACE));
    // No border and no caption: the window is exactly its client area.
    int x = (GetSystemMetrics(SM_CXSCREEN) - kClientWidth) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - kClientHeight) / 2;
    if (!CreateHandle(WS_EX_TOOLWINDOW, kSplashClass, kWaitText, WS_POPUP, x, y, kClientWidth,
                      kClientHeight, nullptr)) {
        return false;
    }
    pnlInfo.Create(Handle(), 0, 0, kClientWidth, kClientHeight, kWaitText);
    ShowWindow(Handle(), SW_SHOWNOACTIVATE);
    UpdateWindow(Handle());
    ProcessMessages();
    return true;
}

LRESULT TfSplash::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_CLOSE:
        // Nothing closes the notice but start-up itself.
        return 0;
    }
    return TWindow::HandleMessage(message, wParam, lParam);
}
