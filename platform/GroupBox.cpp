#include "platform/GroupBox.h"

#include "platform/Panel.h"
#include "platform/Win32Util.h"

namespace {
constexpr wchar_t kGroupBoxClass[] = L"TGroupBox";
// The caption's place on the frame, in design pixels.
constexpr int kCaptionLeft = 10;
constexpr int kCaptionGap = 2;  // the frame's gap on either side of the caption
}

TGroupBox::~TGroupBox() {
    if (ownFont_ != nullptr) DeleteObject(ownFont_);
}

void TGroupBox::SetFont(HFONT font) {
    font_ = font;
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TGroupBox::DpiChanged(int oldDpi, const RECT* suggested) {
    TPaintedWindow::DpiChanged(oldDpi, suggested);
    if (ownFont_ != nullptr) DeleteObject(ownFont_);
    ownFont_ = nullptr;
    InvalidateRect(Handle(), nullptr, TRUE);
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
    if (font_ == nullptr && ownFont_ == nullptr) ownFont_ = CreateGuiFont(Dpi());
    HGDIOBJ old = SelectObject(dc, font_ != nullptr ? font_ : ownFont_);
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
        const int left = Scale(kCaptionLeft), gap = Scale(kCaptionGap);
        RECT text = {left - gap, 0, left + size.cx + gap, tm.tmHeight};
        FillRect(dc, &text, GetSysColorBrush(COLOR_BTNFACE));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        TextOutW(dc, left, 0, caption, length);
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
