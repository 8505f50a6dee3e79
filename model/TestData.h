#pragma once
// A test's question bank in memory, and the file formats it is stored in: question files
// (big-endian binary), "INDEX.SYS" (one question entry name per line).

#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

enum TAttachKind : uint8_t { akNone = 0, akPicture = 1, akSound = 2, akVideo = 3, akFme = 4, akOle = 5 };

struct TAttachOptions {
    bool Option7 = false;
    bool Option6 = false;
    bool AutoPlay = false;
    bool Option4 = false;
    bool ReplaceText = false;
    bool InPopup = false;
    uint8_t ScaleMode = 0;
    uint16_t Width = 0;
    uint16_t Height = 0;
};

struct TTestAnswer {
    int8_t Weight = 0;
    std::string Text;
    TAttachOptions Attach;
    TAttachKind AttachKind = akNone;
    std::string AttachFile;
    // Where the attachment was extracted to, once loaded with attachments. AttachFile then
    // holds the same path as text, which loses what the code page cannot show.
    TPath AttachPath;
};

struct TTestQuestion {
    uint8_t AnswerMode = 0;  // 0 single choice, 1 typed input, 2 multiple choice, 3 ordering
    int8_t Priority = 0;
    uint16_t TimeLimit = 0;
    std::string Text;
    std::vector<TTestAnswer> Answers;
    TAttachOptions Attach;
    TAttachKind AttachKind = akNone;
    std::string AttachFile;
    // Where the attachment was extracted to, once loaded with attachments. AttachFile then
    // holds the same path as text, which loses what the code page cannot show.
    TPath AttachPath;
};

// The attachment name of a question or answer that has none.
extern const char kNoAttachment[];  // "NONONONO.NON"

// The file extensions of the attachment kinds, upper case. An attachment's entry name is 8.3, so
// a longer extension is stored as its three-letter one.
struct TAttachExtension {
    const char* Extension;  // ".MPEG"
    TAttachKind Kind;
    const char* Stored = nullptr;  // ".MPG"; none when Extension has three letters
};
// The order counts: the player searches the kinds in the order they first appear here.
inline constexpr TAttachExtension kAttachExtensions[] = {
    {".AVI", akVideo}, {".MPG", akVideo}, {".MPEG", akVideo, ".MPG"},
    {".WAV", akSound}, {".MP1", akSound}, {".MP2", akSound}, {".MP3", akSound}, {".MID", akSound},
    {".MIDI", akSound, ".MID"}, {".RMI", akSound}, {".WMA", akSound},
    {".JPG", akPicture}, {".JPEG", akPicture, ".JPG"}, {".BMP", akPicture}, {".EMF", akPicture}, {".WMF", akPicture},
    {".FME", akFme},
    {".OLE", akOle},
};

// The kind the player shows a file as, by the text after the last dot. It looks the text up as
// a substring of each kind's extensions written one after another (".AVI .MPG .MPEG"), so a
// partial extension such as ".MP" or "." finds the first kind holding it.
TAttachKind GetAttachKind(const std::string& name);

// Parses a question file into `question` (expected empty). False when the file is missing
// or ends early; the fields read so far stay filled and Answers keeps its stated length.
bool LoadQuestionFile(const TPath& path, TTestQuestion& question);
// The same from bytes in memory.
bool ParseQuestion(const std::string& bytes, TTestQuestion& question);
// The file bytes of a question. Texts longer than 65535 bytes, more than 255 answers or
// an attachment name that is not 12 characters throw std::invalid_argument.
std::string EncodeQuestion(const TTestQuestion& question);

// "INDEX.SYS": every line counts, the empty ones too; CR LF or LF ends a line; a last
// line without an end counts.
bool ReadIndexFile(const TPath& path, std::vector<std::string>& lines);
std::vector<std::string> SplitIndexLines(const std::string& text);
