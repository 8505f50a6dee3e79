#pragma once
// Embedded objects for tests and demos, made without Windows: a compound file holding an
// object of a class registered nowhere, whose only content is its picture, wrapped in the
// player's container stream. OLE serves such an object through its default handler.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/JpegImage.h"
#include "platform/FileSystem.h"

using TClsid = std::array<uint8_t, 16>;

struct TCompoundStream {
    std::u16string Name;  // 1 to kCompoundMaxName characters
    std::string Data;
};

// A compound file (version 3, 512-byte sectors) whose root storage holds the streams and
// names `rootClsid` as its class. Streams under 4096 bytes go into the mini stream.
// Throws std::invalid_argument for a name that does not fit.
std::string BuildCompoundFile(const TClsid& rootClsid, const std::vector<TCompoundStream>& streams);

constexpr size_t kCompoundSector = 512;
constexpr size_t kCompoundMiniSector = 64;
constexpr size_t kCompoundMiniCutoff = 4096;
constexpr size_t kCompoundMaxName = 31;

// {6A2B1F0E-53C4-4E8D-9B7A-2C1D0E5F4A31}, in the byte order a storage keeps it.
extern const TClsid kPictureObjectClsid;
constexpr uint32_t kDrawAspectContent = 1;  // DVASPECT_CONTENT
constexpr uint32_t kClipboardDib = 8;       // CF_DIB

// 0.01 mm from pixels at 96 per inch, halves to even.
int32_t PixelsToHimetric(int32_t pixels);

// The streams of the object's storage: "\1Ole", "\1CompObj" and the presentation
// "\2OlePres000" holding the picture as a packed 24-bit DIB.
std::vector<TCompoundStream> PictureObjectStreams(const TRawImage& image);
std::string BuildPictureObjectStorage(const TRawImage& image);

// A BMP (24 or 32 bits per pixel, uncompressed) as top-down BGRA pixels.
bool DecodeBmp(const std::string& bytes, TRawImage& image, std::string& error);
// BMP or JPEG by the file's extension.
bool LoadPictureForObject(const TPath& file, TRawImage& image, std::string& error);
// The bytes of an .ole / .fme attachment showing the picture.
bool MakePictureObjectFile(const TPath& picture, std::string& bytes, std::string& error);
