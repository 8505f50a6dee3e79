#include "answers/RightAnswerView.h"

#include <algorithm>
#include <utility>

#include "model/Codepage.h"
#include "platform/DpiScale.h"
#include "run/Scoring.h"

TRightAnswerView BuildRightAnswerView(const std::vector<TTestAnswer>& answers, long double ratio,
                                      uint8_t answerMode) {
    TRightAnswerView view;
    const TVerdictInfo verdict = GetVerdict(ratio);
    view.Status = verdict.Status;
    if (verdict.Verdict == vdRight) {
        view.Icon = TRightAnswerView::iconOk;
        view.Description = verdict.Detail;
        return view;
    }
    // A ratio outside 0..1 shows no icon at all.
    if (verdict.Verdict == vdWrong) {
        view.Icon = TRightAnswerView::iconError;
    } else if (ratio > 0 && ratio < 1) {
        view.Icon = TRightAnswerView::iconWarning;
    }
    view.ShowViewport = true;
    switch (answerMode) {
        case 0: {
            if (!answers.empty()) {
                size_t best = 0;
                int32_t bestWeight = 0;
                for (size_t i = 0; i < answers.size(); ++i) {
                    if (answers[i].Weight > bestWeight) {
                        bestWeight = answers[i].Weight;
                        best = i;
                    }
                }
                view.ListAnswers.push_back(best);
            }
            view.Description = Utf8ToCp1251("Ниже приведен правильный ответ");
            break;
        }
        case 1:
            view.ShowTyped = true;
            view.Description = Utf8ToCp1251("Ключевые слова правильного ответа приведены ниже");
            for (const TTestAnswer& answer : answers) {
                if (answer.Weight > 0) {
                    view.TypedText += "\r\n" + answer.Text;
                }
            }
            view.TypedText += "\r\n";
            break;
        case 2:
            for (size_t i = 0; i < answers.size(); ++i) {
                if (answers[i].Weight > 0) {
                    view.ListAnswers.push_back(i);
                }
            }
            view.Description = Utf8ToCp1251(view.ListAnswers.size() == 1 ? "Ниже приведен правильный ответ"
                                                                          : "Ниже перечислены все правильные варианты");
            break;
        case 3: {
            view.Description = Utf8ToCp1251("Правильный порядок следования приведен ниже");
            std::vector<size_t>& order = view.ListAnswers;
            for (size_t i = 0; i < answers.size(); ++i) {
                order.push_back(i);
            }
            // Only a strictly greater left weight swaps, so equal ranks keep their file order.
            for (bool swapped = true; swapped;) {
                swapped = false;
                for (size_t i = 1; i < order.size(); ++i) {
                    if (answers[order[i - 1]].Weight > answers[order[i]].Weight) {
                        std::swap(order[i - 1], order[i]);
                        swapped = true;
                    }
                }
            }
            break;
        }
        default:
            view.DescriptionSet = false;
            break;
    }
    return view;
}

std::string AutoCloseText(int32_t seconds) {
    return Utf8ToCp1251("Автоматическое закрытие через " + std::to_string(seconds) + " сек.");
}

std::string CloseHintText() { return Utf8ToCp1251("Для продолжения нажмите \"Закрыть\""); }

TRightAnswerFrame LayoutRightAnswerFrame(const TRightAnswerTextRoom& texts, int dpi) {
    auto s = [dpi](int32_t design) { return ScaleForDpi(design, dpi); };
    TRightAnswerFrame f;
    f.Margin = s(8);
    f.TextHeight = std::max(s(16), texts.LineHeight);
    f.StatusTop = s(5);
    f.DescriptionTop = f.StatusTop + f.TextHeight;
    f.BandHeight = std::max(s(41), f.DescriptionTop + f.TextHeight + s(4));
    f.IconSize = s(32);
    f.IconLeft = s(8);
    f.IconTop = (f.BandHeight - f.IconSize) / 2;
    f.TextLeft = s(48);
    f.ButtonHeight = std::max(s(25), texts.LineHeight + s(8));
    f.Glyph = std::min(s(16), f.ButtonHeight - s(4));
    f.GlyphGap = s(4);
    // The glyph, the gap and the text, with room on either side.
    f.ButtonWidth = std::max(s(89), f.Glyph + f.GlyphGap + texts.Close + s(16));
    f.ClientWidth = std::max({s(404), f.TextLeft + std::max(texts.Status, texts.Description) + f.Margin,
                              3 * f.Margin + f.ButtonWidth + texts.AutoClose});
    f.TextWidth = f.ClientWidth - f.TextLeft - f.Margin;
    f.AutoCloseWidth = f.ClientWidth - f.ButtonWidth - 3 * f.Margin;
    f.MaxViewport = s(300);
    f.InternalMargin = s(8);
    f.InputLabelLeft = s(1);
    f.Bevel = 1;
    return f;
}
