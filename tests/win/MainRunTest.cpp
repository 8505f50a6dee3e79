// Whole runs of the main window: a test built as the authoring tool builds it, read back as the
// player reads its own payload, and a "person" on another thread who registers, answers,
// skips, interrupts and closes the result window with real window messages.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <regex>
#include <thread>
#include <vector>

#include "answers/AnswersFormUnit.h"
#include "app/Payload.h"
#include "archive/ZipArchive.h"
#include "archive/ZipTest.h"
#include "model/Codepage.h"
#include "run/MainFormUnit.h"
#include "tests/win/DpiFit.h"
#include "tests/win/MainFormAccess.h"
#include "tests/win/RunWatch.h"
#include "tests/win/WinTestUtil.h"
#include "tools/TestBuilder.h"
#include "windows/ResultFormUnit.h"

namespace {

// A test of typed-input questions "Q0".."Qn-1" whose accepted answer is "да".
TTestSource TypedTest(int questions) {
    TTestSource source;
    source.Name = "Run test";
    source.ExtraFieldCaption = "Группа";
    source.EffectSteps = 1;
    source.PasswordTail = "runtest1";
    source.PackLevel = 0;
    for (int i = 0; i < questions; ++i) {
        TSourceQuestion q;
        q.AnswerMode = amTyped;
        q.Text = "Q" + std::to_string(i);
        TSourceAnswer a;
        a.Weight = 1;
        a.Variants = {"да"};
        q.Answers.push_back(a);
        source.Questions.push_back(q);
    }
    return source;
}

// The test built into an executable and read back as the player reads itself: the settings
// and a temporary copy of the archive.
class TBuiltTest {
public:
    explicit TBuiltTest(const TTestSource& source) : savedSignatures_(ZipSignatures()) {
        // The player's archives wear their own signatures.
        SetZipSignatures(kTestArchiveSignatures);
        TBuildOptions options;
        options.Player = TPath(ModulePath());
        options.Output = scratch_ / L"test.exe";
        TBuildResult built = BuildTest(source, options);
        if (!built.Ok()) throw std::runtime_error("build failed: " + built.Report.Errors.front());
        ReadPayload(options.Output, Info);
        if (Info.ArchiveFile.empty()) throw std::runtime_error("no payload");
    }
    ~TBuiltTest() {
        DeleteFileAt(Info.ArchiveFile);
        SetZipSignatures(savedSignatures_);
    }
    TPath ResultsPath() const { return scratch_ / L"Results.txt"; }
    const TScratchFolder& Scratch() const { return scratch_; }

    TPayloadInfo Info;

private:
    TZipSignatures savedSignatures_;
    TScratchFolder scratch_;
};

// Plays the person at the player while the test's thread runs the program's loop.
class TPerson {
public:
    TPerson(TfMainForTest& main, std::function<void(TPerson&)> script)
        : main_(main), watch_(main), thread_([this, script] {
              script(*this);
              done_ = true;
          }) {}
    ~TPerson() { Join(); }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }

