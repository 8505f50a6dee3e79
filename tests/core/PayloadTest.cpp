#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "app/Payload.h"
#include "model/Codepage.h"
#include "tests/core/TempDir.h"

namespace fs = std::filesystem;

namespace {

std::string Be32(uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

// A payload laid out by hand, independent of the writer.
struct TRawPayload {
    std::string archive = "PK-archive-bytes";
    std::string info = Utf8ToCp1251("Тест/nпо физике");
    std::string extra = Utf8ToCp1251("Группа");
    std::string password = "tail";
    std::string limitSeconds = Be32(0xFFFFFFFFu);

    std::string Settings() const {
        return Be32(static_cast<uint32_t>(info.size())) + info + static_cast<char>(extra.size()) + extra +
               Be32(100) + Be32(14) + Be32(12) + std::string(1, '\xC8') + std::string(1, '\x02') +
               Be32(static_cast<uint32_t>(password.size())) + password + limitSeconds + std::string("\x01\x00", 2) +
               Be32(20) + std::string("\x00\x05", 2) + Be32(0xFFFFFFFDu) + Be32(3);
    }
    std::string Bytes(const std::string& exe = "MZ fake executable") const {
        std::string payload = Be32(static_cast<uint32_t>(archive.size())) + archive + Settings();
        return exe + payload + Be32(static_cast<uint32_t>(payload.size())) + "SE";
    }
};

}  // namespace

class PayloadTest : public ::testing::Test {
protected:
    TTempDir dir;
    TPath tmp = dir / "tmp";
    TPath exe = dir / "player.exe";
    std::string savedTmp;

    void SetUp() override {
        fs::create_directories(tmp);
        const char* old = std::getenv("TMPDIR");
        savedTmp = old ? old : "";
        setenv("TMPDIR", tmp.c_str(), 1);
    }
    void TearDown() override {
        if (savedTmp.empty()) unsetenv("TMPDIR");
        else setenv("TMPDIR", savedTmp.c_str(), 1);
    }
    size_t TempFiles() const { return static_cast<size_t>(std::distance(fs::directory_iterator(tmp), {})); }
};

TEST_F(PayloadTest, ReadsEveryFieldOfAHandMadePayload) {
    TRawPayload raw;
    WriteFileBytes(exe, raw.Bytes());
    TPayloadInfo info;
    ReadPayload(exe, info);

    EXPECT_EQ(info.InfoText, raw.info);
    EXPECT_EQ(info.ExtraFieldCaption, raw.extra);
    EXPECT_EQ(info.MaxScore, 100);
    EXPECT_EQ(info.QuestionFontSize, 14);
    EXPECT_EQ(info.AnswerFontSize, 12);
    EXPECT_EQ(info.EffectSteps, 200);
    EXPECT_TRUE(info.ShowMark);  // any non-zero byte is true
    EXPECT_EQ(info.PasswordTail, "tail");
    EXPECT_EQ(info.LimitSeconds, -1);
    EXPECT_TRUE(info.LimitWholeTest);
    EXPECT_FALSE(info.NoLimitForInput);
    EXPECT_EQ(info.QuestionsPerTest, 20);
    EXPECT_FALSE(info.SequentialOrder);
    EXPECT_TRUE(info.KeepAnswerOrder);
    EXPECT_EQ(info.ShowRightAnswer, -3);
    EXPECT_EQ(info.SkipsAllowed, 3);

    ASSERT_FALSE(info.ArchiveFile.empty());
    EXPECT_EQ(info.ArchiveFile.parent_path(), tmp);
    EXPECT_EQ(info.ArchiveFile.extension(), ".tmp");
    EXPECT_EQ(info.ArchiveFile.stem().string().size(), 8u);
    EXPECT_EQ(ReadFileBytes(info.ArchiveFile), raw.archive);
}

TEST_F(PayloadTest, EmptyStringsAndEmptyArchive) {
    TRawPayload raw;
    raw.archive.clear();
    raw.info.clear();
    raw.extra.clear();
    raw.password.clear();
    WriteFileBytes(exe, raw.Bytes());
    TPayloadInfo info;
    ReadPayload(exe, info);

    EXPECT_EQ(info.InfoText, "");
    EXPECT_EQ(info.ExtraFieldCaption, "");
    EXPECT_EQ(info.PasswordTail, "");
    EXPECT_EQ(info.MaxScore, 100);
    EXPECT_EQ(info.LimitSeconds, -1);
    EXPECT_EQ(info.SkipsAllowed, 3);
    ASSERT_FALSE(info.ArchiveFile.empty());
    EXPECT_TRUE(fs::exists(info.ArchiveFile));
    EXPECT_EQ(fs::file_size(info.ArchiveFile), 0u);
}

TEST_F(PayloadTest, ToleratesBytesBetweenSettingsAndTrailer) {
    TRawPayload raw;
    std::string payload = Be32(static_cast<uint32_t>(raw.archive.size())) + raw.archive + raw.Settings() + "junk";
    WriteFileBytes(exe, "MZ" + payload + Be32(static_cast<uint32_t>(payload.size())) + "SE");
    TPayloadInfo info;
    ReadPayload(exe, info);
    EXPECT_EQ(info.SkipsAllowed, 3);
    EXPECT_EQ(ReadFileBytes(info.ArchiveFile), raw.archive);
}

// Anything that is not a whole payload leaves the record empty and creates no file.
TEST_F(PayloadTest, DamagedOrMissingPayloadReadsAsNone) {
    TRawPayload raw;
    const std::string good = raw.Bytes("");
    const std::string settings = raw.Settings();
    const uint32_t n = static_cast<uint32_t>(good.size() - 6);
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty file", ""},
        {"marker only", "SE"},
        {"five bytes", "\x00\x00\x00SE"},
        {"no marker", good.substr(0, good.size() - 2) + "ES"},
        {"lower-case marker", good.substr(0, good.size() - 2) + "se"},
        {"payload length past the start of the file", good.substr(0, good.size() - 6) + Be32(n + 1) + "SE"},
        {"payload length 0xFFFFFFFF", good.substr(0, good.size() - 6) + Be32(0xFFFFFFFFu) + "SE"},
        {"archive length past the trailer",
         [&] {
             std::string b = good;
             b.replace(0, 4, Be32(n));
             return b;
         }()},
        {"archive length 0xFFFFFFFF",
         [&] {
             std::string b = good;
             b.replace(0, 4, Be32(0xFFFFFFFFu));
             return b;
         }()},
        {"info text length past the trailer",
         [&] {
             std::string b = good;
             b.replace(4 + raw.archive.size(), 4, Be32(0x7FFFFFF0u));
             return b;
         }()},
        {"settings cut short",
         [&] {
             std::string payload = Be32(static_cast<uint32_t>(raw.archive.size())) + raw.archive +
                                   settings.substr(0, settings.size() - 1);
             return payload + Be32(static_cast<uint32_t>(payload.size())) + "SE";
         }()},
    };
    for (const Case& c : cases) {
        WriteFileBytes(exe, c.bytes);
        TPayloadInfo info;
        info.InfoText = "left over";
        ReadPayload(exe, info);
        EXPECT_EQ(info.InfoText, "") << c.what;
        EXPECT_EQ(info.MaxScore, 0) << c.what;
        EXPECT_TRUE(info.ArchiveFile.empty()) << c.what;
        EXPECT_EQ(TempFiles(), 0u) << c.what;
    }
}

