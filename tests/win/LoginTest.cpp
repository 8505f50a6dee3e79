#include <windows.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "model/Codepage.h"
#include "tests/win/DpiFit.h"
#include "tests/win/WinTestUtil.h"
#include "windows/LoginFormUnit.h"

namespace {

// Plays a person at the registration window from another thread while the test's own
// thread runs the window's modal loop.
class TLoginDriver {
public:
    explicit TLoginDriver(std::function<void(TLoginDriver&)> script)
        : uiThread_(GetCurrentThreadId()), thread_([this, script] { script(*this); }) {}
    ~TLoginDriver() { Join(); }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }

    HWND WaitWindow(const wchar_t* className, const wchar_t* caption = nullptr) {
        HWND found = nullptr;
        for (int i = 0; i < 500 && found == nullptr; ++i) {
            found = FindTopWindow(GetCurrentProcessId(), className, caption);
            if (found == nullptr) Sleep(10);
        }
        return found;
    }
    // Answers the error box, noting its text; empty when none came.
    std::wstring AnswerErrorBox() {
        HWND box = WaitWindow(L"#32770", L"Заполнение некорректно");
        if (box == nullptr) return L"";
        std::wstring text = MessageBoxText(box);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        while (IsWindow(box)) Sleep(10);
        return text;
    }
    static void Key(HWND target, WPARAM key) { PostMessageW(target, WM_KEYDOWN, key, 0); }
    HWND Focus() const {
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(uiThread_, &info);
        return info.hwndFocus;
    }

    std::vector<std::wstring> boxes;
    HWND focusAtShow = nullptr;

private:
    DWORD uiThread_;
    std::thread thread_;
};

void SetText(HWND edit, const std::wstring& text) { SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())); }

class LoginTest : public ::testing::Test {
protected:
    TOwned<TfLogin> login;
    void SetUp() override { ASSERT_TRUE(login.Create(nullptr)); }
};

}  // namespace

TEST_F(LoginTest, DialogOfFixedSizeCentredWithTheDesignedCaptions) {
    HWND hwnd = login.Handle();
    EXPECT_EQ(WindowText(hwnd), L"Регистрация нового пользователя");
    RECT client, window;
    GetClientRect(hwnd, &client);
    GetWindowRect(hwnd, &window);
    EXPECT_EQ(client.right, 404);
    EXPECT_EQ(client.bottom, 128);
    EXPECT_EQ(window.left, (GetSystemMetrics(SM_CXSCREEN) - (window.right - window.left)) / 2);
    EXPECT_EQ(GetWindowLongW(hwnd, GWL_STYLE) & WS_THICKFRAME, 0) << "not resizable";
    EXPECT_EQ(WindowText(login.lbFIO), L"Фамилия Имя Отчество");
    EXPECT_EQ(WindowText(login.btnOk), L"ОК");
    EXPECT_EQ(WindowText(login.btnCancel), L"Отмена");
    EXPECT_EQ(SendMessageW(login.eFIO, EM_GETLIMITTEXT, 0, 0), 250);
    EXPECT_EQ(SendMessageW(login.eOtherInfo, EM_GETLIMITTEXT, 0, 0), 250);
}

TEST_F(LoginTest, BlankFieldsAreRefusedOneMessageAtATime) {
    TLoginDriver driver([&](TLoginDriver& d) {
        HWND w = d.WaitWindow(L"TfLogin");
        if (w == nullptr) return;
        for (int i = 0; i < 100 && (d.focusAtShow = d.Focus()) != login.eFIO; ++i) Sleep(10);
        SetText(login.eFIO, L"   ");
        TLoginDriver::Key(login.eFIO, VK_RETURN);  // both blank: only the name is named
        d.boxes.push_back(d.AnswerErrorBox());
        SetText(login.eFIO, L"  Иванов Иван  ");
        TLoginDriver::Key(login.eOtherInfo, VK_RETURN);
        d.boxes.push_back(d.AnswerErrorBox());
        SetText(login.eOtherInfo, L"9А");
        TLoginDriver::Key(login.eOtherInfo, VK_RETURN);
    });
    EXPECT_TRUE(login.Execute(Utf8ToCp1251("Класс")));
    driver.Join();
    EXPECT_EQ(driver.focusAtShow, login.eFIO);
    ASSERT_EQ(driver.boxes.size(), 2u);
    EXPECT_EQ(driver.boxes[0], L"Поле ввода \"Фамилия Имя Отчество\" не заполнено!");
    EXPECT_EQ(driver.boxes[1], L"Поле ввода \"Класс\" не заполнено!");
    // The texts go on exactly as typed.
    EXPECT_EQ(login.FIO(), Utf8ToCp1251("  Иванов Иван  "));
    EXPECT_EQ(login.OtherInfo(), Utf8ToCp1251("9А"));
    EXPECT_EQ(login.OtherInfoCaption(), Utf8ToCp1251("Класс"));
    EXPECT_FALSE(IsWindowVisible(login.Handle()));

    // Kept for the next showing until cleared.
    login.ClearFields();
    EXPECT_EQ(login.FIO(), "");
    EXPECT_EQ(login.OtherInfo(), "");
}

