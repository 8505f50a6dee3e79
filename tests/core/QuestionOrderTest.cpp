#include "run/QuestionOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <vector>

#include "model/Codepage.h"

#include "model/Random.h"

namespace {

std::vector<int32_t> Indexes(const TQuestionOrder& order) {
    std::vector<int32_t> result;
    for (const TOrderEntry& e : order.Entries()) result.push_back(e.QuestionIndex);
    return result;
}

TEST(BuildQuestionOrderTest, Sequential) {
    struct Case {
        int32_t count;
        int32_t bankSize;
        int32_t lastQuest;
        std::vector<int32_t> expected;
    };
    const int32_t kMax = std::numeric_limits<int32_t>::max();
    const Case cases[] = {
        {3, 5, 3, {4, 0, 1}},
        {5, 5, 0, {1, 2, 3, 4, 0}},  // the default LastQuest skips the first question at first
        {5, 5, -1, {0, 1, 2, 3, 4}},  // a LastQuest that is not a number
        {3, 5, 4, {0, 1, 2}},
        {2, 5, 1, {2, 3}},
        {1, 1, 0, {0}},
        {1, 1, -1, {0}},
        // Outside -1..bankSize - 1 one subtraction is not enough; the index wraps around instead.
        {3, 5, 7, {3, 4, 0}},
        {3, 5, 12, {3, 4, 0}},
        {3, 5, -3, {3, 4, 0}},
        {3, 5, -11, {0, 1, 2}},
        {3, 5, kMax, {3, 4, 0}},
        {2, 5, std::numeric_limits<int32_t>::min(), {3, 4}},
        // More questions than the bank holds: each question once.
        {7, 3, 0, {1, 2, 0}},
        {4, 4, 3, {0, 1, 2, 3}},
        {0, 5, 0, {}},
        {-2, 5, 0, {}},
        {3, 0, 0, {}},
        {3, -1, 0, {}},
    };
    for (const Case& c : cases) {
        TQuestionOrder order;
        order.BuildQuestionOrder(c.count, c.bankSize, true, c.lastQuest);
        EXPECT_EQ(Indexes(order), c.expected) << c.count << " of " << c.bankSize << " after " << c.lastQuest;
        for (const TOrderEntry& e : order.Entries()) EXPECT_EQ(e.State, qsNew);
    }
}

TEST(BuildQuestionOrderTest, RandomDrawsAgainOnRepetition) {
    // The exact draw sequence matters: a run seeded alike must ask alike.
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        RandomSeed(seed);
        std::vector<int32_t> expected;
        while (expected.size() < 4) {
            int32_t index = RandomInt(6);
            if (std::find(expected.begin(), expected.end(), index) == expected.end()) expected.push_back(index);
        }
        RandomSeed(seed);
        TQuestionOrder order;
        order.BuildQuestionOrder(4, 6, false, 2);
        EXPECT_EQ(Indexes(order), expected) << seed;
    }
}

TEST(BuildQuestionOrderTest, RandomIsWithoutRepetitionAndCapped) {
    struct Case {
        int32_t count;
        int32_t bankSize;
        size_t expectedSize;
    };
    const Case cases[] = {{3, 10, 3}, {10, 10, 10}, {25, 10, 10}, {1, 1, 1}, {0, 10, 0}, {-1, 10, 0}, {4, 0, 0}};
    for (const Case& c : cases) {
        for (uint32_t seed = 1; seed <= 50; ++seed) {
            RandomSeed(seed);
            TQuestionOrder order;
            order.BuildQuestionOrder(c.count, c.bankSize, false, 0);
            std::vector<int32_t> indexes = Indexes(order);
            ASSERT_EQ(indexes.size(), c.expectedSize) << c.count << " of " << c.bankSize;
            std::set<int32_t> distinct(indexes.begin(), indexes.end());
            EXPECT_EQ(distinct.size(), indexes.size()) << c.count << " of " << c.bankSize << " seed " << seed;
            for (int32_t index : indexes) {
                EXPECT_GE(index, 0);
                EXPECT_LT(index, c.bankSize);
            }
        }
    }
}

