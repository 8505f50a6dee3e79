#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tools/MediaFixtures.h"

namespace {

uint32_t LE(const std::string& s, size_t at, int bytes = 4) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(s.at(at + i));
    return v;
}

uint32_t BE(const std::string& s, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | static_cast<uint8_t>(s.at(at + i));
    return v;
}

struct TChunk {
    std::string Id;
    size_t Data;  // offset of the chunk's data (after a list's type)
    uint32_t Size;
};

// The chunks of a RIFF body from `begin` to `end`, descending into lists; each list appears as
// "LIST:type". Fails the test when a chunk runs past its parent.
void Walk(const std::string& s, size_t begin, size_t end, std::vector<TChunk>& chunks) {
    size_t at = begin;
    while (at < end) {
        ASSERT_LE(at + 8, end);
        const std::string id = s.substr(at, 4);
        const uint32_t size = LE(s, at + 4);
        ASSERT_LE(at + 8 + size, end) << id;
        if (id == "LIST") {
            chunks.push_back({"LIST:" + s.substr(at + 8, 4), at + 12, size - 4});
            Walk(s, at + 12, at + 8 + size, chunks);
        } else {
            chunks.push_back({id, at + 8, size});
        }
        at += 8 + size + (size % 2);
    }
}

std::vector<TChunk> Riff(const std::string& s, const char* form) {
    EXPECT_EQ(s.substr(0, 4), "RIFF");
    EXPECT_EQ(s.substr(8, 4), form);
    EXPECT_EQ(LE(s, 4), s.size() - 8);
    std::vector<TChunk> chunks;
    Walk(s, 12, s.size(), chunks);
    return chunks;
}

const TChunk& Find(const std::vector<TChunk>& chunks, const std::string& id) {
    for (const TChunk& c : chunks) {
        if (c.Id == id) return c;
    }
    static const TChunk none{"", 0, 0};
    ADD_FAILURE() << "no chunk " << id;
    return none;
}

}  // namespace

TEST(MediaFixtures, WavHoldsPcmOfTheGivenLength) {
    for (uint32_t ms : {1u, 250u, 1001u}) {
        SCOPED_TRACE(ms);
        const std::string wav = MakeWav(ms);
        const auto chunks = Riff(wav, "WAVE");
        const TChunk& fmt = Find(chunks, "fmt ");
        ASSERT_EQ(fmt.Size, 16u);
        EXPECT_EQ(LE(wav, fmt.Data, 2), 1u);       // PCM
        EXPECT_EQ(LE(wav, fmt.Data + 2, 2), 1u);   // mono
        EXPECT_EQ(LE(wav, fmt.Data + 4), kWavSampleRate);
        EXPECT_EQ(LE(wav, fmt.Data + 8), kWavSampleRate * 2);
        EXPECT_EQ(LE(wav, fmt.Data + 14, 2), 16u);
        EXPECT_EQ(Find(chunks, "data").Size, ms * kWavSampleRate / 1000 * 2);
    }
    // A tone, not silence.
    const std::string wav = MakeWav(10);
    const TChunk data = Find(Riff(wav, "WAVE"), "data");
    EXPECT_NE(LE(wav, data.Data + 2, 2), 0u);
}

