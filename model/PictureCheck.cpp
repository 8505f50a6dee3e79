#include "model/PictureCheck.h"

#include <cstdint>

#include "model/JpegImage.h"

namespace {

uint32_t U16(const std::string& b, size_t at) {
    return static_cast<uint8_t>(b[at]) | static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8;
}
uint32_t U32(const std::string& b, size_t at) { return U16(b, at) | U16(b, at + 2) << 16; }

// A record's bytes: reads past its end give 0, so every count is checked against Size.
struct TRecord {
    const std::string& Bytes;
    size_t Start;
    size_t Size;
    bool Has(uint64_t offset, uint64_t count) const { return offset <= Size && count <= Size - offset; }
    uint32_t W(size_t at) const { return at + 2 <= Size ? U16(Bytes, Start + at) : 0; }
    uint32_t D(size_t at) const { return at + 4 <= Size ? U32(Bytes, Start + at) : 0; }
};

constexpr uint32_t kBiRgb = 0, kBiBitfields = 3;

// A packed DIB inside a record: header, colour table and (for plain rows) every row must
// lie inside the given ranges.
bool DibFits(const TRecord& r, uint64_t infoAt, uint64_t infoSize, uint64_t bitsAt, uint64_t bitsSize,
             bool paletteIndexes) {
    if (!r.Has(infoAt, infoSize) || !r.Has(bitsAt, bitsSize) || infoSize < 12) return false;
    const size_t at = static_cast<size_t>(infoAt);
    const uint32_t headerSize = r.D(at);
    int64_t width = 0, height = 0;
    uint32_t bits = 0, compression = kBiRgb, used = 0;
    if (headerSize == 12) {
        width = r.W(at + 4);
        height = r.W(at + 6);
        bits = r.W(at + 10);
    } else if (headerSize >= 40 && headerSize <= infoSize) {
        width = static_cast<int32_t>(r.D(at + 4));
        height = static_cast<int32_t>(r.D(at + 8));
        bits = r.W(at + 14);
        compression = r.D(at + 16);
        used = r.D(at + 32);
    } else {
        return false;
    }
    if (height < 0) height = -height;
    if (width <= 0 || height <= 0 || width > kMaxJpegSide || height > kMaxJpegSide || width * height > kMaxJpegPixels)
        return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    uint64_t colours = used;
    if (colours == 0 && bits <= 8) colours = uint64_t{1} << bits;
    if (colours > 256 && bits <= 8) return false;
    uint64_t table = colours * (paletteIndexes ? 2 : (headerSize == 12 ? 3 : 4));
    if (compression == kBiBitfields && headerSize == 40) table += 12;
    if (headerSize + table > infoSize) return false;
    if (compression == kBiRgb || compression == kBiBitfields) {
        const uint64_t stride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
        if (stride * static_cast<uint64_t>(height) > bitsSize) return false;
    }
    return true;
}

// --- Enhanced metafiles ---

constexpr uint32_t kEmrHeader = 1, kEmrEof = 14;

bool Index(uint32_t index, uint32_t handles, bool stockAllowed) {
    if (stockAllowed && (index & 0x80000000u)) return true;
    return index >= 1 && index < handles;
}

bool RegionFits(const TRecord& r, uint64_t at, uint64_t size) {
    if (!r.Has(at, size) || size < 32) return false;
    const uint32_t count = r.D(static_cast<size_t>(at) + 8);
    return uint64_t{32} + uint64_t{count} * 16 <= size;
}

// Offsets of the source (and mask) bitmap fields: offBmi, cbBmi, offBits, cbBits.
bool BitmapAt(const TRecord& r, size_t fields, size_t usageField) {
    const uint32_t infoSize = r.D(fields + 4);
    if (infoSize == 0) return true;  // a blit without a source
    const bool indexes = usageField != 0 && r.D(usageField) == 1;  // DIB_PAL_COLORS
    return DibFits(r, r.D(fields), infoSize, r.D(fields + 8), r.D(fields + 12), indexes);
}

bool TextFits(const TRecord& r, size_t text, bool wide) {
    if (!r.Has(text, 40)) return false;
    const uint64_t chars = r.D(text + 8);
    const uint32_t stringAt = r.D(text + 12), options = r.D(text + 16), dxAt = r.D(text + 36);
    if (chars > 0 && !r.Has(stringAt, chars * (wide ? 2 : 1))) return false;
    const uint64_t dx = chars * 4 * ((options & 0x2000) ? 2 : 1);  // ETO_PDY: pairs
    return dxAt == 0 || chars == 0 || r.Has(dxAt, dx);
}

// Restoring goes back by a negative count of levels, never past what was saved (Wine
// crashes on anything else).
bool Restore(int64_t relative, uint32_t& depth) {
    if (relative >= 0 || -relative > depth) return false;
    depth -= static_cast<uint32_t>(-relative);
    return true;
}

const char* CheckEmfRecord(const TRecord& r, uint32_t type, uint32_t handles, uint32_t& depth) {
    if (type == 33) ++depth;  // SAVEDC
    if (type == 34 && !Restore(static_cast<int32_t>(r.D(8)), depth)) return "restores a state never saved";
    switch (type) {
    case 38: case 39: case 49: case 82: case 93: case 94: case 95: case 99: case 122:  // object creation
        if (!r.Has(0, 12) || !Index(r.D(8), handles, false)) return "object index outside the table";
        break;
    case 37: case 48:  // selecting: a stock object may stand in
        if (!r.Has(0, 12) || !Index(r.D(8), handles, true)) return "object index outside the table";
        break;
    case 40: case 50: case 51: case 100: case 101:  // other uses take table entries only
        if (!r.Has(0, 12) || !Index(r.D(8), handles, false)) return "object index outside the table";
        break;
    }
    switch (type) {
    case 2: case 3: case 4: case 5: case 6:  // poly shapes, 32-bit points
        if (!r.Has(28, uint64_t{r.D(24)} * 8)) return "points outside the record";
        break;
    case 85: case 86: case 87: case 88: case 89:  // 16-bit points
        if (!r.Has(28, uint64_t{r.D(24)} * 4)) return "points outside the record";
        break;
    case 7: case 8: case 90: case 91: {  // several polygons
        const uint64_t polys = r.D(24), points = r.D(28);
        const uint64_t pointSize = type < 90 ? 8 : 4;
        if (!r.Has(32, polys * 4) || !r.Has(32 + polys * 4, points * pointSize)) return "points outside the record";
        uint64_t sum = 0;
        for (uint64_t i = 0; i < polys; ++i) sum += r.D(static_cast<size_t>(32 + i * 4));
        if (sum > points) return "polygon counts exceed the points";
        break;
    }
    case 56:  // poly draw
        if (!r.Has(28, uint64_t{r.D(24)} * 9)) return "points outside the record";
        break;
    case 92:
        if (!r.Has(28, uint64_t{r.D(24)} * 5)) return "points outside the record";
        break;
    case 83: case 84:  // text
        if (!TextFits(r, 36, type == 84)) return "text outside the record";
        break;
    case 96: case 97: {  // several texts
        const uint64_t count = r.D(36);
        if (!r.Has(40, count * 40)) return "text outside the record";
        for (uint64_t i = 0; i < count; ++i) {
            if (!TextFits(r, static_cast<size_t>(40 + i * 40), type == 97)) return "text outside the record";
        }
        break;
    }
    case 76: case 77: case 114: case 116:  // blits
        if (!r.Has(0, 100) || !BitmapAt(r, 84, 80)) return "bitmap outside the record";
        break;
    case 78:
        if (!r.Has(0, 128) || !BitmapAt(r, 84, 80) || !BitmapAt(r, 112, 108)) return "bitmap outside the record";
        break;
    case 79:
        if (!r.Has(0, 140) || !BitmapAt(r, 96, 92) || !BitmapAt(r, 124, 120)) return "bitmap outside the record";
        break;
    case 80: case 81:
        if (!r.Has(0, 76) || !BitmapAt(r, 48, 64)) return "bitmap outside the record";
        break;
    case 93: case 94:
        if (!r.Has(0, 32) || !BitmapAt(r, 16, 12)) return "bitmap outside the record";
        break;
    case 95:
        if (!r.Has(0, 52) || !r.Has(52, uint64_t{r.D(48)} * 4) || !BitmapAt(r, 12, 0)) return "pen outside the record";
        break;
    case 49:
        if (!r.Has(16, uint64_t{r.W(14)} * 4)) return "palette outside the record";
        break;
    case 82:  // a font: the whole LOGFONTW
        if (!r.Has(12, 92)) return "font outside the record";
        break;
    case 50:
        if (!r.Has(20, uint64_t{r.D(16)} * 4)) return "palette outside the record";
        break;
    case 71:  // fill region: region size, brush, region
        if (!Index(r.D(28), handles, true) || !RegionFits(r, 32, r.D(24))) return "region outside the record";
        break;
    case 72:  // frame region: the same with the stroke size before the region
        if (!Index(r.D(28), handles, true) || !RegionFits(r, 40, r.D(24))) return "region outside the record";
        break;
    case 73: case 74:
        if (!RegionFits(r, 28, r.D(24))) return "region outside the record";
        break;
    case 75:  // clip region; RGN_COPY may come without one
        if (r.D(8) != 0 && !RegionFits(r, 16, r.D(8))) return "region outside the record";
        break;
    case 118: {  // gradient fill: the meshes index the vertices
        const uint64_t vertices = r.D(24), meshes = r.D(28);
        const uint32_t mode = r.D(32);
        const uint64_t meshSize = mode == 2 ? 12 : 8;  // GRADIENT_FILL_TRIANGLE
        const uint64_t meshAt = 36 + vertices * 16;
        if (!r.Has(36, vertices * 16) || !r.Has(meshAt, meshes * meshSize)) return "gradient outside the record";
        for (uint64_t i = 0; i < meshes * (meshSize / 4); ++i) {
            if (r.D(static_cast<size_t>(meshAt + i * 4)) >= vertices) return "gradient vertex outside the record";
        }
        break;
    }
    }
    return nullptr;
}

// --- Windows metafiles ---

const char* CheckWmfRecord(const TRecord& r, uint32_t function, uint32_t objects, uint32_t& depth) {
    // Parameters start after the size (4) and function (2) words.
    auto p = [&](size_t i) { return r.W(6 + 2 * i); };
    if (function == 0x001E) ++depth;  // SAVEDC
    if (function == 0x0127 && !Restore(static_cast<int16_t>(p(0)), depth)) return "restores a state never saved";
    auto object = [&](size_t i) { return r.Has(6 + 2 * i, 2) && p(i) < objects; };
    switch (function) {
    case 0x012D: case 0x01F0: case 0x0234: case 0x012C: case 0x012A: case 0x012B:
        if (!object(0)) return "object index outside the table";
        break;
    case 0x0228: case 0x0429:  // fill and frame region: region, brush
        if (!object(0) || !object(1)) return "object index outside the table";
        break;
    case 0x0324: case 0x0325:
        if (!r.Has(8, uint64_t{p(0)} * 4)) return "points outside the record";
        break;
    case 0x0538: {
        const uint64_t polys = p(0);
        if (!r.Has(8, polys * 2)) return "points outside the record";
        uint64_t sum = 0;
        for (uint64_t i = 0; i < polys; ++i) sum += p(static_cast<size_t>(1 + i));
        if (!r.Has(8 + polys * 2, sum * 4)) return "points outside the record";
        break;
    }
    case 0x0521: {
        const uint64_t count = p(0);
        if (!r.Has(8, (count + 1) / 2 * 2 + 4)) return "text outside the record";
        break;
    }
    case 0x0A32: {
        const uint64_t count = p(2);
        const uint32_t options = p(3);
        const uint64_t rect = (options & 0x0006) ? 8 : 0;  // ETO_OPAQUE, ETO_CLIPPED
        if (!r.Has(14 + rect, count)) return "text outside the record";
        break;
    }
    case 0x0037:  // palette entries: start, count, entries
        if (!r.Has(10, uint64_t{p(1)} * 4)) return "palette outside the record";
        break;
    case 0x00F7:  // create palette: version, count, entries
        if (!r.Has(10, uint64_t{p(1)} * 4)) return "palette outside the record";
        break;
    }
    // Records that carry a DIB in their tail.
    size_t dibAt = 0;
    switch (function) {
    case 0x0940: dibAt = r.Size > 24 ? 6 + 2 * 8 : 0; break;     // DIBBITBLT
    case 0x0B41: dibAt = r.Size > 28 ? 6 + 2 * 10 : 0; break;    // DIBSTRETCHBLT
    case 0x0F43: dibAt = 6 + 2 * 11; break;                      // STRETCHDIB
    case 0x0D33: dibAt = 6 + 2 * 9; break;                       // SETDIBTODEV
    case 0x0142: dibAt = 6 + 2 * 2; break;                       // DIBCREATEPATTERNBRUSH
    }
    if (dibAt != 0) {
        if (!r.Has(dibAt, 12)) return "bitmap outside the record";
        const uint64_t rest = r.Size - dibAt;
        const uint32_t headerSize = r.D(dibAt);
        const bool indexes = function == 0x0142 ? p(1) == 1 : function == 0x0F43 ? p(2) == 1 : function == 0x0D33 ? p(0) == 1 : false;
        // The colour table's length is only known from the header: fit it first, then the rows.
        uint64_t infoSize = headerSize == 12 ? 12 : headerSize;
        if (headerSize >= 40 && r.Has(dibAt, 40)) {
            const uint32_t bits = r.W(dibAt + 14), used = r.D(dibAt + 32), compression = r.D(dibAt + 16);
            uint64_t colours = used != 0 ? used : (bits <= 8 ? uint64_t{1} << bits : 0);
            infoSize += colours * (indexes ? 2 : 4) + ((compression == kBiBitfields && headerSize == 40) ? 12 : 0);
        } else if (headerSize == 12) {
            const uint32_t bits = r.W(dibAt + 10);
            infoSize += (bits <= 8 ? uint64_t{1} << bits : 0) * (indexes ? 2 : 3);
        }
        if (infoSize > rest || !DibFits(r, dibAt, infoSize, dibAt + infoSize, rest - infoSize, indexes))
            return "bitmap outside the record";
    }
    return nullptr;
}

// Run-length coded rows: pairs of (count, value); a zero count starts an escape: 0 end of
// line, 1 end of picture, 2 a move by two more bytes, else that many literal pixels padded
// to a whole word.
bool RunsEnd(const std::string& b, size_t at, bool fourBit) {
    while (at + 2 <= b.size()) {
        const uint8_t count = static_cast<uint8_t>(b[at]), value = static_cast<uint8_t>(b[at + 1]);
        at += 2;
        if (count > 0 || value == 0) continue;
        if (value == 1) return true;
        if (value == 2) {
            at += 2;
            continue;
        }
        const size_t literal = fourBit ? (value + 1u) / 2 : value;
        at += (literal + 1) / 2 * 2;
    }
    return false;
}

}  // namespace