TEST(BuildQuestionOrderTest, RandomReachesEveryOrder) {
    // All six orders of three questions turn up, each about equally often.
    RandomSeed(7);
    std::map<std::vector<int32_t>, int> seen;
    const int kRuns = 6000;
    TQuestionOrder order;
    for (int run = 0; run < kRuns; ++run) {
        order.BuildQuestionOrder(3, 3, false, 0);
        ++seen[Indexes(order)];
    }
    EXPECT_EQ(seen.size(), 6u);
    for (const auto& [indexes, times] : seen) {
        EXPECT_GT(times, kRuns / 6 * 8 / 10) << indexes[0] << indexes[1] << indexes[2];
        EXPECT_LT(times, kRuns / 6 * 12 / 10) << indexes[0] << indexes[1] << indexes[2];
    }
}

class QuestionOrderRunTest : public ::testing::Test {
protected:
    // Five questions in bank order, as in a sequential run with a LastQuest that is not a number.
    void SetUp() override { order_.BuildQuestionOrder(5, 5, true, -1); }

    TQuestionOrder order_;
};

TEST_F(QuestionOrderRunTest, SkippedQuestionComesBackLastAndCannotBeSkippedAgain) {
    struct Step {
        int32_t index;
        bool disableSkip;
        int32_t answeredBefore;
        TQuestionState outcome;
    };
    const Step steps[] = {
        {0, false, 0, qsAnswered}, {1, false, 1, qsSkipped},  {2, false, 1, qsAnswered},
        {3, false, 2, qsAnswered}, {4, false, 3, qsAnswered}, {1, true, 4, qsAnswered},
    };
    for (const Step& step : steps) {
        TNextQuestion next = order_.NextQuestion();
        ASSERT_EQ(next.Index, step.index);
        EXPECT_EQ(next.DisableSkip, step.disableSkip) << step.index;
        EXPECT_EQ(order_.AnsweredCount(), step.answeredBefore) << step.index;
        order_.SetQuestionState(next.Index, step.outcome);
    }
    TNextQuestion end = order_.NextQuestion();
    EXPECT_EQ(end.Index, -1);
    EXPECT_TRUE(end.DisableSkip);
    EXPECT_EQ(order_.AnsweredCount(), 5);
}

TEST_F(QuestionOrderRunTest, SkippedQuestionsReturnInOrderOfTheRun) {
    for (int32_t index : {3, 0, 4}) order_.SetQuestionState(index, qsSkipped);
    order_.SetQuestionState(1, qsAnswered);
    order_.SetQuestionState(2, qsAnswered);
    std::vector<int32_t> asked;
    for (TNextQuestion next = order_.NextQuestion(); next.Index != -1; next = order_.NextQuestion()) {
        EXPECT_TRUE(next.DisableSkip);
        asked.push_back(next.Index);
        order_.SetQuestionState(next.Index, qsAnswered);
    }
    EXPECT_EQ(asked, (std::vector<int32_t>{0, 3, 4}));
}

TEST_F(QuestionOrderRunTest, SkippingAgainKeepsTheQuestionInTheQueue) {
    for (int32_t index = 0; index < 5; ++index) order_.SetQuestionState(index, qsAnswered);
    order_.SetQuestionState(2, qsSkipped);
    EXPECT_EQ(order_.NextQuestion().Index, 2);
    order_.SetQuestionState(2, qsSkipped);
    EXPECT_EQ(order_.NextQuestion().Index, 2);
    EXPECT_EQ(order_.AnsweredCount(), 4);
}

TEST_F(QuestionOrderRunTest, UnknownIndexChangesNothing) {
    order_.SetQuestionState(5, qsAnswered);
    order_.SetQuestionState(-1, qsAnswered);
    EXPECT_EQ(order_.AnsweredCount(), 0);
    EXPECT_EQ(order_.NextQuestion().Index, 0);
}

TEST_F(QuestionOrderRunTest, NewRunStartsAfresh) {
    order_.SetQuestionState(0, qsAnswered);
    order_.SetQuestionState(1, qsSkipped);
    order_.BuildQuestionOrder(3, 5, true, 1);
    EXPECT_EQ(order_.AnsweredCount(), 0);
    TNextQuestion next = order_.NextQuestion();
    EXPECT_EQ(next.Index, 2);
    EXPECT_FALSE(next.DisableSkip);
    EXPECT_EQ(Indexes(order_), (std::vector<int32_t>{2, 3, 4}));
}

TEST(QuestionOrderTest, EmptyRunAsksNothing) {
    TQuestionOrder order;
    order.BuildQuestionOrder(0, 5, false, 0);
    TNextQuestion next = order.NextQuestion();
    EXPECT_EQ(next.Index, -1);
    EXPECT_TRUE(next.DisableSkip);
    EXPECT_EQ(order.AnsweredCount(), 0);
}

