#pragma once
// Shared by the benches of large photographs: a clock in milliseconds, a median, and a
// 3000 x 2500 JPEG of 4.8 MB that compresses like a camera's picture.

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/core/JpegTestUtil.h"

namespace photobench {

constexpr int kWidth = 3000;
constexpr int kHeight = 2500;

inline double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Smooth colour fields with grain: closer to a camera's JPEG than pure noise.
inline jpegtest::TRgb Photo(int x, int y, int width, int height) {
    uint32_t h = static_cast<uint32_t>(x) * 2654435761u ^ static_cast<uint32_t>(y) * 2246822519u;
    h ^= h >> 13;
    h *= 3266489917u;
    h ^= h >> 16;
    const int grain = static_cast<int>(h % 64) - 32;
    auto clamp = [](int v) { return std::min(255, std::max(0, v)); };
    return {clamp(x * 255 / width + grain), clamp(y * 255 / height + grain), clamp((x + y) % 256 + grain)};
}

// 4:2:0, quality 95.
inline std::string PhotoJpeg() {
    return jpegtest::EncodeJpeg({kWidth, kHeight, jpegtest::TLayout::Rgb, true, false, 95}, Photo);
}

}  // namespace photobench
