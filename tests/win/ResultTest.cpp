#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "model/Codepage.h"
#include "platform/Dpi.h"
#include "platform/Win32Util.h"
#include "tests/win/DpiFit.h"
#include "tests/win/WinTestUtil.h"
#include "windows/LogFormUnit.h"
#include "windows/ResultFormUnit.h"

namespace {

// Plays the person on another thread while the test's thread runs the window's modal loop.
class TScript {
public:
    explicit TScript(std::function<void()> script) : thread_(std::move(script)) {}
    ~TScript() { Join(); }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }

private:
    std::thread thread_;
};

HWND WaitForWindow(const wchar_t* className, const wchar_t* caption, int ms = 5000) {
    for (int waited = 0; waited < ms; waited += 10) {
        if (HWND found = FindTopWindow(GetCurrentProcessId(), className, caption)) return found;
        Sleep(10);
    }
    return nullptr;
}

void WaitGone(HWND hwnd) {
    for (int i = 0; i < 500 && IsWindow(hwnd); ++i) Sleep(10);
}

HWND ResultWindow() { return WaitForWindow(L"TfResult", L"Результат тестирования"); }
HWND ErrorBox(int ms = 5000) { return WaitForWindow(L"#32770", L"Ошибка!", ms); }

void PostKey(HWND target, WPARAM key) { PostMessageW(target, WM_KEYDOWN, key, 0); }

// The size `text` needs in the control's own font.
SIZE NeededSize(HWND control, const std::wstring& text) {
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT need = {0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return SIZE{need.right, need.bottom};
}

void ExpectFits(HWND control, const std::wstring& text) {
    const SIZE need = NeededSize(control, text);
    RECT have;
    GetClientRect(control, &have);
    EXPECT_LE(need.cx, have.right) << text;
    EXPECT_LE(need.cy, have.bottom) << text;
}

class ResultWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner = CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPED, 0, 0, 200, 100, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(owner, nullptr);
        ASSERT_TRUE(result.Create(owner));
        result.ResultsPath = path;
        // No second folder unless a test makes one: a record that the first cannot take is lost.
        result.FallbackFolder = folder / L"no documents";
    }
    void TearDown() override {
        result.Destroy();
        DestroyWindow(owner);
    }
    void Fill() {
        result.SetOtherInfoCaption(Utf8ToCp1251("Класс"));
        result.SetFIO(Utf8ToCp1251("  Петров   Пётр "));
        result.SetOtherInfo(Utf8ToCp1251("9 Б"));
        result.SetTestName(Utf8ToCp1251("Физика - 1"));
        result.SetInterrupted(false);
        result.SetMark(21);
        result.SetTestTime(75);
    }
    static std::string Record(const char* mark, const char* time) {
        return Utf8ToCp1251(std::string("Название теста: - Физика - 1\r\n"
                                        "ФИО тестируемого -   Петров   Пётр \r\n"
                                        "Класс - 9 Б\r\n"
                                        "Время тестирования: - ") +
                            time + "\r\nРезультирующая оценка: - " + mark + "\r\n\r\n");
    }

    TScratchFolder folder;
    TPath path = folder / L"Results.txt";
    HWND owner = nullptr;
    TOwned<TfResult> result;
};

