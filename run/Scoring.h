#pragma once
// Judging an answer (the answer ratio) and the run's priority-weighted mark.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/TestData.h"

// What the person left in the answers window when the question ended.
struct TAnswerState {
    // Answer indices (file order) in the order the panels stand on screen. Empty means file order.
    std::vector<size_t> Order;
    // Selected flags by answer index; missing entries count as not selected.
    std::vector<bool> Selected;
    // The memo text exactly as typed, line breaks included.
    std::string Typed;
};

// The answer ratio lies in 0..1: exactly 1 is right, exactly 0 wrong, anything else partly right.
// A choice or ordering question without answers gives 0.
long double SingleChoiceRatio(const TTestQuestion& question, const std::vector<bool>& selected);
long double MultipleChoiceRatio(const TTestQuestion& question, const std::vector<bool>& selected);
// `order` as in TAnswerState::Order; an index outside the answers throws std::out_of_range.
long double OrderingRatio(const TTestQuestion& question, const std::vector<size_t>& order);
long double TypedRatio(const TTestQuestion& question, const std::string& typed);
// Dispatches on question.AnswerMode; an unknown mode gives 0.
long double AnswerRatio(const TTestQuestion& question, const TAnswerState& state);

enum TVerdict : uint8_t { vdWrong = 0, vdPartlyRight = 1, vdRight = 2 };

TVerdict GetVerdict(long double ratio);
// "Правильно!", "Неверно!", "Ответ не до конца верный!"
std::string VerdictText(TVerdict verdict);
// "Вы верно ответили на вопрос!", shown with a right verdict.
std::string RightVerdictDetailText();

// "Оценка неопределена", before the first answered question of a run.
std::string NoMarkText();
// "Оценка: %d баллов"
std::string MarkText(int32_t mark);

// Round half to even, clamped to the 32-bit range; NaN gives 0.
int32_t RoundToInt32(long double value);

class TScore {
public:
    // At the start of every run.
    void ResetScore(int32_t maxScore);
    // When a question is loaded.
    void SetCurrentPriority(int32_t priority) { CurrentPriority_ = priority; }

    // For a question that was answered or whose own limit ran out. `answeredCount` already
    // includes this question. Returns the new mark and keeps it as Mark(). When the priorities
    // answered so far sum to 0 or less the mark stays as it was, but the sums still grow.
    int32_t AddMark(long double ratio, int32_t answeredCount);

    int32_t Scale() const { return Scale_; }
    int32_t CurrentPriority() const { return CurrentPriority_; }
    int32_t PriorityExcess() const { return PriorityExcess_; }
    long double WeightedSum() const { return WeightedSum_; }
    int32_t Mark() const { return Mark_; }

private:
    int32_t Scale_ = 0;
    int32_t CurrentPriority_ = 0;
    int32_t PriorityExcess_ = 0;
    long double WeightedSum_ = 0;
    int32_t Mark_ = 0;
};
