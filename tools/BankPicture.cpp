#include "tools/BankPicture.h"

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#include "model/JpegImage.h"
#include "tools/AttachCheck.h"

namespace {

constexpr int kJpegQuality = 90;
constexpr size_t kPaletteSize = 256;

struct TRgbaImage {
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint8_t> Rgba;
};

bool SizeAllowed(int64_t width, int64_t height, std::string& reason) {
    if (width <= 0 || height <= 0) {
        reason = "the picture has no size";
        return false;
    }
    if (width > kMaxJpegSide || height > kMaxJpegSide || width * height > kMaxJpegPixels) {
        reason = "the picture is too large (" + std::to_string(width) + " x " + std::to_string(height) + ")";
        return false;
    }
    return true;
}

uint32_t Le32(const std::string& b, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(b[at + i])) << (8 * i);
    return v;
}

bool DecodePng(const std::string& bytes, TRgbaImage& out, std::string& reason) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        reason = std::string("the PNG cannot be read: ") + image.message;
        return false;
    }
    if (!SizeAllowed(image.width, image.height, reason)) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    out.Width = static_cast<int32_t>(image.width);
    out.Height = static_cast<int32_t>(image.height);
    out.Rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.Rgba.data(), 0, nullptr)) {
        reason = std::string("the PNG cannot be read: ") + image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}

struct TGifInput {
    const std::string* Bytes;
    size_t Position = 0;
};

int ReadGif(GifFileType* gif, GifByteType* buffer, int count) {
    auto* input = static_cast<TGifInput*>(gif->UserData);
    const size_t left = input->Bytes->size() - input->Position;
    const size_t n = std::min(left, static_cast<size_t>(count < 0 ? 0 : count));
    std::memcpy(buffer, input->Bytes->data() + input->Position, n);
    input->Position += n;
    return static_cast<int>(n);
}

class TGifFile {
public:
    explicit TGifFile(GifFileType* gif) : gif_(gif) {}
    ~TGifFile() {
        int error = 0;
        if (gif_) DGifCloseFile(gif_, &error);
    }
    TGifFile(const TGifFile&) = delete;
    TGifFile& operator=(const TGifFile&) = delete;
    GifFileType* operator->() const { return gif_; }
    GifFileType* get() const { return gif_; }

private:
    GifFileType* gif_;
};

// The first frame on the logical screen, read record by record so that nothing is allocated
// for sizes the file only claims.
bool DecodeGif(const std::string& bytes, TRgbaImage& out, std::string& reason) {
    TGifInput input{&bytes};
    int error = 0;
    TGifFile gif(DGifOpen(&input, ReadGif, &error));
    auto fail = [&](int code) {
        const char* text = GifErrorString(code);
        reason = std::string("the GIF cannot be read: ") + (text ? text : "damaged");
        return false;
    };
    if (!gif.get()) return fail(error);
    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) return fail(gif->Error);
        if (type == TERMINATE_RECORD_TYPE) {
            reason = "the GIF holds no picture";
            return false;
        }
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) return fail(gif->Error);
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
                GraphicsControlBlock control;
                if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) transparent = control.TransparentColor;
            }
            while (block) {
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) return fail(gif->Error);
            }
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE) continue;
        if (DGifGetImageDesc(gif.get()) == GIF_ERROR) return fail(gif->Error);
        const GifImageDesc& frame = gif->Image;
        const int screenWidth = gif->SWidth > 0 ? gif->SWidth : frame.Width;
        const int screenHeight = gif->SHeight > 0 ? gif->SHeight : frame.Height;
        if (!SizeAllowed(screenWidth, screenHeight, reason) || !SizeAllowed(frame.Width, frame.Height, reason)) {
            return false;
        }
        const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
        if (!map) {
            reason = "the GIF has no colour table";
            return false;
        }
        std::vector<std::vector<GifPixelType>> rows(static_cast<size_t>(frame.Height),
                                                    std::vector<GifPixelType>(static_cast<size_t>(frame.Width)));
        if (frame.Interlace) {
            static const int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass) {
                for (int y = kStart[pass]; y < frame.Height; y += kStep[pass]) {
                    if (DGifGetLine(gif.get(), rows[y].data(), frame.Width) == GIF_ERROR) return fail(gif->Error);
                }
            }
        } else {
            for (auto& row : rows) {
                if (DGifGetLine(gif.get(), row.data(), frame.Width) == GIF_ERROR) return fail(gif->Error);
            }
        }
        out.Width = screenWidth;
        out.Height = screenHeight;
        out.Rgba.assign(static_cast<size_t>(screenWidth) * screenHeight * 4, 0);
        for (int y = 0; y < frame.Height; ++y) {
            const int sy = frame.Top + y;
            if (sy < 0 || sy >= screenHeight) continue;
            for (int x = 0; x < frame.Width; ++x) {
                const int sx = frame.Left + x;
                const int index = rows[y][x];
                if (sx < 0 || sx >= screenWidth || index == transparent || index >= map->ColorCount) continue;
                uint8_t* p = &out.Rgba[(static_cast<size_t>(sy) * screenWidth + sx) * 4];
                p[0] = map->Colors[index].Red;
                p[1] = map->Colors[index].Green;
                p[2] = map->Colors[index].Blue;
                p[3] = 255;
            }
        }
        return true;
    }
}

