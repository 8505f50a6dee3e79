#include "tools/ResultsTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "model/Codepage.h"
#include "model/TextUtils.h"
#include "tests/core/TempDir.h"

namespace {

const std::string kBom = "\xEF\xBB\xBF";

// Texts in UTF-8 here; the record holds them in cp1251 as the player does.
TResultsRecord Record(const char* test, const char* fio, const char* caption, const char* other, int32_t seconds,
                      int32_t mark) {
    TResultsRecord record;
    record.TestName = Utf8ToCp1251(test);
    record.FIO = Utf8ToCp1251(fio);
    record.OtherInfoCaption = Utf8ToCp1251(caption);
    record.OtherInfo = Utf8ToCp1251(other);
    record.TestSeconds = seconds;
    record.Mark = mark;
    return record;
}

std::string Written(const std::vector<TResultsRecord>& records) {
    std::string bytes;
    for (const TResultsRecord& record : records) bytes += FormatResultsRecord(record);
    return bytes;
}

// One line per row, to compare whole lists in one go.
std::string Describe(const TResultsRecord& r) {
    return "[" + Cp1251ToUtf8(r.TestName) + "|" + Cp1251ToUtf8(r.FIO) + "|" + Cp1251ToUtf8(r.OtherInfoCaption) + "|" +
           Cp1251ToUtf8(r.OtherInfo) + "|" + std::to_string(r.TestSeconds) + "|" + std::to_string(r.Mark) + "]\n";
}
std::string Describe(const std::vector<TResultsRow>& rows) {
    std::string text;
    for (const TResultsRow& row : rows) text += Describe(row.Record);
    return text;
}
std::string Describe(const std::vector<TResultsRecord>& records) {
    std::string text;
    for (const TResultsRecord& record : records) text += Describe(record);
    return text;
}

TResultsParse Parse(const std::string& bytes, const std::vector<std::string>& captions = {}) {
    TResultsParse parse;
    ParseResultsFile(bytes, "day1/Results.txt", captions, parse);
    return parse;
}

TEST(ParseTestTimeTest, ReadsBackEveryFormOfTheDuration) {
    const int32_t seconds[] = {0,    1,    45,    59,    60,    61,    119,   120,   621,      3599,     3600,
                               3661, 86399, 86400, -1,   -59,   -60,   -61,   -621,  INT32_MAX, INT32_MIN};
    for (int32_t s : seconds) {
        for (bool minutes : {false, true}) {
            const std::string text = FormatDuration(s, minutes);
            int32_t read = 12345;
            EXPECT_TRUE(ParseTestTime(text, read)) << Cp1251ToUtf8(text);
            EXPECT_EQ(read, s) << Cp1251ToUtf8(text);
        }
    }
}

TEST(ParseTestTimeTest, RejectsWhatTheDurationNeverLooksLike) {
    const char* texts[] = {"",          "сек",          "45",           "45сек",         "45 сек ",       " 45 сек",
                           "45  сек",   "+45 сек",      "45 sec",       "10 мин",        "10 мин сек",    "10 мин 21",
                           "мин 21 сек", "10 мин 21 сек 5", "- 5 сек",  "9999999999 сек", "40000000 мин 0 сек"};
    for (const char* text : texts) {
        int32_t read = 7;
        EXPECT_FALSE(ParseTestTime(Utf8ToCp1251(text), read)) << text;
        EXPECT_EQ(read, 7) << text;
    }
}

TEST(ParsePointsTextTest, ReadsBackWhatThePlayerWrites) {
    for (int32_t points : {0, 1, 2, 5, 11, 21, 112, 345, -1, -3, -12, INT32_MAX, INT32_MIN}) {
        int32_t read = 12345;
        EXPECT_TRUE(ParsePointsText(PointsText(points), read)) << points;
        EXPECT_EQ(read, points);
    }
    const char* texts[] = {"",          "345",         "345 ",          "345 очков",  "345баллов", " 345 баллов",
                           "345 баллов ", "345 балловв", "баллов",      "+3 балла",   "3000000000 баллов"};
    for (const char* text : texts) {
        int32_t read = 7;
        EXPECT_FALSE(ParsePointsText(Utf8ToCp1251(text), read)) << text;
        EXPECT_EQ(read, 7) << text;
    }
}

// Records with an empty second field and values holding " - ", the separators and quotes.
const std::vector<TResultsRecord> kDay = {
    Record("Физика, 9 класс", "Иванов Иван", "Группа", "ИТ-21; вечер", 621, 345),
    Record("Химия - 9 класс", "Петров \"Пётр\"", "Группа", "", 45, 1),
    Record("Физика, 9 класс", "  Сидоров  ", "Группа", "7 - Б", 60, -3),
};

TEST(ResultsCsvTest, OneRowPerRecordWrittenByThePlayer) {
    struct Case {
        const char* name;
        char separator;
        const char* expected;
    };
    const Case cases[] = {
        {"semicolons", ';',
         "Тест;ФИО;Группа;Время, с;Оценка;Файл\r\n"
         "Физика, 9 класс;Иванов Иван;\"ИТ-21; вечер\";621;345;day1/Results.txt\r\n"
         "Химия - 9 класс;\"Петров \"\"Пётр\"\"\";;45;1;day1/Results.txt\r\n"
         "Физика, 9 класс;  Сидоров  ;7 - Б;60;-3;day1/Results.txt\r\n"},
        {"commas", ',',
         "Тест,ФИО,Группа,\"Время, с\",Оценка,Файл\r\n"
         "\"Физика, 9 класс\",Иванов Иван,ИТ-21; вечер,621,345,day1/Results.txt\r\n"
         "Химия - 9 класс,\"Петров \"\"Пётр\"\"\",,45,1,day1/Results.txt\r\n"
         "\"Физика, 9 класс\",  Сидоров  ,7 - Б,60,-3,day1/Results.txt\r\n"},
    };
    const TResultsParse parse = Parse(Written(kDay));
    EXPECT_EQ(parse.Warnings, std::vector<std::string>());
    EXPECT_EQ(Describe(parse.Rows), Describe(kDay));
    for (const Case& c : cases) EXPECT_EQ(ResultsCsv(parse.Rows, c.separator), kBom + c.expected) << c.name;
}

TEST(ResultsCsvTest, TheSecondFieldsHeaderFollowsTheCaptions) {
    struct Case {
        const char* name;
        std::vector<TResultsRecord> records;
        const char* expected;
    };
    const Case cases[] = {
        {"no caption: a record line starting with the separator",
         {Record("Т", "А", "", "a - b", 1, 1), Record("Т", "Б", "", "", 2, 2)},
         "Тест;ФИО;Второе поле;Время, с;Оценка;Файл\r\n"
         "Т;А;a - b;1;1;day1/Results.txt\r\n"
         "Т;Б;;2;2;day1/Results.txt\r\n"},
        {"captions differ: a column of their own",
         {Record("Т", "А", "Группа", "1", 1, 1), Record("Т", "Б", "", "2", 2, 2), Record("Т", "В", "Класс", "3", 3, 3)},
         "Тест;ФИО;Подпись второго поля;Второе поле;Время, с;Оценка;Файл\r\n"
         "Т;А;Группа;1;1;1;day1/Results.txt\r\n"
         "Т;Б;;2;2;2;day1/Results.txt\r\n"
         "Т;В;Класс;3;3;3;day1/Results.txt\r\n"},
        {"a caption that needs quotes",
         {Record("Т", "А", "Класс; группа", "1", 1, 1)},
         "Тест;ФИО;\"Класс; группа\";Время, с;Оценка;Файл\r\n"
         "Т;А;1;1;1;day1/Results.txt\r\n"},
        {"nothing recorded", {}, "Тест;ФИО;Второе поле;Время, с;Оценка;Файл\r\n"},
    };
    for (const Case& c : cases) {
        const TResultsParse parse = Parse(Written(c.records));
        EXPECT_EQ(Describe(parse.Rows), Describe(c.records)) << c.name;
        EXPECT_EQ(ResultsCsv(parse.Rows, ';'), kBom + c.expected) << c.name;
    }
}

TEST(ResultsCsvTest, LineBreaksStayInsideQuotes) {
    const std::vector<TResultsRecord> records = {Record("Физика\r\nи химия", "А", "Класс\r\nи группа", "7\"Б\"", 1, 1)};
    const TResultsParse parse = Parse(Written(records));
    EXPECT_EQ(Describe(parse.Rows), Describe(records));
    EXPECT_EQ(ResultsCsv(parse.Rows, ';'), kBom +
                                               "Тест;ФИО;\"Класс\r\nи группа\";Время, с;Оценка;Файл\r\n"
                                               "\"Физика\r\nи химия\";А;\"7\"\"Б\"\"\";1;1;day1/Results.txt\r\n");
}

TEST(ParseResultsFileTest, SplitsTheSecondFieldsLine) {
    struct Case {
        const char* name;
        TResultsRecord record;
        std::vector<std::string> known;  // UTF-8
        const char* caption;
        const char* value;
    };
    const Case cases[] = {
        {"value with the separator", Record("Т", "А", "Группа", "7 - Б - 2", 1, 1), {}, "Группа", "7 - Б - 2"},
        {"empty value", Record("Т", "А", "Группа", "", 1, 1), {}, "Группа", ""},
        {"empty caption", Record("Т", "А", "", " - x - ", 1, 1), {}, "", " - x - "},
        {"spaces around", Record("Т", "А", " Группа ", "  7Б ", 1, 1), {}, " Группа ", "  7Б "},
        {"caption over lines, separator in both",
         Record("Т", "А", "Класс - \r\nи группа", "7 - Б", 1, 1), {}, "Класс - \r\nи группа", "7 - Б"},
        // Without being told, a caption is taken to end at the first separator.
        {"caption with the separator", Record("Т", "А", "Класс - группа", "7Б", 1, 1), {}, "Класс", "группа - 7Б"},
        {"caption with the separator, known", Record("Т", "А", "Класс - группа", "7Б", 1, 1),
         {"Класс", "Класс - группа", "Школа"}, "Класс - группа", "7Б"},
        {"known caption not used", Record("Т", "А", "Группа", "Класс - группа - 1", 1, 1), {"Класс - группа"},
         "Группа", "Класс - группа - 1"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> known;
        for (const std::string& caption : c.known) known.push_back(Utf8ToCp1251(caption));
        const TResultsParse parse = Parse(FormatResultsRecord(c.record), known);
        ASSERT_EQ(parse.Rows.size(), 1u) << c.name;
        EXPECT_EQ(Cp1251ToUtf8(parse.Rows[0].Record.OtherInfoCaption), c.caption) << c.name;
        EXPECT_EQ(Cp1251ToUtf8(parse.Rows[0].Record.OtherInfo), c.value) << c.name;
        EXPECT_TRUE(parse.Warnings.empty()) << c.name;
    }
}

TEST(ParseResultsFileTest, RowsKnowWhereTheyCameFrom) {
    const TResultsParse parse = Parse("\r\n\r\n" + Written(kDay));
    ASSERT_EQ(parse.Rows.size(), 3u);
    EXPECT_EQ(parse.Rows[0].Line, 3);
    EXPECT_EQ(parse.Rows[2].Line, 15);
    EXPECT_EQ(parse.Rows[2].Source, "day1/Results.txt");
}

TEST(ParseResultsFileTest, EndOfFileMarksAndOtherLineEnds) {
    const std::string records = Written(kDay);
    std::string unixEnds;
    for (char c : records) {
        if (c != '\r') unixEnds += c;
    }
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"Ctrl-Z tail", records + "\x1A\x1A\x1A"},
        {"Ctrl-Z left inside by the writer", Written({kDay[0]}) + "\x1A\x1A" + Written({kDay[1], kDay[2]})},
        {"no final empty line", records.substr(0, records.size() - 2)},
        {"no final empty line, Ctrl-Z", records.substr(0, records.size() - 2) + "\x1A"},
        {"line feeds alone", unixEnds},
        {"blank lines between records", Written({kDay[0]}) + "\r\n\r\n" + Written({kDay[1]}) + "\n" + Written({kDay[2]})},
    };
    for (const Case& c : cases) {
        const TResultsParse parse = Parse(c.bytes);
        EXPECT_EQ(Describe(parse.Rows), Describe(kDay)) << c.name;
        EXPECT_EQ(parse.Warnings, std::vector<std::string>()) << c.name;
    }
}

