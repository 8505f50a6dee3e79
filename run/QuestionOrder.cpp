#include "run/QuestionOrder.h"

#include <algorithm>

#include "model/Codepage.h"
#include "model/Random.h"

void TQuestionOrder::BuildQuestionOrder(int32_t count, int32_t bankSize, bool sequential, int32_t lastQuest) {
    entries_.clear();
    // More entries than questions would repeat questions in sequential order and never end the
    // no-repetition draw in random order.
    int32_t n = std::min(count, bankSize);
    if (n <= 0) return;
    entries_.resize(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        int32_t index;
        if (sequential) {
            // "Subtract the bank size once when past the end" for every lastQuest from -1 to bankSize - 1.
            // Other values (a test built elsewhere) would point outside the bank, so they wrap around as
            // well: a true modulo gives the same result wherever the single subtraction stays in range.
            int64_t raw = static_cast<int64_t>(lastQuest) + i + 1;
            index = static_cast<int32_t>(((raw % bankSize) + bankSize) % bankSize);
        } else {
            bool repeated;
            do {
                index = RandomInt(bankSize);
                repeated = std::any_of(entries_.begin(), entries_.begin() + i,
                                       [index](const TOrderEntry& e) { return e.QuestionIndex == index; });
            } while (repeated);
        }
        entries_[static_cast<size_t>(i)].QuestionIndex = index;
    }
}

TNextQuestion TQuestionOrder::NextQuestion() const {
    TNextQuestion next;
    for (const TOrderEntry& e : entries_) {
        if (e.State == qsNew) {
            next.Index = e.QuestionIndex;
            return next;
        }
    }
    next.DisableSkip = true;
    for (const TOrderEntry& e : entries_) {
        if (e.State == qsSkipped) {
            next.Index = e.QuestionIndex;
            return next;
        }
    }
    return next;
}

void TQuestionOrder::SetQuestionState(int32_t index, TQuestionState state) {
    for (TOrderEntry& e : entries_) {
        if (e.QuestionIndex == index) {
            e.State = state;
            return;
        }
    }
}

int32_t TQuestionOrder::AnsweredCount() const {
    return static_cast<int32_t>(
        std::count_if(entries_.begin(), entries_.end(), [](const TOrderEntry& e) { return e.State == qsAnswered; }));
}

void TSkipCounter::Start(int32_t skipsAllowed, int32_t questionsPerTest) {
    // A run without questions gets no skips rather than a negative count, which would read as enabled.
    Tag = skipsAllowed < 0 ? -1 : std::min(skipsAllowed, std::max(questionsPerTest, 0));
    Enabled = Tag != 0;
}

void TSkipCounter::Skip() {
    if (Tag > 0) {
        --Tag;
        Enabled = Tag != 0;
    }
}

std::string QuestionsCountText(int32_t number, int32_t count) {
    return Utf8ToCp1251("Вопрос ") + std::to_string(number) + Utf8ToCp1251(" из ") + std::to_string(count);
}

int32_t QuestionTimeLimit(int32_t limitSeconds, bool noLimitForInput, uint8_t answerMode, uint16_t ownLimit) {
    if (limitSeconds == -1) return ownLimit;
    if (limitSeconds == 0) return 0;
    if (noLimitForInput && answerMode == 1) return 0;
    return limitSeconds;
}

bool CountdownTick(int32_t& tag) {
    if (tag < 0) return false;
    --tag;
    return tag == 0;
}
