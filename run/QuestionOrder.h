#pragma once
// The order in which one run asks its questions, and the skip allowance of the run.

#include <cstdint>
#include <string>
#include <vector>

enum TQuestionState : uint8_t { qsNew = 0, qsAnswered = 1, qsSkipped = 2 };

struct TOrderEntry {
    int32_t QuestionIndex = 0;
    TQuestionState State = qsNew;
};

struct TNextQuestion {
    // Bank index of the question to ask, -1 when the run is over.
    int32_t Index = -1;
    // No new question is left: what comes now (if anything) was skipped before and may not be skipped again.
    bool DisableSkip = false;
};

class TQuestionOrder {
public:
    // count questions out of a bank of bankSize. Sequential order continues after lastQuest (-1 starts at the
    // first question); otherwise the questions are drawn at random without repetition.
    void BuildQuestionOrder(int32_t count, int32_t bankSize, bool sequential, int32_t lastQuest);
    TNextQuestion NextQuestion() const;
    // The first entry holding the bank index takes the state; an index not in the order is ignored.
    void SetQuestionState(int32_t index, TQuestionState state);
    int32_t AnsweredCount() const;

    const std::vector<TOrderEntry>& Entries() const { return entries_; }

private:
    std::vector<TOrderEntry> entries_;
};

// The run's skip button: Tag holds the skips left, -1 for no limit.
struct TSkipCounter {
    int32_t Tag = 0;
    bool Enabled = false;

    // skipsAllowed < 0 means unlimited; otherwise never more skips than questions in the run.
    void Start(int32_t skipsAllowed, int32_t questionsPerTest);
    // The person skipped a question.
    void Skip();
};

// "Вопрос %d из %d" (cp1251).
std::string QuestionsCountText(int32_t number, int32_t count);

// The countdown a question gets when the run has no limit for the whole test: -1 takes the
// question's own limit, 0 none, otherwise limitSeconds, but none for typed input when
// noLimitForInput is set.
int32_t QuestionTimeLimit(int32_t limitSeconds, bool noLimitForInput, uint8_t answerMode, uint16_t ownLimit);

// One second of a countdown whose seconds left are `tag` (negative: none running). True on
// the tick that uses up the last second; the tick after that leaves the countdown inert.
bool CountdownTick(int32_t& tag);