// The player appends with one write; a crash can leave any part of a record, and the next run
// appends right after it.
TEST(ParseResultsFileTest, ARecordCutShortAnywhereIsKeptWholeOrSkippedWithAWarning) {
    TTempDir dir;
    const TPath path = dir / "Results.txt";
    const std::string first = FormatResultsRecord(kDay[0]);
    const std::string cut = FormatResultsRecord(kDay[1]);
    const std::string next = FormatResultsRecord(kDay[2]);
    // Kept once the mark line's carriage return is written: the number and its word are whole.
    const size_t whole = cut.size() - 3;
    for (size_t length = 0; length < cut.size(); ++length) {
        for (bool appended : {false, true}) {
            WriteFileBytes(path, first + cut.substr(0, length));
            if (appended) {
                ASSERT_TRUE(AppendResultsRecord(path, next).Ok);
            }
            const TResultsParse parse = Parse(ReadFileBytes(path));
            std::vector<TResultsRecord> expected = {kDay[0]};
            if (length >= whole) expected.push_back(kDay[1]);
            if (appended) expected.push_back(kDay[2]);
            const std::string where = "cut after " + std::to_string(length) + (appended ? ", appended" : "");
            EXPECT_EQ(Describe(parse.Rows), Describe(expected)) << where;
            if (length == 0 || length >= whole) {
                EXPECT_EQ(parse.Warnings, std::vector<std::string>()) << where;
            } else {
                ASSERT_EQ(parse.Warnings.size(), 1u) << where;
                // The record began on line 7; a cut first line is left over text of the one before.
                const std::string warning = parse.Warnings[0];
                EXPECT_TRUE(warning == "day1/Results.txt:7: incomplete record, skipped" ||
                            warning == "day1/Results.txt:7: text after the record, skipped")
                    << where << ": " << warning;
            }
        }
    }
}

