// A large photograph attached to a question: the time from the file to the picture drawn
// scaled down into a view of 500 x 400, which is what showing the question waits for.
//
//   scripts/wine-run build/win64/bin/picture_bench.exe [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Picture.h"
#include "tests/core/JpegTestUtil.h"

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Smooth colour fields with grain, which a camera's JPEG resembles more than pure noise.
jpegtest::TRgb Photo(int x, int y, int width, int height) {
    uint32_t h = static_cast<uint32_t>(x) * 2654435761u ^ static_cast<uint32_t>(y) * 2246822519u;
    h ^= h >> 13;
    h *= 3266489917u;
    h ^= h >> 16;
    const int grain = static_cast<int>(h % 64) - 32;
    auto clamp = [](int v) { return std::min(255, std::max(0, v)); };
    return {clamp(x * 255 / width + grain), clamp(y * 255 / height + grain), clamp((x + y) % 256 + grain)};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 9;
    const int width = 3000, height = 2500;
    const std::string jpeg = jpegtest::EncodeJpeg({width, height, jpegtest::TLayout::Rgb, true, false, 95}, Photo);
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const TPath file = TPath(folder) / L"picture_bench.jpg";
    {
        TBinaryFile out;
        if (!out.Create(file) || !out.Write(jpeg.data(), jpeg.size())) {
            std::printf("cannot write %ls\n", file.c_str());
            return 1;
        }
    }
    std::printf("JPEG %dx%d, %.1f MB; drawn into 500x400\n", width, height, static_cast<double>(jpeg.size()) / 1e6);

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 500;
    info.bmiHeader.biHeight = -400;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    HDC dc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);

    std::vector<double> loads, draws, totals;
    for (int round = 0; round < rounds; ++round) {
        TPicture picture;
        std::string error;
        const double start = Now();
        if (!picture.LoadFromFile(file, &error)) {
            std::printf("load failed: %s\n", error.c_str());
            return 1;
        }
        const double loaded = Now();
        picture.Draw(dc, {0, 0, 500, 400});
        GdiFlush();
        const double drawn = Now();
        loads.push_back(loaded - start);
        draws.push_back(drawn - loaded);
        totals.push_back(drawn - start);
        std::printf("round %d: load %.1f ms, draw %.1f ms, total %.1f ms\n", round + 1, loads.back(), draws.back(),
                    totals.back());
    }
    std::printf("median: load %.1f ms, draw %.1f ms, total %.1f ms\n", Median(loads), Median(draws), Median(totals));

    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    DeleteFileW(file.c_str());
    return 0;
}
