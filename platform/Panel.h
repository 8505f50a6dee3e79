#pragma once
// A panel: a flat area with an optional bevel and a centred one-line caption.

#include <string>

#include "platform/Window.h"

class TPanel : public TPaintedWindow {
protected:
    ~TPanel() override;

public:
    enum class TBevel { None, Raised, Lowered };

    bool Create(HWND parent, int x, int y, int width, int height, const std::wstring& caption);
    void SetCaption(const std::wstring& caption);
    void SetBevel(TBevel bevel);
    void SetColor(COLORREF color);
    // The caption's font, which the panel does not own; none: the GUI font at the panel's DPI.
    void SetFont(HFONT font);

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    void Paint(HDC dc) override;
    void DpiChanged(int oldDpi, const RECT* suggested) override;

private:
    TBevel bevel_ = TBevel::Raised;
    COLORREF color_ = GetSysColor(COLOR_BTNFACE);
    HFONT font_ = nullptr;
    HFONT ownFont_ = nullptr;
};
