#include "run/TestLog.h"

#include <utility>
#include <vector>

#include "model/Codepage.h"
#include "model/TextUtils.h"

namespace {

const char kLineEnd[] = "\r\n";

}  // namespace

TTestLog::TTestLog(TTimeTextFn timeText) : TimeText_(std::move(timeText)) {}

void TTestLog::AddLogLine(std::string_view message) {
    if (!message.empty()) {
        Text_ += TimeText_();
        Text_ += ' ';
        Text_ += DecodeLineBreaks(message);
    }
    Text_ += kLineEnd;
}

void TTestLog::LogRunStart() {
    AddLogLine(Utf8ToCp1251("Начало тестирования"));
}

void TTestLog::LogQuestion(const TTestQuestion& question) {
    AddLogLine("");
    AddLogLine(Utf8ToCp1251("Задан вопрос \"") + question.Text + "\"");
    AddLogLine(Utf8ToCp1251("Приоритет вопроса ") + std::to_string(question.Priority));
}

void TTestLog::LogQuestionTimeOut() {
    AddLogLine(Utf8ToCp1251("Время, отпущенное на вопрос, истекло"));
}

void TTestLog::LogAnswer(std::string_view answerText, int32_t mark) {
    AddLogLine(Utf8ToCp1251("Ответ пользователя:\r\n----\r\n") + std::string(answerText) + "\r\n---");
    AddLogLine(Utf8ToCp1251("Предварительная оценка ") + std::to_string(mark));
}

void TTestLog::LogQuestionUnreadable(std::string_view fileName) {
    AddLogLine(Utf8ToCp1251("Не удалось прочитать вопрос из файла \"") + std::string(fileName) + "\"");
}

void TTestLog::LogSkipped() {
    AddLogLine(Utf8ToCp1251("Вопрос пропущен пользователем"));
}

void TTestLog::LogInterrupted() {
    AddLogLine(Utf8ToCp1251("Тест прерван пользователем"));
}

void TTestLog::LogTestTimeOut() {
    AddLogLine(Utf8ToCp1251("Время, отпущенное на тестирование, истекло"));
}

std::string AnswerLogText(const TTestQuestion& question, const TAnswerState& state) {
    if (question.AnswerMode == 1) {
        return "[" + state.Typed + "]";
    }
    if (question.AnswerMode != 0 && question.AnswerMode != 2 && question.AnswerMode != 3) {
        return "";
    }
    const bool all = question.AnswerMode == 3;
    std::vector<size_t> order = state.Order;
    if (order.empty()) {
        for (size_t i = 0; i < question.Answers.size(); ++i) order.push_back(i);
    }
    std::string text;
    for (size_t index : order) {
        if (!all && !(index < state.Selected.size() && state.Selected[index])) {
            continue;
        }
        if (!text.empty()) {
            text += kLineEnd;
        }
        text += " - [" + NormalizeSpaces(question.Answers.at(index).Text) + "]";
    }
    return text;
}
