// The container stream of embedded objects: header checks, the storage handed on whole,
// and lengths the file cannot back refused before anything is allocated.

#include <gtest/gtest.h>

#include "model/OleStream.h"
#include "tests/core/TempDir.h"

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
