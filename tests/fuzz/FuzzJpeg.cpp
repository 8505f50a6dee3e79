// The JPEG decoder on any bytes: it answers true with a whole picture within the limits,
// or false with a reason and nothing kept.
#include <cstdlib>

#include "model/JpegImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TRawImage image;
    std::string error;
    if (DecodeJpeg(std::string(reinterpret_cast<const char*>(data), size), image, error)) {
        if (image.Width < 1 || image.Height < 1 || image.Width > kMaxJpegSide || image.Height > kMaxJpegSide) abort();
        if (image.Bgra.size() != static_cast<size_t>(image.Width) * image.Height * 4) abort();
    } else if (error.empty() || !image.Bgra.empty() || image.Width != 0) {
        abort();
    }
    return 0;
}
