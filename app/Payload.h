#pragma once
// The test's settings and archive, appended to the end of the player's executable:
//
//   P+0  archive length A (4)      then the archive (A bytes)
//   then InfoText (4 + n), ExtraFieldCaption (1 + n), MaxScore, QuestionFontSize,
//        AnswerFontSize (4 each), EffectSteps (1), ShowMark (1), PasswordTail (4 + n),
//        LimitSeconds (4), LimitWholeTest (1), NoLimitForInput (1), QuestionsPerTest (4),
//        SequentialOrder (1), KeepAnswerOrder (1), ShowRightAnswer (4), SkipsAllowed (4)
//   end-6  payload length N: the bytes from P up to this field (4)
//   end-2  "SE"
//
// Numbers are big-endian; strings are Windows-1251 bytes.

#include <cstdint>
#include <string>

#include "platform/FileSystem.h"

// The settings a test run copies for itself when it starts.
struct TRunSettings {
    int32_t LimitSeconds = 0;
    bool LimitWholeTest = false;
    bool NoLimitForInput = false;
    int32_t QuestionsPerTest = 0;
    bool SequentialOrder = false;
    bool KeepAnswerOrder = false;
    int32_t ShowRightAnswer = 0;
    int32_t SkipsAllowed = 0;
};

struct TPayloadInfo : TRunSettings {
    std::string InfoText;
    std::string ExtraFieldCaption;
    int32_t MaxScore = 0;
    int32_t QuestionFontSize = 0;
    int32_t AnswerFontSize = 0;
    uint8_t EffectSteps = 0;
    bool ShowMark = false;
    std::string PasswordTail;
    // Not stored: where the reader put the copy of the archive.
    TPath ArchiveFile;
};

constexpr char kPayloadMarker[] = "SE";

// Reads the payload at the end of `exePath` into `info` and copies the archive to a new
// ".tmp" file in the temporary folder (named in ArchiveFile). A file without a payload,
// or whose lengths point outside it, leaves `info` empty and creates no file.
void ReadPayload(const TPath& exePath, TPayloadInfo& info);

// The settings block that follows the archive. Throws std::invalid_argument when a text
// does not fit its length field (ExtraFieldCaption holds at most 255 bytes).
std::string EncodePayloadSettings(const TPayloadInfo& info);

// Writes `exePath`'s bytes followed by a payload of `archivePath` and `info` to `outPath`.
// The executable is padded with zeros so that the archive starts on a 4096-byte boundary.
// Returns an empty string on success, otherwise what went wrong.
std::string WritePayloadExe(const TPath& exePath, const TPath& archivePath, const TPayloadInfo& info,
                            const TPath& outPath);
