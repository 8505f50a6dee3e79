// Pictures of every kind a test may attach: natural size, drawing stretched into a target
// rectangle (read back pixel by pixel), and refusing damaged files without harm.

#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "platform/Picture.h"
#include "tests/core/JpegTestUtil.h"
#include "tests/win/PictureTestUtil.h"
#include "tests/win/WinTestUtil.h"

namespace {

using namespace picturetest;

void PutLe16(std::string& b, int v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>((v >> 8) & 0xFF);
}
void PutLe32(std::string& b, uint32_t v) {
    PutLe16(b, static_cast<int>(v & 0xFFFF));
    PutLe16(b, static_cast<int>(v >> 16));
}

// An uncompressed BMP of the quadrant pattern: 24-bit rows are bottom-up and padded to four
// bytes, 32-bit ones written top-down (negative height).
std::string MakeBmp(int bits) {
    const int stride = (kW * bits / 8 + 3) & ~3;
    std::string b = "BM";
    PutLe32(b, static_cast<uint32_t>(54 + stride * kH));
    PutLe32(b, 0);
    PutLe32(b, 54);
    PutLe32(b, 40);
    PutLe32(b, kW);
    PutLe32(b, static_cast<uint32_t>(bits == 32 ? -kH : kH));
    PutLe16(b, 1);
    PutLe16(b, bits);
    PutLe32(b, 0);
    PutLe32(b, static_cast<uint32_t>(stride * kH));
    PutLe32(b, 2835);
    PutLe32(b, 2835);
    PutLe32(b, 0);
    PutLe32(b, 0);
    for (int row = 0; row < kH; ++row) {
        const int y = bits == 32 ? row : kH - 1 - row;
        std::string line;
        for (int x = 0; x < kW; ++x) {
            const TRgb c = jpegtest::Quadrants(x, y, kW, kH);
            line += static_cast<char>(c.B);
            line += static_cast<char>(c.G);
            line += static_cast<char>(c.R);
            if (bits == 32) line += '\0';
        }
        line.resize(static_cast<size_t>(stride), '\0');
        b += line;
    }
    return b;
}

// An 8-bit BMP with a palette of the four colours, rows stored plainly or run-length coded.
std::string MakeBmp8(bool rle) {
    std::string pixels;
    for (int y = kH - 1; y >= 0; --y) {
        const int left = y < (kH + 1) / 2 ? 0 : 2;
        if (rle) {
            pixels += {static_cast<char>(kW / 2), static_cast<char>(left), static_cast<char>(kW / 2),
                       static_cast<char>(left + 1), 0, 0};
        } else {
            pixels += std::string(kW / 2, static_cast<char>(left)) + std::string(kW / 2, static_cast<char>(left + 1));
        }
    }
    if (rle) pixels += std::string("\0\1", 2);
    std::string b = "BM";
    PutLe32(b, static_cast<uint32_t>(54 + 16 + pixels.size()));
    PutLe32(b, 0);
    PutLe32(b, 54 + 16);
    PutLe32(b, 40);
    PutLe32(b, kW);
    PutLe32(b, kH);
    PutLe16(b, 1);
    PutLe16(b, 8);
    PutLe32(b, rle ? 1 : 0);  // BI_RLE8
    PutLe32(b, static_cast<uint32_t>(pixels.size()));
    PutLe32(b, 2835);
    PutLe32(b, 2835);
    PutLe32(b, 4);
    PutLe32(b, 0);
    for (int i = 0; i < 4; ++i) {
        const TRgb c = QuadrantColour(i);
        b += {static_cast<char>(c.B), static_cast<char>(c.G), static_cast<char>(c.R), 0};
    }
    return b + pixels;
}

std::string MakeEmf(const TPath& scratch) {
    const TPath file = scratch / L"made.emf";
    HENHMETAFILE emf = MakeQuadrantsEmf(file.c_str());
    EXPECT_NE(emf, nullptr);
    DeleteEnhMetaFile(emf);
    return ReadWholeFile(file);
}

std::string MakePlainWmf(int width, int height, bool withExtent) {
    HMETAFILE metafile = MakeQuadrantsWmf(width, height, withExtent);
    std::string bytes(GetMetaFileBitsEx(metafile, 0, nullptr), '\0');
    GetMetaFileBitsEx(metafile, static_cast<UINT>(bytes.size()), &bytes[0]);
    DeleteMetaFile(metafile);
    return bytes;
}

// The 22-byte header that gives a metafile its size: bounds in units of 1/inch.
std::string Placeable(const std::string& metafile, int right, int bottom, int inch) {
    std::string h;
    PutLe32(h, 0x9AC6CDD7);
    PutLe16(h, 0);
    PutLe16(h, 0);
    PutLe16(h, 0);
    PutLe16(h, right);
    PutLe16(h, bottom);
    PutLe16(h, inch);
    PutLe32(h, 0);
    uint16_t sum = 0;
    for (size_t i = 0; i < 20; i += 2) sum ^= static_cast<uint16_t>(static_cast<uint8_t>(h[i]) | static_cast<uint8_t>(h[i + 1]) << 8);
    PutLe16(h, sum);
    return h + metafile;
}

struct TPictureCase {
    const char* Name;
    const wchar_t* FileName;
    std::function<std::string(const TPath& scratch)> Make;
    int Width, Height;
    int Tolerance;
};

void PrintTo(const TPictureCase& c, std::ostream* os) { *os << c.Name; }

class PictureKinds : public ::testing::TestWithParam<TPictureCase> {};

TEST_P(PictureKinds, NaturalSizeAndStretchedDrawing) {
    const TPictureCase& c = GetParam();
    TScratchFolder scratch;
    const TPath file = scratch / c.FileName;
    ASSERT_TRUE(WriteWholeFile(file, c.Make(scratch.Path())));
    TPicture picture;
    std::string error;
    ASSERT_TRUE(picture.LoadFromFile(file, &error)) << error;
    EXPECT_FALSE(picture.Empty());
    EXPECT_EQ(picture.Width(), c.Width);
    EXPECT_EQ(picture.Height(), c.Height);
    {
        SCOPED_TRACE("enlarged");
        ExpectQuadrantsIn(picture, {5, 4, 5 + 96, 4 + 70}, c.Tolerance);
    }
    {
        SCOPED_TRACE("shrunk");
        ExpectQuadrantsIn(picture, {3, 3, 3 + 24, 3 + 16}, c.Tolerance + 30);
    }
}

const TPictureCase kPictureCases[] = {
    {"Jpeg", L"p.jpg",
     [](const TPath&) { return jpegtest::EncodeJpeg({kW, kH, jpegtest::TLayout::Rgb, false, false, 100}, jpegtest::Quadrants); },
     kW, kH, 8},
    {"JpegUpperCase", L"P.JPEG",
     [](const TPath&) { return jpegtest::EncodeJpeg({kW, kH, jpegtest::TLayout::Rgb, true, true, 95}, jpegtest::Quadrants); },
     kW, kH, 12},
    {"Bmp24", L"p.bmp", [](const TPath&) { return MakeBmp(24); }, kW, kH, 0},
    {"Bmp32TopDown", L"p.Bmp", [](const TPath&) { return MakeBmp(32); }, kW, kH, 0},
    {"Bmp8", L"p8.bmp", [](const TPath&) { return MakeBmp8(false); }, kW, kH, 0},
    {"Bmp8RunLength", L"rle.bmp", [](const TPath&) { return MakeBmp8(true); }, kW, kH, 0},
    {"Emf", L"p.emf", MakeEmf, kW, kH, 0},
    {"WmfPlaceable", L"p.wmf", [](const TPath&) { return Placeable(MakePlainWmf(kW, kH, true), kW, kH, 96); }, kW, kH, 0},
    // 1440 units per inch: 600 x 450 units are 40 x 30 pixels.
    {"WmfPlaceableTwips", L"t.WMF",
     [](const TPath&) { return Placeable(MakePlainWmf(600, 450, true), 600, 450, 1440); }, kW, kH, 0},
    {"WmfPlainWithExtent", L"plain.wmf", [](const TPath&) { return MakePlainWmf(kW, kH, true); }, kW, kH, 0},
    {"WmfPlainWithoutExtent", L"bare.wmf",
     [](const TPath&) {
         return MakePlainWmf(TPicture::kDefaultMetafileSize, TPicture::kDefaultMetafileSize, false);
     },
     TPicture::kDefaultMetafileSize, TPicture::kDefaultMetafileSize, 0},
};

INSTANTIATE_TEST_SUITE_P(Picture, PictureKinds, ::testing::ValuesIn(kPictureCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(PictureRefuse, DamagedMissingAndUnknownFilesLeaveItEmpty) {
    TScratchFolder scratch;
    const std::string jpeg = jpegtest::EncodeJpeg({kW, kH, jpegtest::TLayout::Rgb, false, false, 90}, jpegtest::Quadrants);
    const std::string bmp = MakeBmp(24);
    std::string hugeBmp = bmp;
    hugeBmp[18] = hugeBmp[19] = '\x7F';  // width 32639, height 30: fine
    hugeBmp[22] = hugeBmp[23] = '\x7F';  // height 32639 as well: a billion pixels
    const std::string wmf = MakePlainWmf(kW, kH, true);
    const struct {
        const wchar_t* Name;
        const char* Why;
        std::string Bytes;
    } cases[] = {
        {L"empty.jpg", "empty", ""},
        {L"half.jpg", "cut in half", jpeg.substr(0, jpeg.size() / 2)},
        {L"bmp.jpg", "a BMP named .jpg", bmp},
        {L"garbage.bmp", "garbage", "BM not really a bitmap at all, just text"},
        {L"short.bmp", "header only", bmp.substr(0, 54)},
        {L"huge.bmp", "a billion pixels", hugeBmp},
        {L"text.emf", "garbage", std::string(200, 'x')},
        {L"text.wmf", "garbage", std::string(200, 'x')},
        {L"short.wmf", "shorter than a header", wmf.substr(0, 10)},
        {L"placeable.wmf", "placeable header, no metafile", Placeable("", kW, kH, 96)},
        {L"picture.png", "unknown extension", bmp},
        {L"picture", "no extension", jpeg},
    };
    ASSERT_TRUE(WriteWholeFile(scratch / L"p.jpg", jpeg));
    for (const auto& c : cases) {
        const TPath file = scratch / c.Name;
        ASSERT_TRUE(WriteWholeFile(file, c.Bytes));
        TPicture picture;
        std::string error;
        // A good picture loaded before goes away with the failed load.
        ASSERT_TRUE(picture.LoadFromFile(scratch / L"p.jpg", nullptr));
        EXPECT_FALSE(picture.LoadFromFile(file, &error)) << c.Why;
        EXPECT_NE(error, "") << c.Why;
        EXPECT_TRUE(picture.Empty()) << c.Why;
        EXPECT_EQ(picture.Width(), 0) << c.Why;
        EXPECT_EQ(picture.Height(), 0) << c.Why;
        TCanvas canvas(20, 20);
        picture.Draw(canvas.Dc(), {0, 0, 20, 20});
        EXPECT_TRUE(Near(canvas.At(10, 10), kWhite, 0)) << c.Why;
    }
    TPicture picture;
    std::string error;
    EXPECT_FALSE(picture.LoadFromFile(scratch / L"missing.jpg", &error));
    EXPECT_NE(error, "");
    EXPECT_TRUE(picture.Empty());
}

class ImageControl : public ::testing::Test {
protected:
    void SetUp() override {
        parent_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 200, 150, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr);
        ASSERT_TRUE(WriteWholeFile(scratch_ / L"p.bmp", MakeBmp(24)));
        ASSERT_TRUE(image_.Create(parent_, 10, 10, 80, 60));
        image_.SetColor(RGB(0, 0, 0));
    }
    void TearDown() override {
        image_.Destroy();
        DestroyWindow(parent_);
    }
    TRgb Shown(int x, int y) {
        TCanvas canvas(80, 60);
        SendMessageW(image_.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.Dc()), PRF_CLIENT);
        return canvas.At(x, y);
    }
    TScratchFolder scratch_;
    HWND parent_ = nullptr;
    TOwned<TImage> image_;
};

TEST_F(ImageControl, StretchedFillsTheControlOtherwiseNaturalSizeAtTheCorner) {
    std::string error;
    ASSERT_TRUE(image_.LoadFromFile(scratch_ / L"p.bmp", &error)) << error;
    const TRgb black = {0, 0, 0};
    EXPECT_TRUE(Near(Shown(kW - 1, kH - 1), QuadrantColour(3), 0));
    EXPECT_TRUE(Near(Shown(kW + 5, kH + 5), black, 0)) << "beside the picture";
    EXPECT_TRUE(Near(Shown(79, 59), black, 0));

    image_.SetStretch(true);
    EXPECT_TRUE(Near(Shown(kW + 5, kH + 5), QuadrantColour(3), 0));
    EXPECT_TRUE(Near(Shown(79, 59), QuadrantColour(3), 0));
    EXPECT_TRUE(Near(Shown(0, 0), QuadrantColour(0), 0));
    EXPECT_TRUE(Near(Shown(79, 0), QuadrantColour(1), 0));

    // The real paint shows the same as the printed one.
    UpdateWindow(image_.Handle());
    HDC dc = GetDC(image_.Handle());
    const COLORREF c = GetPixel(dc, 79, 59);
    ReleaseDC(image_.Handle(), dc);
    EXPECT_TRUE(Near({GetRValue(c), GetGValue(c), GetBValue(c)}, QuadrantColour(3), 0));

    EXPECT_FALSE(image_.LoadFromFile(scratch_ / L"missing.bmp", &error));
    EXPECT_TRUE(Near(Shown(10, 10), black, 0)) << "a failed load shows nothing";
}

}  // namespace

