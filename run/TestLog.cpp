#include "run/TestLog.h"

#include <utility>
#include <vector>

#include "answers/AnswerListModel.h"
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

void TTestLog::LogAttachmentUnshown(std::string_view fileName) {
    AddLogLine(Utf8ToCp1251("Не удалось показать файл \"") + std::string(fileName) + "\"");
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

std::string AnswerLogText(uint8_t mode, const std::vector<std::string>& shown, const std::vector<bool>& selected,
                          const std::string& typed) {
    if (mode == lmTyped) {
        return "[" + typed + "]";
    }
    if (mode != lmSingle && mode != lmMultiple && mode != lmOrdering) {
        return "";
    }
    const bool every = mode == lmOrdering;
    std::string text;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (!every && !(i < selected.size() && selected[i])) {
            continue;
        }
        if (!text.empty()) {
            text += kLineEnd;
        }
        text += " - [" + shown[i] + "]";
    }
    return text;
}

std::string AnswerLogText(const TTestQuestion& question, const TAnswerState& state) {
    const uint8_t mode = ListModeOf(question.AnswerMode);
    std::vector<std::string> shown;
    std::vector<bool> selected;
    if (mode == lmSingle || mode == lmMultiple || mode == lmOrdering) {
        for (size_t index : ShownOrder(question, state)) {
            shown.push_back(NormalizeSpaces(question.Answers[index].Text));
            selected.push_back(index < state.Selected.size() && state.Selected[index]);
        }
    }
    return AnswerLogText(mode, shown, selected, state.Typed);
}
