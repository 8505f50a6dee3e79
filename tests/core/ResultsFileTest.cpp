#include "windows/ResultsFile.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "model/Codepage.h"
#include "tests/core/TempDir.h"

namespace {

TEST(PointsWordTest, AgreesWithTheNumber) {
    struct Case {
        const char* number;
        const char* word;
    };
    const Case cases[] = {
        {"0", "баллов"},  {"1", "балл"},     {"2", "балла"},    {"3", "балла"},     {"4", "балла"},
        {"5", "баллов"},  {"9", "баллов"},   {"10", "баллов"},  {"11", "баллов"},   {"12", "баллов"},
        {"14", "баллов"}, {"19", "баллов"},  {"20", "баллов"},  {"21", "балл"},     {"22", "балла"},
        {"101", "балл"},  {"111", "баллов"}, {"112", "баллов"}, {"1000", "баллов"}, {"-1", "балл"},
        {"-3", "балла"},  {"-12", "баллов"}, {"-11", "баллов"}, {"", "баллов"},
    };
    for (const Case& c : cases) EXPECT_EQ(PointsWord(c.number), Utf8ToCp1251(c.word)) << c.number;
}

TEST(PointsTextTest, NumberSpaceWord) {
    struct Case {
        int32_t points;
        const char* text;
    };
    const Case cases[] = {
        {0, "0 баллов"}, {21, "21 балл"}, {112, "112 баллов"}, {345, "345 баллов"}, {-3, "-3 балла"},
    };
    for (const Case& c : cases) EXPECT_EQ(PointsText(c.points), Utf8ToCp1251(c.text)) << c.points;
    EXPECT_EQ(PointsText(21), "21 \xE1\xE0\xEB\xEB");
}

TEST(InterruptedNoteTextTest, TwoLinesSecondIndented) {
    EXPECT_EQ(InterruptedNoteText(), Utf8ToCp1251("* Тест был\r\n  прерван"));
}

TEST(FormatResultsRecordTest, SixLines) {
    struct Case {
        const char* name;
        TResultsRecord record;  // texts in UTF-8 here, converted below
        const char* expected;
    };
    const Case cases[] = {
        {"plain",
         {"Физика", "Иванов Иван Иванович", "Группа", "101", 621, 345},
         "Название теста: - Физика\r\n"
         "ФИО тестируемого - Иванов Иван Иванович\r\n"
         "Группа - 101\r\n"
         "Время тестирования: - 10 мин 21 сек\r\n"
         "Результирующая оценка: - 345 баллов\r\n"
         "\r\n"},
        {"empty caption and values, short time",
         {"", "", "", "", 60, 0},
         "Название теста: - \r\n"
         "ФИО тестируемого - \r\n"
         " - \r\n"
         "Время тестирования: - 60 сек\r\n"
         "Результирующая оценка: - 0 баллов\r\n"
         "\r\n"},
        {"values kept as typed",
         {"A - B", "  Петров   Пётр ", "Класс", "7\r\nБ", 61, 21},
         "Название теста: - A - B\r\n"
         "ФИО тестируемого -   Петров   Пётр \r\n"
         "Класс - 7\r\nБ\r\n"
         "Время тестирования: - 1 мин 1 сек\r\n"
         "Результирующая оценка: - 21 балл\r\n"
         "\r\n"},
    };
    for (const Case& c : cases) {
        TResultsRecord record = c.record;
        record.TestName = Utf8ToCp1251(record.TestName);
        record.FIO = Utf8ToCp1251(record.FIO);
        record.OtherInfoCaption = Utf8ToCp1251(record.OtherInfoCaption);
        record.OtherInfo = Utf8ToCp1251(record.OtherInfo);
        EXPECT_EQ(FormatResultsRecord(record), Utf8ToCp1251(c.expected)) << c.name;
    }
}

TEST(FormatResultsRecordTest, SingleByteCp1251) {
    TResultsRecord record;
    record.OtherInfoCaption = "X";
    const std::string bytes = FormatResultsRecord(record);
    // "Название теста:" in cp1251, no byte-order mark in front.
    EXPECT_EQ(bytes.substr(0, 15), "\xCD\xE0\xE7\xE2\xE0\xED\xE8\xE5 \xF2\xE5\xF1\xF2\xE0:");
    EXPECT_EQ(bytes.find('?'), std::string::npos);
}

TEST(ResultsFilePathTest, BesideTheExecutable) {
    EXPECT_EQ(ResultsFilePath(TPath("/opt/test")), TPath("/opt/test/Results.txt"));
}

class AppendResultsRecordTest : public ::testing::Test {
protected:
    TTempDir dir_;
    TPath path_ = dir_ / "Results.txt";
    const std::string record_ = "line\r\n\xD4\xC8\xCE\r\n\r\n";
};

TEST_F(AppendResultsRecordTest, AddsToWhatIsThere) {
    struct Case {
        const char* name;
        bool exists;
        std::string before;
    };
    const Case cases[] = {
        {"no file", false, ""},
        {"empty file", true, ""},
        {"previous record", true, "old\r\n\r\n"},
        {"no final line break", true, "old"},
        {"nul bytes", true, std::string("a\0b", 3)},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(path_);
        if (c.exists) WriteFileBytes(path_, c.before);
        TAppendResult result = AppendResultsRecord(path_, record_);
        EXPECT_TRUE(result.Ok) << c.name << ": " << result.Message;
        EXPECT_EQ(ReadFileBytes(path_), c.before + record_) << c.name;
    }
}

TEST_F(AppendResultsRecordTest, OnlyATrailingEndOfFileMarkIsRemoved) {
    struct Case {
        const char* name;
        std::string before;
        std::string kept;
    };
    const std::string filler(200, 'x');
    const Case cases[] = {
        {"one mark", "old\r\n\x1A", "old\r\n"},
        {"several marks", "old\r\n\x1A\x1A\x1A", "old\r\n"},
        {"nothing but marks", "\x1A\x1A", ""},
        {"mark is all 128 searched bytes", filler + std::string(128, '\x1A'), filler},
        // Marks beyond the searched bytes are content like any other.
        {"marks longer than searched", filler + std::string(130, '\x1A'), filler + "\x1A\x1A"},
        {"mark followed by text", "old\x1A tail", "old\x1A tail"},
        // The mark is judged from the first Ctrl-Z searched: text after it means none is trailing.
        {"mark, text, mark", "a\x1A" "b\x1A", "a\x1A" "b\x1A"},
        {"mark before the last 128 bytes", "a\x1A" + filler, "a\x1A" + filler},
    };
    for (const Case& c : cases) {
        WriteFileBytes(path_, c.before);
        TAppendResult result = AppendResultsRecord(path_, record_);
        EXPECT_TRUE(result.Ok) << c.name << ": " << result.Message;
        EXPECT_EQ(ReadFileBytes(path_), c.kept + record_) << c.name;
    }
}

TEST_F(AppendResultsRecordTest, ARecordShorterThanTheMarkLeavesNoneOfIt) {
    WriteFileBytes(path_, "old\x1A\x1A\x1A\x1A");
    ASSERT_TRUE(AppendResultsRecord(path_, "ab").Ok);
    EXPECT_EQ(ReadFileBytes(path_), "oldab");
}

TEST_F(AppendResultsRecordTest, RunsFollowOneAnother) {
    ASSERT_TRUE(AppendResultsRecord(path_, "first\r\n").Ok);
    ASSERT_TRUE(AppendResultsRecord(path_, "second\r\n").Ok);
    ASSERT_TRUE(AppendResultsRecord(path_, "").Ok);
    EXPECT_EQ(ReadFileBytes(path_), "first\r\nsecond\r\n");
}

TEST_F(AppendResultsRecordTest, FailuresNameTheFileAndTheReason) {
    struct Case {
        const char* name;
        TPath path;
        int error;
    };
    std::filesystem::create_directory(dir_ / "folder");
    const Case cases[] = {
        {"missing folder", dir_ / "missing" / "Results.txt", ENOENT},
        {"a folder in the way", dir_ / "folder", EISDIR},
    };
    for (const Case& c : cases) {
        TAppendResult result = AppendResultsRecord(c.path, record_);
        EXPECT_FALSE(result.Ok) << c.name;
        EXPECT_EQ(result.ErrorCode, c.error) << c.name;
        EXPECT_NE(result.Message.find(c.path.string()), std::string::npos) << c.name << ": " << result.Message;
        EXPECT_NE(result.Message.find(std::strerror(c.error)), std::string::npos) << c.name << ": " << result.Message;
    }
    EXPECT_FALSE(PathExists(dir_ / "missing"));
    EXPECT_TRUE(std::filesystem::is_directory(dir_ / "folder"));
}

TEST_F(AppendResultsRecordTest, AFileThatCannotBeOpenedIsReportedAndLeftAlone) {
    // A folder where the file should be cannot be opened for writing, by root either.
    std::filesystem::create_directories(path_);
    TAppendResult result = AppendResultsRecord(path_, record_);
    EXPECT_FALSE(result.Ok);
    EXPECT_EQ(result.ErrorCode, EISDIR);
    EXPECT_NE(result.Message.find(std::strerror(EISDIR)), std::string::npos) << result.Message;
    EXPECT_TRUE(std::filesystem::is_directory(path_));
}

TEST_F(AppendResultsRecordTest, FailedWriteReportsTheReason) {
    if (!PathExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    TAppendResult result = AppendResultsRecord("/dev/full", record_);
    EXPECT_FALSE(result.Ok);
    EXPECT_EQ(result.ErrorCode, ENOSPC);
    EXPECT_NE(result.Message.find(std::strerror(ENOSPC)), std::string::npos) << result.Message;
}

TEST_F(AppendResultsRecordTest, HalfWrittenRecordIsTakenBack) {
    // A file-size limit lets the write get part of the way and then fail. The end-of-file mark the
    // record would have replaced comes back too.
    const std::string befores[] = {"old\r\n", "old\r\n\x1A\x1A"};
    for (const std::string& before : befores) {
        WriteFileBytes(path_, before);
        rlimit saved;
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit limited = saved;
        limited.rlim_cur = 9;
        void (*savedHandler)(int) = signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
        TAppendResult result = AppendResultsRecord(path_, record_);
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, savedHandler);
        EXPECT_FALSE(result.Ok);
        EXPECT_EQ(result.ErrorCode, EFBIG);
        EXPECT_EQ(ReadFileBytes(path_), before);
    }
}

// Another player holds the file: the append waits with growing pauses and writes once it is free;
// a file that stays held is given up after the policy's time, with a reason, never half-written.
TEST_F(AppendResultsRecordTest, AFileHeldByAnotherWriterIsWaitedFor) {
    WriteFileBytes(path_, "old\r\n");
    struct Case {
        const char* name;
        int releaseAfterPauses;  // -1: never
        bool ok;
    };
    const Case cases[] = {{"freed after three pauses", 3, true}, {"held throughout", -1, false}};
    for (const Case& c : cases) {
        TBinaryFile other;
        ASSERT_EQ(other.OpenExclusive(path_), TBinaryFile::TExclusiveOpen::Opened) << c.name;
        std::vector<int32_t> pauses;
        TRetryPolicy retry;
        retry.TotalMilliseconds = 300;
        retry.FirstPauseMilliseconds = 8;
        retry.LongestPauseMilliseconds = 40;
        retry.Pause = [&](int32_t ms) {
            pauses.push_back(ms);
            if (static_cast<int>(pauses.size()) == c.releaseAfterPauses) other.Close();
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        };
        const TAppendResult result = AppendResultsRecord(path_, record_, retry);
        EXPECT_EQ(result.Ok, c.ok) << c.name << ": " << result.Message;
        if (c.ok) {
            EXPECT_EQ(pauses.size(), 3u) << c.name;
        } else {
            EXPECT_NE(result.Message.find(Utf8ToCp1251("занят")), std::string::npos) << result.Message;
            EXPECT_EQ(result.ErrorCode, EWOULDBLOCK);
            int32_t total = 0;
            for (int32_t ms : pauses) total += ms;
            EXPECT_LE(total, 300) << "no pause runs past the time given";
            EXPECT_GE(pauses.size(), 5u) << "short pauses first";
            for (int32_t ms : pauses) EXPECT_LE(ms, 60) << "the longest pause is bounded (with its jitter)";
        }
    }
    EXPECT_EQ(ReadFileBytes(path_), "old\r\n" + record_) << "written once, by the attempt that got the file";
}

// Opening never truncates, and the file is created by whoever comes first.
TEST_F(AppendResultsRecordTest, OpeningExclusivelyCreatesButNeverTruncates) {
    TBinaryFile file;
    ASSERT_EQ(file.OpenExclusive(path_), TBinaryFile::TExclusiveOpen::Opened);
    ASSERT_TRUE(file.Write("abc", 3));
    file.Close();
    ASSERT_EQ(file.OpenExclusive(path_), TBinaryFile::TExclusiveOpen::Opened);
    TBinaryFile second;
    EXPECT_EQ(second.OpenExclusive(path_), TBinaryFile::TExclusiveOpen::Busy);
    file.Close();
    EXPECT_EQ(second.OpenExclusive(path_), TBinaryFile::TExclusiveOpen::Opened);
    second.Close();
    EXPECT_EQ(ReadFileBytes(path_), "abc");
    EXPECT_EQ(file.OpenExclusive(dir_ / "missing" / "x"), TBinaryFile::TExclusiveOpen::Failed);
}

TEST_F(AppendResultsRecordTest, ARecordTheProgramsFolderCannotTakeGoesToTheFallbackFolder) {
    std::filesystem::create_directory(dir_ / "documents");
    const TPath unwritable = dir_ / "missing" / "Results.txt";
    struct Case {
        const char* name;
        TPath primary;
        TPath fallbackFolder;
        bool ok, inFallback, fallbackTried;
        TPath writtenTo;
    };
    const Case cases[] = {
        {"the program's folder takes it", path_, dir_ / "documents", true, false, false, path_},
        {"the fallback takes it", unwritable, dir_ / "documents", true, true, true, dir_ / "documents" / "Results.txt"},
        {"neither", unwritable, dir_ / "gone", false, false, true, TPath()},
        {"no fallback known", unwritable, TPath(), false, false, false, TPath()},
        {"the fallback is the same file", dir_ / "missing" / "." / "Results.txt", dir_ / "missing", false, false, false,
         TPath()},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(path_);
        std::filesystem::remove(dir_ / "documents" / "Results.txt");
        const TRecordWrite write = WriteResultsRecord(c.primary, c.fallbackFolder, record_);
        EXPECT_EQ(write.Ok, c.ok) << c.name;
        EXPECT_EQ(write.InFallback, c.inFallback) << c.name;
        EXPECT_EQ(write.FallbackTried, c.fallbackTried) << c.name;
        EXPECT_EQ(write.WrittenTo, c.writtenTo) << c.name;
        if (c.ok) {
            EXPECT_EQ(ReadFileBytes(c.writtenTo), record_) << c.name;
        } else {
            EXPECT_FALSE(write.Primary.Message.empty()) << c.name;
            EXPECT_FALSE(write.Fallback.Ok && c.fallbackTried) << c.name;
        }
    }
}

TSystemError FakeSystemError() { return TSystemError{1234, "device on fire"}; }

TEST_F(AppendResultsRecordTest, ErrorReaderCanBeReplaced) {
    SetSystemErrorReader(&FakeSystemError);
    TAppendResult result = AppendResultsRecord(dir_ / "missing" / "Results.txt", record_);
    SetSystemErrorReader(nullptr);
    EXPECT_FALSE(result.Ok);
    EXPECT_EQ(result.ErrorCode, 1234);
    EXPECT_NE(result.Message.find("device on fire"), std::string::npos) << result.Message;

    result = AppendResultsRecord(dir_ / "missing" / "Results.txt", record_);
    EXPECT_EQ(result.ErrorCode, ENOENT);
}

}  // namespace
