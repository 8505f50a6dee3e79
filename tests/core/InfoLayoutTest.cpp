#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/DpiScale.h"
#include "run/InfoLayout.h"

namespace {

// Text widths of a real run in the system's message font at 96 DPI (Tahoma 8): the captions
// "Фамилия Имя Отчество" and "Группа", "Иванова Анна Сергеевна", "Вопрос 10 из 10",
// "Оценка неопределена", "Ограничение по времени", "Пропустить", "Прервать".
TInfoBoxInput RunTexts(int dpi, int32_t boxWidth) {
    auto s = [dpi](int32_t v) { return ScaleForDpi(v, dpi); };
    TInfoBoxInput in;
    in.Dpi = dpi;
    in.BoxWidth = boxWidth;
    in.CaptionHeight = s(13);
    in.LineHeight = s(13);
    in.FioCaption = s(114);
    in.OtherCaption = s(40);
    in.Fio = s(127);
    in.Other = s(30);
    in.Count = s(80);
    in.Mark = s(104);
    in.TimeLimit = s(123);
    in.Skip = s(58);
    in.Interrupt = s(50);
    return in;
}

std::vector<std::pair<std::string, TInfoRect>> Rects(const TInfoBoxLayout& l) {
    return {{"FioCaption", l.FioCaption}, {"OtherCaption", l.OtherCaption}, {"Fio", l.Fio},
            {"Other", l.Other},           {"Count", l.Count},               {"Mark", l.Mark},
            {"TimeLimit", l.TimeLimit},   {"Bar", l.Bar},                   {"Skip", l.Skip},
            {"Interrupt", l.Interrupt}};
}

bool Overlap(const TInfoRect& a, const TInfoRect& b) {
    return a.Left < b.Right() && b.Left < a.Right() && a.Top < b.Bottom() && b.Top < a.Bottom();
}

// Every control inside the box, under its caption, none over another, and each as wide and as
// high as its text needs.
void ExpectHoldsEverything(const TInfoBoxInput& in, const TInfoBoxLayout& l) {
    const auto rects = Rects(l);
    for (size_t i = 0; i < rects.size(); ++i) {
        const TInfoRect& r = rects[i].second;
        SCOPED_TRACE(rects[i].first);
        EXPECT_GE(r.Left, 0);
        EXPECT_LE(r.Right(), in.BoxWidth);
        EXPECT_GE(r.Top, in.CaptionHeight);
        EXPECT_LE(r.Bottom(), l.Height);
        for (size_t j = i + 1; j < rects.size(); ++j) {
            EXPECT_FALSE(Overlap(r, rects[j].second)) << "overlaps " << rects[j].first;
        }
    }
    EXPECT_GE(l.FioCaption.Width, in.FioCaption);
    EXPECT_GE(l.OtherCaption.Width, in.OtherCaption);
    EXPECT_GE(l.Fio.Width, in.Fio);
    EXPECT_GE(l.Other.Width, in.Other);
    EXPECT_GE(l.Count.Width, in.Count);
    EXPECT_GE(l.Mark.Width, in.Mark);
    EXPECT_GE(l.TimeLimit.Width, in.TimeLimit);
    EXPECT_GT(l.Skip.Width, in.Skip);
    EXPECT_GT(l.Interrupt.Width, in.Interrupt);
    for (const TInfoRect& r : {l.FioCaption, l.Fio, l.Count, l.Mark, l.TimeLimit}) EXPECT_GE(r.Height, in.LineHeight);
    EXPECT_GT(l.Skip.Height, in.LineHeight);
}

}  // namespace

TEST(InfoLayout, At96DpiTheBoxIsAsDesigned) {
    const TInfoBoxInput in = RunTexts(96, 1004);
    const TInfoBoxLayout l = LayoutInfoBox(in);
    EXPECT_EQ(l.Height, 93);
    EXPECT_EQ(l.Bands, 1);
    EXPECT_TRUE(l.AsDesigned);
    const int right = 1004 - 16, centre = 502;
    struct Case {
        const char* name;
        TInfoRect actual, expected;
    } cases[] = {
        {"FioCaption", l.FioCaption, {16, 28, 114, 18}},
        {"OtherCaption", l.OtherCaption, {16, 56, 40, 18}},
        {"Fio", l.Fio, {16 + 114 + 10, 28, centre - 110 - 10 - (16 + 114 + 10), 18}},
        {"Other", l.Other, {16 + 114 + 10, 56, centre - 110 - 10 - (16 + 114 + 10), 18}},
        {"Count", l.Count, {centre - 110, 28, 220, 18}},
        {"Mark", l.Mark, {centre - 110, 56, 220, 18}},
        {"TimeLimit", l.TimeLimit, {right - 356, 24, 200, 18}},
        {"Bar", l.Bar, {right - 356, 48, 200, 20}},
        {"Skip", l.Skip, {right - 140, 20, 140, 30}},
        {"Interrupt", l.Interrupt, {right - 140, 54, 140, 30}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.actual.Left, c.expected.Left);
        EXPECT_EQ(c.actual.Top, c.expected.Top);
        EXPECT_EQ(c.actual.Width, c.expected.Width);
        EXPECT_EQ(c.actual.Height, c.expected.Height);
    }
}

