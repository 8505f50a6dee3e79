#include "run/Scoring.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/Codepage.h"

namespace {

TTestQuestion MakeQuestion(uint8_t mode, const std::vector<int8_t>& weights,
                           const std::vector<std::string>& texts = {}) {
    TTestQuestion question;
    question.AnswerMode = mode;
    question.Priority = 1;
    for (size_t i = 0; i < weights.size(); ++i) {
        TTestAnswer answer;
        answer.Weight = weights[i];
        if (i < texts.size()) answer.Text = texts[i];
        question.Answers.push_back(answer);
    }
    return question;
}

std::vector<int32_t> Weights(const std::vector<int8_t>& weights) {
    return std::vector<int32_t>(weights.begin(), weights.end());
}

std::vector<TTypedAnswer> TypedAnswers(const std::vector<int8_t>& weights, const std::vector<std::string>& texts) {
    std::vector<TTypedAnswer> answers;
    for (size_t i = 0; i < weights.size(); ++i) {
        answers.push_back({i < texts.size() ? texts[i] : std::string(), weights[i]});
    }
    return answers;
}

struct TChoiceCase {
    const char* name;
    std::vector<int8_t> weights;
    std::vector<bool> selected;
    long double expected;
};

TEST(SingleChoiceRatioTest, Cases) {
    const TChoiceCase cases[] = {
        {"third of 0,3,1", {0, 3, 1}, {false, false, true}, 1.0L / 3},
        {"best answer", {0, 3, 1}, {false, true, false}, 1},
        {"zero weight", {0, 3, 1}, {true, false, false}, 0},
        {"nothing chosen", {0, 3, 1}, {false, false, false}, 0},
        {"flags shorter than answers", {0, 3, 1}, {}, 0},
        {"negative weight clipped", {-2, 4}, {true, false}, 0},
        {"all zero", {0, 0}, {true, false}, 1},
        {"all negative, one chosen", {-1, -5}, {false, true}, 1},
        {"all negative, none chosen", {-1, -5}, {false, false}, 1},
        {"several flagged: first counts", {1, 4, 2}, {false, true, true}, 1},
        {"several flagged, lower first", {1, 4, 2}, {false, false, true, true}, 0.5L},
        {"no answers", {}, {true}, 0},
    };
    for (const TChoiceCase& c : cases) {
        EXPECT_EQ(SingleChoiceRatio(Weights(c.weights), c.selected), c.expected) << c.name;
    }
}

TEST(MultipleChoiceRatioTest, Cases) {
    const TChoiceCase cases[] = {
        {"all of 1,1,-1", {1, 1, -1}, {true, true, true}, 0.5L},
        {"only the negative", {1, 1, -1}, {false, false, true}, 0},
        {"both positives", {1, 1, -1}, {true, true, false}, 1},
        {"one positive", {1, 1, -1}, {true, false, false}, 0.5L},
        {"nothing", {1, 1, -1}, {false, false, false}, 0},
        {"uneven weights", {3, 1, 0}, {false, true, true}, 0.25L},
        {"no positive weight", {0, -1}, {false, true}, 1},
        {"large weights", {127, 127, -128}, {true, true, false}, 1},
        {"no answers", {}, {}, 0},
    };
    for (const TChoiceCase& c : cases) {
        EXPECT_EQ(MultipleChoiceRatio(Weights(c.weights), c.selected), c.expected) << c.name;
    }
}

TEST(OrderingRatioTest, Cases) {
    struct Case {
        const char* name;
        std::vector<int8_t> ranks;
        std::vector<size_t> order;
        long double expected;
    };
    const Case cases[] = {
        {"file order", {1, 2, 2, 3}, {0, 1, 2, 3}, 1},
        {"equal ranks swapped", {1, 2, 2, 3}, {0, 2, 1, 3}, 1},
        {"first two swapped", {1, 2, 2, 3}, {1, 0, 2, 3}, 0},
        {"last two swapped", {1, 2, 2, 3}, {0, 1, 3, 2}, 0},
        {"reversed", {1, 2, 2, 3}, {3, 2, 1, 0}, 0},
        {"shuffled by display", {3, 1, 2}, {1, 2, 0}, 1},
        {"empty order means file order", {1, 2, 2, 3}, {}, 1},
        {"empty order, unsorted file", {2, 1}, {}, 0},
        {"negative ranks", {-3, -1, 0}, {0, 1, 2}, 1},
        {"one answer", {5}, {0}, 1},
        {"no answers", {}, {}, 0},
    };
    for (const Case& c : cases) {
        // The order maps display positions to answers, as the answers window leaves it.
        EXPECT_EQ(AnswerRatio(MakeQuestion(3, c.ranks), TAnswerState{c.order, {}, ""}), c.expected) << c.name;
    }
}

TEST(OrderingRatioTest, IndexOutsideAnswersThrows) {
    EXPECT_THROW(AnswerRatio(MakeQuestion(3, {1, 2}), TAnswerState{{0, 2}, {}, ""}), std::out_of_range);
    EXPECT_THROW(AnswerRatio(MakeQuestion(3, {1}), TAnswerState{{1}, {}, ""}), std::out_of_range);
}

TEST(TypedRatioTest, Cases) {
    const std::string kSep = "\xA6";
    const std::string cat = Utf8ToCp1251("кошка") + kSep + Utf8ToCp1251("кот");
    const std::string dog = Utf8ToCp1251("собака");
    struct Case {
        const char* name;
        std::vector<int8_t> weights;
        std::vector<std::string> entries;
        std::string typed;  // UTF-8
        long double expected;
    };
    const Case cases[] = {
        {"second variant in a sentence", {5, -5}, {cat, dog}, "Это кот", 1},
        {"variant ends inside a word", {5, -5}, {cat, dog}, "котёнок", 1},
        {"case-insensitive", {5, -5}, {cat, dog}, "КОШКА", 1},
        {"must start a word", {5, -5}, {cat, dog}, "скот", 0},
        {"negative entry cancels", {5, -5}, {cat, dog}, "кот и собака", 0},
        {"only negative entry", {5, -5}, {cat, dog}, "собака", 0},
        {"nothing typed", {5, -5}, {cat, dog}, "", 0},
        {"extra spaces", {5, -5}, {cat, dog}, "   это    кот  ", 1},
        {"second line does not start a word", {5, -5}, {cat, dog}, "это\r\nкот", 0},
        {"bare LF as well", {5, -5}, {cat, dog}, "это\nкот", 0},
        {"first line still matches", {5, -5}, {cat, dog}, "кот\r\nдом", 1},
        {"stored line break matches a typed one", {1}, {Utf8ToCp1251("кот/nдом")}, "кот\r\nдом", 1},
        {"entry counts once for two variants", {2, 2}, {cat, dog}, "кот кошка", 0.5L},
        {"partial", {1, 3}, {cat, dog}, "собака", 0.75L},
        {"trailing separator matches all", {4}, {Utf8ToCp1251("кот") + kSep}, "", 1},
        {"empty entry matches all", {4, 4}, {"", dog}, "x", 0.5L},
        {"no positive weight", {0, -3}, {cat, dog}, "", 1},
        {"no answers", {}, {}, "anything", 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TypedRatio(TypedAnswers(c.weights, c.entries), Utf8ToCp1251(c.typed)), c.expected) << c.name;
    }
}

TEST(AnswerRatioTest, DispatchesOnAnswerMode) {
    // One set of answers and one state that every rule judges differently.
    TAnswerState state;
    state.Selected = {false, true, true};
    state.Order = {2, 0, 1};
    state.Typed = "b";
    const std::vector<int8_t> weights = {4, 1, 3};
    const std::vector<std::string> texts = {"a", "b", "c"};
    struct Case {
        uint8_t mode;
        long double expected;
    };
    const Case cases[] = {
        {0, 0.25L},       // first selected (weight 1) of best 4
        {1, 1.0L / 8},    // "b" matches weight 1 of 8
        {2, 0.5L},        // 1 + 3 of 8
        {3, 0},           // ranks 3, 4, 1
        {4, 0},
        {255, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AnswerRatio(MakeQuestion(c.mode, weights, texts), state), c.expected) << int(c.mode);
    }
}

TEST(VerdictTest, ExactComparison) {
    struct Case {
        long double ratio;
        TVerdict expected;
    };
    const Case cases[] = {
        {1, vdRight},
        {0, vdWrong},
        {-0.0L, vdWrong},
        {1.0L / 3, vdPartlyRight},
        {0.5L, vdPartlyRight},
        {1 - std::numeric_limits<long double>::epsilon(), vdPartlyRight},
        {std::numeric_limits<long double>::denorm_min(), vdPartlyRight},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetVerdict(c.ratio).Verdict, c.expected) << static_cast<double>(c.ratio);
    }
}

