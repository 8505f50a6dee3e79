#include "tools/OleBuilder.h"

#include <algorithm>
#include <cctype>
#include <numeric>
#include <stdexcept>

#include "model/OleStream.h"

const TClsid kPictureObjectClsid = {0x0E, 0x1F, 0x2B, 0x6A, 0xC4, 0x53, 0x8D, 0x4E,
                                    0x9B, 0x7A, 0x2C, 0x1D, 0x0E, 0x5F, 0x4A, 0x31};

namespace {

constexpr uint32_t kFreeSector = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFatSector = 0xFFFFFFFD;
constexpr uint32_t kDifatSector = 0xFFFFFFFC;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
constexpr size_t kHeaderDifat = 109;
constexpr uint32_t kPerSector = kCompoundSector / 4;

void PutLe16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void PutLe32(std::string& out, uint32_t v) {
    PutLe16(out, v & 0xFFFF);
    PutLe16(out, v >> 16);
}
uint32_t GetLe16(const std::string& b, size_t at) {
    return static_cast<uint8_t>(b[at]) | static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8;
}
uint32_t GetLe32(const std::string& b, size_t at) { return GetLe16(b, at) | GetLe16(b, at + 2) << 16; }

size_t Units(size_t bytes, size_t unit) { return (bytes + unit - 1) / unit; }

// Appends `data` as a chain of units to `pool`, linking them in `table`; the first unit's number.
uint32_t AddChain(std::string& pool, std::vector<uint32_t>& table, const std::string& data, size_t unit) {
    if (data.empty()) return kEndOfChain;
    const auto first = static_cast<uint32_t>(table.size());
    const size_t count = Units(data.size(), unit);
    for (size_t k = 0; k < count; ++k) table.push_back(k + 1 < count ? first + static_cast<uint32_t>(k) + 1 : kEndOfChain);
    pool += data;
    pool.resize(pool.size() + (count * unit - data.size()), '\0');
    return first;
}

std::string TableBytes(const std::vector<uint32_t>& table) {
    std::string out;
    for (uint32_t v : table) PutLe32(out, v);
    return out;
}

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// Siblings in a storage are ordered by name length first, then by upper-cased characters.
bool NameLess(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return a.size() < b.size();
    for (size_t i = 0; i < a.size(); ++i) {
        if (Upper(a[i]) != Upper(b[i])) return Upper(a[i]) < Upper(b[i]);
    }
    return false;
}

struct TNode {
    uint32_t Left = kNoStream, Right = kNoStream;
    uint8_t Colour = 1;  // black
};

// A balanced tree over the sorted entries: every level but the last is full, so painting
// the last level red (when it is not full) keeps the red-black rules.
uint32_t BuildTree(const std::vector<uint32_t>& sorted, int lo, int hi, int depth, int redDepth,
                   std::vector<TNode>& nodes) {
    if (lo > hi) return kNoStream;
    const int mid = lo + (hi - lo + 1) / 2;
    const uint32_t id = sorted[static_cast<size_t>(mid)];
    nodes[id].Left = BuildTree(sorted, lo, mid - 1, depth + 1, redDepth, nodes);
    nodes[id].Right = BuildTree(sorted, mid + 1, hi, depth + 1, redDepth, nodes);
    nodes[id].Colour = depth >= redDepth ? 0 : 1;
    return id;
}

std::string DirectoryEntry(const std::u16string& name, uint8_t type, const TNode& node, uint32_t child,
                           const TClsid* clsid, uint32_t start, uint32_t size) {
    std::string e;
    for (char16_t c : name) PutLe16(e, c);
    e.resize(64, '\0');
    PutLe16(e, name.empty() ? 0 : static_cast<uint32_t>((name.size() + 1) * 2));
    e += static_cast<char>(type);
    e += static_cast<char>(node.Colour);
    PutLe32(e, node.Left);
    PutLe32(e, node.Right);
    PutLe32(e, child);
    if (clsid) {
        e.append(reinterpret_cast<const char*>(clsid->data()), clsid->size());
    } else {
        e.append(16, '\0');
    }
    e.append(4 + 8 + 8, '\0');  // state bits, creation and modification times
    PutLe32(e, start);
    PutLe32(e, size);
    PutLe32(e, 0);
    return e;
}

}  // namespace

