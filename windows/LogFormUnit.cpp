#include "windows/LogFormUnit.h"

#include <commctrl.h>

#include <algorithm>

#include "model/Codepage.h"
#include "platform/Dpi.h"
#include "platform/Win32Util.h"

const wchar_t kLogCaption[] = L"Журнал теста";

namespace {

constexpr wchar_t kLogClass[] = L"TfLog";
// Design pixels of a 96-DPI screen, scaled for the window's DPI.
constexpr int kMargin = 8;
constexpr int kButtonWidth = 90;
constexpr int kButtonHeight = 25;
constexpr int kButtonPadding = 16, kTextPadding = 8;
constexpr UINT_PTR kMemoSubclass = 1;

// Ctrl+A reaches a read-only edit as the character 1; older edit controls beep at it.
LRESULT CALLBACK MemoProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_CHAR && wParam == 1) {
        SendMessageW(hwnd, EM_SETSEL, 0, -1);
        return 0;
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, MemoProc, kMemoSubclass);
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

TfLog::TfLog() = default;

TfLog::~TfLog() {
    if (font_ != nullptr) DeleteObject(font_);
}

bool TfLog::Create(HWND owner) {
    RegisterWindowClass(kLogClass, 0, GetSysColorBrush(COLOR_BTNFACE));
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX;
    const DWORD exStyle = WS_EX_CONTROLPARENT;
    PrepareDpi(owner);
    const int width = Scale(kWidth), height = Scale(kHeight);
    const POINT at = CenteredOnScreen(width, height);
    if (!CreateHandle(exStyle, kLogClass, kLogCaption, style, at.x, at.y, width, height, owner)) return false;

    font_ = CreateMessageFont(Dpi());

    HINSTANCE instance = GetModuleHandleW(nullptr);
    mmMain = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY |
                                 ES_AUTOVSCROLL,
                             0, 0, 0, 0, Handle(), nullptr, instance, nullptr);
    btnOk = CreateWindowExW(0, L"BUTTON", L"Закрыть", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0,
                            0, 0, Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), instance, nullptr);
    for (HWND control : {mmMain, btnOk}) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    // The log of a long session outgrows the edit's default limit.
    SendMessageW(mmMain, EM_SETLIMITTEXT, 0, 0);
    SetWindowSubclass(mmMain, MemoProc, kMemoSubclass, 0);

    RECT client;
    GetClientRect(Handle(), &client);
    Relayout(client.right, client.bottom);
    return true;
}

void TfLog::SetText(const std::string& cp1251) {
    SetWindowTextW(mmMain, Wide(cp1251).c_str());
    SendMessageW(mmMain, EM_SETSEL, 0, 0);
    SendMessageW(mmMain, EM_SCROLLCARET, 0, 0);
}

std::string TfLog::Text() const {
    const int length = GetWindowTextLengthW(mmMain);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(mmMain, &text[0], length + 1)));
    return WideToCp1251(text);
}

void TfLog::OnShow() {
    SetFocus(mmMain);
    // Focus through the dialog manager selects everything; the log opens at its start.
    SendMessageW(mmMain, EM_SETSEL, 0, 0);
}

void TfLog::Relayout(int clientWidth, int clientHeight) {
    // The button as the design has it, or as its caption needs.
    const SIZE text = TextExtent(btnOk, L"Закрыть");
    const int buttonWidth = std::max(Scale(kButtonWidth), static_cast<int>(text.cx) + Scale(kButtonPadding));
    const int buttonHeight = std::max(Scale(kButtonHeight), static_cast<int>(text.cy) + Scale(kTextPadding));
    const int margin = Scale(kMargin);
    const int buttonTop = clientHeight - margin - buttonHeight;
    MoveWindow(mmMain, margin, margin, std::max(0, clientWidth - 2 * margin), std::max(0, buttonTop - 2 * margin),
               TRUE);
    MoveWindow(btnOk, (clientWidth - buttonWidth) / 2, buttonTop, buttonWidth, buttonHeight, TRUE);
}

void TfLog::DpiChanged(int oldDpi, const RECT* suggested) {
    HFONT old = font_;
    font_ = CreateMessageFont(Dpi());
    for (HWND control : {mmMain, btnOk}) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    if (old != nullptr) DeleteObject(old);
    // The system's rectangle keeps the window's size in the person's eyes; the layout follows it.
    TModalWindow::DpiChanged(oldDpi, suggested);
    RECT client;
    GetClientRect(Handle(), &client);
    Relayout(client.right, client.bottom);
}

LRESULT TfLog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) Relayout(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
            SetModalResult(LOWORD(wParam));
            return 0;
        }
        break;
    case WM_CTLCOLORSTATIC:
        // A read-only edit asks for the static colours: it takes the window's face.
        if (reinterpret_cast<HWND>(lParam) == mmMain) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        break;
    }
    return TModalWindow::HandleMessage(message, wParam, lParam);
}
