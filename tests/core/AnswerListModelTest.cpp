#include "answers/AnswerListModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "model/Random.h"

void PrintTo(const TLayoutRect& r, std::ostream* os) {
    *os << "{" << r.Left << ", " << r.Top << ", " << r.Width << ", " << r.Height << "}";
}

void PrintTo(const TRgb& c, std::ostream* os) {
    *os << "(" << int(c.R) << ", " << int(c.G) << ", " << int(c.B) << ")";
}

namespace {

// One letter per answer, so the order reads as a word.
class AnswerListModelTest : public ::testing::Test {
protected:
    void Fill(const std::string& letters, uint8_t mode, const std::vector<int32_t>& weights = {}) {
        list.Clear();
        list.Mode = mode;
        for (size_t i = 0; i < letters.size(); ++i) {
            list.AddAnswer(std::string(1, letters[i]), akNone, "", {}, i < weights.size() ? weights[i] : 0);
        }
    }
    std::string Order() const {
        std::string s;
        for (const TAnswerEntry& e : list.Entries()) s += e.Text;
        return s;
    }
    // 'x' for a selected answer, '-' otherwise.
    std::string Selection() const {
        std::string s;
        for (const TAnswerEntry& e : list.Entries()) s += e.Selected ? 'x' : '-';
        return s;
    }
    void Select(const std::string& flags) {
        for (size_t i = 0; i < flags.size(); ++i) list.SetSelected(static_cast<int32_t>(i), flags[i] == 'x');
    }

