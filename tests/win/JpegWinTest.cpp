// The mingw build of libjpeg under Windows: pictures decode into pixels a 32-bit
// top-down DIB section shows as they are, and a refusal comes back through longjmp
// (which unwinds through SEH on x64) as a plain false.

#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>

#include "model/JpegImage.h"
#include "tests/core/JpegTestUtil.h"

namespace {

using jpegtest::TEncodeOptions;
using jpegtest::TLayout;

class JpegWin : public ::testing::TestWithParam<TEncodeOptions> {};

TEST_P(JpegWin, PixelsShowInADibSection) {
    const TEncodeOptions& o = GetParam();
    TRawImage image;
    std::string error;
    ASSERT_TRUE(DecodeJpeg(jpegtest::EncodeJpeg(o, jpegtest::Quadrants), image, error)) << error;
    ASSERT_EQ(image.Width, o.Width);
    ASSERT_EQ(image.Height, o.Height);

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.Width;
    info.bmiHeader.biHeight = -image.Height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    std::memcpy(bits, image.Bgra.data(), image.Bgra.size());
    HGDIOBJ old = SelectObject(dc, bitmap);
    const int corners[4][2] = {{0, 0}, {o.Width - 1, 0}, {0, o.Height - 1}, {o.Width - 1, o.Height - 1}};
    for (const auto& c : corners) {
        const COLORREF got = GetPixel(dc, c[0], c[1]);
        const jpegtest::TRgb want = jpegtest::Quadrants(c[0], c[1], o.Width, o.Height);
        EXPECT_NEAR(GetRValue(got), want.R, 8) << c[0] << "," << c[1];
        EXPECT_NEAR(GetGValue(got), want.G, 8) << c[0] << "," << c[1];
        EXPECT_NEAR(GetBValue(got), want.B, 8) << c[0] << "," << c[1];
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

// {width, height, layout, subsampled, progressive, quality}
INSTANTIATE_TEST_SUITE_P(Jpeg, JpegWin,
                         ::testing::Values(TEncodeOptions{17, 9, TLayout::Rgb, true, false, 100},
                                           TEncodeOptions{40, 30, TLayout::Rgb, true, true, 100},
                                           TEncodeOptions{17, 9, TLayout::Ycck, false, false, 100}));

TEST(JpegWinRefuse, DamagedFilesReturnFalse) {
    const std::string good = jpegtest::EncodeJpeg({40, 30, TLayout::Rgb, true, false, 90}, jpegtest::Quadrants);
    const std::string bad[] = {
        "",
        "GIF89a not a jpeg",
        good.substr(0, good.size() / 2),
        jpegtest::WithSize(good, 10000, 10000),
    };
    for (const std::string& bytes : bad) {
        TRawImage image;
        std::string error;
        EXPECT_FALSE(DecodeJpeg(bytes, image, error)) << bytes.size();
        EXPECT_NE(error, "") << bytes.size();
        EXPECT_TRUE(image.Bgra.empty()) << bytes.size();
    }
    // The jumps left nothing behind that spoils the next picture.
    TRawImage image;
    std::string error;
    EXPECT_TRUE(DecodeJpeg(good, image, error)) << error;
}

}  // namespace
