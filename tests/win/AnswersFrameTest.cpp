#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "answers/AnswersFrameUnit.h"
#include "model/Codepage.h"
#include "tests/win/DpiFit.h"
#include "tests/win/WinTestUtil.h"

// Found by the test framework through the colour's own (global) namespace.
static void PrintTo(const TRgb& c, std::ostream* out) {
    *out << "(" << int(c.R) << ", " << int(c.G) << ", " << int(c.B) << ")";
}

namespace {

constexpr wchar_t kParentClass[] = L"AnswersFrameTestParent";
constexpr int kListWidth = 320, kListHeight = 500;

const TRgb kBlack{0, 0, 0}, kGrey{240, 240, 240};
const TRgb kRed{255, 0, 0}, kLightRed{255, 207, 207};
const TRgb kBlue{0, 0, 255}, kLightBlue{207, 207, 255};
const TRgb kYellow{255, 255, 0}, kLightYellow{255, 255, 207};

std::string C(const char* utf8) { return Utf8ToCp1251(utf8); }

std::string LongText() {
    std::string text;
    for (int i = 0; i < 12; ++i) text += C("довольно длинный ответ ");
    return text;
}

POINT Centre(const RECT& rc) { return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}; }

class AnswersFrameTest : public ::testing::Test {
protected:
    TOwned<TfrAnswersList> list;
    HWND parent = nullptr;
    std::vector<bool> notified;

    void SetUp() override {
        parent = CreateTestParent(kParentClass, L"parent", 400, 600);
        ASSERT_NE(parent, nullptr);
        ASSERT_TRUE(list.Create(parent, 0, 0, kListWidth, kListHeight));
        list.FontSize = 12;
        list.OnSelectionChange = [this](bool value) { notified.push_back(value); };
    }
    void TearDown() override {
        if (GetCapture() != nullptr) ReleaseCapture();
        DestroyWindow(parent);
    }

    void Fill(uint8_t mode, const std::vector<const char*>& texts, int8_t weight = 0) {
        list.Clear();
        list.Model.Mode = mode;
        for (const char* text : texts) list.AddAnswer(C(text), akNone, "", TAttachOptions(), weight);
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const TAnswerEntry& entry : list.Model.Entries()) texts.push_back(Cp1251ToUtf8(entry.Text));
        return texts;
    }
    std::vector<int> Selected() const {
        std::vector<int> selected;
        for (int i = 0; i < list.Count(); ++i)
            if (list.Model.Entries()[i].Selected) selected.push_back(i);
        return selected;
    }

    // The pointer itself is put there too: Wine's leave tracking looks at where it really is.
    void MoveTo(POINT at, WPARAM keys = 0) {
        POINT screen = at;
        ClientToScreen(list.Handle(), &screen);
        SetCursorPos(screen.x, screen.y);
        SendMessageW(list.Handle(), WM_MOUSEMOVE, keys, MAKELPARAM(at.x, at.y));
    }
    void MoveOver(int position, WPARAM keys = 0) { MoveTo(Centre(list.PanelRect(position)), keys); }
    void Leave() { SendMessageW(list.Handle(), WM_MOUSELEAVE, 0, 0); }
    void PressAt(POINT at) { SendMessageW(list.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y)); }
    void ReleaseAt(POINT at) { SendMessageW(list.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y)); }
    void Click(int position) {
        const POINT at = Centre(list.PanelRect(position));
        PressAt(at);
        ReleaseAt(at);
    }

    // What is on the screen after the list has painted itself.
    TRgb ScreenPixel(POINT at) {
        UpdateWindow(list.Handle());
        HDC dc = GetDC(list.Handle());
        const COLORREF c = GetPixel(dc, at.x, at.y);
        ReleaseDC(list.Handle(), dc);
        return {GetRValue(c), GetGValue(c), GetBValue(c)};
    }
};

}  // namespace

TEST_F(AnswersFrameTest, PanelsStackTenApartBelowTheContentTop) {
    EXPECT_EQ(list.ContentHeight(), 0) << "empty";
    EXPECT_EQ(list.HitTest({100, 20}), -1);
    EXPECT_FALSE(list.Model.HasSelection());
    EXPECT_EQ(list.SelectionText(), "");

    Fill(lmSingle, {"один", "", "три"});
    list.AddAnswer(LongText(), akNone, "", TAttachOptions(), 0);
    RECT client;
    GetClientRect(list.Handle(), &client);
    for (int top : {0, -25, 7}) {
        SCOPED_TRACE(testing::Message() << "content top " << top);
        list.SetContentTop(top);
        EXPECT_EQ(list.ContentTop(), top);
        int expectedTop = 10 + top;
        for (int i = 0; i < list.Count(); ++i) {
            const RECT rc = list.PanelRect(i);
            EXPECT_EQ(rc.left, 10);
            EXPECT_EQ(rc.right, client.right - 10);
            EXPECT_EQ(rc.top, expectedTop) << "panel " << i;
            EXPECT_GE(rc.bottom - rc.top, 40) << "panel " << i << ", the empty one too";
            expectedTop = rc.bottom + 10;

            EXPECT_EQ(list.HitTest({rc.left, rc.top}), i);
            EXPECT_EQ(list.HitTest({rc.right - 1, rc.bottom - 1}), i);
            EXPECT_EQ(list.HitTest({rc.left - 1, rc.top}), -1) << "the left margin";
            EXPECT_EQ(list.HitTest({rc.right, rc.top}), -1) << "the right margin";
            EXPECT_EQ(list.HitTest({rc.left, rc.bottom}), -1) << "the gap below";
            EXPECT_EQ(list.HitTest({rc.left, rc.top - 1}), -1) << "the gap above";
        }
        EXPECT_EQ(list.ContentHeight(), expectedTop - top) << "10 free below the last answer";
    }
    EXPECT_GT(list.PanelRect(3).bottom - list.PanelRect(3).top, list.PanelRect(0).bottom - list.PanelRect(0).top)
        << "the long answer wraps";

    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.ContentHeight(), 0);
    EXPECT_EQ(list.HitTest({100, 20}), -1);
}

