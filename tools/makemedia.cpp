// makemedia: writes a small media file for tests and the demo.
//   makemedia wav OUT [MILLISECONDS [FREQUENCY]]     a sine tone (default 1000 ms, 440 Hz)
//   makemedia avi OUT [WIDTH HEIGHT [FRAMES [FPS]]]   uncompressed 32-bit video (160x120, 20, 10)
//   makemedia mid OUT [MILLISECONDS]                 one note (default 1000 ms)

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "tools/MediaFixtures.h"

namespace {

int Usage() {
    std::cerr << "usage: makemedia wav OUT [MILLISECONDS [FREQUENCY]]\n"
                 "       makemedia avi OUT [WIDTH HEIGHT [FRAMES [FPS]]]\n"
                 "       makemedia mid OUT [MILLISECONDS]\n";
    return 2;
}

// A positive whole number, or false.
bool Number(const char* text, uint32_t& value) {
    char* end = nullptr;
    const unsigned long n = std::strtoul(text, &end, 10);
    if (end == text || *end != '\0' || n == 0 || n > 1000000) return false;
    value = static_cast<uint32_t>(n);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    const std::string kind = argv[1];
    uint32_t n[4] = {};
    const int given = argc - 3;
    for (int i = 0; i < given; ++i) {
        if (i >= 4 || !Number(argv[3 + i], n[i])) return Usage();
    }
    std::string bytes;
    if (kind == "wav" && given <= 2) {
        bytes = MakeWav(given > 0 ? n[0] : 1000, given > 1 ? n[1] : 440);
    } else if (kind == "avi" && given != 1 && given <= 4) {
        bytes = MakeAvi(given > 0 ? static_cast<int32_t>(n[0]) : 160, given > 0 ? static_cast<int32_t>(n[1]) : 120,
                        given > 2 ? n[2] : 20, given > 3 ? n[3] : 10);
    } else if (kind == "mid" && given <= 1) {
        bytes = MakeMidi(given > 0 ? n[0] : 1000);
    } else {
        return Usage();
    }
    std::ofstream out(argv[2], std::ios::binary);
    if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) || !out.flush()) {
        std::cerr << "makemedia: cannot write " << argv[2] << "\n";
        return 1;
    }
    return 0;
}
