#include "run/Scoring.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "model/Codepage.h"
#include "model/TextUtils.h"

namespace {

bool IsSelected(const std::vector<bool>& selected, size_t index) {
    return index < selected.size() && selected[index];
}

int32_t WeightOf(const TTestAnswer& answer) {
    return answer.Weight;
}

// s / total clipped at 0; a total of 0 or less means no answer can be wrong.
long double ClippedRatio(int64_t sum, int64_t total) {
    if (total <= 0) {
        return 1;
    }
    return std::max(static_cast<long double>(sum) / static_cast<long double>(total), 0.0L);
}

int64_t PositiveWeightSum(const TTestQuestion& question) {
    int64_t total = 0;
    for (const TTestAnswer& answer : question.Answers) {
        total += std::max(WeightOf(answer), 0);
    }
    return total;
}

}  // namespace

long double SingleChoiceRatio(const TTestQuestion& question, const std::vector<bool>& selected) {
    if (question.Answers.empty()) {
        return 0;
    }
    int32_t best = 0;
    int32_t chosen = 0;
    bool found = false;
    for (size_t i = 0; i < question.Answers.size(); ++i) {
        best = std::max(best, WeightOf(question.Answers[i]));
        // Only one panel can be selected; should more be flagged, the first one counts.
        if (!found && IsSelected(selected, i)) {
            chosen = WeightOf(question.Answers[i]);
            found = true;
        }
    }
    return ClippedRatio(chosen, best);
}

long double MultipleChoiceRatio(const TTestQuestion& question, const std::vector<bool>& selected) {
    if (question.Answers.empty()) {
        return 0;
    }
    int64_t chosen = 0;
    for (size_t i = 0; i < question.Answers.size(); ++i) {
        if (IsSelected(selected, i)) {
            chosen += WeightOf(question.Answers[i]);
        }
    }
    return ClippedRatio(chosen, PositiveWeightSum(question));
}

long double OrderingRatio(const TTestQuestion& question, const std::vector<size_t>& order) {
    if (question.Answers.empty()) {
        return 0;
    }
    const size_t count = order.empty() ? question.Answers.size() : order.size();
    auto rankAt = [&](size_t position) {
        return WeightOf(question.Answers.at(order.empty() ? position : order[position]));
    };
    for (size_t position = 1; position < count; ++position) {
        if (rankAt(position) < rankAt(position - 1)) {
            return 0;
        }
    }
    // Checked even for a single answer, so a bad index never goes unnoticed.
    rankAt(0);
    return 1;
}

long double TypedRatio(const TTestQuestion& question, const std::string& typed) {
    const std::string text = EncodeLineBreaks(typed);
    int64_t matched = 0;
    for (const TTestAnswer& answer : question.Answers) {
        if (MatchTypedAnswer(text, answer.Text)) {
            matched += WeightOf(answer);
        }
    }
    return ClippedRatio(matched, PositiveWeightSum(question));
}

long double AnswerRatio(const TTestQuestion& question, const TAnswerState& state) {
    switch (question.AnswerMode) {
        case 0:
            return SingleChoiceRatio(question, state.Selected);
        case 1:
            return TypedRatio(question, state.Typed);
        case 2:
            return MultipleChoiceRatio(question, state.Selected);
        case 3:
            return OrderingRatio(question, state.Order);
        default:
            return 0;
    }
}

TVerdict GetVerdict(long double ratio) {
    if (ratio == 1) {
        return vdRight;
    }
    if (ratio == 0) {
        return vdWrong;
    }
    return vdPartlyRight;
}

std::string VerdictText(TVerdict verdict) {
    switch (verdict) {
        case vdRight:
            return Utf8ToCp1251("Правильно!");
        case vdWrong:
            return Utf8ToCp1251("Неверно!");
        default:
            return Utf8ToCp1251("Ответ не до конца верный!");
    }
}

std::string RightVerdictDetailText() {
    return Utf8ToCp1251("Вы верно ответили на вопрос!");
}

std::string NoMarkText() {
    return Utf8ToCp1251("Оценка неопределена");
}

std::string MarkText(int32_t mark) {
    return Utf8ToCp1251("Оценка: ") + std::to_string(mark) + Utf8ToCp1251(" баллов");
}

int32_t RoundToInt32(long double value) {
    if (std::isnan(value)) {
        return 0;
    }
    // nearbyint follows the current rounding mode, which is left at to-nearest-even.
    const long double rounded = std::nearbyint(value);
    if (rounded <= static_cast<long double>(std::numeric_limits<int32_t>::min())) {
        return std::numeric_limits<int32_t>::min();
    }
    if (rounded >= static_cast<long double>(std::numeric_limits<int32_t>::max())) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(rounded);
}

void TScore::ResetScore(int32_t maxScore) {
    Scale_ = maxScore;
    PriorityExcess_ = 0;
    WeightedSum_ = 0;
    Mark_ = 0;
}

int32_t TScore::AddMark(long double ratio, int32_t answeredCount) {
    const int64_t priority = CurrentPriority_;
    const int64_t divisor = int64_t{answeredCount} + PriorityExcess_ + (priority - 1);
    const long double term = ratio * static_cast<long double>(Scale_) * static_cast<long double>(priority);
    if (divisor > 0) {
        // The earlier sum is rounded before the new term joins it; the term itself is not.
        const long double rounded = std::nearbyint(WeightedSum_);
        Mark_ = RoundToInt32((rounded + term) / static_cast<long double>(divisor));
    }
    PriorityExcess_ = static_cast<int32_t>(PriorityExcess_ + (priority - 1));
    WeightedSum_ += term;
    return Mark_;
}
