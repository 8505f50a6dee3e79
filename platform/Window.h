#pragma once
// Base of every window of the player: one window procedure finds the C++ object through
// GWLP_USERDATA and calls its virtual handler. Exceptions never pass into Windows.

#include <windows.h>

class TWindow {
public:
    TWindow() = default;
    virtual ~TWindow();
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    HWND Handle() const { return hwnd_; }
    void Show();
    void Hide();
    void Destroy();

protected:
    // Registers the class on first use; every class of ours uses the same procedure.
    static void RegisterWindowClass(const wchar_t* className, UINT style, HBRUSH background);
    bool CreateHandle(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x, int y,
                      int width, int height, HWND parent);
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
};

// A control that only shows something (a picture, an embedded object): it paints its whole
// client area itself, also when asked to print it, and never takes the pointer, which goes to
// the window underneath as with a label.
class TViewControl : public TWindow {
protected:
    virtual void Paint(HDC dc) = 0;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};