TEST(ParseResultsFileTest, WarningsNameTheLine) {
    const std::string good = FormatResultsRecord(kDay[0]);
    auto lines = [](const char* utf8) { return Utf8ToCp1251(utf8); };
    const std::string bytes =
        lines("Итоги за май\r\nлист 2\r\n") +                                                     // 1-2
        good +                                                                                      // 3-8
        lines("Название теста: - Т\r\nФИО тестируемого - А\r\nГруппа - 1\r\n"                      // 9-11
              "Время тестирования: - когда-то\r\nРезультирующая оценка: - 5 баллов\r\n\r\n") +     // 12-14
        lines("Название теста: - Т\r\nФИО тестируемого - А\r\nГруппа - 1\r\n"                      // 15-17
              "Время тестирования: - 5 сек\r\nРезультирующая оценка: - много\r\n\r\n") +           // 18-20
        lines("Название теста: - Т\r\nФИО тестируемого - А\r\nГруппа\r\n"                          // 21-23
              "Время тестирования: - 5 сек\r\nРезультирующая оценка: - 5 баллов\r\n\r\n") +        // 24-26
        lines("Название теста: - Т\r\nГруппа - 1\r\n"                                              // 27-28
              "Время тестирования: - 5 сек\r\nРезультирующая оценка: - 5 баллов\r\n\r\n") +        // 29-31
        good + lines("примечание\r\n\r\n");                                                         // 32-37, 38
    const TResultsParse parse = Parse(bytes);
    EXPECT_EQ(Describe(parse.Rows), Describe({kDay[0], kDay[0]}));
    EXPECT_EQ(parse.Warnings, (std::vector<std::string>{
                                  "day1/Results.txt:1: not a results record, skipped",
                                  "day1/Results.txt:12: time \"когда-то\" cannot be read, record skipped",
                                  "day1/Results.txt:19: mark \"много\" cannot be read, record skipped",
                                  "day1/Results.txt:23: no \" - \" between the caption and the second field, "
                                  "record skipped",
                                  "day1/Results.txt:27: incomplete record, skipped",
                                  "day1/Results.txt:38: text after the record, skipped",
                              }));
}

