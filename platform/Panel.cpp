#include "platform/Panel.h"

#include "platform/Dpi.h"
#include "platform/Win32Util.h"

namespace {
constexpr wchar_t kPanelClass[] = L"TPanel";
}

TPanel::~TPanel() {
    if (ownFont_ != nullptr) DeleteObject(ownFont_);
}

void TPanel::DpiChanged(int oldDpi, const RECT* suggested) {
    TPaintedWindow::DpiChanged(oldDpi, suggested);
    if (ownFont_ != nullptr) DeleteObject(ownFont_);
    ownFont_ = nullptr;
    InvalidateRect(Handle(), nullptr, TRUE);
}

bool TPanel::Create(HWND parent, int x, int y, int width, int height, const std::wstring& caption) {
    RegisterWindowClass(kPanelClass, CS_HREDRAW | CS_VREDRAW, nullptr);
    return CreateHandle(0, kPanelClass, caption.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, x, y, width, height,
                        parent);
}

void TPanel::SetCaption(const std::wstring& caption) {
    SetWindowTextW(Handle(), caption.c_str());
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TPanel::SetBevel(TBevel bevel) {
    bevel_ = bevel;
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TPanel::SetColor(COLORREF color) {
    color_ = color;
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TPanel::SetFont(HFONT font) {
    font_ = font;
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TPanel::Paint(HDC dc) {
    RECT rc;
    GetClientRect(Handle(), &rc);
    HBRUSH brush = CreateSolidBrush(color_);
    FillRect(dc, &rc, brush);
    DeleteObject(brush);
    if (bevel_ == TBevel::Raised) DrawEdge(dc, &rc, BDR_RAISEDINNER, BF_RECT);
    if (bevel_ == TBevel::Lowered) DrawEdge(dc, &rc, BDR_SUNKENOUTER, BF_RECT);

    int length = GetWindowTextLengthW(Handle());
    if (length == 0) return;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(Handle(), &text[0], length + 1);
    text.resize(static_cast<size_t>(length));
    if (font_ == nullptr && ownFont_ == nullptr) ownFont_ = CreateGuiFont(Dpi());
    HGDIOBJ old = SelectObject(dc, font_ != nullptr ? font_ : ownFont_);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, text.c_str(), length, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
}

LRESULT TPanel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // Clicks go to the window underneath, as on a label.
    if (message == WM_NCHITTEST) return HTTRANSPARENT;
    // The caption's font, as a control tells it.
    if (message == WM_GETFONT) return reinterpret_cast<LRESULT>(font_);
    return TPaintedWindow::HandleMessage(message, wParam, lParam);
}
