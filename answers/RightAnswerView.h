#pragma once
// What the right-answer window (answers/RightAnswerFormUnit) shows, as data: the verdict band,
// the right answer in the form of the question, and the countdown texts. Portable, so that it is
// tested natively; the window only puts it on screen.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/TestData.h"

// The right-answer window's content for one question.
struct TRightAnswerView {
    enum TIcon : uint8_t { iconNone = 0, iconOk = 1, iconWarning = 2, iconError = 3 } Icon = iconNone;
    std::string Status;       // "Правильно!", "Неверно!", "Ответ не до конца верный!"
    std::string Description;  // what the viewport shows
    bool DescriptionSet = true;  // false: an unknown mode leaves the previous description
    bool ShowViewport = false;   // not for a right answer
    bool ShowTyped = false;      // typed input: the key words instead of the list
    std::vector<size_t> ListAnswers;  // indices into the answers, in the order to show them
    std::string TypedText;            // CR LF, then each right answer's text and CR LF
};

// The band follows GetVerdict(ratio) (run/Scoring.h): its status text, and for a right answer its
// detail as the description and no viewport. The warning icon is for a ratio strictly between 0
// and 1 only: any other partly right ratio shows no icon at all.
TRightAnswerView BuildRightAnswerView(const std::vector<TTestAnswer>& answers, long double ratio,
                                      uint8_t answerMode);
// "Автоматическое закрытие через %d сек."
std::string AutoCloseText(int32_t seconds);
// "Для продолжения нажмите "Закрыть""
std::string CloseHintText();
