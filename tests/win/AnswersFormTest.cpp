#include <windows.h>
#include <oleacc.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "answers/AnswersFormUnit.h"
#include "model/Codepage.h"
#include "model/Random.h"
#include "tests/win/DpiFit.h"
#include "tests/win/WinTestUtil.h"

namespace {

constexpr wchar_t kMainClass[] = L"AnswersTestMain";

std::string C(const char* utf8) { return Utf8ToCp1251(utf8); }

TTestAnswer Answer(const char* utf8, int8_t weight = 0) {
    TTestAnswer answer;
    answer.Text = C(utf8);
    answer.Weight = weight;
    return answer;
}

std::vector<TTestAnswer> Answers(std::initializer_list<int8_t> weights) {
    static const char* const kTexts[] = {"первый", "второй", "третий", "четвёртый", "пятый", "шестой", "седьмой"};
    std::vector<TTestAnswer> answers;
    for (int8_t weight : weights) answers.push_back(Answer(kTexts[answers.size() % 7], weight));
    return answers;
}

RECT RectIn(HWND hwnd, HWND parent) {
    RECT rc;
    GetWindowRect(hwnd, &rc);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

bool HasStyle(HWND hwnd, LONG style) { return (GetWindowLongW(hwnd, GWL_STYLE) & style) == style; }

SCROLLINFO ScrollInfo(HWND bar) {
    SCROLLINFO si = {};
    si.cbSize = sizeof(si);
    si.fMask = SIF_ALL;
    GetScrollInfo(bar, SB_CTL, &si);
    return si;
}

void SetScrollPosition(HWND bar, int pos) {
    SCROLLINFO si = {};
    si.cbSize = sizeof(si);
    si.fMask = SIF_POS;
    si.nPos = pos;
    SetScrollInfo(bar, SB_CTL, &si, FALSE);
}

// The caption of the answer shown at `position`.
std::string ListText(const TfrAnswersList& list, int position) {
    return list.Model.Entries()[static_cast<size_t>(position)].Text;
}

// A click with the mouse on the answer shown at `position`, as the answer list receives it.
void ClickItem(const TfrAnswersList& list, int position) {
    const RECT rc = list.PanelRect(position);
    const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    PostMessageW(list.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(list.Handle(), WM_LBUTTONUP, 0, at);
    ProcessMessages();
}

std::vector<int> SelectedPositions(const TfrAnswersList& list) {
    std::vector<int> selected;
    for (int i = 0; i < list.Count(); ++i)
        if (list.Model.Entries()[static_cast<size_t>(i)].Selected) selected.push_back(i);
    return selected;
}

// Where the answer with file index `index` is shown.
int PositionOf(const TfAnswers& answers, size_t index) {
    const auto order = answers.DisplayOrder();
    return static_cast<int>(std::find(order.begin(), order.end(), index) - order.begin());
}

class AnswersFormTest : public ::testing::Test {
protected:
    uint8_t outcome = 0;
    TOwned<TfAnswers> answers{outcome};
    HWND main = nullptr;

    void SetUp() override {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kMainClass;
        RegisterClassExW(&wc);
        main = CreateWindowExW(0, kMainClass, L"main", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 1000, 700, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(main, nullptr);
        ASSERT_TRUE(answers.Create(main));
        answers.SetFontSize(12);
    }
    void TearDown() override { DestroyWindow(main); }

    // On screen as after the slide-in: shown, with a given client height.
    void ShowWithClientHeight(int clientHeight) {
        ShowWindow(main, SW_SHOW);
        RECT window, client;
        GetWindowRect(answers.Handle(), &window);
        GetClientRect(answers.Handle(), &client);
        const int frame = (window.bottom - window.top) - client.bottom;
        SetWindowPos(answers.Handle(), nullptr, 0, 0, window.right - window.left, clientHeight + frame,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_SHOWWINDOW);
        ProcessMessages();
    }
    void Load(const std::vector<TTestAnswer>& list, uint8_t answerMode, bool shuffle = false) {
        answers.LoadAnswers(list, shuffle, answerMode);
        ShowWithClientHeight(300);
    }
    void TypeInMemo(const std::wstring& text) {
        SendMessageW(answers.mmInputAnswer, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
};

}  // namespace

TEST_F(AnswersFormTest, CaptionedResizableChildWithoutSystemMenuAndHiddenAtFirst) {
    HWND hwnd = answers.Handle();
    EXPECT_EQ(WindowText(hwnd), L"Ответы");
    EXPECT_EQ(GetParent(hwnd), main);
    EXPECT_TRUE(HasStyle(hwnd, WS_CHILD | WS_CAPTION | WS_THICKFRAME));
    EXPECT_FALSE(HasStyle(hwnd, WS_SYSMENU)) << "no caption buttons";
    EXPECT_FALSE(HasStyle(hwnd, WS_VISIBLE));

    wchar_t cls[64] = {};
    GetClassNameW(answers.scbVert, cls, 64);
    EXPECT_STREQ(cls, L"ScrollBar");
    EXPECT_TRUE(HasStyle(answers.scbVert, SBS_VERT));
    EXPECT_FALSE(HasStyle(answers.scbVert, WS_TABSTOP));
    SCROLLINFO si = ScrollInfo(answers.scbVert);
    EXPECT_EQ(si.nMin, 0);
    EXPECT_EQ(si.nMax, 100);
    EXPECT_EQ(WindowText(answers.btnOk), L"ОК");
    EXPECT_EQ(WindowText(answers.btnOk), std::wstring(L"\x041E\x041A")) << "Cyrillic letters";
}

TEST_F(AnswersFormTest, EachAnswerModeGivesItsWindowModeHintAndStartOfOk) {
    const struct {
        uint8_t answerMode;
        uint8_t windowMode;
        const wchar_t* hint;
        bool okEnabled;
        bool input;
    } cases[] = {
        {0, 0, L"Укажите единственно правильный ответ, щелкнув по нему мышью, а затем нажмите кнопку \"ОК\"", false,
         false},
        {2, 1, L"Выделите нужные ответы, щелкнув по ним мышью. Затем нажмите кнопку \"ОК\"", false, false},
        {3, 2, L"Измените порядок следования ответов, перетаскивая их мышью. Затем нажмите \"ОК\"", true, false},
        {1, 3, L"Введите ответ в поле ввода с клавиатуры. Затем нажмите \"ОК\" или [CTRL+ENTER]", true, true},
    };
    // Every mode is entered from every other one: what one mode leaves must not leak into the next.
    for (const auto& before : cases) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << "answer mode " << int(before.answerMode) << " then " << int(c.answerMode));
            Load(Answers({1, 0, 0}), before.answerMode);
            TypeInMemo(L"старый текст");
            if (!before.input) ClickItem(answers.frAnswersList, 1);
            Load(Answers({1, 0, 0}), c.answerMode);
            EXPECT_EQ(answers.Mode(), c.windowMode);
            EXPECT_EQ(WindowText(answers.lbHint), c.hint);
            EXPECT_EQ(IsWindowEnabled(answers.btnOk) != FALSE, c.okEnabled);
            EXPECT_EQ(answers.InputVisible(), c.input);
            EXPECT_EQ(IsWindowVisible(answers.pnlInput) != FALSE, c.input);
            EXPECT_EQ(IsWindowVisible(answers.scbVert) != FALSE, !c.input);
            EXPECT_EQ(IsWindowVisible(answers.frAnswersList.Handle()) != FALSE, !c.input);
            EXPECT_EQ(WindowText(answers.mmInputAnswer), L"") << "the memo starts empty";
            EXPECT_EQ(answers.frAnswersList.Model.Mode, c.windowMode);
            EXPECT_EQ(answers.frAnswersList.Count(), c.input ? 0 : 3);
            EXPECT_EQ(SelectedPositions(answers.frAnswersList), std::vector<int>{}) << "a fresh choice";
        }
    }
}

TEST_F(AnswersFormTest, AnAnswerModeOutsideTheFourKeepsModeHintAndOkButRefillsTheList) {
    Load(Answers({1, 0}), 0);
    ClickItem(answers.frAnswersList, 0);
    ASSERT_TRUE(IsWindowEnabled(answers.btnOk));
    const std::wstring hint = WindowText(answers.lbHint);
    Load(Answers({1, 0, 2}), 7);
    EXPECT_EQ(answers.Mode(), 0);
    EXPECT_EQ(WindowText(answers.lbHint), hint);
    EXPECT_TRUE(IsWindowEnabled(answers.btnOk));
    EXPECT_EQ(answers.frAnswersList.Count(), 3);
    EXPECT_EQ(answers.GetAnswerText(), "") << "nothing chosen in the fresh list";

    // After a typed question the text box stays, with what was typed.
    Load({Answer("кот", 1)}, 1);
    TypeInMemo(L"кот");
    Load(Answers({1, 0}), 255);
    EXPECT_EQ(answers.Mode(), 3);
    EXPECT_TRUE(answers.InputVisible());
    EXPECT_TRUE(IsWindowVisible(answers.mmInputAnswer));
    EXPECT_EQ(WindowText(answers.mmInputAnswer), L"кот");
    EXPECT_EQ(answers.GetAnswerText(), "[" + C("кот") + "]");
    EXPECT_EQ(answers.GetScore(), 1) << "judged against the typed question's answers";
}

TEST_F(AnswersFormTest, LoadHidesAndSizesFromTheMainWindowRoundingHalvesToEven) {
    const struct {
        int mainWidth, mainHeight;
        int width, top;
    } cases[] = {
        {1000, 700, 470, 210},
        {1001, 705, 470, 212},  // 500.5 -> 500, 211.5 -> 212
        {1003, 715, 472, 214},  // 501.5 -> 502, 214.5 -> 214
        {999, 699, 470, 210},   // 499.5 -> 500, 209.7 -> 210
    };
    ShowWindow(main, SW_SHOW);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.mainWidth << "x" << c.mainHeight);
        SetWindowPos(main, nullptr, 0, 0, c.mainWidth, c.mainHeight, SWP_NOMOVE | SWP_NOZORDER);
        SetWindowPos(answers.Handle(), nullptr, 123, 45, 300, 250, SWP_NOZORDER | SWP_SHOWWINDOW);
        answers.LoadAnswers(Answers({1, 0}), false, 0);
        EXPECT_FALSE(IsWindowVisible(answers.Handle()));
        RECT rc = RectIn(answers.Handle(), main);
        EXPECT_EQ(rc.right - rc.left, c.width);
        EXPECT_EQ(rc.top, c.top);
        EXPECT_EQ(rc.left, 123) << "the left edge belongs to the slide-in";
        EXPECT_EQ(rc.bottom - rc.top, 250);
    }
}

