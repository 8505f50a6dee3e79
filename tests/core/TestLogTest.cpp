#include "run/TestLog.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/Codepage.h"

namespace {

std::string Cp(const std::string& utf8) {
    return Utf8ToCp1251(utf8);
}

// A clock that gives "10:00:01", "10:00:02", ... so every stamp shows which call made it.
class TestLogTest : public ::testing::Test {
protected:
    std::string NextTime() {
        ++Calls;
        return (Calls < 10 ? "10:00:0" : "10:00:") + std::to_string(Calls);
    }

    int Calls = 0;
    TTestLog Log{[this] { return NextTime(); }};
};

TEST_F(TestLogTest, StartsEmpty) {
    EXPECT_EQ(Log.Text(), "");
    EXPECT_EQ(Calls, 0);
}

TEST(AddLogLineTest, Formats) {
    struct Case {
        const char* name;
        std::string message;
        std::string expected;
    };
    const Case cases[] = {
        {"empty line has no stamp", "", "\r\n"},
        {"plain", "abc", "T abc\r\n"},
        {"a space is not empty", " ", "T  \r\n"},
        {"line break", "a/nb", "T a\r\nb\r\n"},
        {"two line breaks", "a/n/nb", "T a\r\n\r\nb\r\n"},
        {"only a line break", "/n", "T \r\n\r\n"},
        {"lone slash kept", "a/", "T a/\r\n"},
        {"other escapes kept", "a/N/tb\\n", "T a/N/tb\\n\r\n"},
        {"real CR LF kept", "a\r\nb", "T a\r\nb\r\n"},
        {"cp1251 bytes", Cp("Тест ё"), "T " + Cp("Тест ё") + "\r\n"},
    };
    for (const Case& c : cases) {
        TTestLog log([] { return std::string("T"); });
        log.AddLogLine(c.message);
        EXPECT_EQ(log.Text(), c.expected) << c.name;
    }
}

TEST_F(TestLogTest, ClockAskedOncePerStampedLine) {
    Log.AddLogLine("one/ntwo/nthree");
    Log.AddLogLine("");
    Log.AddLogLine("four");
    EXPECT_EQ(Log.Text(), "10:00:01 one\r\ntwo\r\nthree\r\n\r\n10:00:02 four\r\n");
    EXPECT_EQ(Calls, 2);
}

TEST(TestLogLinesTest, EachKind) {
    TTestQuestion question;
    question.Text = Cp("Сколько будет/n2 + 2?");
    question.Priority = 3;
    TTestQuestion negative;
    negative.Text = "";
    negative.Priority = -2;
    struct Case {
        const char* name;
        std::function<void(TTestLog&)> action;
        std::string expected;
    };
    const Case cases[] = {
        {"run start", [](TTestLog& log) { log.LogRunStart(); }, Cp("T Начало тестирования\r\n")},
        {"question",
         [&](TTestLog& log) { log.LogQuestion(question); },
         Cp("\r\nT Задан вопрос \"Сколько будет\r\n2 + 2?\"\r\nT Приоритет вопроса 3\r\n")},
        {"question without text, negative priority",
         [&](TTestLog& log) { log.LogQuestion(negative); },
         Cp("\r\nT Задан вопрос \"\"\r\nT Приоритет вопроса -2\r\n")},
        {"question time-out", [](TTestLog& log) { log.LogQuestionTimeOut(); },
         Cp("T Время, отпущенное на вопрос, истекло\r\n")},
        {"answer",
         [](TTestLog& log) { log.LogAnswer(Cp("[кот]"), 4); },
         Cp("T Ответ пользователя:\r\n----\r\n[кот]\r\n---\r\nT Предварительная оценка 4\r\n")},
        {"empty answer",
         [](TTestLog& log) { log.LogAnswer("", 0); },
         Cp("T Ответ пользователя:\r\n----\r\n\r\n---\r\nT Предварительная оценка 0\r\n")},
        {"answer over lines",
         [](TTestLog& log) { log.LogAnswer(" - [a]\r\n - [b]", -1); },
         Cp("T Ответ пользователя:\r\n----\r\n - [a]\r\n - [b]\r\n---\r\nT Предварительная оценка -1\r\n")},
        {"question that cannot be read", [](TTestLog& log) { log.LogQuestionUnreadable("Q0002.QST"); },
         Cp("T Не удалось прочитать вопрос из файла \"Q0002.QST\"\r\n")},
        {"attachment that cannot be shown", [](TTestLog& log) { log.LogAttachmentUnshown("RIS00001.JPG"); },
         Cp("T Не удалось показать файл \"RIS00001.JPG\"\r\n")},
        {"skipped", [](TTestLog& log) { log.LogSkipped(); }, Cp("T Вопрос пропущен пользователем\r\n")},
        {"interrupted", [](TTestLog& log) { log.LogInterrupted(); }, Cp("T Тест прерван пользователем\r\n")},
        {"test time-out", [](TTestLog& log) { log.LogTestTimeOut(); },
         Cp("T Время, отпущенное на тестирование, истекло\r\n")},
    };
    for (const Case& c : cases) {
        TTestLog log([] { return std::string("T"); });
        c.action(log);
        EXPECT_EQ(log.Text(), c.expected) << c.name;
    }
}

TEST_F(TestLogTest, TwoRunsWithSkipAndTimeOut) {
    TTestQuestion first;
    first.Text = "Q1";
    first.Priority = 1;
    TTestQuestion second;
    second.Text = "Q2";
    second.Priority = 2;

    Log.LogRunStart();
    Log.LogQuestion(first);
    Log.LogSkipped();
    Log.LogQuestion(second);
    Log.LogQuestionTimeOut();
    Log.LogAnswer("", 0);  // multiple choice, nothing selected
    Log.LogQuestion(first);
    Log.LogAnswer("[x]", 3);
    Log.LogRunStart();
    Log.LogQuestion(second);
    Log.LogInterrupted();

    const std::string expected = Cp(
        "10:00:01 Начало тестирования\r\n"
        "\r\n"
        "10:00:02 Задан вопрос \"Q1\"\r\n"
        "10:00:03 Приоритет вопроса 1\r\n"
        "10:00:04 Вопрос пропущен пользователем\r\n"
        "\r\n"
        "10:00:05 Задан вопрос \"Q2\"\r\n"
        "10:00:06 Приоритет вопроса 2\r\n"
        "10:00:07 Время, отпущенное на вопрос, истекло\r\n"
        "10:00:08 Ответ пользователя:\r\n----\r\n\r\n---\r\n"
        "10:00:09 Предварительная оценка 0\r\n"
        "\r\n"
        "10:00:10 Задан вопрос \"Q1\"\r\n"
        "10:00:11 Приоритет вопроса 1\r\n"
        "10:00:12 Ответ пользователя:\r\n----\r\n[x]\r\n---\r\n"
        "10:00:13 Предварительная оценка 3\r\n"
        "10:00:14 Начало тестирования\r\n"
        "\r\n"
        "10:00:15 Задан вопрос \"Q2\"\r\n"
        "10:00:16 Приоритет вопроса 2\r\n"
        "10:00:17 Тест прерван пользователем\r\n");
    EXPECT_EQ(Log.Text(), expected);
}

TEST(AnswerLogTextTest, Cases) {
    struct Case {
        const char* name;
        uint8_t mode;
        std::vector<size_t> order;
        std::vector<bool> selected;
        std::string typed;
        std::string expected;
    };
    const Case cases[] = {
        {"typed keeps its lines", 1, {}, {true}, "a  b\r\nc", "[a  b\r\nc]"},
        {"typed empty", 1, {}, {}, "", "[]"},
        {"single choice", 0, {2, 0, 1}, {false, true, false}, "", " - [bee]"},
        {"nothing selected", 0, {2, 0, 1}, {false, false, false}, "", ""},
        {"multiple in display order", 2, {2, 0, 1}, {true, false, true}, "", " - [c c]\r\n - [ant]"},
        {"multiple, empty order is file order", 2, {}, {true, true, true}, "", " - [ant]\r\n - [bee]\r\n - [c c]"},
        {"multiple, flags shorter", 2, {}, {false, true}, "", " - [bee]"},
        {"multiple, none", 2, {1, 0, 2}, {}, "", ""},
        {"ordering lists all", 3, {1, 2, 0}, {false, false, false}, "", " - [bee]\r\n - [c c]\r\n - [ant]"},
        {"unknown mode", 7, {0, 1, 2}, {true, true, true}, "typed", ""},
    };
    for (const Case& c : cases) {
        TTestQuestion question;
        question.AnswerMode = c.mode;
        for (const char* text : {"ant", "bee", "  c   c"}) {
            TTestAnswer answer;
            answer.Text = text;
            question.Answers.push_back(answer);
        }
        const TAnswerState state{c.order, c.selected, c.typed};
        EXPECT_EQ(AnswerLogText(question, state), c.expected) << c.name;
    }
}

TEST(AnswerLogTextTest, IndexOutsideAnswersThrows) {
    TTestQuestion question;
    question.AnswerMode = 3;
    question.Answers.resize(1);
    EXPECT_THROW(AnswerLogText(question, TAnswerState{{0, 1}, {}, ""}), std::out_of_range);
}

}  // namespace
