// JPEG decoding: every colour layout comes out as top-down BGRA of the right size, and
// damaged or hostile files are refused with a reason instead of taking the process down.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "model/JpegImage.h"
#include "tests/core/JpegTestUtil.h"

namespace {

using jpegtest::TEncodeOptions;
using jpegtest::TLayout;

struct TDecodeCase {
    const char* Name;
    TEncodeOptions Options;
};

// Worst channel difference from the pattern, away from the quadrant edges that lossy
// coding and chroma upsampling blur.
int WorstError(const TRawImage& image, TLayout layout) {
    const int w = image.Width, h = image.Height;
    const int midX = (w + 1) / 2, midY = (h + 1) / 2;
    int worst = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if ((x >= midX - 2 && x < midX + 2 && w > 1) || (y >= midY - 2 && y < midY + 2 && h > 1)) continue;
            const jpegtest::TRgb want = jpegtest::Quadrants(x, y, w, h);
            const uint8_t* p = &image.Bgra[(static_cast<size_t>(y) * w + x) * 4];
            const int r = layout == TLayout::Gray ? want.G : want.R;
            const int b = layout == TLayout::Gray ? want.G : want.B;
            worst = std::max({worst, std::abs(p[0] - b), std::abs(p[1] - want.G), std::abs(p[2] - r)});
            if (p[3] != 255) return 1000;
        }
    }
    return worst;
}

class JpegDecode : public ::testing::TestWithParam<TDecodeCase> {};

TEST_P(JpegDecode, GivesTopDownBgraOfThePicture) {
    const TEncodeOptions& o = GetParam().Options;
    const std::string jpeg = jpegtest::EncodeJpeg(o, jpegtest::Quadrants);
    TRawImage image;
    std::string error = "stale";
    ASSERT_TRUE(DecodeJpeg(jpeg, image, error)) << error;
    EXPECT_EQ(error, "");
    ASSERT_EQ(image.Width, o.Width);
    ASSERT_EQ(image.Height, o.Height);
    ASSERT_EQ(image.Bgra.size(), static_cast<size_t>(o.Width) * o.Height * 4);
    EXPECT_LE(WorstError(image, o.Layout), 8);
}

// {width, height, layout, subsampled, progressive, quality}
const TDecodeCase kDecodeCases[] = {
    {"Rgb1x1", {1, 1, TLayout::Rgb, false, false, 100}},
    {"Rgb17x9", {17, 9, TLayout::Rgb, false, false, 100}},
    {"Rgb17x9Subsampled", {17, 9, TLayout::Rgb, true, false, 100}},
    {"Rgb64x48Progressive", {64, 48, TLayout::Rgb, true, true, 95}},
    {"RgbWidestAllowed", {kMaxJpegSide, 2, TLayout::Rgb, false, false, 90}},
    {"Gray1x1", {1, 1, TLayout::Gray, false, false, 100}},
    {"Gray17x9", {17, 9, TLayout::Gray, false, false, 100}},
    {"Cmyk17x9", {17, 9, TLayout::Cmyk, false, false, 100}},
    {"Ycck17x9", {17, 9, TLayout::Ycck, false, false, 100}},
    {"Ycck33x20Progressive", {33, 20, TLayout::Ycck, true, true, 100}},
};

INSTANTIATE_TEST_SUITE_P(JpegLayouts, JpegDecode, ::testing::ValuesIn(kDecodeCases),
                         [](const auto& info) { return std::string(info.param.Name); });

std::string GoodJpeg() { return jpegtest::EncodeJpeg({64, 48, TLayout::Rgb, true, false, 90}, jpegtest::Quadrants); }

std::string RandomBytes(size_t n, bool withSoi) {
    std::mt19937 random(7);
    std::string out(n, '\0');
    for (char& c : out) c = static_cast<char>(random() & 0xFF);
    if (withSoi) out.replace(0, 2, "\xFF\xD8");
    return out;
}

struct TBadCase {
    const char* Name;
    std::string Bytes;
    const char* Reason;  // part of the message, when it says what the decoder itself refused
};

class JpegRefuse : public ::testing::TestWithParam<TBadCase> {};

