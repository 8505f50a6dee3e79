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
