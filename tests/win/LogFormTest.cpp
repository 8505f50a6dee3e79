#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "model/Codepage.h"
#include "platform/Win32Util.h"
#include "platform/Dpi.h"
#include "tests/win/DpiFit.h"
#include "tests/win/WinTestUtil.h"
#include "windows/LogFormUnit.h"

namespace {

std::wstring FullText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd, &text[0], length + 1)));
    return text;
}

std::wstring ClipboardText() {
    std::wstring text = L"<none>";
    if (!OpenClipboard(nullptr)) return L"<not opened>";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

void PutOnClipboard(const std::wstring& text) {
    if (!OpenClipboard(nullptr)) return;
    EmptyClipboard();
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    memcpy(GlobalLock(data), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(data);
    SetClipboardData(CF_UNICODETEXT, data);
    CloseClipboard();
}

class TestLogWindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(log.Create(nullptr)); }
    TOwned<TfLog> log;
};

TEST_F(TestLogWindowTest, SizeableCentredWithMaximiseOnly) {
    HWND hwnd = log.Handle();
    EXPECT_EQ(WindowText(hwnd), L"Журнал теста");
    RECT window;
    GetWindowRect(hwnd, &window);
    EXPECT_EQ(window.right - window.left, 371);
    EXPECT_EQ(window.bottom - window.top, 319);
    EXPECT_EQ(window.left, (GetSystemMetrics(SM_CXSCREEN) - 371) / 2);
    EXPECT_EQ(window.top, (GetSystemMetrics(SM_CYSCREEN) - 319) / 2);
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    EXPECT_NE(style & WS_THICKFRAME, 0);
    EXPECT_NE(style & WS_SYSMENU, 0);
    EXPECT_NE(style & WS_MAXIMIZEBOX, 0);
    EXPECT_EQ(style & WS_MINIMIZEBOX, 0);

    const LONG memo = GetWindowLongW(log.mmMain, GWL_STYLE);
    EXPECT_EQ(memo & (ES_MULTILINE | ES_READONLY | WS_VSCROLL), ES_MULTILINE | ES_READONLY | WS_VSCROLL);
    EXPECT_EQ(WindowText(log.btnOk), L"Закрыть");
    EXPECT_EQ(GetWindowLongW(log.btnOk, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);

    // A read-only edit paints with what its parent gives for statics: the window's face.
    HDC dc = CreateCompatibleDC(nullptr);
    LRESULT brush = SendMessageW(hwnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(log.mmMain));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), GetSysColorBrush(COLOR_BTNFACE));
    EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_BTNFACE));
    DeleteDC(dc);
}

