#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
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

bool TBinaryFile::OpenReadWrite(const TPath& path) {
    Close();
    handle_ = open(path.c_str(), O_RDWR | O_CLOEXEC);
    return handle_ >= 0;
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

bool ClearFolder(const TPath& folder) {
    std::string path = folder.string();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (path.empty()) return true;
    bool result = true;
    return ClearFolderInto(path, result);
}
