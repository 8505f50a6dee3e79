#pragma once
// A group box that is also a container: its controls are its children, and what they send
// up (commands, colour requests, owner drawing) goes on to the window the box sits on, so
// that window handles its controls as if they were its own.

#include <string>

#include "platform/Window.h"

class TGroupBox : public TPaintedWindow {
protected:
    ~TGroupBox() override;

public:
    bool Create(HWND parent, int x, int y, int width, int height, const std::wstring& caption, HFONT font);
    // The caption's font, which the box does not own; none: the GUI font at the box's DPI.
    void SetFont(HFONT font);

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    void Paint(HDC dc) override;
    void DpiChanged(int oldDpi, const RECT* suggested) override;

private:
    HFONT font_ = nullptr;
    HFONT ownFont_ = nullptr;
};