TEST_F(AnswersFormTest, ShuffleIsACyclicPermutationAndOffKeepsStoredOrder) {
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        for (size_t n = 0; n <= 6; ++n) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << ", " << n << " answers");
            std::vector<TTestAnswer> list;
            for (size_t i = 0; i < n; ++i) list.push_back(Answer(std::to_string(i).c_str(), 0));
            RandomSeed(seed);
            answers.LoadAnswers(list, true, 0);
            const std::vector<size_t> order = answers.DisplayOrder();
            ASSERT_EQ(order.size(), n);
            // One cycle through all answers: none stays in place, and none is left out.
            if (n > 0) {
                size_t at = 0, steps = 0;
                do {
                    at = order[at];
                    ++steps;
                } while (at != 0 && steps <= n);
                EXPECT_EQ(steps, n);
            }
            if (n == 2) {
                EXPECT_EQ(order, (std::vector<size_t>{1, 0}));
            }
            for (size_t position = 0; position < n; ++position) {
                EXPECT_EQ(ListText(answers.frAnswersList, static_cast<int>(position)), std::to_string(order[position]));
            }
        }
    }
    answers.LoadAnswers(Answers({0, 0, 0, 0, 0}), false, 2);
    EXPECT_EQ(answers.DisplayOrder(), (std::vector<size_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(ListText(answers.frAnswersList, 0), C("первый"));
}

TEST_F(AnswersFormTest, ShuffleDrawsFromTheProgramsGenerator) {
    std::set<std::vector<size_t>> seen;
    for (uint32_t seed = 1; seed <= 30; ++seed) {
        RandomSeed(seed);
        answers.LoadAnswers(Answers({0, 0, 0, 0, 0}), true, 3);
        const std::vector<size_t> first = answers.DisplayOrder();
        RandomSeed(seed);
        answers.LoadAnswers(Answers({0, 0, 0, 0, 0}), true, 3);
        EXPECT_EQ(answers.DisplayOrder(), first) << "same seed, same order";
        seen.insert(first);
    }
    EXPECT_GT(seen.size(), 5u) << "the order depends on the generator";
}

TEST_F(AnswersFormTest, ShownTextHasItsSpacesCollapsed) {
    Load({Answer("  два   слова  "), Answer("строка/nвторая")}, 0);
    EXPECT_EQ(ListText(answers.frAnswersList, 0), C("два слова "));
    EXPECT_EQ(ListText(answers.frAnswersList, 1), C("строка/nвторая"));
}

TEST_F(AnswersFormTest, SingleChoiceEnablesOkAtTheFirstClickAndKeepsIt) {
    Load(Answers({0, 3, 1}), 0);
    EXPECT_FALSE(IsWindowEnabled(answers.btnOk));
    ClickItem(answers.frAnswersList, 1);
    EXPECT_TRUE(IsWindowEnabled(answers.btnOk));
    ClickItem(answers.frAnswersList, 1);
    EXPECT_TRUE(IsWindowEnabled(answers.btnOk));
    EXPECT_EQ(SelectedPositions(answers.frAnswersList), std::vector<int>{1}) << "a second click keeps it chosen";
    ClickItem(answers.frAnswersList, 2);
    EXPECT_EQ(SelectedPositions(answers.frAnswersList), std::vector<int>{2});
    EXPECT_EQ(answers.GetScore(), 1.0L / 3);
}

TEST_F(AnswersFormTest, MultipleChoiceDisablesOkAgainWhenTheLastAnswerIsDeselected) {
    Load(Answers({1, 1, -1}), 2);
    const struct {
        int click;
        bool ok;
    } steps[] = {{0, true}, {2, true}, {0, true}, {2, false}, {1, true}, {1, false}};
    for (const auto& s : steps) {
        ClickItem(answers.frAnswersList, s.click);
        EXPECT_EQ(IsWindowEnabled(answers.btnOk) != FALSE, s.ok) << "after a click on " << s.click;
    }
}

TEST_F(AnswersFormTest, ScoreAndLogTextFollowTheShownOrderAndSelection) {
    const std::string a = C("первый"), b = C("второй"), c = C("третий");
    const struct {
        const char* what;
        uint8_t answerMode;
        std::vector<int8_t> weights;
        bool shuffle;
        std::vector<size_t> chosen;  // file indices
        long double score;
        std::vector<size_t> logged;  // file indices, empty for the shown order
    } cases[] = {
        {"single, nothing chosen", 0, {0, 3, 1}, true, {}, 0, {}},
        {"single, third of 0 3 1", 0, {0, 3, 1}, true, {2}, 1.0L / 3, {2}},
        {"single, all weights 0", 0, {0, 0}, true, {1}, 1, {1}},
        {"multiple, all of 1 1 -1", 2, {1, 1, -1}, true, {0, 1, 2}, 0.5L, {}},
        {"multiple, only the negative", 2, {1, 1, -1}, true, {2}, 0, {2}},
        {"multiple, the two right", 2, {1, 1, -1}, false, {0, 1}, 1, {0, 1}},
        {"ordering, ranks as stored", 3, {1, 2, 3}, false, {}, 1, {0, 1, 2}},
        {"ordering, shuffled ranks", 3, {1, 2, 3}, true, {}, 0, {}},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.what);
        std::vector<TTestAnswer> list;
        for (int8_t w : t.weights) list.push_back(Answers({w})[0]);
        list[0].Text = a;
        if (list.size() > 1) list[1].Text = b;
        if (list.size() > 2) list[2].Text = c;
        RandomSeed(7);
        Load(list, t.answerMode, t.shuffle);
        for (size_t index : t.chosen) ClickItem(answers.frAnswersList, PositionOf(answers, index));
        EXPECT_EQ(answers.GetScore(), t.score);
        EXPECT_EQ(answers.GetScore(), t.score) << "asking twice changes nothing";

        std::vector<size_t> logged = t.logged;
        if (logged.empty() && (t.answerMode == 3 || t.chosen.size() == t.weights.size())) logged = answers.DisplayOrder();
        // The log keeps the shown order, whatever order the clicks came in.
        std::sort(logged.begin(), logged.end(),
                  [&](size_t x, size_t y) { return PositionOf(answers, x) < PositionOf(answers, y); });
        std::string expected;
        for (size_t index : logged) expected += (expected.empty() ? "" : "\r\n") + (" - [" + list[index].Text + "]");
        EXPECT_EQ(answers.GetAnswerText(), expected);
    }
}