TEST(MediaFixtures, AviHasUncompressed32BitFramesAndAnIndexThatFindsThem) {
    struct TCase {
        int32_t width, height;
        uint32_t frames, fps;
    };
    for (const TCase& c : {TCase{160, 120, 3, 10}, TCase{7, 5, 1, 25}, TCase{64, 48, 12, 4}}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const std::string avi = MakeAvi(c.width, c.height, c.frames, c.fps);
        const auto chunks = Riff(avi, "AVI ");
        const TChunk& avih = Find(chunks, "avih");
        EXPECT_EQ(LE(avi, avih.Data), 1000000 / c.fps);
        EXPECT_EQ(LE(avi, avih.Data + 16), c.frames);
        EXPECT_EQ(LE(avi, avih.Data + 24), 1u);
        EXPECT_EQ(LE(avi, avih.Data + 32), static_cast<uint32_t>(c.width));
        EXPECT_EQ(LE(avi, avih.Data + 36), static_cast<uint32_t>(c.height));
        const TChunk& strh = Find(chunks, "strh");
        EXPECT_EQ(avi.substr(strh.Data, 4), "vids");
        EXPECT_EQ(LE(avi, strh.Data + 24), c.fps);
        EXPECT_EQ(LE(avi, strh.Data + 32), c.frames);
        const TChunk& strf = Find(chunks, "strf");
        EXPECT_EQ(LE(avi, strf.Data + 4), static_cast<uint32_t>(c.width));
        EXPECT_EQ(LE(avi, strf.Data + 8), static_cast<uint32_t>(c.height));  // positive: bottom-up
        EXPECT_EQ(LE(avi, strf.Data + 14, 2), 32u);
        EXPECT_EQ(LE(avi, strf.Data + 16), 0u);  // uncompressed

        const uint32_t frameBytes = static_cast<uint32_t>(c.width * c.height * 4);
        uint32_t frames = 0;
        for (const TChunk& chunk : chunks) {
            if (chunk.Id != "00db") continue;
            ++frames;
            EXPECT_EQ(chunk.Size, frameBytes);
        }
        EXPECT_EQ(frames, c.frames);
        const TChunk& movi = Find(chunks, "LIST:movi");
        const TChunk& idx1 = Find(chunks, "idx1");
        ASSERT_EQ(idx1.Size, 16 * c.frames);
        for (uint32_t f = 0; f < c.frames; ++f) {
            const size_t entry = idx1.Data + 16 * f;
            EXPECT_EQ(avi.substr(entry, 4), "00db");
            // Offsets count from the list type "movi".
            const size_t chunk = movi.Data - 4 + LE(avi, entry + 8);
            EXPECT_EQ(avi.substr(chunk, 4), "00db") << "frame " << f;
            EXPECT_EQ(LE(avi, chunk + 4), frameBytes);
            EXPECT_EQ(LE(avi, entry + 12), frameBytes);
        }
    }
}

TEST(MediaFixtures, MidiNoteLastsTheGivenTicks) {
    for (uint32_t ms : {1u, 127u, 128u, 1500u, 2000000u}) {
        SCOPED_TRACE(ms);
        const std::string mid = MakeMidi(ms);
        ASSERT_EQ(mid.substr(0, 4), "MThd");
        EXPECT_EQ(BE(mid, 4, 4), 6u);
        EXPECT_EQ(BE(mid, 8, 2), 0u);
        EXPECT_EQ(BE(mid, 10, 2), 1u);
        EXPECT_EQ(BE(mid, 12, 2), 500u);
        ASSERT_EQ(mid.substr(14, 4), "MTrk");
        ASSERT_EQ(BE(mid, 18, 4), mid.size() - 22);
        // Sum the delta times up to the end-of-track event.
        size_t at = 22;
        uint32_t ticks = 0;
        bool ended = false;
        while (at < mid.size() && !ended) {
            uint32_t delta = 0;
            uint8_t byte;
            do {
                byte = static_cast<uint8_t>(mid.at(at++));
                delta = (delta << 7) | (byte & 0x7F);
            } while (byte & 0x80);
            ticks += delta;
            const uint8_t status = static_cast<uint8_t>(mid.at(at));
            if (status == 0xFF) {
                ended = static_cast<uint8_t>(mid.at(at + 1)) == 0x2F;
                at += 3 + static_cast<uint8_t>(mid.at(at + 2));
            } else {
                at += 3;
            }
        }
        EXPECT_TRUE(ended);
        EXPECT_EQ(at, mid.size());
        EXPECT_EQ(ticks, ms);
    }
}
