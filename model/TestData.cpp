#include "model/TestData.h"

#include <algorithm>
#include <stdexcept>
#include <string_view>

#include "model/Codepage.h"
#include "model/TextUtils.h"

const char kNoAttachment[] = "NONONONO.NON";

namespace {

constexpr size_t kQuestionHeaderSize = 25;
constexpr size_t kAnswerHeaderSize = 21;
constexpr size_t kAttachNameSize = 12;
constexpr size_t kMaxTextSize = 0xFFFF;
constexpr size_t kMaxAnswers = 0xFF;
constexpr size_t kReadChunk = 16 * 1024;

constexpr uint8_t kFlagOption7 = 0x80;
constexpr uint8_t kFlagOption6 = 0x40;
constexpr uint8_t kFlagAutoPlay = 0x20;
constexpr uint8_t kFlagOption4 = 0x10;
constexpr uint8_t kFlagReplaceText = 0x08;
constexpr uint8_t kFlagInPopup = 0x04;

struct TKindList {
    std::string Extensions;  // ".AVI .MPG .MPEG"
    TAttachKind Kind;
};

// kAttachExtensions as the player searches them: one text per kind, in the order of the kinds'
// first extensions.
const std::vector<TKindList>& KindLists() {
    static const std::vector<TKindList> lists = [] {
        std::vector<TKindList> out;
        for (const TAttachExtension& e : kAttachExtensions) {
            auto same = [&](const TKindList& list) { return list.Kind == e.Kind; };
            auto list = std::find_if(out.begin(), out.end(), same);
            if (list == out.end()) {
                out.push_back({e.Extension, e.Kind});
            } else {
                list->Extensions += std::string(" ") + e.Extension;
            }
        }
        return out;
    }();
    return lists;
}

uint8_t ByteAt(const std::string& bytes, size_t at) { return static_cast<uint8_t>(bytes[at]); }

uint16_t WordAt(const std::string& bytes, size_t at) { return MakeWord16(ByteAt(bytes, at), ByteAt(bytes, at + 1)); }

void DecodeFlags(uint8_t flags, TAttachOptions& options) {
    options.Option7 = (flags & kFlagOption7) != 0;
    options.Option6 = (flags & kFlagOption6) != 0;
    options.AutoPlay = (flags & kFlagAutoPlay) != 0;
    options.Option4 = (flags & kFlagOption4) != 0;
    options.ReplaceText = (flags & kFlagReplaceText) != 0;
    options.InPopup = (flags & kFlagInPopup) != 0;
}

uint8_t EncodeFlags(const TAttachOptions& options) {
    uint8_t flags = 0;
    if (options.Option7) flags |= kFlagOption7;
    if (options.Option6) flags |= kFlagOption6;
    if (options.AutoPlay) flags |= kFlagAutoPlay;
    if (options.Option4) flags |= kFlagOption4;
    if (options.ReplaceText) flags |= kFlagReplaceText;
    if (options.InPopup) flags |= kFlagInPopup;
    return flags;
}

class TMemorySource {
public:
    explicit TMemorySource(std::string_view bytes) : bytes_(bytes) {}

    bool Take(size_t count, std::string& out) {
        if (bytes_.size() - position_ < count) return false;
        out.assign(bytes_.data() + position_, count);
        position_ += count;
        return true;
    }

private:
    std::string_view bytes_;
    size_t position_ = 0;
};

class TFileSource {
public:
    explicit TFileSource(TBinaryFile& file) : file_(file) {}