namespace {

// The DIB's header at `infoAt`; its rows at `bitsAt`, or right after the colour table when
// that is kNoOffset.
constexpr uint64_t kNoOffset = ~uint64_t{0};

bool CheckDib(const std::string& b, size_t infoAt, uint64_t bitsAt, std::string& error) {
    auto fail = [&](const char* why) {
        error = why;
        return false;
    };
    if (b.size() < infoAt + 12) return fail("the bitmap is cut short");
    const uint32_t headerSize = U32(b, infoAt);
    if ((headerSize != 12 && headerSize < 40) || uint64_t{infoAt} + headerSize > b.size()) return fail("unknown BMP header");
    int64_t width = 0, height = 0;
    uint32_t bits = 0, compression = 0, used = 0;
    if (headerSize == 12) {
        width = U16(b, infoAt + 4);
        height = U16(b, infoAt + 6);
        bits = U16(b, infoAt + 10);
    } else {
        width = static_cast<int32_t>(U32(b, infoAt + 4));
        height = static_cast<int32_t>(U32(b, infoAt + 8));
        bits = U16(b, infoAt + 14);
        compression = U32(b, infoAt + 16);
        used = U32(b, infoAt + 32);
    }
    const bool topDown = height < 0;
    if (topDown) height = -height;
    if (width <= 0 || height <= 0 || width > kMaxJpegSide || height > kMaxJpegSide || width * height > kMaxJpegPixels)
        return fail("the BMP picture has no acceptable size");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return fail("bad BMP pixel size");
    constexpr uint32_t kRle8 = 1, kRle4 = 2;
    const bool plain = compression == kBiRgb || (compression == kBiBitfields && (bits == 16 || bits == 32));
    const bool runs = (compression == kRle8 && bits == 8) || (compression == kRle4 && bits == 4);
    if (!plain && !(runs && !topDown)) return fail("unsupported BMP compression");
    const uint64_t colours = used != 0 ? used : (bits <= 8 ? uint64_t{1} << bits : 0);
    if (colours > (bits <= 8 ? uint64_t{1} << bits : 256)) return fail("bad BMP colour table");
    const uint64_t masks = compression == kBiBitfields && headerSize == 40 ? 12 : 0;
    const uint64_t tableEnd = infoAt + uint64_t{headerSize} + masks + colours * (headerSize == 12 ? 3 : 4);
    if (bitsAt == kNoOffset) bitsAt = tableEnd;
    if (tableEnd > b.size() || bitsAt > b.size()) return fail("the BMP file is cut short");
    if (plain) {
        const uint64_t stride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
        if (stride * static_cast<uint64_t>(height) > b.size() - bitsAt) return fail("the BMP file is cut short");
    } else if (!RunsEnd(b, static_cast<size_t>(bitsAt), bits == 4)) {
        return fail("the BMP file is cut short");
    }
    return true;
}

}  // namespace

