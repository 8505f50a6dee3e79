#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "answers/RightAnswerFormUnit.h"
#include "model/Codepage.h"
#include "platform/Win32Util.h"
#include "tests/win/DpiFit.h"
#include "tests/win/WinTestUtil.h"

namespace {

// Runs `steps` in turn on this thread from inside the window's modal loop (a thread timer, so
// nothing races the window); a step that returns false runs again on the next tick. If the
// steps have not finished within `limitMs` the window is closed, so a fault fails instead of hanging.
class TWhileShown {
public:
    TWhileShown(HWND window, std::vector<std::function<bool()>> steps, DWORD limitMs = 10000)
        : window_(window), steps_(std::move(steps)), limit_(limitMs), start_(GetTickCount()) {
        current_ = this;
        id_ = SetTimer(nullptr, 0, 10, &Tick);
    }
    ~TWhileShown() {
        KillTimer(nullptr, id_);
        current_ = nullptr;
    }
    bool Finished() const { return next_ == steps_.size(); }
    bool TimedOut() const { return timedOut_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        TWhileShown* self = current_;
        if (self == nullptr || self->running_) return;
        self->running_ = true;
        if (!self->Finished() && GetTickCount() - self->start_ > self->limit_) {
            self->timedOut_ = true;
            self->next_ = self->steps_.size();
            PostMessageW(self->window_, WM_CLOSE, 0, 0);
        }
        // Nothing is looked at before the window is on screen.
        if (!self->Finished() && IsWindowVisible(self->window_) && self->steps_[self->next_]()) ++self->next_;
        self->running_ = false;
    }

    static TWhileShown* current_;
    HWND window_;
    std::vector<std::function<bool()>> steps_;
    DWORD limit_;
    DWORD start_;
    UINT_PTR id_ = 0;
    size_t next_ = 0;
    bool running_ = false;
    bool timedOut_ = false;
};
TWhileShown* TWhileShown::current_ = nullptr;

TTestAnswer Answer(int weight, const char* utf8) {
    TTestAnswer answer;
    answer.Weight = static_cast<int8_t>(weight);
    answer.Text = Utf8ToCp1251(utf8);
    return answer;
}

std::vector<TTestAnswer> Answers(std::initializer_list<std::pair<int, const char*>> list) {
    std::vector<TTestAnswer> answers;
    for (const auto& item : list) answers.push_back(Answer(item.first, item.second));
    return answers;
}

// `count` answers of one line each, all right.
std::vector<TTestAnswer> ManyRight(int count) {
    std::vector<TTestAnswer> answers;
    for (int i = 0; i < count; ++i) answers.push_back(Answer(1, ("Ответ " + std::to_string(i)).c_str()));
    return answers;
}

std::wstring W(const char* utf8) { return Cp1251ToWide(Utf8ToCp1251(utf8)); }

int Height(const RECT& rc) { return rc.bottom - rc.top; }
int Width(const RECT& rc) { return rc.right - rc.left; }

bool StyleVisible(HWND hwnd) { return (GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0; }

SCROLLINFO ScrollInfo(HWND bar) {
    SCROLLINFO si = {};
    si.cbSize = sizeof(si);
    si.fMask = SIF_ALL;
    GetScrollInfo(bar, SB_CTL, &si);
    return si;
}

void Wheel(HWND target, int delta) {
    SendMessageW(target, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))), 0);
}

std::vector<std::string> ListTexts(const TfrAnswersList& list) {
    std::vector<std::string> texts;
    for (const TAnswerEntry& entry : list.Model.Entries()) texts.push_back(entry.Text);
    return texts;
}

std::vector<std::string> Cp1251List(std::initializer_list<const char*> utf8) {
    std::vector<std::string> texts;
    for (const char* text : utf8) texts.push_back(Utf8ToCp1251(text));
    return texts;
}

class RightAnswerTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner = CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPED, 0, 0, 200, 100, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(owner, nullptr);
        ASSERT_TRUE(form.Create(owner));
    }
    void TearDown() override {
        form.Destroy();
        DestroyWindow(owner);
    }

    // Shows the answer; the steps run while it is up. Returns the milliseconds it was shown.
    DWORD Show(const std::vector<TTestAnswer>& answers, long double ratio, uint8_t mode, int32_t seconds,
               std::vector<std::function<bool()>> steps, DWORD limitMs = 10000, bool lastStepWatches = false) {
        TWhileShown script(form.Handle(), std::move(steps), limitMs);
        const DWORD start = GetTickCount();
        form.ShowAnswer(answers, ratio, mode, seconds);
        const DWORD shown = GetTickCount() - start;
        EXPECT_FALSE(script.TimedOut()) << "the window did not close";
        if (!lastStepWatches) {
            EXPECT_TRUE(script.Finished());
        }
        EXPECT_FALSE(IsWindowVisible(form.Handle()));
        EXPECT_TRUE(IsWindowEnabled(owner));
        return shown;
    }
    // Looks at the window once, then closes it with Escape.
    void ShowAndLook(const std::vector<TTestAnswer>& answers, long double ratio, uint8_t mode,
                     const std::function<void()>& look) {
        Show(answers, ratio, mode, -1,
             {[&] {
                 look();
                 PostMessageW(form.btnClose, WM_KEYDOWN, VK_ESCAPE, 0);
                 return true;
             }});
    }
    RECT Client() const {
        RECT rc;
        GetClientRect(form.Handle(), &rc);
        return rc;
    }
    void ExpectCentred() const {
        RECT rc;
        GetWindowRect(form.Handle(), &rc);
        EXPECT_EQ(rc.left, (GetSystemMetrics(SM_CXSCREEN) - Width(rc)) / 2);
        EXPECT_EQ(rc.top, (GetSystemMetrics(SM_CYSCREEN) - Height(rc)) / 2);
    }
    // The content is where the scroll bar says: the list's or the key words' top.
    void ExpectContentFollowsScrollBar(bool typed) const {
        const SCROLLINFO si = ScrollInfo(form.scbVert);
        if (typed) {
            const RECT label = RectInParent(form.lbInputAnswers);
            EXPECT_EQ(label.top, -(Height(label) * si.nPos) / 100);
        } else {
            EXPECT_EQ(form.frAnswersList.ContentTop(), -(form.frAnswersList.ContentHeight() * si.nPos) / 100);
        }
    }

    HWND owner = nullptr;
    TOwned<TfRightAnswer> form;
};