TEST_F(TestLogWindowTest, ShowsTheTextInOnePieceFromTheTop) {
    std::string longLog;
    for (int i = 1; i <= 3000; ++i) longLog += Utf8ToCp1251("Вопрос ") + std::to_string(i) + " - answer\r\n";
    struct Case {
        const char* what;
        std::string text;
        int lines;
    };
    const Case cases[] = {
        {"empty", "", 1},
        {"one run", Utf8ToCp1251("Тест: Физика\r\nВопрос 1\r\n  Ответ: да"), 3},
        {"two runs", Utf8ToCp1251("Запуск 1\r\n\r\nЗапуск 2\r\n"), 4},
        {"longer than an edit takes by default", longLog, 3001},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // The previous text was scrolled to its end: the new one starts at its top anyway.
        SendMessageW(log.mmMain, EM_SETSEL, -1, -1);
        SendMessageW(log.mmMain, EM_SCROLLCARET, 0, 0);
        log.SetText(c.text);
        EXPECT_EQ(FullText(log.mmMain), Cp1251ToWide(c.text));
        EXPECT_EQ(log.Text(), c.text);
        EXPECT_EQ(SendMessageW(log.mmMain, EM_GETLINECOUNT, 0, 0), c.lines);
        EXPECT_EQ(SendMessageW(log.mmMain, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
        DWORD start = 1, end = 1;
        SendMessageW(log.mmMain, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, 0u);
        EXPECT_EQ(end, 0u);
    }
}

TEST_F(TestLogWindowTest, CannotBeEditedButCanBeSelectedAndCopied) {
    const std::string text = Utf8ToCp1251("Вопрос 1\r\nОтвет: да");
    const std::wstring wide = Cp1251ToWide(text);
    log.SetText(text);
    SetFocus(log.mmMain);
    PutOnClipboard(L"pasted");
    struct Attempt {
        const char* what;
        UINT message;
        WPARAM wParam;
    };
    const Attempt attempts[] = {
        {"typing", WM_CHAR, L'x'},          {"backspace", WM_CHAR, VK_BACK}, {"delete", WM_KEYDOWN, VK_DELETE},
        {"paste", WM_PASTE, 0},             {"cut", WM_CUT, 0},              {"clear", WM_CLEAR, 0},
        {"Ctrl+V as typed", WM_CHAR, 0x16}, {"Ctrl+X as typed", WM_CHAR, 0x18},
    };
    for (const Attempt& a : attempts) {
        SendMessageW(log.mmMain, EM_SETSEL, 0, 3);
        SendMessageW(log.mmMain, a.message, a.wParam, 0);
        EXPECT_EQ(FullText(log.mmMain), wide) << a.what;
    }

    // Ctrl+A arrives as the character 1 after TranslateMessage.
    SendMessageW(log.mmMain, EM_SETSEL, 0, 0);
    SendMessageW(log.mmMain, WM_CHAR, 1, 0);
    DWORD start = 1, end = 0;
    SendMessageW(log.mmMain, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, wide.size());
    SendMessageW(log.mmMain, WM_COPY, 0, 0);
    EXPECT_EQ(ClipboardText(), wide);
}

TEST_F(TestLogWindowTest, EnterClosesWithOkEscapeWithCancel) {
    log.SetText("text");
    struct Case {
        const char* what;
        std::function<void()> act;
        int result;
    };
    const Case cases[] = {
        {"Enter in the text", [&] { PostMessageW(log.mmMain, WM_KEYDOWN, VK_RETURN, 0); }, IDOK},
        {"Enter on the button", [&] { PostMessageW(log.btnOk, WM_KEYDOWN, VK_RETURN, 0); }, IDOK},
        {"Escape in the text", [&] { PostMessageW(log.mmMain, WM_KEYDOWN, VK_ESCAPE, 0); }, IDCANCEL},
        {"Escape on the button", [&] { PostMessageW(log.btnOk, WM_KEYDOWN, VK_ESCAPE, 0); }, IDCANCEL},
        {"Закрыть", [&] { PostMessageW(log.btnOk, BM_CLICK, 0, 0); }, IDOK},
        {"title bar", [&] { PostMessageW(log.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::thread script([&] {
            for (int i = 0; i < 500 && FindTopWindow(GetCurrentProcessId(), L"TfLog", L"Журнал теста") == nullptr; ++i) {
                Sleep(10);
            }
            c.act();
        });
        EXPECT_EQ(log.ShowModal(nullptr), c.result);
        script.join();
        EXPECT_FALSE(IsWindowVisible(log.Handle()));
        EXPECT_EQ(log.Text(), "text");
    }
}

TEST_F(TestLogWindowTest, ResizingGrowsTheTextAndKeepsTheButtonAtTheBottom) {
    HWND hwnd = log.Handle();
    auto measure = [&](RECT& client, RECT& memo, RECT& button) {
        GetClientRect(hwnd, &client);
        memo = RectInParent(log.mmMain);
        button = RectInParent(log.btnOk);
    };
    RECT client0, memo0, button0;
    measure(client0, memo0, button0);
    const int buttonWidth = button0.right - button0.left, buttonHeight = button0.bottom - button0.top;
    const int bottomGap = client0.bottom - button0.bottom;
    const int centre0 = (button0.left + button0.right) * 1000 / (2 * client0.right);
    struct Case {
        const char* what;
        std::function<void()> act;
    };
    const Case cases[] = {
        {"larger", [&] { SetWindowPos(hwnd, nullptr, 0, 0, 640, 480, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE); }},
        {"wider only", [&] { SetWindowPos(hwnd, nullptr, 0, 0, 500, 319, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE); }},
        {"maximised", [&] { ShowWindow(hwnd, SW_MAXIMIZE); }},
        {"restored", [&] { ShowWindow(hwnd, SW_RESTORE); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.act();
        RECT client, memo, button;
        measure(client, memo, button);
        const int dw = client.right - client0.right, dh = client.bottom - client0.bottom;
        EXPECT_EQ(memo.left, memo0.left);
        EXPECT_EQ(memo.top, memo0.top);
        EXPECT_EQ(memo.right - memo.left, memo0.right - memo0.left + dw);
        EXPECT_EQ(memo.bottom - memo.top, memo0.bottom - memo0.top + dh);
        EXPECT_EQ(button.right - button.left, buttonWidth);
        EXPECT_EQ(button.bottom - button.top, buttonHeight);
        EXPECT_EQ(client.bottom - button.bottom, bottomGap);
        EXPECT_NEAR((button.left + button.right) * 1000 / (2 * client.right), centre0, 5);
        EXPECT_LE(memo.bottom, button.top);
    }
    ShowWindow(hwnd, SW_HIDE);
}

// ---- Screen scaling ----

void ExpectLogLayoutAt(TfLog& log, int dpi) {
    EXPECT_TEXTS_FIT(log.Handle());
    RECT client;
    GetClientRect(log.Handle(), &client);
    const RECT memo = RectInParent(log.mmMain), button = RectInParent(log.btnOk);
    EXPECT_SCALED(memo.left, 8, dpi);
    EXPECT_SCALED(memo.top, 8, dpi);
    EXPECT_SCALED(client.right - memo.right, 8, dpi);
    EXPECT_SCALED_OR_MORE(button.right - button.left, 90, dpi);
    EXPECT_SCALED_OR_MORE(button.bottom - button.top, 25, dpi);
    EXPECT_SCALED(client.bottom - button.bottom, 8, dpi);
    EXPECT_LE(memo.bottom, button.top);
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(log.mmMain, WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_EQ(font.lfHeight, NonClientMetricsForDpi(dpi).lfMessageFont.lfHeight);
}

TEST(DpiFit, LogWindowIsScaledForTheScreen) {
    const int dpi = ExpectedTestDpi();
    TOwned<TfLog> log;
    ASSERT_TRUE(log.Create(nullptr));
    log.SetText(Utf8ToCp1251("10:00:00 Вопрос 1\r\n10:00:05 Ответ: верно"));
    ShowWindow(log.Handle(), SW_SHOWNA);
    RECT window;
    GetWindowRect(log.Handle(), &window);
    EXPECT_SCALED(window.right - window.left, 371, dpi);
    EXPECT_SCALED(window.bottom - window.top, 319, dpi);
    const POINT centred = CenteredOnScreen(window.right - window.left, window.bottom - window.top);
    EXPECT_EQ(window.left, centred.x);
    EXPECT_EQ(window.top, centred.y);
    ExpectLogLayoutAt(log, dpi);
}

TEST(DpiFit, LogWindowLaysItselfOutAgainWhenItsDpiChanges) {
    const int from = ExpectedTestDpi();
    const int to = from == 144 ? 192 : 144;
    TOwned<TfLog> log;
    ASSERT_TRUE(log.Create(nullptr));
    ShowWindow(log.Handle(), SW_SHOWNA);
    RECT suggested = {15, 25, 15 + ScaleForDpi(371, to), 25 + ScaleForDpi(319, to)};
    SendMessageW(log.Handle(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(log.Dpi(), to);
    RECT window;
    GetWindowRect(log.Handle(), &window);
    EXPECT_EQ(window.left, suggested.left);
    EXPECT_EQ(window.top, suggested.top);
    EXPECT_EQ(window.right, suggested.right);
    EXPECT_EQ(window.bottom, suggested.bottom);
    ExpectLogLayoutAt(log, to);
}

}  // namespace