bool CheckBitmapFile(const std::string& b, std::string& error) {
    if (b.size() < 26 || b[0] != 'B' || b[1] != 'M') {
        error = "not a BMP file";
        return false;
    }
    return CheckDib(b, 14, U32(b, 10), error);
}

bool CheckPackedDib(const std::string& b, std::string& error) { return CheckDib(b, 0, kNoOffset, error); }

bool CheckEnhancedMetafile(const std::string& bytes, std::string& error) {
    auto fail = [&](const char* why) {
        error = std::string("damaged metafile: ") + why;
        return false;
    };
    if (bytes.size() < 88 || U32(bytes, 0) != kEmrHeader || U32(bytes, 40) != 0x464D4520) return fail("no header");
    const uint32_t headerSize = U32(bytes, 4), total = U32(bytes, 48), handles = U16(bytes, 56);
    if (headerSize < 88 || headerSize % 4 != 0 || headerSize > bytes.size()) return fail("bad header size");
    if (total < headerSize || total > bytes.size()) return fail("bad file size");
    const uint32_t descriptionChars = U32(bytes, 60), descriptionAt = U32(bytes, 64);
    if (descriptionChars > 0 && (descriptionAt > headerSize || uint64_t{descriptionChars} * 2 > headerSize - descriptionAt))
        return fail("description outside the header");
    if (handles == 0) return fail("no object table");
    size_t at = 0;
    uint32_t depth = 0;
    for (;;) {
        if (at + 8 > total) return fail("no end record");
        const uint32_t type = U32(bytes, at), size = U32(bytes, at + 4);
        if (size < 8 || size % 4 != 0 || size > total - at) return fail("record outside the file");
        if (at == 0 && type != kEmrHeader) return fail("no header");
        if (at > 0) {
            if (type == kEmrHeader) return fail("second header");
            const TRecord record{bytes, at, size};
            if (const char* why = CheckEmfRecord(record, type, handles, depth)) return fail(why);
        }
        if (type == kEmrEof) return true;
        at += size;
    }
}

