// The archive component against Info-ZIP, run side by side in one process:
//   archive_bench [ROUNDS]      (default 5; files in $TMPDIR or /tmp, removed afterwards)
// (a) writing INFO.SYS back into archives of 2000 entries (~5 MB and ~500 MB) against
//     `zip -P pw archive.zip INFO.SYS` on a standard-signature copy of the same archive;
// (b) extracting a 100 MB encrypted, deflated entry to a file against `unzip` to a file;
// (c) peak resident memory of a child process extracting a 500 MB entry (and of unzip).
// Needs `zip` and `unzip` on the PATH.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/ZipArchive.h"
#include "model/FileUtils.h"
#include "model/Random.h"
#include "tests/core/ZipTestUtil.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const char kPassword[] = "Kp4#nV7q!Z";

double Milliseconds(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

// Semi-compressible content (about 45% after deflate), made block by block so that no
// large buffer is ever held.
bool WriteSource(const fs::path& path, uint64_t size, uint32_t seed) {
    TBinaryFile out;
    if (!out.Create(path)) return false;
    constexpr uint64_t kBlock = 1 << 20;
    for (uint64_t done = 0, n = 0; done < size; done += kBlock, ++n) {
        std::string block = ziptest::MixedData(static_cast<size_t>(std::min(kBlock, size - done)),
                                               seed + static_cast<uint32_t>(n));
        if (!out.Write(block.data(), block.size())) return false;
    }
    return true;
}

std::string InfoText(int round) {
    return "[Test]\r\nName=Bench\r\nLastQuestion=" + std::to_string(1000 + round) + "\r\nScore=42\r\nTime=754\r\n";
}

bool WriteInfo(const fs::path& path, int round) {
    std::string text = InfoText(round);
    TBinaryFile out;
    return out.Create(path) && out.Write(text.data(), text.size());
}

// Rewrites the three record signatures of an archive in place: every local header, every
// central header and the end record.
bool PatchSignatures(const fs::path& path, const TZipSignatures& from, const TZipSignatures& to) {
    SetZipSignatures(from);
    TZipArchive zip;
    zip.SetArchiveFile(path);
    try {
        zip.ReadDirectory();
    } catch (const EZipError&) {
        return false;
    }
    TBinaryFile file;
    uint64_t size = 0;
    if (!file.OpenReadWrite(path) || !file.Size(size)) return false;
    uint64_t directorySize = 0;
    for (const TZipEntry& e : zip.Entries()) directorySize += 46 + e.RawName.size() + e.Extra.size() + e.Comment.size();
    uint64_t end = size - 22 - zip.Comment().size();
    uint64_t directory = end - directorySize;
    std::string bytes(static_cast<size_t>(size - directory), '\0');
    if (!file.Seek(directory) || !file.ReadExact(&bytes[0], bytes.size())) return false;
    size_t at = 0;
    for (size_t i = 0; i < zip.Entries().size(); ++i) {
        if (ziptest::Get32(bytes, at) != from.Central) return false;
        size_t next = at + 46 + ziptest::Get16(bytes, at + 28) + ziptest::Get16(bytes, at + 30) +
                      ziptest::Get16(bytes, at + 32);
        ziptest::Set32(bytes, at, to.Central);
        at = next;
    }
    if (ziptest::Get32(bytes, at) != from.End) return false;
    ziptest::Set32(bytes, at, to.End);
    if (!file.Seek(directory) || !file.Write(bytes.data(), bytes.size())) return false;
    std::string local;
    ziptest::Put32(local, to.Local);
    for (const TZipEntry& e : zip.Entries()) {
        if (!file.Seek(e.LocalHeaderOffset) || !file.Write(local.data(), local.size())) return false;
    }
    SetZipSignatures(kStandardZipSignatures);
    return true;
}

// 2000 encrypted entries filling `archiveSize` bytes, INFO.SYS the 1000th of them, written by
// our own Add in batches, with the given signatures.
bool BuildArchive(const fs::path& archive, const fs::path& scratch, uint64_t archiveSize) {
    constexpr int kEntries = 2000;
    constexpr int kBatch = 100;
    const uint64_t entrySize = archiveSize / kEntries;
    TZipArchive zip;
    zip.SetArchiveFile(archive);
    zip.SetPassword(kPassword);
    fs::create_directories(scratch);
    for (int first = 0; first < kEntries; first += kBatch) {
        std::vector<std::string> files;
        for (int i = first; i < first + kBatch; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "Q%04d.DAT", i);
            fs::path file = scratch / name;
            if (i == kEntries / 2) {
                file = scratch / "INFO.SYS";
                if (!WriteInfo(file, 0)) return false;
            } else if (!WriteSource(file, entrySize, static_cast<uint32_t>(i) * 7919u)) {
                return false;
            }
            files.push_back(PathToCp1251(file));
        }
        // The bulk is stored so the archive has the size asked for; INFO.SYS is written
        // back deflated like the player writes it.
        zip.SetCompressionLevel(0);
        zip.FileList = files;
        try {
            if (zip.Add() != kBatch) return false;
        } catch (const EZipError&) {
            return false;
        }
        for (const std::string& file : files) fs::remove(Cp1251ToPath(file));
    }
    return zip.Entries().size() == static_cast<size_t>(kEntries);
}