TEST_F(PayloadTest, MissingExecutableReadsAsNone) {
    TPayloadInfo info;
    ReadPayload(dir / "nothing.exe", info);
    EXPECT_TRUE(info.ArchiveFile.empty());
    EXPECT_EQ(TempFiles(), 0u);
}

TEST_F(PayloadTest, WriterAndReaderAgree) {
    TPayloadInfo in;
    in.InfoText = Utf8ToCp1251("Проверка знаний");
    in.ExtraFieldCaption = std::string(255, 'x');
    in.MaxScore = 5;
    in.QuestionFontSize = 16;
    in.AnswerFontSize = -11;
    in.EffectSteps = 10;
    in.ShowMark = true;
    in.LimitSeconds = 600;
    in.LimitWholeTest = true;
    in.NoLimitForInput = true;
    in.QuestionsPerTest = 7;
    in.SequentialOrder = true;
    in.KeepAnswerOrder = false;
    in.ShowRightAnswer = 5;
    in.SkipsAllowed = -1;
    in.PasswordTail = "abc";
    std::string archiveBytes;
    for (int i = 0; i < 3 * 1024 * 1024 + 17; ++i) archiveBytes += static_cast<char>(i * 31 % 251);
    WriteFileBytes(dir / "base.exe", "MZ base");
    WriteFileBytes(dir / "test.zip", archiveBytes);

    ASSERT_EQ(WritePayloadExe(dir / "base.exe", dir / "test.zip", in, exe), "");
    const std::string written = ReadFileBytes(exe);
    EXPECT_EQ(written.substr(0, 7), "MZ base");
    EXPECT_EQ(written.find(archiveBytes) % 4096, 0u) << "the archive is not on a page boundary";
    EXPECT_EQ(written.substr(7, 4096 - 4 - 7), std::string(4096 - 4 - 7, '\0'));
    TPayloadInfo out;
    ReadPayload(exe, out);
    EXPECT_EQ(out.InfoText, in.InfoText);
    EXPECT_EQ(out.ExtraFieldCaption, in.ExtraFieldCaption);
    EXPECT_EQ(out.AnswerFontSize, -11);
    EXPECT_EQ(out.EffectSteps, 10);
    EXPECT_TRUE(out.NoLimitForInput);
    EXPECT_TRUE(out.SequentialOrder);
    EXPECT_FALSE(out.KeepAnswerOrder);
    EXPECT_EQ(out.SkipsAllowed, -1);
    EXPECT_EQ(out.PasswordTail, "abc");
    EXPECT_EQ(ReadFileBytes(out.ArchiveFile), archiveBytes);
}

TEST_F(PayloadTest, WriterRefusesACaptionLongerThanItsLengthByte) {
    TPayloadInfo in;
    in.ExtraFieldCaption = std::string(256, 'x');
    WriteFileBytes(dir / "base.exe", "MZ");
    WriteFileBytes(dir / "test.zip", "");
    EXPECT_NE(WritePayloadExe(dir / "base.exe", dir / "test.zip", in, exe), "");
    EXPECT_FALSE(fs::exists(exe));
}
