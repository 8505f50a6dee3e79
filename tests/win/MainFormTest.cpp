#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "archive/ZipTest.h"
#include "model/Codepage.h"
#include "run/MainFormUnit.h"
#include "tests/win/DpiFit.h"
#include "tests/win/MainFormAccess.h"
#include "tests/win/WinTestUtil.h"
#include "tools/MediaFixtures.h"

namespace {

struct TSeenBox {
    std::wstring caption, text;
};

// Answers the message boxes of this process with OK as they appear, noting each one. The
// registration is filled in the first time and cancelled the next, which ends the program.
// Each window is waited out before the next look, so a handle used again by a later window
// is never taken for the old one. Should the program not end, the watchdog quits its loop so
// that the test fails instead of hanging.
class TBoxAnswerer {
public:
    TBoxAnswerer() : pid_(GetCurrentProcessId()), uiThread_(GetCurrentThreadId()) {
        thread_ = std::thread([this] {
            const DWORD start = GetTickCount();
            while (!stop_) {
                if (GetTickCount() - start > 30000) {
                    ADD_FAILURE() << "the program did not end; quitting its loop";
                    PostThreadMessageW(uiThread_, WM_QUIT, 0, 0);
                    return;
                }
                HWND box = FindTopWindow(pid_, L"#32770");
                if (box != nullptr) {
                    seen_.push_back({WindowText(box), MessageBoxText(box)});
                    PostMessageW(box, WM_COMMAND, IDOK, 0);
                    WaitHidden(box);
                    continue;
                }
                HWND login = FindTopWindow(pid_, L"TfLogin");
                if (login != nullptr) {
                    if (logins_++ == 0) {
                        HWND eFIO = FindWindowExW(login, nullptr, L"Edit", nullptr);
                        HWND eOther = FindWindowExW(login, eFIO, L"Edit", nullptr);
                        SendMessageW(eFIO, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Иванов"));
                        SendMessageW(eOther, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"1"));
                        PostMessageW(login, WM_KEYDOWN, VK_RETURN, 0);
                    } else {
                        PostMessageW(login, WM_KEYDOWN, VK_ESCAPE, 0);
                    }
                    WaitHidden(login);
                    continue;
                }
                Sleep(10);
            }
        });
    }
    ~TBoxAnswerer() { Stop(); }
    // Ends the watching; the boxes seen until then.
    std::vector<TSeenBox> Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return seen_;
    }

private:
    void WaitHidden(HWND window) {
        for (int i = 0; i < 1000 && !stop_ && IsWindow(window) && IsWindowVisible(window); ++i) Sleep(10);
    }

    DWORD pid_;
    DWORD uiThread_;
    std::atomic<bool> stop_{false};
    int logins_ = 0;
    std::vector<TSeenBox> seen_;
    std::thread thread_;
};

}  // namespace

TEST(MainForm, BorderlessBlackAndCoversTheScreen) {
    TPayloadInfo settings;
    TOwned<TfMainForTest> main(settings);
    ASSERT_TRUE(main.Create());
    ShowWindow(main.Handle(), SW_SHOWMAXIMIZED);
    LONG style = GetWindowLongW(main.Handle(), GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER), 0);
    EXPECT_EQ(WindowText(main.Handle()), L"Проведение тестирования");
    RECT rc;
    GetWindowRect(main.Handle(), &rc);
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.top, 0);
    EXPECT_EQ(rc.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(rc.bottom, GetSystemMetrics(SM_CYSCREEN));
    UpdateWindow(main.Handle());
    HDC dc = GetDC(main.Handle());
    EXPECT_EQ(GetPixel(dc, 50, 50), RGB(0, 0, 0));
    ReleaseDC(main.Handle(), dc);
}

TEST(MainForm, RefusesToBeClosedByThePerson) {
    TPayloadInfo settings;
    TOwned<TfMainForTest> main(settings);
    ASSERT_TRUE(main.Create());
    SendMessageW(main.Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(main.Handle()));
    SendMessageW(main.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(IsWindow(main.Handle()));
}

TEST(MainForm, ShowsTheInformationTextThenReportsAnUnreadableTest) {
    TPayloadInfo settings;
    settings.InfoText = Utf8ToCp1251("  Тест по физике./nВремя: 10 минут.");
    settings.ArchiveFile = L"C:\\temp\\abcdfghi.tmp";
    TOwned<TfMainForTest> main(settings);
    ASSERT_TRUE(main.Create());
    TBoxAnswerer answerer;
    main.RunTestLoop();
    std::vector<TSeenBox> seen = answerer.Stop();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].caption, L"Информация теста ...");
    EXPECT_EQ(seen[0].text, L"  Тест по физике.\r\nВремя: 10 минут.");
    EXPECT_EQ(seen[1].caption, L"Ошибка!");
    EXPECT_EQ(seen[1].text, L"Не удается прочитать тест \"C:\\temp\\abcdfghi.tmp\"");
}

