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
#include "tests/bench/PhotoBench.h"

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 9;
    const int width = photobench::kWidth, height = photobench::kHeight;
    const std::string jpeg = photobench::PhotoJpeg();
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
        const double start = photobench::Now();
        if (!picture.LoadFromFile(file, &error)) {
            std::printf("load failed: %s\n", error.c_str());
            return 1;
        }
        const double loaded = photobench::Now();
        picture.Draw(dc, {0, 0, 500, 400});
        GdiFlush();
        const double drawn = photobench::Now();
        loads.push_back(loaded - start);
        draws.push_back(drawn - loaded);
        totals.push_back(drawn - start);
        std::printf("round %d: load %.1f ms, draw %.1f ms, total %.1f ms\n", round + 1, loads.back(), draws.back(),
                    totals.back());
    }
    std::printf("median: load %.1f ms, draw %.1f ms, total %.1f ms\n", photobench::Median(loads), photobench::Median(draws), photobench::Median(totals));

    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    DeleteFileW(file.c_str());
    return 0;
}
