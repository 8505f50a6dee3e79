#pragma once
// The run's journal: one growing cp1251 text, lines ended by CR LF, kept across runs until the
// program ends. The log window shows Text() as it is.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "model/TestData.h"
#include "run/Scoring.h"

// Gives the current local time as text (the system's long time format on Windows).
using TTimeTextFn = std::function<std::string()>;

class TTestLog {
public:
    explicit TTestLog(TTimeTextFn timeText);

    // An empty message adds a bare CR LF. Otherwise "<time> <message>" CR LF, every "/n" of
    // the message becoming CR LF, so a time stamp stands only before the first line.
    void AddLogLine(std::string_view message);

    // "Начало тестирования"
    void LogRunStart();
    // An empty line, "Задан вопрос "%s"" with the stored text, "Приоритет вопроса %d".
    void LogQuestion(const TTestQuestion& question);
    // "Время, отпущенное на вопрос, истекло"
    void LogQuestionTimeOut();
    // "Ответ пользователя:" CR LF "----" CR LF <answer> CR LF "---", then "Предварительная оценка %d".
    void LogAnswer(std::string_view answerText, int32_t mark);
    // "Не удалось прочитать вопрос из файла "%s"": the question's entry is damaged or missing, so
    // what is on screen is what could be read of it.
    void LogQuestionUnreadable(std::string_view fileName);
    // "Не удалось показать файл "%s"": a picture or embedded object of the question or of one of its
    // answers is damaged and shows as an empty frame, so the question may not be answerable.
    void LogAttachmentUnshown(std::string_view fileName);
    // "Вопрос пропущен пользователем"
    void LogSkipped();
    // "Тест прерван пользователем"
    void LogInterrupted();
    // "Время, отпущенное на тестирование, истекло"
    void LogTestTimeOut();

    const std::string& Text() const { return Text_; }

private:
    TTimeTextFn TimeText_;
    std::string Text_;
};

// The answer as the log shows it, from what the answers window shows in list mode `mode`
// (TListMode, answers/AnswerListModel.h). Typed input: "[" + `typed` + "]", the text as typed.
// Single and multiple choice: " - [<answer>]" per selected answer in display order, joined by
// CR LF, empty when none is selected. Ordering: the same for every answer. `shown` holds the
// answers' texts as on their panels (runs of spaces collapsed) in display order, `selected` their
// flags in the same order; missing flags count as not selected. Any other mode gives an empty text.
std::string AnswerLogText(uint8_t mode, const std::vector<std::string>& shown, const std::vector<bool>& selected,
                          const std::string& typed);

// The same for a question and what the person left: in the list mode of question.AnswerMode, the
// answers' texts with their runs of spaces collapsed in ShownOrder (which may throw; read only for
// a choice or ordering question), state.Selected by answer index, and state.Typed.
std::string AnswerLogText(const TTestQuestion& question, const TAnswerState& state);
