#include "tools/AttachCheck.h"

#include <cstdint>
#include <string_view>

#include "model/JpegImage.h"
#include "model/OleStream.h"
#include "model/PictureCheck.h"
#include "model/TestData.h"

namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr size_t kPlaceableHeaderSize = 22;
constexpr size_t kMediaHeaderSize = 16;

bool StartsWith(const std::string& bytes, std::string_view prefix, size_t at = 0) {
    return bytes.size() >= at + prefix.size() && std::string_view(bytes).substr(at, prefix.size()) == prefix;
}

bool Riff(const std::string& bytes, std::string_view form) { return StartsWith(bytes, "RIFF") && StartsWith(bytes, form, 8); }

uint32_t Le32(const std::string& b, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(b[at + i])) << (8 * i);
    return v;
}

bool MpegAudio(const std::string& bytes) {
    if (StartsWith(bytes, "ID3")) return true;
    return bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF && (static_cast<uint8_t>(bytes[1]) & 0xE0) == 0xE0;
}

bool Media(bool ok, const char* what, std::string& reason) {
    if (!ok) reason = std::string("not ") + what;
    return ok;
}

}  // namespace

bool CheckAttachmentBytes(const std::string& e, const std::string& bytes, std::string& reason) {
    if (e == "JPG") {
        TRawImage image;
        TJpegSize natural;
        // The smallest scale: every byte is still read and checked, little is drawn.
        return DecodeJpegForSize(bytes, 1, 1, image, natural, reason);
    }
    if (e == "BMP") return CheckBitmapFile(bytes, reason);
    if (e == "EMF") return CheckEnhancedMetafile(bytes, reason);
    if (e == "WMF") {
        const bool placeable = bytes.size() >= kPlaceableHeaderSize && Le32(bytes, 0) == kPlaceableKey;
        return CheckWindowsMetafile(bytes, placeable ? kPlaceableHeaderSize : 0, reason);
    }
    if (e == "OLE" || e == "FME") {
        TOleStream stream;
        if (!ParseOleStream(bytes, stream, reason)) return false;
        if (stream.Storage.empty()) {
            reason = "the object's storage is empty";
            return false;
        }
        return CheckCompoundFile(stream.Storage, reason);
    }
    if (e == "WAV") return Media(Riff(bytes, "WAVE"), "a WAVE sound (no RIFF WAVE header)", reason);
    if (e == "AVI") return Media(Riff(bytes, "AVI "), "an AVI video (no RIFF AVI header)", reason);
    if (e == "MID") return Media(StartsWith(bytes, "MThd"), "a MIDI file (no MThd header)", reason);
    if (e == "RMI") return Media(Riff(bytes, "RMID"), "a RIFF MIDI file (no RIFF RMID header)", reason);
    if (e == "MP1" || e == "MP2" || e == "MP3") {
        return Media(MpegAudio(bytes), "an MPEG sound (no ID3 tag or frame header)", reason);
    }
    if (e == "MPG") {
        return Media(StartsWith(bytes, std::string_view("\0\0\1\xBA", 4)) || StartsWith(bytes, std::string_view("\0\0\1\xB3", 4)),
                     "an MPEG video (no pack or sequence header)", reason);
    }
    if (e == "WMA") {
        static const char kAsf[] = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C";
        return Media(StartsWith(bytes, std::string_view(kAsf, 16)), "a Windows Media sound (no ASF header)", reason);
    }
    return true;
}

bool CheckAttachmentFile(const TPath& file, const std::string& extension, std::string& reason) {
    TBinaryFile in;
    uint64_t size = 0;
    if (!in.OpenRead(file) || !in.Size(size)) {
        reason = "the file cannot be read";
        return false;
    }
    const TAttachKind kind = GetAttachKind("A." + extension);
    const bool media = kind == akSound || kind == akVideo;
    std::string bytes(static_cast<size_t>(media && size > kMediaHeaderSize ? kMediaHeaderSize : size), '\0');
    if (!in.ReadExact(bytes.data(), bytes.size())) {
        reason = "the file cannot be read";
        return false;
    }
    return CheckAttachmentBytes(extension, bytes, reason);
}
