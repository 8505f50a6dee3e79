// The writer of embedded objects: its compound files are read back by an independent little
// reader that checks the structure a storage implementation relies on (sector chains, the
// allocation tables, the mini stream, the ordered red-black directory tree), and its picture
// objects carry the streams and presentation OLE loads.

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "model/OleStream.h"
#include "tests/core/JpegTestUtil.h"
#include "tests/core/TempDir.h"
#include "tools/OleBuilder.h"

namespace {

constexpr uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFatSect = 0xFFFFFFFD, kDifSect = 0xFFFFFFFC;

uint32_t Le16(const std::string& b, size_t at) {
    return static_cast<uint8_t>(b.at(at)) | static_cast<uint32_t>(static_cast<uint8_t>(b.at(at + 1))) << 8;
}
uint32_t Le32(const std::string& b, size_t at) { return Le16(b, at) | Le16(b, at + 2) << 16; }

struct TEntry {
    std::u16string Name;
    uint8_t Type = 0, Colour = 0;
    uint32_t Left = 0, Right = 0, Child = 0, Start = 0, Size = 0;
    std::string Clsid;
};

struct TCompoundFile {
    std::vector<TEntry> Entries;
    std::map<std::u16string, std::string> Streams;
    uint32_t DifatSectors = 0;
};

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }
bool NameLess(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return a.size() < b.size();
    for (size_t i = 0; i < a.size(); ++i) {
        if (Upper(a[i]) != Upper(b[i])) return Upper(a[i]) < Upper(b[i]);
    }
    return false;
}

class TReader {
public:
    explicit TReader(const std::string& bytes) : b_(bytes) {}

