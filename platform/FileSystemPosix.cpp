#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

int Fd(intptr_t handle) { return static_cast<int>(handle); }

bool ClearFolderInto(const std::string& folder, bool& result) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return result;
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    for (const std::string& name : names) {
        std::string path = folder + "/" + name;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0) continue;
        // lstat does not follow links: a link to a folder is removed like a file.
        if (S_ISDIR(st.st_mode)) {
            if ((st.st_mode & S_IWUSR) == 0) chmod(path.c_str(), st.st_mode | S_IRWXU);
            ClearFolderInto(path, result);
            if (result) result = rmdir(path.c_str()) == 0;
        } else if (result) {
            result = unlink(path.c_str()) == 0;
        }
    }
    return result;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool DosToTm(uint16_t date, uint16_t time, struct tm& tm) {
    static const int kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int year = 1980 + (date >> 9);
    int month = (date >> 5) & 0x0F;
    int day = date & 0x1F;
    int hour = time >> 11;
    int minute = (time >> 5) & 0x3F;
    int second = (time & 0x1F) * 2;
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59) return false;
    int days = kDaysInMonth[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
    if (day > days) return false;
    tm = {};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return true;
}

}  // namespace

bool TBinaryFile::OpenRead(const TPath& path) {
    Close();
    handle_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return handle_ >= 0;
}

bool TBinaryFile::Create(const TPath& path) {
    Close();
    handle_ = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return handle_ >= 0;
}

bool TBinaryFile::CreateNew(const TPath& path) {
    Close();
    handle_ = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    return handle_ >= 0;
}

bool TBinaryFile::OpenReadWrite(const TPath& path) {
    Close();
    handle_ = open(path.c_str(), O_RDWR | O_CLOEXEC);
    return handle_ >= 0;
}

TBinaryFile::TExclusiveOpen TBinaryFile::OpenExclusive(const TPath& path) {
    Close();
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return TExclusiveOpen::Failed;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return error == EWOULDBLOCK || error == EINTR ? TExclusiveOpen::Busy : TExclusiveOpen::Failed;
    }
    handle_ = fd;
    return TExclusiveOpen::Opened;
}

bool TBinaryFile::IsOpen() const { return handle_ >= 0; }

void TBinaryFile::Close() {
    if (handle_ >= 0) close(Fd(handle_));
    handle_ = -1;
}

bool TBinaryFile::Size(uint64_t& size) const {
    struct stat st;
    if (handle_ < 0 || fstat(Fd(handle_), &st) != 0) return false;
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool TBinaryFile::Seek(uint64_t position) {
    return handle_ >= 0 && lseek(Fd(handle_), static_cast<off_t>(position), SEEK_SET) >= 0;
}

size_t TBinaryFile::Read(void* buffer, size_t count) {
    if (handle_ < 0) return 0;
    char* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        ssize_t n = read(Fd(handle_), out + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

bool TBinaryFile::Write(const void* buffer, size_t count) {
    if (handle_ < 0) return false;
    const char* in = static_cast<const char*>(buffer);
    while (count > 0) {
        ssize_t n = write(Fd(handle_), in, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        in += n;
        count -= static_cast<size_t>(n);
    }
    return true;
}

bool TBinaryFile::TruncateHere() {
    if (handle_ < 0) return false;
    off_t here = lseek(Fd(handle_), 0, SEEK_CUR);
    return here >= 0 && ftruncate(Fd(handle_), here) == 0;
}

bool TBinaryFile::Copy(TBinaryFile& from, TBinaryFile& to, uint64_t count) {
    if (!from.IsOpen() || !to.IsOpen()) return false;
    // Let the kernel move the bytes where it can; fall back to a plain loop.
    while (count > 0) {
        size_t chunk = count > (1u << 30) ? (1u << 30) : static_cast<size_t>(count);
        ssize_t n = copy_file_range(Fd(from.handle_), nullptr, Fd(to.handle_), nullptr, chunk, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        count -= static_cast<uint64_t>(n);
    }
    if (count == 0) return true;
    constexpr size_t kBufferSize = 1 << 20;
    std::vector<char> buffer(kBufferSize);
    while (count > 0) {
        size_t want = count > kBufferSize ? kBufferSize : static_cast<size_t>(count);
        size_t got = from.Read(buffer.data(), want);
        if (got == 0 || !to.Write(buffer.data(), got)) return false;
        count -= got;
    }
    return true;
}

bool PathExists(const TPath& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

bool DeleteFileAt(const TPath& path) { return unlink(path.c_str()) == 0; }

bool CreateFolder(const TPath& path) { return mkdir(path.c_str(), 0755) == 0; }

bool RemoveEmptyFolder(const TPath& path) { return rmdir(path.c_str()) == 0; }

TPath GetTempFolder() {
    const char* dir = std::getenv("TMPDIR");
    std::string folder = (dir != nullptr && *dir != '\0') ? dir : "/tmp";
    if (folder.back() != '/') folder += '/';
    return TPath(folder);
}

TPath GetDocumentsFolder() {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') return TPath();
    const TPath documents = TPath(home) / "Documents";
    struct stat st;
    return stat(documents.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? documents : TPath(home);
}

bool ClearFolder(const TPath& folder) {
    std::string path = folder.string();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (path.empty()) return true;
    bool result = true;
    return ClearFolderInto(path, result);
}

bool GetFileDosDateTime(const TPath& path, uint16_t& date, uint16_t& time) {
    struct stat st;
    struct tm tm;
    if (stat(path.c_str(), &st) != 0 || localtime_r(&st.st_mtime, &tm) == nullptr) return false;
    if (tm.tm_year < 80) {
        date = (1 << 5) | 1;
        time = 0;
        return true;
    }
    if (tm.tm_year > 80 + 127) {
        date = static_cast<uint16_t>((127 << 9) | (12 << 5) | 31);
        time = static_cast<uint16_t>((23 << 11) | (59 << 5) | 29);
        return true;
    }
    int second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
    date = static_cast<uint16_t>(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    time = static_cast<uint16_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (second / 2));
    return true;
}

bool SetFileDosDateTime(const TPath& path, uint16_t date, uint16_t time) {
    struct tm tm;
    if (!DosToTm(date, time, tm)) return false;
    time_t when = mktime(&tm);
    if (when == static_cast<time_t>(-1)) return false;
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = when;
    times[1].tv_nsec = 0;
    return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

int GetFileDosAttributes(const TPath& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return -1;
    return (st.st_mode & S_IWUSR) ? 0 : kDosReadOnly;
}

bool SetFileDosAttributes(const TPath& path, uint8_t attributes) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    mode_t mode = st.st_mode & 07777;
    mode = (attributes & kDosReadOnly) ? (mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
    return chmod(path.c_str(), mode) == 0;
}

bool ClearReadOnly(const TPath& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || (st.st_mode & S_IWUSR)) return true;
    return chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

bool GetFileModificationTime(const TPath& path, int64_t& time) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    time = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}
