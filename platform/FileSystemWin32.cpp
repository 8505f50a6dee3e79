#include "platform/FileSystem.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <string>

namespace {

constexpr DWORD kDosAttributeMask =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

HANDLE H(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

bool IsValid(intptr_t handle) { return handle != -1 && handle != 0; }

intptr_t Open(const TPath& path, DWORD access, DWORD share, DWORD disposition) {
    HANDLE h = CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return reinterpret_cast<intptr_t>(h);
}

void ClearFolderInto(const std::wstring& folder, bool& result) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"*.*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring path = folder + name;
        DWORD attributes = data.dwFileAttributes;
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            // A symbolic link or junction: remove the link, never what it points to.
            if (result) {
                result = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(path.c_str()) != 0
                                                                 : DeleteFileW(path.c_str()) != 0;
            }
            continue;
        }
        // Attributes of a link would be set on its target, so only plain entries get here.
        if (attributes & FILE_ATTRIBUTE_READONLY) {
            SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        }
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            ClearFolderInto(path + L"\\", result);
            if (result) result = RemoveDirectoryW(path.c_str()) != 0;
        } else if (result) {
            result = DeleteFileW(path.c_str()) != 0;
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

}  // namespace

bool TBinaryFile::OpenRead(const TPath& path) {
    Close();
    handle_ = Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
    return IsOpen();
}

bool TBinaryFile::Create(const TPath& path) {
    Close();
    handle_ = Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
    return IsOpen();
}

bool TBinaryFile::CreateNew(const TPath& path) {
    Close();
    handle_ = Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW);
    return IsOpen();
}

bool TBinaryFile::OpenReadWrite(const TPath& path) {
    Close();
    handle_ = Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
    return IsOpen();
}

TBinaryFile::TExclusiveOpen TBinaryFile::OpenExclusive(const TPath& path) {
    Close();
    // OPEN_ALWAYS creates or opens in one step: two writers that both find no file never
    // truncate each other's record. Sharing only reading keeps every other writer out.
    handle_ = Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS);
    if (IsOpen()) return TExclusiveOpen::Opened;
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return TExclusiveOpen::Busy;
    return TExclusiveOpen::Failed;
}

bool TBinaryFile::IsOpen() const { return IsValid(handle_); }

void TBinaryFile::Close() {
    if (IsOpen()) CloseHandle(H(handle_));
    handle_ = -1;
}

bool TBinaryFile::Size(uint64_t& size) const {
    LARGE_INTEGER li;
    if (!IsOpen() || !GetFileSizeEx(H(handle_), &li)) return false;
    size = static_cast<uint64_t>(li.QuadPart);
    return true;
}

bool TBinaryFile::Seek(uint64_t position) {
    LARGE_INTEGER li;
    li.QuadPart = static_cast<LONGLONG>(position);
    return IsOpen() && SetFilePointerEx(H(handle_), li, nullptr, FILE_BEGIN);
}

size_t TBinaryFile::Read(void* buffer, size_t count) {
    if (!IsOpen()) return 0;
    char* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        DWORD want = count - done > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count - done);
        DWORD got = 0;
        if (!ReadFile(H(handle_), out + done, want, &got, nullptr) || got == 0) break;
        done += got;
    }
    return done;
}

bool TBinaryFile::Write(const void* buffer, size_t count) {
    if (!IsOpen()) return false;
    const char* in = static_cast<const char*>(buffer);
    while (count > 0) {
        DWORD want = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
        DWORD done = 0;
        if (!WriteFile(H(handle_), in, want, &done, nullptr) || done == 0) return false;
        in += done;
        count -= done;
    }
    return true;
}

bool TBinaryFile::TruncateHere() { return IsOpen() && SetEndOfFile(H(handle_)); }

bool TBinaryFile::Copy(TBinaryFile& from, TBinaryFile& to, uint64_t count) {
    constexpr size_t kBufferSize = 1 << 20;
    std::string buffer(kBufferSize, '\0');
    while (count > 0) {
        size_t want = count > kBufferSize ? kBufferSize : static_cast<size_t>(count);
        size_t got = from.Read(&buffer[0], want);
        if (got == 0 || !to.Write(buffer.data(), got)) return false;
        count -= got;
    }
    return true;
}

bool PathExists(const TPath& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool DeleteFileAt(const TPath& path) { return DeleteFileW(path.c_str()) != 0; }

bool CreateFolder(const TPath& path) { return CreateDirectoryW(path.c_str(), nullptr) != 0; }

bool RemoveEmptyFolder(const TPath& path) { return RemoveDirectoryW(path.c_str()) != 0; }

TPath GetTempFolder() {
    wchar_t buffer[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    if (n == 0 || n > MAX_PATH) return TPath(L"C:\\");
    return TPath(std::wstring(buffer, n));
}

TPath GetDocumentsFolder() {
    wchar_t* path = nullptr;
    TPath folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &path)) && path != nullptr) folder = path;
    CoTaskMemFree(path);
    return folder;
}

bool ClearFolder(const TPath& folder) {
    std::wstring path = folder.native();
    // An empty path would make the pattern "\*.*", the root of the current drive.
    if (path.empty()) return true;
    if (path.back() != L'\\' && path.back() != L'/') path += L'\\';
    bool result = true;
    ClearFolderInto(path, result);
    return result;
}

bool GetFileDosDateTime(const TPath& path, uint16_t& date, uint16_t& time) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    FILETIME local;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        !FileTimeToLocalFileTime(&data.ftLastWriteTime, &local)) {
        return false;
    }
    WORD dosDate = 0;
    WORD dosTime = 0;
    if (!FileTimeToDosDateTime(&local, &dosDate, &dosTime)) {
        // Fails for times the form cannot hold: before 1980 (or after 2107).
        dosDate = (1 << 5) | 1;
        dosTime = 0;
    }
    date = dosDate;
    time = dosTime;
    return true;
}

bool SetFileDosDateTime(const TPath& path, uint16_t date, uint16_t time) {
    FILETIME local;
    FILETIME utc;
    if (!DosDateTimeToFileTime(date, time, &local) || !LocalFileTimeToFileTime(&local, &utc)) return false;
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = SetFileTime(h, nullptr, nullptr, &utc) != 0;
    CloseHandle(h);
    return ok;
}

int GetFileDosAttributes(const TPath& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return -1;
    return static_cast<int>(attributes & kDosAttributeMask);
}

bool SetFileDosAttributes(const TPath& path, uint8_t attributes) {
    DWORD wanted = attributes & kDosAttributeMask;
    return SetFileAttributesW(path.c_str(), wanted == 0 ? FILE_ATTRIBUTE_NORMAL : wanted) != 0;
}

bool ClearReadOnly(const TPath& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY)) return true;
    attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    return SetFileAttributesW(path.c_str(), attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes) != 0;
}

bool GetFileModificationTime(const TPath& path, int64_t& time) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    time = static_cast<int64_t>((static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                data.ftLastWriteTime.dwLowDateTime);
    return true;
}
