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
    // Creates the file only if nothing of that name exists (checked and created in one step).
    bool CreateNew(const TPath& path);
    bool OpenReadWrite(const TPath& path);
    // Opens the file for reading and writing, creating it when missing and never truncating it,
    // and holds it against every other writer until it is closed: other processes calling this
    // get Busy meanwhile (a sharing violation on Windows, a lock conflict on POSIX). Readers are
    // not kept out.
    enum class TExclusiveOpen { Opened, Busy, Failed };
    TExclusiveOpen OpenExclusive(const TPath& path);
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

// MS-DOS date and time words as archives keep them: local time, two-second steps; the date
// word holds year - 1980, month and day, the time word hours, minutes and seconds / 2.
// A modification time before 1980 reads as 1980-01-01 00:00:00.
bool GetFileDosDateTime(const TPath& path, uint16_t& date, uint16_t& time);
// False for a date or time that names no moment (month 0, hour 24, ...); the file keeps its time.
bool SetFileDosDateTime(const TPath& path, uint16_t date, uint16_t time);

// MS-DOS attribute bits: read-only 0x01, hidden 0x02, system 0x04, archive 0x20.
constexpr uint8_t kDosReadOnly = 0x01;
// The file's MS-DOS attributes, -1 when it cannot be examined. POSIX knows only read-only:
// a file its owner cannot write.
int GetFileDosAttributes(const TPath& path);
// Applies the read-only, hidden, system and archive bits; other bits are ignored. Without the
// read-only bit the file becomes writable. On POSIX read-only takes away every write permission.
bool SetFileDosAttributes(const TPath& path, uint8_t attributes);
// Makes a read-only file writable so it can be overwritten. True when there is nothing to clear.
bool ClearReadOnly(const TPath& path);

// The last modification time in the system's finest unit: equal values mean the file was not
// written in between, as far as the file system can tell.
bool GetFileModificationTime(const TPath& path, int64_t& time);

// The system's temporary folder, ending in a separator; the root of the system drive
// when the system names none.
TPath GetTempFolder();

// The person's own documents folder (the shell's Documents on Windows, $HOME/Documents or else
// $HOME on POSIX); empty when there is none.
TPath GetDocumentsFolder();

// Deletes everything inside the folder, but not the folder itself. Read-only entries are
// made writable first. After the first failure nothing more is deleted, though the walk
// goes on. Links (symbolic links, junctions, other reparse points) are removed themselves;
// what they point to is never touched. A folder that does not exist gives true.
bool ClearFolder(const TPath& folder);
