// Throughput of ReadPayload's archive copy against `cp` of the same bytes, run side by side.
//   payload_bench [SIZE_MB] [ROUNDS]      (default 500 MB, 5 rounds; files in $TMPDIR or /tmp)
// Prints each round and the ratio of the medians (ReadPayload throughput / cp throughput).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/Payload.h"
#include "model/FileUtils.h"
#include "model/Random.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool WriteArchive(const fs::path& path, uint64_t size) {
    TBinaryFile out;
    if (!out.Create(path)) return false;
    std::string block(1 << 20, '\0');
    uint32_t x = 12345;
    for (char& c : block) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    for (uint64_t done = 0; done < size; done += block.size()) {
        if (!out.Write(block.data(), static_cast<size_t>(std::min<uint64_t>(block.size(), size - done)))) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const uint64_t sizeMb = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 500;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const fs::path work = UniqueRandomFileName(GetTempFolder(), ".bench");
    fs::create_directories(work);
    const fs::path archive = work / "archive.bin";
    const fs::path base = work / "base.exe";
    const fs::path exe = work / "player.exe";
    const fs::path cpCopy = work / "cp-copy.bin";
    setenv("TMPDIR", work.c_str(), 1);

    {
        TBinaryFile b;
        b.Create(base);
        b.Write("MZ", 2);
    }
    if (!WriteArchive(archive, sizeMb << 20) || !WritePayloadExe(base, archive, TPayloadInfo(), exe).empty()) {
        std::fprintf(stderr, "payload_bench: cannot write the test files in %s\n", work.c_str());
        return 1;
    }
    const double megabytes = static_cast<double>(sizeMb);
    std::vector<double> readTimes, cpTimes;
    const std::string cpCommand = "cp '" + archive.string() + "' '" + cpCopy.string() + "'";
    // Which side runs first alternates, so neither always meets the other's write-back.
    auto timeReadPayload = [&]() -> double {
        sync();
        auto t0 = Clock::now();
        TPayloadInfo info;
        ReadPayload(exe, info);
        double seconds = Seconds(t0);
        if (info.ArchiveFile.empty() || fs::file_size(info.ArchiveFile) != (sizeMb << 20)) return -1;
        fs::remove(info.ArchiveFile);
        return seconds;
    };
    auto timeCp = [&]() -> double {
        sync();
        auto t0 = Clock::now();
        if (std::system(cpCommand.c_str()) != 0) return -1;
        double seconds = Seconds(t0);
        fs::remove(cpCopy);
        return seconds;
    };
    for (int round = 0; round < rounds; ++round) {
        double readTime, cpTime;
        if (round % 2 == 0) {
            readTime = timeReadPayload();
            cpTime = timeCp();
        } else {
            cpTime = timeCp();
            readTime = timeReadPayload();
        }
        if (readTime < 0 || cpTime < 0) {
            std::fprintf(stderr, "payload_bench: %s failed\n", readTime < 0 ? "ReadPayload" : "cp");
            return 1;
        }
        readTimes.push_back(readTime);
        cpTimes.push_back(cpTime);
        std::printf("round %d: ReadPayload %.0f MB/s, cp %.0f MB/s\n", round + 1, megabytes / readTime,
                    megabytes / cpTime);
    }
    fs::remove_all(work);
    const double readMbps = megabytes / Median(readTimes);
    const double cpMbps = megabytes / Median(cpTimes);
    std::printf("ReadPayload %.0f MB/s, cp %.0f MB/s, ratio %.2fx (%llu MB, median of %d rounds)\n", readMbps, cpMbps,
                readMbps / cpMbps, static_cast<unsigned long long>(sizeMb), rounds);
    return 0;
}