TEST_F(AnswersFormTest, DraggingInOrderingChangesTheScoreAndTheLoggedOrder) {
    // Two answers are always shown reversed; dragging the lower one up puts them right.
    Load({Answer("первый", 1), Answer("второй", 2)}, 3, true);
    ASSERT_EQ(answers.DisplayOrder(), (std::vector<size_t>{1, 0}));
    EXPECT_EQ(answers.GetScore(), 0);
    const TfrAnswersList& list = answers.frAnswersList;
    auto centre = [&](int position) {
        const RECT rc = list.PanelRect(position);
        return MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    };
    PostMessageW(list.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, centre(1));
    PostMessageW(list.Handle(), WM_MOUSEMOVE, MK_LBUTTON, centre(0));
    PostMessageW(list.Handle(), WM_LBUTTONUP, 0, centre(0));
    ProcessMessages();
    EXPECT_EQ(answers.DisplayOrder(), (std::vector<size_t>{0, 1}));
    EXPECT_EQ(answers.GetScore(), 1);
    EXPECT_EQ(answers.GetAnswerText(), " - [" + C("первый") + "]\r\n - [" + C("второй") + "]");
    EXPECT_TRUE(IsWindowEnabled(answers.btnOk)) << "ordering can be confirmed at any time";
}

TEST_F(AnswersFormTest, TypedAnswerIsJudgedAgainstTheVariantsAndLoggedInBrackets) {
    const struct {
        const wchar_t* typed;
        long double score;
    } cases[] = {
        {L"Это кот", 1},
        {L"котёнок", 1},
        {L"скот", 0},
        {L"кот и собака", 0},
        {L"\r\nкот", 0},  // the line break is "/n", not a space
        {L"", 0},
    };
    std::vector<TTestAnswer> list = {Answer("кошка", 5), Answer("собака", -5)};
    list[0].Text += '\xA6' + C("кот");
    for (const auto& c : cases) {
        SCOPED_TRACE(Cp1251ToUtf8(WideToCp1251(c.typed)));
        Load(list, 1, true);
        TypeInMemo(c.typed);
        EXPECT_EQ(answers.GetScore(), c.score);
        EXPECT_EQ(answers.GetAnswerText(), "[" + WideToCp1251(c.typed) + "]") << "line breaks as typed";
    }
    Load({}, 1);
    EXPECT_EQ(answers.GetScore(), 1) << "a typed question without answers";
}

