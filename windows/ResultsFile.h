#pragma once
// The results file "Results.txt" beside the executable: one six-line record per completed run,
// cp1251, CR LF, always appended.

#include <cstdint>
#include <string>

#include "platform/FileSystem.h"

// What the result window shows, as the record needs it. Texts are cp1251, exactly as typed.
struct TResultsRecord {
    std::string TestName;
    std::string FIO;
    std::string OtherInfoCaption;
    std::string OtherInfo;
    int32_t TestSeconds = 0;
    int32_t Mark = 0;
};

// "балл", "балла" or "баллов" for the decimal text of a number (a leading minus is allowed).
std::string PointsWord(const std::string& decimalText);
// "345 баллов".
std::string PointsText(int32_t points);
// "10 мин 21 сек", or "45 сек" up to a minute.
std::string TestTimeText(int32_t seconds);
// The two-line note shown under the logo when the run was interrupted.
std::string InterruptedNoteText();

// The record's bytes, ready to be appended.
std::string FormatResultsRecord(const TResultsRecord& record);

TPath ResultsFilePath(const TPath& exeFolder);

struct TSystemError {
    int Code = 0;
    std::string Text;  // cp1251
};
// Reads the reason of the file operation that has just failed. The default reads errno; the Windows build
// installs one that reads the last-error code. nullptr restores the default.
using TSystemErrorReader = TSystemError (*)();
void SetSystemErrorReader(TSystemErrorReader reader);

struct TAppendResult {
    bool Ok = true;
    int ErrorCode = 0;
    std::string Message;  // cp1251, ready for a message box offering Retry / Cancel
};

// Creates the file if there is none, otherwise writes after its last byte. A trailing end-of-file mark
// (Ctrl-Z bytes up to the end, found in the last 128 bytes) is replaced by the record; all other content
// is never changed. After a failed write the file is put back as it was so that a retry does not leave
// half a record behind.
TAppendResult AppendResultsRecord(const TPath& path, const std::string& bytes);