// Transparency drawn on white, as the page of a bank shows it; 3 bytes a pixel remain.
std::vector<uint8_t> OnWhite(const TRgbaImage& image) {
    std::vector<uint8_t> rgb(static_cast<size_t>(image.Width) * image.Height * 3);
    for (size_t i = 0, o = 0; i < image.Rgba.size(); i += 4, o += 3) {
        const unsigned alpha = image.Rgba[i + 3];
        for (size_t c = 0; c < 3; ++c) {
            rgb[o + c] = static_cast<uint8_t>((image.Rgba[i + c] * alpha + 255 * (255 - alpha) + 127) / 255);
        }
    }
    return rgb;
}

void Put16(std::string& b, uint32_t v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// An 8-bit BMP when the colours fit a palette; false (nothing written) when they do not.
bool PalettedBmp(const std::vector<uint8_t>& rgb, int32_t width, int32_t height, std::string& out) {
    std::vector<uint32_t> palette;
    std::unordered_set<uint32_t> seen;
    std::vector<uint32_t> colours(rgb.size() / 3);
    for (size_t i = 0; i < colours.size(); ++i) {
        colours[i] = (uint32_t{rgb[i * 3]} << 16) | (uint32_t{rgb[i * 3 + 1]} << 8) | rgb[i * 3 + 2];
        if (seen.insert(colours[i]).second) {
            if (palette.size() == kPaletteSize) return false;
            palette.push_back(colours[i]);
        }
    }
    std::unordered_map<uint32_t, uint8_t> index;
    for (size_t i = 0; i < palette.size(); ++i) index[palette[i]] = static_cast<uint8_t>(i);
    const uint32_t stride = (static_cast<uint32_t>(width) + 3) & ~3u;
    const uint32_t tableBytes = static_cast<uint32_t>(palette.size()) * 4;
    const uint32_t pixelBytes = stride * static_cast<uint32_t>(height);
    out = "BM";
    Put32(out, 14 + 40 + tableBytes + pixelBytes);
    Put32(out, 0);
    Put32(out, 14 + 40 + tableBytes);
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(width));
    Put32(out, static_cast<uint32_t>(height));
    Put16(out, 1);
    Put16(out, 8);
    Put32(out, 0);  // BI_RGB
    Put32(out, pixelBytes);
    Put32(out, 2835);  // 72 dpi
    Put32(out, 2835);
    Put32(out, static_cast<uint32_t>(palette.size()));
    Put32(out, 0);
    for (uint32_t colour : palette) {
        out += static_cast<char>(colour & 0xFF);
        out += static_cast<char>((colour >> 8) & 0xFF);
        out += static_cast<char>((colour >> 16) & 0xFF);
        out += '\0';
    }
    std::string row(stride, '\0');
    for (int32_t y = height - 1; y >= 0; --y) {  // bottom-up
        for (int32_t x = 0; x < width; ++x) {
            row[static_cast<size_t>(x)] = static_cast<char>(index[colours[static_cast<size_t>(y) * width + x]]);
        }
        out += row;
    }
    return true;
}

