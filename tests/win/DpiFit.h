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
#include "tests/win/TextFit.h"

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