TEST_F(RightAnswerTest, WindowAsDesigned) {
    HWND hwnd = form.Handle();
    EXPECT_EQ(WindowText(hwnd), L"Ответ на вопрос");
    EXPECT_EQ(GetWindow(hwnd, GW_OWNER), owner);
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    EXPECT_NE(style & WS_SYSMENU, 0);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    EXPECT_FALSE(IsWindowVisible(hwnd)) << "hidden until shown";
    EXPECT_EQ(WindowText(form.btnClose), L"Закрыть");
    EXPECT_EQ(form.tmrBackCounter.Interval(), 1000u);
    EXPECT_FALSE(form.tmrBackCounter.Enabled());

    auto fontOf = [](HWND control) {
        LOGFONTW font = {};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font), &font);
        return font;
    };
    EXPECT_GE(fontOf(form.lbAnswersStatus).lfWeight, FW_BOLD);
    EXPECT_LT(fontOf(form.lbAnswerDescription).lfWeight, FW_BOLD);

    HDC dc = CreateCompatibleDC(nullptr);
    auto colour = [&](HWND control) {
        const LRESULT brush = SendMessageW(hwnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                           reinterpret_cast<LPARAM>(control));
        return std::make_pair(GetTextColor(dc), brush);
    };
    EXPECT_EQ(colour(form.lbAutoClose).first, RGB(128, 128, 128));
    EXPECT_EQ(colour(form.lbInputAnswers).second, reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(colour(form.lbAnswersStatus).second, reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_INFOBK)));
    DeleteDC(dc);
    EXPECT_NE(GetWindowLongW(form.lbInputAnswers, GWL_STYLE) & SS_CENTER, 0);

    // Laid out while a long list is shown.
    ShowAndLook(ManyRight(12), 0.5L, 2, [&] {
        const RECT client = Client();
        EXPECT_EQ(client.right, 404);
        const RECT band = RectInParent(form.shpInfo), main = RectInParent(form.pnlMain);
        EXPECT_EQ(band.left, 0);
        EXPECT_EQ(Width(band), 404);
        EXPECT_EQ(Height(band), 41);
        for (HWND icon : {form.imgOk, form.imgWarning, form.imgError}) {
            const RECT rc = RectInParent(icon);
            EXPECT_EQ(Width(rc), 32);
            EXPECT_EQ(Height(rc), 32);
            EXPECT_TRUE(rc.top >= band.top && rc.bottom <= band.bottom && rc.left < 404 / 4);
        }
        for (HWND label : {form.lbAnswersStatus, form.lbAnswerDescription}) {
            const RECT rc = RectInParent(label);
            EXPECT_TRUE(rc.top >= band.top && rc.bottom <= band.bottom && rc.left >= RectInParent(form.imgOk).right);
        }
        EXPECT_EQ(main.left, 0);
        EXPECT_EQ(main.top, band.bottom) << "under the band";
        EXPECT_EQ(Width(main), 404);
        const RECT bar = RectInParent(form.scbVert), list = RectInParent(form.frAnswersList.Handle()),
                   input = RectInParent(form.pnlInputAnswers), internal = RectInParent(form.pnlInternal);
        EXPECT_EQ(Width(bar), 16);
        EXPECT_LE(bar.left, 2) << "left side";
        EXPECT_EQ(list.left, bar.right);
        EXPECT_GE(list.right, Width(main) - 2);
        EXPECT_EQ(Height(list), Height(bar));
        EXPECT_TRUE(EqualRect(&list, &input)) << "the key words cover the list";
        EXPECT_EQ(internal.left, 8);
        EXPECT_EQ(internal.top, 8);
        EXPECT_EQ(Width(internal), Width(input) - 16);
        EXPECT_EQ(Height(internal), Height(input) - 16);
        const SCROLLINFO si = ScrollInfo(form.scbVert);
        EXPECT_EQ(si.nMin, 0);
        EXPECT_EQ(si.nMax, 100);
        EXPECT_EQ(GetWindowLongW(form.scbVert, GWL_STYLE) & WS_TABSTOP, 0);
        // Bottom row: the countdown left, the button right, under the viewport.
        const RECT button = RectInParent(form.btnClose), note = RectInParent(form.lbAutoClose);
        EXPECT_EQ(button.bottom + 8, client.bottom);
        EXPECT_EQ(button.right + 8, client.right);
        EXPECT_GE(button.top, main.bottom);
        EXPECT_LT(note.left, 404 / 4);
        EXPECT_LE(note.right, button.left);
        EXPECT_GE(note.top, main.bottom);
        EXPECT_EQ(GetFocus(), form.btnClose);
        ExpectCentred();
    });
}

TEST_F(RightAnswerTest, VerdictShowsItsIconAndTexts) {
    struct Case {
        long double ratio;
        int icon;
        const char* status;
        bool viewport;
    };
    // In a row on one window: nothing of an earlier verdict may stay behind.
    const Case cases[] = {
        {0.0L, TRightAnswerView::iconError, "Неверно!", true},
        {1.0L, TRightAnswerView::iconOk, "Правильно!", false},
        {0.5L, TRightAnswerView::iconWarning, "Ответ не до конца верный!", true},
        {1.0L, TRightAnswerView::iconOk, "Правильно!", false},
        {0.0001L, TRightAnswerView::iconWarning, "Ответ не до конца верный!", true},
        {0.0L, TRightAnswerView::iconError, "Неверно!", true},
    };
    const auto answers = Answers({{0, "Да"}, {1, "Нет"}});
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<double>(c.ratio));
        ShowAndLook(answers, c.ratio, 0, [&] {
            for (int icon : {TRightAnswerView::iconOk, TRightAnswerView::iconWarning, TRightAnswerView::iconError}) {
                EXPECT_EQ(form.IconVisible(icon), icon == c.icon) << icon;
            }
            EXPECT_FALSE(form.IconVisible(TRightAnswerView::iconNone));
            EXPECT_EQ(WindowText(form.lbAnswersStatus), W(c.status));
            EXPECT_EQ(IsWindowVisible(form.pnlMain) != FALSE, c.viewport);
            const RECT client = Client(), band = RectInParent(form.shpInfo), button = RectInParent(form.btnClose);
            if (c.viewport) {
                EXPECT_EQ(WindowText(form.lbAnswerDescription), W("Ниже приведен правильный ответ"));
                EXPECT_EQ(ListTexts(form.frAnswersList), Cp1251List({"Нет"}));
                const RECT main = RectInParent(form.pnlMain);
                EXPECT_EQ(Height(main), form.frAnswersList.ContentHeight());
                EXPECT_EQ(client.bottom, main.bottom + Height(button) + 16);
            } else {
                // Only the band: a compact window.
                EXPECT_EQ(WindowText(form.lbAnswerDescription), W("Вы верно ответили на вопрос!"));
                EXPECT_EQ(form.frAnswersList.Count(), 0);
                EXPECT_EQ(client.bottom, band.bottom + Height(button) + 16);
            }
            EXPECT_EQ(button.bottom + 8, client.bottom);
            ExpectCentred();
        });
    }
}