TEST_P(JpegRefuse, ReturnsFalseWithAReasonAndAnEmptyImage) {
    TRawImage image;
    image.Width = 5;
    image.Height = 5;
    image.Bgra.assign(100, 1);
    std::string error;
    EXPECT_FALSE(DecodeJpeg(GetParam().Bytes, image, error));
    EXPECT_NE(error, "");
    if (GetParam().Reason[0] != '\0') {
        EXPECT_NE(error.find(GetParam().Reason), std::string::npos) << error;
    }
    EXPECT_EQ(image.Width, 0);
    EXPECT_EQ(image.Height, 0);
    EXPECT_TRUE(image.Bgra.empty());
}

const TBadCase kBadCases[] = {
    {"Empty", "", ""},
    {"Text", "This is not a picture at all", ""},
    {"RandomBytes", RandomBytes(4000, false), ""},
    {"RandomAfterSoi", RandomBytes(4000, true), ""},
    {"OnlySoi", GoodJpeg().substr(0, 2), ""},
    {"CutInHeader", GoodJpeg().substr(0, 40), ""},
    {"CutInData", GoodJpeg().substr(0, GoodJpeg().size() / 2), ""},
    {"CutBeforeEoi", GoodJpeg().substr(0, GoodJpeg().size() - 2 - 40), ""},
    {"ZeroWidth", jpegtest::WithSize(GoodJpeg(), 0, 48), ""},
    {"SideTooLong", jpegtest::WithSize(GoodJpeg(), kMaxJpegSide + 1, 8), "too large"},
    {"TooManyPixels", jpegtest::WithSize(GoodJpeg(), 10000, 10000), "too large"},
    {"LargestHeader", jpegtest::WithSize(GoodJpeg(), 65535, 65535), ""},
};

INSTANTIATE_TEST_SUITE_P(JpegDamaged, JpegRefuse, ::testing::ValuesIn(kBadCases),
                         [](const auto& info) { return std::string(info.param.Name); });

// The decoder keeps no state between pictures: a refusal does not spoil the next one.
TEST(JpegDecodeAfterFailure, DecodesTheNextPicture) {
    TRawImage image;
    std::string error;
    ASSERT_FALSE(DecodeJpeg(GoodJpeg().substr(0, 300), image, error));
    EXPECT_TRUE(DecodeJpeg(GoodJpeg(), image, error)) << error;
    EXPECT_EQ(image.Width, 64);
    EXPECT_LE(WorstError(image, TLayout::Rgb), 8);
}

}  // namespace

TEST(JpegScale, TheSmallestScaleThatStillCoversTheDrawingSize) {
    struct TCase {
        int32_t width, height, drawWidth, drawHeight, denom;
    };
    const TCase cases[] = {
        {3000, 2500, 1024, 768, 2},  // 1500 x 1250 covers the screen, 750 x 625 does not
        {3000, 2500, 375, 313, 8},   // 375 x 313 (rounded up) is just enough
        {3000, 2500, 376, 313, 4},
        {800, 600, 1024, 768, 1},    // smaller than the drawing: full scale
        {800, 600, 0, 768, 1},       // no size given: full scale
        {800, 600, 400, -1, 1},
        {7, 7, 1, 1, 8},             // 1 x 1
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(JpegScaleFor(c.width, c.height, c.drawWidth, c.drawHeight), c.denom)
            << c.width << "x" << c.height << " for " << c.drawWidth << "x" << c.drawHeight;
    }
}

TEST(JpegScale, ADecodedReductionKeepsTheNaturalSizeAndThePicture) {
    const TEncodeOptions o{400, 300, TLayout::Rgb, true, false, 95};
    const std::string jpeg = jpegtest::EncodeJpeg(o, jpegtest::Quadrants);
    TRawImage image;
    TJpegSize natural;
    std::string error;
    ASSERT_TRUE(DecodeJpegForSize(jpeg, 100, 75, image, natural, error)) << error;
    EXPECT_EQ(natural.Width, 400);
    EXPECT_EQ(natural.Height, 300);
    EXPECT_EQ(image.Width, 100);
    EXPECT_EQ(image.Height, 75);
    ASSERT_EQ(image.Bgra.size(), size_t{100} * 75 * 4);
    EXPECT_LE(WorstError(image, o.Layout), 12);

    // Damage is found at a reduced scale as well: every byte is still decoded.
    TRawImage damaged;
    EXPECT_FALSE(DecodeJpegForSize(jpeg.substr(0, jpeg.size() / 2), 100, 75, damaged, natural, error));
    EXPECT_NE(error, "");
    EXPECT_TRUE(damaged.Bgra.empty());
    EXPECT_EQ(natural.Width, 0);
}