    TAnswerListModel list;
};

TEST(AnswerListModeTest, MapsAnswerModes) {
    const struct {
        uint8_t answerMode;
        uint8_t listMode;
    } cases[] = {{0, lmSingle}, {1, lmTyped}, {2, lmMultiple}, {3, lmOrdering}, {4, 255}, {255, 255}};
    for (const auto& c : cases) {
        EXPECT_EQ(ListModeOf(c.answerMode), c.listMode) << int(c.answerMode);
    }
}

TEST(PanelColorsTest, ByModeAndState) {
    const TRgb black{0, 0, 0}, grey{240, 240, 240};
    const TRgb red{255, 0, 0}, blue{0, 0, 255}, yellow{255, 255, 0};
    const struct {
        uint8_t mode;
        bool selected, hovered;
        TRgb pen, background;
    } cases[] = {
        {0, false, false, black, grey},
        {0, false, true, red, {255, 207, 207}},
        {0, true, false, black, red},
        {0, true, true, black, red},
        {1, false, false, black, grey},
        {1, false, true, blue, {207, 207, 255}},
        {1, true, false, black, blue},
        {1, true, true, black, blue},
        {2, false, false, black, grey},
        {2, false, true, yellow, {255, 255, 207}},
        {2, true, false, black, yellow},
        {2, true, true, black, yellow},
        {3, false, true, black, grey},
        {3, true, false, black, grey},
        {255, true, true, black, grey},
    };
    for (const auto& c : cases) {
        const TPanelColors colors = PanelColors(c.mode, c.selected, c.hovered);
        EXPECT_EQ(colors.Pen, c.pen) << int(c.mode) << " selected " << c.selected << " hovered " << c.hovered;
        EXPECT_EQ(colors.Background, c.background)
            << int(c.mode) << " selected " << c.selected << " hovered " << c.hovered;
    }
}

TEST_F(AnswerListModelTest, AddAnswerStoresTheAnswer) {
    TAttachOptions options;
    options.Width = 320;
    options.Height = 240;
    options.ScaleMode = 2;
    list.AddAnswer("  two  words", akSound, "C:\\t\\snd.wav", options, -7);
    ASSERT_EQ(list.Count(), 1);
    const TAnswerEntry& e = list.Entries()[0];
    EXPECT_EQ(e.Text, "two words");
    EXPECT_EQ(e.Weight, -7);
    EXPECT_EQ(e.AttachKind, akSound);
    EXPECT_EQ(e.AttachFile, "C:\\t\\snd.wav");
    EXPECT_EQ(e.Attach.Width, 320);
    EXPECT_EQ(e.Attach.Height, 240);
    EXPECT_EQ(e.Attach.ScaleMode, 2);
    EXPECT_FALSE(e.Selected);
    EXPECT_EQ(e.AttachPath, TPath("C:\\t\\snd.wav")) << "without a path the text name is opened";

    // The extracted file's own path wins over its text name, which may have lost characters.
    list.AddAnswer("pic", akPicture, "C:\\t\\?.bmp", options, 1, TPath("/t/\xD0\xAF.bmp"));
    EXPECT_EQ(list.Entries()[1].AttachFile, "C:\\t\\?.bmp");
    EXPECT_EQ(list.Entries()[1].AttachPath, TPath("/t/\xD0\xAF.bmp"));
    list.AddAnswer("none", akNone, "", {}, 0);
    EXPECT_TRUE(list.Entries()[2].AttachPath.empty());
}

TEST_F(AnswerListModelTest, DisplayTextCollapsesSpaces) {
    const struct {
        const char* text;
        const char* shown;
    } cases[] = {
        {"plain", "plain"},          {"   leading", "leading"},   {"a    b  c", "a b c"},
        {"one trailing ", "one trailing"}, {"run trailing   ", "run trailing "}, {"    ", ""},
        {"line/nbreak", "line/nbreak"},
    };
    for (const auto& c : cases) {
        list.AddAnswer(c.text, akNone, "", {}, 0);
        EXPECT_EQ(list.Entries().back().Text, c.shown) << '"' << c.text << '"';
    }
}

TEST_F(AnswerListModelTest, SetupByKindAndOptions) {
    enum : uint8_t { kPopup = 1, kReplace = 2, kAutoPlay = 4 };
    const struct {
        const char* name;
        TAttachKind kind;
        uint8_t options;
        bool textOnly, showOnHover, labelVisible, storedReplace;
    } cases[] = {
        {"none", akNone, 0, true, false, true, false},
        {"none, replace", akNone, kReplace, true, false, true, true},
        {"picture inline", akPicture, 0, false, false, true, false},
        {"picture replacing the text", akPicture, kReplace, false, false, false, true},
        {"picture in popup", akPicture, kPopup, true, true, true, false},
        {"picture in popup, replace", akPicture, kPopup | kReplace, true, true, true, false},
        {"sound buttons", akSound, 0, false, false, true, false},
        {"sound buttons, replace keeps label", akSound, kReplace, false, false, true, true},
        {"sound buttons despite popup", akSound, kPopup, false, false, true, false},
        {"sound autoplay", akSound, kAutoPlay, true, true, true, false},
        {"video", akVideo, 0, true, true, true, false},
        {"video, replace keeps label", akVideo, kReplace, true, true, true, true},
        {"object inline", akFme, 0, false, false, true, false},
        {"object replacing the text", akFme, kReplace, false, false, false, true},
        {"ole replacing the text", akOle, kReplace, false, false, false, true},
        {"ole in popup", akOle, kPopup, true, true, true, false},
        {"ole in popup, replace", akOle, kPopup | kReplace, true, true, true, false},
        {"unknown kind", static_cast<TAttachKind>(6), kReplace | kPopup | kAutoPlay, true, false, true, false},
    };
    for (const auto& c : cases) {
        TAttachOptions options;
        options.InPopup = (c.options & kPopup) != 0;
        options.ReplaceText = (c.options & kReplace) != 0;
        options.AutoPlay = (c.options & kAutoPlay) != 0;
        list.AddAnswer("text", c.kind, "f", options, 1);
        const TAnswerEntry& e = list.Entries().back();
        EXPECT_EQ(e.TextOnly, c.textOnly) << c.name;
        EXPECT_EQ(e.ShowOnHover, c.showOnHover) << c.name;
        EXPECT_EQ(e.LabelVisible, c.labelVisible) << c.name;
        EXPECT_EQ(e.Attach.ReplaceText, c.storedReplace) << c.name;
        EXPECT_EQ(e.Attach.InPopup, options.InPopup) << c.name;
        EXPECT_EQ(e.Attach.AutoPlay, options.AutoPlay) << c.name;
    }
}

TEST_F(AnswerListModelTest, AddedCountsFromClear) {
    Fill("KLM", lmOrdering);
    list.Locked = true;
    list.MoveAnswer(2, 0);
    EXPECT_EQ(list.Entries()[0].Added, 2);
    EXPECT_EQ(list.Entries()[1].Added, 0);
    EXPECT_EQ(list.Entries()[2].Added, 1);

    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_FALSE(list.Locked);
    EXPECT_EQ(list.Mode, lmOrdering);
    list.AddAnswer("again", akNone, "", {}, 0);
    EXPECT_EQ(list.Entries()[0].Added, 0);
}

TEST_F(AnswerListModelTest, MoveAnswerAllPairs) {
    for (int32_t from = 0; from < 4; ++from) {
        for (int32_t to = 0; to < 4; ++to) {
            Fill("KLMN", lmOrdering);
            list.SetSelected(from, true);
            list.MoveAnswer(from, to);
            std::string expected = "KLMN";
            const char moved = expected[from];
            expected.erase(from, 1);
            expected.insert(expected.begin() + to, moved);
            EXPECT_EQ(Order(), expected) << from << " -> " << to;
            // The selection travels with the answer.
            EXPECT_EQ(list.Entries()[to].Selected, true) << from << " -> " << to;
            EXPECT_EQ(std::count_if(list.Entries().begin(), list.Entries().end(),
                                    [](const TAnswerEntry& e) { return e.Selected; }),
                      1);
        }
    }
}

TEST_F(AnswerListModelTest, MoveAnswerKnownOrders) {
    const struct {
        int32_t from, to;
        const char* order;
    } cases[] = {{0, 3, "LMNK"}, {3, 0, "NKLM"}, {1, 2, "KMLN"}, {2, 1, "KMLN"}, {2, 2, "KLMN"},
                 {-1, 2, "KLMN"}, {1, 4, "KLMN"}};
    for (const auto& c : cases) {
        Fill("KLMN", lmOrdering);
        list.MoveAnswer(c.from, c.to);
        EXPECT_EQ(Order(), c.order) << c.from << " -> " << c.to;
    }
}

TEST_F(AnswerListModelTest, MovedAnswersTakeTheirPlacesInTheStack) {
    // Panels of different heights: after a move each one is drawn and hit where the new order
    // puts it, not where it stood before.
    Fill("KLMN", lmOrdering);
    const int32_t heights[] = {40, 60, 40, 80};
    for (int32_t i = 0; i < 4; ++i) list.Entries()[i].Height = heights[i];
    StackAnswerPanels(list.Entries());
    list.MoveAnswer(0, 3);
    ASSERT_EQ(Order(), "LMNK");
    std::vector<int32_t> tops;
    for (const TAnswerEntry& e : list.Entries()) tops.push_back(e.Top);
    EXPECT_EQ(tops, (std::vector<int32_t>{10, 80, 130, 220}));
}

TEST_F(AnswerListModelTest, PressesPerMode) {
    struct TStep {
        int32_t position;
        bool notify, value, startDrag, changed;
        const char* selectedAfter;
    };
    const struct {
        const char* name;
        uint8_t mode;
        std::vector<TStep> steps;
    } cases[] = {
        {"single moves the selection",
         lmSingle,
         {{1, true, true, false, true, "-x--"},
          {3, true, true, false, true, "---x"},
          {3, true, true, false, false, "---x"},
          {0, true, true, false, true, "x---"}}},
        {"multiple toggles",
         lmMultiple,
         {{0, true, true, false, true, "x---"},
          {2, true, true, false, true, "x-x-"},
          {0, true, true, false, true, "--x-"},
          {2, true, false, false, true, "----"},
          {1, true, true, false, true, "-x--"}}},
        {"ordering carries, never notifies", lmOrdering, {{2, false, false, true, true, "--x-"}}},
        {"typed ignores", lmTyped, {{1, false, false, false, false, "----"}}},
        {"unknown mode ignores", 255, {{1, false, false, false, false, "----"}}},
        {"outside the answers", lmSingle, {{4, false, false, false, false, "----"}, {-1, false, false, false, false, "----"}}},
    };
    for (const auto& c : cases) {
        Fill("KLMN", c.mode);
        for (const TStep& step : c.steps) {
            const TPressResult r = list.LeftButtonDown(step.position);
            SCOPED_TRACE(std::string(c.name) + ", press on " + std::to_string(step.position));
            EXPECT_EQ(r.NotifySelection, step.notify);
            if (step.notify) {
                EXPECT_EQ(r.SelectionValue, step.value);
            }
            EXPECT_EQ(r.StartDrag, step.startDrag);
            EXPECT_EQ(r.Changed, step.changed);
            EXPECT_EQ(Selection(), step.selectedAfter);
        }
    }
}

TEST_F(AnswerListModelTest, LockedListIgnoresPresses) {
    for (uint8_t mode : {lmSingle, lmMultiple, lmOrdering}) {
        Fill("KLMN", mode);
        Select("-x--");
        list.Locked = true;
        for (int32_t position = 0; position < 4; ++position) {
            const TPressResult r = list.LeftButtonDown(position);
            EXPECT_FALSE(r.NotifySelection || r.StartDrag || r.Changed) << int(mode) << " at " << position;
        }
        EXPECT_EQ(Selection(), "-x--") << int(mode);
    }
}

TEST_F(AnswerListModelTest, EndDrag) {
    const struct {
        int32_t dragged, dropOn;
        bool changed;
        const char* order;
    } cases[] = {
        {1, 2, true, "KMLN"},  {2, 1, true, "KMLN"},  {0, 3, true, "LMNK"},
        {3, 0, true, "NKLM"},  {1, 1, false, "KLMN"}, {1, -1, false, "KLMN"},
        {1, 4, false, "KLMN"},
    };
    for (const auto& c : cases) {
        Fill("KLMN", lmOrdering);
        ASSERT_TRUE(list.LeftButtonDown(c.dragged).StartDrag);
        EXPECT_EQ(list.EndDrag(c.dragged, c.dropOn), c.changed) << c.dragged << " on " << c.dropOn;
        EXPECT_EQ(Order(), c.order) << c.dragged << " on " << c.dropOn;
        EXPECT_EQ(Selection(), "----") << c.dragged << " on " << c.dropOn;
    }
}

TEST_F(AnswerListModelTest, SelectionHelpers) {
    Fill("KLMN", lmMultiple);
    EXPECT_FALSE(list.HasSelection());
    list.SetSelected(3, true);
    EXPECT_TRUE(list.HasSelection());
    list.SetSelected(0, true);
    list.SetSelected(3, false);
    EXPECT_EQ(Selection(), "x---");
    list.SetSelected(7, true);  // outside: nothing
    EXPECT_EQ(Selection(), "x---");
    Select("x-xx");
    list.ClearSelection();
    EXPECT_EQ(Selection(), "----");
    EXPECT_FALSE(list.HasSelection());
}

TEST_F(AnswerListModelTest, EmptyList) {
    for (uint8_t mode : {lmSingle, lmMultiple, lmOrdering, lmTyped}) {
        Fill("", mode);
        EXPECT_FALSE(list.HasSelection());
        EXPECT_EQ(list.SelectionText(), "");
        EXPECT_EQ(list.Score(), 0.0L) << int(mode);
        EXPECT_FALSE(list.LeftButtonDown(0).Changed);
        EXPECT_FALSE(list.EndDrag(0, 0));
    }
    EXPECT_EQ(StackAnswerPanels(list.Entries()), 0);
}

TEST_F(AnswerListModelTest, Score) {
    const struct {
        const char* name;
        uint8_t mode;
        std::vector<int32_t> weights;
        const char* selected;
        long double expected;
    } cases[] = {
        {"single: third of 0,3,1", lmSingle, {0, 3, 1}, "--x", 1.0L / 3},
        {"single: best", lmSingle, {0, 3, 1}, "-x-", 1},
        {"single: nothing chosen", lmSingle, {0, 3, 1}, "---", 0},
        {"single: negative chosen", lmSingle, {-2, 4}, "x-", 0},
        {"single: all zero", lmSingle, {0, 0, 0}, "-x-", 1},
        {"single: all negative, nothing chosen", lmSingle, {-1, -5}, "--", 1},
        {"single: weights beyond a byte", lmSingle, {300, 150}, "-x", 0.5L},
        {"multiple: all of 1,1,-1", lmMultiple, {1, 1, -1}, "xxx", 0.5L},
        {"multiple: only the negative", lmMultiple, {1, 1, -1}, "--x", 0},
        {"multiple: the two positives", lmMultiple, {1, 1, -1}, "xx-", 1},
        {"multiple: one of 1,2", lmMultiple, {1, 2}, "x-", 1.0L / 3},
        {"multiple: none positive", lmMultiple, {0, -3}, "--", 1},
        {"ordering: 1,2,2,3", lmOrdering, {1, 2, 2, 3}, "----", 1},
        {"ordering: 2,1,2,3", lmOrdering, {2, 1, 2, 3}, "----", 0},
        {"ordering: 1,2,3,2", lmOrdering, {1, 2, 3, 2}, "----", 0},
        {"ordering: 1,3,2,2", lmOrdering, {1, 3, 2, 2}, "----", 0},
        {"ordering: 3,2,2,1", lmOrdering, {3, 2, 2, 1}, "----", 0},
        {"ordering: one answer", lmOrdering, {5}, "-", 1},
        {"ordering ignores selection", lmOrdering, {1, 2}, "x-", 1},
        {"single: one answer, not chosen", lmSingle, {5}, "-", 0},
        {"typed", lmTyped, {1, 2}, "xx", 0},
        {"unknown mode", 255, {1, 2}, "xx", 0},
    };
    for (const auto& c : cases) {
        Fill(std::string(c.weights.size(), 'a'), c.mode, c.weights);
        Select(c.selected);
        EXPECT_EQ(list.Score(), c.expected) << c.name;
    }
}

TEST_F(AnswerListModelTest, OrderingScoreFollowsMoves) {
    Fill("KLMN", lmOrdering, {3, 1, 4, 2});
    EXPECT_EQ(list.Score(), 0.0L);
    ASSERT_TRUE(list.LeftButtonDown(1).StartDrag);
    list.EndDrag(1, 0);  // 1 3 4 2
    EXPECT_EQ(list.Score(), 0.0L);
    list.MoveAnswer(3, 1);  // 1 2 3 4
    EXPECT_EQ(Order(), "LNKM");
    EXPECT_EQ(list.Score(), 1.0L);

    // Answers of equal rank may stand either way round.
    Fill("KLMN", lmOrdering, {1, 2, 2, 3});
    list.MoveAnswer(1, 2);
    EXPECT_EQ(Order(), "KMLN");
    EXPECT_EQ(list.Score(), 1.0L);
    list.MoveAnswer(0, 1);
    EXPECT_EQ(list.Score(), 0.0L);
}

TEST_F(AnswerListModelTest, SelectionText) {
    const struct {
        uint8_t mode;
        const char* selected;
        const char* text;
    } cases[] = {
        {lmSingle, "-x-", " - [b c]"},
        {lmSingle, "---", ""},
        {lmMultiple, "x-x", " - [a]\r\n - [d]"},
        {lmMultiple, "xxx", " - [a]\r\n - [b c]\r\n - [d]"},
        {lmOrdering, "---", " - [a]\r\n - [b c]\r\n - [d]"},
        {lmOrdering, "-x-", " - [a]\r\n - [b c]\r\n - [d]"},
        {lmTyped, "xxx", ""},
    };
    for (const auto& c : cases) {
        list.Clear();
        list.Mode = c.mode;
        for (const char* text : {"a", "b   c", "  d"}) list.AddAnswer(text, akNone, "", {}, 1);
        Select(c.selected);
        EXPECT_EQ(list.SelectionText(), c.text) << int(c.mode) << " " << c.selected;
    }
    // Display order, not the order of adding.
    list.Clear();
    list.Mode = lmOrdering;
    for (const char* text : {"a", "b", "c"}) list.AddAnswer(text, akNone, "", {}, 1);
    list.MoveAnswer(2, 0);
    EXPECT_EQ(list.SelectionText(), " - [c]\r\n - [a]\r\n - [b]");
}

TEST(AnswerOrderTest, WithoutShuffleIsFileOrder) {
    for (size_t n = 0; n < 6; ++n) {
        const std::vector<size_t> order = AnswerDisplayOrder(n, false);
        ASSERT_EQ(order.size(), n);
        for (size_t i = 0; i < n; ++i) EXPECT_EQ(order[i], i);
    }
    EXPECT_TRUE(AnswerDisplayOrder(0, true).empty());
    EXPECT_EQ(AnswerDisplayOrder(1, true), std::vector<size_t>{0});
}

TEST(AnswerOrderTest, ShuffleIsOneCycle) {
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        RandomSeed(seed);
        EXPECT_EQ(AnswerDisplayOrder(2, true), (std::vector<size_t>{1, 0})) << "seed " << seed;
        for (size_t n = 3; n <= 9; ++n) {
            const std::vector<size_t> order = AnswerDisplayOrder(n, true);
            ASSERT_EQ(order.size(), n);
            std::vector<size_t> sorted = order;
            std::sort(sorted.begin(), sorted.end());
            for (size_t i = 0; i < n; ++i) ASSERT_EQ(sorted[i], i) << "not a permutation, seed " << seed;
            // Following the permutation from 0 must visit every answer before coming back.
            size_t length = 0;
            size_t at = 0;
            do {
                at = order[at];
                ++length;
            } while (at != 0 && length <= n);
            EXPECT_EQ(length, n) << "seed " << seed << ", n " << n;
        }
    }
}

