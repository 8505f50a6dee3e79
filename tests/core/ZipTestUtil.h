#pragma once
// Archives built byte by byte for the archive tests, independent of the code under test:
// its own cipher, its own record layout, and every field open to damage.

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/ZipArchive.h"

namespace ziptest {

inline void Put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

inline void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

inline uint32_t Get16(const std::string& s, size_t at) {
    return static_cast<uint8_t>(s.at(at)) | (static_cast<uint8_t>(s.at(at + 1)) << 8);
}

inline uint32_t Get32(const std::string& s, size_t at) { return Get16(s, at) | (Get16(s, at + 2) << 16); }

inline void Set32(std::string& s, size_t at, uint32_t v) {
    std::string b;
    Put32(b, v);
    s.replace(at, 4, b);
}

inline uint32_t Crc(const std::string& data) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

inline std::string RawDeflate(const std::string& data, int level = 6) {
    z_stream zs{};
    if (deflateInit2(&zs, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflate");
    }
    std::string out(deflateBound(&zs, static_cast<uLong>(data.size())), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(&out[0]);
    zs.avail_out = static_cast<uInt>(out.size());
    int status = deflate(&zs, Z_FINISH);
    deflateEnd(&zs);
    if (status != Z_STREAM_END) throw std::runtime_error("deflate");
    out.resize(zs.total_out);
    return out;
}

// The traditional PKWARE cipher, written plainly after the APPNOTE.
class TTestCipher {
public:
    explicit TTestCipher(const std::string& password) {
        for (char c : password) Update(static_cast<uint8_t>(c));
    }
    std::string Encrypt(const std::string& plain) {
        std::string out = plain;
        for (char& c : out) {
            uint8_t p = static_cast<uint8_t>(c);
            c = static_cast<char>(p ^ KeyByte());
            Update(p);
        }
        return out;
    }
    std::string Decrypt(const std::string& cipher) {
        std::string out = cipher;
        for (char& c : out) {
            uint8_t p = static_cast<uint8_t>(static_cast<uint8_t>(c) ^ KeyByte());
            c = static_cast<char>(p);
            Update(p);
        }
        return out;
    }

private:
    static uint32_t CrcByte(uint32_t crc, uint8_t b) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
        return crc;
    }
    uint8_t KeyByte() const {
        uint32_t t = (keys_[2] | 2) & 0xFFFF;
        return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
    }
    void Update(uint8_t c) {
        keys_[0] = CrcByte(keys_[0], c);
        keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
        keys_[2] = CrcByte(keys_[2], static_cast<uint8_t>(keys_[1] >> 24));
    }
    uint32_t keys_[3] = {0x12345678, 0x23456789, 0x34567890};
};

struct TTestEntry {
    std::string name;  // bytes as stored
    std::string data;  // the file's content
    uint16_t method = 8;
    std::string password;     // empty: not encrypted
    bool descriptor = false;  // flag bit 3, a 16-byte data descriptor after the data
    uint8_t host = 0;
    uint16_t time = 0x7A3C;  // 15:17:56
    uint16_t date = 0x5B8A;  // 2025-12-10
    uint32_t externalAttributes = 0x20;
    std::string extra;
    std::string comment;
    // Damage and oddities.
    std::optional<std::string> payload;  // the stored bytes before encryption, instead of the packed data
    std::optional<uint32_t> crc;
    std::optional<uint32_t> compressedSize;
    std::optional<uint32_t> uncompressedSize;
    std::optional<uint8_t> checkByte;  // last byte of the encryption header
};

struct TZipLayout {
    std::string comment;
    TZipSignatures signatures = kStandardZipSignatures;
    uint32_t base = 0;  // added to every offset, for an archive placed after other bytes
    std::optional<uint16_t> entryCount;
    std::optional<uint16_t> commentLength;
};

struct TBuiltZip {
    std::string bytes;
    std::vector<uint32_t> localOffsets;  // from the start of `bytes`
    std::vector<uint32_t> centralOffsets;
    uint32_t directoryOffset = 0;
    uint32_t endOffset = 0;
};

inline TBuiltZip BuildZip(const std::vector<TTestEntry>& entries, const TZipLayout& layout = {}) {
    TBuiltZip zip;
    std::string central;
    for (const TTestEntry& e : entries) {
        uint32_t crc = e.crc ? *e.crc : Crc(e.data);
        std::string stored = e.payload ? *e.payload : (e.method == 8 ? RawDeflate(e.data) : e.data);
        uint16_t flags = static_cast<uint16_t>((e.password.empty() ? 0 : 1) | (e.descriptor ? 8 : 0));
        if (!e.password.empty()) {
            std::string header = "0123456789A";
            header += static_cast<char>(e.checkByte ? *e.checkByte : (e.descriptor ? e.time >> 8 : crc >> 24));
            stored = TTestCipher(e.password).Encrypt(header + stored);
        }
        uint32_t csize = e.compressedSize ? *e.compressedSize : static_cast<uint32_t>(stored.size());
        uint32_t usize = e.uncompressedSize ? *e.uncompressedSize : static_cast<uint32_t>(e.data.size());
        auto common = [&](std::string& h) {
            Put16(h, 20);
            Put16(h, flags);
            Put16(h, e.method);
            Put16(h, e.time);
            Put16(h, e.date);
            Put32(h, crc);
            Put32(h, csize);
            Put32(h, usize);
            Put16(h, static_cast<uint32_t>(e.name.size()));
            Put16(h, static_cast<uint32_t>(e.extra.size()));
        };
        uint32_t offset = static_cast<uint32_t>(zip.bytes.size());
        zip.localOffsets.push_back(offset);
        std::string local;
        Put32(local, layout.signatures.Local);
        common(local);
        zip.bytes += local + e.name + e.extra + stored;
        if (e.descriptor) {
            Put32(zip.bytes, 0x08074B50);
            Put32(zip.bytes, crc);
            Put32(zip.bytes, csize);
            Put32(zip.bytes, usize);
        }
        std::string c;
        Put32(c, layout.signatures.Central);
        Put16(c, static_cast<uint32_t>(e.host << 8 | 20));
        common(c);
        Put16(c, static_cast<uint32_t>(e.comment.size()));
        Put16(c, 0);
        Put16(c, 0);
        Put32(c, e.externalAttributes);
        Put32(c, offset + layout.base);
        zip.centralOffsets.push_back(static_cast<uint32_t>(central.size()));
        central += c + e.name + e.extra + e.comment;
    }
    zip.directoryOffset = static_cast<uint32_t>(zip.bytes.size());
    for (uint32_t& offset : zip.centralOffsets) offset += zip.directoryOffset;
    zip.bytes += central;
    zip.endOffset = static_cast<uint32_t>(zip.bytes.size());
    uint16_t count = layout.entryCount ? *layout.entryCount : static_cast<uint16_t>(entries.size());
    Put32(zip.bytes, layout.signatures.End);
    Put16(zip.bytes, 0);
    Put16(zip.bytes, 0);
    Put16(zip.bytes, count);
    Put16(zip.bytes, count);
    Put32(zip.bytes, static_cast<uint32_t>(central.size()));
    Put32(zip.bytes, zip.directoryOffset + layout.base);
    Put16(zip.bytes, layout.commentLength ? *layout.commentLength : static_cast<uint32_t>(layout.comment.size()));
    zip.bytes += layout.comment;
    return zip;
}

// The record offsets of an archive, found by walking it with the given signatures.
struct TRecordOffsets {
    std::vector<size_t> local;
    std::vector<size_t> central;
    size_t end = 0;
};

inline TRecordOffsets FindRecords(const std::string& zip, const TZipSignatures& signatures) {
    TRecordOffsets records;
    for (size_t i = zip.size() - 22 + 1; i-- > 0;) {
        if (Get32(zip, i) == signatures.End) {
            records.end = i;
            break;
        }
        if (i == 0) throw std::runtime_error("no end record");
    }
    size_t count = Get16(zip, records.end + 10);
    size_t at = Get32(zip, records.end + 16);
    for (size_t n = 0; n < count; ++n) {
        if (Get32(zip, at) != signatures.Central) throw std::runtime_error("no central header");
        records.central.push_back(at);
        records.local.push_back(Get32(zip, at + 42));
        at += 46 + Get16(zip, at + 28) + Get16(zip, at + 30) + Get16(zip, at + 32);
    }
    return records;
}

inline std::string PatchSignatures(std::string zip, const TZipSignatures& from, const TZipSignatures& to) {
    TRecordOffsets records = FindRecords(zip, from);
    for (size_t at : records.local) Set32(zip, at, to.Local);
    for (size_t at : records.central) Set32(zip, at, to.Central);
    Set32(zip, records.end, to.End);
    return zip;
}

// Semi-compressible bytes: words from a small vocabulary with random numbers between them,
// compressing to roughly a third to a half.
inline std::string MixedData(size_t size, uint32_t seed) {
    static const char* const kWords[] = {"question ", "answer ", "variant ", "score ", "the ", "test ", "\r\n"};
    std::string out;
    out.reserve(size + 16);
    uint32_t x = seed * 2654435761u + 1;
    while (out.size() < size) {
        x = x * 1103515245u + 12345u;
        if ((x >> 16) % 3 == 0) {
            for (int i = 0; i < 4; ++i) {
                x = x * 1103515245u + 12345u;
                out += static_cast<char>(x >> 24);
            }
        } else {
            out += kWords[(x >> 20) % 7];
        }
    }
    out.resize(size);
    return out;
}

}  // namespace ziptest