    // `out` grows only as bytes arrive, so a length field larger than the file costs nothing.
    bool Take(size_t count, std::string& out) {
        out.clear();
        char chunk[kReadChunk];
        while (out.size() < count) {
            const size_t want = std::min(sizeof chunk, count - out.size());
            const size_t got = file_.Read(chunk, want);
            out.append(chunk, got);
            if (got < want) return false;
        }
        return true;
    }

private:
    TBinaryFile& file_;
};

// Fields are assigned only from complete reads, so a short file leaves the rest as it was.
template <class TSource>
bool ParseQuestionFrom(TSource& source, TTestQuestion& question) {
    std::string header;
    if (!source.Take(kQuestionHeaderSize, header)) return false;
    question.Priority = static_cast<int8_t>(ByteAt(header, 2));
    question.TimeLimit = WordAt(header, 3);
    question.AnswerMode = ByteAt(header, 5);
    const size_t answerCount = ByteAt(header, 6);
    DecodeFlags(ByteAt(header, 7), question.Attach);
    question.Attach.ScaleMode = ByteAt(header, 8);
    question.Attach.Width = WordAt(header, 9);
    question.Attach.Height = WordAt(header, 11);
    question.AttachFile = header.substr(13, kAttachNameSize);
    question.AttachKind = GetAttachKind(question.AttachFile);

    std::string text;
    if (!source.Take(WordAt(header, 0), text)) return false;
    question.Text = std::move(text);

    // At most 255 small records, whatever the file holds.
    question.Answers.assign(answerCount, TTestAnswer());
    for (TTestAnswer& answer : question.Answers) {
        if (!source.Take(kAnswerHeaderSize, header)) return false;
        answer.Weight = static_cast<int8_t>(ByteAt(header, 2));
        DecodeFlags(ByteAt(header, 3), answer.Attach);
        answer.Attach.Width = WordAt(header, 5);
        answer.Attach.Height = WordAt(header, 7);
        answer.AttachFile = header.substr(9, kAttachNameSize);
        answer.AttachKind = GetAttachKind(answer.AttachFile);
        if (!source.Take(WordAt(header, 0), text)) return false;
        answer.Text = std::move(text);
    }
    return true;
}

void AppendByte(std::string& out, uint8_t value) { out += static_cast<char>(value); }

void AppendWord(std::string& out, uint16_t value) {
    AppendByte(out, static_cast<uint8_t>(value >> 8));
    AppendByte(out, static_cast<uint8_t>(value & 0xFF));
}

uint16_t CheckedTextSize(const std::string& text) {
    if (text.size() > kMaxTextSize) throw std::invalid_argument("text longer than 65535 bytes");
    return static_cast<uint16_t>(text.size());
}

const std::string& CheckedAttachName(const std::string& name) {
    if (name.size() != kAttachNameSize) throw std::invalid_argument("attachment name not 12 characters: " + name);
    return name;
}

bool ReadWholeFile(const TPath& path, std::string& bytes) {
    TBinaryFile file;
    if (!file.OpenRead(path)) return false;
    bytes.clear();
    char chunk[kReadChunk];
    while (const size_t got = file.Read(chunk, sizeof chunk)) bytes.append(chunk, got);
    return true;
}

}  // namespace

TAttachKind GetAttachKind(const std::string& name) {
    const size_t dot = name.rfind('.');
    // Without a dot the extension is empty, and the empty string would match every list.
    if (dot == std::string::npos) return akNone;
    const std::string extension = UpperCaseCp1251(std::string_view(name).substr(dot));
    for (const TKindList& list : KindLists()) {
        if (list.Extensions.find(extension) != std::string::npos) return list.Kind;
    }
    return akNone;
}

bool LoadQuestionFile(const TPath& path, TTestQuestion& question) {
    TBinaryFile file;
    if (!file.OpenRead(path)) return false;
    TFileSource source(file);
    return ParseQuestionFrom(source, question);
}

bool ParseQuestion(const std::string& bytes, TTestQuestion& question) {
    TMemorySource source(bytes);
    return ParseQuestionFrom(source, question);
}

std::string EncodeQuestion(const TTestQuestion& question) {
    if (question.Answers.size() > kMaxAnswers) throw std::invalid_argument("more than 255 answers");
    std::string out;
    AppendWord(out, CheckedTextSize(question.Text));
    AppendByte(out, static_cast<uint8_t>(question.Priority));
    AppendWord(out, question.TimeLimit);
    AppendByte(out, question.AnswerMode);
    AppendByte(out, static_cast<uint8_t>(question.Answers.size()));
    AppendByte(out, EncodeFlags(question.Attach));
    AppendByte(out, question.Attach.ScaleMode);
    AppendWord(out, question.Attach.Width);
    AppendWord(out, question.Attach.Height);
    out += CheckedAttachName(question.AttachFile);
    out += question.Text;
    for (const TTestAnswer& answer : question.Answers) {
        AppendWord(out, CheckedTextSize(answer.Text));
        AppendByte(out, static_cast<uint8_t>(answer.Weight));
        AppendByte(out, EncodeFlags(answer.Attach));
        AppendByte(out, 0);  // never read: answers have no scale mode
        AppendWord(out, answer.Attach.Width);
        AppendWord(out, answer.Attach.Height);
        out += CheckedAttachName(answer.AttachFile);
        out += answer.Text;
    }
    return out;
}

// A lone CR (one not followed by LF) is kept as part of its line: only CR LF and LF end lines.
std::vector<std::string> SplitIndexLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t lf = text.find('\n', start);
        if (lf == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        const size_t end = lf > start && text[lf - 1] == '\r' ? lf - 1 : lf;
        lines.push_back(text.substr(start, end - start));
        start = lf + 1;
    }
    return lines;
}

bool ReadIndexFile(const TPath& path, std::vector<std::string>& lines) {
    std::string text;
    if (!ReadWholeFile(path, text)) return false;
    lines = SplitIndexLines(text);
    return true;
}