TEST(MainForm, BlankInformationTextShowsNoBox) {
    for (const char* info : {"", "    ", " "}) {
        TPayloadInfo settings;
        settings.InfoText = info;
        TOwned<TfMainForTest> main(settings);
        ASSERT_TRUE(main.Create());
        TBoxAnswerer answerer;
        main.RunTestLoop();
        std::vector<TSeenBox> seen = answerer.Stop();
        ASSERT_EQ(seen.size(), 1u) << "info text \"" << info << "\"";
        EXPECT_EQ(seen[0].caption, L"Ошибка!");
        EXPECT_EQ(seen[0].text, L"Не удается прочитать тест \"\"");
    }
}

// An entry packed by a method the player does not know: the person is told so, and the
// test cannot be read.
TEST(MainForm, ReportsAnUnknownCompressionMethod) {
    TScratchFolder scratch;
    TZipSignatures saved = ZipSignatures();
    SetZipSignatures(kTestArchiveSignatures);
    ASSERT_TRUE(WriteWholeFile(scratch / L"INDEX.SYS", "Q0001.QST\r\n"));
    TZipArchive zip;
    zip.SetArchiveFile(scratch / L"test.tmp");
    zip.SetPassword(kArchivePasswordText);
    zip.AddFiles = {scratch / L"INDEX.SYS"};
    ASSERT_EQ(zip.Add(), 1);
    zip.Close();
    std::string bytes = ReadWholeFile(scratch / L"test.tmp");
    size_t name = bytes.rfind("INDEX.SYS");  // the central header's copy of the name
    ASSERT_NE(name, std::string::npos);
    bytes[name - 46 + 10] = 12;  // method 12: bzip2
    ASSERT_TRUE(WriteWholeFile(scratch / L"test.tmp", bytes));

    TPayloadInfo settings;
    settings.ArchiveFile = scratch / L"test.tmp";
    TOwned<TfMainForTest> main(settings);
    ASSERT_TRUE(main.Create());
    TBoxAnswerer answerer;
    main.RunTestLoop();
    std::vector<TSeenBox> seen = answerer.Stop();
    SetZipSignatures(saved);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].caption, L"Zip Error");
    EXPECT_EQ(seen[0].text, L"Unknown Compression Method");
    EXPECT_EQ(seen[1].caption, L"Ошибка!");
}

// The stage looks at keys and the wheel before its controls, in the message loop rather than in a
// window procedure; an error there is dropped as one raised in a window procedure is: the media
// player is closed, that message goes no further, and the loop goes on with the next.
TEST(MainForm, AnErrorInTheKeyOrWheelHandlingIsDroppedAndClosesTheMediaPlayer) {
    TScratchFolder folder;
    const TPath wav = folder / L"tone.wav";
    ASSERT_TRUE(WriteWholeFile(wav, MakeWav(16000)));
    TPayloadInfo settings;
    TOwned<TfMainForTest> main(settings);
    ASSERT_TRUE(main.Create());
    for (UINT message : {UINT(WM_KEYDOWN), UINT(WM_MOUSEWHEEL)}) {
        main.PlayMedia(wav, nullptr, nullptr, nullptr, 0);
        ASSERT_TRUE(main.Media.Playing());
        // The player's own news of the start first: its handler runs a loop of its own.
        ProcessMessages();
        constexpr UINT kNext = WM_APP + 7;
        PostMessageW(main.Handle(), message, 0, 0);
        PostMessageW(main.Handle(), kNext, 0, 0);
        int next = 0;
        const bool alive = ProcessMessages([&](MSG& msg) {
            if (msg.message == message) throw std::runtime_error("raised while handling the key");
            if (msg.message == kNext) ++next;
            return false;
        });
        EXPECT_TRUE(alive) << message;
        EXPECT_EQ(next, 1) << "the loop went on: " << message;
        EXPECT_FALSE(main.Media.Playing()) << "the media player was closed: " << message;
    }
}