TEST_F(ResultWindowTest, FixedWindowOfTheDesignedSizeAndTexts) {
    HWND hwnd = result.Handle();
    EXPECT_EQ(WindowText(hwnd), L"Результат тестирования");
    EXPECT_EQ(GetWindow(hwnd, GW_OWNER), owner);
    RECT client, window;
    GetClientRect(hwnd, &client);
    GetWindowRect(hwnd, &window);
    EXPECT_EQ(client.right, 431);
    EXPECT_EQ(client.bottom, 223);
    EXPECT_EQ(window.left, (GetSystemMetrics(SM_CXSCREEN) - (window.right - window.left)) / 2);
    EXPECT_EQ(window.top, (GetSystemMetrics(SM_CYSCREEN) - (window.bottom - window.top)) / 2);
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    EXPECT_NE(style & WS_SYSMENU, 0);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    EXPECT_FALSE(IsWindowVisible(hwnd)) << "hidden until shown";

    struct Fixed {
        HWND control;
        const wchar_t* text;
    };
    const Fixed fixed[] = {
        {result.lbTestName_, L"Название теста:"},
        {result.lbFIO_, L"ФИО тестируемого"},
        {result.lbOtherInfo_, L"Дополнительно"},
        {result.lbTimeOfTest_, L"Время тестирования:"},
        {result.lbMark_, L"Результирующая оценка:"},
        {result.lbTestInterrupted, L"* Тест был\r\n  прерван"},
        {result.lbLog, L"Журнал теста"},
        {result.btnStartNewTest, L"Тестировать снова"},
        {result.btnCloseProgram, L"Выйти из программы"},
    };
    for (const Fixed& f : fixed) {
        EXPECT_EQ(WindowText(f.control), f.text);
        ExpectFits(f.control, f.text);
    }

    // Nothing sticks out of the window.
    for (HWND child = GetWindow(hwnd, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rc = RectInParent(child);
        EXPECT_TRUE(rc.left >= 0 && rc.top >= 0 && rc.right <= 431 && rc.bottom <= 223) << WindowText(child);
    }
    RECT logo = RectInParent(result.imgLogo), frame = RectInParent(result.bvLogo), note = RectInParent(result.lbTestInterrupted);
    EXPECT_EQ(logo.right - logo.left, 72);
    EXPECT_EQ(logo.bottom - logo.top, 72);
    EXPECT_TRUE(frame.left < logo.left && frame.top < logo.top && frame.right > logo.right && frame.bottom > logo.bottom);
    EXPECT_GE(note.top, frame.bottom) << "the note goes under the logo";
    EXPECT_LT(note.left, frame.right);
    RECT link = RectInParent(result.lbLog), buttons = RectInParent(result.btnCloseProgram);
    EXPECT_GE(link.top, buttons.bottom) << "bottom right";
    EXPECT_GT(link.left, 431 / 2);
}

TEST_F(ResultWindowTest, NameRowsMakeRoomForTheirCaptions) {
    const std::wstring name = L"Иванов Иван Иванович";
    struct Case {
        const wchar_t* caption;
        bool fits;
    };
    const Case cases[] = {
        {L"", true},
        {L"Класс", true},
        {L"Группа, Филиал и др.", true},
        // A caption too long for the row gives way to the value.
        {L"Место работы, должность и стаж работы", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        result.SetOtherInfoCaption(WideToCp1251(c.caption));
        if (c.fits) ExpectFits(result.lbOtherInfo_, c.caption);
        ExpectFits(result.lbFIO_, L"ФИО тестируемого");
        ExpectFits(result.lbFIO, name);
        ExpectFits(result.lbOtherInfo, name);
        RECT caption = RectInParent(result.lbOtherInfo_), value = RectInParent(result.lbOtherInfo),
             fioCaption = RectInParent(result.lbFIO_), fio = RectInParent(result.lbFIO), group = RectInParent(result.bvLogin);
        EXPECT_EQ(caption.right, fioCaption.right) << "one column";
        EXPECT_EQ(value.left, fio.left);
        EXPECT_LT(caption.right, value.left);
        EXPECT_LT(value.right, group.right);
    }
}

TEST_F(ResultWindowTest, ValuesBoldLinkLooksLikeALink) {
    auto fontOf = [](HWND control) {
        LOGFONTW font = {};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font), &font);
        return font;
    };
    for (HWND value : {result.lbTestName, result.lbFIO, result.lbOtherInfo, result.lbTimeOfTest, result.lbMark}) {
        EXPECT_GE(fontOf(value).lfWeight, FW_BOLD);
    }
    for (HWND caption : {result.lbTestName_, result.lbFIO_, result.lbOtherInfo_, result.lbTimeOfTest_, result.lbMark_}) {
        EXPECT_LT(fontOf(caption).lfWeight, FW_BOLD);
    }
    EXPECT_TRUE(fontOf(result.lbLog).lfUnderline);
    EXPECT_NE(GetWindowLongW(result.lbLog, GWL_STYLE) & SS_NOTIFY, 0) << "clickable";

    HDC dc = CreateCompatibleDC(nullptr);
    SendMessageW(result.Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(result.lbLog));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 128));
    SendMessageW(result.Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(result.lbTestInterrupted));
    EXPECT_EQ(GetTextColor(dc), RGB(128, 128, 128));
    DeleteDC(dc);

    EXPECT_TRUE(SendMessageW(result.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(result.lbLog),
                             MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
}

TEST_F(ResultWindowTest, SettersShowTheirTexts) {
    struct Case {
        std::function<void()> set;
        HWND label;
        const char* text;  // UTF-8
    };
    const Case cases[] = {
        {[&] { result.SetMark(0); }, result.lbMark, "0 баллов"},
        {[&] { result.SetMark(21); }, result.lbMark, "21 балл"},
        {[&] { result.SetMark(112); }, result.lbMark, "112 баллов"},
        {[&] { result.SetTestTime(75); }, result.lbTimeOfTest, "1 мин 15 сек"},
        {[&] { result.SetTestTime(60); }, result.lbTimeOfTest, "60 сек"},
        {[&] { result.SetTestName(Utf8ToCp1251("Химия")); }, result.lbTestName, "Химия"},
        {[&] { result.SetFIO(Utf8ToCp1251("  Иванов  Иван ")); }, result.lbFIO, "  Иванов  Иван "},
        {[&] { result.SetOtherInfoCaption(Utf8ToCp1251("Группа")); }, result.lbOtherInfo_, "Группа"},
        {[&] { result.SetOtherInfoCaption(""); }, result.lbOtherInfo_, ""},
        {[&] { result.SetOtherInfo(Utf8ToCp1251(" 101 ")); }, result.lbOtherInfo, " 101 "},
    };
    for (const Case& c : cases) {
        c.set();
        EXPECT_EQ(WindowText(c.label), Cp1251ToWide(Utf8ToCp1251(c.text))) << c.text;
        EXPECT_EQ(result.Caption(c.label), Utf8ToCp1251(c.text)) << c.text;
    }
}

TEST_F(ResultWindowTest, InterruptedNoteShownOnlyWhenAsked) {
    EXPECT_FALSE(result.IsInterruptedShown());
    result.SetInterrupted(true);
    EXPECT_TRUE(result.IsInterruptedShown());
    EXPECT_NE(GetWindowLongW(result.lbTestInterrupted, GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_EQ(result.Caption(result.lbTestInterrupted), Utf8ToCp1251("* Тест был\r\n  прерван"));
    result.SetInterrupted(false);
    EXPECT_FALSE(result.IsInterruptedShown());
    EXPECT_EQ(GetWindowLongW(result.lbTestInterrupted, GWL_STYLE) & WS_VISIBLE, 0);
}

TEST_F(ResultWindowTest, EveryWayOfClosingGivesTheChoiceAndWritesTheRecord) {
    Fill();
    struct Case {
        const char* what;
        std::function<void(HWND)> act;
        bool again;
    };
    // Keys go to a control that would do otherwise by itself: the window sees them first.
    const Case cases[] = {
        {"Enter", [&](HWND) { PostKey(result.btnCloseProgram, VK_RETURN); }, true},
        {"Escape", [&](HWND) { PostKey(result.btnStartNewTest, VK_ESCAPE); }, false},
        {"Тестировать снова", [&](HWND) { PostMessageW(result.btnStartNewTest, BM_CLICK, 0, 0); }, true},
        {"Выйти из программы", [&](HWND) { PostMessageW(result.btnCloseProgram, BM_CLICK, 0, 0); }, false},
        {"WM_CLOSE", [](HWND w) { PostMessageW(w, WM_CLOSE, 0, 0); }, false},
        {"title bar", [](HWND w) { PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileAt(path);
        bool ownerEnabled = true, fileBeforeClosing = true;
        TScript script([&] {
            HWND w = ResultWindow();
            if (w == nullptr) return;
            ownerEnabled = IsWindowEnabled(owner) != FALSE;
            fileBeforeClosing = PathExists(path);
            c.act(w);
        });
        EXPECT_EQ(result.ShowAndRecord(), c.again);
        script.Join();
        EXPECT_FALSE(ownerEnabled) << "the main window waits";
        EXPECT_FALSE(fileBeforeClosing);
        EXPECT_TRUE(IsWindowEnabled(owner));
        EXPECT_FALSE(IsWindowVisible(result.Handle()));
        EXPECT_EQ(ReadWholeFile(path), Record("21 балл", "1 мин 15 сек"));
    }
}

TEST_F(ResultWindowTest, RunsAreAppendedToWhatIsThere) {
    const std::string before = "earlier record\r\n\r\n";
    ASSERT_TRUE(WriteWholeFile(path, before));
    Fill();
    {
        TScript script([&] { PostKey(ResultWindow(), VK_RETURN); });
        EXPECT_TRUE(result.ShowAndRecord());
    }
    // The next run overwrites some labels and keeps the others; the interruption is not recorded.
    result.SetInterrupted(true);
    result.SetMark(112);
    result.SetTestTime(60);
    {
        TScript script([&] { PostKey(ResultWindow(), VK_ESCAPE); });
        EXPECT_FALSE(result.ShowAndRecord());
    }
    EXPECT_EQ(ReadWholeFile(path), before + Record("21 балл", "1 мин 15 сек") + Record("112 баллов", "60 сек"));
}

TEST_F(ResultWindowTest, LogLinkShowsTheLogOfThatMomentAndLeavesTheWindowOpen) {
    Fill();
    const std::string first = Utf8ToCp1251("Вопрос 1\r\nОтвет: да\r\n");
    const std::string second = first + Utf8ToCp1251("Вопрос 2\r\nОтвет: нет\r\n");
    int calls = 0;
    result.LogText = [&] { return ++calls == 1 ? first : second; };
    struct Seen {
        std::wstring text;
        HWND logOwner = nullptr;
        bool resultEnabled = true;
        bool fileWritten = true;
        bool resultOpenAfter = false;
    };
    std::vector<Seen> seen;
    TScript script([&] {
        HWND w = ResultWindow();
        if (w == nullptr) return;
        for (int opening = 0; opening < 2; ++opening) {
            PostMessageW(result.lbLog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
            PostMessageW(result.lbLog, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
            HWND log = WaitForWindow(L"TfLog", L"Журнал теста");
            if (log == nullptr) break;
            Seen s;
            HWND memo = FindWindowExW(log, nullptr, L"EDIT", nullptr);
            s.text = WindowText(memo);
            s.logOwner = GetWindow(log, GW_OWNER);
            s.resultEnabled = IsWindowEnabled(w) != FALSE;
            s.fileWritten = PathExists(path);
            PostKey(memo, VK_ESCAPE);
            WaitGone(log);
            for (int i = 0; i < 100 && !IsWindowEnabled(w); ++i) Sleep(10);
            s.resultOpenAfter = IsWindowVisible(w) && IsWindowEnabled(w);
            seen.push_back(s);
        }
        PostKey(w, VK_RETURN);
    });
    EXPECT_TRUE(result.ShowAndRecord());
    script.Join();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, Cp1251ToWide(first));
    EXPECT_EQ(seen[1].text, Cp1251ToWide(second));
    for (const Seen& s : seen) {
        EXPECT_EQ(s.logOwner, result.Handle());
        EXPECT_FALSE(s.resultEnabled);
        EXPECT_FALSE(s.fileWritten) << "the record waits for the result window";
        EXPECT_TRUE(s.resultOpenAfter);
    }
    EXPECT_EQ(ReadWholeFile(path), Record("21 балл", "1 мин 15 сек")) << "written once";
}

TEST_F(ResultWindowTest, UnwritableFileOffersRetryAndCancel) {
    Fill();
    const TPath missing = folder / L"missing";
    struct Case {
        const char* what;
        TPath path;
        std::function<void()> spoil;
        std::function<void()> mend;
        std::function<bool()> unchanged;
    };
    const TPath inTheWay = folder / L"Results.txt";
    const Case cases[] = {
        {"a folder in the way", inTheWay, [&] { CreateFolder(inTheWay); }, [&] { RemoveEmptyFolder(inTheWay); },
         [&] {
             DWORD attributes = GetFileAttributesW(inTheWay.c_str());
             return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
         }},
        {"a missing folder", missing / L"Results.txt", [&] { RemoveEmptyFolder(missing); },
         [&] { CreateFolder(missing); }, [&] { return !PathExists(missing); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        result.ResultsPath = c.path;
        c.spoil();

        // Retry: once more in vain, then after the cause is mended.
        std::vector<std::wstring> texts;
        std::vector<HWND> owners;
        bool retryAndCancelOnly = false;
        TScript retry([&] {
            PostKey(ResultWindow(), VK_RETURN);
            for (int attempt = 0; attempt < 2; ++attempt) {
                HWND box = ErrorBox();
                if (box == nullptr) return;
                texts.push_back(MessageBoxText(box));
                owners.push_back(GetWindow(box, GW_OWNER));
                retryAndCancelOnly = GetDlgItem(box, IDRETRY) != nullptr && GetDlgItem(box, IDCANCEL) != nullptr &&
                                     GetDlgItem(box, IDOK) == nullptr;
                if (attempt == 1) c.mend();
                PostMessageW(box, WM_COMMAND, IDRETRY, 0);
                WaitGone(box);
            }
        });
        EXPECT_TRUE(result.ShowAndRecord());
        retry.Join();
        ASSERT_EQ(texts.size(), 2u);
        EXPECT_TRUE(retryAndCancelOnly);
        for (size_t i = 0; i < texts.size(); ++i) {
            EXPECT_NE(texts[i].find(c.path.wstring()), std::wstring::npos) << texts[i];
            const size_t reason = texts[i].find(L"\r\n");
            EXPECT_TRUE(reason != std::wstring::npos && reason + 2 < texts[i].size()) << "the system's reason";
            EXPECT_NE(texts[i].find((folder / L"no documents" / L"Results.txt").wstring()), std::wstring::npos)
                << "the second folder tried, too: " << WideToCp1251(texts[i]);
            EXPECT_NE(texts[i].find(Cp1251ToWide(Record("21 балл", "1 мин 15 сек"))), std::wstring::npos)
                << "the whole record, to be copied down: " << WideToCp1251(texts[i]);
            EXPECT_NE(texts[i].find(L"«Отмена» — результат будет потерян"), std::wstring::npos)
                << "what Cancel does: " << WideToCp1251(texts[i]);
            EXPECT_EQ(owners[i], owner) << "owned by the main window";
        }
        EXPECT_EQ(ReadWholeFile(c.path), Record("21 балл", "1 мин 15 сек")) << "written once";

        // Cancel: the record is given up and the choice still comes back.
        DeleteFileAt(c.path);
        c.spoil();
        int boxes = 0;
        TScript cancel([&] {
            PostKey(ResultWindow(), VK_ESCAPE);
            for (HWND box = ErrorBox(); box != nullptr; box = ErrorBox(500)) {
                ++boxes;
                PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
                WaitGone(box);
            }
        });
        EXPECT_FALSE(result.ShowAndRecord());
        cancel.Join();
        EXPECT_EQ(boxes, 1);
        EXPECT_TRUE(c.unchanged());
        c.mend();
        DeleteFileAt(c.path);
    }
}

// The program's folder cannot be written (a read-only share): the record goes to the person's
// documents, and a box says where.
TEST_F(ResultWindowTest, ARecordTheFolderCannotTakeGoesToTheDocumentsAndTheBoxSaysWhere) {
    Fill();
    const TPath documents = folder / L"Мои документы";
    ASSERT_TRUE(CreateFolder(documents));
    result.ResultsPath = folder / L"missing" / L"Results.txt";
    result.FallbackFolder = documents;
    std::wstring text;
    bool okOnly = false;
    bool errorBox = false;
    TScript person([&] {
        PostKey(ResultWindow(), VK_RETURN);
        HWND box = WaitForWindow(L"#32770", L"Файл результатов");
        if (box == nullptr) return;
        text = MessageBoxText(box);
        okOnly = GetDlgItem(box, IDOK) != nullptr && GetDlgItem(box, IDCANCEL) == nullptr;
        errorBox = ErrorBox(100) != nullptr;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        WaitGone(box);
    });
    EXPECT_TRUE(result.ShowAndRecord());
    person.Join();
    EXPECT_NE(text.find(L"Результат записан в файл \"" + (documents / L"Results.txt").wstring() + L"\""),
              std::wstring::npos)
        << WideToCp1251(text);
    EXPECT_NE(text.find((folder / L"missing" / L"Results.txt").wstring()), std::wstring::npos)
        << "and which file could not be written: " << WideToCp1251(text);
    EXPECT_TRUE(okOnly);
    EXPECT_FALSE(errorBox);
    EXPECT_EQ(ReadWholeFile(documents / L"Results.txt"), Record("21 балл", "1 мин 15 сек"));
    EXPECT_FALSE(result.RecordPending);
}

// Another player is writing the same file: the record waits its turn, nobody is asked anything.
TEST_F(ResultWindowTest, AFileAnotherPlayerHoldsIsWaitedForWithoutAsking) {
    Fill();
    ASSERT_TRUE(WriteWholeFile(path, "old\r\n"));
    TBinaryFile other;
    ASSERT_EQ(other.OpenExclusive(path), TBinaryFile::TExclusiveOpen::Opened);
    bool box = false;
    TScript person([&] {
        PostKey(ResultWindow(), VK_ESCAPE);
        Sleep(800);
        box = FindTopWindow(GetCurrentProcessId(), L"#32770", nullptr) != nullptr;
        other.Close();
    });
    EXPECT_FALSE(result.ShowAndRecord());
    person.Join();
    EXPECT_FALSE(box) << "no box while the other player writes";
    EXPECT_EQ(ReadWholeFile(path), "old\r\n" + Record("21 балл", "1 мин 15 сек"));
}

// The session ends: a pending record is written without a word, once; nothing pending writes nothing.
TEST_F(ResultWindowTest, RecordNowWritesWhatIsPendingWithoutAsking) {
    Fill();
    EXPECT_TRUE(result.RecordNow());
    EXPECT_EQ(ReadWholeFile(path), "<missing>") << "nothing pending";
    result.RecordPending = true;
    EXPECT_TRUE(result.RecordNow());
    EXPECT_FALSE(result.RecordPending);
    EXPECT_TRUE(result.RecordNow());
    EXPECT_EQ(ReadWholeFile(path), Record("21 балл", "1 мин 15 сек")) << "written once";

    // Neither folder can take it: it stays pending, and no box is shown.
    result.ResultsPath = folder / L"missing" / L"Results.txt";
    result.RecordPending = true;
    EXPECT_FALSE(result.RecordNow());
    EXPECT_TRUE(result.RecordPending);
    EXPECT_EQ(FindTopWindow(GetCurrentProcessId(), L"#32770", nullptr), nullptr);
}

TEST(ReadLastSystemErrorTest, TheSystemsReasonInOneTrimmedPiece) {
    struct Case {
        DWORD code;
        bool known;
    };
    const Case cases[] = {{ERROR_PATH_NOT_FOUND, true}, {ERROR_ACCESS_DENIED, true}, {0x2000ABCD, false}};
    for (const Case& c : cases) {
        SetLastError(c.code);
        TSystemError error = ReadLastSystemError();
        EXPECT_EQ(error.Code, static_cast<int>(c.code));
        ASSERT_FALSE(error.Text.empty()) << c.code;
        EXPECT_NE(error.Text.back(), '\n') << c.code;
        EXPECT_NE(error.Text.back(), '\r') << c.code;
        EXPECT_NE(error.Text.back(), ' ') << c.code;
        if (!c.known) {
            EXPECT_NE(error.Text.find(std::to_string(c.code)), std::string::npos) << error.Text;
        }
    }
}

TEST_F(ResultWindowTest, FileErrorsCarryTheWindowsCode) {
    // Create installed the Windows reader: errno would say 2 (ENOENT) here.
    TAppendResult failed = AppendResultsRecord(folder / L"missing" / L"Results.txt", "x");
    EXPECT_FALSE(failed.Ok);
    EXPECT_EQ(failed.ErrorCode, ERROR_PATH_NOT_FOUND);
}

}  // namespace

// ---- Screen scaling ----

namespace {

// The result window as a run leaves it: a normal name and group, a test, an interrupted run.
struct TResultOnScreen {
    explicit TResultOnScreen(const char* otherInfoCaption) {
        owner = CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPED, 0, 0, 200, 100, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        created = result.Create(owner);
        if (!created) return;
        result.SetOtherInfoCaption(Utf8ToCp1251(otherInfoCaption));
        result.SetFIO(Utf8ToCp1251("Иванова Анна Сергеевна"));
        result.SetOtherInfo(Utf8ToCp1251("ИВТ-21"));
        result.SetTestName(Utf8ToCp1251("Основы информатики, 1 курс"));
        result.SetInterrupted(true);
        result.SetMark(345);
        result.SetTestTime(621);
        ShowWindow(result.Handle(), SW_SHOWNA);
    }
    ~TResultOnScreen() {
        result.Destroy();
        DestroyWindow(owner);
    }
    HWND owner = nullptr;
    bool created = false;
    TOwned<TfResult> result;
};

void ExpectResultLayoutAt(TfResult& result, int dpi) {
    HWND hwnd = result.Handle();
    // The window grows no wider than the screen: there, and only there, a long caption from the
    // test may end in "...".
    RECT window;
    GetWindowRect(hwnd, &window);
    const RECT work = WorkAreaFor(hwnd);
    const bool screenWide = window.right - window.left >= work.right - work.left - 2;
    std::vector<TClippedText> clipped = ClippedTexts(hwnd);
    if (screenWide) {
        const std::wstring caption = Cp1251ToWide(result.Caption(result.lbOtherInfo_));
        clipped.erase(std::remove_if(clipped.begin(), clipped.end(),
                                     [&](const TClippedText& c) { return c.Text == caption; }),
                      clipped.end());
    }
    EXPECT_TRUE(clipped.empty()) << DescribeClipped(clipped);
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_GE(client.right, ScaleForDpi(431, dpi));
    EXPECT_GE(client.bottom, ScaleForDpi(223, dpi));
    for (HWND child = GetWindow(hwnd, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const RECT rc = RectInParent(child);
        EXPECT_TRUE(rc.left >= 0 && rc.top >= 0 && rc.right <= client.right && rc.bottom <= client.bottom)
            << WindowText(child);
    }
    const RECT logo = RectInParent(result.imgLogo);
    EXPECT_SCALED(logo.right - logo.left, 72, dpi);
    EXPECT_SCALED(logo.bottom - logo.top, 72, dpi);
    const RECT first = RectInParent(result.btnStartNewTest), second = RectInParent(result.btnCloseProgram);
    EXPECT_SCALED_OR_MORE(first.right - first.left, 156, dpi);
    EXPECT_SCALED_OR_MORE(second.right - second.left, 156, dpi);
    EXPECT_SCALED_OR_MORE(first.bottom - first.top, 26, dpi);
    EXPECT_LT(first.right, second.left);
    EXPECT_GE(RectInParent(result.lbLog).top, second.bottom) << "the link stays under the buttons";
    // The rows of the name group share their columns.
    EXPECT_EQ(RectInParent(result.lbFIO).left, RectInParent(result.lbOtherInfo).left);
    EXPECT_LT(RectInParent(result.lbOtherInfo_).right, RectInParent(result.lbOtherInfo).left);
}

}  // namespace

TEST(DpiFit, ResultWindowHoldsItsTextsAtTheScreensScaling) {
    const int dpi = ExpectedTestDpi();
    struct Case {
        const char* otherInfoCaption;
        bool designSize;  // the design's arrangement holds it unchanged
    };
    const Case cases[] = {
        {"Группа", true},
        {"Группа, Филиал и др.", true},
        {"Факультет, курс и номер учебной группы", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.otherInfoCaption);
        TResultOnScreen screen(c.otherInfoCaption);
        ASSERT_TRUE(screen.created);
        TfResult& result = screen.result;
        EXPECT_EQ(result.Dpi(), dpi);
        ExpectResultLayoutAt(result, dpi);
        RECT client, window;
        GetClientRect(result.Handle(), &client);
        GetWindowRect(result.Handle(), &window);
        if (c.designSize && dpi == 96) {
            EXPECT_EQ(client.right, 431);
            EXPECT_EQ(client.bottom, 223);
        }
        // Grown or not, it is centred.
        const POINT centred = CenteredOnScreen(window.right - window.left, window.bottom - window.top);
        EXPECT_EQ(window.left, centred.x);
        EXPECT_EQ(window.top, centred.y);
        EXPECT_EQ(result.Caption(result.lbOtherInfo_), Utf8ToCp1251(c.otherInfoCaption));
    }
}

TEST(DpiFit, ResultWindowLaysItselfOutAgainWhenItsDpiChanges) {
    const int from = ExpectedTestDpi();
    const int to = from == 144 ? 192 : 144;
    TResultOnScreen screen("Группа, Филиал и др.");
    ASSERT_TRUE(screen.created);
    TfResult& result = screen.result;
    HWND hwnd = result.Handle();
    RECT before;
    GetClientRect(hwnd, &before);

    RECT window;
    GetWindowRect(hwnd, &window);
    RECT suggested = {20, 30, 20 + MulDiv(window.right - window.left, to, from),
                      30 + MulDiv(window.bottom - window.top, to, from)};
    SendMessageW(hwnd, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(result.Dpi(), to);
    GetWindowRect(hwnd, &window);
    EXPECT_EQ(window.left, 20);
    EXPECT_EQ(window.top, 30);
    ExpectResultLayoutAt(result, to);
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(result.lbFIO_, WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_EQ(font.lfHeight, NonClientMetricsForDpi(to).lfMessageFont.lfHeight);

    // And back: the layout it had.
    SendMessageW(hwnd, 0x02E0, MAKEWPARAM(from, from), reinterpret_cast<LPARAM>(&suggested));
    RECT after;
    GetClientRect(hwnd, &after);
    EXPECT_EQ(after.right, before.right);
    EXPECT_EQ(after.bottom, before.bottom);
    ExpectResultLayoutAt(result, from);
}