TEST_F(AnswersFormTest, OkSetsAnsweredOnlyWhileNothingElseHasHappened) {
    const struct {
        uint8_t before, after;
    } cases[] = {{0, 1}, {1, 1}, {4, 4}, {2, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.before));
        Load(Answers({1}), 3);
        outcome = c.before;
        SendMessageW(answers.btnOk, BM_CLICK, 0, 0);
        ProcessMessages();
        EXPECT_EQ(outcome, c.after);
        outcome = c.before;
        answers.btnOkClick();
        EXPECT_EQ(outcome, c.after);
    }
    // The button's state is not consulted by the handler itself.
    Load(Answers({1}), 0);
    ASSERT_FALSE(IsWindowEnabled(answers.btnOk));
    outcome = 0;
    answers.btnOkClick();
    EXPECT_EQ(outcome, 1);
}

TEST_F(AnswersFormTest, CtrlEnterInTheMemoConfirmsWithoutALineBreakWhileEnterAddsOne) {
    Load({Answer("кот", 1)}, 1);
    SetForegroundWindow(main);
    SetFocus(answers.mmInputAnswer);
    ProcessMessages();
    ASSERT_EQ(GetFocus(), answers.mmInputAnswer);
    auto key = [](WORD vk, bool up) {
        INPUT in = {};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        return in;
    };
    auto send = [](std::vector<INPUT> inputs) {
        SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
        for (int i = 0; i < 10; ++i) {
            Sleep(10);
            ProcessMessages();
        }
    };
    send({key('A', false), key('A', true), key(VK_RETURN, false), key(VK_RETURN, true), key('B', false),
          key('B', true)});
    EXPECT_EQ(WindowText(answers.mmInputAnswer), L"a\r\nb");
    EXPECT_EQ(outcome, 0) << "Enter alone does not confirm";

    send({key(VK_CONTROL, false), key(VK_RETURN, false), key(VK_RETURN, true), key(VK_CONTROL, true)});
    EXPECT_EQ(outcome, 1);
    EXPECT_EQ(WindowText(answers.mmInputAnswer), L"a\r\nb");
    EXPECT_EQ(answers.GetAnswerText(), "[a\r\nb]");

    // Ctrl let go: Enter is a line break again.
    send({key(VK_RETURN, false), key(VK_RETURN, true)});
    EXPECT_EQ(WindowText(answers.mmInputAnswer), L"a\r\nb\r\n");
    EXPECT_EQ(outcome, 1);
}

