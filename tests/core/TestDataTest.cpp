#include "model/TestData.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "model/Codepage.h"
#include "tests/core/TempDir.h"

using namespace std::literals;

namespace {

std::string Describe(const TAttachOptions& o) {
    std::ostringstream s;
    s << (o.Option7 ? "7" : "-") << (o.Option6 ? "6" : "-") << (o.AutoPlay ? "A" : "-") << (o.Option4 ? "4" : "-")
      << (o.ReplaceText ? "R" : "-") << (o.InPopup ? "P" : "-") << " scale " << int(o.ScaleMode) << " " << o.Width
      << "x" << o.Height;
    return s.str();
}

// Every field, so one comparison shows what differs.
std::string Describe(const TTestQuestion& q) {
    std::ostringstream s;
    s << "mode " << int(q.AnswerMode) << " priority " << int(q.Priority) << " time " << q.TimeLimit << " text ["
      << q.Text << "] attach " << Describe(q.Attach) << " kind " << int(q.AttachKind) << " [" << q.AttachFile
      << "] answers " << q.Answers.size() << "\n";
    for (const TTestAnswer& a : q.Answers) {
        s << "  weight " << int(a.Weight) << " text [" << a.Text << "] attach " << Describe(a.Attach) << " kind "
          << int(a.AttachKind) << " [" << a.AttachFile << "]\n";
    }
    return s.str();
}

// A typed-input question with three answers, written out byte by byte.
const std::string kQuestionText = Utf8ToCp1251("Столица?");
const std::string kTypedVariants = Utf8ToCp1251("Москва¦Moskva¦Moscow");

std::string HandWrittenQuestion() {
    return "\x00\x08"s          // text length
           "\xFF"s              // priority -1
           "\x01\x2C"s          // time limit 300
           "\x01"s              // typed input
           "\x03"s              // three answers
           "\x24"s              // AutoPlay, InPopup
           "\x02"s              // scale mode
           "\x01\x40\x00\xF0"s  // 320 x 240
           "A       .BMP"s +    // taken untrimmed
           kQuestionText +
           // answer 1
           "\x00\x14"s  // text length 20
           "\x05"s      // weight
           "\x00"s      // flags
           "\x00"s      // unused
           "\x00\x00\x00\x00"s
           "NONONONO.NON"s +
           kTypedVariants +
           // answer 2
           "\x00\x03"s          // text length
           "\xFE"s              // weight -2
           "\xC8"s              // Option7, Option6, ReplaceText
           "\x00"s              // unused
           "\x12\x34\xAB\xCD"s  // high bytes must not sign-extend
           "melody01.mid"s +
           Utf8ToCp1251("Нет") +
           // answer 3: empty text
           "\x00\x00"s
           "\x00"s
           "\x10"s  // Option4
           "\x00"s
           "\x00\x00\x00\x00"s
           "VIDEO001.AVI"s;
}

// Offsets in HandWrittenQuestion() where each part begins.
constexpr size_t kTextAt = 25;
constexpr size_t kAnswer1At = 33;
constexpr size_t kAnswer2At = 74;
constexpr size_t kAnswer3At = 98;
constexpr size_t kQuestionEnd = 119;

TTestQuestion ExpectedQuestion() {
    TTestQuestion q;
    q.AnswerMode = 1;
    q.Priority = -1;
    q.TimeLimit = 300;
    q.Text = kQuestionText;
    q.Attach.AutoPlay = true;
    q.Attach.InPopup = true;
    q.Attach.ScaleMode = 2;
    q.Attach.Width = 320;
    q.Attach.Height = 240;
    q.AttachKind = akPicture;
    q.AttachFile = "A       .BMP";
    q.Answers.resize(3);
    TTestAnswer& a1 = q.Answers[0];
    a1.Weight = 5;
    a1.Text = kTypedVariants;
    a1.AttachFile = kNoAttachment;
    TTestAnswer& a2 = q.Answers[1];
    a2.Weight = -2;
    a2.Text = Utf8ToCp1251("Нет");
    a2.Attach.Option7 = true;
    a2.Attach.Option6 = true;
    a2.Attach.ReplaceText = true;
    a2.Attach.Width = 0x1234;
    a2.Attach.Height = 0xABCD;
    a2.AttachKind = akSound;
    a2.AttachFile = "melody01.mid";
    TTestAnswer& a3 = q.Answers[2];
    a3.Attach.Option4 = true;
    a3.AttachKind = akVideo;
    a3.AttachFile = "VIDEO001.AVI";
    return q;
}

// Reads through both entry points: from memory, and from a file holding the same bytes.
struct Reader {
    const char* name;
    std::function<bool(const std::string&, TTestQuestion&)> read;
};

std::vector<Reader> Readers(const TTempDir& dir) {
    const TPath path = dir / "QUEST.001";
    return {
        {"memory", [](const std::string& bytes, TTestQuestion& q) { return ParseQuestion(bytes, q); }},
        {"file",
         [path](const std::string& bytes, TTestQuestion& q) {
             WriteFileBytes(path, bytes);
             return LoadQuestionFile(path, q);
         }},
    };
}

TEST(GetAttachKindTest, ExtensionSearchedInTheListsInOrder) {
    struct Case {
        std::string name;
        TAttachKind kind;
    };
    const Case cases[] = {
        {"NONONONO.NON", akNone},
        {"PICTURE1.JPG", akPicture},
        {"picture1.jpg", akPicture},
        {"A.JPEG", akPicture},
        {"A.BMP", akPicture},
        {"A.EMF", akPicture},
        {"A.wmf", akPicture},
        {"A.WAV", akSound},
        {"A.MP3", akSound},
        {"A.mid", akSound},
        {"A.MIDI", akSound},
        {"A.RMI", akSound},
        {"A.WMA", akSound},
        {"A.AVI", akVideo},
        {"A.MPG", akVideo},
        {"A.MPEG", akVideo},
        {"A.fme", akFme},
        {"A.ole", akOle},
        // Partial extensions are substrings too; the video list is searched first.
        {"A.MP", akVideo},
        {"A.M", akVideo},
        {"A.JP", akPicture},
        {"A.", akVideo},
        {".", akVideo},
        {"A.FM", akFme},
        // Only the text after the last dot counts.
        {"A.BMP.WAV", akSound},
        {"A.WAV.TXT", akNone},
        // No dot: the empty extension must not match.
        {"", akNone},
        {"NOEXTENSION", akNone},
        // Padding after the extension is part of it.
        {"A.BMP       ", akNone},
        {"A.AVI ", akVideo},
        {"A.TXT", akNone},
        {"A.DOC", akNone},
        {"A.AVI2", akNone},
        {Utf8ToCp1251("рисунок.ЖПГ"), akNone},
    };
    for (const Case& c : cases) EXPECT_EQ(GetAttachKind(c.name), c.kind) << "[" << c.name << "]";
}

// The texts searched are made from kAttachExtensions: one per kind, a space between extensions.
TEST(GetAttachKindTest, EachKindIsOneTextInTheTableOrder) {
    const std::pair<const char*, TAttachKind> cases[] = {
        {"A.W", akSound},    {"A.E", akPicture}, {"A.MPG ", akVideo}, {"A.WAV ", akSound},
        {"A.WMA ", akNone},  {"A.WMF ", akNone}, {"A.MPEG ", akNone}, {"A.OLE ", akNone},
    };
    for (const auto& [name, kind] : cases) EXPECT_EQ(GetAttachKind(name), kind) << "[" << name << "]";
}

TEST(QuestionFileTest, HandWrittenBytesGiveEveryField) {
    TTempDir dir;
    const std::string bytes = HandWrittenQuestion();
    ASSERT_EQ(bytes.size(), kQuestionEnd);
    for (const Reader& reader : Readers(dir)) {
        TTestQuestion q;
        EXPECT_TRUE(reader.read(bytes, q)) << reader.name;
        EXPECT_EQ(Describe(q), Describe(ExpectedQuestion())) << reader.name;
        // The separators of the typed-input variants come through untouched.
        ASSERT_EQ(q.Answers.size(), 3u);
        EXPECT_EQ(q.Answers[0].Text, "\xCC\xEE\xF1\xEA\xE2\xE0\xA6Moskva\xA6Moscow") << reader.name;
    }
}

TEST(QuestionFileTest, UnreadBitsAndTrailingBytesAreIgnored) {
    TTempDir dir;
    std::string bytes = HandWrittenQuestion();
    bytes[7] = '\x27';                 // question flag bits 1-0
    bytes[kAnswer1At + 3] = '\x03';    // answer flag bits 1-0
    bytes[kAnswer1At + 4] = '\x7F';    // the unused answer byte
    bytes[kAnswer2At + 4] = '\xFF';
    bytes += "TRAILING JUNK";
    for (const Reader& reader : Readers(dir)) {
        TTestQuestion q;
        EXPECT_TRUE(reader.read(bytes, q)) << reader.name;
        EXPECT_EQ(Describe(q), Describe(ExpectedQuestion())) << reader.name;
    }
}

TEST(QuestionFileTest, EmptyQuestionIsJustAHeader) {
    TTempDir dir;
    const std::string bytes = "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00NONONONO.NON"s;
    ASSERT_EQ(bytes.size(), 25u);
    for (const Reader& reader : Readers(dir)) {
        TTestQuestion q;
        EXPECT_TRUE(reader.read(bytes, q)) << reader.name;
        EXPECT_EQ(q.Text, "") << reader.name;
        EXPECT_TRUE(q.Answers.empty()) << reader.name;
        EXPECT_EQ(q.AttachFile, kNoAttachment) << reader.name;
        EXPECT_EQ(q.AttachKind, akNone) << reader.name;
    }
}

TEST(QuestionFileTest, SignedAndWideNumbers) {
    struct Case {
        uint8_t byte;
        int8_t value;
    };
    const Case signs[] = {{0x00, 0}, {0x01, 1}, {0x7F, 127}, {0x80, -128}, {0xFE, -2}, {0xFF, -1}};
    for (const Case& c : signs) {
        TTestQuestion q;
        q.AttachFile = kNoAttachment;
        q.Answers.resize(1);
        q.Answers[0].AttachFile = kNoAttachment;
        std::string bytes = EncodeQuestion(q);
        bytes[2] = static_cast<char>(c.byte);
        bytes[25 + 2] = static_cast<char>(c.byte);
        TTestQuestion parsed;
        ASSERT_TRUE(ParseQuestion(bytes, parsed));
        EXPECT_EQ(parsed.Priority, c.value) << int(c.byte);
        EXPECT_EQ(parsed.Answers[0].Weight, c.value) << int(c.byte);
    }
    TTestQuestion q;
    ASSERT_TRUE(ParseQuestion("\x00\x00\x00\xFF\xFF\x00\x00\x00\xFF\xFF\xFF\x80\x01NONONONO.NON"s, q));
    EXPECT_EQ(q.TimeLimit, 0xFFFF);
    EXPECT_EQ(q.Attach.ScaleMode, 0xFF);
    EXPECT_EQ(q.Attach.Width, 0xFFFF);
    EXPECT_EQ(q.Attach.Height, 0x8001);
}

TEST(QuestionFileTest, FlagBits) {
    struct Case {
        uint8_t byte;
        const char* options;  // as Describe writes the six flags
    };
    const Case cases[] = {
        {0x80, "7-----"}, {0x40, "-6----"}, {0x20, "--A---"}, {0x10, "---4--"}, {0x08, "----R-"},
        {0x04, "-----P"}, {0x03, "------"}, {0x24, "--A--P"}, {0xFF, "76A4RP"}, {0x00, "------"},
    };
    for (const Case& c : cases) {
        TTestQuestion q;
        q.AttachFile = kNoAttachment;
        q.Answers.resize(1);
        q.Answers[0].AttachFile = kNoAttachment;
        std::string bytes = EncodeQuestion(q);
        bytes[7] = static_cast<char>(c.byte);
        bytes[25 + 3] = static_cast<char>(c.byte);
        TTestQuestion parsed;
        ASSERT_TRUE(ParseQuestion(bytes, parsed));
        EXPECT_EQ(Describe(parsed.Attach).substr(0, 6), c.options) << int(c.byte);
        EXPECT_EQ(Describe(parsed.Answers[0].Attach).substr(0, 6), c.options) << int(c.byte);
        // Writing the flags back gives the same bits, less the two that are never read.
        const std::string again = EncodeQuestion(parsed);
        EXPECT_EQ(static_cast<uint8_t>(again[7]), c.byte & 0xFC) << int(c.byte);
        EXPECT_EQ(static_cast<uint8_t>(again[25 + 3]), c.byte & 0xFC) << int(c.byte);
    }
}

TEST(QuestionFileTest, ShortFileKeepsWhatWasRead) {
    // How far each cut lets the reader get.
    struct Case {
        size_t size;
        bool header;
        bool text;              // and Answers resized to three
        size_t answersRead;     // complete answers
        bool nextHeaderOnly;    // the next answer has its header but not its text
    };
    const Case cases[] = {
        {0, false, false, 0, false},
        {24, false, false, 0, false},
        {25, true, false, 0, false},
        {kAnswer1At - 1, true, false, 0, false},
        {kAnswer1At, true, true, 0, false},
        {kAnswer1At + 20, true, true, 0, false},
        {kAnswer1At + 21, true, true, 0, true},
        {kAnswer2At - 1, true, true, 0, true},
        {kAnswer2At, true, true, 1, false},
        {kAnswer3At - 1, true, true, 1, true},
        {kAnswer3At, true, true, 2, false},
        {kQuestionEnd - 1, true, true, 2, false},
    };
    TTempDir dir;
    const std::string bytes = HandWrittenQuestion();
    const TTestQuestion full = ExpectedQuestion();
    for (const Case& c : cases) {
        TTestQuestion expected;
        if (c.header) {
            expected = full;
            expected.Text.clear();
            expected.Answers.clear();
        }
        if (c.text) {
            expected.Text = full.Text;
            expected.Answers.resize(3);
        }
        for (size_t i = 0; i < c.answersRead; ++i) expected.Answers[i] = full.Answers[i];
        if (c.nextHeaderOnly) {
            expected.Answers[c.answersRead] = full.Answers[c.answersRead];
            expected.Answers[c.answersRead].Text.clear();
        }
        for (const Reader& reader : Readers(dir)) {
            TTestQuestion q;
            EXPECT_FALSE(reader.read(bytes.substr(0, c.size), q)) << reader.name << " " << c.size;
            EXPECT_EQ(Describe(q), Describe(expected)) << reader.name << " " << c.size;
        }
    }
}

TEST(QuestionFileTest, EveryCutFailsSafely) {
    const std::string bytes = HandWrittenQuestion();
    for (size_t size = 0; size < kQuestionEnd; ++size) {
        TTestQuestion q;
        EXPECT_FALSE(ParseQuestion(bytes.substr(0, size), q)) << size;
        EXPECT_TRUE(q.Answers.empty() || q.Answers.size() == 3) << size;
    }
}

TEST(QuestionFileTest, LengthsLargerThanTheDataFail) {
    TTempDir dir;
    // Text length 65535 and 255 answers, with almost nothing behind the header.
    const std::string huge = "\xFF\xFF\x00\x00\x00\x00\xFF\x00\x00\x00\x00\x00\x00NONONONO.NONabc"s;
    // A complete text, then an answer that claims 65535 bytes of text.
    const std::string hugeAnswer = "\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00NONONONO.NON"
                                   "\xFF\xFF\x00\x00\x00\x00\x00\x00\x00NONONONO.NONxyz"s;
    for (const Reader& reader : Readers(dir)) {
        TTestQuestion q;
        EXPECT_FALSE(reader.read(huge, q)) << reader.name;
        EXPECT_EQ(q.Text, "") << reader.name;
        EXPECT_TRUE(q.Answers.empty()) << reader.name;

        TTestQuestion a;
        EXPECT_FALSE(reader.read(hugeAnswer, a)) << reader.name;
        ASSERT_EQ(a.Answers.size(), 1u) << reader.name;
        EXPECT_EQ(a.Answers[0].Text, "") << reader.name;
        EXPECT_EQ(a.Answers[0].AttachFile, kNoAttachment) << reader.name;
    }
}

TEST(QuestionFileTest, MissingFile) {
    TTempDir dir;
    TTestQuestion q;
    EXPECT_FALSE(LoadQuestionFile(dir / "NOFILE.001", q));
    EXPECT_EQ(Describe(q), Describe(TTestQuestion()));
}

TEST(EncodeQuestionTest, WritesTheHandWrittenBytes) {
    EXPECT_EQ(EncodeQuestion(ExpectedQuestion()), HandWrittenQuestion());
}

TEST(EncodeQuestionTest, RoundTrip) {
    std::vector<TTestQuestion> questions;
    TTestQuestion empty;
    empty.AttachFile = kNoAttachment;
    questions.push_back(empty);
    questions.push_back(ExpectedQuestion());

    // The largest sizes the format can hold.
    TTestQuestion big = empty;
    big.Text.assign(65535, '\xE0');
    big.Answers.resize(255);
    for (size_t i = 0; i < big.Answers.size(); ++i) {
        TTestAnswer& a = big.Answers[i];
        a.Weight = static_cast<int8_t>(i);
        a.Text = std::to_string(i);
        a.AttachFile = "ANSWR" + std::to_string(100 + i) + ".WAV";
        a.AttachKind = akSound;
        a.Attach.Width = static_cast<uint16_t>(i * 257);
    }
    big.Answers[254].Text.assign(65535, '\0');
    questions.push_back(big);

    for (const TTestQuestion& q : questions) {
        TTestQuestion parsed;
        EXPECT_TRUE(ParseQuestion(EncodeQuestion(q), parsed));
        EXPECT_EQ(Describe(parsed), Describe(q));
    }
}

TEST(EncodeQuestionTest, RejectsWhatTheFormatCannotHold) {
    struct Case {
        const char* what;
        std::function<void(TTestQuestion&)> spoil;
    };
    const Case cases[] = {
        {"question text", [](TTestQuestion& q) { q.Text.assign(65536, 'x'); }},
        {"answer text", [](TTestQuestion& q) { q.Answers[1].Text.assign(65536, 'x'); }},
        {"answers", [](TTestQuestion& q) { q.Answers.resize(256, q.Answers[0]); }},
        {"short name", [](TTestQuestion& q) { q.AttachFile = "NONONO.NON"; }},
        {"long name", [](TTestQuestion& q) { q.AttachFile = "NONONONO.NONE"; }},
        {"empty name", [](TTestQuestion& q) { q.AttachFile.clear(); }},
        {"answer name", [](TTestQuestion& q) { q.Answers[2].AttachFile = "VIDEO001.AV"; }},
    };
    for (const Case& c : cases) {
        TTestQuestion q = ExpectedQuestion();
        c.spoil(q);
        EXPECT_THROW(EncodeQuestion(q), std::invalid_argument) << c.what;
    }
}

TEST(SplitIndexLinesTest, LikeATextFileReader) {
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb\n", {"a", "b"}},
        {"a\r\nb", {"a", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\n\nb\n\n", {"a", "", "b", ""}},
        {"\r\n", {""}},
        {"\n\n", {"", ""}},
        {"a\nb\r\nc", {"a", "b", "c"}},
        // Only CR LF or LF end a line; any other CR belongs to the line.
        {"a\rb\r\nc", {"a\rb", "c"}},
        {"a\r", {"a\r"}},
        {"a\r\r\nb", {"a\r", "b"}},
        {"\r", {"\r"}},
        {" QUEST.001 \r\n", {" QUEST.001 "}},
        {"x\0y\r\n"s, {"x\0y"s}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitIndexLines(c.text), c.lines) << "[" << c.text << "]";
}

TEST(ReadIndexFileTest, ReplacesTheLinesWithTheFile) {
    TTempDir dir;
    WriteFileBytes(dir / "INDEX.SYS", "QUEST.001\r\n\r\nQUEST.002");
    std::vector<std::string> lines = {"old"};
    EXPECT_TRUE(ReadIndexFile(dir / "INDEX.SYS", lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"QUEST.001", "", "QUEST.002"}));

    WriteFileBytes(dir / "EMPTY.SYS", "");
    EXPECT_TRUE(ReadIndexFile(dir / "EMPTY.SYS", lines));
    EXPECT_TRUE(lines.empty());
}

TEST(ReadIndexFileTest, MissingFileLeavesTheLines) {
    TTempDir dir;
    std::vector<std::string> lines = {"old"};
    EXPECT_FALSE(ReadIndexFile(dir / "INDEX.SYS", lines));
    EXPECT_EQ(lines, std::vector<std::string>{"old"});
}

TEST(ReadIndexFileTest, LargeFileReadsInFull) {
    // Larger than any read buffer, with CR LF pairs landing on every possible offset.
    TTempDir dir;
    std::string text;
    std::vector<std::string> expected;
    for (int i = 0; i < 20000; ++i) {
        expected.push_back(std::string(i % 7, 'q') + std::to_string(i));
        text += expected.back() + "\r\n";
    }
    WriteFileBytes(dir / "INDEX.SYS", text);
    std::vector<std::string> lines;
    EXPECT_TRUE(ReadIndexFile(dir / "INDEX.SYS", lines));
    EXPECT_EQ(lines, expected);
}

}  // namespace