namespace {

// Damaged copies of every kind: bytes overwritten at random places. Each must load or fail
// without taking the process down, and draw (or not) without running away.
TEST(PictureRefuse, RandomlyDamagedFilesNeverCrashOrHang) {
    TScratchFolder scratch;
    const struct {
        const wchar_t* Name;
        std::string Bytes;
    } kinds[] = {
        {L"d.jpg", jpegtest::EncodeJpeg({kW, kH, jpegtest::TLayout::Rgb, true, false, 90}, jpegtest::Quadrants)},
        {L"d.bmp", MakeBmp(24)},
        {L"d8.bmp", MakeBmp8(false)},
        {L"rle.bmp", MakeBmp8(true)},
        {L"d.emf", MakeEmf(scratch.Path())},
        {L"d.wmf", Placeable(MakePlainWmf(kW, kH, true), kW, kH, 96)},
        {L"p.wmf", MakePlainWmf(kW, kH, true)},
    };
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    int loaded = 0, refused = 0;
    const DWORD start = GetTickCount();
    for (const auto& kind : kinds) {
        for (int round = 0; round < 150; ++round) {
            std::string bytes = kind.Bytes;
            const int hits = 1 + static_cast<int>(next() % 8);
            for (int h = 0; h < hits; ++h) {
                // Headers are where the sizes live: aim half of the hits at the first 64 bytes.
                const size_t span = next() % 2 ? std::min<size_t>(64, bytes.size()) : bytes.size();
                const size_t at = next() % span;
                bytes[at] = static_cast<char>(next());
            }
            const TPath file = scratch / kind.Name;
            ASSERT_TRUE(WriteWholeFile(file, bytes));
            TPicture picture;
            std::string error;
            if (picture.LoadFromFile(file, &error)) {
                ++loaded;
                EXPECT_GT(picture.Width(), 0);
                EXPECT_GT(picture.Height(), 0);
                TCanvas canvas(64, 48);
                picture.Draw(canvas.Dc(), {0, 0, 64, 48});
            } else {
                ++refused;
                EXPECT_NE(error, "");
                EXPECT_TRUE(picture.Empty());
            }
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(loaded, 0);
    EXPECT_LT(GetTickCount() - start, 30000u);
}

}  // namespace
