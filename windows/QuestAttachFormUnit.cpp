#include "windows/QuestAttachFormUnit.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "platform/Win32Util.h"

const wchar_t kQuestAttachCaption[] = L"Вложение вопроса";
const wchar_t kQuestAttachStatus[] = L"Размер окна можно менять мышью";

namespace {

constexpr wchar_t kQuestAttachClass[] = L"TfQuestAttach";
constexpr int kInitialWidth = 300;
constexpr int kInitialHeight = 200;

}  // namespace

TfQuestAttach::TfQuestAttach(TQuestAttachHost host) : host_(std::move(host)) {}

TfQuestAttach::~TfQuestAttach() {
    frame_.reset();
}

bool TfQuestAttach::Create(HWND mainWindow) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    RegisterWindowClass(kQuestAttachClass, 0, GetSysColorBrush(COLOR_BTNFACE));
    const DWORD style =
        WS_CHILD | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    PrepareDpi(mainWindow);
    if (!CreateHandle(WS_EX_CONTROLPARENT, kQuestAttachClass, kQuestAttachCaption, style, 0, 0, Scale(kInitialWidth),
                      Scale(kInitialHeight), mainWindow)) {
        return false;
    }
    stbMain = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, Handle(),
                              nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(stbMain, SB_SIMPLE, TRUE, 0);
    SendMessageW(stbMain, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(kQuestAttachStatus));
    AllowResize = true;
    Relayout();
    return true;
}

TfrQuestAttach& TfQuestAttach::NewFrame(TAttachKind kind, const TPath& fileName, const TAttachOptions& options) {
    frame_.reset();
    frame_ = std::make_unique<TOwned<TfrQuestAttach>>(host_);
    frame_->Create(Handle(), kind, fileName, options);
    SetWindowTextW(frame_->Handle(), kQuestAttachFrameName);
    Relayout();
    return *frame_;
}

void TfQuestAttach::PlaceWindow(int left, int top, int width, int height) {
    placing_ = true;
    SetWindowPos(Handle(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    placing_ = false;
}

void TfQuestAttach::SetStatusVisible(bool visible) {
    SetVisible(stbMain, visible);
    Relayout();
}

int TfQuestAttach::StatusHeight() const {
    RECT rc = {};
    GetWindowRect(stbMain, &rc);
    return rc.bottom - rc.top;
}

int TfQuestAttach::NonClientHeight() const {
    RECT window = {}, client = {};
    GetWindowRect(Handle(), &window);
    GetClientRect(Handle(), &client);
    return (window.bottom - window.top) - client.bottom;
}

void TfQuestAttach::Relayout() {
    if (Handle() == nullptr || stbMain == nullptr) return;
    // The status bar sizes itself along the bottom when told that its parent changed.
    SendMessageW(stbMain, WM_SIZE, 0, 0);
    RECT client;
    GetClientRect(Handle(), &client);
    const int status = (GetWindowLongW(stbMain, GWL_STYLE) & WS_VISIBLE) ? StatusHeight() : 0;
    if (frame_ && frame_->Handle() != nullptr) {
        SetWindowPos(frame_->Handle(), nullptr, 0, 0, client.right, std::max(0, static_cast<int>(client.bottom) - status),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

LRESULT TfQuestAttach::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        if (!FormCloseQuery()) return 0;
        break;
    case WM_SIZE:
        Relayout();
        return 0;
    case WM_WINDOWPOSCHANGING: {
        // Every size change passes here: a drag on the border, maximising, the program's own.
        auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
        if (!(pos->flags & SWP_NOSIZE) && !FormCanResize()) {
            RECT rc;
            GetWindowRect(Handle(), &rc);
            pos->cx = rc.right - rc.left;
            pos->cy = rc.bottom - rc.top;
        }
        break;
    }
    case WM_GETMINMAXINFO:
        if (placing_) {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = {0, 0};
            return 0;
        }
        break;
    case WM_SIZING:
        if (!FormCanResize()) {
            GetWindowRect(Handle(), reinterpret_cast<RECT*>(lParam));
            return TRUE;
        }
        break;
    case WM_NCHITTEST: {
        // A window that keeps its size shows no sizing pointer on its border.
        const LRESULT hit = TWindow::HandleMessage(message, wParam, lParam);
        if (!FormCanResize() && hit >= HTLEFT && hit <= HTBOTTOMRIGHT) return HTBORDER;
        return hit;
    }
    case WM_SYSCOMMAND:
        if (!FormCanResize() && ((wParam & 0xFFF0) == SC_MAXIMIZE || (wParam & 0xFFF0) == SC_SIZE)) return 0;
        break;
    }
    return TWindow::HandleMessage(message, wParam, lParam);
}
