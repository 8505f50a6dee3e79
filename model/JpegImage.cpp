#include "model/JpegImage.h"

#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace {

// libjpeg reports fatal errors by calling error_exit, which must not return. Exceptions
// cannot pass through its C frames, so it jumps back with longjmp: everything between
// setjmp and libjpeg below holds only trivially destructible objects.
struct TDecoder {
    jpeg_decompress_struct Info;
    jpeg_error_mgr Errors;
    jpeg_progress_mgr Progress;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

// Every field of a hostile progressive file can ask for another scan; each one costs a
// pass over the whole picture.
constexpr int kMaxScans = 1000;

TDecoder& DecoderOf(j_common_ptr info) {
    // Info is the first member, so the libjpeg object's address is the decoder's.
    return *reinterpret_cast<TDecoder*>(info);
}

[[noreturn]] void Fail(TDecoder& decoder, const char* message) {
    std::snprintf(decoder.Message, sizeof decoder.Message, "%s", message);
    std::longjmp(decoder.Jump, 1);
}

[[noreturn]] void OnError(j_common_ptr info) {
    TDecoder& decoder = DecoderOf(info);
    char message[JMSG_LENGTH_MAX];
    info->err->format_message(info, message);
    Fail(decoder, message);
}

// Warnings mean libjpeg went on past damaged data (a truncated file gets gray rows);
// only those about odd but harmless markers are let through.
void OnMessage(j_common_ptr info, int level) {
    if (level >= 0) return;
    switch (info->err->msg_code) {
    case JWRN_EXTRANEOUS_DATA:
    case JWRN_JFIF_MAJOR:
    case JWRN_ADOBE_XFORM:
    case JWRN_BOGUS_ICC:
        return;
    default:
        OnError(info);
    }
}

void OnProgress(j_common_ptr info) {
    TDecoder& decoder = DecoderOf(info);
    if (decoder.Info.input_scan_number > kMaxScans) Fail(decoder, "JPEG has too many scans");
}

// Adobe writes CMYK inverted (0 = full ink), and marks such files with its APP14 marker.
void CmykRowToBgra(const uint8_t* cmyk, uint8_t* bgra, int32_t width, bool inverted) {
    for (int32_t x = 0; x < width; ++x, cmyk += 4, bgra += 4) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        bgra[0] = static_cast<uint8_t>((y * k + 127) / 255);
        bgra[1] = static_cast<uint8_t>((m * k + 127) / 255);
        bgra[2] = static_cast<uint8_t>((c * k + 127) / 255);
        bgra[3] = 255;
    }
}

bool Decode(TDecoder& decoder, const std::string& bytes, int32_t drawWidth, int32_t drawHeight, TRawImage& image,
            TJpegSize& natural, std::vector<uint8_t>& cmykRow) {
    jpeg_decompress_struct& info = decoder.Info;
    info.err = jpeg_std_error(&decoder.Errors);
    decoder.Errors.error_exit = OnError;
    decoder.Errors.emit_message = OnMessage;
    if (setjmp(decoder.Jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    decoder.Progress.progress_monitor = OnProgress;
    info.progress = &decoder.Progress;

    // The memory source takes an unsigned long, which is 32 bits on Windows.
    if (bytes.size() > ULONG_MAX) Fail(decoder, "JPEG file is too large");
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    if (info.image_width > static_cast<JDIMENSION>(kMaxJpegSide) ||
        info.image_height > static_cast<JDIMENSION>(kMaxJpegSide) ||
        int64_t{info.image_width} * info.image_height > kMaxJpegPixels) {
        char message[JMSG_LENGTH_MAX];
        std::snprintf(message, sizeof message, "JPEG picture is too large: %ux%u",
                      static_cast<unsigned>(info.image_width), static_cast<unsigned>(info.image_height));
        Fail(decoder, message);
    }

    natural.Width = static_cast<int32_t>(info.image_width);
    natural.Height = static_cast<int32_t>(info.image_height);
    info.scale_num = 1;
    info.scale_denom = static_cast<unsigned>(JpegScaleFor(natural.Width, natural.Height, drawWidth, drawHeight));

    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&info);

    const size_t stride = size_t{info.output_width} * 4;
    bool allocated = true;
    try {
        image.Bgra.resize(stride * info.output_height);
        if (cmyk) cmykRow.resize(stride);
    } catch (const std::bad_alloc&) {
        allocated = false;  // jumping out of a handler would leave the exception alive
    }
    if (!allocated) Fail(decoder, "Not enough memory for the JPEG picture");
    image.Width = static_cast<int32_t>(info.output_width);
    image.Height = static_cast<int32_t>(info.output_height);
    while (info.output_scanline < info.output_height) {
        uint8_t* row = image.Bgra.data() + stride * info.output_scanline;
        JSAMPROW target = cmyk ? cmykRow.data() : row;
        if (jpeg_read_scanlines(&info, &target, 1) != 1) Fail(decoder, "JPEG data ended early");
        if (cmyk) CmykRowToBgra(cmykRow.data(), row, image.Width, info.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

}  // namespace

int32_t JpegScaleFor(int32_t width, int32_t height, int32_t drawWidth, int32_t drawHeight) {
    if (drawWidth <= 0 || drawHeight <= 0) return 1;
    for (int32_t denom : {8, 4, 2}) {
        // libjpeg rounds a scaled size up.
        const int64_t w = (int64_t{width} + denom - 1) / denom, h = (int64_t{height} + denom - 1) / denom;
        if (w >= drawWidth && h >= drawHeight) return denom;
    }
    return 1;
}

bool DecodeJpegForSize(const std::string& bytes, int32_t drawWidth, int32_t drawHeight, TRawImage& image,
                       TJpegSize& natural, std::string& error) {
    image = TRawImage();
    natural = TJpegSize();
    TDecoder decoder;
    std::vector<uint8_t> cmykRow;
    if (!Decode(decoder, bytes, drawWidth, drawHeight, image, natural, cmykRow)) {
        image = TRawImage();
        natural = TJpegSize();
        error = decoder.Message;
        return false;
    }
    error.clear();
    return true;
}

bool DecodeJpeg(const std::string& bytes, TRawImage& image, std::string& error) {
    TJpegSize natural;
    return DecodeJpegForSize(bytes, 0, 0, image, natural, error);
}