TEST_F(RightAnswerTest, ListShowsTheRightAnswersOfEachMode) {
    struct Case {
        const char* what;
        uint8_t mode;
        std::vector<TTestAnswer> answers;
        std::vector<std::string> shown;
        const char* description;
    };
    std::vector<TTestAnswer> withClip = Answers({{0, "Первый"}, {3, "Второй"}, {3, "Третий"}});
    withClip[1].AttachKind = akVideo;
    withClip[1].AttachFile = "clip.avi";
    withClip[1].Attach.Width = 7;
    const char* one = "Ниже приведен правильный ответ";
    const char* all = "Ниже перечислены все правильные варианты";
    const Case cases[] = {
        {"single: the first of the heaviest", 0, withClip, Cp1251List({"Второй"}), one},
        {"single: no weight above 0 takes the first", 0, Answers({{0, "A"}, {-2, "B"}}), Cp1251List({"A"}), one},
        {"multiple: one right", 2, Answers({{0, "A"}, {2, "B"}, {0, "C"}}), Cp1251List({"B"}), one},
        {"multiple: many right", 2, Answers({{1, "A"}, {0, "B"}, {1, "C"}}), Cp1251List({"A", "C"}), all},
        {"multiple: none right", 2, Answers({{0, "A"}, {-1, "B"}}), {}, all},
        {"ordering: by weight, ties in file order", 3, Answers({{3, "A"}, {1, "B"}, {2, "C"}, {1, "D"}}),
         Cp1251List({"B", "D", "C", "A"}), "Правильный порядок следования приведен ниже"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<TTestAnswer> before = c.answers;
        ShowAndLook(c.answers, 0.0L, c.mode, [&] {
            EXPECT_EQ(ListTexts(form.frAnswersList), c.shown);
            EXPECT_EQ(WindowText(form.lbAnswerDescription), W(c.description));
            EXPECT_TRUE(form.frAnswersList.Model.Locked);
            EXPECT_EQ(form.frAnswersList.Model.Mode, lmSingle) << "the list's mode is never set";
            EXPECT_TRUE(StyleVisible(form.frAnswersList.Handle()));
            EXPECT_FALSE(StyleVisible(form.pnlInputAnswers));
            EXPECT_EQ(Height(RectInParent(form.pnlMain)), form.frAnswersList.ContentHeight());
        });
        // The window sorted its own copy.
        ASSERT_EQ(c.answers.size(), before.size());
        for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(c.answers[i].Text, before[i].Text);
    }

    // Each answer goes to the list with its weight and attachment.
    ShowAndLook(withClip, 0.0L, 0, [&] {
        ASSERT_EQ(form.frAnswersList.Count(), 1);
        const TAnswerEntry& entry = form.frAnswersList.Model.Entries()[0];
        EXPECT_EQ(entry.Weight, 3);
        EXPECT_EQ(entry.AttachKind, akVideo);
        EXPECT_EQ(entry.AttachFile, "clip.avi");
        EXPECT_EQ(entry.Attach.Width, 7);
    });
}

TEST_F(RightAnswerTest, TypedAnswerShowsTheKeyWordsInsteadOfTheList) {
    const auto typed = Answers({{1, "A"}, {0, "X"}, {2, "B"}});
    ShowAndLook(typed, 0.0L, 1, [&] {
        EXPECT_EQ(WindowText(form.lbInputAnswers), L"\r\nA\r\nB\r\n");
        EXPECT_EQ(WindowText(form.lbAnswerDescription), W("Ключевые слова правильного ответа приведены ниже"));
        EXPECT_TRUE(IsWindowVisible(form.pnlInputAnswers));
        EXPECT_FALSE(IsWindowVisible(form.frAnswersList.Handle()));
        EXPECT_EQ(form.frAnswersList.Count(), 0);
        // A blank line, A and B at least; the viewport holds the label with its margins.
        const RECT label = RectInParent(form.lbInputAnswers), internal = RectInParent(form.pnlInternal);
        TEXTMETRICW tm = {};
        HDC dc = GetDC(form.lbInputAnswers);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(form.lbInputAnswers, WM_GETFONT, 0, 0)));
        GetTextMetricsW(dc, &tm);
        SelectObject(dc, old);
        ReleaseDC(form.lbInputAnswers, dc);
        EXPECT_GE(Height(label), 3 * tm.tmHeight);
        EXPECT_EQ(Width(label), Width(internal) - 2 * label.left);
        EXPECT_EQ(Height(RectInParent(form.pnlMain)), Height(label) + 2 * internal.top + 8);
        EXPECT_FALSE(IsWindowEnabled(form.scbVert));
    });
    // Back to a list: the key words give way again.
    ShowAndLook(Answers({{0, "A"}, {1, "B"}}), 0.0L, 0, [&] {
        EXPECT_FALSE(IsWindowVisible(form.pnlInputAnswers));
        EXPECT_TRUE(IsWindowVisible(form.frAnswersList.Handle()));
        EXPECT_EQ(ListTexts(form.frAnswersList), Cp1251List({"B"}));
        EXPECT_EQ(Height(RectInParent(form.pnlMain)), form.frAnswersList.ContentHeight());
    });
}