TEST_F(AnswersFormTest, MemoAndListTakeTheAnswerFontSize) {
    answers.SetFontSize(14);
    HDC dc = GetDC(nullptr);
    const int expected = -MulDiv(14, GetDeviceCaps(dc, LOGPIXELSY), 72);
    ReleaseDC(nullptr, dc);
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(answers.mmInputAnswer, WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_EQ(font.lfHeight, expected);
    EXPECT_STREQ(font.lfFaceName, L"Times New Roman");
    EXPECT_EQ(font.lfCharSet, RUSSIAN_CHARSET);
    EXPECT_EQ(answers.frAnswersList.FontSize, 14);

    // The answers' panels grow with the size of their text.
    Load(Answers({1, 0}), 2);
    const int small = answers.ContentHeight();
    answers.SetFontSize(40);
    Load(Answers({1, 0}), 2);
    EXPECT_GT(answers.ContentHeight(), small);
}

TEST_F(AnswersFormTest, ControlStripGrowsWithTheHintAndTheAnswersFillTheRest) {
    Load(Answers({1, 0}), 0);
    answers.SetHint("x");
    EXPECT_EQ(answers.ControlHeight(), 49) << "the button's height decides for a one-line hint";
    const int shortHeight = answers.ControlHeight();
    std::string longHint;
    for (int i = 0; i < 40; ++i) longHint += C("очень длинная подсказка ");
    answers.SetHint(longHint);
    const int longHeight = answers.ControlHeight();
    EXPECT_GT(longHeight, shortHeight);
    RECT hint = RectIn(answers.lbHint, answers.pnlControl);
    EXPECT_EQ(longHeight, std::max<LONG>(hint.top * 2 + (hint.bottom - hint.top), 8 * 2 + 33));
    RECT shape = RectIn(answers.shpHint, answers.pnlControl);
    EXPECT_EQ(hint.right - hint.left, (shape.right - shape.left) - 4);
    EXPECT_GE(shape.bottom, hint.bottom) << "the rectangle grows with the hint";

    const struct {
        int clientWidth;
    } widths[] = {{470}, {600}};
    for (const auto& w : widths) {
        SCOPED_TRACE(w.clientWidth);
        RECT window, client;
        GetWindowRect(answers.Handle(), &window);
        GetClientRect(answers.Handle(), &client);
        SetWindowPos(answers.Handle(), nullptr, 0, 0, w.clientWidth + (window.right - window.left) - client.right,
                     window.bottom - window.top, SWP_NOMOVE | SWP_NOZORDER);
        GetClientRect(answers.Handle(), &client);
        RECT strip = RectIn(answers.pnlControl, answers.Handle());
        EXPECT_EQ(strip.bottom - strip.top, answers.ControlHeight());
        EXPECT_EQ(strip.bottom, client.bottom);
        EXPECT_EQ(strip.right - strip.left, client.right);
        RECT ok = RectIn(answers.btnOk, answers.pnlControl);
        EXPECT_EQ(ok.top, 8);
        EXPECT_EQ(ok.right - ok.left, 73);
        EXPECT_EQ(ok.bottom - ok.top, 33);
        EXPECT_EQ(client.right - ok.right, 6) << "anchored right";
        RECT list = RectIn(answers.frAnswersList.Handle(), answers.Handle());
        EXPECT_EQ(list.left, 16);
        EXPECT_EQ(list.top, 0);
        EXPECT_EQ(list.right, client.right);
        EXPECT_EQ(list.bottom, strip.top);
        RECT bar = RectIn(answers.scbVert, answers.Handle());
        EXPECT_EQ(bar.left, 0);
        EXPECT_EQ(bar.right - bar.left, 16);
        EXPECT_EQ(bar.bottom, strip.top);
    }

    Load({Answer("кот", 1)}, 1);
    RECT client;
    GetClientRect(answers.Handle(), &client);
    RECT input = RectIn(answers.pnlInput, answers.Handle());
    EXPECT_EQ(input.left, 0) << "in the place of the hidden scroll bar too";
    EXPECT_EQ(input.right, client.right);
    EXPECT_EQ(input.bottom, RectIn(answers.pnlControl, answers.Handle()).top);
    RECT memo = RectIn(answers.mmInputAnswer, answers.pnlInput);
    EXPECT_EQ(memo.left, 10);
    EXPECT_EQ(memo.top, 10);
    EXPECT_EQ(memo.right, input.right - input.left - 10);
    EXPECT_EQ(memo.bottom, input.bottom - input.top - 10);
}

TEST_F(AnswersFormTest, TheScrollBarsOwnArrowsAndPagesMoveTheList) {
    std::vector<TTestAnswer> many;
    for (int i = 0; i < 40; ++i) many.push_back(Answer(std::to_string(i).c_str(), 0));
    Load(many, 0);
    answers.FormResize();
    const int page = static_cast<int>(ScrollInfo(answers.scbVert).nPage);
    ASSERT_LT(page, 50);
    auto scroll = [&](int code) {
        SendMessageW(answers.Handle(), WM_VSCROLL, static_cast<WPARAM>(code), reinterpret_cast<LPARAM>(answers.scbVert));
        return ScrollInfo(answers.scbVert).nPos;
    };
    const struct {
        int code;
        int position;
    } steps[] = {{SB_LINEDOWN, 2}, {SB_LINEDOWN, 4}, {SB_PAGEDOWN, 4 + page}, {SB_LINEUP, 2 + page},
                 {SB_ENDSCROLL, 2 + page}, {SB_PAGEUP, 2}, {SB_PAGEUP, 0}, {SB_BOTTOM, 100 - page + 1},
                 {SB_TOP, 0}};
    for (const auto& step : steps) {
        EXPECT_EQ(scroll(step.code), step.position) << "code " << step.code;
        EXPECT_EQ(answers.frAnswersList.ContentTop(),
                  -static_cast<int>(std::lround(answers.ContentHeight() * step.position / 100.0)))
            << "the list follows, code " << step.code;
    }
}

// The next question's answers start at the top, however far the last one was scrolled.
TEST_F(AnswersFormTest, EveryQuestionsAnswersStartAtTheTop) {
    const TfrAnswersList& list = answers.frAnswersList;
    std::vector<TTestAnswer> many;
    for (int i = 0; i < 40; ++i) many.push_back(Answer(std::to_string(i).c_str(), 0));
    for (uint8_t mode : {0, 2, 3}) {
        SCOPED_TRACE(testing::Message() << "answer mode " << int(mode));
        Load(many, mode);
        answers.FormResize();
        SetScrollPosition(answers.scbVert, 50);
        answers.scbVertChange();
        ASSERT_LT(list.PanelRect(0).top, 0) << "scrolled";
        Load(many, mode, true);
        answers.FormResize();
        EXPECT_EQ(ScrollInfo(answers.scbVert).nPos, 0);
        EXPECT_EQ(list.ContentTop(), 0);
        EXPECT_EQ(list.PanelRect(0).top, 10);
    }
}

TEST_F(AnswersFormTest, ScrollBarPageIsTheVisiblePercentOfTheContent) {
    // Content shorter than the list, no content at all, and typed input: nothing to scroll.
    const TfrAnswersList& list = answers.frAnswersList;
    Load(Answers({1, 0}), 0);
    EXPECT_EQ(answers.ContentHeight(), list.PanelRect(1).bottom + 10);
    answers.FormResize();
    EXPECT_EQ(ScrollInfo(answers.scbVert).nPage, 100u);
    EXPECT_FALSE(IsWindowEnabled(answers.scbVert));
    Load({}, 2);
    EXPECT_EQ(answers.ContentHeight(), 0);
    answers.FormResize();
    EXPECT_EQ(ScrollInfo(answers.scbVert).nPage, 100u);
    EXPECT_FALSE(IsWindowEnabled(answers.scbVert));
    Load({Answer("кот", 1)}, 1);
    EXPECT_EQ(answers.ContentHeight(), 100);

    std::vector<TTestAnswer> many;
    for (int i = 0; i < 40; ++i) many.push_back(Answer(std::to_string(i).c_str(), 0));
    Load(many, 0);
    const int content = list.PanelRect(39).bottom - list.ContentTop() + 10;
    EXPECT_EQ(answers.ContentHeight(), content);
    RECT area;
    GetWindowRect(list.Handle(), &area);
    const int page = 100 * (area.bottom - area.top) / content;
    ASSERT_LT(page, 100);
    answers.FormResize();
    // The bar itself stops one unit past the last full page; a resize takes that unit back,
    // and the answers move with it.
    SetScrollPosition(answers.scbVert, 100);
    ASSERT_EQ(ScrollInfo(answers.scbVert).nPos, 100 - page + 1);
    answers.FormResize();
    SCROLLINFO si = ScrollInfo(answers.scbVert);
    EXPECT_EQ(si.nPage, static_cast<UINT>(page));
    EXPECT_EQ(si.nPos, 100 - page) << "resize clamps to the last full page";
    EXPECT_EQ(list.ContentTop(), -static_cast<int>(std::nearbyint(content * (100.0 - page) / 100)));
    EXPECT_TRUE(IsWindowEnabled(answers.scbVert));

    // The main window moves the bar and tells the window; one more unit is allowed then.
    const struct {
        int pos, expected;
    } moves[] = {{0, 0}, {2, 2}, {50, 50}, {100, 100 - page + 1}};
    for (const auto& m : moves) {
        SCOPED_TRACE(m.pos);
        SetScrollPosition(answers.scbVert, m.pos);
        answers.scbVertChange();
        EXPECT_EQ(ScrollInfo(answers.scbVert).nPos, m.expected);
        const int offset = static_cast<int>(std::nearbyint(static_cast<double>(content) * m.expected / 100));
        EXPECT_EQ(list.ContentTop(), -offset);
        EXPECT_EQ(list.PanelRect(0).top, 10 - offset);
    }
    // Half-way: a click lands on the answer that is shown there now.
    SetScrollPosition(answers.scbVert, 50);
    answers.scbVertChange();
    const int shown = list.HitTest({100, 15});
    ASSERT_GT(shown, 10);
    ClickItem(list, shown);
    EXPECT_EQ(SelectedPositions(list), std::vector<int>{shown});

    // A short question after a scrolled one starts at the top.
    Load(Answers({1, 0}), 0);
    answers.FormResize();
    EXPECT_EQ(ScrollInfo(answers.scbVert).nPos, 0);
    EXPECT_EQ(list.PanelRect(0).top, 10);

    Load(many, 0);
    answers.FormResize();
    // The bar's own arrows move by the small change.
    SetScrollPosition(answers.scbVert, 10);
    SendMessageW(answers.Handle(), WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), reinterpret_cast<LPARAM>(answers.scbVert));
    EXPECT_EQ(ScrollInfo(answers.scbVert).nPos, 12);
    SendMessageW(answers.Handle(), WM_VSCROLL, MAKEWPARAM(SB_LINEUP, 0), reinterpret_cast<LPARAM>(answers.scbVert));
    SendMessageW(answers.Handle(), WM_VSCROLL, MAKEWPARAM(SB_LINEUP, 0), reinterpret_cast<LPARAM>(answers.scbVert));
    EXPECT_EQ(ScrollInfo(answers.scbVert).nPos, 8);
}

