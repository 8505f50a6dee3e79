#pragma once
// Whether the texts of a window's controls are whole: each text is measured with a font the
// way its control draws it (static, push button, check box, group box) and compared with the
// control's client area. Used by the Windows tests in the process that owns the windows, and by
// the end-to-end tool from outside it.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/Dpi.h"
#include "platform/Win32Util.h"

// A text its control cannot show whole: the room it needs and the room it has.
struct TClippedText {
    std::wstring Text;
    std::wstring ClassName;
    SIZE Need = {0, 0};
    SIZE Have = {0, 0};
};

inline std::wstring ClassNameOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// The room a control's text needs, measured with `font` (null: the control's own) the way the
// control draws it; false for controls that show no text of their own (frames, pictures, edits).
inline bool TextNeed(HWND control, HFONT font, SIZE& need, SIZE& have) {
    const std::wstring cls = ClassNameOf(control);
    const std::wstring text = WindowTextW(control);
    if (text.empty()) return false;
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    RECT client;
    GetClientRect(control, &client);
    have = {client.right, client.bottom};
    const int dpi = DpiForWindow(control);
    // A screen DC: the control may belong to another process.
    HDC dc = GetDC(nullptr);
    if (font == nullptr) font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font != nullptr ? font : GetStockObject(SYSTEM_FONT));
    bool shows = true;
    auto extent = [&](const std::wstring& s, UINT flags, int width) {
        RECT rc = {0, 0, width, 0};
        DrawTextW(dc, s.c_str(), static_cast<int>(s.size()), &rc, flags | DT_CALCRECT);
        return SIZE{rc.right - rc.left, rc.bottom - rc.top};
    };
    if (_wcsicmp(cls.c_str(), L"Static") == 0) {
        const LONG type = style & SS_TYPEMASK;
        UINT flags = DT_EXPANDTABS | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0);
        if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT) {
            if (style & (SS_ENDELLIPSIS | SS_PATHELLIPSIS | SS_WORDELLIPSIS)) {
                // One line, cut with "..." when too long: the whole line must fit.
                need = extent(text, flags | DT_SINGLELINE, 0);
            } else {
                need = extent(text, flags | DT_WORDBREAK, have.cx);
            }
        } else if (type == SS_LEFTNOWORDWRAP || type == SS_SIMPLE) {
            need = extent(text, flags | DT_SINGLELINE, 0);
        } else {
            shows = false;
        }
    } else if (_wcsicmp(cls.c_str(), L"Button") == 0) {
        const LONG type = style & BS_TYPEMASK;
        const bool multiline = (style & BS_MULTILINE) != 0;
        const SIZE line = extent(text, multiline ? DT_WORDBREAK : DT_SINGLELINE, multiline ? have.cx : 0);
        const int edgeX = SystemMetricForDpi(SM_CXEDGE, dpi), edgeY = SystemMetricForDpi(SM_CYEDGE, dpi);
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_OWNERDRAW) {
            // The face inside its edges, and the focus rectangle inside that.
            need = {line.cx + 2 * edgeX + 2, line.cy + 2 * edgeY};
        } else if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                   type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE) {
            need = {line.cx + SystemMetricForDpi(SM_CXMENUCHECK, dpi) + ScaleForDpi(4, dpi), line.cy};
        } else if (type == BS_GROUPBOX) {
            need = {line.cx + ScaleForDpi(16, dpi), line.cy};
        } else {
            shows = false;
        }
    } else {
        shows = false;
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return shows;
}

// Every visible control under `root` whose text it cannot show whole, measured with the font
// `fontOf` gives for it (null: the control's own).
inline std::vector<TClippedText> ClippedTexts(HWND root, const std::function<HFONT(HWND)>& fontOf) {
    std::vector<HWND> controls;
    EnumChildWindows(
        root,
        [](HWND child, LPARAM list) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&controls));
    std::vector<TClippedText> clipped;
    for (HWND control : controls) {
        // A control hidden by itself or by a parent shows nothing now.
        if ((GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) == 0) continue;
        bool hiddenParent = false;
        for (HWND up = GetParent(control); up != nullptr && up != root; up = GetParent(up)) {
            if ((GetWindowLongW(up, GWL_STYLE) & WS_VISIBLE) == 0) hiddenParent = true;
        }
        if (hiddenParent) continue;
        SIZE need, have;
        if (!TextNeed(control, fontOf ? fontOf(control) : nullptr, need, have)) continue;
        if (need.cx > have.cx || need.cy > have.cy) {
            clipped.push_back({WindowTextW(control), ClassNameOf(control), need, have});
        }
    }
    return clipped;
}

// The same with each control's own font, or with `font` for all.
inline std::vector<TClippedText> ClippedTexts(HWND root, HFONT font = nullptr) {
    return ClippedTexts(root, [font](HWND) { return font; });
}