TEST_F(RightAnswerTest, CountdownStepByStep) {
    std::vector<std::wstring> labels;
    std::vector<int32_t> tags;
    bool closedAfterLastTick = false;
    Show(Answers({{0, "A"}, {1, "B"}}), 0.0L, 0, 3, {[&] {
             // All in one go on the window's thread: no real tick can come in between.
             labels.push_back(WindowText(form.lbAutoClose));
             tags.push_back(form.tmrBackCounter.Tag);
             for (int tick = 0; tick < 3; ++tick) {
                 SendMessageW(form.Handle(), WM_TIMER, form.tmrBackCounter.Id(), 0);
                 labels.push_back(WindowText(form.lbAutoClose));
                 tags.push_back(form.tmrBackCounter.Tag);
             }
             closedAfterLastTick = form.ModalResult() != 0;
             return true;
         }});
    const std::vector<std::wstring> expectedLabels = {L"", W("Автоматическое закрытие через 2 сек."),
                                                      W("Автоматическое закрытие через 1 сек."),
                                                      W("Автоматическое закрытие через 1 сек.")};
    EXPECT_EQ(labels, expectedLabels);
    EXPECT_EQ(tags, (std::vector<int32_t>{3, 2, 1, 0}));
    EXPECT_TRUE(closedAfterLastTick);
    EXPECT_FALSE(form.tmrBackCounter.Enabled());
}

TEST_F(RightAnswerTest, CountdownClosesTheWindowInRealTime) {
    std::vector<std::wstring> seen;
    bool running = false;
    const DWORD shown = Show(Answers({{0, "A"}, {1, "B"}}), 0.5L, 2, 3,
                             {[&] {
                                 running = form.tmrBackCounter.Enabled();
                                 return true;
                             },
                              [&] {
                                  const std::wstring now = WindowText(form.lbAutoClose);
                                  if (seen.empty() || seen.back() != now) seen.push_back(now);
                                  return false;  // watches until the window closes itself
                              }},
                             8000, true);
    EXPECT_TRUE(running);
    const std::vector<std::wstring> expected = {L"", W("Автоматическое закрытие через 2 сек."),
                                                W("Автоматическое закрытие через 1 сек.")};
    EXPECT_EQ(seen, expected);
    EXPECT_GE(shown, 2900u);
    EXPECT_LT(shown, 4500u);
}

TEST_F(RightAnswerTest, WithoutSecondsAHintAndNoCountdown) {
    for (int32_t seconds : {0, -1}) {
        SCOPED_TRACE(seconds);
        DWORD start = 0;
        std::wstring hint;
        bool timer = true;
        const DWORD shown = Show(Answers({{0, "A"}, {1, "B"}}), 0.0L, 0, seconds,
                                 {[&] {
                                      hint = WindowText(form.lbAutoClose);
                                      timer = form.tmrBackCounter.Enabled();
                                      start = GetTickCount();
                                      return true;
                                  },
                                  [&] {
                                      // Longer than one countdown step.
                                      if (GetTickCount() - start < 1300) return false;
                                      PostMessageW(form.btnClose, WM_KEYDOWN, VK_RETURN, 0);
                                      return true;
                                  }});
        EXPECT_EQ(hint, W("Для продолжения нажмите \"Закрыть\""));
        EXPECT_FALSE(timer);
        EXPECT_GE(shown, 1300u) << "stays until closed";
    }
}

