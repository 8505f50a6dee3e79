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

// The room the window's fixed texts need, in pixels of their fonts at the window's DPI.
struct TRightAnswerTextRoom {
    int32_t Status = 0;       // the verdict, bold
    int32_t Description = 0;  // what the viewport shows
    int32_t AutoClose = 0;    // the widest countdown or hint of this showing
    int32_t Close = 0;        // "Закрыть"
    int32_t LineHeight = 0;   // one line of the taller of the two fonts
};

// The window's frame at a DPI: the verdict band at the top, the countdown and the close button at
// the bottom, and the width: the design's scaled, grown where a text needs more.
struct TRightAnswerFrame {
    int32_t ClientWidth = 0;
    int32_t BandHeight = 0;
    int32_t IconLeft = 0, IconTop = 0, IconSize = 0;
    int32_t TextLeft = 0, TextWidth = 0, TextHeight = 0, StatusTop = 0, DescriptionTop = 0;
    int32_t Margin = 0;  // of the bottom row from the edges and between its two parts
    int32_t ButtonWidth = 0, ButtonHeight = 0, Glyph = 0, GlyphGap = 0;
    int32_t AutoCloseWidth = 0;
    int32_t MaxViewport = 0;     // the viewport's greatest height
    int32_t InternalMargin = 0;  // of the key words' frame inside the viewport
    int32_t InputLabelLeft = 0;  // of the key words inside their frame
    int32_t Bevel = 0;           // of the viewport's lowered edge
    // The client height with a viewport of `viewport` pixels under the band (0: none shown).
    int32_t ClientHeight(int32_t viewport) const { return BandHeight + viewport + ButtonHeight + 2 * Margin; }
};

TRightAnswerFrame LayoutRightAnswerFrame(const TRightAnswerTextRoom& texts, int dpi);
