// The checks that stand between a picture file and the platform's decoders: sound files of
// every layout pass, and files whose sizes, indexes, counts or offsets point outside
// themselves are refused (the platform would follow them out of the picture).

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>

#include "model/PictureCheck.h"
#include "tests/core/PictureTestData.h"

namespace {

using namespace picturedata;

const std::string kRle = std::string("\x04\x01\x00\x00\x02\x01\x00\x03\x07\x08\x09\x00\x00\x00\x00\x01", 16);

TEST(PictureCheck, BmpFiles) {
    const struct {
        const char* Name;
        std::string Bytes;
        bool Ok;
    } cases[] = {
        {"24-bit, rows padded", Bmp({4, 2, 24, 0, 0, "", std::string(2 * 12, 'x')}), true},
        {"24-bit top-down", Bmp({4, -2, 24, 0, 0, "", std::string(2 * 12, 'x')}), true},
        {"one row short", Bmp({4, 2, 24, 0, 0, "", std::string(12 + 11, 'x')}), false},
        {"8-bit with two colours", Bmp({4, 2, 8, 0, 2, std::string(8, 'c'), std::string(8, '\1')}), true},
        {"8-bit, full table implied", Bmp({4, 2, 8, 0, 0, std::string(1024, 'c'), std::string(8, '\1')}), true},
        {"8-bit, implied table missing", Bmp({4, 2, 8, 0, 0, std::string(8, 'c'), std::string(8, '\1')}), false},
        {"more colours than the pixels can name", Bmp({4, 2, 8, 0, 0x98000000, std::string(8, 'c'), std::string(8, '\1')}), false},
        {"16-bit with masks", Bmp({4, 2, 16, 3, 0, std::string(12, 'm'), std::string(16, 'p')}), true},
        {"run-length coded", Bmp({8, 2, 8, 1, 2, std::string(8, 'c'), kRle}), true},
        {"runs without an end", Bmp({8, 2, 8, 1, 2, std::string(8, 'c'), kRle.substr(0, 12)}), false},
        {"literal run past the end", Bmp({8, 2, 8, 1, 2, std::string(8, 'c'), std::string("\x00\x20\x01", 3)}), false},
        {"run-length coded top-down", Bmp({8, -2, 8, 1, 2, std::string(8, 'c'), kRle}), false},
        {"JPEG inside", Bmp({4, 2, 24, 4, 0, "", std::string(100, 'j')}), false},
        {"no width", Bmp({0, 2, 24, 0, 0, "", ""}), false},
        {"a billion pixels", Bmp({32000, 32000, 24, 0, 0, "", ""}), false},
        {"7 bits per pixel", Bmp({4, 2, 7, 0, 0, "", std::string(16, 'x')}), false},
        {"not a BMP", "GIF89a" + std::string(100, '\0'), false},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(CheckBitmapFile(c.Bytes, error), c.Ok) << c.Name << ": " << error;
        if (!c.Ok) {
            EXPECT_NE(error, "") << c.Name;
        }
    }
}

// EMR_STRETCHDIBITS with the DIB right after its 80 bytes.
std::string StretchDib(int width, int height, size_t pixelBytes) {
    const std::string dib = Dib(width, height, pixelBytes);
    return Record(81, {0, 0, 0, 0, 0, 0, 0, 0, static_cast<uint32_t>(width), static_cast<uint32_t>(height), 80, 40, 120,
                       static_cast<uint32_t>(pixelBytes), 0, 0xCC0020, 10, 10},
                  dib);
}

TEST(PictureCheck, EnhancedMetafiles) {
    const std::string brush = Record(39, {1, 0, 0x0000FF, 0});
    const std::string polygon = Record(3, {0, 0, 10, 10, 3, 0, 0, 10, 0, 0, 10});
    const struct {
        const char* Name;
        std::string Bytes;
        bool Ok;
    } cases[] = {
        {"brush, selection, polygon", Emf({brush, Record(37, {1}), polygon, Record(40, {1})}), true},
        {"a stock object selected", Emf({Record(37, {0x80000005})}), true},
        {"save and restore", Emf({Record(33, {}), Record(33, {}), Record(34, {0xFFFFFFFE})}), true},
        {"a bitmap with all its rows", Emf({StretchDib(4, 2, 24)}), true},
        {"object created past the table", Emf({Record(39, {2, 0, 0, 0})}), false},
        {"object 0 is the metafile's own", Emf({Record(39, {0, 0, 0, 0})}), false},
        {"selected past the table", Emf({brush, Record(37, {7})}), false},
        {"a stock object deleted", Emf({Record(40, {0x80000005})}), false},
        {"more points than the record holds", Emf({Record(3, {0, 0, 10, 10, 1000, 0, 0})}), false},
        {"polygon counts above the points", Emf({Record(8, {0, 0, 10, 10, 1, 2, 5, 0, 0, 1, 1})}), false},
        {"restore with nothing saved", Emf({Record(34, {0xFFFFFFFF})}), false},
        {"restore by a positive level", Emf({Record(33, {}), Record(34, {1})}), false},
        {"a bitmap missing a row", Emf({StretchDib(4, 2, 20)}), false},
        {"text past the record", Emf({Record(84, {0, 0, 0, 0, 1, 0, 0, 0, 0, 50, 76, 0, 0, 0, 0, 0, 0})}), false},
        {"record size past the file",
         [&] {
             std::string e = Emf({brush});
             Set32(e, 88 + 4, 4000);
             return e;
         }(),
         false},
        {"no end record",
         [&] {
             std::string e = Emf({brush}).substr(0, 88 + brush.size());
             Set32(e, 48, static_cast<uint32_t>(e.size()));
             return e;
         }(),
         false},
        {"size in the header past the file",
         [&] {
             std::string e = Emf({brush});
             Set32(e, 48, static_cast<uint32_t>(e.size() + 4));
             return e;
         }(),
         false},
        {"no object table", Emf({}, 0), false},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(CheckEnhancedMetafile(c.Bytes, error), c.Ok) << c.Name << ": " << error;
    }
}

TEST(PictureCheck, WindowsMetafiles) {
    const std::string brush = WmfRecord(0x02FC, {0, 0x00FF, 0, 0});
    const std::string dib = Dib(4, 2, 24);
    const struct {
        const char* Name;
        std::string Bytes;
        size_t Offset;
        bool Ok;
    } cases[] = {
        {"brush, selection, polygon", Wmf({brush, WmfRecord(0x012D, {0}), WmfRecord(0x0324, {2, 0, 0, 5, 5})}), 0, true},
        {"after a placeable header", std::string(22, 'h') + Wmf({brush}), 22, true},
        {"save and restore", Wmf({WmfRecord(0x001E, {}), WmfRecord(0x0127, {0xFFFF})}), 0, true},
        {"a bitmap with all its rows", Wmf({WmfRecord(0x0F43, {0x20, 0xCC, 0, 2, 4, 0, 0, 2, 4, 0, 0}, dib)}), 0, true},
        {"selected past the table", Wmf({brush, WmfRecord(0x012D, {1})}), 0, false},
        {"deleted with no table", Wmf({WmfRecord(0x01F0, {0})}, 0), 0, false},
        {"more points than the record holds", Wmf({WmfRecord(0x0324, {50, 0, 0})}), 0, false},
        {"polygon counts above the points", Wmf({WmfRecord(0x0538, {2, 3, 3, 0, 0, 1, 1, 2, 2})}), 0, false},
        {"restore with nothing saved", Wmf({WmfRecord(0x0127, {0xFFFF})}), 0, false},
        {"a bitmap missing a row",
         Wmf({WmfRecord(0x0F43, {0x20, 0xCC, 0, 2, 4, 0, 0, 2, 4, 0, 0}, Dib(4, 2, 22))}), 0, false},
        {"text past the record", Wmf({WmfRecord(0x0521, {40, 0x4141})}), 0, false},
        {"no end record", Wmf({brush}).substr(0, 18 + brush.size()), 0, false},
        {"record size past the file",
         [&] {
             std::string w = Wmf({brush});
             Set32(w, 18, 4000);
             return w;
         }(),
         0, false},
        {"not a metafile", std::string(40, 'x'), 0, false},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(CheckWindowsMetafile(c.Bytes, c.Offset, error), c.Ok) << c.Name << ": " << error;
    }
}

}  // namespace