TEST_F(RightAnswerTest, EveryWayOfClosingStopsTheCountdown) {
    struct Case {
        const char* what;
        std::function<void()> close;
    };
    // Keys go to controls: the window sees them first.
    const Case cases[] = {
        {"Enter", [&] { PostMessageW(form.btnClose, WM_KEYDOWN, VK_RETURN, 0); }},
        {"Escape", [&] { PostMessageW(form.frAnswersList.Handle(), WM_KEYDOWN, VK_ESCAPE, 0); }},
        {"Закрыть", [&] { PostMessageW(form.btnClose, BM_CLICK, 0, 0); }},
        {"title bar", [&] { PostMessageW(form.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::wstring label = L"?";
        int32_t tag = 0;
        bool timer = false;
        Show(Answers({{0, "A"}, {1, "B"}}), 0.0L, 0, 5, {[&] {
                 // Each showing counts afresh from its own seconds.
                 label = WindowText(form.lbAutoClose);
                 tag = form.tmrBackCounter.Tag;
                 timer = form.tmrBackCounter.Enabled();
                 c.close();
                 return true;
             }});
        EXPECT_EQ(label, L"");
        EXPECT_EQ(tag, 5);
        EXPECT_TRUE(timer);
        EXPECT_FALSE(form.tmrBackCounter.Enabled());
    }
    // The system's timer is gone too, not only the flag: no tick reaches the window later.
    const int32_t tag = form.tmrBackCounter.Tag;
    const DWORD start = GetTickCount();
    WaitUntil([&] { return GetTickCount() - start > 1300; });
    EXPECT_EQ(form.tmrBackCounter.Tag, tag);
}

TEST_F(RightAnswerTest, TallContentScrollsByTheWheel) {
    struct Case {
        const char* what;
        uint8_t mode;
        std::vector<TTestAnswer> answers;
    };
    std::vector<TTestAnswer> keyWords;
    for (int i = 0; i < 40; ++i) keyWords.push_back(Answer(1, ("слово " + std::to_string(i)).c_str()));
    const Case cases[] = {{"list", 2, ManyRight(20)}, {"key words", 1, keyWords}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const bool typed = c.mode == 1;
        int content = 0, page = 0;
        std::vector<int> positions;
        auto record = [&] {
            positions.push_back(ScrollInfo(form.scbVert).nPos);
            ExpectContentFollowsScrollBar(typed);
        };
        ShowAndLook(c.answers, 0.0L, c.mode, [&] {
            content = typed ? Height(RectInParent(form.lbInputAnswers)) : form.frAnswersList.ContentHeight();
            const RECT main = RectInParent(form.pnlMain);
            EXPECT_GT(content, 300);
            EXPECT_EQ(Height(main), 300);
            EXPECT_EQ(Client().bottom, main.bottom + Height(RectInParent(form.btnClose)) + 16);
            EXPECT_TRUE(IsWindowEnabled(form.scbVert));
            page = static_cast<int>(ScrollInfo(form.scbVert).nPage);
            const int viewport = typed ? Height(RectInParent(form.pnlInputAnswers)) - 16 : 300;
            EXPECT_EQ(page, 100 * viewport / content);
            // Every showing starts at the top.
            record();
            for (int i = 0; i < 12; ++i) Wheel(form.btnClose, WHEEL_DELTA);
            record();
            // From the focus window and from the list under the pointer alike.
            Wheel(form.btnClose, -WHEEL_DELTA);
            record();
            Wheel(typed ? form.lbInputAnswers : form.frAnswersList.Handle(), -WHEEL_DELTA);
            record();
            Wheel(form.btnClose, WHEEL_DELTA);
            record();
            Wheel(form.btnClose, WHEEL_DELTA);
            Wheel(form.btnClose, WHEEL_DELTA);
            record();
            for (int i = 0; i < 12; ++i) Wheel(form.btnClose, -2 * WHEEL_DELTA);
            record();
            EXPECT_TRUE(IsWindowEnabled(form.scbVert));
            ExpectCentred();
        });
        ASSERT_EQ(positions.size(), 7u);
        EXPECT_EQ(positions, (std::vector<int>{0, 0, 10, 20, 10, 0, 100 - page}));
        if (!typed) {
            // At the bottom the last answer's bottom meets the viewport's bottom.
            EXPECT_NEAR(content + -(content * (100 - page)) / 100, 300, content / 100 + 2);
        }
        // Shown again after scrolling to the bottom: from the top, the content with it.
        ShowAndLook(c.answers, 0.0L, c.mode, [&] {
            EXPECT_EQ(ScrollInfo(form.scbVert).nPos, 0);
            ExpectContentFollowsScrollBar(typed);
        });
    }
}

TEST_F(RightAnswerTest, ShortContentHasNothingToScroll) {
    struct Case {
        const char* what;
        uint8_t mode;
        std::vector<TTestAnswer> answers;
    };
    const Case cases[] = {
        {"two answers", 2, ManyRight(2)},
        {"empty list", 2, Answers({{0, "A"}})},
        {"two key words", 1, ManyRight(2)},
    };
    // After a tall one, so a leftover position would show.
    ShowAndLook(ManyRight(20), 0.0L, 2, [&] {
        for (int i = 0; i < 5; ++i) Wheel(form.btnClose, -WHEEL_DELTA);
        EXPECT_EQ(ScrollInfo(form.scbVert).nPos, 50);
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ShowAndLook(c.answers, 0.0L, c.mode, [&] {
            EXPECT_FALSE(IsWindowEnabled(form.scbVert));
            EXPECT_EQ(ScrollInfo(form.scbVert).nPage, 100u);
            EXPECT_EQ(ScrollInfo(form.scbVert).nPos, 0);
            EXPECT_LT(Height(RectInParent(form.pnlMain)), 300);
            Wheel(form.btnClose, -WHEEL_DELTA);
            EXPECT_EQ(ScrollInfo(form.scbVert).nPos, 0);
            EXPECT_EQ(form.frAnswersList.ContentTop(), 0);
            if (c.mode == 1) {
                EXPECT_EQ(RectInParent(form.lbInputAnswers).top, 0);
            }
        });
    }
}

}  // namespace

namespace {

// The right-answer window as a person sees it at `dpi`: its texts whole, the band, the button
// and the viewport the design's scaled, or larger where a text needs it.
void ExpectRightAnswerAt(const TfRightAnswer& form, int dpi) {
    SCOPED_TRACE("at " + std::to_string(dpi) + " DPI");
    EXPECT_EQ(form.Dpi(), dpi);
    EXPECT_TEXTS_FIT(form.Handle());
    RECT client;
    GetClientRect(form.Handle(), &client);
    EXPECT_SCALED_OR_MORE(client.right, 404, dpi);
    const RECT band = RectInParent(form.shpInfo);
    EXPECT_EQ(Width(band), client.right) << "the band is as wide as the window";
    EXPECT_SCALED_OR_MORE(Height(band), 41, dpi);
    for (HWND label : {form.lbAnswersStatus, form.lbAnswerDescription}) {
        const RECT rc = RectInParent(label);
        EXPECT_TRUE(rc.top >= band.top && rc.bottom <= band.bottom && rc.right <= band.right) << "on the band";
    }
    const RECT status = RectInParent(form.lbAnswersStatus), description = RectInParent(form.lbAnswerDescription);
    EXPECT_GE(description.top, status.bottom) << "the description under the verdict";
    const RECT icon = RectInParent(form.imgError);
    EXPECT_SCALED(Width(icon), 32, dpi);
    EXPECT_TRUE(icon.top >= band.top && icon.bottom <= band.bottom && icon.right <= status.left);

    const RECT main = RectInParent(form.pnlMain), bar = RectInParent(form.scbVert);
    EXPECT_EQ(main.top, band.bottom);
    EXPECT_EQ(Width(main), client.right);
    EXPECT_SCALED(Width(bar), 16, dpi);
    EXPECT_LE(Height(main), ScaleForDpi(300, dpi));

    const RECT button = RectInParent(form.btnClose), note = RectInParent(form.lbAutoClose);
    EXPECT_SCALED_OR_MORE(Width(button), 89, dpi);
    EXPECT_SCALED_OR_MORE(Height(button), 25, dpi);
    EXPECT_SCALED(client.right - button.right, 8, dpi);
    EXPECT_SCALED(client.bottom - button.bottom, 8, dpi);
    EXPECT_GE(button.top, main.bottom);
    EXPECT_LE(note.right, button.left);
    EXPECT_GE(note.top, main.bottom);
    // The glyph and the text of the owner-drawn button, which the text check cannot see.
    const int closeText = TextExtent(form.btnClose, WindowText(form.btnClose)).cx;
    EXPECT_GE(Width(button), ScaleForDpi(16 + 4, dpi) + closeText);
    auto fontHeight = [](HWND control) {
        LOGFONTW font = {};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font), &font);
        return font.lfHeight;
    };
    EXPECT_EQ(fontHeight(form.lbAnswerDescription), NonClientMetricsForDpi(dpi).lfMessageFont.lfHeight);
    EXPECT_EQ(fontHeight(form.lbAutoClose), NonClientMetricsForDpi(dpi).lfMessageFont.lfHeight);
}

// The window shown over a plain owner, with `look` run once while it is up.
void ShowRightAnswer(const std::vector<TTestAnswer>& answers, long double ratio, uint8_t mode, int32_t seconds,
                     const std::function<bool(TfRightAnswer&)>& look) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPED, 0, 0, 200, 100, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    {
        TOwned<TfRightAnswer> form;
        ASSERT_TRUE(form.Create(owner));
        bool looked = false;
        TWhileShown script(form.Handle(), {[&] {
                               if (!look(form)) return false;
                               looked = true;
                               PostMessageW(form.btnClose, WM_KEYDOWN, VK_ESCAPE, 0);
                               return true;
                           }});
        form.ShowAnswer(answers, ratio, mode, seconds);
        EXPECT_TRUE(looked);
        EXPECT_FALSE(script.TimedOut());
    }
    DestroyWindow(owner);
}

std::vector<TTestAnswer> SingleChoice() {
    return Answers({{0, "Вода кипит при 50 градусах"},
                    {3, "Вода кипит при 100 градусах при нормальном атмосферном давлении"},
                    {0, "Вода не кипит"}});
}

}  // namespace