TEST(AnswerOrderTest, ShuffleTakesFromTheProgramGenerator) {
    RandomSeed(42);
    const std::vector<size_t> first = AnswerDisplayOrder(6, true);
    RandomSeed(42);
    EXPECT_EQ(AnswerDisplayOrder(6, true), first);

    std::set<std::vector<size_t>> seen;
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        RandomSeed(seed);
        seen.insert(AnswerDisplayOrder(4, true));
    }
    // Four answers have six cyclic orders; sixty seeds should hit more than one of them.
    EXPECT_GT(seen.size(), 1u);
}

struct TLayoutCase {
    const char* name;
    const char* text;
    TAttachKind kind;
    TAttachOptions options;
    int32_t width;
    int32_t pictureWidth, pictureHeight;
    int32_t labelHeight;
    TPanelLayout expected;
};

TAttachOptions Options(bool replace, bool popup = false, uint16_t width = 0, uint16_t height = 0) {
    TAttachOptions o;
    o.ReplaceText = replace;
    o.InPopup = popup;
    o.Width = width;
    o.Height = height;
    return o;
}

TPanelLayout Expect(TLayoutRect label, int32_t height) {
    TPanelLayout l;
    l.Label = label;
    l.Height = height;
    return l;
}

TPanelLayout ExpectImage(TLayoutRect label, TLayoutRect image, int32_t height) {
    TPanelLayout l = Expect(label, height);
    l.Image = image;
    return l;
}