// The keyboard's answer is scrolled into view, down and back up, wherever the person moves it.
TEST_F(AnswersFormTest, TheFocusedAnswerIsScrolledIntoView) {
    TfrAnswersList& list = answers.frAnswersList;
    std::vector<TTestAnswer> many;
    for (int i = 0; i < 40; ++i) many.push_back(Answer(std::to_string(i).c_str(), 0));
    Load(many, 0);
    answers.FormResize();
    RECT view;
    GetClientRect(list.Handle(), &view);
    for (int position : {12, 39, 20, 0}) {
        list.FocusAnswer(position);
        const RECT panel = list.PanelRect(position);
        EXPECT_GE(panel.top, 0) << position;
        EXPECT_LE(panel.bottom, view.bottom) << position;
        EXPECT_EQ(list.ContentTop(),
                  -static_cast<int>(std::lround(answers.ContentHeight() * ScrollInfo(answers.scbVert).nPos / 100.0)))
            << "the bar follows, " << position;
    }
    EXPECT_EQ(ScrollInfo(answers.scbVert).nPos, 0);
}

// Tab leaves the memo for the buttons; it never becomes part of a typed answer.
TEST_F(AnswersFormTest, TabIsNoPartOfATypedAnswer) {
    Load({Answer("да", 1)}, 1);
    SetFocus(answers.mmInputAnswer);
    SendMessageW(answers.mmInputAnswer, WM_CHAR, L'д', 0);
    SendMessageW(answers.mmInputAnswer, WM_CHAR, L'\t', 0);
    SendMessageW(answers.mmInputAnswer, WM_CHAR, L'а', 0);
    EXPECT_EQ(WindowText(answers.mmInputAnswer), L"да");
}

// A screen reader reads the hint as the name of its control, and "ОК" by its caption.
TEST_F(AnswersFormTest, TheHintAndOkAreReadable) {
    Load(Answers({1, 0}), 0);
    const auto name = [](HWND hwnd) {
        IAccessible* acc = nullptr;
        std::wstring text;
        if (SUCCEEDED(AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                 reinterpret_cast<void**>(&acc)))) {
            VARIANT self;
            VariantInit(&self);
            self.vt = VT_I4;
            self.lVal = CHILDID_SELF;
            BSTR got = nullptr;
            if (acc->get_accName(self, &got) == S_OK && got != nullptr) text.assign(got, SysStringLen(got));
            SysFreeString(got);
            acc->Release();
        }
        return text;
    };
    EXPECT_EQ(name(answers.lbHint), L"Укажите единственно правильный ответ, щелкнув по нему мышью, а затем нажмите кнопку \"ОК\"");
    EXPECT_EQ(name(answers.btnOk), L"ОК");
}

// ---- At the screen's scaling ----

namespace {

std::string LongAnswer() {
    std::string text;
    for (int i = 0; i < 10; ++i) text += "довольно длинный ответ ";
    return text;
}

// The answers window in a main window of its own, at the DPI of this run's screen.
struct TAnswersAtDpi {
    const int Dpi = ExpectedTestDpi();
    uint8_t Outcome = 0;
    TOwned<TfAnswers> Form{Outcome};
    HWND Main = nullptr;