TEST(ScoringTextTest, Texts) {
    EXPECT_EQ(GetVerdict(1).Status, Utf8ToCp1251("Правильно!"));
    EXPECT_EQ(GetVerdict(0).Status, Utf8ToCp1251("Неверно!"));
    EXPECT_EQ(GetVerdict(0.5L).Status, Utf8ToCp1251("Ответ не до конца верный!"));
    EXPECT_EQ(GetVerdict(1).Detail, Utf8ToCp1251("Вы верно ответили на вопрос!"));
    EXPECT_EQ(GetVerdict(0).Detail, "") << "the detail goes with a right verdict only";
    EXPECT_EQ(GetVerdict(0.5L).Detail, "");
    EXPECT_EQ(NoMarkText(), Utf8ToCp1251("Оценка неопределена"));
    EXPECT_EQ(MarkText(3), Utf8ToCp1251("Оценка: 3 баллов"));
    EXPECT_EQ(MarkText(0), Utf8ToCp1251("Оценка: 0 баллов"));
    EXPECT_EQ(MarkText(-12), Utf8ToCp1251("Оценка: -12 баллов"));
    EXPECT_EQ(MarkText(std::numeric_limits<int32_t>::min()), Utf8ToCp1251("Оценка: -2147483648 баллов"));
}

