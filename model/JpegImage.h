#pragma once
// JPEG pictures of the questions, decoded to plain pixels on every system.

#include <cstdint>
#include <string>
#include <vector>

struct TRawImage {
    int32_t Width = 0;
    int32_t Height = 0;
    // Top-down rows, 4 bytes per pixel in B, G, R, A order (what a 32-bit DIB section takes).
    std::vector<uint8_t> Bgra;
};

// Pictures larger than this are refused before anything is allocated for them.
constexpr int32_t kMaxJpegSide = 16384;
constexpr int64_t kMaxJpegPixels = int64_t{64} * 1024 * 1024;

// False with a readable reason (and an empty image) for anything that is not a whole,
// sound JPEG of an acceptable size; never aborts the process.
bool DecodeJpeg(const std::string& bytes, TRawImage& image, std::string& error);
