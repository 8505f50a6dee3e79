#include "model/OleStream.h"

#include <cstring>

namespace {

constexpr char kShortStream[] = "Stream read error";

uint32_t Le32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
}

void PutLe32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Checks the header; `available` is how many bytes follow it.
bool ParseHeader(const char* header, uint64_t available, TOleStream& stream, uint32_t& size, std::string& error) {
    if (std::memcmp(header, kOleStreamSignature, 4) != 0) {
        error = kInvalidOleStream;
        return false;
    }
    stream.Aspect = Le32(header + 4);
    size = Le32(header + 8);
    if (size > available) {
        error = kShortStream;
        return false;
    }
    return true;
}

}  // namespace

bool ParseOleStream(const std::string& bytes, TOleStream& stream, std::string& error) {
    stream = TOleStream();
    if (bytes.size() < kOleStreamHeaderSize) {
        error = kShortStream;
        return false;
    }
    uint32_t size = 0;
    if (!ParseHeader(bytes.data(), bytes.size() - kOleStreamHeaderSize, stream, size, error)) {
        stream = TOleStream();
        return false;
    }
    stream.Storage = bytes.substr(kOleStreamHeaderSize, size);
    return true;
}

bool ReadOleStream(const TPath& file, TOleStream& stream, std::string& error) {
    stream = TOleStream();
    TBinaryFile in;
    uint64_t fileSize = 0;
    if (!in.OpenRead(file) || !in.Size(fileSize)) {
        error = "cannot open the file";
        return false;
    }
    char header[kOleStreamHeaderSize];
    if (fileSize < kOleStreamHeaderSize || !in.ReadExact(header, sizeof header)) {
        error = kShortStream;
        return false;
    }
    uint32_t size = 0;
    if (!ParseHeader(header, fileSize - kOleStreamHeaderSize, stream, size, error)) {
        stream = TOleStream();
        return false;
    }
    stream.Storage.assign(size, '\0');
    if (size > 0 && !in.ReadExact(&stream.Storage[0], size)) {
        stream = TOleStream();
        error = kShortStream;
        return false;
    }
    return true;
}

std::string MakeOleStream(uint32_t aspect, const std::string& storage) {
    std::string out(kOleStreamSignature, 4);
    PutLe32(out, aspect);
    PutLe32(out, static_cast<uint32_t>(storage.size()));
    return out + storage;
}
