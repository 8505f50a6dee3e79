#pragma once
// JPEG files made by libjpeg's own compressor for the decoder tests, in every colour
// layout the decoder has to turn into BGRA.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace jpegtest {

enum class TLayout { Rgb, Gray, Cmyk, Ycck };

struct TRgb {
    int R, G, B;
};

// Pixel colour as the test wants it shown; gray files carry only its green channel.
using TPattern = TRgb (*)(int x, int y, int width, int height);

struct TEncodeOptions {
    int Width = 8;
    int Height = 8;
    TLayout Layout = TLayout::Rgb;
    bool Subsampled = false;  // 4:2:0 chroma instead of 4:4:4
    bool Progressive = false;
    int Quality = 100;
};

inline std::string EncodeJpeg(const TEncodeOptions& o, TPattern pattern) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(o.Width);
    info.image_height = static_cast<JDIMENSION>(o.Height);
    const bool cmyk = o.Layout == TLayout::Cmyk || o.Layout == TLayout::Ycck;
    info.input_components = o.Layout == TLayout::Gray ? 1 : cmyk ? 4 : 3;
    info.in_color_space = o.Layout == TLayout::Gray ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    // CMYK files get Adobe's marker, so their samples are written inverted as Adobe does.
    if (o.Layout == TLayout::Ycck) jpeg_set_colorspace(&info, JCS_YCCK);
    jpeg_set_quality(&info, o.Quality, TRUE);
    if (!o.Subsampled) {
        for (int c = 0; c < info.num_components; ++c) {
            info.comp_info[c].h_samp_factor = 1;
            info.comp_info[c].v_samp_factor = 1;
        }
    }
    if (o.Progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(o.Width) * info.input_components);
    for (int y = 0; y < o.Height; ++y) {
        for (int x = 0; x < o.Width; ++x) {
            const TRgb c = pattern(x, y, o.Width, o.Height);
            JSAMPLE* p = &row[static_cast<size_t>(x) * info.input_components];
            if (o.Layout == TLayout::Gray) {
                p[0] = static_cast<JSAMPLE>(c.G);
            } else if (cmyk) {
                // Inverted CMYK: K holds the brightest channel, the inks scale up to it.
                const int k = std::max({c.R, c.G, c.B});
                p[0] = static_cast<JSAMPLE>(k ? c.R * 255 / k : 0);
                p[1] = static_cast<JSAMPLE>(k ? c.G * 255 / k : 0);
                p[2] = static_cast<JSAMPLE>(k ? c.B * 255 / k : 0);
                p[3] = static_cast<JSAMPLE>(k);
            } else {
                p[0] = static_cast<JSAMPLE>(c.R);
                p[1] = static_cast<JSAMPLE>(c.G);
                p[2] = static_cast<JSAMPLE>(c.B);
            }
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string out(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    return out;
}

// Four quadrants of distinct colours: a wrong channel order, a flip or a shifted row
// all show as a wrong colour somewhere.
inline TRgb Quadrants(int x, int y, int width, int height) {
    static const TRgb kColours[4] = {{200, 30, 40}, {30, 180, 60}, {40, 50, 220}, {120, 120, 120}};
    const int right = x >= (width + 1) / 2 ? 1 : 0;
    const int bottom = y >= (height + 1) / 2 ? 1 : 0;
    return kColours[bottom * 2 + right];
}

// Offset of the frame header (SOFn), whose height and width follow the precision byte.
inline size_t FrameHeader(const std::string& jpeg) {
    for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
        const auto m = static_cast<unsigned char>(jpeg[i + 1]);
        if (static_cast<unsigned char>(jpeg[i]) == 0xFF && (m == 0xC0 || m == 0xC1 || m == 0xC2)) return i;
    }
    throw std::runtime_error("no frame header");
}

inline std::string WithSize(std::string jpeg, unsigned width, unsigned height) {
    const size_t sof = FrameHeader(jpeg);
    jpeg[sof + 5] = static_cast<char>(height >> 8);
    jpeg[sof + 6] = static_cast<char>(height & 0xFF);
    jpeg[sof + 7] = static_cast<char>(width >> 8);
    jpeg[sof + 8] = static_cast<char>(width & 0xFF);
    return jpeg;
}

}  // namespace jpegtest