    HWND WaitTop(const wchar_t* className, const wchar_t* caption = nullptr, int ms = 10000) {
        for (int waited = 0; waited < ms; waited += 10) {
            HWND found = FindTopWindow(GetCurrentProcessId(), className, caption);
            if (found != nullptr) return found;
            Sleep(10);
        }
        ADD_FAILURE() << "no window of class " << WideToCp1251(className);
        return nullptr;
    }
    void Register(const std::wstring& fio, const std::wstring& other) {
        HWND login = WaitTop(L"TfLogin");
        if (login == nullptr) return;
        HWND eFIO = FindWindowExW(login, nullptr, L"Edit", nullptr);
        HWND eOther = FindWindowExW(login, eFIO, L"Edit", nullptr);
        SendMessageW(eFIO, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(fio.c_str()));
        SendMessageW(eOther, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(other.c_str()));
        PostMessageW(login, WM_KEYDOWN, VK_RETURN, 0);
        WaitGone(login);
    }
    // The login's two fields as they stand when it shows.
    std::pair<std::wstring, std::wstring> LoginFields() {
        HWND login = WaitTop(L"TfLogin");
        if (login == nullptr) return {};
        HWND eFIO = FindWindowExW(login, nullptr, L"Edit", nullptr);
        HWND eOther = FindWindowExW(login, eFIO, L"Edit", nullptr);
        return {WindowText(eFIO), WindowText(eOther)};
    }
    void CancelLogin() {
        HWND login = WaitTop(L"TfLogin");
        if (login != nullptr) PostMessageW(login, WM_KEYDOWN, VK_ESCAPE, 0);
    }
    // Waits until question number `n` (counting from 1 over the program's life) is on screen
    // and waiting for its answer.
    bool WaitQuestion(uint32_t n, int ms = 10000) {
        for (int waited = 0; waited < ms; waited += 5) {
            if (watch_.QuestionsShown >= n) return true;
            Sleep(5);
        }
        ADD_FAILURE() << "question " << n << " never came";
        return false;
    }
    void Answer() { PostMessageW(main_.Answers->btnOk, BM_CLICK, 0, 0); }
    // Puts a text into the typed-answer field, as if typed, without answering.
    void Type(const std::wstring& text) {
        SendMessageW(main_.Answers->mmInputAnswer, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    void TypeAnswer(const std::wstring& text) {
        Type(text);
        Answer();
    }
    void Skip() { PostMessageW(main_.btnSkip, BM_CLICK, 0, 0); }
    // Escape on the stage, then OK or Cancel in the confirmation.
    void Interrupt(bool confirm) {
        PostMessageW(main_.Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
        HWND box = WaitTop(L"#32770", L"Внимание!");
        if (box == nullptr) return;
        boxText = MessageBoxText(box);
        PostMessageW(box, WM_COMMAND, confirm ? IDOK : IDCANCEL, 0);
        WaitGone(box);
    }
    // Notes what the result window shows, then closes it with Enter (again) or Escape.
    void CloseResult(bool again) {
        HWND result = WaitTop(L"TfResult", nullptr, 20000);
        if (result == nullptr) return;
        interruptedShown = main_.Result->IsInterruptedShown();
        markText = WindowText(main_.Result->lbMark);
        PostMessageW(result, WM_KEYDOWN, again ? VK_RETURN : VK_ESCAPE, 0);
        WaitGone(result);
    }
    // Answers an error box, noting its text.
    std::wstring AnswerBox(const wchar_t* caption) {
        HWND box = WaitTop(L"#32770", caption);
        if (box == nullptr) return L"";
        std::wstring text = MessageBoxText(box);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        WaitGone(box);
        return text;
    }
    static void WaitGone(HWND window) {
        for (int i = 0; i < 1000 && IsWindow(window) && IsWindowVisible(window); ++i) Sleep(10);
    }
    uint8_t Outcome() const { return *static_cast<volatile const uint8_t*>(&main_.Outcome); }

    std::wstring boxText;
    bool interruptedShown = false;
    std::wstring markText;

private:
    TfMainForTest& main_;
    TRunWatch watch_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// The question texts in the order the log says they were asked.
std::vector<std::string> AskedQuestions(const std::string& log) {
    std::vector<std::string> asked;
    const std::string marker = Utf8ToCp1251("Задан вопрос \"");
    for (size_t at = log.find(marker); at != std::string::npos; at = log.find(marker, at + 1)) {
        size_t start = at + marker.size();
        asked.push_back(log.substr(start, log.find('"', start) - start));
    }
    return asked;
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::string Cp(const char* utf8) { return Utf8ToCp1251(utf8); }

}  // namespace

TEST(MainRun, SequentialSkippedQuestionComesBackLastAndTheNextRunContinues) {
    TTestSource source = TypedTest(5);
    source.SequentialOrder = true;
    source.SkipsAllowed = 1;
    TBuiltTest test(source);
    TOwned<TfMainForTest> main(test.Info);
    ASSERT_TRUE(main.Create());
    main.Result->ResultsPath = test.ResultsPath();

    bool skipEnabledOnLast = true;
    std::wstring countOnLast;
    std::pair<std::wstring, std::wstring> fieldsAgain;
    TPerson person(main, [&](TPerson& p) {
        p.Register(L"Иванов  Иван ", L"10А");
        p.WaitQuestion(1);
        p.TypeAnswer(L"да");
        p.WaitQuestion(2);
        p.Skip();
        for (uint32_t n = 3; n <= 5; ++n) {
            p.WaitQuestion(n);
            p.TypeAnswer(L"нет");
        }
        p.WaitQuestion(6);
        skipEnabledOnLast = IsWindowEnabled(main.btnSkip) != FALSE;
        countOnLast = WindowText(main.lbQuestionsCount);
        p.Skip();  // disabled: nothing happens
        Sleep(100);
        EXPECT_EQ(p.Outcome(), qoNone) << "a disabled skip button must not end the question";
        p.TypeAnswer(L"да");
        p.CloseResult(true);
        fieldsAgain = p.LoginFields();
        p.Register(L"Петров", L"11Б");
        for (uint32_t n = 7; n <= 11; ++n) {
            p.WaitQuestion(n);
            p.Answer();
        }
        p.CloseResult(false);
    });
    main.RunTestLoop();
    person.Join();

    const std::string log = main.LogText();
    const std::vector<std::string> expected = {"Q1", "Q2", "Q3", "Q4", "Q0", "Q2",  // first run
                                               "Q3", "Q4", "Q0", "Q1", "Q2"};      // the second goes on after Q2
    EXPECT_EQ(AskedQuestions(log), expected);
    EXPECT_FALSE(skipEnabledOnLast);
    EXPECT_EQ(countOnLast, L"Вопрос 5 из 5");
    EXPECT_EQ(Count(log, Cp("Начало тестирования")), 2u);
    EXPECT_EQ(Count(log, Cp("Вопрос пропущен пользователем")), 1u);
    EXPECT_EQ(Count(log, Cp("Ответ пользователя:\r\n----\r\n[да]\r\n---")), 2u);
    EXPECT_EQ(fieldsAgain, std::make_pair(std::wstring(), std::wstring())) << "the next person starts empty";

    // Two records, the first with the name exactly as typed; marks: 2 right of 5 -> 2, then 0.
    const std::string results = ReadWholeFile(test.ResultsPath());
    const std::regex record(Cp("Название теста: - Run test\r\n"
                               "ФИО тестируемого - Иванов  Иван \r\n"
                               "Группа - 10А\r\n"
                               "Время тестирования: - [0-9]+ сек\r\n"
                               "Результирующая оценка: - 2 балла\r\n\r\n"
                               "Название теста: - Run test\r\n"
                               "ФИО тестируемого - Петров\r\n"
                               "Группа - 11Б\r\n"
                               "Время тестирования: - [0-9]+ сек\r\n"
                               "Результирующая оценка: - 0 баллов\r\n\r\n"));
    EXPECT_TRUE(std::regex_match(results, record)) << results;
}

TEST(MainRun, InterruptionAsksFirstAndEndsTheRunWithMarkZero) {
    TTestSource source = TypedTest(3);
    TBuiltTest test(source);
    TOwned<TfMainForTest> main(test.Info);
    ASSERT_TRUE(main.Create());
    main.Result->ResultsPath = test.ResultsPath();
    uint8_t afterCancel = 99;
    TPerson person(main, [&](TPerson& p) {
        p.Register(L"Сидоров", L"1");
        p.WaitQuestion(1);
        p.Interrupt(false);
        Sleep(50);
        afterCancel = p.Outcome();
        p.Interrupt(true);
        p.CloseResult(false);
    });
    main.RunTestLoop();
    person.Join();
    EXPECT_EQ(person.boxText, L"Вы действительно хотите прервать текущий тест?");
    EXPECT_EQ(afterCancel, qoNone) << "Cancel leaves the question as it was";
    EXPECT_TRUE(person.interruptedShown);
    EXPECT_EQ(person.markText, L"0 баллов");
    EXPECT_EQ(Count(main.LogText(), Cp("Тест прерван пользователем")), 1u);
    EXPECT_EQ(AskedQuestions(main.LogText()).size(), 1u);
    EXPECT_NE(ReadWholeFile(test.ResultsPath()).find(Cp("Результирующая оценка: - 0 баллов")), std::string::npos);
}

TEST(MainRun, QuestionLimitsRunOutOneByOne) {
    TTestSource source = TypedTest(2);
    source.LimitSeconds = 1;
    TBuiltTest test(source);
    TOwned<TfMainForTest> main(test.Info);
    ASSERT_TRUE(main.Create());
    main.Result->ResultsPath = test.ResultsPath();
    TPerson person(main, [&](TPerson& p) {
        p.Register(L"Кто-то", L"1");
        p.WaitQuestion(1);
        // The first limit runs out with the right answer typed in: it counts.
        p.Type(L"да");
        p.CloseResult(false);
    });
    main.RunTestLoop();
    person.Join();
    const std::string log = main.LogText();
    EXPECT_EQ(Count(log, Cp("Время, отпущенное на вопрос, истекло")), 2u);
    EXPECT_EQ(Count(log, Cp("Предварительная оценка 5")), 1u);
    EXPECT_EQ(Count(log, Cp("Предварительная оценка 2")), 1u) << "(5 + 0) / 2 = 2.5 rounds to 2";
    EXPECT_EQ(person.markText, L"2 балла");
    // The bar ran to its end.
    EXPECT_EQ(SendMessageW(main.prbTimeLimit, PBM_GETPOS, 0, 0), SendMessageW(main.prbTimeLimit, PBM_GETRANGE, FALSE, 0));
}

TEST(MainRun, WholeTestLimitEndsTheRunAndTheQuestionOnScreenDoesNotCount) {
    TTestSource source = TypedTest(3);
    source.LimitSeconds = 2;
    source.LimitWholeTest = true;
    TBuiltTest test(source);
    TOwned<TfMainForTest> main(test.Info);
    ASSERT_TRUE(main.Create());
    main.Result->ResultsPath = test.ResultsPath();
    TPerson person(main, [&](TPerson& p) {
        p.Register(L"Кто-то", L"1");
        p.WaitQuestion(1);
        p.TypeAnswer(L"да");
        p.WaitQuestion(2);
        p.Type(L"да");
        p.CloseResult(false);
    });
    main.RunTestLoop();
    person.Join();
    const std::string log = main.LogText();
    EXPECT_EQ(Count(log, Cp("Время, отпущенное на тестирование, истекло")), 1u);
    EXPECT_EQ(Count(log, Cp("Предварительная оценка")), 1u);
    EXPECT_EQ(person.markText, L"5 баллов");
}

TEST(MainRun, NoQuestionsStillGivesAResult) {
    TTestSource source = TypedTest(2);
    TBuiltTest test(source);
    test.Info.QuestionsPerTest = 0;  // only a test built elsewhere asks nothing
    TOwned<TfMainForTest> main(test.Info);
    ASSERT_TRUE(main.Create());
    main.Result->ResultsPath = test.ResultsPath();
    TPerson person(main, [&](TPerson& p) {
        p.Register(L"Кто-то", L"1");
        p.CloseResult(false);
    });
    main.RunTestLoop();
    person.Join();
    EXPECT_EQ(Count(main.LogText(), Cp("Начало тестирования")), 1u);
    EXPECT_TRUE(AskedQuestions(main.LogText()).empty());
    EXPECT_EQ(person.markText, L"0 баллов");
    EXPECT_FALSE(IsWindowVisible(main.gbxInfo.Handle())) << "the information box slid out again";
}

// A question whose entry is damaged no longer ends the run: it is shown as far as it could be
// read (empty, with OK to go on), the log says so, the run ends normally with its record, and
// "LastQuest" moves on, so the next run in order does not meet it first again.
TEST(MainRun, ADamagedQuestionIsShownEmptyLoggedAndTheRunGoesOn) {
    TTestSource source = TypedTest(2);
    source.SequentialOrder = true;
    TBuiltTest test(source);
    // Q1 (asked first) claims far more packed data than the archive holds.
    std::string bytes = ReadWholeFile(test.Info.ArchiveFile);
    size_t name = bytes.rfind("Q0002.QST");
    if (name == std::string::npos) name = bytes.rfind(".QST");
    ASSERT_NE(name, std::string::npos);
    const std::string big("\xF0\xFF\xFF\x7F", 4);
    bytes.replace(name - 46 + 20, 4, big);
    ASSERT_TRUE(WriteWholeFile(test.Info.ArchiveFile, bytes));

    TOwned<TfMainForTest> main(test.Info);
    ASSERT_TRUE(main.Create());
    main.Result->ResultsPath = test.ResultsPath();
    bool okEnabled = false;
    std::wstring questionShown = L"?";
    bool box = true;
    TPerson person(main, [&](TPerson& p) {
        p.Register(L"Кто-то", L"1");
        if (!p.WaitQuestion(1)) return;
        okEnabled = IsWindowEnabled(main.Answers->btnOk) != FALSE;
        questionShown = WindowText(main.lbQuestion);
        p.Answer();
        if (!p.WaitQuestion(2)) return;
        p.TypeAnswer(L"да");
        box = FindTopWindow(GetCurrentProcessId(), L"#32770") != nullptr;
        p.CloseResult(false);
    });
    main.RunTestLoop();
    person.Join();
    EXPECT_TRUE(okEnabled) << "an empty question can be answered";
    EXPECT_EQ(questionShown, L"");
    EXPECT_FALSE(box) << "no error box";
    const std::string log = main.LogText();
    EXPECT_EQ(Count(log, Cp("Не удалось прочитать вопрос из файла \"Q0002.QST\"")), 1u) << log;
    EXPECT_EQ(AskedQuestions(log), (std::vector<std::string>{"", "Q0"}));
    EXPECT_EQ(person.markText, L"5 баллов") << "the empty question has no priority and does not count";
    EXPECT_NE(ReadWholeFile(test.ResultsPath()).find(Cp("Результирующая оценка: - 5 баллов\r\n")), std::string::npos)
        << "the run is recorded";
    EXPECT_EQ(main.Test->ReadLastQuest(), 0) << "the order moved past the damaged question";
}

// Only the run's own whole-test limit running out between two questions ends the next wait; an
// outcome left over from before (another run's countdown, anything else) is not the question's.
TEST(MainRun, OnlyThisRunsTestTimeOutEndsTheNextWait) {
    TTestSource source = TypedTest(3);
    TBuiltTest test(source);
    TOwned<TfMainForTest> main(test.Info);
    ASSERT_TRUE(main.Create());
    ASSERT_TRUE(main.Test->OpenTest(test.Info.ArchiveFile, test.Info.PasswordTail));
    main.QuestionsPerTest = 3;
    main.WholeTestLimitActive = true;

    TPerson person(main, [&](TPerson& p) {
        for (uint32_t n = 1; n <= 2; ++n) {
            if (!p.WaitQuestion(n)) return;
            Sleep(50);
            EXPECT_EQ(p.Outcome(), qoNone) << "question " << n << " waits for its answer";
            p.Answer();
        }
    });
    // A time-out that no countdown of this run gave, and any other left-over outcome: cleared.
    main.Outcome = qoTestTimeOut;
    EXPECT_EQ(main.AskQuestion(0), qoAnswered);
    main.WholeTestLimitActive = false;
    main.Outcome = qoAnswered;
    EXPECT_EQ(main.AskQuestion(1), qoAnswered);
    person.Join();

    // The run's own limit ran out while no question was on screen: the next one ends at once.
    main.WholeTestLimitActive = true;
    main.SetTimeLimit(1);
    main.tmrLimitTimer();
    ASSERT_EQ(main.Outcome, qoTestTimeOut);
    EXPECT_EQ(main.AskQuestion(2), qoTestTimeOut);
}

// A whole-test countdown ends with its run: it cannot run out while the next person registers or
// while the next run opens.
TEST(MainRun, TheWholeTestCountdownEndsWithItsRun) {
    TTestSource source = TypedTest(1);
    source.LimitSeconds = 60;
    source.LimitWholeTest = true;
    TBuiltTest test(source);
    TOwned<TfMainForTest> main(test.Info);
    ASSERT_TRUE(main.Create());
    main.Result->ResultsPath = test.ResultsPath();
    int32_t tagDuringRun = 0;
    TPerson person(main, [&](TPerson& p) {
        p.Register(L"Кто-то", L"1");
        if (!p.WaitQuestion(1)) return;
        tagDuringRun = main.tmrLimit.Tag;
        p.TypeAnswer(L"да");
        // Long enough for a tick of the timer while the result window is open.
        p.WaitTop(L"TfResult");
        Sleep(1300);
        p.CloseResult(false);
    });
    main.RunTestLoop();
    person.Join();
    EXPECT_GT(tagDuringRun, 50) << "armed for the run";
    EXPECT_EQ(main.tmrLimit.Tag, -1) << "disarmed when the run ended, and inert since";
}

// Where the main window's thread has the keyboard.
HWND FocusOf(TfMainForTest& main) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(main.Handle(), nullptr), &info);
    return info.hwndFocus;
}

// A press of the left button on a control, as the mouse gives it (the control takes the focus).
void PressButton(HWND button) {
    PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

// The keyboard comes back to the answer after a box and after a button: a skip pressed with the
// mouse does not leave "Пропустить" holding the keys of the next question, and after the
// interruption box is cancelled typing goes on into the memo.
TEST(MainRun, TheKeyboardComesBackToTheAnswerAfterABoxOrAButton) {
    TTestSource source = TypedTest(1);
    source.SequentialOrder = true;
    source.SkipsAllowed = 2;
    for (const char* text : {"S1", "S2"}) {
        TSourceQuestion q;
        q.Text = text;
        TSourceAnswer right, wrong;
        right.Weight = 1;
        right.Variants = {"да"};
        wrong.Variants = {"нет"};
        q.Answers = {right, wrong};
        source.Questions.push_back(q);
    }
    TBuiltTest test(source);  // asked in order: S1, S2, Q0
    TOwned<TfMainForTest> main(test.Info);
    ASSERT_TRUE(main.Create());
    main.Result->ResultsPath = test.ResultsPath();
    // Shown as the start-up shows it: only a shown window takes the keyboard.
    ShowWindow(main.Handle(), SW_SHOW);
    HWND afterSkip = nullptr, afterBox = nullptr, typedAtFirst = nullptr;
    TPerson person(main, [&](TPerson& p) {
        p.Register(L"Кто-то", L"1");
        if (!p.WaitQuestion(1)) return;
        PressButton(main.btnSkip);
        if (!p.WaitQuestion(2)) return;
        afterSkip = FocusOf(main);
        p.Skip();
        if (!p.WaitQuestion(3)) return;
        typedAtFirst = FocusOf(main);
        p.Interrupt(false);
        Sleep(100);
        afterBox = FocusOf(main);
        p.TypeAnswer(L"да");
        // The skipped questions come back; the run is broken off at the first of them.
        if (!p.WaitQuestion(4)) return;
        p.Interrupt(true);
        p.CloseResult(false);
    });
    main.RunTestLoop();
    person.Join();
    EXPECT_EQ(afterSkip, main.Answers->frAnswersList.Handle()) << "the answers have the keys, not the skip button";
    EXPECT_EQ(typedAtFirst, main.Answers->mmInputAnswer);
    EXPECT_EQ(afterBox, main.Answers->mmInputAnswer) << "back in the memo after Cancel";
}

// A key as the keyboard gives it to whatever has the focus in the main window's thread.
void Key(TfMainForTest& main, WPARAM key) {
    HWND focus = FocusOf(main);
    PostMessageW(focus, WM_KEYDOWN, key, 1);
    PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
    Sleep(100);
}

TSourceQuestion ChoiceQuestion(uint8_t mode, const char* text, std::vector<int> weights) {
    TSourceQuestion q;
    q.AnswerMode = mode;
    q.Text = text;
    const char* names[] = {"A", "B", "C", "D"};
    for (size_t i = 0; i < weights.size(); ++i) {
        TSourceAnswer a;
        a.Weight = weights[i];
        a.Text = names[i];
        q.Answers.push_back(a);
    }
    return q;
}

// Every kind of question answered with the keyboard alone: Tab walks the answers and the buttons
// that can be pressed, the digits and Space choose, Enter confirms, and after the interruption
// box the keys go on where they were.
TEST(MainRun, TheKeyboardAloneAnswersEveryKindOfQuestion) {
    TTestSource source = TypedTest(0);
    source.SequentialOrder = true;
    source.KeepAnswerOrder = true;
    source.SkipsAllowed = 1;
    // In order the run starts with the bank's second question: S, M, O, then the typed one.
    source.Questions = {TypedTest(1).Questions.front(), ChoiceQuestion(amSingle, "S", {0, 1, 0}),
                        ChoiceQuestion(amMultiple, "M", {1, 0, 1}), ChoiceQuestion(amOrdering, "O", {1, 2, 3})};
    TBuiltTest test(source);
    TOwned<TfMainForTest> main(test.Info);
    ASSERT_TRUE(main.Create());
    main.Result->ResultsPath = test.ResultsPath();
    ShowWindow(main.Handle(), SW_SHOW);
    TfrAnswersList& list = main.Answers->frAnswersList;
    HWND listWindow = list.Handle();
    std::vector<std::pair<HWND, int>> walk;
    HWND afterBox = nullptr;
    int focusedAfterBox = -1;
    std::vector<bool> multipleChosen;
    HWND typedFocus = nullptr, typedAfterTab = nullptr;
    TPerson person(main, [&](TPerson& p) {
        p.Register(L"Кто-то", L"1");
        if (!p.WaitQuestion(1)) return;
        walk.push_back({FocusOf(main), list.FocusedPosition()});
        // OK is greyed until an answer is chosen: Tab passes it by.
        for (int i = 0; i < 5; ++i) {
            Key(main, VK_TAB);
            walk.push_back({FocusOf(main), list.FocusedPosition()});
        }
        Key(main, VK_TAB);  // the second answer again
        p.Interrupt(false);
        Sleep(100);
        afterBox = FocusOf(main);
        focusedAfterBox = list.FocusedPosition();
        Key(main, VK_SPACE);
        Key(main, VK_RETURN);
        if (!p.WaitQuestion(2)) return;
        Key(main, VK_SPACE);  // A
        for (int i = 0; i < 3; ++i) Key(main, VK_TAB);  // B, C, then "ОК"
        Key(main, '3');       // C, from the button
        multipleChosen = list.Model.SelectedFlags();
        Key(main, VK_RETURN);
        if (!p.WaitQuestion(3)) return;
        Key(main, VK_RETURN);  // already in order
        if (!p.WaitQuestion(4)) return;
        typedFocus = FocusOf(main);
        p.Type(L"да");
        Key(main, VK_TAB);
        typedAfterTab = FocusOf(main);
        Key(main, VK_RETURN);
        p.CloseResult(false);
    });
    main.RunTestLoop();
    person.Join();
    const std::vector<std::pair<HWND, int>> expected = {
        {listWindow, 0}, {listWindow, 1}, {listWindow, 2}, {main.btnSkip, 2}, {main.btnInterrupt, 2}, {listWindow, 0}};
    EXPECT_EQ(walk, expected);
    EXPECT_EQ(afterBox, listWindow) << "back in the answers after Cancel";
    EXPECT_EQ(focusedAfterBox, 1) << "on the answer it was on";
    EXPECT_EQ(multipleChosen, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(typedFocus, main.Answers->mmInputAnswer);
    EXPECT_EQ(typedAfterTab, main.Answers->btnOk);
    EXPECT_EQ(person.markText, L"5 баллов");
    const std::string log = main.LogText();
    EXPECT_NE(log.find(" - [B]"), std::string::npos) << Cp1251ToUtf8(log);
    EXPECT_NE(log.find("[\xe4\xe0]"), std::string::npos) << "the typed answer";
}

TEST(MainRun, SlidesTakeTheirTicksAndLandExactly) {
    for (uint8_t steps : {0, 1, 7}) {
        TPayloadInfo settings;
        settings.EffectSteps = steps;
        TOwned<TfMainForTest> main(settings);
        ASSERT_TRUE(main.Create());
        ShowWindow(main.Handle(), SW_SHOW);
        HWND box = main.gbxInfo.Handle();
        TRunWatch watch(main);
        const uint32_t before = watch.SlideSteps;
        main.SlideInfoIn();
        RECT rc;
        GetWindowRect(box, &rc);
        EXPECT_EQ(rc.top, GetSystemMetrics(SM_CYSCREEN) - TfMain::kInfoHeight) << int(steps);
        EXPECT_EQ(watch.SlideSteps - before, steps) << "full slide of " << int(steps);
        EXPECT_TRUE(IsWindowVisible(box));

        const uint32_t half = watch.SlideSteps;
        main.SlideWindow(box, 37, 11, -1, -1, main.HalfSlideSteps());
        GetWindowRect(box, &rc);
        EXPECT_EQ(rc.left, 37);
        EXPECT_EQ(rc.top, 11);
        EXPECT_EQ(watch.SlideSteps - half, steps == 7 ? 3u : 1u) << "half slide of " << int(steps);

        main.SlideInfoOut();
        GetWindowRect(box, &rc);
        EXPECT_EQ(rc.top, GetSystemMetrics(SM_CYSCREEN));
        EXPECT_FALSE(IsWindowVisible(box));
        EXPECT_FALSE(main.tmrAnimation.Enabled());
    }
}

TEST(MainRun, CountdownFillsTheBarAndSignalsOnce) {
    TPayloadInfo settings;
    TOwned<TfMainForTest> main(settings);
    ASSERT_TRUE(main.Create());
    struct {
        bool whole;
        uint8_t outcome;
    } cases[] = {{false, qoQuestionTimeOut}, {true, qoTestTimeOut}};
    for (const auto& c : cases) {
        main.WholeTestLimitActive = c.whole;
        main.Outcome = qoNone;
        main.SetTimeLimit(3);
        EXPECT_TRUE(IsWindowEnabled(main.lbTimeLimit));
        EXPECT_EQ(SendMessageW(main.prbTimeLimit, PBM_GETRANGE, FALSE, 0), 3);
        main.tmrLimitTimer();
        main.tmrLimitTimer();
        EXPECT_EQ(main.Outcome, qoNone);
        EXPECT_EQ(SendMessageW(main.prbTimeLimit, PBM_GETPOS, 0, 0), 2);
        main.tmrLimitTimer();
        EXPECT_EQ(main.Outcome, c.outcome);
        EXPECT_EQ(SendMessageW(main.prbTimeLimit, PBM_GETPOS, 0, 0), 3);
        main.Outcome = qoNone;
        main.tmrLimitTimer();  // inert from now on
        main.tmrLimitTimer();
        EXPECT_EQ(main.tmrLimit.Tag, -1);
        EXPECT_EQ(main.Outcome, qoNone);
    }
    for (int32_t inert : {0, -2}) {
        main.SetTimeLimit(inert);
        EXPECT_FALSE(IsWindowEnabled(main.lbTimeLimit)) << inert;
        EXPECT_EQ(SendMessageW(main.prbTimeLimit, PBM_GETRANGE, FALSE, 0), 0) << inert;
    }
}

TEST(MainRun, ElapsedTimeCountsSeconds) {
    TPayloadInfo settings;
    TOwned<TfMainForTest> main(settings);
    ASSERT_TRUE(main.Create());
    main.tmrGlobalTime.Tag = 0;
    const DWORD start = GetTickCount();
    main.WaitUntil([&] { return GetTickCount() - start >= 2300; });
    EXPECT_GE(main.ElapsedSeconds(), 2);
    EXPECT_LE(main.ElapsedSeconds(), 3);
}

TEST(MainRun, WheelAndArrowsMoveTheAnswersScrollBar) {
    TPayloadInfo settings;
    TOwned<TfMainForTest> main(settings);
    ASSERT_TRUE(main.Create());
    ShowWindow(main.Handle(), SW_SHOW);
    HWND answers = main.Answers->Handle();
    SetWindowPos(answers, nullptr, 500, 200, 400, 300, SWP_NOZORDER);
    ShowWindow(answers, SW_SHOW);
    HWND bar = main.Answers->scbVert;
    ASSERT_NE(bar, nullptr);
    auto setBar = [&](int position) {
        SCROLLINFO info = {};
        info.cbSize = sizeof(info);
        info.fMask = SIF_ALL;
        info.nMin = 0;
        info.nMax = 100;
        info.nPage = 50;
        info.nPos = position;
        SetScrollInfo(bar, SB_CTL, &info, FALSE);
        EnableWindow(bar, TRUE);
    };
    auto position = [&] { return GetScrollPos(bar, SB_CTL); };

    setBar(0);
    main.FormMouseWheel(-WHEEL_DELTA, {700, 350});  // toward the person: down
    EXPECT_EQ(position(), 10);
    main.FormMouseWheel(-WHEEL_DELTA, {500, 350});  // on the edge: not inside
    EXPECT_EQ(position(), 10);
    main.FormMouseWheel(WHEEL_DELTA, {700, 350});
    EXPECT_EQ(position(), 0);
    setBar(45);
    main.FormMouseWheel(-WHEEL_DELTA, {700, 350});
    EXPECT_EQ(position(), 51) << "at most max - page + 1";
    EnableWindow(bar, FALSE);
    main.FormMouseWheel(WHEEL_DELTA, {700, 350});
    EXPECT_EQ(position(), 51) << "a disabled bar does not move";

    setBar(1);
    main.FormKeyDown(VK_UP);
    EXPECT_EQ(position(), 0);
    main.FormKeyDown(VK_DOWN);
    EXPECT_EQ(position(), 2);
}

namespace {

// The information box as a person sees it while a question waits: every text whole, every control
// inside the box and clear of the others, and the sizes the design's at `dpi` (or more, where a
// text needs it). Runs on the person's thread; the stage's thread is busy waiting and answers.
void ExpectStageAt(TfMainForTest& main, int dpi) {
    SCOPED_TRACE("at " + std::to_string(dpi) + " DPI");
    EXPECT_EQ(main.Dpi(), dpi);
    HWND box = main.gbxInfo.Handle();
    EXPECT_TEXTS_FIT(box);
    EXPECT_TEXTS_FIT(main.pnlQuestion.Handle());

    const RECT boxRect = RectInParent(box);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_SCALED_OR_MORE(boxRect.bottom - boxRect.top, TfMain::kInfoHeight, dpi);
    EXPECT_EQ(boxRect.bottom - boxRect.top, main.InfoHeight());
    EXPECT_EQ(boxRect.bottom, screenHeight) << "the box sits on the stage's bottom edge";
    EXPECT_SCALED(boxRect.left, 10, dpi);
    EXPECT_EQ(boxRect.right, screenWidth - boxRect.left);

    std::vector<HWND> controls;
    for (HWND c = GetWindow(box, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        if (IsWindowVisible(c)) controls.push_back(c);
    }
    EXPECT_GE(controls.size(), 10u);
    RECT client;
    GetClientRect(box, &client);
    for (size_t i = 0; i < controls.size(); ++i) {
        const RECT rc = RectInParent(controls[i]);
        const std::string name = WideToCp1251(WindowText(controls[i]));
        EXPECT_TRUE(rc.left >= 0 && rc.top > 0 && rc.right <= client.right && rc.bottom <= client.bottom)
            << Cp1251ToUtf8(name) << " inside the box";
        for (size_t j = i + 1; j < controls.size(); ++j) {
            RECT other = RectInParent(controls[j]), common;
            EXPECT_FALSE(IntersectRect(&common, &rc, &other))
                << Cp1251ToUtf8(name) << " clear of " << Cp1251ToUtf8(WideToCp1251(WindowText(controls[j])));
        }
    }
    // A screen too narrow for the columns as designed gives each the room of its texts.
    for (HWND button : {main.btnSkip, main.btnInterrupt}) {
        const RECT rc = RectInParent(button);
        EXPECT_SCALED_OR_MORE(rc.right - rc.left, 80, dpi);
        EXPECT_SCALED_OR_MORE(rc.bottom - rc.top, 30, dpi);
    }
    const RECT limit = RectInParent(main.lbTimeLimit), bar = RectInParent(main.prbTimeLimit);
    EXPECT_SCALED_OR_MORE(limit.right - limit.left, 80, dpi);
    EXPECT_EQ(bar.right - bar.left, limit.right - limit.left);
    EXPECT_SCALED(bar.bottom - bar.top, 20, dpi);
    EXPECT_GT(bar.top, limit.top) << "the bar under its label";
    if (dpi == 96) {
        // The 1024-pixel screen holds the design exactly.
        EXPECT_EQ(boxRect.bottom - boxRect.top, 93);
        const int right = client.right - 16;
        const RECT skip = RectInParent(main.btnSkip), interrupt = RectInParent(main.btnInterrupt);
        EXPECT_EQ(skip.left, right - 140);
        EXPECT_EQ(skip.top, 20);
        EXPECT_EQ(skip.right, right);
        EXPECT_EQ(skip.bottom, 50);
        EXPECT_EQ(interrupt.top, 54);
        EXPECT_EQ(limit.left, right - 356);
        EXPECT_EQ(limit.top, 24);
        EXPECT_EQ(limit.right - limit.left, 200);
        EXPECT_EQ(bar.top, 48);
        const RECT count = RectInParent(main.lbQuestionsCount);
        EXPECT_EQ(count.left, client.right / 2 - 110);
        EXPECT_EQ(count.top, 28);
        EXPECT_EQ(count.right - count.left, 220);
        EXPECT_EQ(count.bottom - count.top, 18);
    }

    const RECT panel = RectInParent(main.pnlQuestion.Handle());
    EXPECT_SCALED(panel.left, 10, dpi);
    EXPECT_SCALED(panel.top, 10, dpi);
    EXPECT_EQ(panel.right - panel.left, screenWidth * 50 / 100);
    EXPECT_GE(panel.bottom - panel.top, screenHeight * 30 / 100 - ScaleForDpi(20, dpi));
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(main.lbQuestion, WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_EQ(font.lfHeight, PointsToHeight(14, dpi)) << "the question's 14 points at this DPI";
    const RECT label = RectInParent(main.lbQuestion);
    EXPECT_SCALED(label.left, 12, dpi);
}

TTestSource RealisticTest() {
    TTestSource source = TypedTest(10);
    source.ExtraFieldCaption = "Группа";
    source.LimitSeconds = 3600;
    source.LimitWholeTest = true;
    source.ShowMark = true;
    source.MaxScore = 100;
    source.QuestionFontSize = 14;
    source.Questions[0].Text =
        "Какое из перечисленных ниже веществ при обычных условиях является жидкостью, а при нагревании до "
        "ста градусов превращается в пар?";
    return source;
}

}  // namespace

// A run at the screen's scaling (the null driver's 1024 x 768 screen): the information box holds
// the person's name, group, question count, mark, the time limit and both buttons.
TEST(DpiFit, TheStageHoldsEveryTextOfARun) {
    TBuiltTest test(RealisticTest());
    TOwned<TfMainForTest> main(test.Info);
    ASSERT_TRUE(main.Create());
    ShowWindow(main.Handle(), SW_SHOW);
    main.Result->ResultsPath = test.ResultsPath();
    const int dpi = ExpectedTestDpi();
    std::wstring count, limitShown;
    TPerson person(main, [&](TPerson& p) {
        p.Register(L"Иванова Анна Сергеевна", L"ИВТ-21");
        if (!p.WaitQuestion(1)) return;
        count = WindowText(main.lbQuestionsCount);
        limitShown = IsWindowEnabled(main.lbTimeLimit) ? L"enabled" : L"greyed";
        ExpectStageAt(main, dpi);
        p.Interrupt(true);
        p.CloseResult(false);
    });
    main.RunTestLoop();
    person.Join();
    EXPECT_EQ(count, L"Вопрос 1 из 10");
    EXPECT_EQ(limitShown, L"enabled");
}

// Moved to a screen of another scaling while a question waits: new fonts, and the stage laid out
// for that scaling.
TEST(DpiFit, TheStageFollowsAChangeOfScaling) {
    TBuiltTest test(RealisticTest());
    TOwned<TfMainForTest> main(test.Info);
    ASSERT_TRUE(main.Create());
    ShowWindow(main.Handle(), SW_SHOW);
    main.Result->ResultsPath = test.ResultsPath();
    const int dpi = ExpectedTestDpi();
    // Larger from the smaller scalings (to 192 DPI on a 1024-pixel screen), smaller from the larger.
    const int newDpi = dpi < 144 ? 192 : 96;
    TPerson person(main, [&](TPerson& p) {
        p.Register(L"Иванова Анна Сергеевна", L"ИВТ-21");
        if (!p.WaitQuestion(1)) return;
        RECT suggested;
        GetWindowRect(main.Handle(), &suggested);
        SendMessageW(main.Handle(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(newDpi, newDpi),
                     reinterpret_cast<LPARAM>(&suggested));
        ExpectStageAt(main, newDpi);
        RECT rc;
        GetWindowRect(main.Handle(), &rc);
        EXPECT_EQ(rc.right - rc.left, GetSystemMetrics(SM_CXSCREEN)) << "the stage still covers the screen";
        EXPECT_EQ(rc.bottom - rc.top, GetSystemMetrics(SM_CYSCREEN));
        p.Interrupt(true);
        p.CloseResult(false);
    });
    main.RunTestLoop();
    person.Join();
}
