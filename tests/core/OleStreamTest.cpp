// The container stream of embedded objects: header checks, the storage handed on whole,
// lengths the file cannot back refused before anything is allocated, and storages whose
// chains or directory links would send the platform round in circles refused.

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "model/OleStream.h"
#include "tests/core/TempDir.h"
#include "tools/OleBuilder.h"

namespace {

std::string Header(const char* signature, uint32_t aspect, uint32_t size) {
    std::string h(signature, 4);
    for (uint32_t v : {aspect, size}) {
        for (int i = 0; i < 4; ++i) h += static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    return h;
}

struct TStreamCase {
    const char* Name;
    std::string Bytes;
    bool Ok;
    const char* Error;  // when not Ok
    uint32_t Aspect;    // when Ok
    std::string Storage;
};

const TStreamCase kCases[] = {
    {"plain", Header("BDOC", 1, 5) + "abcde", true, "", 1, "abcde"},
    {"aspect kept as stored", Header("BDOC", 0x12345678, 2) + "xy", true, "", 0x12345678, "xy"},
    {"bytes after the storage ignored", Header("BDOC", 4, 2) + "xyTAIL", true, "", 4, "xy"},
    {"empty storage", Header("BDOC", 1, 0), true, "", 1, ""},
    {"storage with zero bytes", Header("BDOC", 1, 3) + std::string("\0\1\0", 3), true, "", 1, std::string("\0\1\0", 3)},
    {"wrong signature", Header("BDOX", 1, 5) + "abcde", false, "Invalid stream format", 0, ""},
    {"lower-case signature", Header("bdoc", 1, 0), false, "Invalid stream format", 0, ""},
    {"compound file without the header", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(8, '\0'),
     false, "Invalid stream format", 0, ""},
    {"short header", Header("BDOC", 1, 0).substr(0, 11), false, "Stream read error", 0, ""},
    {"empty file", "", false, "Stream read error", 0, ""},
    {"storage one byte short", Header("BDOC", 1, 6) + "abcde", false, "Stream read error", 0, ""},
    {"size near 4 GB", Header("BDOC", 1, 0xFFFFFFFF) + "abc", false, "Stream read error", 0, ""},
};

TEST(OleStream, ParsesTheHeaderAndHandsOnTheStorage) {
    for (const TStreamCase& c : kCases) {
        TOleStream stream;
        std::string error;
        EXPECT_EQ(ParseOleStream(c.Bytes, stream, error), c.Ok) << c.Name;
        if (c.Ok) {
            EXPECT_EQ(stream.Aspect, c.Aspect) << c.Name;
            EXPECT_EQ(stream.Storage, c.Storage) << c.Name;
        } else {
            EXPECT_EQ(error, c.Error) << c.Name;
            EXPECT_EQ(stream.Storage, "") << c.Name;
        }
    }
}

TEST(OleStream, ReadsFilesTheSameWay) {
    TTempDir dir;
    for (const TStreamCase& c : kCases) {
        const TPath file = dir / "object.ole";
        WriteFileBytes(file, c.Bytes);
        TOleStream stream;
        std::string error;
        EXPECT_EQ(ReadOleStream(file, stream, error), c.Ok) << c.Name;
        if (c.Ok) {
            EXPECT_EQ(stream.Aspect, c.Aspect) << c.Name;
            EXPECT_EQ(stream.Storage, c.Storage) << c.Name;
        } else {
            EXPECT_EQ(error, c.Error) << c.Name;
        }
    }
    TOleStream stream;
    std::string error;
    EXPECT_FALSE(ReadOleStream(dir / "missing.ole", stream, error));
    EXPECT_NE(error, "");
}

TEST(OleStream, MadeStreamsParseBack) {
    const std::string storage(70000, '\x5A');
    const std::string bytes = MakeOleStream(1, storage);
    EXPECT_EQ(bytes.substr(0, 12), Header("BDOC", 1, 70000));
    TOleStream stream;
    std::string error;
    ASSERT_TRUE(ParseOleStream(bytes, stream, error)) << error;
    EXPECT_EQ(stream.Storage, storage);
}

}  // namespace

namespace {

uint32_t Get32(const std::string& b, size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8 |
                                 static_cast<uint8_t>(b[at + 2]) << 16 |
                                 static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24);
}
void Put32(std::string& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
size_t SectorAt(uint32_t sector) { return (size_t{sector} + 1) * 512; }
// Where the allocation table keeps the successor of `sector` (tables within the header's list).
size_t FatSlot(const std::string& b, uint32_t sector) { return SectorAt(Get32(b, 76 + 4 * (sector / 128))) + 4 * (sector % 128); }
size_t DirEntry(const std::string& b, uint32_t id) { return SectorAt(Get32(b, 48)) + 128 * id; }

// The presentation stream of the tool's objects: the largest stream, alone in the mini
// stream's last sectors, found by its header.
size_t PresentationAt(const std::string& b) {
    const std::string header("\xFF\xFF\xFF\xFF\x08\0\0\0\x04\0\0\0", 12);
    const size_t at = b.find(header);
    if (at == std::string::npos) throw std::runtime_error("no presentation");
    return at;
}

struct TDamage {
    const char* Name;
    std::function<void(std::string&)> Apply;
    bool Ok;
};

TEST(CompoundFileCheck, ChainsAndTreeLinksThatNeverEndAreRefused) {
    const std::string small = BuildPictureObjectStorage([] {
        TRawImage image;
        image.Width = 40;
        image.Height = 30;
        image.Bgra.assign(40 * 30 * 4, '\x80');
        return image;
    }());
    // A big stream in ordinary sectors, and more tables than the header can list.
    const std::string big = BuildCompoundFile(kPictureObjectClsid, {{u"Big", std::string(8u << 20, 'b')}, {u"s", "s"}});
    const TDamage kSmall[] = {
        {"as written", [](std::string&) {}, true},
        {"a last sector cut short", [](std::string& b) { b.resize(b.size() - 100); }, true},
        {"not a compound file", [](std::string& b) { b[0] = 'X'; }, false},
        {"odd sector size", [](std::string& b) { b[30] = 10; }, false},
        {"no allocation table", [](std::string& b) { Put32(b, 44, 0); }, false},
        {"allocation table outside the file", [](std::string& b) { Put32(b, 76, 100000); }, false},
        {"directory chain in a circle", [](std::string& b) { Put32(b, FatSlot(b, Get32(b, 48)), Get32(b, 48)); }, false},
        {"directory chain past the end", [](std::string& b) { Put32(b, FatSlot(b, Get32(b, 48)), 5000); }, false},
        {"mini table chain in a circle", [](std::string& b) { Put32(b, FatSlot(b, Get32(b, 60)), Get32(b, 60)); }, false},
        {"mini stream chains in a circle",
         [](std::string& b) {
             for (size_t i = 0; i < 128; ++i) Put32(b, SectorAt(Get32(b, 60)) + 4 * i, 0);
         },
         false},
        {"mini sector past the mini stream", [](std::string& b) { Put32(b, DirEntry(b, 1) + 116, 10000); }, false},
        {"root's child is the root", [](std::string& b) { Put32(b, DirEntry(b, 0) + 76, 0); }, false},
        {"a sibling names itself", [](std::string& b) {
             const uint32_t top = Get32(b, DirEntry(b, 0) + 76);
             Put32(b, DirEntry(b, top) + 68, top);
         }, false},
        {"a sibling past the directory", [](std::string& b) { Put32(b, DirEntry(b, 1) + 72, 4000); }, false},
        {"root is not a root", [](std::string& b) { b[DirEntry(b, 0) + 66] = 1; }, false},
        {"cut to the header", [](std::string& b) { b.resize(512); }, false},
    };
    const TDamage kPresentation[] = {
        {"picture size past the stream", [](std::string& b) { Put32(b, PresentationAt(b) + 36, 5000); }, false},
        {"picture missing rows", [](std::string& b) { Put32(b, PresentationAt(b) + 40 + 8, 31); }, false},
        {"picture with a colour table it lacks", [](std::string& b) { Put32(b, PresentationAt(b) + 40 + 32, 200); }, false},
        {"no target device size", [](std::string& b) { Put32(b, PresentationAt(b) + 8, 0); }, false},
    };
    for (const TDamage& d : kPresentation) {
        std::string storage = small;
        d.Apply(storage);
        std::string error;
        EXPECT_EQ(CheckCompoundFile(storage, error), d.Ok) << d.Name << ": " << error;
    }
    for (const TDamage& d : kSmall) {
        std::string storage = small;
        d.Apply(storage);
        std::string error;
        EXPECT_EQ(CheckCompoundFile(storage, error), d.Ok) << d.Name << ": " << error;
        if (!d.Ok) {
            EXPECT_NE(error, "") << d.Name;
        }
    }
    const TDamage kBig[] = {
        {"as written", [](std::string&) {}, true},
        {"big stream chain in a circle",
         [](std::string& b) {
             const uint32_t start = Get32(b, DirEntry(b, 1) + 116) == 0xFFFFFFFE ? Get32(b, DirEntry(b, 2) + 116)
                                                                                  : Get32(b, DirEntry(b, 1) + 116);
             Put32(b, FatSlot(b, start + 5), start);
         },
         false},
        {"table extension in a circle", [](std::string& b) {
             const uint32_t difat = Get32(b, 68);
             Put32(b, SectorAt(difat) + 4 * 127, difat);
             Put32(b, 44, Get32(b, 44) + 200);
         }, false},
        {"table extension past the end", [](std::string& b) { Put32(b, 68, 1u << 30); }, false},
        {"cut in half", [](std::string& b) { b.resize(b.size() / 2); }, false},
    };
    for (const TDamage& d : kBig) {
        std::string storage = big;
        d.Apply(storage);
        std::string error;
        EXPECT_EQ(CheckCompoundFile(storage, error), d.Ok) << d.Name << ": " << error;
    }
}

}  // namespace
