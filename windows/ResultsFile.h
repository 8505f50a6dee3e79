#pragma once
// The results file "Results.txt" beside the executable: one six-line record per completed run,
// cp1251, CR LF, always appended.

#include <cstdint>
#include <functional>
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

// How long a results file that another player is writing is waited for before the append gives
// up on it. The pauses between attempts double from the first to the longest, each drawn a little
// shorter or longer at random, so that players finishing in the same instant do not keep meeting.
struct TRetryPolicy {
    int32_t TotalMilliseconds = 10000;
    int32_t FirstPauseMilliseconds = 10;
    int32_t LongestPauseMilliseconds = 400;
    // Waits between two attempts; the default sleeps.
    std::function<void(int32_t milliseconds)> Pause;
};

// Creates the file if there is none, otherwise writes after its last byte, as one step against
// other writers: the file is held exclusively from the look at its end to the last byte written,
// and a file held by another writer is tried again (see TRetryPolicy). A trailing end-of-file mark
// (Ctrl-Z bytes up to the end, found in the last 128 bytes) is replaced by the record; all other
// content is never changed. After a failed write the file is put back as it was so that a retry
// does not leave half a record behind.
TAppendResult AppendResultsRecord(const TPath& path, const std::string& bytes, const TRetryPolicy& retry = {});

// Where a record went: the results file beside the program, or, when that cannot be written, the
// file of the same name in the fallback folder (the person's documents).
struct TRecordWrite {
    bool Ok = false;
    bool InFallback = false;
    TPath WrittenTo;
    TAppendResult Primary;
    TAppendResult Fallback;  // tried only when the primary file failed and a fallback folder is known
    bool FallbackTried = false;
};
TRecordWrite WriteResultsRecord(const TPath& primary, const TPath& fallbackFolder, const std::string& bytes,
                                const TRetryPolicy& retry = {});
