#pragma once
// Checks of the windows at any screen scaling: every text a control shows is whole in it, and
// sizes are the design's scaled by DPI / 96. The DpiFit tests run at 96 DPI with the others and
// again in prefixes at 120, 144 and 192 DPI (TP_TEST_DPI names the one expected).

#include <windows.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "model/Codepage.h"
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

// The room a control's text needs, measured with the control's own font the way the control
// draws it; false for controls that show no text of their own (frames, pictures, edits).
inline bool TextNeed(HWND control, SIZE& need, SIZE& have) {
    const std::wstring cls = ClassNameOf(control);
    const std::wstring text = WindowTextW(control);
    if (text.empty()) return false;
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    RECT client;
    GetClientRect(control, &client);
    have = {client.right, client.bottom};
    const int dpi = DpiForWindow(control);
    HDC dc = GetDC(control);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
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
    ReleaseDC(control, dc);
    return shows;
}

// Every visible control under `root` whose text it cannot show whole.
inline std::vector<TClippedText> ClippedTexts(HWND root) {
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
        if (!TextNeed(control, need, have)) continue;
        if (need.cx > have.cx || need.cy > have.cy) {
            clipped.push_back({WindowTextW(control), ClassNameOf(control), need, have});
        }
    }
    return clipped;
}

inline std::string DescribeClipped(const std::vector<TClippedText>& clipped) {
    std::string out;
    for (const TClippedText& c : clipped) {
        out += Cp1251ToUtf8(WideToCp1251(c.ClassName)) + " \"" + Cp1251ToUtf8(WideToCp1251(c.Text)) + "\" needs " +
               std::to_string(c.Need.cx) + "x" + std::to_string(c.Need.cy) + ", has " + std::to_string(c.Have.cx) +
               "x" + std::to_string(c.Have.cy) + "\n";
    }
    return out;
}

#define EXPECT_TEXTS_FIT(window)                                              \
    do {                                                                      \
        const std::vector<TClippedText> clipped_ = ClippedTexts(window);      \
        EXPECT_TRUE(clipped_.empty()) << DescribeClipped(clipped_);           \
    } while (0)

// The DPI this run of the tests is meant to have: TP_TEST_DPI, or 96.
inline int ExpectedTestDpi() {
    const char* value = std::getenv("TP_TEST_DPI");
    return value != nullptr && *value != '\0' ? std::atoi(value) : kDesignDpi;
}

// The height `text` takes word-wrapped at `width` with `font`, as a window that draws it with
// DrawText measures it (an empty text takes one line).
inline int WrappedTextHeight(HWND window, const std::wstring& text, int width, HFONT font) {
    const std::wstring shown = text.empty() ? std::wstring(L" ") : text;
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, font);
    RECT rc = {0, 0, width, 0};
    DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &rc,
              DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return rc.bottom - rc.top;
}

// The lfHeight of the font a control was given (0 when it has none).
inline LONG FontHeightOf(HWND control) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTW lf = {};
    if (font == nullptr || GetObjectW(font, sizeof(lf), &lf) == 0) return 0;
    return lf.lfHeight;
}

// A size that the design gives as `design` pixels, at `dpi`: scaled within a pixel.
#define EXPECT_SCALED(actual, design, dpi) EXPECT_NEAR((actual), ScaleForDpi((design), (dpi)), 1)
// The same where the window may have grown to hold its texts.
#define EXPECT_SCALED_OR_MORE(actual, design, dpi) EXPECT_GE((actual) + 1, ScaleForDpi((design), (dpi)))
