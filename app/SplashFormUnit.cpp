#include "app/SplashFormUnit.h"

#include <algorithm>
#include <cwchar>

#include "platform/Dpi.h"
#include "platform/Win32Util.h"

namespace {
constexpr wchar_t kSplashClass[] = L"TfSplash";
constexpr wchar_t kWaitText[] = L"Подождите, идет подготовка к запуску ...";
// Room around the notice on each side, in design pixels.
constexpr int kTextMargin = 8;
}  // namespace

TfSplash::~TfSplash() {
    if (font_ != nullptr) DeleteObject(font_);
}

bool TfSplash::Create() {
    RegisterWindowClass(kSplashClass, 0, GetSysColorBrush(COLOR_BTNFACE));
    PrepareDpi(nullptr);
    font_ = CreateMessageFont(Dpi());
    // No border and no caption: the window is exactly its client area, as large as the design
    // says or as the notice needs with its margins.
    const SIZE size = ClientSize();
    const POINT at = CenteredOnScreen(size.cx, size.cy);
    if (!CreateHandle(WS_EX_TOOLWINDOW, kSplashClass, kWaitText, WS_POPUP, at.x, at.y, size.cx, size.cy, nullptr)) {
        return false;
    }
    pnlInfo.Create(Handle(), 0, 0, size.cx, size.cy, kWaitText);
    pnlInfo.SetFont(font_);
    ShowWindow(Handle(), SW_SHOWNOACTIVATE);
    UpdateWindow(Handle());
    ProcessMessages();
    return true;
}

SIZE TfSplash::ClientSize() const {
    SIZE text = {0, 0};
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font_);
    GetTextExtentPoint32W(dc, kWaitText, static_cast<int>(wcslen(kWaitText)), &text);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return SIZE{std::max(Scale(kClientWidth), static_cast<int>(text.cx) + 2 * Scale(kTextMargin)),
                std::max(Scale(kClientHeight), static_cast<int>(text.cy) + 2 * Scale(kTextMargin))};
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
