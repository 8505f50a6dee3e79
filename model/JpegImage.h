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

// The same for a picture that is never drawn larger than drawWidth x drawHeight: decoded at the
// smallest of the scales 1, 1/2, 1/4, 1/8 that still covers that size (all of the data is read
// and checked at every scale). `natural` gets the picture's full size. A size of 0 or less
// asks for the full scale.
struct TJpegSize {
    int32_t Width = 0;
    int32_t Height = 0;
};
bool DecodeJpegForSize(const std::string& bytes, int32_t drawWidth, int32_t drawHeight, TRawImage& image,
                       TJpegSize& natural, std::string& error);
// The scale denominator (1, 2, 4 or 8) DecodeJpegForSize uses for a picture of the given size.
int32_t JpegScaleFor(int32_t width, int32_t height, int32_t drawWidth, int32_t drawHeight);