    TAnswersAtDpi() {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kMainClass;
        RegisterClassExW(&wc);
        // A main window of 800 x 560 design pixels at this DPI: with the answers window scaled up from
        // it by another 25 %, both stay within Wine's screen of 1024 x 768, which bounds a window's size.
        Main = CreateWindowExW(0, kMainClass, L"main", WS_POPUP | WS_CLIPCHILDREN, 0, 0, ScaleForDpi(800, Dpi),
                               ScaleForDpi(560, Dpi), nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (Main != nullptr && Form.Create(Main)) Form.SetFontSize(12);
    }
    ~TAnswersAtDpi() { DestroyWindow(Main); }

    void Load(uint8_t answerMode) {
        Form.LoadAnswers({Answer("первый", 1), Answer(LongAnswer().c_str()), Answer("")}, false, answerMode);
        ShowWindow(Main, SW_SHOW);
        RECT window, client;
        GetWindowRect(Form.Handle(), &window);
        GetClientRect(Form.Handle(), &client);
        const int frame = (window.bottom - window.top) - client.bottom;
        SetWindowPos(Form.Handle(), nullptr, 0, 0, window.right - window.left, ScaleForDpi(250, Dpi) + frame,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_SHOWWINDOW);
        ProcessMessages();
    }
};

// Every part of the answers window where it belongs at `dpi`, and as large as its text needs.
void ExpectAnswersLaidOutFor(TfAnswers& form, int dpi) {
    const auto s = [dpi](int design) { return ScaleForDpi(design, dpi); };
    RECT client;
    GetClientRect(form.Handle(), &client);
    const RECT strip = RectIn(form.pnlControl, form.Handle());
    EXPECT_EQ(strip.left, 0);
    EXPECT_EQ(strip.right, client.right);
    EXPECT_EQ(strip.bottom, client.bottom);
    EXPECT_EQ(strip.bottom - strip.top, form.ControlHeight());

    // The hint: 8 from the strip's corner, in the hint rectangle, as high as its wrapped text with
    // the form's font of 8 points.
    const RECT hint = RectIn(form.lbHint, form.pnlControl);
    const RECT shape = RectIn(form.shpHint, form.pnlControl);
    const RECT ok = RectIn(form.btnOk, form.pnlControl);
    EXPECT_EQ(FontHeightOf(form.lbHint), PointsToHeight(8, dpi));
    EXPECT_EQ(FontHeightOf(form.btnOk), PointsToHeight(8, dpi));
    EXPECT_EQ(hint.left, s(8));
    EXPECT_EQ(hint.top, s(8));
    EXPECT_EQ(shape.left, s(7));
    EXPECT_EQ(shape.top, s(6));
    EXPECT_EQ(hint.right, shape.right - s(4) + (s(8) - s(7))) << "4 narrower than its rectangle";
    EXPECT_GE(shape.bottom, hint.bottom);
    HFONT formFont = reinterpret_cast<HFONT>(SendMessageW(form.lbHint, WM_GETFONT, 0, 0));
    EXPECT_GE(hint.bottom - hint.top,
              WrappedTextHeight(form.lbHint, WindowText(form.lbHint), hint.right - hint.left, formFont));

    // "ОК": 6 from the right, 8 from the top, 73 x 33 or more: enough for the tick, its caption
    // and the room after it.
    EXPECT_EQ(strip.right - strip.left - ok.right, s(6));
    EXPECT_EQ(ok.top, s(8));
    EXPECT_SCALED_OR_MORE(ok.right - ok.left, 73, dpi);
    EXPECT_SCALED_OR_MORE(ok.bottom - ok.top, 33, dpi);
    HDC dc = GetDC(form.btnOk);
    HGDIOBJ old = SelectObject(dc, formFont);
    SIZE caption = {0, 0};
    GetTextExtentPoint32W(dc, L"ОК", 2, &caption);
    SelectObject(dc, old);
    ReleaseDC(form.btnOk, dc);
    EXPECT_GE(ok.right - ok.left, s(10) + s(18) + caption.cx + s(10));
    EXPECT_GE(ok.bottom - ok.top, caption.cy);
    EXPECT_LE(shape.right, ok.left - s(6)) << "the hint stays clear of the button";
    EXPECT_EQ(form.ControlHeight(), std::max(hint.bottom + s(8), ok.bottom + s(8)));

    const int areaHeight = client.bottom - form.ControlHeight();
    if (form.InputVisible()) {
        const RECT input = RectIn(form.pnlInput, form.Handle());
        const RECT memo = RectIn(form.mmInputAnswer, form.pnlInput);
        EXPECT_EQ(input.left, 0);
        EXPECT_EQ(input.bottom - input.top, areaHeight);
        EXPECT_EQ(memo.left, s(10));
        EXPECT_EQ(memo.top, s(10));
        EXPECT_EQ(memo.right, input.right - input.left - s(10));
        EXPECT_EQ(memo.bottom, areaHeight - s(10));
        EXPECT_EQ(FontHeightOf(form.mmInputAnswer), PointsToHeight(12, dpi));
        EXPECT_EQ(form.ContentHeight(), s(100));
        return;
    }
    // The scroll bar 16 wide at 96 DPI, scaled; the list beside it.
    const RECT bar = RectIn(form.scbVert, form.Handle());
    const RECT listRect = RectIn(form.frAnswersList.Handle(), form.Handle());
    const int scrollWidth = bar.right;
    EXPECT_EQ(bar.left, 0);
    EXPECT_SCALED(scrollWidth, 16, dpi);
    EXPECT_EQ(bar.bottom - bar.top, areaHeight);
    EXPECT_EQ(listRect.left, scrollWidth);
    EXPECT_EQ(listRect.right, client.right);

    // The answers: 10 from the list's sides and 10 apart, as high as their texts with the
    // answers' font (or 20).
    const TfrAnswersList& list = form.frAnswersList;
    EXPECT_EQ(list.Dpi(), dpi);
    HFONT font = CreateFontW(PointsToHeight(12, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, RUSSIAN_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                             L"Times New Roman");
    int expectedTop = s(10) + list.ContentTop();
    for (int i = 0; i < list.Count(); ++i) {
        SCOPED_TRACE(testing::Message() << "answer " << i);
        const RECT panel = list.PanelRect(i);
        EXPECT_EQ(panel.left, s(10));
        EXPECT_EQ(panel.right, listRect.right - listRect.left - s(10));
        EXPECT_EQ(panel.top, expectedTop);
        const int text = WrappedTextHeight(list.Handle(), Wide(ListText(list, i)), panel.right - panel.left - 2 * s(10), font);
        EXPECT_EQ(panel.bottom - panel.top, std::max(text, s(20)) + 2 * s(10));
        expectedTop = panel.bottom + s(10);
    }
    EXPECT_EQ(form.ContentHeight(), expectedTop - list.ContentTop());
    DeleteObject(font);
}

}  // namespace

TEST(DpiFit, AnswersWindowOfEveryModeAtTheScreensScaling) {
    TAnswersAtDpi at;
    ASSERT_NE(at.Form.Handle(), nullptr);
    for (const uint8_t answerMode : {0, 2, 3, 1}) {
        SCOPED_TRACE(testing::Message() << "answer mode " << int(answerMode));
        at.Load(answerMode);
        const RECT window = RectIn(at.Form.Handle(), at.Main);
        const RECT main = RectIn(at.Main, nullptr);
        EXPECT_EQ(window.right - window.left, RoundToInt32((main.right - main.left) * 0.5L) - ScaleForDpi(30, at.Dpi))
            << "half the main window less 30";
        ExpectAnswersLaidOutFor(at.Form, at.Dpi);
        EXPECT_TEXTS_FIT(at.Form.Handle());
        TfrAnswersList& list = at.Form.frAnswersList;
        if (answerMode == 0 || answerMode == 2) {
            // The pointer finds the answers where they are drawn.
            ClickItem(list, 1);
            EXPECT_EQ(SelectedPositions(list), std::vector<int>{1});
            EXPECT_TRUE(IsWindowEnabled(at.Form.btnOk));
        }
    }
}

// The hint of typed input is the longest: in a narrow window it wraps onto more lines, and the
// strip grows to hold them rather than cut them.
TEST(DpiFit, AnswersHintGrowsInANarrowWindow) {
    TAnswersAtDpi at;
    ASSERT_NE(at.Form.Handle(), nullptr);
    at.Load(1);
    const int wide = at.Form.ControlHeight();
    RECT window;
    GetWindowRect(at.Form.Handle(), &window);
    SetWindowPos(at.Form.Handle(), nullptr, 0, 0, ScaleForDpi(250, at.Dpi), window.bottom - window.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    ProcessMessages();
    EXPECT_GT(at.Form.ControlHeight(), wide);
    ExpectAnswersLaidOutFor(at.Form, at.Dpi);
    EXPECT_TEXTS_FIT(at.Form.Handle());
}

// Moved to a screen of another scaling (a child hears it with no rectangle), the window makes its
// fonts again, has the list lay itself out for it and measures the hint and "ОК" again; back on
// the first screen everything is where it was.
TEST(DpiFit, AnswersWindowLaysItselfOutAgainForANewDpi) {
    TAnswersAtDpi at;
    ASSERT_NE(at.Form.Handle(), nullptr);
    const struct {
        int other;
        // Scaled down and up again a window may be a pixel off; up and down again it is not.
        bool exactlyBack;
    } cases[] = {{at.Dpi * 5 / 4, true}, {at.Dpi * 3 / 4, false}};
    for (const uint8_t answerMode : {0, 1}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << "answer mode " << int(answerMode) << ", to " << c.other << " DPI");
            at.Load(answerMode);
            const std::vector<HWND> parts = {at.Form.scbVert, at.Form.frAnswersList.Handle(), at.Form.pnlInput,
                                             at.Form.mmInputAnswer, at.Form.pnlControl, at.Form.lbHint,
                                             at.Form.shpHint, at.Form.btnOk};
            std::vector<RECT> before;
            for (HWND part : parts) before.push_back(RectIn(part, at.Form.Handle()));
            const RECT placed = RectIn(at.Form.Handle(), at.Main);

            SendMessageW(at.Form.Handle(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(c.other, c.other), 0);
            EXPECT_EQ(at.Form.Dpi(), c.other);
            // The window keeps its place and size in the main window's proportions.
            const RECT now = RectIn(at.Form.Handle(), at.Main);
            EXPECT_EQ(now.left, MulDiv(placed.left, c.other, at.Dpi));
            EXPECT_EQ(now.top, MulDiv(placed.top, c.other, at.Dpi));
            EXPECT_EQ(now.right - now.left, MulDiv(placed.right - placed.left, c.other, at.Dpi));
            EXPECT_EQ(now.bottom - now.top, MulDiv(placed.bottom - placed.top, c.other, at.Dpi));
            ExpectAnswersLaidOutFor(at.Form, c.other);
            EXPECT_TEXTS_FIT(at.Form.Handle());

            SendMessageW(at.Form.Handle(), 0x02E0, MAKEWPARAM(at.Dpi, at.Dpi), 0);
            ExpectAnswersLaidOutFor(at.Form, at.Dpi);
            EXPECT_TEXTS_FIT(at.Form.Handle());
            const RECT back = RectIn(at.Form.Handle(), at.Main);
            EXPECT_NEAR(back.right - back.left, placed.right - placed.left, c.exactlyBack ? 0 : 1);
            EXPECT_NEAR(back.bottom - back.top, placed.bottom - placed.top, c.exactlyBack ? 0 : 1);
            if (!c.exactlyBack) continue;
            for (size_t i = 0; i < parts.size(); ++i) {
                const RECT part = RectIn(parts[i], at.Form.Handle());
                EXPECT_TRUE(EqualRect(&part, &before[i])) << "part " << i;
            }
        }
    }
}
