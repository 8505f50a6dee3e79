#include "app/Payload.h"

#include <stdexcept>

#include "model/FileUtils.h"
#include "model/TextUtils.h"

namespace {

constexpr uint64_t kTrailerSize = 6;
constexpr uint64_t kPageSize = 4096;

// Reads fields one after another from [position, end) of the file; any field that would
// cross `end` fails the whole read.
class TFieldReader {
public:
    TFieldReader(TBinaryFile& file, uint64_t position, uint64_t end) : file_(file), position_(position), end_(end) {}

    bool Bytes(size_t count, std::string& out) {
        if (count > end_ - position_) return false;
        out.assign(count, '\0');
        if (count > 0 && (!file_.Seek(position_) || !file_.ReadExact(&out[0], count))) return false;
        position_ += count;
        return true;
    }
    bool U32(uint32_t& value) {
        std::string bytes;
        if (!Bytes(4, bytes)) return false;
        value = ReadBigEndian32(bytes);
        return true;
    }
    bool I32(int32_t& value) {
        uint32_t raw;
        if (!U32(raw)) return false;
        value = static_cast<int32_t>(raw);
        return true;
    }
    bool U8(uint8_t& value) {
        std::string bytes;
        if (!Bytes(1, bytes)) return false;
        value = static_cast<uint8_t>(bytes[0]);
        return true;
    }
    bool Flag(bool& value) {
        uint8_t raw;
        if (!U8(raw)) return false;
        value = raw != 0;
        return true;
    }
    bool String32(std::string& value) {
        uint32_t length;
        return U32(length) && Bytes(length, value);
    }
    bool String8(std::string& value) {
        uint8_t length;
        return U8(length) && Bytes(length, value);
    }

private:
    TBinaryFile& file_;
    uint64_t position_;
    uint64_t end_;
};

bool ReadSettings(TFieldReader& in, TPayloadInfo& info) {
    return in.String32(info.InfoText) && in.String8(info.ExtraFieldCaption) && in.I32(info.MaxScore) &&
           in.I32(info.QuestionFontSize) && in.I32(info.AnswerFontSize) && in.U8(info.EffectSteps) &&
           in.Flag(info.ShowMark) && in.String32(info.PasswordTail) && in.I32(info.LimitSeconds) &&
           in.Flag(info.LimitWholeTest) && in.Flag(info.NoLimitForInput) && in.I32(info.QuestionsPerTest) &&
           in.Flag(info.SequentialOrder) && in.Flag(info.KeepAnswerOrder) && in.I32(info.ShowRightAnswer) &&
           in.I32(info.SkipsAllowed);
}

void PutU32(std::string& out, uint32_t value) {
    out += static_cast<char>(value >> 24);
    out += static_cast<char>(value >> 16);
    out += static_cast<char>(value >> 8);
    out += static_cast<char>(value);
}

void PutString32(std::string& out, const std::string& text) {
    if (text.size() > 0xFFFFFFFFu) throw std::invalid_argument("text too long for the payload");
    PutU32(out, static_cast<uint32_t>(text.size()));
    out += text;
}

}  // namespace

void ReadPayload(const TPath& exePath, TPayloadInfo& info) {
    info = TPayloadInfo();
    TBinaryFile exe;
    uint64_t size = 0;
    if (!exe.OpenRead(exePath) || !exe.Size(size) || size < kTrailerSize) return;

    TFieldReader trailer(exe, size - kTrailerSize, size);
    uint32_t payloadLength = 0;
    std::string marker;
    if (!trailer.U32(payloadLength) || !trailer.Bytes(2, marker) || marker != kPayloadMarker) return;
    // The lengths are checked against the file before anything is allocated or written:
    // a damaged trailer reads like no payload at all.
    if (payloadLength > size - kTrailerSize) return;
    const uint64_t start = size - kTrailerSize - payloadLength;
    const uint64_t end = size - kTrailerSize;

    TFieldReader head(exe, start, end);
    uint32_t archiveLength = 0;
    if (!head.U32(archiveLength) || archiveLength > end - start - 4) return;
    const uint64_t archiveStart = start + 4;

    TPayloadInfo read;
    TFieldReader settings(exe, archiveStart + archiveLength, end);
    if (!ReadSettings(settings, read)) return;

    // The name is taken by creating the file: another program (or another copy of this one,
    // its generator seeded in the same instant) may have drawn the same name meanwhile.
    TBinaryFile copy;
    for (int attempt = 0;; ++attempt) {
        read.ArchiveFile = UniqueRandomFileName(GetTempFolder(), ".tmp");
        if (copy.CreateNew(read.ArchiveFile)) break;
        if (attempt == 100 || !PathExists(read.ArchiveFile)) return;
    }
    bool copied = exe.Seek(archiveStart) && TBinaryFile::Copy(exe, copy, archiveLength);
    copy.Close();
    if (!copied) {
        DeleteFileAt(read.ArchiveFile);
        return;
    }
    info = std::move(read);
}

