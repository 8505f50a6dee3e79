#include "platform/ModalWindow.h"

#include "platform/Win32Util.h"

int TModalWindow::ShowModal(HWND owner) {
    modalResult_ = 0;
    focus_ = nullptr;
    HWND self = Handle();
    if (self == nullptr) return IDCANCEL;
    const bool ownerWasEnabled = owner != nullptr && IsWindowEnabled(owner);
    if (ownerWasEnabled) EnableWindow(owner, FALSE);
    // However the loop ends (an Enter or Escape handler may throw), the owner comes back.
    struct TRestoreOwner {
        HWND self, owner;
        bool enable;
        ~TRestoreOwner() {
            if (enable) EnableWindow(owner, TRUE);
            ShowWindow(self, SW_HIDE);
            if (owner != nullptr) SetActiveWindow(owner);
        }
    } restore{self, owner, ownerWasEnabled};
    ShowWindow(self, SW_SHOW);
    SetForegroundWindow(self);
    OnShow();

    MSG msg;
    while (modalResult_ == 0) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            // The program is quitting: let the outer loop see it too.
            PostQuitMessage(static_cast<int>(msg.wParam));
            modalResult_ = IDCANCEL;
            break;
        }
        if (got == -1) {
            modalResult_ = IDCANCEL;
            break;
        }
        // Keys reach the window before its controls.
        if (msg.message == WM_KEYDOWN && (msg.hwnd == self || IsChild(self, msg.hwnd))) {
            if (msg.wParam == VK_RETURN) {
                OnEnter();
                continue;
            }
            if (msg.wParam == VK_ESCAPE) {
                OnEscape();
                continue;
            }
        }
        if (!IsDialogMessageW(self, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    return modalResult_;
}

LRESULT TModalWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        SetModalResult(IDCANCEL);
        return 0;
    }
    if (message == WM_ACTIVATE) {
        // As a dialog does: the control that had the keyboard gets it back when the window is
        // active again (after a message box, say).
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != nullptr && IsChild(Handle(), focus)) focus_ = focus;
        } else if (focus_ != nullptr && IsWindow(focus_) && IsChild(Handle(), focus_)) {
            SetFocus(focus_);
            return 0;
        }
    }
    return TWindow::HandleMessage(message, wParam, lParam);
}
