// The checks in front of the platform's picture decoders on any bytes: every one of them
// answers, within the input, and gives a reason whenever it refuses.
#include <cstdlib>

#include "model/PictureCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string error;
    auto expect = [&](bool ok) {
        if (!ok && error.empty()) abort();
        error.clear();
    };
    expect(CheckBitmapFile(bytes, error));
    expect(CheckPackedDib(bytes, error));
    expect(CheckEnhancedMetafile(bytes, error));
    expect(CheckWindowsMetafile(bytes, 0, error));
    expect(CheckWindowsMetafile(bytes, 22, error));
    expect(CheckConvertedMetafile(bytes, error));
    return 0;
}