TEST(ParseResultsFileTest, AFileWithoutRecordsSaysSo) {
    for (const std::string& bytes : {std::string(), std::string("\x1A"), std::string("\r\n\r\n")}) {
        const TResultsParse parse = Parse(bytes);
        EXPECT_TRUE(parse.Rows.empty());
        EXPECT_EQ(parse.Warnings, std::vector<std::string>{"day1/Results.txt: no records"});
    }
}

class MakeResultsTableTest : public ::testing::Test {
protected:
    TTempDir dir_;
    std::string Name(const char* file) const { return (dir_ / file).u8string(); }
    // Every file in the folder, to see that nothing was left behind.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
            names.push_back(entry.path().filename().u8string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(MakeResultsTableTest, GathersFilesInTheGivenOrder) {
    WriteFileBytes(dir_ / "a.txt", Written({Record("Т", "А", "Группа", "1", 61, 5)}));
    WriteFileBytes(dir_ / "b.txt", Written({Record("Т", "Б", "Класс", "2", 5, 4)}) + "\x1A");
    WriteFileBytes(dir_ / "table.csv", "old");
    TResultsTableOptions options;
    options.Separator = ',';
    const TResultsTableResult result = MakeResultsTable({Name("b.txt"), Name("a.txt")}, dir_ / "table.csv", options);
    EXPECT_TRUE(result.Ok());
    EXPECT_EQ(result.Records, 2);
    EXPECT_TRUE(result.Warnings.empty());
    EXPECT_EQ(ReadFileBytes(dir_ / "table.csv"), kBom +
                                                     "Тест,ФИО,Подпись второго поля,Второе поле,\"Время, с\",Оценка,Файл\r\n"
                                                     "Т,Б,Класс,2,5,4," + Name("b.txt") + "\r\n"
                                                     "Т,А,Группа,1,61,5," + Name("a.txt") + "\r\n");
    EXPECT_EQ(Files(), (std::vector<std::string>{"a.txt", "b.txt", "table.csv"}));
}

TEST_F(MakeResultsTableTest, AFileThatCannotBeReadWritesNothing) {
    WriteFileBytes(dir_ / "a.txt", Written(kDay));
    std::filesystem::create_directory(dir_ / "folder");
    WriteFileBytes(dir_ / "table.csv", "old");
    const TResultsTableResult result = MakeResultsTable(
        {Name("a.txt"), Name("missing.txt"), Name("folder")}, dir_ / "table.csv", TResultsTableOptions());
    EXPECT_FALSE(result.Ok());
    EXPECT_EQ(result.Errors, (std::vector<std::string>{Name("missing.txt") + ": no such file",
                                                       Name("folder") + ": cannot be read"}));
    EXPECT_EQ(ReadFileBytes(dir_ / "table.csv"), "old");
    EXPECT_EQ(Files(), (std::vector<std::string>{"a.txt", "folder", "table.csv"}));
}

TEST_F(MakeResultsTableTest, AnOutputThatCannotBeWrittenIsAnError) {
    WriteFileBytes(dir_ / "a.txt", Written(kDay));
    std::filesystem::create_directory(dir_ / "table.csv");
    for (const TPath& output : {dir_ / "missing" / "table.csv", dir_ / "table.csv"}) {
        const TResultsTableResult result = MakeResultsTable({Name("a.txt")}, output, TResultsTableOptions());
        ASSERT_EQ(result.Errors.size(), 1u) << output;
        EXPECT_EQ(result.Errors[0].rfind("cannot write " + output.u8string(), 0), 0u) << result.Errors[0];
    }
    EXPECT_EQ(Files(), (std::vector<std::string>{"a.txt", "table.csv"}));
}

}  // namespace