TEST(SkipCounterTest, Start) {
    struct Case {
        int32_t skipsAllowed;
        int32_t questionsPerTest;
        int32_t tag;
        bool enabled;
    };
    const Case cases[] = {
        {-1, 5, -1, true}, {-7, 5, -1, true}, {-1, 0, -1, true}, {0, 5, 0, false}, {2, 5, 2, true},
        {5, 5, 5, true},   {9, 5, 5, true},   {3, 0, 0, false},  {3, -2, 0, false},
    };
    for (const Case& c : cases) {
        TSkipCounter skips;
        skips.Start(c.skipsAllowed, c.questionsPerTest);
        EXPECT_EQ(skips.Tag, c.tag) << c.skipsAllowed << " " << c.questionsPerTest;
        EXPECT_EQ(skips.Enabled, c.enabled) << c.skipsAllowed << " " << c.questionsPerTest;
    }
}

TEST(SkipCounterTest, DisablesItselfWhenUsedUp) {
    TSkipCounter skips;
    skips.Start(2, 5);
    skips.Skip();
    EXPECT_EQ(skips.Tag, 1);
    EXPECT_TRUE(skips.Enabled);
    skips.Skip();
    EXPECT_EQ(skips.Tag, 0);
    EXPECT_FALSE(skips.Enabled);
    skips.Skip();
    EXPECT_EQ(skips.Tag, 0);
    EXPECT_FALSE(skips.Enabled);
}

TEST(SkipCounterTest, UnlimitedStaysEnabled) {
    TSkipCounter skips;
    skips.Start(-1, 3);
    for (int i = 0; i < 10; ++i) skips.Skip();
    EXPECT_EQ(skips.Tag, -1);
    EXPECT_TRUE(skips.Enabled);
}

TEST(SkipCounterTest, StartResetsAPreviousRun) {
    TSkipCounter skips;
    skips.Start(1, 5);
    skips.Skip();
    ASSERT_FALSE(skips.Enabled);
    skips.Start(1, 5);
    EXPECT_EQ(skips.Tag, 1);
    EXPECT_TRUE(skips.Enabled);
}

TEST(TimeLimitTest, QuestionLimitFollowsTheSettings) {
    const struct {
        int32_t limitSeconds;
        bool noLimitForInput;
        uint8_t answerMode;
        uint16_t ownLimit;
        int32_t expected;
    } cases[] = {
        {-1, false, 0, 30, 30},  // each question its own limit
        {-1, true, 1, 30, 30},   // ... typed input included
        {-1, false, 0, 0, 0},    // a question without a limit of its own
        {0, false, 0, 30, 0},    // no limit at all
        {0, true, 1, 30, 0},
        {20, false, 0, 30, 20},  // the same limit for every question
        {20, false, 1, 30, 20},
        {20, true, 1, 30, 0},    // ... but none for typed input
        {20, true, 3, 30, 20},
        {-2, false, 0, 30, -2},  // inert: the countdown never runs
        {-2, true, 1, 30, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QuestionTimeLimit(c.limitSeconds, c.noLimitForInput, c.answerMode, c.ownLimit), c.expected)
            << c.limitSeconds << " " << c.noLimitForInput << " " << int(c.answerMode) << " " << c.ownLimit;
    }
}

TEST(TimeLimitTest, CountdownSignalsOnceOnItsLastSecondThenTurnsInert) {
    int32_t tag = 3;
    std::vector<std::pair<int32_t, bool>> ticks;
    for (int i = 0; i < 6; ++i) {
        bool expired = CountdownTick(tag);
        ticks.push_back({tag, expired});
    }
    const std::vector<std::pair<int32_t, bool>> expected = {{2, false}, {1, false}, {0, true},
                                                            {-1, false}, {-1, false}, {-1, false}};
    EXPECT_EQ(ticks, expected);

    int32_t none = 0;  // a limit of 0 turns inert without a signal
    EXPECT_FALSE(CountdownTick(none));
    EXPECT_EQ(none, -1);
    EXPECT_FALSE(CountdownTick(none));
    EXPECT_EQ(none, -1);
}

TEST(TimeLimitTest, QuestionsCountText) {
    EXPECT_EQ(QuestionsCountText(1, 5), Utf8ToCp1251("Вопрос 1 из 5"));
    EXPECT_EQ(QuestionsCountText(12, 120), Utf8ToCp1251("Вопрос 12 из 120"));
}

}  // namespace