std::string EncodePayloadSettings(const TPayloadInfo& info) {
    if (info.ExtraFieldCaption.size() > 255) {
        throw std::invalid_argument("ExtraFieldCaption is longer than 255 bytes");
    }
    std::string out;
    PutString32(out, info.InfoText);
    out += static_cast<char>(info.ExtraFieldCaption.size());
    out += info.ExtraFieldCaption;
    PutU32(out, static_cast<uint32_t>(info.MaxScore));
    PutU32(out, static_cast<uint32_t>(info.QuestionFontSize));
    PutU32(out, static_cast<uint32_t>(info.AnswerFontSize));
    out += static_cast<char>(info.EffectSteps);
    out += static_cast<char>(info.ShowMark ? 1 : 0);
    PutString32(out, info.PasswordTail);
    PutU32(out, static_cast<uint32_t>(info.LimitSeconds));
    out += static_cast<char>(info.LimitWholeTest ? 1 : 0);
    out += static_cast<char>(info.NoLimitForInput ? 1 : 0);
    PutU32(out, static_cast<uint32_t>(info.QuestionsPerTest));
    out += static_cast<char>(info.SequentialOrder ? 1 : 0);
    out += static_cast<char>(info.KeepAnswerOrder ? 1 : 0);
    PutU32(out, static_cast<uint32_t>(info.ShowRightAnswer));
    PutU32(out, static_cast<uint32_t>(info.SkipsAllowed));
    return out;
}

std::string WritePayloadExe(const TPath& exePath, const TPath& archivePath, const TPayloadInfo& info,
                            const TPath& outPath) {
    std::string settings;
    try {
        settings = EncodePayloadSettings(info);
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
    TBinaryFile exe, archive, out;
    uint64_t exeSize = 0, archiveSize = 0;
    if (!exe.OpenRead(exePath) || !exe.Size(exeSize)) return "cannot read " + exePath.u8string();
    if (!archive.OpenRead(archivePath) || !archive.Size(archiveSize)) return "cannot read " + archivePath.u8string();
    const uint64_t payloadLength = 4 + archiveSize + settings.size();
    if (payloadLength > 0xFFFFFFFFu) return "the archive is too large for a payload";
    if (!out.Create(outPath)) return "cannot create " + outPath.u8string();

    // Zeros after the executable put the archive on a page boundary: copying it out at
    // start-up then runs page to page, markedly faster. Readers find the payload from the
    // trailer, so the padding is simply part of the executable for them.
    std::string head(static_cast<size_t>((kPageSize - (exeSize + 4) % kPageSize) % kPageSize), '\0');
    PutU32(head, static_cast<uint32_t>(archiveSize));
    std::string trailer;
    PutU32(trailer, static_cast<uint32_t>(payloadLength));
    trailer += kPayloadMarker;
    if (!TBinaryFile::Copy(exe, out, exeSize) || !out.Write(head.data(), head.size()) ||
        !TBinaryFile::Copy(archive, out, archiveSize) || !out.Write(settings.data(), settings.size()) ||
        !out.Write(trailer.data(), trailer.size())) {
        out.Close();
        DeleteFileAt(outPath);
        return "cannot write " + outPath.u8string();
    }
    return "";
}