// Every scaling on the screens the player meets, down to 1024 pixels wide (a box of 1004).
TEST(InfoLayout, HoldsEveryTextAtAnyScaling) {
    struct Case {
        int dpi;
        int32_t boxWidth;
        int32_t bands;  // 0: any
    } cases[] = {
        {96, 1004, 1}, {120, 1004, 1}, {144, 1004, 1}, {192, 1004, 2}, {144, 1900, 1}, {192, 2540, 1}, {240, 1004, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("dpi " + std::to_string(c.dpi) + ", width " + std::to_string(c.boxWidth));
        const TInfoBoxInput in = RunTexts(c.dpi, c.boxWidth);
        const TInfoBoxLayout l = LayoutInfoBox(in);
        ExpectHoldsEverything(in, l);
        if (c.bands != 0) {
            EXPECT_EQ(l.Bands, c.bands);
        }
        EXPECT_GE(l.Height, ScaleForDpi(93, c.dpi));
        if (l.Bands == 1) {
            EXPECT_EQ(l.Height, ScaleForDpi(93, c.dpi));
        }
        if (l.AsDesigned) {
            EXPECT_NEAR(l.Skip.Width, ScaleForDpi(140, c.dpi), 1);
            EXPECT_NEAR(l.TimeLimit.Width, ScaleForDpi(200, c.dpi), 1);
            EXPECT_EQ(l.Skip.Right(), c.boxWidth - ScaleForDpi(16, c.dpi)) << "the buttons keep to the right edge";
        }
        if (l.Bands > 1) {
            EXPECT_GT(l.Height, ScaleForDpi(93, c.dpi)) << "more bands, a taller box";
        }
    }
}

// Texts larger than the design ("Make text bigger", a long name): the columns grow, and the box
// with them, instead of cutting a text.
TEST(InfoLayout, GrowsForLargerTexts) {
    struct Case {
        const char* name;
        int dpi;
        int32_t boxWidth;
        void (*change)(TInfoBoxInput&);
    } cases[] = {
        {"the time limit wider than its column", 144, 1004, [](TInfoBoxInput& in) { in.TimeLimit = 360; }},
        {"a long name", 120, 1004, [](TInfoBoxInput& in) { in.Fio = 420; }},
        {"a name longer than the whole band", 120, 1004, [](TInfoBoxInput& in) { in.Fio = 700; }},
        {"a long name at 150 %", 144, 1004, [](TInfoBoxInput& in) { in.Other = 500; }},
        {"text made bigger", 96, 1004,
         [](TInfoBoxInput& in) {
             in.LineHeight = 26;
             in.CaptionHeight = 26;
             in.FioCaption *= 2;
             in.Fio *= 2;
             in.Count *= 2;
             in.Mark *= 2;
             in.TimeLimit *= 2;
             in.Skip *= 2;
             in.Interrupt *= 2;
         }},
        {"wide buttons", 120, 1004, [](TInfoBoxInput& in) { in.Skip = 200; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TInfoBoxInput in = RunTexts(c.dpi, c.boxWidth);
        c.change(in);
        const TInfoBoxLayout l = LayoutInfoBox(in);
        ExpectHoldsEverything(in, l);
    }
}

// At 96 DPI a name too long for its room keeps the design: one band, the columns in their places,
// the name cut at the middle column as it always was.
TEST(InfoLayout, ALongNameAt96DpiKeepsTheDesign) {
    const TInfoBoxLayout designed = LayoutInfoBox(RunTexts(96, 1004));
    for (int32_t fio : {420, 700, 5000}) {
        SCOPED_TRACE(fio);
        TInfoBoxInput in = RunTexts(96, 1004);
        in.Fio = fio;
        const TInfoBoxLayout l = LayoutInfoBox(in);
        EXPECT_TRUE(l.AsDesigned);
        EXPECT_EQ(l.Bands, 1);
        EXPECT_EQ(l.Height, 93);
        EXPECT_EQ(l.Fio.Left, designed.Fio.Left);
        EXPECT_EQ(l.Fio.Width, designed.Fio.Width);
        EXPECT_EQ(l.Count.Left, designed.Count.Left);
        EXPECT_LE(l.Fio.Right() + 10, l.Count.Left);
    }
}

TEST(InfoLayout, ATallerCaptionMovesTheRowsDown) {
    TInfoBoxInput in = RunTexts(96, 1004);
    in.CaptionHeight = 20;
    const TInfoBoxLayout l = LayoutInfoBox(in);
    EXPECT_EQ(l.Skip.Top, 27);
    EXPECT_EQ(l.FioCaption.Top, 35);
    EXPECT_EQ(l.Height, 100);
}
