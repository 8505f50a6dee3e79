#include "answers/RightAnswerView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "model/Codepage.h"

namespace {

std::vector<TTestAnswer> Answers(const std::vector<int8_t>& weights, const std::vector<std::string>& texts = {}) {
    std::vector<TTestAnswer> answers(weights.size());
    for (size_t i = 0; i < weights.size(); ++i) {
        answers[i].Weight = weights[i];
        answers[i].Text = i < texts.size() ? texts[i] : std::string(1, static_cast<char>('A' + i));
    }
    return answers;
}

std::string Cp(const char* utf8) { return Utf8ToCp1251(utf8); }

TEST(RightAnswerViewTest, Verdict) {
    const struct {
        long double ratio;
        TRightAnswerView::TIcon icon;
        const char* status;
        bool viewport;
    } cases[] = {
        {1, TRightAnswerView::iconOk, "Правильно!", false},
        {0.5L, TRightAnswerView::iconWarning, "Ответ не до конца верный!", true},
        {std::nextafter(1.0L, 0.0L), TRightAnswerView::iconWarning, "Ответ не до конца верный!", true},
        {1.0L / 3, TRightAnswerView::iconWarning, "Ответ не до конца верный!", true},
        {0, TRightAnswerView::iconError, "Неверно!", true},
    };
    for (uint8_t mode = 0; mode < 4; ++mode) {
        for (const auto& c : cases) {
            const TRightAnswerView view = BuildRightAnswerView(Answers({1, 0}), c.ratio, mode);
            SCOPED_TRACE("mode " + std::to_string(mode) + ", ratio " + std::to_string(static_cast<double>(c.ratio)));
            EXPECT_EQ(view.Icon, c.icon);
            EXPECT_EQ(view.Status, Cp(c.status));
            EXPECT_EQ(view.ShowViewport, c.viewport);
            EXPECT_TRUE(view.DescriptionSet);
        }
    }
}

TEST(RightAnswerViewTest, RightAnswerShowsOnlyTheBand) {
    for (uint8_t mode = 0; mode < 5; ++mode) {
        const TRightAnswerView view = BuildRightAnswerView(Answers({3, 1, 2}), 1, mode);
        EXPECT_EQ(view.Description, Cp("Вы верно ответили на вопрос!")) << int(mode);
        EXPECT_FALSE(view.ShowTyped) << int(mode);
        EXPECT_TRUE(view.ListAnswers.empty()) << int(mode);
        EXPECT_TRUE(view.TypedText.empty()) << int(mode);
    }
}

TEST(RightAnswerViewTest, ListedAnswersByMode) {
    const char* one = "Ниже приведен правильный ответ";
    const char* all = "Ниже перечислены все правильные варианты";
    const char* order = "Правильный порядок следования приведен ниже";
    const struct {
        const char* name;
        uint8_t mode;
        std::vector<int8_t> weights;
        std::vector<size_t> shown;
        const char* description;
    } cases[] = {
        {"single: first of the best", 0, {0, 3, 3}, {1}, one},
        {"single: best last", 0, {1, 2, 5}, {2}, one},
        {"single: none above 0 takes the first", 0, {0, -1, 0}, {0}, one},
        {"single: all negative", 0, {-3, -1}, {0}, one},
        {"single: no answers", 0, {}, {}, one},
        {"multiple: one right", 2, {0, 5, -1}, {1}, one},
        {"multiple: several right", 2, {1, 0, 2, 3}, {0, 2, 3}, all},
        {"multiple: none right", 2, {0, -1}, {}, all},
        {"ordering: 3,1,2,1", 3, {3, 1, 2, 1}, {1, 3, 2, 0}, order},
        {"ordering: equal ranks keep file order", 3, {2, 2, 1, 2}, {2, 0, 1, 3}, order},
        {"ordering: negative ranks", 3, {0, -5, 5}, {1, 0, 2}, order},
        {"ordering: no answers", 3, {}, {}, order},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TRightAnswerView view = BuildRightAnswerView(Answers(c.weights), 0.5L, c.mode);
        EXPECT_EQ(view.ListAnswers, c.shown);
        EXPECT_EQ(view.Description, Cp(c.description));
        EXPECT_TRUE(view.DescriptionSet);
        EXPECT_FALSE(view.ShowTyped);
        EXPECT_TRUE(view.TypedText.empty());
    }
}

TEST(RightAnswerViewTest, TypedKeyWords) {
    const std::string bar(1, '\xA6');
    const struct {
        const char* name;
        std::vector<int8_t> weights;
        std::vector<std::string> texts;
        std::string shown;
    } cases[] = {
        {"right answers one per line", {1, 0, 2}, {"A", "X", "B"}, "\r\nA\r\nB\r\n"},
        {"texts kept as stored", {3}, {"cat" + bar + "  kitten"}, "\r\ncat" + bar + "  kitten\r\n"},
        {"no right answer", {0, -2}, {"X", "Y"}, "\r\n"},
        {"no answers", {}, {}, "\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TRightAnswerView view = BuildRightAnswerView(Answers(c.weights, c.texts), 0, 1);
        EXPECT_EQ(view.TypedText, c.shown);
        EXPECT_TRUE(view.ShowTyped);
        EXPECT_TRUE(view.ShowViewport);
        EXPECT_TRUE(view.ListAnswers.empty());
        EXPECT_EQ(view.Description, Cp("Ключевые слова правильного ответа приведены ниже"));
    }
}

TEST(RightAnswerViewTest, UnknownModeAddsNothing) {
    const TRightAnswerView view = BuildRightAnswerView(Answers({1, 2}), 0, 4);
    EXPECT_FALSE(view.DescriptionSet);
    EXPECT_TRUE(view.ListAnswers.empty());
    EXPECT_FALSE(view.ShowTyped);
    EXPECT_TRUE(view.ShowViewport);
    EXPECT_EQ(view.Status, Cp("Неверно!"));
}

TEST(RightAnswerViewTest, CountdownTexts) {
    EXPECT_EQ(AutoCloseText(2), Cp("Автоматическое закрытие через 2 сек."));
    EXPECT_EQ(AutoCloseText(15), Cp("Автоматическое закрытие через 15 сек."));
    EXPECT_EQ(CloseHintText(), Cp("Для продолжения нажмите \"Закрыть\""));
}

}  // namespace