// As in the player's decoder: libjpeg's fatal errors jump back here.
struct TEncoder {
    jpeg_compress_struct Info;
    jpeg_error_mgr Errors;
    std::jmp_buf Jump;
};

[[noreturn]] void OnEncodeError(j_common_ptr info) { std::longjmp(reinterpret_cast<TEncoder*>(info)->Jump, 1); }

bool EncodeJpeg(const std::vector<uint8_t>& rgb, int32_t width, int32_t height, std::string& out) {
    TEncoder encoder;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    encoder.Info.err = jpeg_std_error(&encoder.Errors);
    encoder.Errors.error_exit = OnEncodeError;
    if (setjmp(encoder.Jump)) {
        jpeg_destroy_compress(&encoder.Info);
        std::free(buffer);
        return false;
    }
    jpeg_create_compress(&encoder.Info);
    jpeg_mem_dest(&encoder.Info, &buffer, &size);
    encoder.Info.image_width = static_cast<JDIMENSION>(width);
    encoder.Info.image_height = static_cast<JDIMENSION>(height);
    encoder.Info.input_components = 3;
    encoder.Info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&encoder.Info);
    jpeg_set_quality(&encoder.Info, kJpegQuality, TRUE);
    jpeg_start_compress(&encoder.Info, TRUE);
    while (encoder.Info.next_scanline < encoder.Info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&rgb[static_cast<size_t>(encoder.Info.next_scanline) * width * 3]);
        jpeg_write_scanlines(&encoder.Info, &row, 1);
    }
    jpeg_finish_compress(&encoder.Info);
    out.assign(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&encoder.Info);
    std::free(buffer);
    return true;
}

bool StartsWith(const std::string& bytes, const char* prefix, size_t length) {
    return bytes.size() >= length && std::memcmp(bytes.data(), prefix, length) == 0;
}

}  // namespace

bool MakePlayerPicture(const std::string& bytes, TBankPicture& picture, std::string& reason) {
    picture = TBankPicture();
    TRgbaImage image;
    bool decoded = false;
    if (StartsWith(bytes, "\xFF\xD8", 2)) {
        picture.Extension = "JPG";
    } else if (StartsWith(bytes, "BM", 2)) {
        picture.Extension = "BMP";
    } else if (bytes.size() >= 44 && Le32(bytes, 0) == 1 && bytes.compare(40, 4, " EMF") == 0) {
        picture.Extension = "EMF";
    } else if (StartsWith(bytes, "\xD7\xCD\xC6\x9A", 4) || StartsWith(bytes, "\x01\x00\x09\x00", 4) ||
               StartsWith(bytes, "\x02\x00\x09\x00", 4)) {
        picture.Extension = "WMF";
    } else if (StartsWith(bytes, "\x89PNG\r\n\x1A\n", 8)) {
        if (!DecodePng(bytes, image, reason)) return false;
        decoded = true;
    } else if (StartsWith(bytes, "GIF87a", 6) || StartsWith(bytes, "GIF89a", 6)) {
        if (!DecodeGif(bytes, image, reason)) return false;
        decoded = true;
    } else {
        reason = "not a JPEG, BMP, PNG, GIF, EMF or WMF picture";
        return false;
    }
    if (decoded) {
        const std::vector<uint8_t> rgb = OnWhite(image);
        picture.Converted = true;
        if (PalettedBmp(rgb, image.Width, image.Height, picture.Bytes)) {
            picture.Extension = "BMP";
        } else if (EncodeJpeg(rgb, image.Width, image.Height, picture.Bytes)) {
            picture.Extension = "JPG";
        } else {
            reason = "the picture cannot be written as a JPEG";
            return false;
        }
    } else {
        picture.Bytes = bytes;
    }
    if (!CheckAttachmentBytes(picture.Extension, picture.Bytes, reason)) {
        picture = TBankPicture();
        return false;
    }
    return true;
}