TEST_F(AnswersFrameTest, PanelsGrowWhenTheListNarrowsAndTheFontGrows) {
    Fill(lmSingle, {"да"});
    list.AddAnswer(LongText(), akNone, "", TAttachOptions(), 0);
    auto height = [&](int position) { return list.PanelRect(position).bottom - list.PanelRect(position).top; };
    const int wide = height(1), content = list.ContentHeight();

    // A resize alone lays the panels out again: nobody calls Relayout.
    SetWindowPos(list.Handle(), nullptr, 0, 0, 160, kListHeight, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_GT(height(1), wide);
    EXPECT_EQ(list.ContentHeight(), content + height(1) - wide);
    EXPECT_EQ(list.PanelRect(1).right, 150);
    EXPECT_EQ(height(0), 40) << "one short line keeps its height";
    SetWindowPos(list.Handle(), nullptr, 0, 0, kListWidth, kListHeight, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(height(1), wide);
    EXPECT_EQ(list.ContentHeight(), content);

    list.FontSize = 28;
    list.Relayout();
    EXPECT_GT(height(0), 40);
    EXPECT_GT(height(1), wide);
}

TEST_F(AnswersFrameTest, HoverLightsTheAnswerUnderThePointerInTheColoursOfTheMode) {
    const struct {
        uint8_t mode;
        TRgb pen, background;
    } cases[] = {
        {lmSingle, kRed, kLightRed},
        {lmMultiple, kBlue, kLightBlue},
        {lmOrdering, kYellow, kLightYellow},
        {lmTyped, kBlack, kGrey},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << int(c.mode));
        Fill(c.mode, {"K", "L", "M"});
        MoveOver(1);
        EXPECT_EQ(list.HoveredPosition(), 1);
        EXPECT_EQ(list.ColorsOf(1).Pen, c.pen);
        EXPECT_EQ(list.ColorsOf(1).Background, c.background);
        EXPECT_EQ(list.ColorsOf(0).Pen, kBlack);
        EXPECT_EQ(list.ColorsOf(0).Background, kGrey);

        MoveTo({5, Centre(list.PanelRect(2)).y});
        EXPECT_EQ(list.HoveredPosition(), -1) << "the margin beside the panels";
        EXPECT_EQ(list.ColorsOf(1).Background, kGrey);

        MoveOver(2);
        MoveOver(0);
        EXPECT_EQ(list.HoveredPosition(), 0);
        EXPECT_EQ(list.ColorsOf(2).Background, kGrey);
        EXPECT_EQ(list.ColorsOf(0).Background, c.background);
        Leave();
        EXPECT_EQ(list.HoveredPosition(), -1);
        EXPECT_EQ(list.ColorsOf(0).Pen, kBlack);
        EXPECT_EQ(list.ColorsOf(0).Background, kGrey);
    }
}

TEST_F(AnswersFrameTest, TheScreenShowsTheColoursOfTheState) {
    Fill(lmSingle, {"K", "L", "M"});
    MoveOver(1);
    const RECT hovered = list.PanelRect(1), plain = list.PanelRect(0);
    const POINT frame = {hovered.left, Centre(hovered).y};
    EXPECT_EQ(ScreenPixel(frame), kRed);
    EXPECT_EQ(ScreenPixel({hovered.right - 1, hovered.top + 1}), kRed);
    EXPECT_EQ(ScreenPixel({hovered.right - 4, hovered.bottom - 4}), kLightRed);
    EXPECT_EQ(ScreenPixel({plain.left, Centre(plain).y}), kBlack);
    EXPECT_EQ(ScreenPixel({plain.right - 4, plain.bottom - 4}), kGrey);

    Click(1);
    EXPECT_EQ(ScreenPixel(frame), kBlack);
    EXPECT_EQ(ScreenPixel({hovered.right - 4, hovered.bottom - 4}), kRed);

    // Scrolled by 15: the painting follows the content top.
    list.SetContentTop(-15);
    EXPECT_EQ(ScreenPixel({hovered.right - 4, hovered.top - 15 + 3}), kRed);
    EXPECT_EQ(ScreenPixel({hovered.right - 4, hovered.bottom - 15 + 3}), ScreenPixel({2, 2})) << "below: the gap";
}

TEST_F(AnswersFrameTest, PressesSelectByTheRulesOfTheMode) {
    struct Step {
        int press;
        std::vector<int> selected;
        std::vector<bool> notified;  // all calls so far
    };
    const struct {
        const char* what;
        uint8_t mode;
        std::vector<Step> steps;
    } cases[] = {
        {"single: one at a time, true at every press",
         lmSingle,
         {{1, {1}, {true}}, {1, {1}, {true, true}}, {2, {2}, {true, true, true}}, {-1, {2}, {true, true, true}}}},
        {"multiple: toggles, false when the last goes",
         lmMultiple,
         {{0, {0}, {true}}, {2, {0, 2}, {true, true}}, {0, {2}, {true, true, true}},
          {2, {}, {true, true, true, false}}, {-1, {}, {true, true, true, false}}}},
        {"typed: nothing", lmTyped, {{1, {}, {}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Fill(c.mode, {"K", "L", "M"});
        notified.clear();
        for (const Step& step : c.steps) {
            SCOPED_TRACE(testing::Message() << "press on " << step.press);
            if (step.press >= 0) {
                Click(step.press);
            } else {
                // The gap between two answers.
                const POINT gap = {Centre(list.PanelRect(0)).x, list.PanelRect(0).bottom + 5};
                PressAt(gap);
                ReleaseAt(gap);
            }
            EXPECT_EQ(Selected(), step.selected);
            EXPECT_EQ(notified, step.notified);
        }
        EXPECT_EQ(GetCapture(), nullptr) << "only ordering captures the pointer";
    }

    // Without a listener the presses still select.
    Fill(lmSingle, {"K", "L"});
    list.OnSelectionChange = nullptr;
    Click(1);
    EXPECT_EQ(Selected(), (std::vector<int>{1}));
    EXPECT_EQ(list.SelectionText(), " - [L]");
}

// A scroll (the wheel, the bar, the arrow keys) moves the answers under a pointer that stays:
// the answer now under it is lit, and the one it left goes dark.
TEST_F(AnswersFrameTest, AfterAScrollTheAnswerUnderThePointerIsTheHoveredOne) {
    Fill(lmSingle, {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J"});
    MoveOver(2);
    const POINT pointer = Centre(list.PanelRect(2));
    ASSERT_EQ(list.HoveredPosition(), 2);
    const int step = list.PanelRect(1).top - list.PanelRect(0).top;
    list.SetContentTop(-step);
    EXPECT_EQ(list.HoveredPosition(), 3);
    EXPECT_EQ(list.HitTest(pointer), 3);
    EXPECT_EQ(list.ColorsOf(3).Background, kLightRed);
    EXPECT_EQ(list.ColorsOf(2).Background, kGrey);

    // With the pointer gone from the list, a scroll lights nothing.
    Leave();
    list.SetContentTop(0);
    EXPECT_EQ(list.HoveredPosition(), -1);
}

TEST_F(AnswersFrameTest, APressOnTheLitAnswerPutsTheHoverOutUntilThePointerComesBack) {
    Fill(lmMultiple, {"K", "L", "M"});
    MoveOver(1);
    ASSERT_EQ(list.ColorsOf(1).Background, kLightBlue);
    Click(1);
    EXPECT_EQ(list.ColorsOf(1).Pen, kBlack);
    EXPECT_EQ(list.ColorsOf(1).Background, kBlue);
    Click(1);
    EXPECT_EQ(list.HoveredPosition(), 1);
    EXPECT_EQ(list.ColorsOf(1).Pen, kBlack) << "deselected: normal, not the hover colours";
    EXPECT_EQ(list.ColorsOf(1).Background, kGrey);
    POINT inside = Centre(list.PanelRect(1));
    inside.x += 7;
    MoveTo(inside);
    EXPECT_EQ(list.ColorsOf(1).Background, kGrey) << "moving within the answer is no new entry";

    MoveOver(0);
    MoveOver(1);
    EXPECT_EQ(list.ColorsOf(1).Pen, kBlue);
    EXPECT_EQ(list.ColorsOf(1).Background, kLightBlue);
    EXPECT_EQ(notified, (std::vector<bool>{true, false}));
}

// The pointer is captured while an answer is carried: released over the hint, the OK button or
// the caption, above or below the visible list, it would point at an answer scrolled out of
// sight. Such a drop moves nothing.
TEST_F(AnswersFrameTest, ADropOutsideTheVisibleListMovesNothing) {
    std::vector<const char*> texts = {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N"};
    const struct {
        const char* where;
        int contentTop;
        int from, onto;  // onto: an answer out of sight at the release point
    } cases[] = {{"below the list", 0, 0, 13}, {"above the list", -300, 9, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        Fill(lmOrdering, texts);
        list.SetContentTop(c.contentTop);
        const std::vector<std::string> before = Texts();
        const RECT onto = list.PanelRect(c.onto);
        const POINT drop = Centre(onto);
        ASSERT_TRUE(drop.y < 0 || drop.y >= kListHeight) << "the target answer is out of sight";
        MoveOver(c.from);
        PressAt(Centre(list.PanelRect(c.from)));
        ASSERT_EQ(list.DraggedPosition(), c.from);
        MoveTo(drop, MK_LBUTTON);
        ReleaseAt(drop);
        EXPECT_EQ(Texts(), before);
        EXPECT_EQ(list.DraggedPosition(), -1);
        EXPECT_EQ(GetCapture(), nullptr);
    }
}

TEST_F(AnswersFrameTest, DraggingAnAnswerMovesItOntoTheDropTarget) {
    const struct {
        int from;
        int to;  // -1: the gap below the last answer, -2: outside the window
        std::vector<std::string> order;
    } cases[] = {
        {0, 3, {"L", "M", "N", "K"}}, {3, 0, {"N", "K", "L", "M"}}, {1, 2, {"K", "M", "L", "N"}},
        {2, 1, {"K", "M", "L", "N"}}, {1, 1, {"K", "L", "M", "N"}}, {1, -1, {"K", "L", "M", "N"}},
        {2, -2, {"K", "L", "M", "N"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " onto " << c.to);
        Fill(lmOrdering, {"K", "L", "M", "N"});
        notified.clear();
        MoveOver(c.from);
        PressAt(Centre(list.PanelRect(c.from)));
        EXPECT_EQ(list.DraggedPosition(), c.from);
        EXPECT_EQ(GetCapture(), list.Handle());
        EXPECT_EQ(list.ColorsOf(c.from).Background, kYellow) << "carried";
        EXPECT_EQ(list.ColorsOf(c.from).Pen, kBlack);

        // Out of the window and back: Wine reports a leave while the pointer is captured.
        MoveTo({-30, -30}, MK_LBUTTON);
        Leave();
        ProcessMessages();
        EXPECT_EQ(list.DraggedPosition(), c.from) << "the drag survives the leave";
        EXPECT_EQ(GetCapture(), list.Handle());

        POINT drop;
        if (c.to >= 0) {
            drop = Centre(list.PanelRect(c.to));
        } else if (c.to == -1) {
            drop = {Centre(list.PanelRect(3)).x, list.PanelRect(3).bottom + 4};
        } else {
            drop = {kListWidth + 30, Centre(list.PanelRect(1)).y};
        }
        MoveTo(drop, MK_LBUTTON);
        EXPECT_EQ(Texts(), (std::vector<std::string>{"K", "L", "M", "N"}));
        ReleaseAt(drop);
        EXPECT_EQ(Texts(), c.order);
        EXPECT_EQ(list.DraggedPosition(), -1);
        EXPECT_EQ(GetCapture(), nullptr);
        EXPECT_EQ(Selected(), std::vector<int>{}) << "nothing stays carried";
        for (int i = 0; i < 4; ++i) EXPECT_EQ(list.ColorsOf(i).Background, kGrey) << "position " << i;
        EXPECT_TRUE(notified.empty()) << "ordering reports no selection";
        // The answers stand where the new order puts them: drawn there and hit there.
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(list.PanelRect(i).top, 10 + i * (list.PanelRect(0).bottom - list.PanelRect(0).top + 10))
                << "position " << i;
            EXPECT_EQ(list.HitTest(Centre(list.PanelRect(i))), i) << "position " << i;
        }
        std::string log;
        for (const std::string& text : c.order) log += (log.empty() ? "" : "\r\n") + (" - [" + text + "]");
        EXPECT_EQ(list.SelectionText(), log);
    }
}

TEST_F(AnswersFrameTest, ADragWithTheSystemsOwnPointerInputSurvivesLeavingTheList) {
    Fill(lmOrdering, {"K", "L", "M", "N"});
    SetForegroundWindow(parent);
    static int leaves;
    leaves = 0;
    auto counter = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) -> LRESULT {
        if (message == WM_MOUSELEAVE) ++leaves;
        return DefSubclassProc(hwnd, message, wParam, lParam);
    };
    ASSERT_TRUE(SetWindowSubclass(list.Handle(), counter, 1, 0));
    auto send = [&](POINT client, DWORD flags) {
        ClientToScreen(list.Handle(), &client);
        INPUT in = {};
        in.type = INPUT_MOUSE;
        in.mi.dx = MulDiv(client.x, 65536, GetSystemMetrics(SM_CXSCREEN));
        in.mi.dy = MulDiv(client.y, 65536, GetSystemMetrics(SM_CYSCREEN));
        in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
        SendInput(1, &in, sizeof(in));
        for (int i = 0; i < 5; ++i) {
            Sleep(10);
            ProcessMessages();
        }
    };
    send(Centre(list.PanelRect(0)), 0);
    EXPECT_EQ(list.HoveredPosition(), 0);
    send(Centre(list.PanelRect(0)), MOUSEEVENTF_LEFTDOWN);
    ASSERT_EQ(list.DraggedPosition(), 0);
    // Beside the list, long enough for the system to report the pointer gone.
    send({kListWidth + 40, Centre(list.PanelRect(1)).y}, 0);
    WaitUntil([] { return leaves > 0; }, 2000);
    EXPECT_GT(leaves, 0) << "the pointer left the list while captured";
    EXPECT_EQ(list.DraggedPosition(), 0) << "the drag survives the leave";
    send(Centre(list.PanelRect(3)), 0);
    send(Centre(list.PanelRect(3)), MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"L", "M", "N", "K"}));
    EXPECT_EQ(list.DraggedPosition(), -1);
    EXPECT_EQ(GetCapture(), nullptr);
    RemoveWindowSubclass(list.Handle(), counter, 1);
}

TEST_F(AnswersFrameTest, ADragEndsWithoutAMoveWhenTheCaptureIsTakenOrEscapeIsPressed) {
    const struct {
        const char* what;
        void (*cancel)(HWND list, HWND parent);
    } cases[] = {
        {"capture taken", [](HWND, HWND parent) { SetCapture(parent); }},
        {"Escape", [](HWND list, HWND) { SendMessageW(list, WM_KEYDOWN, VK_ESCAPE, 0); }},
        {"cancel mode", [](HWND list, HWND) { SendMessageW(list, WM_CANCELMODE, 0, 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Fill(lmOrdering, {"K", "L", "M", "N"});
        PressAt(Centre(list.PanelRect(0)));
        ASSERT_EQ(list.DraggedPosition(), 0);
        c.cancel(list.Handle(), parent);
        EXPECT_EQ(list.DraggedPosition(), -1);
        EXPECT_NE(GetCapture(), list.Handle());
        EXPECT_EQ(list.ColorsOf(0).Background, kGrey);
        ReleaseAt(Centre(list.PanelRect(3)));
        EXPECT_EQ(Texts(), (std::vector<std::string>{"K", "L", "M", "N"}));
        ReleaseCapture();
    }
}

TEST_F(AnswersFrameTest, ALockedListIgnoresThePointer) {
    for (uint8_t mode : {lmSingle, lmMultiple, lmOrdering}) {
        SCOPED_TRACE(testing::Message() << "mode " << int(mode));
        Fill(mode, {"K", "L", "M", "N"});
        list.Model.Locked = true;
        notified.clear();
        MoveOver(1);
        EXPECT_EQ(list.ColorsOf(1).Pen, kBlack);
        EXPECT_EQ(list.ColorsOf(1).Background, kGrey);
        EXPECT_EQ(ScreenPixel({list.PanelRect(1).left, Centre(list.PanelRect(1)).y}), kBlack);
        PressAt(Centre(list.PanelRect(1)));
        EXPECT_EQ(list.DraggedPosition(), -1);
        EXPECT_EQ(GetCapture(), nullptr);
        MoveOver(3, MK_LBUTTON);
        ReleaseAt(Centre(list.PanelRect(3)));
        EXPECT_EQ(Selected(), std::vector<int>{});
        EXPECT_TRUE(notified.empty());
        EXPECT_EQ(Texts(), (std::vector<std::string>{"K", "L", "M", "N"}));
    }
    list.Clear();
    EXPECT_FALSE(list.Model.Locked) << "Clear unlocks";
}

TEST_F(AnswersFrameTest, TwoHundredFiftyFiveAnswersAreLaidOutAsByAFullRelayout) {
    // Timed for the record, not judged here: the work must stay well inside a frame or two.
    LARGE_INTEGER frequency, start, filled, shown;
    QueryPerformanceFrequency(&frequency);
    list.Clear();
    list.Model.Mode = lmOrdering;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < 255; ++i) {
        const std::string text = i % 10 == 9 ? LongText() : C("ответ номер ") + std::to_string(i);
        list.AddAnswer(text, akNone, "", TAttachOptions(), i % 3);
    }
    QueryPerformanceCounter(&filled);
    std::vector<int> heights;
    for (int i = 0; i < 255; ++i) heights.push_back(list.PanelRect(i).bottom - list.PanelRect(i).top);
    const int content = list.ContentHeight();
    list.Relayout();
    InvalidateRect(list.Handle(), nullptr, FALSE);
    UpdateWindow(list.Handle());
    QueryPerformanceCounter(&shown);
    auto ms = [&](LARGE_INTEGER from, LARGE_INTEGER to) {
        return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
    };
    std::printf("[ timing   ] 255 answers: added %.2f ms, relaid out and painted %.2f ms, total %.2f ms\n",
                ms(start, filled), ms(filled, shown), ms(start, shown));

    ASSERT_EQ(list.Count(), 255);
    for (int i = 0; i < 255; ++i) {
        EXPECT_EQ(list.PanelRect(i).bottom - list.PanelRect(i).top, heights[i]) << "answer " << i;
    }
    EXPECT_EQ(list.ContentHeight(), content);
    EXPECT_EQ(list.ContentHeight(), list.PanelRect(254).bottom + 10);
    EXPECT_GT(heights[9], heights[8]);

    // The last answer scrolled into view is hit and painted where it is.
    list.SetContentTop(kListHeight - list.ContentHeight());
    const RECT last = list.PanelRect(254);
    EXPECT_EQ(list.HitTest(Centre(last)), 254);
    MoveOver(254);
    EXPECT_EQ(ScreenPixel({last.left, Centre(last).y}), kYellow);
}

namespace {

// Holds Ctrl down in this thread's key state, as a real key press leaves it, while it lives.
class THeldKey {
public:
    explicit THeldKey(int key) : key_(key) {
        GetKeyboardState(saved_);
        BYTE state[256];
        GetKeyboardState(state);
        state[key_] |= 0x80;
        SetKeyboardState(state);
    }
    ~THeldKey() { SetKeyboardState(saved_); }

private:
    int key_;
    BYTE saved_[256];
};

void Key(HWND hwnd, WPARAM key) { SendMessageW(hwnd, WM_KEYDOWN, key, 0); }

}  // namespace

// Space and the digits choose as a click does, by the rules of the mode, and the keyboard goes to
// the answer chosen; a digit beyond the answers is not the list's.
TEST_F(AnswersFrameTest, SpaceAndDigitsChooseAsAClickDoes) {
    struct TCase {
        uint8_t mode;
        std::vector<WPARAM> keys;
        std::vector<int> selected;
        std::vector<bool> notified;
        int focused;
    } cases[] = {
        {lmSingle, {VK_SPACE}, {0}, {true}, 0},
        {lmSingle, {'3', VK_NUMPAD2}, {1}, {true, true}, 1},
        {lmMultiple, {VK_SPACE, '3', VK_NUMPAD3}, {0}, {true, true, true}, 2},
        {lmMultiple, {'1', '4'}, {0, 3}, {true, true}, 3},
        {lmOrdering, {VK_SPACE, '2'}, {}, {}, 1},
        {lmSingle, {'9'}, {}, {}, 0},
    };
    for (const TCase& c : cases) {
        Fill(c.mode, {"A", "B", "C", "D"});
        notified.clear();
        list.FocusAnswer(0);
        for (WPARAM key : c.keys) Key(list.Handle(), key);
        EXPECT_EQ(Selected(), c.selected) << int(c.mode) << " " << c.keys.size();
        EXPECT_EQ(notified, c.notified) << int(c.mode);
        EXPECT_EQ(list.FocusedPosition(), c.focused) << int(c.mode);
        EXPECT_EQ(GetFocus(), list.Handle());
    }
    // A locked list (the right-answer window's) takes no keys.
    Fill(lmSingle, {"A", "B"});
    list.Model.Locked = true;
    Key(list.Handle(), '1');
    EXPECT_TRUE(Selected().empty());
}

// Ctrl+Up / Ctrl+Down move the focused ordering answer one place, the keyboard going with it;
// without Ctrl, or at the ends, nothing moves.
TEST_F(AnswersFrameTest, CtrlUpAndDownMoveTheFocusedOrderingAnswer) {
    Fill(lmOrdering, {"A", "B", "C"});
    list.FocusAnswer(0);
    Key(list.Handle(), VK_DOWN);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"A", "B", "C"})) << "Down alone scrolls, in the stage";
    {
        THeldKey ctrl(VK_CONTROL);
        Key(list.Handle(), VK_DOWN);
        EXPECT_EQ(Texts(), (std::vector<std::string>{"B", "A", "C"}));
        EXPECT_EQ(list.FocusedPosition(), 1);
        Key(list.Handle(), VK_DOWN);
        Key(list.Handle(), VK_DOWN);
        EXPECT_EQ(Texts(), (std::vector<std::string>{"B", "C", "A"})) << "the last stays last";
        EXPECT_EQ(list.FocusedPosition(), 2);
        Key(list.Handle(), VK_UP);
        EXPECT_EQ(Texts(), (std::vector<std::string>{"B", "A", "C"}));
        EXPECT_EQ(list.FocusedPosition(), 1);
    }
    EXPECT_TRUE(Selected().empty()) << "a keyboard move carries no selection colour";
    // The panels are stacked in the new order, as after a drop.
    EXPECT_LT(list.PanelRect(0).top, list.PanelRect(1).top);
    EXPECT_EQ(list.HitTest(Centre(list.PanelRect(1))), 1);

    // Single choice has no order to change.
    Fill(lmSingle, {"A", "B"});
    list.FocusAnswer(0);
    THeldKey ctrl(VK_CONTROL);
    Key(list.Handle(), VK_DOWN);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"A", "B"}));
}

// The focused answer is framed by a dotted rectangle inside its panel, once the keyboard has
// been used and while the list has the focus; the mouse alone sees the list as it always was.
TEST_F(AnswersFrameTest, TheFocusRectangleShowsOnceTheKeyboardIsUsed) {
    Fill(lmSingle, {"A", "B", "C"});
    list.FocusAnswer(1);
    const auto dotted = [&](const RECT& panel) {
        // Along a line 3 pixels inside the panel's top edge: the background, or dots on it.
        int differing = 0;
        const TRgb background = ScreenPixel({panel.left + 1, panel.top + 1});
        for (int x = panel.left + 4; x < panel.right - 4; ++x)
            if (ScreenPixel({x, panel.top + 3}) != background) ++differing;
        return differing;
    };
    EXPECT_FALSE(list.KeyboardCues());
    EXPECT_EQ(list.FocusRect().right, 0) << "no cues yet";
    EXPECT_EQ(dotted(list.PanelRect(1)), 0);
    Key(list.Handle(), VK_SPACE);  // chooses B and turns the cues on
    ASSERT_TRUE(list.KeyboardCues());
    RECT focus = list.FocusRect();
    RECT panel = list.PanelRect(1);
    EXPECT_EQ(focus.left, panel.left + 3);
    EXPECT_EQ(focus.top, panel.top + 3);
    EXPECT_EQ(focus.bottom, panel.bottom - 3);
    EXPECT_GT(dotted(panel), 10) << "dots on the selected answer";
    EXPECT_EQ(dotted(list.PanelRect(0)), 0) << "none on the others";
    EXPECT_EQ(ScreenPixel({panel.right - 2, panel.bottom - 2}), kRed) << "the selection colour stays";

    // It follows the keyboard, and goes while the focus is elsewhere.
    list.FocusAnswer(2);
    EXPECT_EQ(dotted(list.PanelRect(1)), 0);
    EXPECT_GT(dotted(list.PanelRect(2)), 10);
    SetFocus(parent);
    EXPECT_EQ(list.FocusRect().right, 0);
    EXPECT_EQ(dotted(list.PanelRect(2)), 0);
}

// A new question starts with nobody focused; the focus then lands on its first answer.
TEST_F(AnswersFrameTest, TakingTheFocusPutsTheKeyboardOnTheFirstAnswer) {
    Fill(lmMultiple, {"A", "B"});
    list.FocusAnswer(1);
    Fill(lmMultiple, {"C", "D", "E"});
    EXPECT_EQ(list.FocusedPosition(), -1);
    SetFocus(parent);
    SetFocus(list.Handle());
    EXPECT_EQ(list.FocusedPosition(), 0);
    list.FocusAnswer(7);
    EXPECT_EQ(list.FocusedPosition(), 2) << "clamped into the list";
    // A click moves the keyboard on from the answer clicked.
    Click(0);
    EXPECT_EQ(list.FocusedPosition(), 0);
}

// ---- At the screen's scaling ----

namespace {

constexpr wchar_t kDpiParentClass[] = L"AnswersFrameDpiParent";

// The answers' font as the list is to make it: "Times New Roman" of `points` at `dpi`.
HFONT AnswerFont(int points, int dpi) {
    return CreateFontW(PointsToHeight(points, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, RUSSIAN_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       L"Times New Roman");
}

// A list of a text answer, a sound answer with Play and Stop, and a long text, in a parent of
// its own; every size in design pixels scaled for the screen.
struct TListAtDpi {
    const int Dpi = ExpectedTestDpi();
    HWND Parent = nullptr;
    TOwned<TfrAnswersList> List;

    explicit TListAtDpi(uint8_t mode) {
        Parent = CreateTestParent(kDpiParentClass, L"parent", ScaleForDpi(400, Dpi), ScaleForDpi(600, Dpi));
        if (!List.Create(Parent, 0, 0, ScaleForDpi(320, Dpi), ScaleForDpi(500, Dpi))) return;
        List.FontSize = 12;
        List.Model.Mode = mode;
        List.AddAnswer(C("короткий"), akNone, "", TAttachOptions(), 1);
        List.AddAnswer(C("ответ со звуком"), akSound, "sound.wav", TAttachOptions(), 0);
        List.AddAnswer(LongText(), akNone, "", TAttachOptions(), 0);
    }
    ~TListAtDpi() {
        if (GetCapture() != nullptr) ReleaseCapture();
        DestroyWindow(Parent);
    }
};

RECT RectInList(HWND child, HWND list) {
    RECT rc;
    GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, list, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// Where every part of the list must be at `dpi`: the panels 10 from the sides and 10 apart,
// each as high as its text wrapped with the answers' font, the sound's buttons 50 x 24 beside it.
void ExpectListLaidOutFor(TfrAnswersList& list, int dpi) {
    const auto s = [dpi](int design) { return ScaleForDpi(design, dpi); };
    RECT client;
    GetClientRect(list.Handle(), &client);
    HFONT font = AnswerFont(12, dpi);
    LOGFONTW drawn = {};
    GetObjectW(list.Font(), sizeof(drawn), &drawn);
    EXPECT_EQ(drawn.lfHeight, PointsToHeight(12, dpi)) << "the answers' font made for the DPI";
    int expectedTop = s(10) + list.ContentTop();
    for (int i = 0; i < list.Count(); ++i) {
        SCOPED_TRACE(testing::Message() << "answer " << i);
        const TAnswerEntry& entry = list.Model.Entries()[static_cast<size_t>(i)];
        const RECT panel = list.PanelRect(i);
        EXPECT_EQ(panel.left, s(10));
        EXPECT_EQ(panel.right, client.right - s(10));
        EXPECT_EQ(panel.top, expectedTop) << "10 below the content top or the answer above";
        const int width = panel.right - panel.left;
        const bool sound = entry.AttachKind == akSound;
        const int labelLeft = sound ? s(10) + s(120) : s(10);
        const int textHeight = WrappedTextHeight(list.Handle(), Wide(entry.Text), width - labelLeft - s(10), font);
        EXPECT_EQ(panel.bottom - panel.top, std::max({textHeight, s(20), sound ? s(24) : 0}) + 2 * s(10))
            << "the text measured with the answers' font at " << dpi << " DPI";
        expectedTop = panel.bottom + s(10);
        if (sound) {
            const RECT play = RectInList(list.PlayButton(i), list.Handle());
            const RECT stop = RectInList(list.StopButton(i), list.Handle());
            EXPECT_EQ(play.left, panel.left + s(10));
            EXPECT_EQ(play.top, panel.top + s(10));
            EXPECT_EQ(play.right - play.left, s(50));
            EXPECT_EQ(play.bottom - play.top, s(24));
            EXPECT_EQ(stop.left, play.right + s(10));
            EXPECT_EQ(stop.top, play.top);
            EXPECT_EQ(stop.right - stop.left, s(50));
            EXPECT_EQ(stop.bottom - stop.top, s(24));
        }
    }
    EXPECT_EQ(list.ContentHeight(), expectedTop - list.ContentTop()) << "10 free below the last answer";
    DeleteObject(font);
}

}  // namespace

TEST(DpiFit, AnswerListPanelsButtonsAndTextsAtTheScreensScaling) {
    TListAtDpi at(lmSingle);
    ASSERT_NE(at.List.Handle(), nullptr);
    EXPECT_EQ(at.List.Dpi(), at.Dpi);
    ExpectListLaidOutFor(at.List, at.Dpi);
    EXPECT_GT(at.List.PanelRect(2).bottom - at.List.PanelRect(2).top, at.List.PanelRect(0).bottom - at.List.PanelRect(0).top)
        << "the long answer wraps";
    EXPECT_TEXTS_FIT(at.Parent);

    // Scrolled, the panels and the buttons move together.
    at.List.SetContentTop(-ScaleForDpi(25, at.Dpi));
    ExpectListLaidOutFor(at.List, at.Dpi);
}

// Pointing and the keyboard find the answers where they are drawn, whatever the scaling: the
// margins beside the panels and the gaps between them are nobody's.
TEST(DpiFit, AnswerListHitTestsClicksDragsAndFocusAtTheScreensScaling) {
    TListAtDpi at(lmSingle);
    ASSERT_NE(at.List.Handle(), nullptr);
    TfrAnswersList& list = at.List;
    const auto s = [&](int design) { return ScaleForDpi(design, at.Dpi); };
    for (int i = 0; i < list.Count(); ++i) {
        const RECT rc = list.PanelRect(i);
        EXPECT_EQ(list.HitTest({rc.left, rc.top}), i);
        EXPECT_EQ(list.HitTest({rc.right - 1, rc.bottom - 1}), i);
        EXPECT_EQ(list.HitTest({rc.left - 1, rc.top}), -1) << "the left margin";
        EXPECT_EQ(list.HitTest({rc.right, rc.top}), -1) << "the right margin";
        EXPECT_EQ(list.HitTest({rc.left, rc.bottom}), -1) << "the gap below";
    }
    const auto centre = [&](int position) {
        const RECT rc = list.PanelRect(position);
        return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    };
    const auto press = [&](POINT at) { SendMessageW(list.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y)); };
    const auto release = [&](POINT at) { SendMessageW(list.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y)); };
    press(centre(2));
    release(centre(2));
    EXPECT_TRUE(list.Model.Entries()[2].Selected);
    EXPECT_EQ(list.ColorsOf(2).Background, kRed);

    // The keyboard's frame keeps 3 inside the answer's.
    list.FocusAnswer(0);
    list.ShowKeyboardCues();
    const RECT focus = list.FocusRect();
    const RECT panel = list.PanelRect(0);
    EXPECT_EQ(focus.left, panel.left + s(3));
    EXPECT_EQ(focus.top, panel.top + s(3));
    EXPECT_EQ(focus.right, panel.right - s(3));
    EXPECT_EQ(focus.bottom, panel.bottom - s(3));

    // Ordering: the first answer carried onto the last goes below it.
    list.Model.Mode = lmOrdering;
    press(centre(0));
    EXPECT_EQ(list.DraggedPosition(), 0);
    SendMessageW(list.Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(centre(2).x, centre(2).y));
    release(centre(2));
    EXPECT_EQ(list.DraggedPosition(), -1);
    EXPECT_EQ(list.Model.Weights(), (std::vector<int32_t>{0, 0, 1}));
    EXPECT_EQ(Cp1251ToUtf8(list.Model.Entries()[2].Text), "короткий");
    ExpectListLaidOutFor(list, at.Dpi);
}

// Moved to a screen of another scaling, the list makes its fonts again and lays every answer out
// for it; back on the first screen everything is where it was.
TEST(DpiFit, AnswerListLaysItselfOutAgainForANewDpi) {
    TListAtDpi at(lmSingle);
    ASSERT_NE(at.List.Handle(), nullptr);
    TfrAnswersList& list = at.List;
    std::vector<RECT> before;
    for (int i = 0; i < list.Count(); ++i) before.push_back(list.PanelRect(i));
    const RECT playBefore = RectInList(list.PlayButton(1), list.Handle());
    const LONG buttonFont = FontHeightOf(list.PlayButton(1));

    for (const int other : {at.Dpi * 2, at.Dpi * 5 / 4}) {
        SCOPED_TRACE(testing::Message() << "to " << other << " DPI");
        SendMessageW(list.Handle(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(other, other), 0);
        EXPECT_EQ(list.Dpi(), other);
        ExpectListLaidOutFor(list, other);
        EXPECT_EQ(FontHeightOf(list.PlayButton(1)), MulDiv(buttonFont, other, at.Dpi));
        EXPECT_EQ(FontHeightOf(list.StopButton(1)), MulDiv(buttonFont, other, at.Dpi));
        // A move after the change keeps the new gaps.
        list.Model.Mode = lmOrdering;
        list.FocusAnswer(0);
        list.MoveFocusedAnswer(1);
        list.MoveFocusedAnswer(-1);
        ExpectListLaidOutFor(list, other);
    }

    SendMessageW(list.Handle(), 0x02E0, MAKEWPARAM(at.Dpi, at.Dpi), 0);
    EXPECT_EQ(list.Dpi(), at.Dpi);
    for (int i = 0; i < list.Count(); ++i) {
        const RECT rc = list.PanelRect(i);
        EXPECT_TRUE(EqualRect(&rc, &before[static_cast<size_t>(i)])) << "answer " << i;
    }
    const RECT playAfter = RectInList(list.PlayButton(1), list.Handle());
    EXPECT_TRUE(EqualRect(&playAfter, &playBefore));
    EXPECT_EQ(FontHeightOf(list.PlayButton(1)), buttonFont);
}

// A list left at font size 0 (the right-answer window's) has the platform's default height at
// the system's DPI, and as much more on a screen of a larger one.
TEST(DpiFit, AnswerListOfTheDefaultFontSizeGrowsWithTheDpi) {
    const int dpi = ExpectedTestDpi();
    HWND parent = CreateTestParent(kDpiParentClass, L"parent", ScaleForDpi(400, dpi), ScaleForDpi(600, dpi));
    {
        TOwned<TfrAnswersList> list;
        ASSERT_TRUE(list.Create(parent, 0, 0, ScaleForDpi(320, dpi), ScaleForDpi(500, dpi)));
        list.AddAnswer(C("ответ"), akNone, "", TAttachOptions(), 0);
        const auto cellHeight = [&list]() {
            HDC dc = GetDC(list.Handle());
            HGDIOBJ old = SelectObject(dc, list.Font());
            TEXTMETRICW metrics = {};
            GetTextMetricsW(dc, &metrics);
            SelectObject(dc, old);
            ReleaseDC(list.Handle(), dc);
            return static_cast<int>(metrics.tmHeight);
        };
        const int here = cellHeight();
        ASSERT_GT(here, 0);
        LOGFONTW lf = {};
        GetObjectW(list.Font(), sizeof(lf), &lf);
        EXPECT_EQ(lf.lfHeight, 0) << "the platform's own default at the system's DPI";

        SendMessageW(list.Handle(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi * 2, dpi * 2), 0);
        EXPECT_NEAR(cellHeight(), 2 * here, 2);
        const RECT panel = list.PanelRect(0);
        EXPECT_EQ(panel.bottom - panel.top,
                  std::max(WrappedTextHeight(list.Handle(), L"ответ", panel.right - panel.left - 2 * ScaleForDpi(10, 2 * dpi),
                                             list.Font()),
                           ScaleForDpi(20, 2 * dpi)) +
                      2 * ScaleForDpi(10, 2 * dpi));
    }
    DestroyWindow(parent);
}
