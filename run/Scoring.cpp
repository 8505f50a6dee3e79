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

// s / total clipped at 0; a total of 0 or less means no answer can be wrong.
long double ClippedRatio(int64_t sum, int64_t total) {
    if (total <= 0) {
        return 1;
    }
    return std::max(static_cast<long double>(sum) / static_cast<long double>(total), 0.0L);
}

std::vector<int32_t> FileOrderWeights(const TTestQuestion& question) {
    std::vector<int32_t> weights;
    weights.reserve(question.Answers.size());
    for (const TTestAnswer& answer : question.Answers) {
        weights.push_back(answer.Weight);
    }
    return weights;
}

}  // namespace

long double SingleChoiceRatio(const std::vector<int32_t>& weights, const std::vector<bool>& selected) {
    if (weights.empty()) {
        return 0;
    }
    int32_t best = 0;
    int32_t chosen = 0;
    bool found = false;
    for (size_t i = 0; i < weights.size(); ++i) {
        best = std::max(best, weights[i]);
        if (!found && IsSelected(selected, i)) {
            chosen = weights[i];
            found = true;
        }
    }
    return ClippedRatio(chosen, best);
}

long double MultipleChoiceRatio(const std::vector<int32_t>& weights, const std::vector<bool>& selected) {
    if (weights.empty()) {
        return 0;
    }
    int64_t total = 0;
    int64_t chosen = 0;
    for (size_t i = 0; i < weights.size(); ++i) {
        total += std::max(weights[i], 0);
        if (IsSelected(selected, i)) {
            chosen += weights[i];
        }
    }
    return ClippedRatio(chosen, total);
}

long double OrderingRatio(const std::vector<int32_t>& ranks) {
    if (ranks.empty()) {
        return 0;
    }
    for (size_t position = 1; position < ranks.size(); ++position) {
        if (ranks[position] < ranks[position - 1]) {
            return 0;
        }
    }
    return 1;
}

long double TypedRatio(const std::vector<TTypedAnswer>& answers, const std::string& typed) {
    const std::string text = EncodeLineBreaks(typed);
    int64_t total = 0;
    int64_t matched = 0;
    for (const TTypedAnswer& answer : answers) {
        total += std::max(answer.Weight, 0);
        if (MatchTypedAnswer(text, answer.Text)) {
            matched += answer.Weight;
        }
    }
    return ClippedRatio(matched, total);
}

std::vector<size_t> ShownOrder(const TTestQuestion& question, const TAnswerState& state) {
    const size_t count = question.Answers.size();
    if (state.Order.empty()) {
        std::vector<size_t> order(count);
        for (size_t i = 0; i < count; ++i) {
            order[i] = i;
        }
        return order;
    }
    for (size_t index : state.Order) {
        if (index >= count) {
            throw std::out_of_range("ShownOrder: answer index " + std::to_string(index) + " of " +
                                    std::to_string(count));
        }
    }
    return state.Order;
}

long double AnswerRatio(const TTestQuestion& question, const TAnswerState& state) {
    switch (question.AnswerMode) {
        case 0:
            return SingleChoiceRatio(FileOrderWeights(question), state.Selected);
        case 1: {
            std::vector<TTypedAnswer> answers;
            answers.reserve(question.Answers.size());
            for (const TTestAnswer& answer : question.Answers) {
                answers.push_back({answer.Text, answer.Weight});
            }
            return TypedRatio(answers, state.Typed);
        }
        case 2:
            return MultipleChoiceRatio(FileOrderWeights(question), state.Selected);
        case 3: {
            std::vector<int32_t> ranks;
            for (size_t index : ShownOrder(question, state)) {
                ranks.push_back(question.Answers[index].Weight);
            }
            return OrderingRatio(ranks);
        }
        default:
            return 0;
    }
}

TVerdictInfo GetVerdict(long double ratio) {
    TVerdictInfo info;
    if (ratio == 1) {
        info.Verdict = vdRight;
        info.Status = Utf8ToCp1251("Правильно!");
        info.Detail = Utf8ToCp1251("Вы верно ответили на вопрос!");
    } else if (ratio == 0) {
        info.Verdict = vdWrong;
        info.Status = Utf8ToCp1251("Неверно!");
    } else {
        info.Verdict = vdPartlyRight;
        info.Status = Utf8ToCp1251("Ответ не до конца верный!");
    }
    return info;
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