TEST_F(LoginTest, AnEmptyCaptionIsNamedEmpty) {
    TLoginDriver driver([&](TLoginDriver& d) {
        if (d.WaitWindow(L"TfLogin") == nullptr) return;
        SetText(login.eFIO, L"Петров");
        TLoginDriver::Key(login.eFIO, VK_RETURN);
        d.boxes.push_back(d.AnswerErrorBox());
        SetText(login.eOtherInfo, L"\t");  // a tab is something typed
        PostMessageW(login.Handle(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(login.btnOk));
    });
    EXPECT_TRUE(login.Execute(""));
    driver.Join();
    ASSERT_EQ(driver.boxes.size(), 1u);
    EXPECT_EQ(driver.boxes[0], L"Поле ввода \"\" не заполнено!");
}

TEST_F(LoginTest, EscapeCancelButtonAndTitleBarCancelWithoutACheck) {
    struct Case {
        const char* what;
        std::function<void()> act;
    } cases[] = {
        {"Escape", [&] { TLoginDriver::Key(login.eOtherInfo, VK_ESCAPE); }},
        {"Отмена", [&] { PostMessageW(login.Handle(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); }},
        {"title bar", [&] { PostMessageW(login.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bool boxShown = false;
        TLoginDriver driver([&](TLoginDriver& d) {
            HWND w = d.WaitWindow(L"TfLogin");
            if (w == nullptr) return;
            c.act();
            for (int i = 0; i < 500 && IsWindowVisible(w); ++i) {
                boxShown = boxShown || FindTopWindow(GetCurrentProcessId(), L"#32770") != nullptr;
                Sleep(10);
            }
        });
        EXPECT_FALSE(login.Execute("x"));
        driver.Join();
        EXPECT_FALSE(boxShown) << "no check, no message";
    }
}

TEST_F(LoginTest, TypingStopsAt250Characters) {
    SetFocus(login.eFIO);
    for (int i = 0; i < 260; ++i) SendMessageW(login.eFIO, WM_CHAR, L'я', 0);
    EXPECT_EQ(login.FIO(), std::string(250, '\xFF'));
}

// ---- Screen scaling ----

namespace {

void ExpectLoginLayoutAt(TfLogin& login, int dpi) {
    RECT client;
    GetClientRect(login.Handle(), &client);
    EXPECT_GE(client.right, ScaleForDpi(404, dpi));
    EXPECT_GE(client.bottom, ScaleForDpi(128, dpi));
    for (HWND edit : {login.eFIO, login.eOtherInfo}) {
        const RECT rc = RectInParent(edit);
        EXPECT_SCALED_OR_MORE(rc.right - rc.left, 284, dpi);
        EXPECT_SCALED_OR_MORE(rc.bottom - rc.top, 22, dpi);
    }
    const RECT picture = RectInParent(login.imgLogin);
    EXPECT_SCALED(picture.right - picture.left, 96, dpi);
    const RECT ok = RectInParent(login.btnOk), cancel = RectInParent(login.btnCancel);
    EXPECT_SCALED_OR_MORE(ok.right - ok.left, 78, dpi);
    EXPECT_SCALED_OR_MORE(ok.bottom - ok.top, 25, dpi);
    EXPECT_LT(ok.right, cancel.left);
    // Top to bottom: caption, its field, the second caption, its field, the buttons.
    EXPECT_LE(RectInParent(login.lbFIO).bottom, RectInParent(login.eFIO).top);
    EXPECT_LE(RectInParent(login.eFIO).bottom, RectInParent(login.lbOtherInfo).top);
    EXPECT_LE(RectInParent(login.lbOtherInfo).bottom, RectInParent(login.eOtherInfo).top);
    EXPECT_LE(RectInParent(login.eOtherInfo).bottom, ok.top);
    EXPECT_LE(cancel.right, client.right);
    EXPECT_LE(cancel.bottom, client.bottom);
}

}  // namespace

TEST(DpiFit, RegistrationHoldsItsCaptionsAtTheScreensScaling) {
    const int dpi = ExpectedTestDpi();
    const char* captions[] = {"Группа, Филиал и др.", "", "Факультет, курс и номер учебной группы обучения"};
    for (const char* caption : captions) {
        SCOPED_TRACE(caption);
        TOwned<TfLogin> login;
        ASSERT_TRUE(login.Create(nullptr));
        std::vector<TClippedText> clipped;
        TLoginDriver driver([&](TLoginDriver&) {
            if (!WaitUntil([&] { return IsWindowVisible(login.Handle()) != FALSE; }, 5000)) return;
            clipped = ClippedTexts(login.Handle());
            TLoginDriver::Key(login.eFIO, VK_ESCAPE);
        });
        EXPECT_FALSE(login.Execute(Utf8ToCp1251(caption)));
        driver.Join();
        EXPECT_TRUE(clipped.empty()) << DescribeClipped(clipped);
        ExpectLoginLayoutAt(login, dpi);
        if (dpi == 96 && std::string(caption).size() < 30) {
            RECT client;
            GetClientRect(login.Handle(), &client);
            EXPECT_EQ(client.right, 404);
            EXPECT_EQ(client.bottom, 128);
        }
        RECT window;
        GetWindowRect(login.Handle(), &window);
        EXPECT_EQ(window.left, CenteredOnScreen(window.right - window.left, window.bottom - window.top).x);
    }
}

TEST(DpiFit, RegistrationLaysItselfOutAgainWhenItsDpiChanges) {
    const int from = ExpectedTestDpi();
    const int to = from == 144 ? 192 : 144;
    TOwned<TfLogin> login;
    ASSERT_TRUE(login.Create(nullptr));
    RECT suggested = {10, 20, 600, 400};
    SendMessageW(login.Handle(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(login.Dpi(), to);
    EXPECT_TEXTS_FIT(login.Handle());
    ExpectLoginLayoutAt(login, to);
    RECT window;
    GetWindowRect(login.Handle(), &window);
    EXPECT_EQ(window.left, 10);
    EXPECT_EQ(window.top, 20);
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(login.eFIO, WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_EQ(font.lfHeight, NonClientMetricsForDpi(to).lfMessageFont.lfHeight);
}
