#pragma once
// The archive container: ZIP records (with configurable signatures), traditional PKWARE
// encryption, stored and deflated entries. Reads the directory, extracts entries into a
// folder or into memory, and adds or replaces entries in place.

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

// The three record signatures. Standard ZIP values by default; the player switches to the
// test archive's values once at start-up, before any archive is opened.
struct TZipSignatures {
    uint32_t Local = 0x04034B50;
    uint32_t Central = 0x02014B50;
    uint32_t End = 0x06054B50;
};
constexpr TZipSignatures kStandardZipSignatures{};
constexpr TZipSignatures kTestArchiveSignatures{0x19ABCDEF, 0x01234567, 0x1FAACCEE};

void SetZipSignatures(const TZipSignatures& signatures);
const TZipSignatures& ZipSignatures();

// Errors of the archive component. what() is the message shown for the class.
class EZipError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    virtual const char* ClassName() const { return "EZipError"; }
};
#define TP_ZIP_ERROR(Name, Message)                                     \
    class Name : public EZipError {                                     \
    public:                                                             \
        Name() : EZipError(Message) {}                                  \
        const char* ClassName() const override { return #Name; }        \
    };
TP_ZIP_ERROR(ENotAZipFile, "Not a valid zip file!")
TP_ZIP_ERROR(EIncompleteZip, "Incomplete Zip File")
TP_ZIP_ERROR(EBadZipFile, "Not a valid zip file!")
TP_ZIP_ERROR(EFatalUnzipError, "Premature end of file reached")
TP_ZIP_ERROR(EBiggerThanUncompressed, "File is larger than uncompressed size!")
TP_ZIP_ERROR(EUserCanceled, "User Aborted Operation")
TP_ZIP_ERROR(EZipWriteError, "Cannot write the archive")
#undef TP_ZIP_ERROR

// One central directory entry. Name is Windows-1251 with backslashes as folder separators
// (converted from the OEM code page when the host byte is 0).
struct TZipEntry {
    std::string Name;
    uint16_t VersionMadeBy = 0;
    uint16_t VersionNeeded = 0;
    uint16_t Flags = 0;
    uint16_t Method = 0;
    uint16_t Time = 0;
    uint16_t Date = 0;
    uint32_t Crc = 0;
    uint32_t CompressedSize = 0;  // with the 12-byte encryption header
    uint32_t UncompressedSize = 0;
    uint16_t DiskStart = 0;
    uint16_t InternalAttributes = 0;
    uint32_t ExternalAttributes = 0;
    uint32_t LocalHeaderOffset = 0;
    std::string RawName;  // as stored, for writing the entry back unchanged
    std::string Extra;
    std::string Comment;
};

// What to do with a file that has no end record.
enum class TIncompleteAnswer { MultiPart, Damaged, NotAnArchive };

class TZipArchive {
public:
    TZipArchive();
    ~TZipArchive();
    TZipArchive(const TZipArchive&) = delete;
    TZipArchive& operator=(const TZipArchive&) = delete;

    void SetArchiveFile(const TPath& path);  // closes any open archive
    const TPath& ArchiveFile() const;
    void SetPassword(const std::string& password);
    void SetDestination(const TPath& folder);
    void SetCompressionLevel(int level);  // 0 stores, 1-9 deflate
    int CompressionLevel() const;
    // The archive comment (the test's name, Windows-1251) the next Add writes, even when it
    // adds no file; until then an archive keeps the comment it has. Cut at 65535 bytes.
    void SetComment(const std::string& comment);

    // Entry names to extract (compared case-insensitively), or file paths to add.
    // Emptied by every Extract and Add.
    std::vector<std::string> FileList;
    // Files to add given as paths, for names Windows-1251 cannot spell; added after those in
    // FileList. Emptied by every Add.
    std::vector<TPath> AddFiles;

    // Events. All optional.
    // A wrong password for `entry`: return true with a new password to try again.
    std::function<bool(const std::string& entry, std::string& password)> OnWrongPassword;
    std::function<void(const std::string& entry, const std::string& reason)> OnSkipped;
    std::function<void(int percent)> OnTotalProgress;  // during Extract and Add
    std::function<void()> OnUnzipEnd;
    std::function<void()> OnZipEnd;
    std::function<TIncompleteAnswer()> OnIncompleteArchive;  // unset: NotAnArchive
    // A message for the person (the unknown compression method); unset: ignored.
    std::function<void(const std::string& text, const std::string& caption)> OnMessage;
    // Set from an event handler to abort the running operation with EUserCanceled.
    bool Cancel = false;

    // Reads the end record and the central directory (recovery scan when damaged).
    void ReadDirectory();
    bool IsOpen() const;
    const std::vector<TZipEntry>& Entries() const;
    const std::string& Comment() const;

    // Extracts the entries named in FileList into the destination folder, overwriting
    // existing files. Re-reads the directory first only when the file changed on disk.
    // Returns the number of files written.
    int Extract();
    // Extracts one entry into memory. False when it is not there or cannot be decoded.
    bool ExtractToMemory(const std::string& name, std::string& data);
    // Adds the files named (by path) in FileList under their bare names, replacing
    // entries of the same name. Returns the number added. Never copies the archive: new
    // entries go where the old directory began, or over the entry they replace when only
    // the directory follows it. EZipWriteError when the archive cannot be written.
    int Add();
    void Close();

    struct TImpl;

private:
    std::unique_ptr<TImpl> impl_;
};

// The messages of the unknown-method box.
extern const char kUnknownMethodText[];   // "Unknown Compression Method"
extern const char kZipErrorCaption[];     // "Zip Error"
