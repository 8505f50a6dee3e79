#include "model/OleStream.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "model/PictureCheck.h"

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

namespace {

constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
constexpr size_t kDirEntrySize = 128;

uint32_t Le16At(const std::string& b, size_t at) {
    return static_cast<uint8_t>(b[at]) | static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8;
}
uint32_t Le32At(const std::string& b, size_t at) { return Le32(b.data() + at); }

class TCompoundCheck {
public:
    explicit TCompoundCheck(const std::string& b) : b_(b) {}

    const char* Run() {
        if (b_.size() < 512 || b_.compare(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") != 0) return "not a compound file";
        const uint32_t shift = Le16At(b_, 30);
        if ((shift != 9 && shift != 12) || Le16At(b_, 32) != 6) return "unknown sector size";
        sector_ = size_t{1} << shift;
        if (b_.size() <= sector_) return "no sectors";
        sectors_ = (b_.size() - 1) / sector_;  // a last sector cut short still counts

        const uint32_t fatCount = Le32At(b_, 44);
        if (fatCount == 0 || fatCount > sectors_) return "bad allocation table size";
        std::vector<uint32_t> fatSectors;
        for (uint32_t k = 0; k < 109 && k < fatCount; ++k) fatSectors.push_back(Le32At(b_, 76 + 4 * k));
        const size_t perSector = sector_ / 4;
        uint32_t next = Le32At(b_, 68);
        for (size_t steps = 0; fatSectors.size() < fatCount; ++steps) {
            if (next >= sectors_ || steps > sectors_) return "bad allocation table extension";
            for (size_t i = 0; i + 1 < perSector && fatSectors.size() < fatCount; ++i) fatSectors.push_back(At(next, i));
            next = At(next, perSector - 1);
        }
        for (uint32_t s : fatSectors) {
            if (s >= sectors_) return "allocation table outside the file";
            for (size_t i = 0; i < perSector; ++i) fat_.push_back(At(s, i));
        }

        std::vector<uint32_t> directoryChain;
        if (!Chain(fat_, sectors_, Le32At(b_, 48), directoryChain)) return "bad directory chain";
        const size_t entries = directoryChain.size() * (sector_ / kDirEntrySize);
        auto entry = [&](uint32_t id) {
            return (size_t{directoryChain[id / (sector_ / kDirEntrySize)]} + 1) * sector_ +
                   (id % (sector_ / kDirEntrySize)) * kDirEntrySize;
        };
        if (entries == 0 || entry(0) + kDirEntrySize > b_.size() || b_[entry(0) + 66] != 5) return "no root entry";

        std::vector<uint32_t> chain;
        const uint32_t miniFatSectors = Le32At(b_, 64);
        if (miniFatSectors > 0) {
            if (!Chain(fat_, sectors_, Le32At(b_, 60), chain)) return "bad mini allocation table chain";
            for (uint32_t s : chain) {
                for (size_t i = 0; i < perSector; ++i) miniFat_.push_back(At(s, i));
            }
        }
        const uint32_t cutoff = Le32At(b_, 56);
        std::vector<bool> seen(entries, false);
        std::vector<uint32_t> pending = {0};
        seen[0] = true;
        while (!pending.empty()) {
            const uint32_t id = pending.back();
            pending.pop_back();
            const size_t at = entry(id);
            if (at + kDirEntrySize > b_.size()) return "directory entry outside the file";
            for (size_t link = 68; link <= 76; link += 4) {
                const uint32_t other = Le32At(b_, at + link);
                if (other == kNoStream) continue;
                if (other >= entries || seen[other]) return "bad directory tree";
                seen[other] = true;
                pending.push_back(other);
            }
            const uint8_t type = static_cast<uint8_t>(b_[at + 66]);
            const uint32_t start = Le32At(b_, at + 116), size = Le32At(b_, at + 120);
            chain.clear();
            const bool big = type == 5 || (type == 2 && size >= cutoff);
            if (big) {
                if (size > 0 && !Chain(fat_, sectors_, start, chain)) return "bad stream chain";
                if (type == 5) {
                    miniSectors_ = chain.size() * (sector_ / 64);
                    for (uint32_t s : chain) mini_.append(b_, (size_t{s} + 1) * sector_, sector_);
                }
            } else if (type == 2 && size > 0) {
                // The root comes first, so the mini stream's extent is known here.
                if (!Chain(miniFat_, miniSectors_, start, chain)) return "bad mini stream chain";
            }
            if (type == 2 && IsPresentation(at)) {
                std::string data;
                const std::string& pool = big ? b_ : mini_;
                const size_t unit = big ? sector_ : 64, base = big ? sector_ : 0;
                for (uint32_t s : chain) data.append(pool, std::min(pool.size(), base + size_t{s} * unit), unit);
                if (data.size() > size) data.resize(size);
                if (!CheckPresentation(data, detail_)) return detail_.c_str();
            }
        }
        return nullptr;
    }

private:
    // "\2OlePres000" to "\2OlePres999": the cached pictures OLE draws.
    bool IsPresentation(size_t entry) const {
        static const char kName[] = "\2OlePres";
        const uint32_t nameBytes = Le16At(b_, entry + 64);
        if (nameBytes != 2 * 12) return false;
        for (size_t i = 0; i + 1 < sizeof kName; ++i) {
            if (Le16At(b_, entry + 2 * i) != static_cast<uint8_t>(kName[i])) return false;
        }
        return true;
    }

    // The presentation's header; then its picture goes through the same checks as a file's.
    static bool CheckPresentation(const std::string& p, std::string& error) {
        error = "bad presentation";
        if (p.size() < 8) return false;
        const uint32_t marker = Le32At(p, 0);
        uint32_t format = 0;
        uint64_t at = 4;
        if (marker == 0xFFFFFFFF || marker == 0xFFFFFFFE) {
            format = Le32At(p, 4);
            at = 8;
        } else if (marker != 0) {
            at = 4 + uint64_t{marker};  // a format by name
        }
        if (at + 4 > p.size()) return false;
        const uint32_t target = Le32At(p, static_cast<size_t>(at));
        if (target < 4) return false;
        at += target + 24;  // aspect, index, flags, reserved, width, height
        if (at + 4 > p.size()) return false;
        const uint32_t size = Le32At(p, static_cast<size_t>(at));
        at += 4;
        if (size > p.size() - at) return false;
        const std::string data = p.substr(static_cast<size_t>(at), size);
        constexpr uint32_t kMetafilePicture = 3, kDib = 8, kEnhanced = 14;
        switch (format) {
        case kMetafilePicture: return CheckWindowsMetafile(data, 0, error);
        case kDib: return CheckPackedDib(data, error);
        case kEnhanced: return CheckConvertedMetafile(data, error);
        }
        return true;
    }

    uint32_t At(size_t sector, size_t index) const {
        const size_t at = (sector + 1) * sector_ + 4 * index;
        return at + 4 <= b_.size() ? Le32At(b_, at) : kEndOfChain;
    }

    // A chain must end within as many steps as there are units to visit.
    static bool Chain(const std::vector<uint32_t>& table, size_t units, uint32_t unit, std::vector<uint32_t>& out) {
        while (unit != kEndOfChain) {
            if (unit >= units || unit >= table.size() || out.size() >= units) return false;
            out.push_back(unit);
            unit = table[unit];
        }
        return true;
    }

    const std::string& b_;
    size_t sector_ = 512;
    size_t sectors_ = 0;
    size_t miniSectors_ = 0;
    std::vector<uint32_t> fat_, miniFat_;
    std::string mini_;
    std::string detail_;
};

}  // namespace

bool CheckCompoundFile(const std::string& storage, std::string& error) {
    TCompoundCheck check(storage);
    const char* problem = check.Run();
    if (problem == nullptr) return true;
    error = std::string("the object's storage is damaged: ") + problem;
    return false;
}
