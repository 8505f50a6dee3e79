#pragma once
// Judging an answer (the answer ratio) and the run's priority-weighted mark.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/TestData.h"

// The answer ratio lies in 0..1: exactly 1 is right, exactly 0 wrong, anything else partly right.
// Each rule is written once, on the answers as the person saw them: the answer list, the answers
// window and the tests all call these.

// `weights` in display order, `selected` flags in the same order; missing flags count as not
// selected. Only one answer can be selected; should more be flagged, the first one counts. The
// ratio is the chosen weight over the best one, clipped at 0, and 1 when no weight is positive
// (whatever is chosen). No answers give 0.
long double SingleChoiceRatio(const std::vector<int32_t>& weights, const std::vector<bool>& selected);
// As above; the ratio is the sum of the chosen weights over the sum of the positive ones, clipped
// at 0, and 1 when no weight is positive. No answers give 0.
long double MultipleChoiceRatio(const std::vector<int32_t>& weights, const std::vector<bool>& selected);
// `ranks` (the answers' weights) in display order: 1 when no rank is lower than the one above it,
// 0 otherwise. No answers give 0.
long double OrderingRatio(const std::vector<int32_t>& ranks);

// One answer of a typed question as the answers window keeps it.
struct TTypedAnswer {
    std::string Text;  // its variants as stored, separated by the byte 0xA6
    int32_t Weight = 0;
};

// `typed` exactly as typed, line breaks included. The ratio is the sum of the weights of the
// answers one of whose variants the text matches (MatchTypedAnswer) over the sum of the positive
// weights, clipped at 0, and 1 when no weight is positive (so also without answers).
long double TypedRatio(const std::vector<TTypedAnswer>& answers, const std::string& typed);

// What the person left in the answers window when the question ended.
struct TAnswerState {
    // Answer indices (file order) in the order the panels stand on screen. Empty means file order.
    std::vector<size_t> Order;
    // Selected flags by answer index; missing entries count as not selected.
    std::vector<bool> Selected;
    // The memo text exactly as typed, line breaks included.
    std::string Typed;
};

// The answer indices of `question` in the order `state` shows them: state.Order, or file order
// when it is empty. An index outside the answers throws std::out_of_range.
std::vector<size_t> ShownOrder(const TTestQuestion& question, const TAnswerState& state);

// The rule of question.AnswerMode on the question's answers and the state: single and multiple
// choice on the answers in file order with state.Selected, ordering on the ranks in ShownOrder
// (which may throw), typed input on state.Typed. An unknown mode gives 0.
long double AnswerRatio(const TTestQuestion& question, const TAnswerState& state);

enum TVerdict : uint8_t { vdWrong = 0, vdPartlyRight = 1, vdRight = 2 };

// The verdict on an answer ratio and the texts that announce it.
struct TVerdictInfo {
    TVerdict Verdict = vdWrong;
    // "Правильно!", "Неверно!", "Ответ не до конца верный!"
    std::string Status;
    // "Вы верно ответили на вопрос!" with a right verdict; empty otherwise.
    std::string Detail;
};

// Exactly 1 is right, exactly 0 (or -0) wrong, any other value (NaN too) partly right.
TVerdictInfo GetVerdict(long double ratio);

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
