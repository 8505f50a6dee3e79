// The real player, started as a process with a payload appended to a copy of it.

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "app/Payload.h"
#include "archive/ZipTest.h"
#include "model/Codepage.h"
#include "tests/win/WinTestUtil.h"

namespace {

TPath PlayerExe() { return TPath(ModulePath()).parent_path() / L"testplayer.exe"; }

std::vector<std::wstring> FolderEntries(const TPath& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder / L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

bool IsFolder(const TPath& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool HasWindowOfClass(DWORD pid, const wchar_t* className) {
    struct Search {
        DWORD pid;
        const wchar_t* className;
        bool found;
    } search{pid, className, false};
    EnumWindows(
        [](HWND hwnd, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            wchar_t cls[256] = {};
            GetClassNameW(hwnd, cls, 256);
            if (owner == s->pid && std::wstring(cls) == s->className) s->found = true;
            return !s->found;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// One run of a player copy with its own temporary folder.
class PlayerProcessTest : public ::testing::Test {
protected:
    TScratchFolder scratch;
    TPath tmp = scratch / L"tmp";
    TPath exe = scratch / L"test.exe";
    PROCESS_INFORMATION process{};

    void SetUp() override { ASSERT_TRUE(CreateFolder(tmp)); }
    void TearDown() override {
        if (process.hProcess != nullptr) {
            if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 99);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
    }

    void MakePlayer(const std::string& archive, const TPayloadInfo& settings) {
        ASSERT_TRUE(WriteWholeFile(scratch / L"archive.bin", archive));
        ASSERT_EQ(WritePayloadExe(PlayerExe(), scratch / L"archive.bin", settings, exe), "");
    }

    void Start() {
        // The child takes its temporary folder from the environment it inherits.
        wchar_t savedTmp[MAX_PATH] = {}, savedTemp[MAX_PATH] = {};
        GetEnvironmentVariableW(L"TMP", savedTmp, MAX_PATH);
        GetEnvironmentVariableW(L"TEMP", savedTemp, MAX_PATH);
        SetEnvironmentVariableW(L"TMP", tmp.c_str());
        SetEnvironmentVariableW(L"TEMP", tmp.c_str());
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        std::wstring command = L"\"" + exe.native() + L"\"";
        BOOL started = CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                                      &process);
        SetEnvironmentVariableW(L"TMP", savedTmp);
        SetEnvironmentVariableW(L"TEMP", savedTemp);
        ASSERT_TRUE(started) << GetLastError();
    }

    HWND WaitForBox(const wchar_t* caption) {
        HWND box = nullptr;
        WaitUntil([&] { return (box = FindTopWindow(process.dwProcessId, L"#32770", caption)) != nullptr; }, 30000);
        return box;
    }

    HWND WaitForWindow(const wchar_t* className) {
        HWND window = nullptr;
        WaitUntil([&] { return (window = FindTopWindow(process.dwProcessId, className)) != nullptr; }, 30000);
        return window;
    }

    // Registers a person, which starts a run.
    void Register() {
        HWND login = WaitForWindow(L"TfLogin");
        ASSERT_NE(login, nullptr) << "no registration";
        HWND eFIO = FindWindowExW(login, nullptr, L"Edit", nullptr);
        HWND eOther = FindWindowExW(login, eFIO, L"Edit", nullptr);
        SendMessageW(eFIO, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Иванов"));
        SendMessageW(eOther, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"1"));
        PostMessageW(login, WM_KEYDOWN, VK_RETURN, 0);
        WaitUntil([&] { return !IsWindowVisible(login); });
    }

    DWORD WaitExit() {
        if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) return 0xDEAD;
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        return code;
    }

    // Closes the error box; the registration comes back, and cancelling it ends the program.
    DWORD Finish(HWND box) {
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        HWND login = WaitForWindow(L"TfLogin");
        if (login == nullptr) return 0xBAD;
        PostMessageW(login, WM_KEYDOWN, VK_ESCAPE, 0);
        return WaitExit();
    }

    // A test archive that opens and asks nothing (or asks `questions` times its one question,
    // whose file is missing: an empty question that waits for OK).
    void MakeEmptyTest(int32_t questions = 0) {
        TZipSignatures saved = ZipSignatures();
        SetZipSignatures(kTestArchiveSignatures);
        const TPath src = scratch / L"src";
        CreateFolder(src);
        DeleteFileAt(scratch / L"test.zip");
        ASSERT_TRUE(WriteWholeFile(src / L"INDEX.SYS", "Q0001.QST\r\n"));
        ASSERT_TRUE(WriteWholeFile(src / L"INFO.SYS", "[MAIN]\r\nPackLevel=6\r\n"));
        TZipArchive zip;
        zip.SetArchiveFile(scratch / L"test.zip");
        zip.SetPassword(std::string(kArchivePasswordText) + "tail");
        zip.AddFiles = {src / L"INDEX.SYS", src / L"INFO.SYS"};
        ASSERT_EQ(zip.Add(), 2);
        zip.Close();
        SetZipSignatures(saved);
        TPayloadInfo settings;
        settings.PasswordTail = "tail";
        settings.ExtraFieldCaption = Utf8ToCp1251("Класс");
        settings.QuestionsPerTest = questions;
        ASSERT_EQ(WritePayloadExe(PlayerExe(), scratch / L"test.zip", settings, exe), "");
    }

    // Windows ends the session as it does: asks every window, then tells it.
    static void EndSession(HWND window) {
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
        EXPECT_EQ(answer, TRUE) << "the session may end";
        SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, 10000, &answer);
    }
};

}  // namespace

TEST_F(PlayerProcessTest, CopiesTheArchiveWhileRunningAndDeletesItAtTheEnd) {
    std::string archive;
    for (int i = 0; i < 2 * 1024 * 1024 + 3; ++i) archive += static_cast<char>((i * 131 + 7) % 256);
    TPayloadInfo settings;
    settings.MaxScore = 5;
    MakePlayer(archive, settings);
    Start();
    Register();

    HWND box = WaitForBox(L"Ошибка!");
    ASSERT_NE(box, nullptr) << "the player did not report the unreadable test";
    std::vector<std::wstring> entries = FolderEntries(tmp);
    ASSERT_EQ(entries.size(), 2u) << "the archive copy and the work folder";
    EXPECT_TRUE(IsFolder(tmp / L"_$Orvotst"));
    const std::wstring& name = entries[0] == L"_$Orvotst" ? entries[1] : entries[0];
    ASSERT_EQ(name.size(), 12u);
    EXPECT_EQ(name.substr(8), L".tmp");
    const std::string alphabet = kRandomNameAlphabet;
    for (wchar_t c : name.substr(0, 8)) EXPECT_NE(alphabet.find(static_cast<char>(c)), std::string::npos) << c;
    EXPECT_TRUE(ReadWholeFile(tmp / name) == archive) << "the copy differs from the archive";
    EXPECT_EQ(MessageBoxText(box), L"Не удается прочитать тест \"" + (tmp / name).native() + L"\"");

    EXPECT_NE(FindTopWindow(process.dwProcessId, L"TfMain"), nullptr) << "the main window is not shown";
    EXPECT_FALSE(HasWindowOfClass(process.dwProcessId, L"TfSplash")) << "the splash outlived the main window";

    EXPECT_EQ(Finish(box), 0u);
    EXPECT_TRUE(FolderEntries(tmp).empty());
}

TEST_F(PlayerProcessTest, ShowsTheInformationTextFirst) {
    TPayloadInfo settings;
    settings.InfoText = Utf8ToCp1251("Добро пожаловать!/nУдачи.");
    MakePlayer("", settings);
    Start();

    HWND info = WaitForBox(L"Информация теста ...");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(MessageBoxText(info), L"Добро пожаловать!\r\nУдачи.");
    PostMessageW(info, WM_COMMAND, IDOK, 0);
    Register();
    HWND error = WaitForBox(L"Ошибка!");
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(Finish(error), 0u);
    EXPECT_TRUE(FolderEntries(tmp).empty());
}

// Without a payload, or with a trailer whose lengths point outside the file, the player
// reads nothing, copies nothing and names an empty path.
TEST_F(PlayerProcessTest, WithoutAWholePayloadNothingIsCopied) {
    const std::string player = ReadWholeFile(PlayerExe());
    struct Case {
        const char* what;
        std::string tail;
    } cases[] = {
        {"no payload", ""},
        {"lengths past the file", std::string("\x7F\xFF\xFF\xF0SE", 6)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteWholeFile(exe, player + c.tail));
        Start();
        Register();
        HWND box = WaitForBox(L"Ошибка!");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageBoxText(box), L"Не удается прочитать тест \"\"");
        EXPECT_EQ(FolderEntries(tmp), std::vector<std::wstring>{L"_$Orvotst"}) << "no archive copy";
        EXPECT_EQ(Finish(box), 0u);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        process = PROCESS_INFORMATION{};
    }
}

// A test that opens: no error, and when the program ends neither the archive copy nor the
// work folder is left in the temporary folder.
TEST_F(PlayerProcessTest, OpensAValidTestAndCleansUpAfterIt) {
    MakeEmptyTest();
    Start();
    Register();
    HWND result = WaitForWindow(L"TfResult");
    HWND box = FindTopWindow(process.dwProcessId, L"#32770");
    if (box != nullptr) ADD_FAILURE() << "unexpected box: " << WideToCp1251(MessageBoxText(box));
    ASSERT_NE(result, nullptr) << "the run did not end in its result";
    EXPECT_EQ(FolderEntries(tmp).size(), 2u) << "the archive copy and the work folder while it runs";
    PostMessageW(result, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(WaitExit(), 0u);
    EXPECT_TRUE(FolderEntries(tmp).empty());
    EXPECT_NE(ReadWholeFile(scratch / L"Results.txt").find(Utf8ToCp1251("ФИО тестируемого - Иванов\r\n")),
              std::string::npos)
        << "the record goes beside the executable";
}

// Windows ends the session while the player waits: it does not wait for the person, so the
// temporary files go there and then.
TEST_F(PlayerProcessTest, EndOfTheSessionTakesTheTemporaryFilesAway) {
    MakeEmptyTest();
    Start();
    ASSERT_NE(WaitForWindow(L"TfLogin"), nullptr);
    ASSERT_EQ(FolderEntries(tmp).size(), 2u);
    HWND main = WaitForWindow(L"TfMain");
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(SendMessageW(main, WM_QUERYENDSESSION, 0, 0));
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    EXPECT_EQ(WaitExit(), 0u);
    EXPECT_TRUE(FolderEntries(tmp).empty());
}

// The person's Documents folder for programs started from now on (a value of the same prefix's
// registry, as Windows keeps it); restores the usual one when it goes.
class TDocumentsFolder {
public:
    explicit TDocumentsFolder(const std::wstring& folder) { Set(folder); }
    ~TDocumentsFolder() { Set(L"%USERPROFILE%\\Documents"); }

private:
    static void Set(const std::wstring& value) {
        RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                        L"Personal", REG_EXPAND_SZ, value.c_str(),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
};

// The session ends while the result is on screen, in the middle of a question, or while the box
// offers to retry a record no folder took: the run's record is written before the program goes
// (a run still going as interrupted, with its time and mark so far), whichever window Windows
// tells first, and the temporary files go too.
TEST_F(PlayerProcessTest, EndOfTheSessionWritesTheRunsRecordFirst) {
    struct Case {
        const char* what;
        int32_t questions;
        const wchar_t* told;  // the window whose WM_ENDSESSION comes first
        bool retryBox;
    };
    const Case cases[] = {
        {"the result window open", 0, L"TfResult", false},
        {"a question waiting", 1, L"TfMain", false},
        {"the retry box open", 0, L"TfMain", true},
    };
    const TPath inTheWay = scratch / L"Results.txt";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileAt(inTheWay);
        MakeEmptyTest(c.questions);
        std::unique_ptr<TDocumentsFolder> documents;
        if (c.retryBox) {
            // Neither the program's folder (a folder where the file should be) nor the Documents.
            ASSERT_TRUE(CreateFolder(inTheWay));
            documents = std::make_unique<TDocumentsFolder>((scratch / L"no documents").wstring());
        }
        Start();
        Register();
        if (c.questions > 0) {
            // The answers window (a child of the stage) shows when the question is on screen; a
            // second more gives the run some time to record.
            HWND main = WaitForWindow(L"TfMain");
            ASSERT_TRUE(WaitUntil(
                [&] {
                    HWND answers = FindWindowExW(main, nullptr, L"TfAnswers", nullptr);
                    return answers != nullptr && IsWindowVisible(answers);
                },
                10000));
            Sleep(1500);
        }
        if (c.retryBox) {
            HWND result = WaitForWindow(L"TfResult");
            ASSERT_NE(result, nullptr);
            PostMessageW(result, WM_KEYDOWN, VK_ESCAPE, 0);
            ASSERT_NE(WaitForBox(L"Ошибка!"), nullptr) << "the record has nowhere to go";
            // The folder can take it again (the share is back); nobody has pressed Retry yet.
            ASSERT_TRUE(RemoveEmptyFolder(inTheWay));
        }
        HWND told = WaitForWindow(c.told);
        ASSERT_NE(told, nullptr);
        EndSession(told);
        EXPECT_EQ(WaitExit(), 0u);
        const std::string record = ReadWholeFile(inTheWay);
        EXPECT_EQ(record.rfind(Utf8ToCp1251("Название теста: - "), 0), 0u) << record;
        EXPECT_NE(record.find(Utf8ToCp1251("\r\nФИО тестируемого - Иванов\r\nКласс - 1\r\n")), std::string::npos)
            << record;
        EXPECT_NE(record.find(Utf8ToCp1251("Результирующая оценка: - 0 баллов\r\n\r\n")), std::string::npos) << record;
        EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), 6) << "one record";
        if (c.questions > 0) {
            EXPECT_EQ(record.find(Utf8ToCp1251("Время тестирования: - 0 сек")), std::string::npos)
                << "the time so far: " << record;
        }
        EXPECT_TRUE(FolderEntries(tmp).empty());
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        process = PROCESS_INFORMATION{};
    }
}
