#pragma once
// PNG and GIF files for the bank import tests, written by libpng and giflib themselves.

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include <gif_lib.h>
#include <png.h>

namespace banktest {

// RGBA rows, top-down.
inline std::string Png(int width, int height, const std::vector<uint8_t>& rgba) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr)) {
        throw std::runtime_error("png size");
    }
    std::string out(size, '\0');
    if (!png_image_write_to_memory(&image, &out[0], &size, 0, rgba.data(), 0, nullptr)) {
        throw std::runtime_error("png write");
    }
    out.resize(size);
    return out;
}

// A picture of many colours: every pixel its own.
inline std::vector<uint8_t> Gradient(int width, int height) {
    std::vector<uint8_t> rgba;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            rgba.insert(rgba.end(), {static_cast<uint8_t>(x * 255 / width), static_cast<uint8_t>(y * 255 / height),
                                     static_cast<uint8_t>((x + y) * 3), 255});
        }
    }
    return rgba;
}

inline int WriteGif(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
    return length;
}

// One frame of palette indices (top-down rows) on a screen of its size.
inline std::string Gif(int width, int height, const std::vector<GifColorType>& palette,
                       const std::vector<uint8_t>& indices, int transparent = -1, bool interlaced = false) {
    std::string out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteGif, &error);
    if (!gif) throw std::runtime_error("gif open");
    int colours = 2;
    while (colours < static_cast<int>(palette.size())) colours *= 2;
    std::vector<GifColorType> table(palette);
    table.resize(static_cast<size_t>(colours));
    ColorMapObject* map = GifMakeMapObject(colours, table.data());
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, width, height, 8, 0, map);
    if (transparent >= 0) {
        GraphicsControlBlock control = {0, false, 0, transparent};
        GifByteType block[4];
        const size_t length = EGifGCBToExtension(&control, block);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), block);
    }
    EGifPutImageDesc(gif, 0, 0, width, height, interlaced, nullptr);
    std::vector<int> rowOrder;
    if (interlaced) {
        const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass) {
            for (int y = start[pass]; y < height; y += step[pass]) rowOrder.push_back(y);
        }
    } else {
        for (int y = 0; y < height; ++y) rowOrder.push_back(y);
    }
    for (int y : rowOrder) {
        std::vector<GifPixelType> row(indices.begin() + y * width, indices.begin() + (y + 1) * width);
        EGifPutLine(gif, row.data(), width);
    }
    GifFreeMapObject(map);
    EGifCloseFile(gif, &error);
    return out;
}

}  // namespace banktest
