#include "archive/ZipArchive.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>

#include "archive/EntryName.h"
#include "model/Codepage.h"
#include "model/FileUtils.h"
#include "model/Random.h"

const char kUnknownMethodText[] = "Unknown Compression Method";
const char kZipErrorCaption[] = "Zip Error";

namespace {

TZipSignatures& CurrentSignatures() {
    static TZipSignatures signatures;
    return signatures;
}

// Every read and write of entry data goes through blocks of this size, whatever the sizes
// in the headers say.
constexpr size_t kBlockSize = 64 * 1024;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndRecordSize = 22;
// The end record with the longest comment it can announce.
constexpr size_t kEndSearchSize = kEndRecordSize + 0xFFFF;
constexpr size_t kEncryptionHeaderSize = 12;
// Self-extracting executables keep their own code in front of the archive.
constexpr uint64_t kExeScanStart = 14000;
constexpr size_t kMaxEntries = 0xFFFF;
constexpr uint64_t kMaxOffset = 0xFFFFFFFF;
constexpr uint64_t kDataDescriptorSize = 16;

constexpr uint16_t kFlagEncrypted = 0x01;
constexpr uint16_t kFlagDeflateOption = 0x04;
constexpr uint16_t kFlagDataDescriptor = 0x08;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr uint16_t kVersion = 20;  // host byte 0: MS-DOS, names in the OEM code page

constexpr uint16_t kDosFirstDate = (1 << 5) | 1;  // 1980-01-01

uint16_t Get16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t Get32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void Put16(std::string& out, uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// Reads through one fixed buffer. A seek inside the buffered window costs nothing, so walking
// headers and scanning for a signature take few system calls.
class TFileReader {
public:
    TFileReader(TBinaryFile& file, uint64_t size) : file_(file), size_(size), buffer_(kBlockSize) {}

    uint64_t Size() const { return size_; }
    void Seek(uint64_t position) { position_ = position; }

    // Exactly `count` bytes or false; never past the end of the file.
    bool Read(void* out, size_t count) {
        if (position_ > size_ || count > size_ - position_) return false;
        auto* dest = static_cast<unsigned char*>(out);
        while (count > 0) {
            if (!Fill(1)) return false;
            size_t offset = static_cast<size_t>(position_ - start_);
            size_t n = std::min(count, length_ - offset);
            std::memcpy(dest, buffer_.data() + offset, n);
            dest += n;
            count -= n;
            position_ += n;
        }
        return true;
    }

    bool ReadString(std::string& out, size_t count) {
        if (position_ > size_ || count > size_ - position_) return false;
        out.resize(count);
        return count == 0 || Read(&out[0], count);
    }

    // The first position at or after `from` where the four bytes of `signature` start.
    bool Find(uint32_t signature, uint64_t from, uint64_t& at) {
        unsigned char wanted[4];
        for (int i = 0; i < 4; ++i) wanted[i] = static_cast<unsigned char>(signature >> (8 * i));
        uint64_t position = from;
        while (position <= size_ && size_ - position >= 4) {
            position_ = position;
            if (!Fill(kBlockSize)) return false;
            const unsigned char* p = buffer_.data() + (position - start_);
            size_t available = length_ - static_cast<size_t>(position - start_);
            for (size_t i = 0; i + 4 <= available; ++i) {
                if (p[i] == wanted[0] && std::memcmp(p + i, wanted, 4) == 0) {
                    at = position + i;
                    return true;
                }
            }
            // The last three bytes may begin a signature that continues in the next block.
            position += available - 3;
        }
        return false;
    }

private:
    // At least min(want, bytes left) bytes buffered from the current position.
    bool Fill(size_t want) {
        want = static_cast<size_t>(std::min<uint64_t>(want, size_ - position_));
        if (position_ >= start_ && position_ - start_ <= length_ && length_ - (position_ - start_) >= want &&
            length_ > 0) {
            return true;
        }
        length_ = 0;
        start_ = position_;
        if (!file_.Seek(position_)) return false;
        size_t n = static_cast<size_t>(std::min<uint64_t>(kBlockSize, size_ - position_));
        length_ = file_.Read(buffer_.data(), n);
        return length_ >= want && length_ > 0;
    }

    TBinaryFile& file_;
    uint64_t size_;
    std::vector<unsigned char> buffer_;
    uint64_t start_ = 0;
    size_t length_ = 0;
    uint64_t position_ = 0;
};

// The traditional PKWARE encryption: three keys stirred by every plain byte.
class TZipCrypto {
public:
    explicit TZipCrypto(const std::string& password) : table_(get_crc_table()) {
        for (char c : password) Update(static_cast<unsigned char>(c));
    }

    void Decrypt(unsigned char* p, size_t count) {
        uint32_t k0 = k0_, k1 = k1_, k2 = k2_;
        for (size_t i = 0; i < count; ++i) {
            uint32_t t = (k2 & 0xFFFF) | 2;
            unsigned char c = static_cast<unsigned char>(p[i] ^ ((t * (t ^ 1)) >> 8));
            p[i] = c;
            k0 = static_cast<uint32_t>(table_[(k0 ^ c) & 0xFF]) ^ (k0 >> 8);
            k1 = (k1 + (k0 & 0xFF)) * 134775813u + 1;
            k2 = static_cast<uint32_t>(table_[(k2 ^ (k1 >> 24)) & 0xFF]) ^ (k2 >> 8);
        }
        k0_ = k0;
        k1_ = k1;
        k2_ = k2;
    }

    void Encrypt(unsigned char* p, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            uint32_t t = (k2_ & 0xFFFF) | 2;
            unsigned char plain = p[i];
            p[i] = static_cast<unsigned char>(plain ^ ((t * (t ^ 1)) >> 8));
            Update(plain);
        }
    }

private:
    void Update(unsigned char c) {
        k0_ = static_cast<uint32_t>(table_[(k0_ ^ c) & 0xFF]) ^ (k0_ >> 8);
        k1_ = (k1_ + (k0_ & 0xFF)) * 134775813u + 1;
        k2_ = static_cast<uint32_t>(table_[(k2_ ^ (k1_ >> 24)) & 0xFF]) ^ (k2_ >> 8);
    }

    const z_crc_t* table_;
    uint32_t k0_ = 0x12345678;
    uint32_t k1_ = 0x23456789;
    uint32_t k2_ = 0x34567890;
};

uint32_t Crc32(uint32_t crc, const unsigned char* p, size_t count) {
    return static_cast<uint32_t>(crc32(crc, p, static_cast<uInt>(count)));
}

class TInflater {
public:
    TInflater() { ok_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
    ~TInflater() {
        if (ok_) inflateEnd(&stream_);
    }
    TInflater(const TInflater&) = delete;
    TInflater& operator=(const TInflater&) = delete;
    bool Ok() const { return ok_; }
    z_stream& Stream() { return stream_; }

private:
    z_stream stream_{};
    bool ok_ = false;
};

class TDeflater {
public:
    explicit TDeflater(int level) {
        ok_ = deflateInit2(&stream_, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~TDeflater() {
        if (ok_) deflateEnd(&stream_);
    }
    TDeflater(const TDeflater&) = delete;
    TDeflater& operator=(const TDeflater&) = delete;
    bool Ok() const { return ok_; }
    z_stream& Stream() { return stream_; }

private:
    z_stream stream_{};
    bool ok_ = false;
};

// Where decoded bytes go: a file in the destination folder or a string.
class TOutput {
public:
    virtual ~TOutput() = default;
    virtual bool Open() = 0;
    virtual bool Write(const unsigned char* data, size_t count) = 0;
};

// The file is deleted unless Commit is reached: a failed or interrupted entry leaves nothing.
class TFileOutput : public TOutput {
public:
    explicit TFileOutput(TPath path) : path_(std::move(path)) {}
    ~TFileOutput() override { Discard(); }
    TFileOutput(const TFileOutput&) = delete;
    TFileOutput& operator=(const TFileOutput&) = delete;

    bool Open() override {
        ClearReadOnly(path_);
        created_ = file_.Create(path_);
        return created_;
    }
    bool Write(const unsigned char* data, size_t count) override { return file_.Write(data, count); }
    void Commit() {
        file_.Close();
        created_ = false;
    }
    void Discard() {
        file_.Close();
        if (created_) DeleteFileAt(path_);
        created_ = false;
    }

private:
    TPath path_;
    TBinaryFile file_;
    bool created_ = false;
};

class TStringOutput : public TOutput {
public:
    explicit TStringOutput(std::string& data) : data_(data) {}
    bool Open() override {
        data_.clear();
        return true;
    }
    bool Write(const unsigned char* data, size_t count) override {
        data_.append(reinterpret_cast<const char*>(data), count);
        return true;
    }

private:
    std::string& data_;
};

enum class TDecodeResult { Ok, UnknownMethod, WrongPassword, Damaged, BadCrc, BadData, TooLarge, CannotWrite };

// A file that cannot become an entry; the archive stays as it was before the attempt.
struct TEntrySkipped {
    std::string reason;
};

std::string DisplayName(const std::string& raw, uint8_t host) {
    std::string name = host == 0 ? Cp866ToCp1251(raw) : raw;
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

std::string BareName(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The output path is always the destination folder plus the bare name, so a name that could
// reach anywhere else is refused before any file is touched.
bool IsSafeName(const std::string& name, std::string& reason) {
    if (name.empty()) {
        reason = "the entry has no name";
    } else if (name.find_first_of("\\/") != std::string::npos) {
        reason = "the name contains a folder";
    } else if (name.find(':') != std::string::npos) {
        reason = "the name contains a drive or a stream";
    } else if (name.find_first_not_of(". ") == std::string::npos) {
        reason = "the name refers to a folder";
    } else if (std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
        reason = "the name contains control characters";
    } else if (IsDeviceName(name, TDeviceStem::SpacesTrimmed)) {
        reason = "the name is a device";
    } else {
        return true;
    }
    return false;
}

std::string LocalHeader(const TZipEntry& entry) {
    std::string h;
    h.reserve(kLocalHeaderSize + entry.RawName.size());
    Put32(h, CurrentSignatures().Local);
    Put16(h, entry.VersionNeeded);
    Put16(h, entry.Flags);
    Put16(h, entry.Method);
    Put16(h, entry.Time);
    Put16(h, entry.Date);
    Put32(h, entry.Crc);
    Put32(h, entry.CompressedSize);
    Put32(h, entry.UncompressedSize);
    Put16(h, static_cast<uint32_t>(entry.RawName.size()));
    Put16(h, 0);
    h += entry.RawName;
    return h;
}

void AppendCentralHeader(std::string& out, const TZipEntry& entry) {
    Put32(out, CurrentSignatures().Central);
    Put16(out, entry.VersionMadeBy);
    Put16(out, entry.VersionNeeded);
    Put16(out, entry.Flags);
    Put16(out, entry.Method);
    Put16(out, entry.Time);
    Put16(out, entry.Date);
    Put32(out, entry.Crc);
    Put32(out, entry.CompressedSize);
    Put32(out, entry.UncompressedSize);
    Put16(out, static_cast<uint32_t>(entry.RawName.size()));
    Put16(out, static_cast<uint32_t>(entry.Extra.size()));
    Put16(out, static_cast<uint32_t>(entry.Comment.size()));
    Put16(out, entry.DiskStart);
    Put16(out, entry.InternalAttributes);
    Put32(out, entry.ExternalAttributes);
    Put32(out, entry.LocalHeaderOffset);
    out += entry.RawName;
    out += entry.Extra;
    out += entry.Comment;
}

// Percent of the bytes an operation goes through (entries' compressed data when extracting,
// the files' data when adding), reported when it changes.
class TProgress {
public:
    TProgress(const std::function<void(int)>& handler, uint64_t total) : handler_(handler), total_(total) {}
    void Advance(uint64_t bytes) { SetDone(done_ + bytes); }
    void SetDone(uint64_t done) {
        done_ = std::min(done, total_);
        int percent = total_ == 0 ? 100 : static_cast<int>(done_ * 100 / total_);
        if (percent != last_ && handler_) handler_(percent);
        last_ = percent;
    }
    uint64_t Done() const { return done_; }

private:
    const std::function<void(int)>& handler_;
    uint64_t total_;
    uint64_t done_ = 0;
    int last_ = -1;
};

template <typename T>
struct TClearOnExit {
    T& value;
    ~TClearOnExit() { value.clear(); }
};

}  // namespace

void SetZipSignatures(const TZipSignatures& signatures) { CurrentSignatures() = signatures; }

const TZipSignatures& ZipSignatures() { return CurrentSignatures(); }

struct TZipArchive::TImpl {
    explicit TImpl(TZipArchive& owner) : owner(owner) {}

    TZipArchive& owner;
    TPath archive;
    std::string password;
    TPath destination;
    int level = 6;

    bool open = false;
    std::vector<TZipEntry> entries;
    std::string comment;
    // Where the entries' data ends: the old directory starts here and Add writes over it.
    uint64_t freeFrom = 0;
    int64_t modified = 0;
    std::optional<std::string> newComment;  // written by the next Add

    void Forget() {
        open = false;
        entries.clear();
        comment.clear();
        freeFrom = 0;
        modified = 0;
    }

    void Skipped(const std::string& name, const std::string& reason) {
        if (owner.OnSkipped) owner.OnSkipped(name, reason);
    }

    // True when the person gave another password.
    bool AskPassword(const std::string& name) {
        if (!owner.OnWrongPassword) return false;
        std::string retry = password;
        if (!owner.OnWrongPassword(name, retry)) return false;
        password = retry;
        return true;
    }

    void CheckCancel() {
        if (owner.Cancel) throw EUserCanceled();
    }

    void ReadDirectory();
    void EnsureDirectory();
    bool ReadCentralDirectory(TFileReader& reader, uint64_t offset, uint32_t count, uint64_t endRecord);
    void Recover(TFileReader& reader);

    TDecodeResult Decode(TBinaryFile& file, const TZipEntry& entry, TOutput& output, TProgress* progress);
    void Report(const TZipEntry& entry, TDecodeResult result);
    bool ExtractEntry(TBinaryFile& file, const TZipEntry& entry, TProgress& progress);
    int Extract(const std::vector<std::string>& names);
    bool ExtractToMemory(const std::string& name, std::string& data);

    int Add(const std::vector<std::pair<TPath, std::string>>& sources);
    uint64_t WriteEntry(TBinaryFile& out, TBinaryFile& in, TZipEntry& entry, uint64_t at, int entryLevel,
                        TProgress& progress);
    void WriteDirectory(TBinaryFile& out, uint64_t at);
};

void TZipArchive::TImpl::ReadDirectory() {
    Forget();
    // Taken before reading: a write that lands while we read shows up as a changed time.
    int64_t time = 0;
    bool haveTime = GetFileModificationTime(archive, time);
    TBinaryFile file;
    uint64_t size = 0;
    if (!file.OpenRead(archive) || !file.Size(size)) throw ENotAZipFile();
    TFileReader reader(file, size);

    bool found = size == 0;
    uint32_t count = 0;
    uint32_t directoryOffset = 0;
    uint64_t endRecord = 0;
    std::string endComment;
    if (size >= kEndRecordSize) {
        size_t tailSize = static_cast<size_t>(std::min<uint64_t>(kEndSearchSize, size));
        std::vector<unsigned char> tail(tailSize);
        reader.Seek(size - tailSize);
        if (!reader.Read(tail.data(), tailSize)) throw ENotAZipFile();
        const uint32_t signature = CurrentSignatures().End;
        // The match nearest the end wins, even inside a comment that happens to hold the bytes.
        for (size_t i = tailSize - kEndRecordSize + 1; i-- > 0;) {
            if (tail[i] != (signature & 0xFF) || Get32(&tail[i]) != signature) continue;
            const unsigned char* record = &tail[i];
            count = Get16(record + 10);
            directoryOffset = Get32(record + 16);
            endRecord = size - tailSize + i;
            size_t commentSize = std::min<size_t>(Get16(record + 20), tailSize - i - kEndRecordSize);
            endComment.assign(reinterpret_cast<const char*>(record + kEndRecordSize), commentSize);
            found = true;
            break;
        }
    }

    if (!found) {
        TIncompleteAnswer answer =
            owner.OnIncompleteArchive ? owner.OnIncompleteArchive() : TIncompleteAnswer::NotAnArchive;
        if (answer == TIncompleteAnswer::NotAnArchive) throw ENotAZipFile();
        if (answer == TIncompleteAnswer::MultiPart) throw EIncompleteZip();
        Recover(reader);
    } else if (size > 0 && !ReadCentralDirectory(reader, directoryOffset, count, endRecord)) {
        Recover(reader);
    }
    comment = endComment;
    modified = haveTime ? time : 0;
    open = true;
}

bool TZipArchive::TImpl::ReadCentralDirectory(TFileReader& reader, uint64_t offset, uint32_t count,
                                              uint64_t endRecord) {
    // The count is only a claim: the list grows with the headers actually found.
    std::vector<TZipEntry> list;
    reader.Seek(offset);
    unsigned char h[kCentralHeaderSize];
    for (uint32_t i = 0; i < count; ++i) {
        if (!reader.Read(h, sizeof h) || Get32(h) != CurrentSignatures().Central) return false;
        TZipEntry entry;
        entry.VersionMadeBy = Get16(h + 4);
        entry.VersionNeeded = Get16(h + 6);
        entry.Flags = Get16(h + 8);
        entry.Method = Get16(h + 10);
        entry.Time = Get16(h + 12);
        entry.Date = Get16(h + 14);
        entry.Crc = Get32(h + 16);
        entry.CompressedSize = Get32(h + 20);
        entry.UncompressedSize = Get32(h + 24);
        entry.DiskStart = Get16(h + 34);
        entry.InternalAttributes = Get16(h + 36);
        entry.ExternalAttributes = Get32(h + 38);
        entry.LocalHeaderOffset = Get32(h + 42);
        if (!reader.ReadString(entry.RawName, Get16(h + 28)) || !reader.ReadString(entry.Extra, Get16(h + 30)) ||
            !reader.ReadString(entry.Comment, Get16(h + 32))) {
            return false;
        }
        entry.Name = DisplayName(entry.RawName, static_cast<uint8_t>(entry.VersionMadeBy >> 8));
        list.push_back(std::move(entry));
    }
    entries = std::move(list);
    // An empty directory may claim any offset; new entries must not land beyond the file.
    freeFrom = std::min(offset, endRecord);
    return true;
}

void TZipArchive::TImpl::Recover(TFileReader& reader) {
    std::string upper = UpperCaseCp1251(PathToCp1251(archive));
    uint64_t position = upper.size() >= 4 && upper.compare(upper.size() - 4, 4, ".EXE") == 0 ? kExeScanStart : 0;
    std::vector<TZipEntry> list;
    if (reader.Find(CurrentSignatures().Local, position, position)) {
        unsigned char h[kLocalHeaderSize];
        while (list.size() < kMaxEntries && position <= kMaxOffset) {
            reader.Seek(position);
            if (!reader.Read(h, sizeof h) || Get32(h) != CurrentSignatures().Local) break;
            TZipEntry entry;
            entry.VersionNeeded = Get16(h + 4);
            // The local header does not say which system wrote it; names are taken as OEM,
            // as this program writes them.
            entry.VersionMadeBy = entry.VersionNeeded & 0xFF;
            entry.Flags = Get16(h + 6);
            entry.Method = Get16(h + 8);
            entry.Time = Get16(h + 10);
            entry.Date = Get16(h + 12);
            entry.Crc = Get32(h + 14);
            entry.CompressedSize = Get32(h + 18);
            entry.UncompressedSize = Get32(h + 22);
            entry.LocalHeaderOffset = static_cast<uint32_t>(position);
            if (!reader.ReadString(entry.RawName, Get16(h + 26)) || !reader.ReadString(entry.Extra, Get16(h + 28))) {
                break;
            }
            entry.Name = DisplayName(entry.RawName, 0);
            position += kLocalHeaderSize + entry.RawName.size() + entry.Extra.size() + entry.CompressedSize;
            if (entry.Flags & kFlagDataDescriptor) position += kDataDescriptorSize;
            list.push_back(std::move(entry));
        }
    }
    if (list.empty()) throw EBadZipFile();
    entries = std::move(list);
    freeFrom = std::min(position, reader.Size());
}

void TZipArchive::TImpl::EnsureDirectory() {
    int64_t time = 0;
    if (open && GetFileModificationTime(archive, time) && time == modified) return;
    ReadDirectory();
}

TDecodeResult TZipArchive::TImpl::Decode(TBinaryFile& file, const TZipEntry& entry, TOutput& output,
                                         TProgress* progress) {
    if (entry.Method != kMethodStored && entry.Method != kMethodDeflated) return TDecodeResult::UnknownMethod;
    unsigned char local[kLocalHeaderSize];
    if (!file.Seek(entry.LocalHeaderOffset) || !file.ReadExact(local, sizeof local)) throw EFatalUnzipError();
    uint64_t dataStart = uint64_t{entry.LocalHeaderOffset} + kLocalHeaderSize + Get16(local + 26) + Get16(local + 28);
    if (!file.Seek(dataStart)) throw EFatalUnzipError();

    uint64_t remaining = entry.CompressedSize;
    std::optional<TZipCrypto> crypto;
    if (entry.Flags & kFlagEncrypted) {
        if (remaining < kEncryptionHeaderSize) return TDecodeResult::Damaged;
        unsigned char header[kEncryptionHeaderSize];
        if (!file.ReadExact(header, sizeof header)) throw EFatalUnzipError();
        remaining -= kEncryptionHeaderSize;
        // With a data descriptor the CRC was not known when the header was made, so the
        // check byte comes from the time instead.
        unsigned char check = static_cast<unsigned char>(
            (entry.Flags & kFlagDataDescriptor) ? entry.Time >> 8 : entry.Crc >> 24);
        for (;;) {
            TZipCrypto keys(password);
            unsigned char plain[kEncryptionHeaderSize];
            std::memcpy(plain, header, sizeof plain);
            keys.Decrypt(plain, sizeof plain);
            if (plain[kEncryptionHeaderSize - 1] == check) {
                crypto = keys;
                break;
            }
            if (!AskPassword(entry.Name)) return TDecodeResult::WrongPassword;
        }
        if (progress) progress->Advance(kEncryptionHeaderSize);
    }
    if (!output.Open()) return TDecodeResult::CannotWrite;

    std::vector<unsigned char> in(kBlockSize);
    std::vector<unsigned char> out(entry.Method == kMethodDeflated ? kBlockSize : 0);
    uint32_t crc = 0;
    uint64_t produced = 0;
    TDecodeResult failure = TDecodeResult::Ok;
    auto emit = [&](const unsigned char* data, size_t count) {
        if (count > entry.UncompressedSize - produced) {
            failure = TDecodeResult::TooLarge;
        } else if (!output.Write(data, count)) {
            failure = TDecodeResult::CannotWrite;
        } else {
            crc = Crc32(crc, data, count);
            produced += count;
        }
        return failure == TDecodeResult::Ok;
    };

    std::optional<TInflater> inflater;
    bool ended = entry.Method == kMethodStored;
    if (entry.Method == kMethodDeflated) {
        inflater.emplace();
        if (!inflater->Ok()) return TDecodeResult::BadData;
        // Nothing stored and nothing expected is an empty file, not a broken stream.
        ended = remaining == 0 && entry.UncompressedSize == 0;
    }
    while (remaining > 0) {
        if (ended && inflater) return TDecodeResult::BadData;  // data after the end of the stream
        size_t want = static_cast<size_t>(std::min<uint64_t>(kBlockSize, remaining));
        if (file.Read(in.data(), want) != want) throw EFatalUnzipError();
        remaining -= want;
        if (crypto) crypto->Decrypt(in.data(), want);
        if (progress) progress->Advance(want);
        if (!inflater) {
            if (!emit(in.data(), want)) return failure;
        } else {
            z_stream& zs = inflater->Stream();
            zs.next_in = in.data();
            zs.avail_in = static_cast<uInt>(want);
            for (;;) {
                zs.next_out = out.data();
                zs.avail_out = static_cast<uInt>(kBlockSize);
                uInt inBefore = zs.avail_in;
                int status = inflate(&zs, Z_NO_FLUSH);
                size_t made = kBlockSize - zs.avail_out;
                if (made > 0 && !emit(out.data(), made)) return failure;
                if (status == Z_STREAM_END) {
                    ended = true;
                    if (zs.avail_in > 0) return TDecodeResult::BadData;
                    break;
                }
                // Z_BUF_ERROR: nothing more can be done with this input.
                if (status == Z_BUF_ERROR) break;
                if (status != Z_OK) return TDecodeResult::BadData;
                if (made == 0 && zs.avail_in == inBefore) return TDecodeResult::BadData;
                if (zs.avail_in == 0 && zs.avail_out > 0) break;
            }
        }
        CheckCancel();
    }
    if (!ended) return TDecodeResult::BadData;
    if (crc != entry.Crc || produced != entry.UncompressedSize) return TDecodeResult::BadCrc;
    return TDecodeResult::Ok;
}

void TZipArchive::TImpl::Report(const TZipEntry& entry, TDecodeResult result) {
    switch (result) {
        case TDecodeResult::Ok:
            return;
        case TDecodeResult::UnknownMethod:
            if (owner.OnMessage) owner.OnMessage(kUnknownMethodText, kZipErrorCaption);
            Skipped(entry.Name, "unknown compression method");
            return;
        case TDecodeResult::WrongPassword:
            Skipped(entry.Name, "wrong password");
            return;
        case TDecodeResult::BadCrc:
        case TDecodeResult::BadData:
            // A wrong password passes the one-byte check once in 256 tries and then decodes
            // to garbage; for an encrypted entry that is the likely cause.
            if (entry.Flags & kFlagEncrypted) {
                AskPassword(entry.Name);
                Skipped(entry.Name, "wrong password");
            } else {
                Skipped(entry.Name, result == TDecodeResult::BadCrc ? "CRC error" : "damaged compressed data");
            }
            return;
        case TDecodeResult::Damaged:
            Skipped(entry.Name, "the entry is shorter than its encryption header");
            return;
        case TDecodeResult::TooLarge:
            Skipped(entry.Name, "the data is larger than its stated size");
            return;
        case TDecodeResult::CannotWrite:
            Skipped(entry.Name, "cannot write the file");
            return;
    }
}

bool TZipArchive::TImpl::ExtractEntry(TBinaryFile& file, const TZipEntry& entry, TProgress& progress) {
    std::string reason;
    if (!IsSafeName(entry.Name, reason)) {
        Skipped(entry.Name, reason);
        return false;
    }
    TPath target = destination / Cp1251ToPath(entry.Name);
    TFileOutput output(target);
    TDecodeResult result = Decode(file, entry, output, &progress);
    if (result != TDecodeResult::Ok) {
        output.Discard();
        Report(entry, result);
        return false;
    }
    output.Commit();
    SetFileDosDateTime(target, entry.Date, entry.Time);
    SetFileDosAttributes(target, static_cast<uint8_t>(entry.ExternalAttributes & 0xFF));
    return true;
}

int TZipArchive::TImpl::Extract(const std::vector<std::string>& names) {
    EnsureDirectory();
    std::set<std::string> wanted;
    for (const std::string& name : names) wanted.insert(UpperCaseCp1251(name));
    std::vector<TZipEntry> selected;
    uint64_t total = 0;
    for (const TZipEntry& entry : entries) {
        if (wanted.count(UpperCaseCp1251(entry.Name)) == 0) continue;
        selected.push_back(entry);
        total += entry.CompressedSize;
    }
    TProgress progress(owner.OnTotalProgress, total);
    int written = 0;
    if (!selected.empty()) {
        TBinaryFile file;
        if (!file.OpenRead(archive)) throw ENotAZipFile();
        for (const TZipEntry& entry : selected) {
            uint64_t before = progress.Done();
            if (ExtractEntry(file, entry, progress)) ++written;
            progress.SetDone(before + entry.CompressedSize);
            CheckCancel();
        }
    }
    progress.SetDone(total);
    if (owner.OnUnzipEnd) owner.OnUnzipEnd();
    return written;
}

bool TZipArchive::TImpl::ExtractToMemory(const std::string& name, std::string& data) {
    data.clear();
    EnsureDirectory();
    std::string key = UpperCaseCp1251(name);
    auto it = std::find_if(entries.begin(), entries.end(),
                           [&](const TZipEntry& entry) { return UpperCaseCp1251(entry.Name) == key; });
    if (it == entries.end()) return false;
    TZipEntry entry = *it;
    TBinaryFile file;
    if (!file.OpenRead(archive)) throw ENotAZipFile();
    TStringOutput output(data);
    TDecodeResult result = TDecodeResult::Ok;
    try {
        result = Decode(file, entry, output, nullptr);
    } catch (...) {
        data.clear();
        throw;
    }
    if (result == TDecodeResult::Ok) return true;
    data.clear();
    if (result == TDecodeResult::TooLarge) throw EBiggerThanUncompressed();
    Report(entry, result);
    return false;
}

// Deflates the start of the file (then rewinds it): true when that saves less than 1/64.
static bool Incompressible(TBinaryFile& in, int level) {
    constexpr size_t kSample = 256 * 1024;
    std::vector<unsigned char> sample(kSample);
    size_t got = 0;
    while (got < kSample) {
        size_t n = in.Read(sample.data() + got, kSample - got);
        if (n == 0) break;
        got += n;
    }
    if (!in.Seek(0)) throw TEntrySkipped{"cannot read the file"};
    if (got < 4096) return false;
    TDeflater deflater(level);
    if (!deflater.Ok()) return false;
    std::vector<unsigned char> packed(deflateBound(&deflater.Stream(), static_cast<uLong>(got)));
    z_stream& zs = deflater.Stream();
    zs.next_in = sample.data();
    zs.avail_in = static_cast<uInt>(got);
    zs.next_out = packed.data();
    zs.avail_out = static_cast<uInt>(packed.size());
    if (deflate(&zs, Z_FINISH) != Z_STREAM_END) return false;
    return zs.total_out > got - got / 64;
}

uint64_t TZipArchive::TImpl::WriteEntry(TBinaryFile& out, TBinaryFile& in, TZipEntry& entry, uint64_t at,
                                        int entryLevel, TProgress& progress) {
    if (at > kMaxOffset) throw TEntrySkipped{"the archive would grow past 4 GiB"};
    entry.LocalHeaderOffset = static_cast<uint32_t>(at);
    std::string header = LocalHeader(entry);
    if (!out.Seek(at) || !out.Write(header.data(), header.size())) throw EZipWriteError();

    std::optional<TZipCrypto> crypto;
    uint64_t compressed = 0;
    auto put = [&](unsigned char* data, size_t count) {
        if (crypto) crypto->Encrypt(data, count);
        compressed += count;
        if (compressed > kMaxOffset) throw TEntrySkipped{"the file is too large"};
        if (!out.Write(data, count)) throw EZipWriteError();
    };
    if (entry.Flags & kFlagEncrypted) {
        crypto.emplace(password);
        unsigned char head[kEncryptionHeaderSize];
        for (size_t i = 0; i + 1 < kEncryptionHeaderSize; ++i) head[i] = static_cast<unsigned char>(RandomInt(256));
        head[kEncryptionHeaderSize - 1] = static_cast<unsigned char>(entry.Crc >> 24);
        put(head, sizeof head);
    }

    std::optional<TDeflater> deflater;
    if (entry.Method == kMethodDeflated) {
        deflater.emplace(entryLevel);
        if (!deflater->Ok()) throw EZipWriteError();
    }
    std::vector<unsigned char> buffer(kBlockSize);
    std::vector<unsigned char> packed(deflater ? kBlockSize : 0);
    uint32_t crc = 0;
    uint64_t size = 0;
    for (;;) {
        size_t got = in.Read(buffer.data(), kBlockSize);
        bool last = got < kBlockSize;
        crc = Crc32(crc, buffer.data(), got);
        size += got;
        if (size > kMaxOffset) throw TEntrySkipped{"the file is too large"};
        if (!deflater) {
            if (got > 0) put(buffer.data(), got);
        } else {
            z_stream& zs = deflater->Stream();
            zs.next_in = buffer.data();
            zs.avail_in = static_cast<uInt>(got);
            int status = Z_OK;
            do {
                zs.next_out = packed.data();
                zs.avail_out = static_cast<uInt>(kBlockSize);
                status = deflate(&zs, last ? Z_FINISH : Z_NO_FLUSH);
                if (status == Z_STREAM_ERROR) throw EZipWriteError();
                size_t made = kBlockSize - zs.avail_out;
                if (made > 0) put(packed.data(), made);
            } while (zs.avail_out == 0 || (last && status != Z_STREAM_END));
        }
        progress.Advance(got);
        if (last) break;
        CheckCancel();
    }
    // The encryption header already carries the first pass's CRC.
    if ((entry.Flags & kFlagEncrypted) && crc != entry.Crc) throw TEntrySkipped{"the file changed while being added"};
    entry.Crc = crc;
    entry.CompressedSize = static_cast<uint32_t>(compressed);
    entry.UncompressedSize = static_cast<uint32_t>(size);
    uint64_t end = at + header.size() + compressed;
    if (end > kMaxOffset) throw TEntrySkipped{"the archive would grow past 4 GiB"};
    std::string sizes;
    Put32(sizes, entry.Crc);
    Put32(sizes, entry.CompressedSize);
    Put32(sizes, entry.UncompressedSize);
    if (!out.Seek(at + 14) || !out.Write(sizes.data(), sizes.size())) throw EZipWriteError();
    return end;
}

void TZipArchive::TImpl::WriteDirectory(TBinaryFile& out, uint64_t at) {
    std::string directory;
    for (const TZipEntry& entry : entries) AppendCentralHeader(directory, entry);
    if (at > kMaxOffset || directory.size() > kMaxOffset) throw EZipWriteError();
    std::string end;
    Put32(end, CurrentSignatures().End);
    Put16(end, 0);
    Put16(end, 0);
    Put16(end, static_cast<uint32_t>(entries.size()));
    Put16(end, static_cast<uint32_t>(entries.size()));
    Put32(end, static_cast<uint32_t>(directory.size()));
    Put32(end, static_cast<uint32_t>(at));
    Put16(end, static_cast<uint32_t>(comment.size()));
    end += comment;
    directory += end;
    if (!out.Seek(at) || !out.Write(directory.data(), directory.size()) || !out.TruncateHere()) {
        throw EZipWriteError();
    }
    out.Close();
    freeFrom = at;
    if (!GetFileModificationTime(archive, modified)) modified = 0;
    open = true;
}

// Each source is a path and the Windows-1251 text that names it in events.
int TZipArchive::TImpl::Add(const std::vector<std::pair<TPath, std::string>>& sources) {
    bool exists = PathExists(archive);
    if (exists) {
        EnsureDirectory();
    } else {
        Forget();
    }
    bool commentChanged = false;
    if (newComment) {
        std::string text = newComment->substr(0, 0xFFFF);
        commentChanged = text != comment;
        comment = text;
    }
    // The new entries go where the old directory began, unless some entry lies beyond that
    // point; then after everything, so no entry is written over.
    uint64_t writeAt = freeFrom;
    uint64_t size = 0;
    for (const TZipEntry& entry : entries) {
        if (entry.LocalHeaderOffset >= writeAt) {
            TBinaryFile file;
            if (file.OpenRead(archive) && file.Size(size)) writeAt = std::max(writeAt, size);
            break;
        }
    }

    uint64_t total = 0;
    for (const auto& [source, path] : sources) {
        std::error_code error;
        uint64_t bytes = std::filesystem::file_size(source, error);
        if (!error) total += bytes;
    }
    TProgress progress(owner.OnTotalProgress, total);

    TBinaryFile out;
    bool touched = false;
    int added = 0;
    for (const auto& [source, path] : sources) {
        std::string bare = BareName(path);
        TBinaryFile in;
        if (bare.empty() || !in.OpenRead(source)) {
            Skipped(path, "cannot open the file");
            continue;
        }
        TZipEntry entry;
        entry.RawName = Cp1251ToCp866(bare);
        entry.Name = DisplayName(entry.RawName, 0);
        entry.VersionMadeBy = kVersion;
        entry.VersionNeeded = kVersion;
        entry.Method = level == 0 ? kMethodStored : kMethodDeflated;
        entry.Flags = (password.empty() ? 0 : kFlagEncrypted) | (level == 0 ? 0 : kFlagDeflateOption);
        if (!GetFileDosDateTime(source, entry.Date, entry.Time)) {
            entry.Date = kDosFirstDate;
            entry.Time = 0;
        }
        int attributes = GetFileDosAttributes(source);
        entry.ExternalAttributes = attributes < 0 ? 0 : static_cast<uint32_t>(attributes);
        if (entry.RawName.size() > 0xFFFF) {
            Skipped(path, "the name is too long");
            continue;
        }
        if (entry.Flags & kFlagEncrypted) {
            // The encryption header ends with the CRC's high byte, so the CRC comes first.
            std::vector<unsigned char> buffer(kBlockSize);
            uint32_t crc = 0;
            while (size_t got = in.Read(buffer.data(), buffer.size())) {
                crc = Crc32(crc, buffer.data(), got);
                CheckCancel();
            }
            entry.Crc = crc;
            if (!in.Seek(0)) {
                Skipped(path, "cannot read the file");
                continue;
            }
        }

        std::string key = UpperCaseCp1251(entry.Name);
        std::vector<size_t> replaced;
        int64_t lastKept = -1;
        int64_t lastReplaced = -1;
        for (size_t i = 0; i < entries.size(); ++i) {
            int64_t offset = entries[i].LocalHeaderOffset;
            if (UpperCaseCp1251(entries[i].Name) == key) {
                replaced.push_back(i);
                lastReplaced = std::max(lastReplaced, offset);
            } else {
                lastKept = std::max(lastKept, offset);
            }
        }
        if (entries.size() - replaced.size() >= kMaxEntries) {
            Skipped(path, "the archive holds the most entries it can");
            continue;
        }
        // An entry that nothing but the directory follows is written over in place; any other
        // is left as dead space, never moved: the cost must not depend on the archive's size.
        bool reuse = lastReplaced > lastKept && static_cast<uint64_t>(lastReplaced) < writeAt;
        uint64_t at = reuse ? static_cast<uint64_t>(lastReplaced) : writeAt;
        auto dropReused = [&] {
            if (!reuse) return;
            auto it = std::find_if(entries.begin(), entries.end(), [&](const TZipEntry& e) {
                return e.LocalHeaderOffset == static_cast<uint64_t>(lastReplaced) && UpperCaseCp1251(e.Name) == key;
            });
            if (it != entries.end()) entries.erase(it);
            writeAt = at;
        };

        if (!out.IsOpen() && !(exists ? out.OpenReadWrite(archive) : out.Create(archive))) throw EZipWriteError();
        touched = true;
        uint64_t end = 0;
        try {
            // Already compressed data (photographs, sounds, video) is kept in stored deflate
            // blocks: the same format for every reader, and inflating it costs a copy.
            const int entryLevel = level != 0 && Incompressible(in, level) ? 0 : level;
            end = WriteEntry(out, in, entry, at, entryLevel, progress);
        } catch (const TEntrySkipped& e) {
            dropReused();
            Skipped(path, e.reason);
            continue;
        } catch (...) {
            // The old directory may already be written over: put the one in memory back.
            dropReused();
            try {
                WriteDirectory(out, writeAt);
            } catch (...) {
            }
            throw;
        }
        size_t place = replaced.empty() ? entries.size() : replaced.front();
        for (size_t i = replaced.size(); i-- > 0;) entries.erase(entries.begin() + static_cast<ptrdiff_t>(replaced[i]));
        place = std::min(place, entries.size());
        entries.insert(entries.begin() + static_cast<ptrdiff_t>(place), entry);
        writeAt = end;
        ++added;
    }
    if (!touched && commentChanged && exists) {
        if (!out.OpenReadWrite(archive)) throw EZipWriteError();
        touched = true;
    }
    if (touched) {
        WriteDirectory(out, writeAt);
        newComment.reset();
    }
    progress.SetDone(total);
    if (owner.OnZipEnd) owner.OnZipEnd();
    return added;
}

TZipArchive::TZipArchive() : impl_(std::make_unique<TImpl>(*this)) {}

TZipArchive::~TZipArchive() = default;

void TZipArchive::SetArchiveFile(const TPath& path) {
    impl_->Forget();
    impl_->newComment.reset();
    impl_->archive = path;
}

const TPath& TZipArchive::ArchiveFile() const { return impl_->archive; }

void TZipArchive::SetPassword(const std::string& password) { impl_->password = password; }

void TZipArchive::SetDestination(const TPath& folder) { impl_->destination = folder; }

void TZipArchive::SetCompressionLevel(int level) { impl_->level = std::clamp(level, 0, 9); }

int TZipArchive::CompressionLevel() const { return impl_->level; }

void TZipArchive::SetComment(const std::string& comment) { impl_->newComment = comment; }

void TZipArchive::ReadDirectory() { impl_->ReadDirectory(); }

bool TZipArchive::IsOpen() const { return impl_->open; }

const std::vector<TZipEntry>& TZipArchive::Entries() const { return impl_->entries; }

const std::string& TZipArchive::Comment() const { return impl_->comment; }

int TZipArchive::Extract() {
    TClearOnExit<std::vector<std::string>> clear{FileList};
    Cancel = false;
    return impl_->Extract(FileList);
}

bool TZipArchive::ExtractToMemory(const std::string& name, std::string& data) {
    Cancel = false;
    return impl_->ExtractToMemory(name, data);
}

int TZipArchive::Add() {
    TClearOnExit<std::vector<std::string>> clearNames{FileList};
    TClearOnExit<std::vector<TPath>> clearPaths{AddFiles};
    Cancel = false;
    std::vector<std::pair<TPath, std::string>> sources;
    for (const std::string& name : FileList) sources.emplace_back(Cp1251ToPath(name), name);
    for (const TPath& path : AddFiles) sources.emplace_back(path, PathToCp1251(path));
    return impl_->Add(sources);
}

void TZipArchive::Close() {
    impl_->Forget();
    impl_->newComment.reset();
}
