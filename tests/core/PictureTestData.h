#pragma once
// Small pictures written byte by byte for the checks that guard the platform's decoders:
// BMP files, enhanced and Windows metafiles built from records, packed DIBs.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace picturedata {

inline void Put16(std::string& b, uint32_t v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
inline void Set32(std::string& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

struct TBmp {
    int32_t Width = 4, Height = 2;
    uint16_t Bits = 24;
    uint32_t Compression = 0, Used = 0;
    std::string Table, Pixels;
};

inline std::string Bmp(const TBmp& o) {
    std::string b = "BM";
    Put32(b, static_cast<uint32_t>(54 + o.Table.size() + o.Pixels.size()));
    Put32(b, 0);
    Put32(b, static_cast<uint32_t>(54 + o.Table.size()));
    Put32(b, 40);
    Put32(b, static_cast<uint32_t>(o.Width));
    Put32(b, static_cast<uint32_t>(o.Height));
    Put16(b, 1);
    Put16(b, o.Bits);
    Put32(b, o.Compression);
    Put32(b, static_cast<uint32_t>(o.Pixels.size()));
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, o.Used);
    Put32(b, 0);
    return b + o.Table + o.Pixels;
}

inline std::string Record(uint32_t type, std::initializer_list<uint32_t> fields, const std::string& tail = "") {
    std::string r;
    Put32(r, type);
    Put32(r, static_cast<uint32_t>(8 + 4 * fields.size() + tail.size()));
    for (uint32_t f : fields) Put32(r, f);
    return r + tail;
}

// Header, then the records, then the end record; nBytes and nRecords filled in.
inline std::string Emf(const std::vector<std::string>& records, uint16_t handles = 2) {
    std::string h;
    Put32(h, 1);
    Put32(h, 88);
    for (int i = 0; i < 4; ++i) Put32(h, 0);               // bounds
    for (uint32_t v : {0u, 0u, 1058u, 794u}) Put32(h, v);  // frame
    Put32(h, 0x464D4520);
    Put32(h, 0x10000);
    Put32(h, 0);  // bytes, below
    Put32(h, static_cast<uint32_t>(records.size() + 2));
    Put16(h, handles);
    Put16(h, 0);
    for (int i = 0; i < 3; ++i) Put32(h, 0);  // description, palette
    for (uint32_t v : {1024u, 768u, 320u, 240u}) Put32(h, v);
    for (const std::string& r : records) h += r;
    h += Record(14, {0, 16, 20});
    Set32(h, 48, static_cast<uint32_t>(h.size()));
    return h;
}

inline std::string Dib(int width, int height, size_t pixelBytes) {
    std::string d;
    Put32(d, 40);
    Put32(d, static_cast<uint32_t>(width));
    Put32(d, static_cast<uint32_t>(height));
    Put16(d, 1);
    Put16(d, 24);
    for (int i = 0; i < 6; ++i) Put32(d, 0);
    return d + std::string(pixelBytes, 'p');
}

inline std::string WmfRecord(uint16_t function, std::initializer_list<uint16_t> params, const std::string& tail = "") {
    std::string r;
    Put32(r, static_cast<uint32_t>(3 + params.size() + tail.size() / 2));
    Put16(r, function);
    for (uint16_t p : params) Put16(r, p);
    return r + tail;
}

inline std::string Wmf(const std::vector<std::string>& records, uint16_t objects = 1) {
    std::string body;
    for (const std::string& r : records) body += r;
    body += WmfRecord(0, {});
    std::string h;
    Put16(h, 1);
    Put16(h, 9);
    Put16(h, 0x300);
    Put32(h, static_cast<uint32_t>((18 + body.size()) / 2));
    Put16(h, objects);
    Put32(h, 16);
    Put16(h, 0);
    return h + body;
}

}  // namespace picturedata
