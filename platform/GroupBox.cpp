#include "platform/GroupBox.h"

namespace {
constexpr wchar_t kGroupBoxClass[] = L"TGroupBox";
}

bool TGroupBox::Create(HWND parent, int x, int y, int width, int height, const std::wstring& caption, HFONT font) {
    font_ = font;
    RegisterWindowClass(kGroupBoxClass, CS_HREDRAW | CS_VREDRAW, nullptr);
    return CreateHandle(WS_EX_CONTROLPARENT, kGroupBoxClass, caption.c_str(),
                        WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, x, y, width, height, parent);
}

void TGroupBox::Paint(HDC dc) {
    RECT rc;
    GetClientRect(Handle(), &rc);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    HGDIOBJ old = SelectObject(dc, font_ != nullptr ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    RECT frame = rc;
    frame.top += tm.tmHeight / 2;
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);

    wchar_t caption[256];
    int length = GetWindowTextW(Handle(), caption, 256);
    if (length > 0) {
        SIZE size;
        GetTextExtentPoint32W(dc, caption, length, &size);
        RECT text = {8, 0, 8 + size.cx + 4, tm.tmHeight};
        FillRect(dc, &text, GetSysColorBrush(COLOR_BTNFACE));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        TextOutW(dc, 10, 0, caption, length);
    }
    SelectObject(dc, old);
}

LRESULT TGroupBox::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return SendMessageW(GetParent(Handle()), message, wParam, lParam);
    }
    return TPaintedWindow::HandleMessage(message, wParam, lParam);
}