bool CheckWindowsMetafile(const std::string& bytes, size_t offset, std::string& error) {
    auto fail = [&](const char* why) {
        error = std::string("damaged metafile: ") + why;
        return false;
    };
    if (offset > bytes.size() || bytes.size() - offset < 18) return fail("no header");
    const uint32_t type = U16(bytes, offset), headerWords = U16(bytes, offset + 2);
    if ((type != 1 && type != 2) || headerWords != 9) return fail("no header");
    const uint32_t objects = U16(bytes, offset + 10);
    const size_t total = bytes.size() - offset;
    size_t at = 18;
    uint32_t depth = 0;
    for (;;) {
        if (at + 6 > total) return fail("no end record");
        const uint64_t size = uint64_t{U32(bytes, offset + at)} * 2;
        const uint32_t function = U16(bytes, offset + at + 4);
        if (function == 0) return true;
        if (size < 6 || size > total - at) return fail("record outside the file");
        const TRecord record{bytes, offset + at, static_cast<size_t>(size)};
        if (const char* why = CheckWmfRecord(record, function, objects, depth)) return fail(why);
        at += static_cast<size_t>(size);
    }
}

bool CheckConvertedMetafile(const std::string& bytes, std::string& error) {
    if (!CheckWindowsMetafile(bytes, 0, error)) return false;
    // META_ESCAPE records with MFCOMMENT and the "WMFC" identifier carry the enhanced
    // metafile in pieces, each after 38 bytes of fields.
    constexpr uint32_t kEscape = 0x0626, kComment = 15, kIdentifier = 0x43464D57;
    std::string embedded;
    size_t at = 18;
    while (at + 6 <= bytes.size()) {
        const size_t size = size_t{U32(bytes, at)} * 2;
        const uint32_t function = U16(bytes, at + 4);
        if (function == 0) break;
        if (function == kEscape && size >= 44 && U16(bytes, at + 6) == kComment && U32(bytes, at + 10) == kIdentifier) {
            const uint32_t piece = U32(bytes, at + 32);
            if (piece > size - 44) {
                error = "damaged metafile: embedded picture outside its record";
                return false;
            }
            embedded.append(bytes, at + 44, piece);
        }
        at += size;
    }
    return embedded.empty() || CheckEnhancedMetafile(embedded, error);
}