struct TWriteFigures {
    double firstMs = 0;     // INFO.SYS in the middle: the new entry goes at the old directory
    double freshMs = 0;     // median, a new archive object each time (directory read included)
    double sameMs = 0;      // median, one archive object kept open as the player does
    double zipFirstMs = 0;  // Info-ZIP, the first replacement
    double zipMs = 0;       // Info-ZIP, median of the rest
    uint64_t size = 0;
    int64_t growth = 0;  // archive bytes added by all our writes together
};

bool MeasureWriteBack(const fs::path& work, uint64_t archiveSize, int rounds, TWriteFigures& figures) {
    const fs::path ours = work / "ours.zip";
    const fs::path standard = work / "standard.zip";
    const fs::path info = work / "INFO.SYS";
    SetZipSignatures(kTestArchiveSignatures);
    if (!BuildArchive(ours, work / "sources", archiveSize)) return false;
    SetZipSignatures(kStandardZipSignatures);
    if (!Shell("cp " + Quote(ours) + " " + Quote(standard))) return false;
    if (!PatchSignatures(standard, kTestArchiveSignatures, kStandardZipSignatures)) return false;
    figures.size = fs::file_size(ours);

    SetZipSignatures(kTestArchiveSignatures);
    int round = 0;
    auto addInfo = [&](TZipArchive& zip) -> double {
        if (!WriteInfo(info, ++round)) return -1;
        zip.FileList = {PathToCp1251(info)};
        sync();
        auto t0 = Clock::now();
        int added = zip.Add();
        double ms = Milliseconds(t0);
        return added == 1 ? ms : -1;
    };
    auto fresh = [&]() -> double {
        TZipArchive zip;
        zip.SetArchiveFile(ours);
        zip.SetPassword(kPassword);
        zip.SetCompressionLevel(6);
        return addInfo(zip);
    };
    figures.firstMs = fresh();
    if (figures.firstMs < 0) return false;
    const uint64_t afterFirst = fs::file_size(ours);
    std::vector<double> freshTimes, sameTimes;
    for (int i = 0; i < rounds * 4; ++i) freshTimes.push_back(fresh());
    TZipArchive kept;
    kept.SetArchiveFile(ours);
    kept.SetPassword(kPassword);
    kept.SetCompressionLevel(6);
    kept.ReadDirectory();
    for (int i = 0; i < rounds * 4; ++i) sameTimes.push_back(addInfo(kept));
    if (std::any_of(freshTimes.begin(), freshTimes.end(), [](double t) { return t < 0; }) ||
        std::any_of(sameTimes.begin(), sameTimes.end(), [](double t) { return t < 0; })) {
        return false;
    }
    figures.freshMs = Median(freshTimes);
    figures.sameMs = Median(sameTimes);
    figures.growth = static_cast<int64_t>(fs::file_size(ours)) - static_cast<int64_t>(figures.size);
    // Every write after the first replaced the last entry in place: the size must hold.
    if (fs::file_size(ours) != afterFirst) {
        std::fprintf(stderr, "archive_bench: the archive grew after the first write-back\n");
        return false;
    }
    std::string check;
    if (!kept.ExtractToMemory("INFO.SYS", check) || check != InfoText(round)) return false;
    SetZipSignatures(kStandardZipSignatures);

    std::vector<double> zipTimes;
    const std::string zipCommand =
        "cd " + Quote(work) + " && zip -q -P '" + kPassword + "' " + Quote(standard) + " INFO.SYS";
    for (int i = 0; i <= rounds; ++i) {
        if (!WriteInfo(info, ++round)) return false;
        sync();
        auto t0 = Clock::now();
        if (!Shell(zipCommand)) return false;
        double ms = Milliseconds(t0);
        if (i == 0) {
            figures.zipFirstMs = ms;
        } else {
            zipTimes.push_back(ms);
        }
    }
    figures.zipMs = Median(zipTimes);
    if (!Shell("unzip -tq -P '" + std::string(kPassword) + "' " + Quote(standard) + " >/dev/null")) return false;
    fs::remove(ours);
    fs::remove(standard);
    fs::remove(info);
    return true;
}