TPanelLayout ExpectObject(TLayoutRect label, TLayoutRect object, bool visible, int32_t height) {
    TPanelLayout l = Expect(label, height);
    l.Object = object;
    l.ObjectVisible = visible;
    return l;
}

TPanelLayout ExpectSound(TLayoutRect label, int32_t height) {
    TPanelLayout l = Expect(label, height);
    l.Play = {10, 10, 50, 24};
    l.Stop = {70, 10, 50, 24};
    return l;
}

TEST(PanelLayoutTest, Cases) {
    const TLayoutCase cases[] = {
        {"empty label still 40 high", "", akNone, {}, 300, 0, 0, 0, Expect({10, 10, 280, 0}, 40)},
        {"short label", "a", akNone, {}, 300, 0, 0, 15, Expect({10, 10, 280, 15}, 40)},
        {"tall label", "a", akNone, {}, 300, 0, 0, 55, Expect({10, 10, 280, 55}, 75)},
        {"picture in popup: text only", "a", akPicture, Options(true, true), 300, 400, 200, 30,
         Expect({10, 10, 280, 30}, 50)},
        {"video: text only", "a", akVideo, {}, 300, 400, 200, 30, Expect({10, 10, 280, 30}, 50)},
        {"autoplay sound: text only", "a",
         akSound,
         [] {
             TAttachOptions o;
             o.AutoPlay = true;
             return o;
         }(),
         300, 0, 0, 30, Expect({10, 10, 280, 30}, 50)},
        {"picture beside text", "a", akPicture, {}, 300, 400, 200, 30,
         ExpectImage({150, 10, 140, 30}, {10, 10, 130, 65}, 85)},
        {"picture narrower than its room", "a", akPicture, {}, 300, 50, 40, 10,
         ExpectImage({70, 10, 220, 10}, {10, 10, 50, 40}, 60)},
        {"picture, label taller", "a", akPicture, {}, 300, 50, 40, 90,
         ExpectImage({70, 10, 220, 90}, {10, 10, 50, 40}, 110)},
        {"picture centred without text", "", akPicture, {}, 300, 400, 200, 0,
         ExpectImage({180, 10, 110, 0}, {70, 10, 160, 80}, 100)},
        {"picture centred, text only spaces", "   ", akPicture, {}, 300, 400, 200, 0,
         ExpectImage({180, 10, 110, 0}, {70, 10, 160, 80}, 100)},
        {"picture centred, replacing the text", "a", akPicture, Options(true), 300, 400, 200, 30,
         ExpectImage({180, 10, 110, 30}, {70, 10, 160, 80}, 100)},
        {"picture centred, never wider than itself", "", akPicture, {}, 300, 100, 30, 0,
         ExpectImage({120, 10, 170, 0}, {100, 10, 100, 30}, 50)},
        {"picture divisions truncate", "", akPicture, {}, 333, 1000, 333, 0,
         ExpectImage({199, 10, 124, 0}, {77, 10, 179, 59}, 79)},
        {"picture without a width", "a", akPicture, {}, 300, 0, 50, 12,
         ExpectImage({20, 10, 270, 12}, {10, 10, 0, 0}, 40)},
        {"sound buttons, short label", "a", akSound, {}, 300, 0, 0, 0, ExpectSound({130, 10, 160, 0}, 44)},
        {"sound buttons, tall label", "a", akSound, {}, 300, 0, 0, 50, ExpectSound({130, 10, 160, 50}, 70)},
        {"object 200x100 by default", "a", akOle, {}, 300, 0, 0, 30,
         ExpectObject({150, 10, 140, 30}, {10, 10, 130, 65}, true, 85)},
        {"object centred against a taller label", "a", akFme, {}, 300, 0, 0, 100,
         ExpectObject({150, 10, 140, 100}, {10, 27, 130, 65}, true, 120)},
        {"object with its own size", "a", akOle, Options(false, false, 100, 300), 300, 0, 0, 30,
         ExpectObject({150, 10, 140, 30}, {10, 10, 130, 390}, true, 410)},
        {"object only width stored", "a", akOle, Options(false, false, 400, 0), 300, 0, 0, 30,
         ExpectObject({150, 10, 140, 30}, {10, 10, 130, 32}, true, 52)},
        {"object replacing the text", "a", akOle, Options(true), 300, 0, 0, 30,
         ExpectObject({150, 10, 140, 30}, {70, 10, 160, 80}, true, 100)},
        {"object, empty text keeps label place", "", akOle, {}, 300, 0, 0, 0,
         ExpectObject({150, 10, 140, 0}, {10, 10, 160, 80}, true, 100)},
        {"object half rounds down to even", "a", akOle, {}, 301, 0, 0, 30,
         ExpectObject({150, 10, 141, 30}, {10, 10, 130, 65}, true, 85)},
        {"object half rounds up to even", "a", akOle, {}, 303, 0, 0, 30,
         ExpectObject({152, 10, 141, 30}, {10, 10, 132, 66}, true, 86)},
        {"object in a panel too narrow", "a", akOle, {}, 40, 0, 0, 30,
         ExpectObject({20, 10, 10, 30}, {10, 25, 0, 0}, false, 50)},
    };
    for (const TLayoutCase& c : cases) {
        SCOPED_TRACE(c.name);
        TAnswerListModel list;
        list.AddAnswer(c.text, c.kind, "file", c.options, 0);
        std::vector<int32_t> asked;
        const TPanelLayout l = LayoutAnswerPanel(list.Entries()[0], c.width, c.pictureWidth, c.pictureHeight,
                                                 [&](int32_t width) {
                                                     asked.push_back(width);
                                                     return c.labelHeight;
                                                 });
        // The label is measured for the width it is given.
        EXPECT_EQ(asked, std::vector<int32_t>{c.expected.Label.Width});
        EXPECT_EQ(l.Label, c.expected.Label);
        EXPECT_EQ(l.Image, c.expected.Image);
        EXPECT_EQ(l.Play, c.expected.Play);
        EXPECT_EQ(l.Stop, c.expected.Stop);
        EXPECT_EQ(l.Object, c.expected.Object);
        EXPECT_EQ(l.ObjectVisible, c.expected.ObjectVisible);
        EXPECT_EQ(l.Height, c.expected.Height);
    }
}

