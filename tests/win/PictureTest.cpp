// Pictures of every kind a test may attach: natural size, drawing stretched into a target
// rectangle (read back pixel by pixel), and refusing damaged files without harm.

#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "platform/Picture.h"
#include "tests/core/JpegTestUtil.h"
#include "tests/win/WinTestUtil.h"

namespace {

using jpegtest::TRgb;

constexpr int kW = 40;
constexpr int kH = 30;

TRgb QuadrantColour(int index) {
    static const int kCorner[4][2] = {{0, 0}, {kW - 1, 0}, {0, kH - 1}, {kW - 1, kH - 1}};
    return jpegtest::Quadrants(kCorner[index][0], kCorner[index][1], kW, kH);
}

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

// The quadrants painted as four rectangles in logical units of a kW x kH area.
void PaintQuadrants(HDC dc, int width, int height) {
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

std::string MakeEmf(const TPath& scratch) {
    const TPath file = scratch / L"made.emf";
    HDC screen = GetDC(nullptr);
    // The frame is in 0.01 mm; the records are in pixels of the screen.
    const int mmX = GetDeviceCaps(screen, HORZSIZE) * 100, pxX = GetDeviceCaps(screen, HORZRES);
    const int mmY = GetDeviceCaps(screen, VERTSIZE) * 100, pxY = GetDeviceCaps(screen, VERTRES);
    ReleaseDC(nullptr, screen);
    const RECT frame = {0, 0, MulDiv(kW, 2540, 96), MulDiv(kH, 2540, 96)};
    HDC dc = CreateEnhMetaFileW(nullptr, file.c_str(), &frame, nullptr);
    EXPECT_NE(dc, nullptr);
    // Scale so that kW x kH logical units fill the frame whatever the screen's millimetres.
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowExtEx(dc, kW, kH, nullptr);
    SetViewportExtEx(dc, MulDiv(frame.right, pxX, mmX), MulDiv(frame.bottom, pxY, mmY), nullptr);
    PaintQuadrants(dc, kW, kH);
    DeleteEnhMetaFile(CloseEnhMetaFile(dc));
    return ReadWholeFile(file);
}

// A metafile in logical units of `width` x `height`; with `withExtent` it says so itself.
std::string MakePlainWmf(int width, int height, bool withExtent) {
    HDC dc = CreateMetaFileW(nullptr);
    if (withExtent) {
        SetWindowOrgEx(dc, 0, 0, nullptr);
        SetWindowExtEx(dc, width, height, nullptr);
    }
    PaintQuadrants(dc, width, height);
    HMETAFILE metafile = CloseMetaFile(dc);
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

::testing::AssertionResult Near(const TRgb& got, const TRgb& want, int tolerance) {
    if (std::abs(got.R - want.R) <= tolerance && std::abs(got.G - want.G) <= tolerance &&
        std::abs(got.B - want.B) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << got.R << "," << got.G << "," << got.B << " want " << want.R
                                         << "," << want.G << "," << want.B;
}

const TRgb kWhite = {255, 255, 255};

// Draws the picture into `target` on a canvas with a margin, and checks that every quadrant
// shows its colour near its corner of the target and in its middle, and that nothing was
// drawn outside.
void ExpectQuadrantsIn(const TPicture& picture, const RECT& target, int tolerance) {
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

struct TPictureCase {
    const char* Name;
    const wchar_t* FileName;
    std::function<std::string(const TPath& scratch)> Make;
    int Width, Height;
    int Tolerance;
};

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
    TImage image_;
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