// Runs the extraction of `name` from `archive` into `folder` in a fresh process (this
// program, or unzip) and returns its peak resident set in KiB.
long PeakOfChild(const std::vector<std::string>& arguments, bool& ok) {
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ok = pid > 0 && wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return usage.ru_maxrss;
}

int ExtractChild(int argc, char** argv) {
    // archive_bench --extract-child ARCHIVE NAME FOLDER [--directory-only]
    if (argc < 5) return 2;
    TZipArchive zip;
    zip.SetArchiveFile(argv[2]);
    zip.SetPassword(kPassword);
    zip.SetDestination(argv[4]);
    try {
        zip.ReadDirectory();
        if (argc > 5) return 0;
        zip.FileList = {argv[3]};
        return zip.Extract() == 1 ? 0 : 1;
    } catch (const EZipError& e) {
        std::fprintf(stderr, "archive_bench: %s\n", e.what());
        return 1;
    }
}

bool MakeBigArchive(const fs::path& work, const fs::path& archive, uint64_t size, int level) {
    const fs::path source = work / "BIG.BIN";
    if (!WriteSource(source, size, 99)) return false;
    TZipArchive zip;
    zip.SetArchiveFile(archive);
    zip.SetPassword(kPassword);
    zip.SetCompressionLevel(level);
    zip.FileList = {PathToCp1251(source)};
    bool ok = zip.Add() == 1;
    fs::remove(source);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--extract-child") == 0) return ExtractChild(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (!Shell("zip -v >/dev/null 2>&1") || !Shell("unzip -v >/dev/null 2>&1")) {
        std::fprintf(stderr, "archive_bench: zip and unzip must be installed\n");
        return 1;
    }
    RandomizeFromClock();
    const fs::path work = UniqueRandomFileName(GetTempFolder(), ".bench");
    fs::create_directories(work);
    std::string self = fs::read_symlink("/proc/self/exe").string();
    bool ok = true;
    auto fail = [&](const char* what) {
        std::fprintf(stderr, "archive_bench: %s failed (work folder %s)\n", what, work.c_str());
        ok = false;
    };

    // (a) write-back
    std::printf("(a) INFO.SYS written back into an archive of 2000 encrypted entries, ms per write\n");
    std::printf("    %-8s %9s %10s %10s %10s %11s %10s %8s\n", "archive", "ours 1st", "ours fresh", "ours kept",
                "zip 1st", "zip median", "zip/ours", "growth");
    for (uint64_t megabytes : {5, 500}) {
        TWriteFigures f;
        if (!MeasureWriteBack(work, megabytes << 20, rounds, f)) {
            fail("write-back");
            break;
        }
        std::printf("    %5.0f MB %9.2f %10.2f %10.2f %10.1f %11.1f %9.0fx %7lld B\n", f.size / 1048576.0, f.firstMs,
                    f.freshMs, f.sameMs, f.zipFirstMs, f.zipMs, f.zipMs / f.freshMs, static_cast<long long>(f.growth));
        std::fflush(stdout);
    }

    // (b) extraction throughput, both tools writing a file into the same folder
    const fs::path big = work / "big.zip";
    if (ok && !MakeBigArchive(work, big, 100ull << 20, 6)) fail("making the 100 MB archive");
    if (ok) {
        const fs::path oursOut = work / "ours-out";
        const fs::path unzipOut = work / "unzip-out";
        fs::create_directories(oursOut);
        fs::create_directories(unzipOut);
        std::vector<double> oursTimes, unzipTimes;
        const std::string unzipCommand =
            "unzip -q -o -P '" + std::string(kPassword) + "' " + Quote(big) + " BIG.BIN -d " + Quote(unzipOut);
        auto runOurs = [&]() {
            fs::remove(oursOut / "BIG.BIN");
            sync();
            auto t0 = Clock::now();
            TZipArchive zip;
            zip.SetArchiveFile(big);
            zip.SetPassword(kPassword);
            zip.SetDestination(oursOut);
            zip.FileList = {"BIG.BIN"};
            int written = zip.Extract();
            oursTimes.push_back(Milliseconds(t0));
            return written == 1;
        };
        auto runUnzip = [&]() {
            fs::remove(unzipOut / "BIG.BIN");
            sync();
            auto t0 = Clock::now();
            bool done = Shell(unzipCommand);
            unzipTimes.push_back(Milliseconds(t0));
            return done;
        };
        // Which side goes first alternates, so neither always meets the other's write-back.
        for (int i = 0; i < rounds && ok; ++i) {
            bool done = (i % 2 == 0) ? runOurs() && runUnzip() : runUnzip() && runOurs();
            if (!done) fail("extraction");
        }
        if (ok && !Shell("cmp -s " + Quote(oursOut / "BIG.BIN") + " " + Quote(unzipOut / "BIG.BIN"))) {
            fail("comparing the two outputs");
        }
        if (ok) {
            double size = 100.0;
            double ours = size / (Median(oursTimes) / 1000.0);
            double peer = size / (Median(unzipTimes) / 1000.0);
            std::printf("(b) 100 MB entry (deflated to %.1f MB, encrypted) extracted to a file, median of %d\n",
                        fs::file_size(big) / 1048576.0, rounds);
            std::printf("    ours %.0f MB/s (%.0f ms), unzip %.0f MB/s (%.0f ms), ratio %.2fx\n", ours,
                        Median(oursTimes), peer, Median(unzipTimes), ours / peer);
            std::fflush(stdout);
        }
        fs::remove_all(oursOut);
        fs::remove_all(unzipOut);
        fs::remove(big);
    }

    // (c) peak memory of a process extracting a 500 MB entry
    const fs::path huge = work / "huge.zip";
    if (ok && !MakeBigArchive(work, huge, 500ull << 20, 1)) fail("making the 500 MB archive");
    if (ok) {
        const fs::path outFolder = work / "huge-out";
        fs::create_directories(outFolder);
        bool baseOk = false, extractOk = false, unzipOk = false;
        const std::vector<std::string> child = {self, "--extract-child", huge.string(), "BIG.BIN", outFolder.string()};
        std::vector<std::string> directoryOnly = child;
        directoryOnly.push_back("--directory-only");
        long base = PeakOfChild(directoryOnly, baseOk);
        long peak = PeakOfChild(child, extractOk);
        bool sizeOk = extractOk && fs::file_size(outFolder / "BIG.BIN") == (500ull << 20);
        fs::remove(outFolder / "BIG.BIN");
        long peer = PeakOfChild(
            {"unzip", "-q", "-o", "-P", kPassword, huge.string(), "BIG.BIN", "-d", outFolder.string()}, unzipOk);
        if (!baseOk || !sizeOk || !unzipOk) {
            fail("the 500 MB extraction");
        } else {
            std::printf("(c) peak resident memory extracting a 500 MB entry (deflated to %.0f MB, encrypted)\n",
                        fs::file_size(huge) / 1048576.0);
            std::printf("    ours %.1f MB (the same process reading only the directory: %.1f MB), unzip %.1f MB\n",
                        peak / 1024.0, base / 1024.0, peer / 1024.0);
        }
        fs::remove_all(outFolder);
    }

    std::error_code ec;
    fs::remove_all(work, ec);
    return ok ? 0 : 1;
}
