#pragma once
// A window shown modally: the owner is disabled, one shared loop runs until a result is
// set, and the window sees Enter and Escape before its controls do.

#include "platform/Window.h"

class TModalWindow : public TWindow {
protected:
    ~TModalWindow() override = default;

public:
    // Shows the window and runs the loop; IDOK or IDCANCEL.
    int ShowModal(HWND owner);
    // Ends the loop with this result (IDOK or IDCANCEL).
    void SetModalResult(int result) { modalResult_ = result; }
    int ModalResult() const { return modalResult_; }

protected:
    // Enter and Escape pressed anywhere in the window. Default: OK and Cancel.
    virtual void OnEnter() { SetModalResult(IDOK); }
    virtual void OnEscape() { SetModalResult(IDCANCEL); }
    virtual void OnShow() {}
    // Closing by the title bar counts as Cancel.
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    int modalResult_ = 0;
    HWND focus_ = nullptr;
};
