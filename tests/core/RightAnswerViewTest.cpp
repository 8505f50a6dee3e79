#include "answers/RightAnswerView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "model/Codepage.h"
#include "platform/DpiScale.h"

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


// The fixed texts at 96 DPI in the message font (Tahoma 8, the verdict bold): "Ответ не до конца
// верный!", "Ключевые слова правильного ответа приведены ниже", "Автоматическое закрытие через 10
// сек.", "Закрыть".
TRightAnswerTextRoom DesignTexts(int dpi) {
    TRightAnswerTextRoom t;
    t.Status = ScaleForDpi(150, dpi);
    t.Description = ScaleForDpi(262, dpi);
    t.AutoClose = ScaleForDpi(196, dpi);
    t.Close = ScaleForDpi(40, dpi);
    t.LineHeight = ScaleForDpi(13, dpi);
    return t;
}

TEST(RightAnswerViewTest, FrameAt96DpiIsTheDesign) {
    const TRightAnswerFrame f = LayoutRightAnswerFrame(DesignTexts(96), 96);
    EXPECT_EQ(f.ClientWidth, 404);
    EXPECT_EQ(f.BandHeight, 41);
    EXPECT_EQ(f.IconLeft, 8);
    EXPECT_EQ(f.IconTop, 4);
    EXPECT_EQ(f.IconSize, 32);
    EXPECT_EQ(f.TextLeft, 48);
    EXPECT_EQ(f.TextWidth, 404 - 48 - 8);
    EXPECT_EQ(f.StatusTop, 5);
    EXPECT_EQ(f.DescriptionTop, 21);
    EXPECT_EQ(f.TextHeight, 16);
    EXPECT_EQ(f.ButtonWidth, 89);
    EXPECT_EQ(f.ButtonHeight, 25);
    EXPECT_EQ(f.AutoCloseWidth, 404 - 89 - 24);
    EXPECT_EQ(f.MaxViewport, 300);
    EXPECT_EQ(f.InternalMargin, 8);
    EXPECT_EQ(f.InputLabelLeft, 1);
    EXPECT_EQ(f.ClientHeight(0), 41 + 25 + 16);
    EXPECT_EQ(f.ClientHeight(120), 41 + 120 + 25 + 16);
}

// At any scaling the frame is the design's scaled, and every fixed text has its room.
TEST(RightAnswerViewTest, FrameScalesAndHoldsItsTexts) {
    struct Case {
        const char* name;
        int dpi;
        int32_t textGrowth;  // percent: the texts larger than the scaling alone makes them
    } cases[] = {
        {"120 DPI", 120, 100}, {"144 DPI", 144, 100}, {"192 DPI", 192, 100},
        {"144 DPI, text made bigger", 144, 150}, {"96 DPI, text made bigger", 96, 140},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TRightAnswerTextRoom t = DesignTexts(c.dpi);
        for (int32_t* v : {&t.Status, &t.Description, &t.AutoClose, &t.Close, &t.LineHeight}) {
            *v = *v * c.textGrowth / 100;
        }
        const TRightAnswerFrame f = LayoutRightAnswerFrame(t, c.dpi);
        auto s = [&](int32_t design) { return ScaleForDpi(design, c.dpi); };
        if (c.textGrowth == 100) {
            EXPECT_EQ(f.ClientWidth, s(404));
            EXPECT_EQ(f.BandHeight, s(41));
            EXPECT_EQ(f.ButtonWidth, s(89));
            EXPECT_EQ(f.ButtonHeight, s(25));
        }
        EXPECT_GE(f.ClientWidth, s(404));
        EXPECT_GE(f.BandHeight, s(41));
        EXPECT_EQ(f.IconSize, s(32));
        EXPECT_EQ(f.MaxViewport, s(300));
        // The band holds the icon and both lines.
        EXPECT_GE(f.IconTop, 0);
        EXPECT_LE(f.IconTop + f.IconSize, f.BandHeight);
        EXPECT_GE(f.TextLeft, f.IconLeft + f.IconSize);
        EXPECT_GE(f.TextHeight, t.LineHeight);
        EXPECT_EQ(f.DescriptionTop, f.StatusTop + f.TextHeight);
        EXPECT_LE(f.DescriptionTop + f.TextHeight, f.BandHeight);
        EXPECT_GE(f.TextWidth, std::max(t.Status, t.Description));
        EXPECT_EQ(f.TextLeft + f.TextWidth + f.Margin, f.ClientWidth);
        // The bottom row: the countdown, then the button with its glyph and text.
        EXPECT_GE(f.AutoCloseWidth, t.AutoClose);
        EXPECT_GE(f.ButtonWidth, f.Glyph + f.GlyphGap + t.Close);
        EXPECT_GE(f.ButtonHeight, t.LineHeight);
        EXPECT_EQ(f.Margin + f.AutoCloseWidth + f.Margin + f.ButtonWidth + f.Margin, f.ClientWidth);
    }
}

}  // namespace