// A wrong answer with its right choice and the countdown, and a partly right typed answer with the
// hint: every text whole at the screen's scaling.
TEST(DpiFit, TheRightAnswerWindowHoldsItsTexts) {
    const int dpi = ExpectedTestDpi();
    struct Case {
        const char* name;
        std::vector<TTestAnswer> answers;
        long double ratio;
        uint8_t mode;
        int32_t seconds;
    } cases[] = {
        {"wrong, with the countdown", SingleChoice(), 0, 0, 10},
        {"partly right typed answer, with the hint", Answers({{1, "вода"}, {1, "H2O"}}), 0.5L, 1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring note;
        ShowRightAnswer(c.answers, c.ratio, c.mode, c.seconds, [&](TfRightAnswer& form) {
            // The countdown shows from its second second on.
            note = WindowText(form.lbAutoClose);
            if (note.empty()) return false;
            ExpectRightAnswerAt(form, dpi);
            RECT window;
            GetWindowRect(form.Handle(), &window);
            EXPECT_EQ(window.left, (GetSystemMetrics(SM_CXSCREEN) - Width(window)) / 2) << "centred as grown";
            return true;
        });
        EXPECT_EQ(note, c.seconds > 0 ? L"Автоматическое закрытие через 9 сек." : L"Для продолжения нажмите \"Закрыть\"");
    }
}

// Moved to a screen of another scaling while it is shown: new fonts, and the window laid out again.
TEST(DpiFit, TheRightAnswerWindowFollowsAChangeOfScaling) {
    const int dpi = ExpectedTestDpi();
    const int newDpi = dpi < 144 ? 192 : 96;
    int heightBefore = 0;
    ShowRightAnswer(SingleChoice(), 0, 0, 10, [&](TfRightAnswer& form) {
        if (WindowText(form.lbAutoClose).empty()) return false;
        heightBefore = Height(RectInParent(form.shpInfo));
        RECT suggested;
        GetWindowRect(form.Handle(), &suggested);
        SendMessageW(form.Handle(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(newDpi, newDpi),
                     reinterpret_cast<LPARAM>(&suggested));
        ExpectRightAnswerAt(form, newDpi);
        return true;
    });
    EXPECT_SCALED_OR_MORE(heightBefore, 41, dpi);
}