TEST(RoundToInt32Test, HalfToEvenAndClamped) {
    struct Case {
        long double value;
        int32_t expected;
    };
    const Case cases[] = {
        {2.5L, 2},   {3.5L, 4},   {0.5L, 0},    {1.5L, 2},   {-0.5L, 0},  {-2.5L, -2},
        {-3.5L, -4}, {2.49L, 2},  {2.51L, 3},   {-2.51L, -3}, {7, 7},     {0, 0},
        {2147483647.4L, 2147483647}, {2147483647.5L, 2147483647}, {1e30L, 2147483647},
        {-2147483648.5L, -2147483648LL}, {-1e30L, -2147483648LL},
        {std::numeric_limits<long double>::infinity(), 2147483647},
        {std::numeric_limits<long double>::quiet_NaN(), 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RoundToInt32(c.value), c.expected) << static_cast<double>(c.value);
    }
}

struct TAnswered {
    int32_t priority;
    long double ratio;
    int32_t expectedMark;
};

// Runs one test run's answered questions through AddMark, checking every mark on the way.
void CheckRun(const char* name, int32_t scale, const std::vector<TAnswered>& questions) {
    TScore score;
    score.ResetScore(scale);
    int32_t answered = 0;
    for (const TAnswered& q : questions) {
        score.SetCurrentPriority(q.priority);
        const int32_t mark = score.AddMark(q.ratio, ++answered);
        EXPECT_EQ(mark, q.expectedMark) << name << ", question " << answered;
        EXPECT_EQ(score.Mark(), mark) << name << ", question " << answered;
    }
}

TEST(TScoreTest, MarksOfRuns) {
    struct Case {
        const char* name;
        int32_t scale;
        std::vector<TAnswered> questions;
    };
    const Case cases[] = {
        // The two worked examples.
        {"priorities 1, 2, 1", 5, {{1, 1, 5}, {2, 0.5L, 3}, {1, 0, 2}}},
        {"rounding of 10/3", 5, {{1, 1, 5}, {1, 1, 5}, {1, 0, 3}}},
        {"3.5 rounds up to even", 7, {{1, 1, 7}, {1, 0, 4}}},
        // 2.5 is kept as 2 before the next term: (2 + 2.8) / 2 = 2.4, unrounded it would be 2.65.
        {"earlier sum rounded", 5, {{1, 0.5L, 2}, {1, 0.56L, 2}}},
        // The new term stays 2.6: (0 + 2.6) / 2 = 1.3; rounded to 3 first it would give 1.5 -> 2.
        {"new term not rounded", 5, {{1, 0, 0}, {1, 0.52L, 1}}},
        {"one third", 100, {{1, 1.0L / 3, 33}, {1, 1.0L / 3, 33}, {1, 1.0L / 3, 33}}},
        {"high priority dominates", 10, {{1, 0, 0}, {9, 1, 9}}},
        {"largest scale and priority", std::numeric_limits<int32_t>::max(),
         {{127, 1, std::numeric_limits<int32_t>::max()}, {127, 1, std::numeric_limits<int32_t>::max()}}},
        {"zero scale", 0, {{1, 1, 0}, {3, 0.5L, 0}}},
    };
    for (const Case& c : cases) {
        CheckRun(c.name, c.scale, c.questions);
    }
}