    // Empty when the file is sound, else the first problem found.
    std::string Read(TCompoundFile& out) {
        if (b_.size() < 1024 || b_.size() % 512 != 0) return "size is not whole sectors";
        if (b_.compare(0, 8, std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) != 0) return "signature";
        if (Le16(b_, 24) != 0x3E || Le16(b_, 26) != 3 || Le16(b_, 28) != 0xFFFE) return "versions or byte order";
        if (Le16(b_, 30) != 9 || Le16(b_, 32) != 6 || Le32(b_, 40) != 0 || Le32(b_, 56) != 4096) return "geometry";
        sectors_ = static_cast<uint32_t>(b_.size() / 512 - 1);
        used_.assign(sectors_, false);

        const uint32_t fatCount = Le32(b_, 44);
        std::vector<uint32_t> fatSectors;
        for (uint32_t k = 0; k < 109 && k < fatCount; ++k) fatSectors.push_back(Le32(b_, 76 + 4 * k));
        for (uint32_t k = fatCount; k < 109; ++k) {
            if (Le32(b_, 76 + 4 * k) != kFree) return "unused header DIFAT entry not free";
        }
        out.DifatSectors = Le32(b_, 72);
        std::vector<uint32_t> difatSectors;
        uint32_t next = Le32(b_, 68);
        for (uint32_t k = 0; k < out.DifatSectors; ++k) {
            if (next >= sectors_) return "DIFAT chain leaves the file";
            difatSectors.push_back(next);
            for (uint32_t i = 0; i < 127 && fatSectors.size() < fatCount; ++i) fatSectors.push_back(Sector32(next, i));
            next = Sector32(next, 127);
        }
        if (next != kEnd) return "DIFAT chain does not end";
        if (fatSectors.size() != fatCount) return "FAT sectors missing";
        for (uint32_t s : fatSectors) {
            if (s >= sectors_) return "FAT sector outside the file";
            for (uint32_t i = 0; i < 128; ++i) fat_.push_back(Sector32(s, i));
        }
        if (fat_.size() < sectors_) return "FAT shorter than the file";
        for (size_t i = sectors_; i < fat_.size(); ++i) {
            if (fat_[i] != kFree) return "FAT names sectors past the end";
        }
        for (uint32_t s : fatSectors) {
            if (fat_[s] != kFatSect || used_[s]) return "FAT sector not marked";
            used_[s] = true;
        }
        for (uint32_t s : difatSectors) {
            if (fat_[s] != kDifSect || used_[s]) return "DIFAT sector not marked";
            used_[s] = true;
        }

        std::string directory, problem;
        if (!(problem = Chain(Le32(b_, 48), directory)).empty()) return "directory: " + problem;
        for (size_t at = 0; at + 128 <= directory.size(); at += 128) {
            TEntry e;
            const uint32_t nameBytes = Le16(directory, at + 64);
            if (nameBytes > 64 || nameBytes % 2 != 0) return "name length";
            for (uint32_t i = 0; i + 2 < nameBytes; i += 2) e.Name += static_cast<char16_t>(Le16(directory, at + i));
            e.Type = static_cast<uint8_t>(directory[at + 66]);
            e.Colour = static_cast<uint8_t>(directory[at + 67]);
            e.Left = Le32(directory, at + 68);
            e.Right = Le32(directory, at + 72);
            e.Child = Le32(directory, at + 76);
            e.Clsid = directory.substr(at + 80, 16);
            e.Start = Le32(directory, at + 116);
            e.Size = Le32(directory, at + 120);
            if (Le32(directory, at + 124) != 0) return "size high part";
            out.Entries.push_back(e);
        }
        if (out.Entries.empty() || out.Entries[0].Type != 5 || out.Entries[0].Name != u"Root Entry") return "root entry";

        std::string miniFatBytes;
        if (Le32(b_, 64) > 0 && !(problem = Chain(Le32(b_, 60), miniFatBytes)).empty()) return "mini FAT: " + problem;
        if (miniFatBytes.size() != size_t{Le32(b_, 64)} * 512) return "mini FAT sector count";
        for (size_t i = 0; i < miniFatBytes.size(); i += 4) miniFat_.push_back(Le32(miniFatBytes, i));
        const TEntry& root = out.Entries[0];
        if (root.Size > 0 && !(problem = Chain(root.Start, mini_)).empty()) return "mini stream: " + problem;
        if (mini_.size() < root.Size) return "mini stream shorter than the root says";
        miniUsed_.assign(mini_.size() / 64, false);

        std::set<uint32_t> seen;
        int blackHeight = -1;
        std::vector<std::u16string> order;
        if (!(problem = Walk(out.Entries, root.Child, seen, 0, false, blackHeight, order)).empty()) return problem;
        for (size_t i = 1; i < order.size(); ++i) {
            if (!NameLess(order[i - 1], order[i])) return "siblings out of order";
        }
        for (uint32_t id = 1; id < out.Entries.size(); ++id) {
            const TEntry& e = out.Entries[id];
            if (e.Type == 0) {
                if (seen.count(id)) return "unused entry in the tree";
                continue;
            }
            if (e.Type != 2) return "unexpected entry type";
            if (!seen.count(id)) return "stream outside the tree";
            std::string data;
            if (e.Size < 4096) {
                if (e.Size > 0 && !(problem = MiniChain(e.Start, data)).empty()) return "mini chain: " + problem;
                if (data.size() != (e.Size + 63) / 64 * 64) return "mini chain length";
            } else {
                if (!(problem = Chain(e.Start, data)).empty()) return "chain: " + problem;
                if (data.size() != (e.Size + 511) / 512 * 512) return "chain length";
            }
            out.Streams[e.Name] = data.substr(0, e.Size);
        }
        for (uint32_t s = 0; s < sectors_; ++s) {
            if (fat_[s] != kFree && !used_[s]) return "allocated sector that nothing uses";
        }
        return "";
    }

private:
    uint32_t Sector32(uint32_t sector, uint32_t index) const { return Le32(b_, (size_t{sector} + 1) * 512 + 4 * index); }

