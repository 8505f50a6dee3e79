#pragma once
// The few file-system operations the core needs, without <windows.h>.
// One implementation per OS (FileSystemPosix.cpp, FileSystemWin32.cpp); nothing here throws.

#include <cstddef>
#include <cstdint>
#include <filesystem>

using TPath = std::filesystem::path;

// An open file, read and written in large blocks. Owns its OS handle.
class TBinaryFile {
public:
    TBinaryFile() = default;
    ~TBinaryFile();
    TBinaryFile(const TBinaryFile&) = delete;
    TBinaryFile& operator=(const TBinaryFile&) = delete;
    TBinaryFile(TBinaryFile&& other) noexcept;
    TBinaryFile& operator=(TBinaryFile&& other) noexcept;

    // Read-only, sharing everything: the file may be the running executable.
    bool OpenRead(const TPath& path);
    // Creates the file or truncates an existing one, for writing.
    bool Create(const TPath& path);
    bool OpenReadWrite(const TPath& path);
    bool IsOpen() const;
    void Close();

    bool Size(uint64_t& size) const;
    bool Seek(uint64_t position);
    // Reads up to `count` bytes at the current position; the number read, 0 at the end or on error.
    size_t Read(void* buffer, size_t count);
    // Reads exactly `count` bytes or fails.
    bool ReadExact(void* buffer, size_t count);
    bool Write(const void* buffer, size_t count);
    // Cuts the file at the current position.
    bool TruncateHere();

    // Copies `count` bytes from the current position of `from` to the current position of
    // `to`, advancing both. False on a short read or a write error.
    static bool Copy(TBinaryFile& from, TBinaryFile& to, uint64_t count);

private:
    intptr_t handle_ = -1;
};

// True when anything (file, folder, link) exists at the path.
bool PathExists(const TPath& path);
bool DeleteFileAt(const TPath& path);
bool CreateFolder(const TPath& path);
bool RemoveEmptyFolder(const TPath& path);

// The system's temporary folder, ending in a separator; the root of the system drive
// when the system names none.
TPath GetTempFolder();

// Deletes everything inside the folder, but not the folder itself. Read-only entries are
// made writable first. After the first failure nothing more is deleted, though the walk
// goes on. Links (symbolic links, junctions, other reparse points) are removed themselves;
// what they point to is never touched. A folder that does not exist gives true.
bool ClearFolder(const TPath& folder);
