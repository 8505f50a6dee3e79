#include "tools/MediaFixtures.h"

#include <cmath>

namespace {

void PutLE(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void PutBE(std::string& out, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void PatchLE(std::string& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Opens a RIFF chunk or list and returns where its size goes; CloseChunk fills it in.
size_t OpenChunk(std::string& out, const char* id, const char* listType = nullptr) {
    out.append(id, 4);
    const size_t at = out.size();
    PutLE(out, 0, 4);
    if (listType != nullptr) out.append(listType, 4);
    return at;
}

void CloseChunk(std::string& out, size_t sizeAt) {
    PatchLE(out, sizeAt, static_cast<uint32_t>(out.size() - sizeAt - 4));
    if (out.size() % 2 != 0) out.push_back('\0');
}

// MIDI's variable-length quantity: seven bits a byte, high bit set on all but the last.
void PutVarLen(std::string& out, uint32_t value) {
    uint8_t bytes[5];
    int n = 0;
    do {
        bytes[n++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n > 0) {
        --n;
        out.push_back(static_cast<char>(bytes[n] | (n > 0 ? 0x80 : 0)));
    }
}

}  // namespace

std::string MakeWav(uint32_t milliseconds, uint32_t frequency) {
    const uint32_t samples = static_cast<uint32_t>(uint64_t{milliseconds} * kWavSampleRate / 1000);
    std::string out;
    const size_t riff = OpenChunk(out, "RIFF", "WAVE");
    const size_t fmt = OpenChunk(out, "fmt ");
    PutLE(out, 1, 2);  // PCM
    PutLE(out, 1, 2);  // mono
    PutLE(out, kWavSampleRate, 4);
    PutLE(out, kWavSampleRate * 2, 4);
    PutLE(out, 2, 2);
    PutLE(out, 16, 2);
    CloseChunk(out, fmt);
    const size_t data = OpenChunk(out, "data");
    const double step = 2 * 3.14159265358979323846 * frequency / kWavSampleRate;
    for (uint32_t i = 0; i < samples; ++i) {
        const auto sample = static_cast<int16_t>(std::lround(8000 * std::sin(step * i)));
        PutLE(out, static_cast<uint16_t>(sample), 2);
    }
    CloseChunk(out, data);
    CloseChunk(out, riff);
    return out;
}

std::string MakeAvi(int32_t width, int32_t height, uint32_t frames, uint32_t framesPerSecond) {
    if (width < 1) width = 1;
    if (height < 1) height = 1;
    if (framesPerSecond == 0) framesPerSecond = 1;
    const uint32_t frameBytes = static_cast<uint32_t>(width) * static_cast<uint32_t>(height) * 4;
    std::string out;
    const size_t riff = OpenChunk(out, "RIFF", "AVI ");
    const size_t hdrl = OpenChunk(out, "LIST", "hdrl");
    const size_t avih = OpenChunk(out, "avih");
    PutLE(out, 1000000 / framesPerSecond, 4);
    PutLE(out, frameBytes * framesPerSecond, 4);
    PutLE(out, 0, 4);
    PutLE(out, 0x10, 4);  // AVIF_HASINDEX
    PutLE(out, frames, 4);
    PutLE(out, 0, 4);
    PutLE(out, 1, 4);  // streams
    PutLE(out, frameBytes, 4);
    PutLE(out, static_cast<uint32_t>(width), 4);
    PutLE(out, static_cast<uint32_t>(height), 4);
    for (int i = 0; i < 4; ++i) PutLE(out, 0, 4);
    CloseChunk(out, avih);
    const size_t strl = OpenChunk(out, "LIST", "strl");
    const size_t strh = OpenChunk(out, "strh");
    out.append("vids", 4);
    out.append("DIB ", 4);
    PutLE(out, 0, 4);  // flags
    PutLE(out, 0, 4);  // priority, language
    PutLE(out, 0, 4);  // initial frames
    PutLE(out, 1, 4);  // scale
    PutLE(out, framesPerSecond, 4);
    PutLE(out, 0, 4);  // start
    PutLE(out, frames, 4);
    PutLE(out, frameBytes, 4);
    PutLE(out, 0xFFFFFFFF, 4);  // quality: default
    PutLE(out, 0, 4);           // sample size: varies
    PutLE(out, 0, 2);
    PutLE(out, 0, 2);
    PutLE(out, static_cast<uint32_t>(width), 2);
    PutLE(out, static_cast<uint32_t>(height), 2);
    CloseChunk(out, strh);
    const size_t strf = OpenChunk(out, "strf");
    PutLE(out, 40, 4);
    PutLE(out, static_cast<uint32_t>(width), 4);
    PutLE(out, static_cast<uint32_t>(height), 4);  // positive: bottom-up rows
    PutLE(out, 1, 2);
    PutLE(out, 32, 2);
    PutLE(out, 0, 4);  // BI_RGB
    PutLE(out, frameBytes, 4);
    PutLE(out, 2835, 4);
    PutLE(out, 2835, 4);
    PutLE(out, 0, 4);
    PutLE(out, 0, 4);
    CloseChunk(out, strf);
    CloseChunk(out, strl);
    CloseChunk(out, hdrl);

    const size_t movi = OpenChunk(out, "LIST", "movi");
    const size_t moviStart = movi + 4;  // index offsets count from the list type
    std::string index;
    for (uint32_t f = 0; f < frames; ++f) {
        const size_t chunk = OpenChunk(out, "00db");
        index.append("00db", 4);
        PutLE(index, 0x10, 4);  // AVIIF_KEYFRAME
        PutLE(index, static_cast<uint32_t>(chunk - 4 - moviStart), 4);
        PutLE(index, frameBytes, 4);
        const uint8_t blue = static_cast<uint8_t>(40 + 50 * (f % 4)), green = static_cast<uint8_t>(60 * (f % 3));
        const int32_t bar = static_cast<int32_t>(f % static_cast<uint32_t>(width));
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                const bool white = x == bar;
                out.push_back(static_cast<char>(white ? 255 : blue));
                out.push_back(static_cast<char>(white ? 255 : green));
                out.push_back(static_cast<char>(white ? 255 : 160));
                out.push_back('\0');
            }
        }
        CloseChunk(out, chunk);
    }
    CloseChunk(out, movi);
    const size_t idx1 = OpenChunk(out, "idx1");
    out += index;
    CloseChunk(out, idx1);
    CloseChunk(out, riff);
    return out;
}

std::string MakeMidi(uint32_t milliseconds) {
    std::string track;
    // 500000 us a quarter note over 500 ticks a quarter: one tick per millisecond.
    PutVarLen(track, 0);
    track += "\xFF\x51\x03";
    PutBE(track, 500000, 3);
    PutVarLen(track, 0);
    track += "\x90\x3C\x64";  // note on, middle C
    PutVarLen(track, milliseconds);
    track += "\x80\x3C";
    track.push_back('\0');
    PutVarLen(track, 0);
    track += "\xFF\x2F";
    track.push_back('\0');

    std::string out = "MThd";
    PutBE(out, 6, 4);
    PutBE(out, 0, 2);  // one track
    PutBE(out, 1, 2);
    PutBE(out, 500, 2);
    out += "MTrk";
    PutBE(out, static_cast<uint32_t>(track.size()), 4);
    out += track;
    return out;
}