    // Follows a chain, claiming its sectors; a sector claimed twice means a loop or a shared sector.
    std::string Chain(uint32_t s, std::string& data) {
        while (s != kEnd) {
            if (s >= sectors_) return "sector outside the file";
            if (used_[s]) return "sector used twice";
            used_[s] = true;
            data += b_.substr((size_t{s} + 1) * 512, 512);
            s = fat_[s];
        }
        return "";
    }
    std::string MiniChain(uint32_t s, std::string& data) {
        while (s != kEnd) {
            if (s >= miniFat_.size() || s >= miniUsed_.size()) return "mini sector outside the mini stream";
            if (miniUsed_[s]) return "mini sector used twice";
            miniUsed_[s] = true;
            data += mini_.substr(size_t{s} * 64, 64);
            s = miniFat_[s];
        }
        return "";
    }
    std::string Walk(const std::vector<TEntry>& entries, uint32_t id, std::set<uint32_t>& seen, int blacks,
                     bool parentRed, int& blackHeight, std::vector<std::u16string>& order) {
        if (id == kFree) {
            if (blackHeight < 0) blackHeight = blacks;
            return blackHeight == blacks ? "" : "black heights differ";
        }
        if (id >= entries.size() || !seen.insert(id).second) return "tree link broken";
        const TEntry& e = entries[id];
        const bool red = e.Colour == 0;
        if (red && parentRed) return "red node under a red node";
        std::string problem = Walk(entries, e.Left, seen, blacks + (red ? 0 : 1), red, blackHeight, order);
        if (!problem.empty()) return problem;
        order.push_back(e.Name);
        return Walk(entries, e.Right, seen, blacks + (red ? 0 : 1), red, blackHeight, order);
    }

    const std::string& b_;
    uint32_t sectors_ = 0;
    std::vector<uint32_t> fat_, miniFat_;
    std::vector<bool> used_, miniUsed_;
    std::string mini_;
};

std::string Filler(size_t size, int seed) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 31 + static_cast<size_t>(seed) * 7 + i / 251) & 0xFF);
    return s;
}

struct TLayoutCase {
    const char* Name;
    std::vector<TCompoundStream> Streams;
    bool NeedsDifat;
};

std::vector<TLayoutCase> LayoutCases() {
    std::vector<TLayoutCase> cases;
    cases.push_back({"no streams", {}, false});
    cases.push_back({"one empty stream", {{u"E", ""}}, false});
    std::vector<TCompoundStream> edges;
    int seed = 0;
    for (size_t size : {1u, 63u, 64u, 65u, 4095u, 4096u, 4097u, 100000u}) {
        edges.push_back({u"S" + std::u16string(1, static_cast<char16_t>(u'a' + seed)), Filler(size, seed)});
        ++seed;
    }
    cases.push_back({"sizes around the sector and the cut-off", edges, false});
    std::vector<TCompoundStream> names;
    const char16_t* kNames[] = {u"\u0001Ole", u"\u0001CompObj", u"\u0002OlePres000", u"\u0003ObjInfo", u"b", u"A",
                                u"abc", u"ABD", u"Contents", u"x123456789012345678901234567890"};
    for (const char16_t* name : kNames) names.push_back({name, Filler(10 + names.size() * 300, seed++)});
    cases.push_back({"ten names in a tree", names, false});
    // More than 109 allocation-table sectors: the table needs its extension sectors.
    cases.push_back({"eight megabytes", {{u"Big", Filler(8u << 20, 1)}, {u"small", "s"}}, true});
    return cases;
}

TEST(CompoundFile, WrittenFilesReadBackWhole) {
    for (const TLayoutCase& c : LayoutCases()) {
        const std::string file = BuildCompoundFile(kPictureObjectClsid, c.Streams);
        TCompoundFile read;
        EXPECT_EQ(TReader(file).Read(read), "") << c.Name;
        EXPECT_EQ(read.Entries.at(0).Clsid,
                  std::string(reinterpret_cast<const char*>(kPictureObjectClsid.data()), 16))
            << c.Name;
        EXPECT_EQ(read.DifatSectors > 0, c.NeedsDifat) << c.Name;
        ASSERT_EQ(read.Streams.size(), c.Streams.size()) << c.Name;
        for (const TCompoundStream& s : c.Streams) {
            EXPECT_TRUE(read.Streams.count(s.Name) && read.Streams[s.Name] == s.Data) << c.Name << " " << s.Data.size();
        }
    }
}