// "Подождите ..." in its 14 points at the screen's scaling, whole and in the middle of the stage;
// the same after a change of scaling.
TEST(DpiFit, TheWaitLabelHoldsItsText) {
    TPayloadInfo settings;
    TOwned<TfMainForTest> main(settings);
    ASSERT_TRUE(main.Create());
    ShowWindow(main.Handle(), SW_SHOW);
    main.ShowWait();
    HWND wait = FindWindowExW(main.Handle(), nullptr, L"Static", L"Подождите ...");
    ASSERT_NE(wait, nullptr);
    const int dpi = ExpectedTestDpi();
    for (int at : {dpi, dpi < 144 ? 192 : 96}) {
        SCOPED_TRACE("at " + std::to_string(at) + " DPI");
        if (at != main.Dpi()) {
            RECT suggested;
            GetWindowRect(main.Handle(), &suggested);
            SendMessageW(main.Handle(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(at, at),
                         reinterpret_cast<LPARAM>(&suggested));
        }
        EXPECT_EQ(main.Dpi(), at);
        EXPECT_TRUE(IsWindowVisible(wait));
        // Nothing else of the stage is out while the test is read.
        EXPECT_TEXTS_FIT(main.Handle());
        const RECT rc = RectInParent(wait);
        EXPECT_SCALED_OR_MORE(rc.right - rc.left, 240, at);
        EXPECT_SCALED_OR_MORE(rc.bottom - rc.top, 28, at);
        EXPECT_NEAR((rc.left + rc.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
        EXPECT_NEAR((rc.top + rc.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
        LOGFONTW font = {};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(wait, WM_GETFONT, 0, 0)), sizeof(font), &font);
        EXPECT_EQ(font.lfHeight, PointsToHeight(14, at));
        EXPECT_EQ(main.InfoHeight(), RectInParent(main.gbxInfo.Handle()).bottom - RectInParent(main.gbxInfo.Handle()).top);
        EXPECT_SCALED_OR_MORE(main.InfoHeight(), TfMain::kInfoHeight, at);
    }
}

// The question panel after a change of scaling: its text fitted again in the new font, or the
// object that replaces the text placed again inside the new border.
TEST(DpiFit, TheQuestionPanelFollowsAChangeOfScaling) {
    TScratchFolder scratch;
    TPayloadInfo settings;
    settings.QuestionFontSize = 14;
    TOwned<TfMainForTest> main(settings);
    ASSERT_TRUE(main.Create());
    ShowWindow(main.Handle(), SW_SHOW);
    const int dpi = ExpectedTestDpi(), newDpi = dpi < 144 ? 192 : 96;
    auto changeTo = [&](int at) {
        RECT suggested;
        GetWindowRect(main.Handle(), &suggested);
        SendMessageW(main.Handle(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(at, at), reinterpret_cast<LPARAM>(&suggested));
    };
    auto panel = [&] { return RectInParent(main.pnlQuestion.Handle()); };

    // Text of many lines: the panel as tall as the wrapped text in the font of the new scaling.
    std::string text;
    for (int i = 0; i < 40; ++i) text += Utf8ToCp1251("Длинный текст вопроса ");
    main.ShowQuestionText(text);
    // On stage, where the slide puts it.
    SetWindowPos(main.pnlQuestion.Handle(), nullptr, ScaleForDpi(10, dpi), panel().top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(main.pnlQuestion.Handle(), SW_SHOW);
    changeTo(newDpi);
    EXPECT_EQ(main.Dpi(), newDpi);
    EXPECT_TEXTS_FIT(main.pnlQuestion.Handle());
    const RECT label = RectInParent(main.lbQuestion);
    EXPECT_SCALED(label.left, 12, newDpi);
    EXPECT_SCALED(label.top, 12, newDpi);
    EXPECT_EQ(panel().bottom - panel().top, std::max(main.QuestionPanelMinHeight,
                                                     static_cast<int>(label.bottom + ScaleForDpi(12, newDpi))));
    EXPECT_SCALED(panel().top, 10, newDpi);
    EXPECT_SCALED(panel().left, 10, newDpi) << "a panel on stage stays on stage";

    // An object in place of the text: inside the panel's border, the panel as tall as it needs.
    TAttachOptions options;
    options.Width = 400;
    options.Height = 100;
    options.ReplaceText = true;
    main.ShowQuestionAttach(akOle, scratch / L"missing.ole", options);
    changeTo(dpi);
    const RECT object = RectInParent(main.ocQuestion.Handle());
    EXPECT_TRUE(GetWindowLongW(main.ocQuestion.Handle(), GWL_STYLE) & WS_VISIBLE);
    EXPECT_GE(object.left, ScaleForDpi(10, dpi));
    EXPECT_EQ(object.right, panel().right - panel().left - object.left) << "centred in the panel";
    EXPECT_EQ(object.bottom - object.top, 100 * (object.right - object.left) / 400);
    EXPECT_EQ(panel().bottom - panel().top, object.bottom + object.top);
}
