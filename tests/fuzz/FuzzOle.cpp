// Embedded-object files on any bytes: the container header and the storage check answer
// within the input, and give a reason whenever they refuse.
#include <cstdlib>

#include "model/OleStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    TOleStream stream;
    std::string error;
    if (ParseOleStream(bytes, stream, error)) {
        if (stream.Storage.size() + kOleStreamHeaderSize > bytes.size()) abort();
        error.clear();
        if (!CheckCompoundFile(stream.Storage, error) && error.empty()) abort();
    } else if (error.empty() || !stream.Storage.empty()) {
        abort();
    }
    error.clear();
    if (!CheckCompoundFile(bytes, error) && error.empty()) abort();
    return 0;
}