TEST(CompoundFile, NamesThatDoNotFitAreRefused) {
    EXPECT_THROW(BuildCompoundFile(kPictureObjectClsid, {{std::u16string(32, u'n'), "x"}}), std::invalid_argument);
    EXPECT_THROW(BuildCompoundFile(kPictureObjectClsid, {{u"", "x"}}), std::invalid_argument);
}

TEST(CompoundFile, HimetricFromPixelsRoundsHalvesToEven) {
    // 12 px = 317.5 and 36 px = 952.5 hundredths of a millimetre.
    const int cases[][2] = {{0, 0}, {1, 26}, {12, 318}, {36, 952}, {40, 1058}, {96, 2540}, {1000, 26458}};
    for (const auto& c : cases) EXPECT_EQ(PixelsToHimetric(c[0]), c[1]) << c[0];
}

TRawImage SmallImage() {
    TRawImage image;
    image.Width = 3;
    image.Height = 2;
    for (int i = 0; i < 6; ++i) {
        for (uint8_t v : {static_cast<uint8_t>(10 * i + 1), static_cast<uint8_t>(10 * i + 2),
                          static_cast<uint8_t>(10 * i + 3), uint8_t{255}})
            image.Bgra.push_back(v);
    }
    return image;
}

TEST(PictureObject, StorageHoldsTheObjectStreamsAndADibPresentation) {
    const TRawImage image = SmallImage();
    TCompoundFile read;
    ASSERT_EQ(TReader(BuildPictureObjectStorage(image)).Read(read), "");
    ASSERT_EQ(read.Streams.size(), 3u);
    const std::string& ole = read.Streams[u"\u0001Ole"];
    ASSERT_EQ(ole.size(), 20u);
    EXPECT_EQ(Le32(ole, 0), 0x02000001u);
    const std::string& compObj = read.Streams[u"\u0001CompObj"];
    EXPECT_EQ(compObj.substr(12, 16), std::string(reinterpret_cast<const char*>(kPictureObjectClsid.data()), 16));

    const std::string& p = read.Streams[u"\u0002OlePres000"];
    ASSERT_GE(p.size(), 40u);
    const uint32_t want[] = {0xFFFFFFFF, 8, 4, 1, 0xFFFFFFFF};
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(Le32(p, 4 * i), want[i]) << i;
    EXPECT_EQ(Le32(p, 28), 79u);  // 3 px = 79.375 hundredths of a millimetre
    EXPECT_EQ(Le32(p, 32), 53u);  // 2 px = 52.9
    const std::string dib = p.substr(40);
    ASSERT_EQ(Le32(p, 36), dib.size());
    // 3 pixels of 3 bytes padded to 12 per row.
    ASSERT_EQ(dib.size(), 40u + 2 * 12);
    EXPECT_EQ(Le32(dib, 0), 40u);
    EXPECT_EQ(Le32(dib, 4), 3u);
    EXPECT_EQ(Le32(dib, 8), 2u);
    EXPECT_EQ(Le16(dib, 14), 24u);
    // Bottom-up: the file's first row is the image's last; blue, green, red.
    EXPECT_EQ(static_cast<uint8_t>(dib[40]), 31);
    EXPECT_EQ(static_cast<uint8_t>(dib[42]), 33);
    EXPECT_EQ(static_cast<uint8_t>(dib[40 + 12 + 6]), 21);
    EXPECT_EQ(dib.substr(40 + 9, 3), std::string(3, '\0'));
}