std::string BuildCompoundFile(const TClsid& rootClsid, const std::vector<TCompoundStream>& streams) {
    const size_t n = streams.size();
    for (const TCompoundStream& s : streams) {
        if (s.Name.empty() || s.Name.size() > kCompoundMaxName) throw std::invalid_argument("bad compound stream name");
    }
    std::vector<uint32_t> start(n, kEndOfChain);
    std::string mini;
    std::vector<uint32_t> miniFat;
    for (size_t i = 0; i < n; ++i) {
        if (streams[i].Data.size() < kCompoundMiniCutoff) start[i] = AddChain(mini, miniFat, streams[i].Data, kCompoundMiniSector);
    }

    std::string body;
    std::vector<uint32_t> fat;
    std::string miniFatBytes = TableBytes(miniFat);
    miniFatBytes.resize(Units(miniFatBytes.size(), kCompoundSector) * kCompoundSector, '\xFF');
    const uint32_t miniFatStart = AddChain(body, fat, miniFatBytes, kCompoundSector);
    const uint32_t miniStreamStart = AddChain(body, fat, mini, kCompoundSector);
    for (size_t i = 0; i < n; ++i) {
        if (streams[i].Data.size() >= kCompoundMiniCutoff) start[i] = AddChain(body, fat, streams[i].Data, kCompoundSector);
    }

    std::vector<uint32_t> sorted(n);
    std::iota(sorted.begin(), sorted.end(), 1u);
    std::sort(sorted.begin(), sorted.end(),
              [&](uint32_t a, uint32_t b) { return NameLess(streams[a - 1].Name, streams[b - 1].Name); });
    int fullLevels = 0;
    while ((size_t{2} << fullLevels) - 1 <= n) ++fullLevels;
    std::vector<TNode> nodes(n + 1);
    const uint32_t top = BuildTree(sorted, 0, static_cast<int>(n) - 1, 0, fullLevels, nodes);

    std::string directory = DirectoryEntry(u"Root Entry", 5, TNode(), top, &rootClsid, miniStreamStart,
                                           static_cast<uint32_t>(mini.size()));
    for (size_t i = 0; i < n; ++i) {
        directory += DirectoryEntry(streams[i].Name, 2, nodes[i + 1], kNoStream, nullptr, start[i],
                                    static_cast<uint32_t>(streams[i].Data.size()));
    }
    while (directory.size() % kCompoundSector != 0) directory += DirectoryEntry(u"", 0, TNode{kNoStream, kNoStream, 0}, kNoStream, nullptr, 0, 0);
    const uint32_t directoryStart = AddChain(body, fat, directory, kCompoundSector);

    // The allocation table covers its own sectors and those of the table's extension.
    const size_t dataSectors = fat.size();
    size_t fatSectors = 1, difatSectors = 0;
    for (;;) {
        difatSectors = fatSectors > kHeaderDifat ? Units(fatSectors - kHeaderDifat, kPerSector - 1) : 0;
        if (fatSectors * kPerSector >= dataSectors + fatSectors + difatSectors) break;
        ++fatSectors;
    }
    const auto fatStart = static_cast<uint32_t>(dataSectors);
    const auto difatStart = static_cast<uint32_t>(dataSectors + fatSectors);
    fat.insert(fat.end(), fatSectors, kFatSector);
    fat.insert(fat.end(), difatSectors, kDifatSector);
    fat.resize(fatSectors * kPerSector, kFreeSector);
    body += TableBytes(fat);

    std::vector<uint32_t> difat;
    for (size_t k = kHeaderDifat; k < fatSectors; ++k) {
        difat.push_back(fatStart + static_cast<uint32_t>(k));
        if (difat.size() % kPerSector == kPerSector - 1) {
            const size_t sector = difat.size() / kPerSector + 1;
            difat.push_back(sector < difatSectors ? difatStart + static_cast<uint32_t>(sector) : kEndOfChain);
        }
    }
    if (difatSectors > 0) {
        difat.resize(difatSectors * kPerSector, kFreeSector);
        difat.back() = kEndOfChain;
        body += TableBytes(difat);
    }

    std::string header("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    header.append(16, '\0');
    PutLe16(header, 0x003E);
    PutLe16(header, 0x0003);
    PutLe16(header, 0xFFFE);
    PutLe16(header, 9);  // 512-byte sectors
    PutLe16(header, 6);  // 64-byte mini sectors
    header.append(6, '\0');
    PutLe32(header, 0);  // directory sectors: always 0 in version 3
    PutLe32(header, static_cast<uint32_t>(fatSectors));
    PutLe32(header, directoryStart);
    PutLe32(header, 0);
    PutLe32(header, static_cast<uint32_t>(kCompoundMiniCutoff));
    PutLe32(header, miniFat.empty() ? kEndOfChain : miniFatStart);
    PutLe32(header, static_cast<uint32_t>(Units(miniFat.size() * 4, kCompoundSector)));
    PutLe32(header, difatSectors > 0 ? difatStart : kEndOfChain);
    PutLe32(header, static_cast<uint32_t>(difatSectors));
    for (size_t k = 0; k < kHeaderDifat; ++k) PutLe32(header, k < fatSectors ? fatStart + static_cast<uint32_t>(k) : kFreeSector);
    header.resize(kCompoundSector, '\0');
    return header + body;
}

int32_t PixelsToHimetric(int32_t pixels) {
    const int64_t scaled = int64_t{pixels} * 2540;
    int64_t q = scaled / 96, r = scaled % 96;
    if (2 * r > 96 || (2 * r == 96 && q % 2 != 0)) ++q;
    return static_cast<int32_t>(q);
}

std::vector<TCompoundStream> PictureObjectStreams(const TRawImage& image) {
    // Version 2 of the object stream, an embedded object with no moniker.
    std::string ole;
    PutLe32(ole, 0x02000001);
    ole.append(16, '\0');

    std::string compObj;
    PutLe32(compObj, 0xFFFE0001);
    PutLe32(compObj, 0x00000A03);
    PutLe32(compObj, 0xFFFFFFFF);
    compObj.append(reinterpret_cast<const char*>(kPictureObjectClsid.data()), kPictureObjectClsid.size());
    const std::string userType = "Picture";
    PutLe32(compObj, static_cast<uint32_t>(userType.size() + 1));
    compObj += userType;
    compObj += '\0';
    PutLe32(compObj, 0);  // no clipboard format
    PutLe32(compObj, 0);  // no program id
    PutLe32(compObj, 0x71B239F4);
    PutLe32(compObj, 0);
    PutLe32(compObj, 0);
    PutLe32(compObj, 0);

    const uint32_t stride = (static_cast<uint32_t>(image.Width) * 3 + 3) & ~3u;
    std::string dib;
    PutLe32(dib, 40);
    PutLe32(dib, static_cast<uint32_t>(image.Width));
    PutLe32(dib, static_cast<uint32_t>(image.Height));
    PutLe16(dib, 1);
    PutLe16(dib, 24);
    PutLe32(dib, 0);
    PutLe32(dib, stride * static_cast<uint32_t>(image.Height));
    PutLe32(dib, 3780);  // 96 per inch
    PutLe32(dib, 3780);
    PutLe32(dib, 0);
    PutLe32(dib, 0);
    dib.reserve(dib.size() + size_t{stride} * image.Height);
    for (int32_t y = image.Height - 1; y >= 0; --y) {
        const uint8_t* row = image.Bgra.data() + static_cast<size_t>(y) * image.Width * 4;
        const size_t rowStart = dib.size();
        for (int32_t x = 0; x < image.Width; ++x) dib.append(reinterpret_cast<const char*>(row + x * 4), 3);
        dib.resize(rowStart + stride, '\0');
    }

    std::string presentation;
    PutLe32(presentation, 0xFFFFFFFF);  // a standard clipboard format follows
    PutLe32(presentation, kClipboardDib);
    PutLe32(presentation, 4);  // target device: none, just its own size field
    PutLe32(presentation, kDrawAspectContent);
    PutLe32(presentation, 0xFFFFFFFF);  // lindex -1
    PutLe32(presentation, 2);           // ADVF_PRIMEFIRST
    PutLe32(presentation, 0);
    PutLe32(presentation, static_cast<uint32_t>(PixelsToHimetric(image.Width)));
    PutLe32(presentation, static_cast<uint32_t>(PixelsToHimetric(image.Height)));
    PutLe32(presentation, static_cast<uint32_t>(dib.size()));
    presentation += dib;

    return {{u"\u0001Ole", ole}, {u"\u0001CompObj", compObj}, {u"\u0002OlePres000", presentation}};
}

std::string BuildPictureObjectStorage(const TRawImage& image) {
    return BuildCompoundFile(kPictureObjectClsid, PictureObjectStreams(image));
}

bool DecodeBmp(const std::string& bytes, TRawImage& image, std::string& error) {
    image = TRawImage();
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M' || GetLe32(bytes, 14) < 40) {
        error = "not a BMP file with a Windows 3 header";
        return false;
    }
    const auto width = static_cast<int32_t>(GetLe32(bytes, 18));
    const auto rawHeight = static_cast<int32_t>(GetLe32(bytes, 22));
    const uint32_t bits = GetLe16(bytes, 28), compression = GetLe32(bytes, 30), offset = GetLe32(bytes, 10);
    if (!(bits == 24 && compression == 0) && !(bits == 32 && (compression == 0 || compression == 3))) {
        error = "only uncompressed 24-bit and 32-bit BMP files are taken";
        return false;
    }
    const int64_t height = rawHeight < 0 ? -int64_t{rawHeight} : rawHeight;
    if (width <= 0 || height <= 0 || width > kMaxJpegSide || height > kMaxJpegSide || int64_t{width} * height > kMaxJpegPixels) {
        error = "the BMP picture has no acceptable size";
        return false;
    }
    const size_t bytesPerPixel = bits / 8;
    const size_t stride = (static_cast<size_t>(width) * bytesPerPixel + 3) & ~size_t{3};
    if (offset > bytes.size() || (bytes.size() - offset) / stride < static_cast<size_t>(height)) {
        error = "the BMP file is cut short";
        return false;
    }
    image.Width = width;
    image.Height = static_cast<int32_t>(height);
    image.Bgra.resize(static_cast<size_t>(width) * image.Height * 4);
    for (int32_t y = 0; y < image.Height; ++y) {
        const size_t fileRow = rawHeight < 0 ? static_cast<size_t>(y) : static_cast<size_t>(image.Height - 1 - y);
        const char* src = bytes.data() + offset + fileRow * stride;
        uint8_t* dst = image.Bgra.data() + static_cast<size_t>(y) * width * 4;
        for (int32_t x = 0; x < width; ++x) {
            dst[x * 4] = static_cast<uint8_t>(src[x * bytesPerPixel]);
            dst[x * 4 + 1] = static_cast<uint8_t>(src[x * bytesPerPixel + 1]);
            dst[x * 4 + 2] = static_cast<uint8_t>(src[x * bytesPerPixel + 2]);
            dst[x * 4 + 3] = 0xFF;
        }
    }
    return true;
}

bool LoadPictureForObject(const TPath& file, TRawImage& image, std::string& error) {
    TBinaryFile in;
    uint64_t size = 0;
    if (!in.OpenRead(file) || !in.Size(size)) {
        error = "cannot open " + file.u8string();
        return false;
    }
    if (size > (uint64_t{1} << 30)) {
        error = "the picture file is too large";
        return false;
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    if (size > 0 && !in.ReadExact(&bytes[0], bytes.size())) {
        error = "cannot read " + file.u8string();
        return false;
    }
    std::string ext = file.extension().u8string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".bmp") return DecodeBmp(bytes, image, error);
    if (ext == ".jpg" || ext == ".jpeg") return DecodeJpeg(bytes, image, error);
    error = "the picture must be a .bmp, .jpg or .jpeg file";
    return false;
}

bool MakePictureObjectFile(const TPath& picture, std::string& bytes, std::string& error) {
    TRawImage image;
    if (!LoadPictureForObject(picture, image, error)) return false;
    bytes = MakeOleStream(kDrawAspectContent, BuildPictureObjectStorage(image));
    return true;
}