TEST(TScoreTest, StateFollowsTheWorkedExample) {
    TScore score;
    score.ResetScore(5);
    EXPECT_EQ(score.Scale(), 5);
    EXPECT_EQ(score.Mark(), 0);

    score.SetCurrentPriority(1);
    EXPECT_EQ(score.AddMark(1, 1), 5);
    EXPECT_EQ(score.PriorityExcess(), 0);
    EXPECT_EQ(score.WeightedSum(), 5);

    score.SetCurrentPriority(2);
    EXPECT_EQ(score.CurrentPriority(), 2);
    EXPECT_EQ(score.AddMark(0.5L, 2), 3);
    EXPECT_EQ(score.PriorityExcess(), 1);
    EXPECT_EQ(score.WeightedSum(), 10);

    score.SetCurrentPriority(1);
    EXPECT_EQ(score.AddMark(0, 3), 2);
    EXPECT_EQ(score.PriorityExcess(), 1);
    EXPECT_EQ(score.WeightedSum(), 10);
}

TEST(TScoreTest, WeightedSumKeepsFractions) {
    TScore score;
    score.ResetScore(5);
    score.SetCurrentPriority(3);
    score.AddMark(0.1L, 1);
    score.SetCurrentPriority(1);
    score.AddMark(0.5L, 2);
    EXPECT_EQ(score.WeightedSum(), 0.1L * 5 * 3 + 0.5L * 5);
    EXPECT_EQ(score.PriorityExcess(), 2);
}

TEST(TScoreTest, ResetStartsANewRun) {
    TScore score;
    score.ResetScore(5);
    score.SetCurrentPriority(2);
    score.AddMark(1, 1);
    ASSERT_EQ(score.Mark(), 5);

    // An interrupted run with nothing answered ends with mark 0.
    score.ResetScore(10);
    EXPECT_EQ(score.Scale(), 10);
    EXPECT_EQ(score.Mark(), 0);
    EXPECT_EQ(score.PriorityExcess(), 0);
    EXPECT_EQ(score.WeightedSum(), 0);

    score.SetCurrentPriority(1);
    EXPECT_EQ(score.AddMark(0.5L, 1), 5);
}

TEST(TScoreTest, NonPositivePrioritySumKeepsTheMark) {
    struct Case {
        const char* name;
        std::vector<TAnswered> questions;
        int32_t excess;
        long double sum;
    };
    const Case cases[] = {
        {"priority 0 first", {{0, 1, 0}}, -1, 0},
        {"negative priority first", {{-3, 1, 0}}, -4, -15},
        {"priority 0 then 1", {{0, 1, 0}, {1, 1, 5}}, -1, 5},
        // Sum 1 + (-1) = 0 keeps 5; the sum then includes the negative term.
        {"mark kept after a negative priority", {{1, 1, 5}, {-1, 1, 5}}, -2, 0},
        {"sum below zero", {{1, 1, 5}, {-5, 0, 5}, {1, 1, 5}}, -6, 10},
        // Back above zero: (0 + 5) / 2 = 2.5.
        {"recovers", {{-1, 0, 0}, {1, 0, 0}, {2, 0.5L, 2}}, -1, 5},
    };
    for (const Case& c : cases) {
        TScore score;
        score.ResetScore(5);
        int32_t answered = 0;
        for (const TAnswered& q : c.questions) {
            score.SetCurrentPriority(q.priority);
            EXPECT_EQ(score.AddMark(q.ratio, ++answered), q.expectedMark) << c.name << ", question " << answered;
        }
        EXPECT_EQ(score.PriorityExcess(), c.excess) << c.name;
        EXPECT_EQ(score.WeightedSum(), c.sum) << c.name;
    }
}

}  // namespace