std::string Bmp(int width, int height, int bits, uint32_t compression, bool cut = false) {
    const int stride = (width * bits / 8 + 3) & ~3;
    std::string b = "BM";
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    auto put16 = [&](uint32_t v) {
        b += static_cast<char>(v & 0xFF);
        b += static_cast<char>(v >> 8);
    };
    const int rows = height < 0 ? -height : height;
    put32(static_cast<uint32_t>(54 + stride * rows));
    put32(0);
    put32(54);
    put32(40);
    put32(static_cast<uint32_t>(width));
    put32(static_cast<uint32_t>(height));
    put16(1);
    put16(static_cast<uint32_t>(bits));
    put32(compression);
    for (int i = 0; i < 5; ++i) put32(0);
    for (int y = 0; y < rows; ++y) {
        std::string row;
        for (int x = 0; x < width; ++x) {
            for (int k = 0; k < bits / 8; ++k) row += static_cast<char>(y * 100 + x * 10 + k);
        }
        row.resize(static_cast<size_t>(stride), '\0');
        b += row;
    }
    if (cut) b.resize(b.size() - 1);
    return b;
}

TEST(PictureObject, BmpFilesDecodeTopDown) {
    const struct {
        const char* Name;
        std::string Bytes;
        bool Ok;
        bool TopDown;
    } cases[] = {
        {"24-bit bottom-up, padded rows", Bmp(3, 2, 24, 0), true, false},
        {"32-bit top-down", Bmp(3, -2, 32, 0), true, true},
        {"32-bit with bit fields", Bmp(2, 2, 32, 3), true, false},
        {"8-bit", Bmp(4, 2, 8, 0), false, false},
        {"run-length coded", Bmp(4, 2, 24, 1), false, false},
        {"cut short", Bmp(3, 2, 24, 0, true), false, false},
        {"no width", Bmp(0, 2, 24, 0), false, false},
        {"not a BMP", "GIF89a and more bytes to make up the size of a header, more, more, more", false, false},
    };
    for (const auto& c : cases) {
        TRawImage image;
        std::string error;
        ASSERT_EQ(DecodeBmp(c.Bytes, image, error), c.Ok) << c.Name << ": " << error;
        if (!c.Ok) {
            EXPECT_NE(error, "") << c.Name;
            continue;
        }
        const int fileRowOfLast = c.TopDown ? image.Height - 1 : 0;
        // Pixel (1, last row) came from the file row holding the image's last row.
        const uint8_t* p = image.Bgra.data() + (static_cast<size_t>(image.Height - 1) * image.Width + 1) * 4;
        EXPECT_EQ(p[0], fileRowOfLast * 100 + 10) << c.Name;
        EXPECT_EQ(p[1], fileRowOfLast * 100 + 11) << c.Name;
        EXPECT_EQ(p[2], fileRowOfLast * 100 + 12) << c.Name;
        EXPECT_EQ(p[3], 255) << c.Name;
    }
}

TEST(PictureObject, FilesFromBmpAndJpegPicturesParseAsContainerStreams) {
    TTempDir dir;
    WriteFileBytes(dir / "p.bmp", Bmp(3, 2, 24, 0));
    WriteFileBytes(dir / "p.JPG", jpegtest::EncodeJpeg({16, 8, jpegtest::TLayout::Rgb, false, false, 90}, jpegtest::Quadrants));
    WriteFileBytes(dir / "p.png", Bmp(3, 2, 24, 0));
    const struct {
        const char* File;
        bool Ok;
        uint32_t Width;
    } cases[] = {{"p.bmp", true, 3}, {"p.JPG", true, 16}, {"p.png", false, 0}, {"missing.bmp", false, 0}};
    for (const auto& c : cases) {
        std::string bytes, error;
        ASSERT_EQ(MakePictureObjectFile(dir / c.File, bytes, error), c.Ok) << c.File << ": " << error;
        if (!c.Ok) {
            EXPECT_NE(error, "") << c.File;
            continue;
        }
        TOleStream stream;
        ASSERT_TRUE(ParseOleStream(bytes, stream, error)) << error;
        EXPECT_EQ(bytes.size(), kOleStreamHeaderSize + stream.Storage.size()) << c.File;
        EXPECT_EQ(stream.Aspect, kDrawAspectContent) << c.File;
        TCompoundFile read;
        ASSERT_EQ(TReader(stream.Storage).Read(read), "") << c.File;
        EXPECT_EQ(Le32(read.Streams[u"\u0002OlePres000"], 40 + 4), c.Width) << c.File;
    }
}

}  // namespace
