#pragma once
// Small Win32 helpers shared by the windows of the player.

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

// Windows-1251 text (the data's encoding) for the wide APIs.
std::wstring Wide(std::string_view cp1251);

// The application's title ("Тестирование"): default caption of its message boxes.
void SetApplicationTitle(const std::wstring& title);
const std::wstring& ApplicationTitle();

// Lets the pending messages of this thread run, as a busy step does between its parts.
void ProcessMessages();
// The same with a look at every message first: a filter that returns true has dealt with it.
// The filter runs under the same guard as a window procedure: an error it raises goes to the
// application's handler and the message is dropped.
// False when the program is quitting (the quit message stays posted for the outer loops).
bool ProcessMessages(const std::function<bool(MSG&)>& filter);
// Sleeps until input, a timer or another message arrives, at most `milliseconds`.
void WaitForMessages(DWORD milliseconds);

// Text of a window or control, wide and as cp1251.
std::wstring WindowTextW(HWND hwnd);
std::string WindowText1251(HWND hwnd);
void SetWindowText1251(HWND hwnd, const std::string& cp1251);
// Where a scroll bar control's arrows, page areas and thumb ask to go (the code of its
// WM_VSCROLL or WM_HSCROLL), from `position` with the given page and arrow step; false for
// codes that ask for no move.
bool ScrollBarTarget(HWND bar, int code, int position, int page, int lineStep, int maximum, int& target);
// Size of a text in the control's font.
SIZE TextExtent(HWND control, const std::wstring& text);
// The room `text` takes when drawn in `font` with the DrawText flags `flags` (DT_WORDBREAK wraps it
// at `width`), as DT_CALCRECT measures it.
SIZE DrawnTextSize(HFONT font, const std::wstring& text, UINT flags, int width = 0);
// The whole state of a scroll bar control.
SCROLLINFO ScrollBarInfo(HWND bar);
// The code (SB_LINEUP, SB_THUMBTRACK, ...) of a WM_VSCROLL or WM_HSCROLL that the scroll bar
// control `bar` sends; -1 for any other message.
int ScrollCodeFrom(HWND bar, UINT message, WPARAM wParam, LPARAM lParam);

// A window's rectangle in its parent's client area.
RECT RectInParent(HWND window);
// Shows or hides a control without activating it.
void SetVisible(HWND control, bool visible);

// The system's message font (that of dialogs and message boxes) at `dpi`, new for the caller
// to delete; `weight` 0 keeps the system's weight.
HFONT CreateMessageFont(int dpi, LONG weight = 0, bool underline = false);
// The GUI font (that of DEFAULT_GUI_FONT, dialog controls) at `dpi`, new for the caller to delete:
// the stock one is made for the system's DPI at log-on, and at that DPI it is its very size.
HFONT CreateGuiFont(int dpi);

// Modal message box owned by `owner`; returns the button pressed.
int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags);

// Receives every exception that reaches a window procedure; without one it is dropped.
void SetApplicationExceptionHandler(std::function<void()> handler);
// Called inside a catch block.
void HandleApplicationException() noexcept;

// Receives the end of the Windows session (WM_ENDSESSION with its "ending" flag), from whichever
// window of the program Windows tells first, once. Windows ends the process soon after.
void SetSessionEndHandler(std::function<void()> handler);
// Called by the window procedure; errors of the handler are dropped.
void HandleSessionEnd() noexcept;

// Full path of this executable.
std::wstring ModulePath();