TEST(PanelLayoutTest, StackTopsAndTotal) {
    const struct {
        std::vector<int32_t> heights;
        std::vector<int32_t> tops;
        int32_t total;
    } cases[] = {
        {{40}, {10}, 60},
        {{40, 75, 60}, {10, 60, 145}, 215},
        {{100, 40}, {10, 120}, 170},
    };
    for (const auto& c : cases) {
        std::vector<TAnswerEntry> entries(c.heights.size());
        for (size_t i = 0; i < entries.size(); ++i) entries[i].Height = c.heights[i];
        EXPECT_EQ(StackAnswerPanels(entries), c.total);
        for (size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(entries[i].Top, c.tops[i]) << i;
    }
    std::vector<TAnswerEntry> none;
    EXPECT_EQ(StackAnswerPanels(none), 0);
}

}  // namespace

// The keyboard's answer is scrolled into view: content 1000 high, view 300, positions in percent.
TEST(ScrollToShowTest, Cases) {
    struct TCase {
        int32_t position, top, bottom, expected;
        const char* why;
    } cases[] = {
        {0, 10, 100, 0, "already in view"},
        {0, 250, 310, 1, "just below: the smallest step that shows its bottom"},
        {0, 600, 700, 40, "far below: its bottom at the view's bottom"},
        {40, 600, 700, 40, "in view after the scroll"},
        {40, 390, 450, 39, "just above: its top at the view's top"},
        {40, 10, 100, 1, "far above: the first position that shows it"},
        {40, 0, 100, 0, "the first answer's band from the very top"},
        {0, 900, 1000, 70, "the last answer: its bottom at the view's bottom"},
        {0, 990, 1100, 71, "a band the bar cannot reach: as far as it goes"},
        {0, 200, 900, 20, "taller than the view: its top shows"},
        {90, 200, 900, 20, "taller than the view, from below: its top shows"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(ScrollPositionToShow(1000, 300, c.position, 71, c.top, c.bottom), c.expected) << c.why;
    }
    // Nothing to scroll: the position stays within the bar.
    EXPECT_EQ(ScrollPositionToShow(0, 300, 5, 71, 0, 10), 5);
    EXPECT_EQ(ScrollPositionToShow(200, 300, 0, 0, 150, 190), 0);
}

namespace {

// The same panels on screens of 125, 150 and 200 %: every margin, gap and button is the design's
// scaled, while shares of the panel width (50 %, 60 %) and an object's proportions stay shares.
struct TDpiLayoutCase {
    int32_t dpi;
    const char* name;
    const char* text;
    TAttachKind kind;
    TAttachOptions options;
    int32_t width;
    int32_t pictureWidth, pictureHeight;
    int32_t labelHeight;
    TPanelLayout expected;
};

TPanelLayout ExpectSoundAt(TLayoutRect label, TLayoutRect play, TLayoutRect stop, int32_t height) {
    TPanelLayout l = Expect(label, height);
    l.Play = play;
    l.Stop = stop;
    return l;
}

TEST(PanelLayoutTest, ScalesDesignPixelsForTheDpi) {
    const TDpiLayoutCase cases[] = {
        // 120 DPI: 10 -> 12 (12.5 to even), 20 -> 25, 24 -> 30, 50 -> 62 (62.5), 120 -> 150.
        {120, "text, short label: at least 25 + 2 x 12", "a", akNone, {}, 300, 0, 0, 10,
         Expect({12, 12, 276, 10}, 49)},
        {120, "text, tall label", "a", akNone, {}, 300, 0, 0, 70, Expect({12, 12, 276, 70}, 94)},
        {120, "sound buttons", "a", akSound, {}, 300, 0, 0, 0,
         ExpectSoundAt({162, 12, 126, 0}, {12, 12, 62, 30}, {86, 12, 62, 30}, 54)},
        {120, "picture beside text", "a", akPicture, {}, 300, 400, 200, 30,
         ExpectImage({150, 12, 138, 30}, {12, 12, 126, 63}, 87)},
        // 144 DPI: 10 -> 15, 20 -> 30, 24 -> 36, 50 -> 75, 120 -> 180.
        {144, "text, empty label still 60 high", "", akNone, {}, 300, 0, 0, 0, Expect({15, 15, 270, 0}, 60)},
        {144, "sound buttons", "a", akSound, {}, 300, 0, 0, 0,
         ExpectSoundAt({195, 15, 90, 0}, {15, 15, 75, 36}, {105, 15, 75, 36}, 66)},
        {144, "picture beside text", "a", akPicture, {}, 300, 400, 200, 30,
         ExpectImage({150, 15, 135, 30}, {15, 15, 120, 60}, 90)},
        {144, "picture centred without text", "", akPicture, {}, 300, 400, 200, 0,
         ExpectImage({180, 15, 105, 0}, {75, 15, 150, 75}, 105)},
        {144, "picture never wider than itself", "a", akPicture, {}, 300, 60, 90, 30,
         ExpectImage({90, 15, 195, 30}, {15, 15, 60, 90}, 120)},
        {144, "object 200x100 by default", "a", akOle, {}, 300, 0, 0, 30,
         ExpectObject({150, 15, 135, 30}, {15, 15, 120, 60}, true, 90)},
        {144, "object centred against a taller label", "a", akFme, {}, 300, 0, 0, 100,
         ExpectObject({150, 15, 135, 100}, {15, 35, 120, 60}, true, 130)},
        {144, "object replacing the text", "a", akOle, Options(true), 300, 0, 0, 30,
         ExpectObject({150, 15, 135, 30}, {75, 15, 150, 75}, true, 105)},
        {144, "object in a panel too narrow for the scaled sides", "a", akOle, {}, 60, 0, 0, 30,
         ExpectObject({30, 15, 15, 30}, {15, 30, 0, 0}, false, 60)},
        // 192 DPI: everything doubles.
        {192, "text, short label", "a", akNone, {}, 300, 0, 0, 10, Expect({20, 20, 260, 10}, 80)},
        {192, "sound buttons", "a", akSound, {}, 600, 0, 0, 0,
         ExpectSoundAt({260, 20, 320, 0}, {20, 20, 100, 48}, {140, 20, 100, 48}, 88)},
        {192, "picture beside text", "a", akPicture, {}, 300, 400, 200, 30,
         ExpectImage({150, 20, 130, 30}, {20, 20, 110, 55}, 95)},
    };
    for (const TDpiLayoutCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dpi << " DPI: " << c.name);
        TAnswerListModel list;
        list.AddAnswer(c.text, c.kind, "file", c.options, 0);
        std::vector<int32_t> asked;
        const TPanelLayout l = LayoutAnswerPanel(
            list.Entries()[0], c.width, c.pictureWidth, c.pictureHeight,
            [&](int32_t width) {
                asked.push_back(width);
                return c.labelHeight;
            },
            c.dpi);
        EXPECT_EQ(asked, std::vector<int32_t>{c.expected.Label.Width});
        EXPECT_EQ(l.Label, c.expected.Label);
        EXPECT_EQ(l.Image, c.expected.Image);
        EXPECT_EQ(l.Play, c.expected.Play);
        EXPECT_EQ(l.Stop, c.expected.Stop);
        EXPECT_EQ(l.Object, c.expected.Object);
        EXPECT_EQ(l.ObjectVisible, c.expected.ObjectVisible);
        EXPECT_EQ(l.Height, c.expected.Height);
    }
}

TEST(PanelLayoutTest, StacksWithTheScaledGap) {
    const struct {
        int32_t dpi;
        std::vector<int32_t> heights;
        std::vector<int32_t> tops;
        int32_t total;
    } cases[] = {
        {120, {40, 75, 60}, {12, 64, 151}, 223},
        {144, {40, 75}, {15, 70}, 160},
        {192, {40}, {20}, 80},
        {168, {40, 40}, {18, 76}, 134},  // 17.5 to even
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dpi << " DPI");
        EXPECT_EQ(AnswerPanelMargin(c.dpi), c.tops[0]);
        std::vector<TAnswerEntry> entries(c.heights.size());
        for (size_t i = 0; i < entries.size(); ++i) entries[i].Height = c.heights[i];
        EXPECT_EQ(StackAnswerPanels(entries, c.dpi), c.total);
        for (size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(entries[i].Top, c.tops[i]) << i;
        std::vector<TAnswerEntry> none;
        EXPECT_EQ(StackAnswerPanels(none, c.dpi), 0) << "an empty list has no margins";
    }
}

// A move re-stacks the answers with the gap of the DPI they were laid out for, not the design's.
TEST(PanelLayoutTest, MoveKeepsTheScaledGap) {
    TAnswerListModel list;
    list.Dpi = 144;
    for (const char* text : {"a", "b", "c"}) list.AddAnswer(text, akNone, "", TAttachOptions(), 0);
    const int32_t heights[] = {40, 70, 55};
    for (size_t i = 0; i < 3; ++i) list.Entries()[i].Height = heights[i];
    StackAnswerPanels(list.Entries(), list.Dpi);
    list.MoveAnswer(0, 2);
    EXPECT_EQ(list.Texts(), (std::vector<std::string>{"b", "c", "a"}));
    std::vector<int32_t> tops;
    for (const TAnswerEntry& e : list.Entries()) tops.push_back(e.Top);
    EXPECT_EQ(tops, (std::vector<int32_t>{15, 100, 170}));
}

TEST(AnswerPopupSizeTest, ScalesTheDesignPixelsNotTheShares) {
    const struct {
        int32_t mainWidth, mainHeight, dpi, width, height;
    } cases[] = {
        {1000, 700, 96, 470, 190},
        {1001, 705, 96, 470, 192},    // 500.5 and 211.5 to even
        {1000, 700, 120, 462, 185},   // 30 -> 38 (37.5 to even), 20 -> 25
        {1000, 700, 144, 455, 180},
        {1536, 864, 144, 723, 229},   // 259.2 to 259
        {2000, 1400, 192, 940, 380},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.mainWidth << "x" << c.mainHeight << " at " << c.dpi);
        EXPECT_EQ(AnswerPopupSize(c.mainWidth, c.mainHeight, c.dpi), (TLayoutSize{c.width, c.height}));
    }
}

}  // namespace
