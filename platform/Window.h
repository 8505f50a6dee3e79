#pragma once
// Base of every window of the player: one window procedure finds the C++ object through
// GWLP_USERDATA and calls its virtual handler. Exceptions never pass into Windows.
//
// A window object is made as TOwned<T> (a member TOwned<TPanel>, std::make_unique<TOwned<TfResult>>()):
// TOwned destroys the window while the whole object still exists, so the object's own handlers
// see WM_DESTROY and the members they use (fonts, child objects, timers) outlive the window. The
// destructors of the window classes are protected so that nothing else can end one.

#include <windows.h>

#include "platform/DpiScale.h"

class TWindow {
public:
    TWindow() = default;
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    HWND Handle() const { return hwnd_; }
    void Show();
    void Hide();
    void Destroy();
    // The DPI the window is laid out for (that of its monitor).
    int Dpi() const { return dpi_; }

protected:
    virtual ~TWindow();
    // Design pixels (those of a 96-DPI screen) at the window's DPI.
    int Scale(int designPixels) const { return ScaleForDpi(designPixels, dpi_); }
    // Takes the DPI the window will have, before its sizes are worked out: that of the owner
    // or parent, or of the primary monitor. CreateHandle does it when it has not been done.
    void PrepareDpi(HWND ownerOrParent);
    // The window has moved to a monitor of another DPI (WM_DPICHANGED, or a parent that did):
    // Dpi() is the new one by now. A top-level window takes `suggested` (screen coordinates,
    // null for a child); windows with their own layout lay themselves out again.
    virtual void DpiChanged(int oldDpi, const RECT* suggested);
    // Registers the class on first use; every class of ours uses the same procedure.
    static void RegisterWindowClass(const wchar_t* className, UINT style, HBRUSH background);
    // False, creating nothing, when the object has a window already.
    bool CreateHandle(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x, int y,
                      int width, int height, HWND parent);
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
    int dpi_ = 0;
};

// A window that paints its whole client area itself: no background is erased first, so nothing
// flickers.
class TPaintedWindow : public TWindow {
protected:
    ~TPaintedWindow() override = default;
    virtual void Paint(HDC dc) = 0;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Paint draws into an off-screen picture of the area to be painted, which then goes to the
    // screen at once: a picture built up in many steps never shows half done.
    bool DoubleBuffered = false;

private:
    void PaintBuffered(HDC dc, const RECT& area);
};

// A control that only shows something (a picture, an embedded object): it paints itself also
// when asked to print it, and never takes the pointer, which goes to the window underneath as
// with a label.
class TViewControl : public TPaintedWindow {
protected:
    ~TViewControl() override = default;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

template <class T>
class TOwned final : public T {
public:
    using T::T;
    ~TOwned() override { this->Destroy(); }
};
