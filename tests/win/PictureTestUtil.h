#pragma once
// Drawing checks shared by the picture and embedded-object tests: a picture of four coloured
// quadrants, a canvas whose pixels are read straight from memory, and the check that a
// picture was stretched exactly into its target rectangle.

#include <windows.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "tests/core/JpegTestUtil.h"

namespace picturetest {

using jpegtest::TRgb;

constexpr int kW = 40;
constexpr int kH = 30;

inline TRgb QuadrantColour(int index) {
    static const int kCorner[4][2] = {{0, 0}, {kW - 1, 0}, {0, kH - 1}, {kW - 1, kH - 1}};
    return jpegtest::Quadrants(kCorner[index][0], kCorner[index][1], kW, kH);
}

// The quadrants painted as four rectangles in logical units of a kW x kH area.
inline void PaintQuadrants(HDC dc, int width, int height) {
    SelectObject(dc, GetStockObject(NULL_PEN));
    for (int i = 0; i < 4; ++i) {
        const TRgb c = QuadrantColour(i);
        HBRUSH brush = CreateSolidBrush(RGB(c.R, c.G, c.B));
        HGDIOBJ old = SelectObject(dc, brush);
        const int left = i % 2 ? width / 2 : 0, top = i / 2 ? height / 2 : 0;
        Rectangle(dc, left, top, left + width / 2, top + height / 2);
        SelectObject(dc, old);
        DeleteObject(brush);
    }
}

// The quadrants as an enhanced metafile of kW x kH pixels, in memory or in `file`.
inline HENHMETAFILE MakeQuadrantsEmf(const wchar_t* file) {
    HDC screen = GetDC(nullptr);
    // The frame is in 0.01 mm; the records are in pixels of the screen.
    const int mmX = GetDeviceCaps(screen, HORZSIZE) * 100, pxX = GetDeviceCaps(screen, HORZRES);
    const int mmY = GetDeviceCaps(screen, VERTSIZE) * 100, pxY = GetDeviceCaps(screen, VERTRES);
    ReleaseDC(nullptr, screen);
    const RECT frame = {0, 0, MulDiv(kW, 2540, 96), MulDiv(kH, 2540, 96)};
    HDC dc = CreateEnhMetaFileW(nullptr, file, &frame, nullptr);
    if (dc == nullptr) return nullptr;
    // Scale so that kW x kH logical units fill the frame whatever the screen's millimetres.
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowExtEx(dc, kW, kH, nullptr);
    SetViewportExtEx(dc, MulDiv(frame.right, pxX, mmX), MulDiv(frame.bottom, pxY, mmY), nullptr);
    PaintQuadrants(dc, kW, kH);
    return CloseEnhMetaFile(dc);
}

// A metafile in logical units of `width` x `height`; with `withExtent` it says so itself.
inline HMETAFILE MakeQuadrantsWmf(int width, int height, bool withExtent) {
    HDC dc = CreateMetaFileW(nullptr);
    if (withExtent) {
        SetWindowOrgEx(dc, 0, 0, nullptr);
        SetWindowExtEx(dc, width, height, nullptr);
    }
    PaintQuadrants(dc, width, height);
    return CloseMetaFile(dc);
}

// A white 32-bit canvas the picture draws on; pixels are read straight from its bits.
class TCanvas {
public:
    TCanvas(int width, int height) : width_(width) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        std::memset(bits_, 0xFF, static_cast<size_t>(width) * height * 4);
    }
    ~TCanvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC Dc() const { return dc_; }
    TRgb At(int x, int y) const {
        GdiFlush();
        const uint8_t* p = bits_ + (static_cast<size_t>(y) * width_ + x) * 4;
        return {p[2], p[1], p[0]};
    }

private:
    int width_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    uint8_t* bits_ = nullptr;
};

inline ::testing::AssertionResult Near(const TRgb& got, const TRgb& want, int tolerance) {
    if (std::abs(got.R - want.R) <= tolerance && std::abs(got.G - want.G) <= tolerance &&
        std::abs(got.B - want.B) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << got.R << "," << got.G << "," << got.B << " want " << want.R
                                         << "," << want.G << "," << want.B;
}

inline const TRgb kWhite = {255, 255, 255};

// Draws the picture into `target` on a canvas with a margin, and checks that every quadrant
// shows its colour near its corner of the target and in its middle, and that nothing was
// drawn outside. Anything with Draw(HDC, const RECT&) can be checked.
template <class TDrawable>
void ExpectQuadrantsIn(const TDrawable& picture, const RECT& target, int tolerance) {
    TCanvas canvas(target.right + 6, target.bottom + 6);
    picture.Draw(canvas.Dc(), target);
    const int w = target.right - target.left, h = target.bottom - target.top;
    for (int i = 0; i < 4; ++i) {
        const bool right = i % 2, bottom = i / 2;
        // A metafile's last logical unit may round either way when it is scaled.
        const int cornerX = right ? target.right - 4 : target.left + 1;
        const int cornerY = bottom ? target.bottom - 4 : target.top + 1;
        const int middleX = target.left + (right ? w * 3 / 4 : w / 4);
        const int middleY = target.top + (bottom ? h * 3 / 4 : h / 4);
        EXPECT_TRUE(Near(canvas.At(cornerX, cornerY), QuadrantColour(i), tolerance)) << "corner " << i;
        EXPECT_TRUE(Near(canvas.At(middleX, middleY), QuadrantColour(i), tolerance)) << "middle " << i;
    }
    EXPECT_TRUE(Near(canvas.At(target.left - 1, target.top - 1), kWhite, 0)) << "above left";
    EXPECT_TRUE(Near(canvas.At(target.right, target.bottom), kWhite, 0)) << "below right";
}

}  // namespace picturetest
