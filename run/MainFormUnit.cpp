#include "run/MainFormUnit.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <windowsx.h>

#include <algorithm>
#include <vector>

#include "answers/AnswersFormUnit.h"
#include "answers/AnswersPopupFormUnit.h"
#include "answers/RightAnswerFormUnit.h"
#include "model/Codepage.h"
#include "model/FileUtils.h"
#include "model/TextUtils.h"
#include "platform/Dpi.h"
#include "platform/Win32Util.h"
#include "run/InfoLayout.h"
#include "windows/AttachLayout.h"
#include "windows/LoginFormUnit.h"
#include "windows/QuestAttachFormUnit.h"
#include "windows/ResultFormUnit.h"

const wchar_t kMainCaption[] = L"Проведение тестирования";
const wchar_t kInfoCaption[] = L"Информация теста ...";
const wchar_t kErrorCaption[] = L"Ошибка!";
const wchar_t kInterruptQuestion[] = L"Вы действительно хотите прервать текущий тест?";
const wchar_t kAttentionCaption[] = L"Внимание!";

namespace {

constexpr wchar_t kMainClass[] = L"TfMain";

enum : UINT_PTR { kTimerAnimation = 1, kTimerLimit = 2, kTimerGlobalTime = 3 };
enum : int { kIdSkip = 101, kIdInterrupt = 102 };

// Design pixels (of a 96-DPI screen). pnlQuestion: border 10 inside a bevel of one pixel on
// either side.
constexpr int kQuestionBorder = 10;
constexpr int kQuestionInset = 12;
constexpr int kQuestionTop = 10;
constexpr int kQuestionBelow = 20;  // the panel's least height is 30 % of the stage less this
constexpr int kInfoMargin = 10;     // of the information box from the stage's edges
constexpr int kWaitWidth = 240, kWaitHeight = 28;
constexpr COLORREF kNavy = RGB(0, 0, 128);

std::string LocalTimeText() {
    wchar_t buffer[80];
    // No flags and no format: the user's long time format, as the clock shows it.
    int n = GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buffer, 80);
    return n > 1 ? WideToCp1251(std::wstring(buffer, static_cast<size_t>(n - 1))) : std::string();
}

void MoveWindowTo(HWND window, int left, int top) {
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

std::wstring CannotReadTestMessage(const TPath& archiveFile) {
    std::wstring path;
#ifdef _WIN32
    path = archiveFile.native();
#else
    path = archiveFile.wstring();
#endif
    return L"Не удается прочитать тест \"" + path + L"\"";
}

TfMain::TfMain(const TPayloadInfo& settings)
    : Log(LocalTimeText),
      tmrAnimation(kTimerAnimation, 10),
      tmrLimit(kTimerLimit, 1000),
      tmrGlobalTime(kTimerGlobalTime, 1000),
      settings_(settings) {}

TfMain::~TfMain() {
    SetApplicationExceptionHandler(nullptr);
    SetSessionEndHandler(nullptr);
    tmrAnimation.SetEnabled(false);
    tmrLimit.SetEnabled(false);
    tmrGlobalTime.SetEnabled(false);
    Result.reset();
    RightAnswer.reset();
    AnswersPopup.reset();
    Answers.reset();
    QuestAttach.reset();
    // The work folder goes with the archive object; viewers must let go of its files first.
    Test.reset();
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(font_), static_cast<HGDIOBJ>(questionFont_),
                           static_cast<HGDIOBJ>(waitFont_), static_cast<HGDIOBJ>(faceBrush_)}) {
        if (object != nullptr) DeleteObject(object);
    }
}

int TfMain::ClientWidth() const {
    RECT rc;
    GetClientRect(Handle(), &rc);
    return rc.right;
}

int TfMain::ClientHeight() const {
    RECT rc;
    GetClientRect(Handle(), &rc);
    return rc.bottom;
}

bool TfMain::Create() {
    Test = std::make_unique<TZipTest>();
    TPath temp = GetTempFolder();
    Test->SetTempBase(temp.empty() ? TPath(L"C:\\") : temp);
    Test->ShowProgress = true;
    Test->ClearBeforeLoad = true;
    Test->OnBeforeRemoveFolder = [] { ProcessMessages(); };
    Test->Zip.OnMessage = [](const std::string& text, const std::string& caption) {
        MessageBoxW(nullptr, Wide(text).c_str(), Wide(caption).c_str(), MB_OK | MB_ICONERROR);
    };
    SetApplicationExceptionHandler([this] { StopMedia(); });
    SetSessionEndHandler([this] { EndSession(); });

    RegisterWindowClass(kMainClass, 0, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (!CreateHandle(WS_EX_CONTROLPARENT, kMainClass, kMainCaption, WS_POPUP | WS_CLIPCHILDREN, 0, 0,
                      GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr)) {
        return false;
    }
    Media.SetOwner(Handle());
    CreateFonts();
    faceBrush_ = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    HINSTANCE instance = GetModuleHandleW(nullptr);

    lbWaitPlease = CreateWindowExW(0, L"STATIC", L"Подождите ...", WS_CHILD | SS_CENTER | SS_NOPREFIX, 0, 0, 0, 0,
                                   Handle(), nullptr, instance, nullptr);
    SendMessageW(lbWaitPlease, WM_SETFONT, reinterpret_cast<WPARAM>(waitFont_), FALSE);

    // Step 2: the question panel at the top left, out of sight until a question slides in.
    const int inset = Scale(kQuestionInset);
    pnlQuestion.Create(Handle(), 0, 0, 0, 0, L"");
    pnlQuestion.SetBevel(TPanel::TBevel::Lowered);
    pnlQuestion.Hide();
    lbQuestion = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, inset, inset, 0,
                                 Scale(20), pnlQuestion.Handle(), nullptr, instance, nullptr);
    ocQuestion.Create(pnlQuestion.Handle(), inset, inset, 0, 0);
    ocQuestion.Hide();
    LayoutStage();

    // Step 3: the question attachment viewer, which the person cannot close.
    TQuestAttachHost host;
    host.PlayMedia = [this](const TPath& file, HWND play, HWND stop, HWND display, uint8_t scaleMode) {
        return PlayMedia(file, play, stop, display, scaleMode);
    };
    host.StopMedia = [this] { StopMedia(); };
    host.QuestionPanelWidth = [this] {
        const RECT rc = RectInParent(pnlQuestion.Handle());
        return static_cast<int32_t>(rc.right - rc.left);
    };
    host.AttachmentUnshown = [this] { ReportUnshownAttachment(Question.AttachFile); };
    QuestAttach = std::make_unique<TOwned<TfQuestAttach>>(host);
    QuestAttach->Create(Handle());
    EnableMenuItem(GetSystemMenu(QuestAttach->Handle(), FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);

    // Step 4: the answers window.
    Answers = std::make_unique<TOwned<TfAnswers>>(Outcome);
    Answers->Create(Handle());
    Answers->SetFontSize(settings_.AnswerFontSize);
    Answers->frAnswersList.Host = this;
    Answers->frAnswersList.OnAttachmentUnshown = [this](const std::string& name) { ReportUnshownAttachment(name); };

    // Step 5: the question font, made with the others.
    SendMessageW(lbQuestion, WM_SETFONT, reinterpret_cast<WPARAM>(questionFont_), FALSE);

    // Step 6: the answer attachment popup.
    AnswersPopup = std::make_unique<TOwned<TfAnswersPopup>>(host.PlayMedia);
    AnswersPopup->Create(Handle());

    // Step 7: the right-answer window and the result window.
    RightAnswer = std::make_unique<TOwned<TfRightAnswer>>();
    RightAnswer->Create(Handle());
    RightAnswer->frAnswersList.Host = this;
    Result = std::make_unique<TOwned<TfResult>>();
    Result->Create(Handle());
    Result->SetOtherInfoCaption(settings_.ExtraFieldCaption);
    Result->LogText = [this] { return Log.Text(); };

    CreateInfoBox();

    // Step 8.
    EffectSteps_ = settings_.EffectSteps;
    ShowWindow(lbMark, settings_.ShowMark ? SW_SHOW : SW_HIDE);

    tmrAnimation.SetOwner(Handle());
    tmrLimit.SetOwner(Handle());
    tmrGlobalTime.SetOwner(Handle());
    tmrLimit.Tag = -1;
    tmrLimit.SetEnabled(true);
    tmrGlobalTime.SetEnabled(true);
    return true;
}

void TfMain::CreateInfoBox() {
    // Three columns: who is tested on the left, the count and the mark centred, the time limit
    // and the two buttons on the right; two rows. LayoutInfo puts them in place.
    gbxInfo.Create(Handle(), Scale(kInfoMargin), ClientHeight(), ClientWidth() - 2 * Scale(kInfoMargin),
                   Scale(kInfoHeight), L"Информация текущего теста", font_);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    auto make = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int id) {
        HWND hwnd = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, gbxInfo.Handle(),
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        return hwnd;
    };
    const DWORD label = SS_LEFT | SS_NOPREFIX;
    const DWORD centred = SS_CENTER | SS_NOPREFIX;
    lbFIO_ = make(L"STATIC", L"", label, 0);
    lbOtherInfo_ = make(L"STATIC", L"", label, 0);
    lbFIO = make(L"STATIC", L"", label, 0);
    lbOtherInfo = make(L"STATIC", L"", label, 0);
    lbQuestionsCount = make(L"STATIC", L"", centred, 0);
    lbMark = make(L"STATIC", L"", centred, 0);
    lbTimeLimit = make(L"STATIC", L"Ограничение по времени", label, 0);
    prbTimeLimit = make(PROGRESS_CLASSW, L"", 0, 0);
    btnSkip = make(L"BUTTON", L"Пропустить", BS_PUSHBUTTON | BS_FLAT, kIdSkip);
    btnInterrupt = make(L"BUTTON", L"Прервать", BS_PUSHBUTTON | BS_FLAT, kIdInterrupt);
    SendMessageW(prbTimeLimit, PBM_SETRANGE32, 0, prbMax_);
    EnableWindow(lbTimeLimit, FALSE);
    LayoutInfo();
}

void TfMain::CreateFonts() {
    HFONT oldFont = font_, oldQuestion = questionFont_, oldWait = waitFont_;
    font_ = CreateMessageFont(Dpi());
    LOGFONTW wait = {};
    wait.lfHeight = PointsToHeight(14, Dpi());
    wait.lfWeight = FW_BOLD;
    wait.lfCharSet = RUSSIAN_CHARSET;
    wcscpy(wait.lfFaceName, L"Arial");
    waitFont_ = CreateFontIndirectW(&wait);
    LOGFONTW question = {};
    question.lfHeight = PointsToHeight(settings_.QuestionFontSize, Dpi());
    question.lfCharSet = RUSSIAN_CHARSET;
    wcscpy(question.lfFaceName, L"Times New Roman");
    questionFont_ = CreateFontIndirectW(&question);

    // The controls take the new fonts before the old ones go.
    auto give = [](HWND control, HFONT font) {
        if (control != nullptr) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    };
    for (HWND control : {lbFIO_, lbOtherInfo_, lbFIO, lbOtherInfo, lbQuestionsCount, lbMark, lbTimeLimit,
                         prbTimeLimit, btnSkip, btnInterrupt}) {
        give(control, font_);
    }
    give(lbWaitPlease, waitFont_);
    give(lbQuestion, questionFont_);
    if (gbxInfo.Handle() != nullptr) gbxInfo.SetFont(font_);
    for (HFONT font : {oldFont, oldQuestion, oldWait}) {
        if (font != nullptr) DeleteObject(font);
    }
}

void TfMain::LayoutStage() {
    const int width = ClientWidth(), height = ClientHeight();
    const std::wstring wait = WindowTextW(lbWaitPlease);
    const SIZE waitNeed = TextExtent(lbWaitPlease, wait);
    const int waitWidth = std::max(Scale(kWaitWidth), static_cast<int>(waitNeed.cx));
    const int waitHeight = std::max(Scale(kWaitHeight), static_cast<int>(waitNeed.cy));
    SetWindowPos(lbWaitPlease, nullptr, (width - waitWidth) / 2, height / 2 - waitHeight / 2, waitWidth, waitHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    // A panel on stage stays where it slid to; one off stage stays out of sight.
    const int panelWidth = width * 50 / 100;
    QuestionPanelMinHeight = height * 30 / 100 - Scale(kQuestionBelow);
    const bool onStage = (GetWindowLongW(pnlQuestion.Handle(), GWL_STYLE) & WS_VISIBLE) != 0 &&
                         RectInParent(pnlQuestion.Handle()).left >= 0;
    SetWindowPos(pnlQuestion.Handle(), nullptr, onStage ? SlideMargin(Dpi()) : -panelWidth, Scale(kQuestionTop),
                 panelWidth, QuestionPanelMinHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    FitQuestionText();
}

void TfMain::LayoutInfo() {
    if (gbxInfo.Handle() == nullptr) return;
    auto need = [](HWND control, const std::wstring& text) {
        return text.empty() ? 0 : static_cast<int32_t>(TextExtent(control, text).cx);
    };
    auto widest = [&](HWND control, std::initializer_list<std::string> texts) {
        int32_t width = need(control, WindowTextW(control));
        for (const std::string& text : texts) width = std::max(width, need(control, Wide(text)));
        return width;
    };
    HDC dc = GetDC(gbxInfo.Handle());
    HGDIOBJ old = SelectObject(dc, font_);
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(gbxInfo.Handle(), dc);

    TInfoBoxInput in;
    in.Dpi = Dpi();
    in.BoxWidth = ClientWidth() - 2 * Scale(kInfoMargin);
    in.CaptionHeight = tm.tmHeight;
    in.LineHeight = tm.tmHeight;
    in.FioCaption = need(lbFIO_, WindowTextW(lbFIO_));
    in.OtherCaption = need(lbOtherInfo_, WindowTextW(lbOtherInfo_));
    in.Fio = need(lbFIO, WindowTextW(lbFIO));
    in.Other = need(lbOtherInfo, WindowTextW(lbOtherInfo));
    // The count and the mark change during the run: room for the widest they can get.
    const int32_t questions = std::max(Run.QuestionsPerTest, 1);
    in.Count = widest(lbQuestionsCount, {QuestionsCountText(questions, questions)});
    in.Mark = widest(lbMark, {NoMarkText(), MarkText(settings_.MaxScore), MarkText(-settings_.MaxScore)});
    in.TimeLimit = need(lbTimeLimit, WindowTextW(lbTimeLimit));
    in.Skip = need(btnSkip, WindowTextW(btnSkip));
    in.Interrupt = need(btnInterrupt, WindowTextW(btnInterrupt));
    const TInfoBoxLayout layout = LayoutInfoBox(in);

    auto place = [](HWND control, const TInfoRect& rc) {
        SetWindowPos(control, nullptr, rc.Left, rc.Top, rc.Width, rc.Height, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(lbFIO_, layout.FioCaption);
    place(lbOtherInfo_, layout.OtherCaption);
    place(lbFIO, layout.Fio);
    place(lbOtherInfo, layout.Other);
    place(lbQuestionsCount, layout.Count);
    place(lbMark, layout.Mark);
    place(lbTimeLimit, layout.TimeLimit);
    place(prbTimeLimit, layout.Bar);
    place(btnSkip, layout.Skip);
    place(btnInterrupt, layout.Interrupt);
    infoHeight_ = layout.Height;
    // A box on stage keeps its bottom on the stage's edge; one out of sight stays below it.
    const RECT box = RectInParent(gbxInfo.Handle());
    const bool shown = (GetWindowLongW(gbxInfo.Handle(), GWL_STYLE) & WS_VISIBLE) != 0;
    const int top = shown ? ClientHeight() - infoHeight_ : static_cast<int>(box.top);
    SetWindowPos(gbxInfo.Handle(), nullptr, Scale(kInfoMargin), top, in.BoxWidth, infoHeight_,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(gbxInfo.Handle(), nullptr, TRUE);
}

void TfMain::DpiChanged(int /*oldDpi*/, const RECT* suggested) {
    // The stage covers the screen it is on, whatever size Windows suggests for it.
    if (suggested != nullptr) {
        MONITORINFO info = {};
        info.cbSize = sizeof(info);
        if (GetMonitorInfoW(MonitorFromRect(suggested, MONITOR_DEFAULTTONEAREST), &info)) {
            const RECT& m = info.rcMonitor;
            SetWindowPos(Handle(), nullptr, m.left, m.top, m.right - m.left, m.bottom - m.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    CreateFonts();
    LayoutStage();
    LayoutInfo();
    InvalidateRect(Handle(), nullptr, TRUE);
}

// ---- The program's run ----

void TfMain::RunTestLoop() {
    if (!NormalizeSpaces(settings_.InfoText).empty()) {
        ShowMessage(Handle(), Wide(DecodeLineBreaks(settings_.InfoText)), kInfoCaption, MB_OK | MB_ICONINFORMATION);
    }
    TOwned<TfLogin> login;
    login.Create(Handle());
    Login = &login;
    while (!quitting_ && login.Execute(settings_.ExtraFieldCaption)) {
        // A test that cannot be read brings the registration back with the fields as typed.
        if (!RunTest(settings_.ArchiveFile)) continue;
        login.ClearFields();
        if (!Result->ShowAndRecord()) break;
    }
    Login = nullptr;
}

bool TfMain::RunTest(const TPath& archiveFile) {
    // A whole-test limit that ran out after the last run must not end this one.
    Outcome = qoNone;
    try {
        return RunTestSteps(archiveFile);
    } catch (...) {
        AbandonRun();
        ShowMessage(Handle(), CannotReadTestMessage(archiveFile), kErrorCaption, MB_OK | MB_ICONERROR);
        return false;
    }
}

bool TfMain::RunTestSteps(const TPath& archiveFile) {
    if (!Test->OpenTest(archiveFile, settings_.PasswordTail)) {
        ShowMessage(Handle(), CannotReadTestMessage(archiveFile), kErrorCaption, MB_OK | MB_ICONERROR);
        return false;
    }
    ShowWait();

    Run = settings_;
    Run.QuestionsPerTest = std::min(Run.QuestionsPerTest, Test->QuestionCount());

    SkipCounter.Start(Run.SkipsAllowed, Run.QuestionsPerTest);
    SyncSkipButton();
    Score.ResetScore(settings_.MaxScore);
    FillInfo();
    // From here on the run has a record to leave, also when the session ends in the middle of it.
    runInProgress_ = true;
    tmrGlobalTime.Tag = 0;
    testTimeExpired_ = false;
    if (Run.LimitSeconds < 1) {
        WholeTestLimitActive = false;
    } else {
        WholeTestLimitActive = Run.LimitWholeTest;
        if (WholeTestLimitActive) SetTimeLimit(Run.LimitSeconds);
    }
    Test->ExtractAttachments = true;
    SlideInfoIn();
    Log.LogRunStart();
    BuildQuestionOrder();

    for (int32_t index = NextQuestion(); index != -1; index = NextQuestion()) {
        const TQuestionOutcome outcome = AskQuestion(index);
        ShowWait();
        Test->WriteLastQuest(index);
        if (outcome == qoAnswered || outcome == qoQuestionTimeOut) {
            SetQuestionState(index, qsAnswered);
            const long double ratio = Answers->GetScore();
            const int32_t mark = Score.AddMark(ratio, AnsweredCount());
            SetWindowText1251(lbMark, MarkText(mark));
            LayoutInfo();
            if (outcome == qoQuestionTimeOut) Log.LogQuestionTimeOut();
            Log.LogAnswer(Answers->GetAnswerText(), mark);
        } else if (outcome == qoSkipped) {
            Log.LogSkipped();
            SetQuestionState(index, qsSkipped);
        } else if (outcome == qoInterrupted) {
            Log.LogInterrupted();
            Result->SetInterrupted(true);
            break;
        } else if (outcome == qoTestTimeOut) {
            Log.LogTestTimeOut();
            break;
        }
    }

    // The run's countdown ends with the run: left running it could end the next one.
    if (WholeTestLimitActive) SetTimeLimit(0);
    testTimeExpired_ = false;
    HideWait();
    SlideInfoOut();
    Test->ExtractAttachments = false;
    Result->SetMark(Score.Mark());
    Result->SetTestTime(tmrGlobalTime.Tag);
    Result->RecordPending = true;
    runInProgress_ = false;
    return true;
}

void TfMain::AbandonRun() {
    // Whatever the run had on screen goes; the registration comes back over an empty stage.
    tmrAnimation.SetEnabled(false);
    slideWindow_ = nullptr;
    if (!WholeTestLimitActive || tmrLimit.Tag > 0) SetTimeLimit(-1);
    WholeTestLimitActive = false;
    testTimeExpired_ = false;
    runInProgress_ = false;
    StopMediaAndForget();
    HideWait();
    gbxInfo.Hide();
    pnlQuestion.Hide();
    if (QuestAttach) QuestAttach->Hide();
    AttachPending = false;
    if (Answers) Answers->Hide();
    if (Test) Test->ExtractAttachments = false;
    Outcome = qoNone;
}

void TfMain::FillInfo() {
    const std::string fio = Login != nullptr ? Login->FIO() : std::string();
    const std::string otherInfo = Login != nullptr ? Login->OtherInfo() : std::string();
    const std::string fioCaption = Login != nullptr ? Login->FIOCaption() : std::string();
    const std::string otherCaption = Login != nullptr ? Login->OtherInfoCaption() : settings_.ExtraFieldCaption;
    Result->SetFIO(fio);
    Result->SetOtherInfo(otherInfo);
    Result->SetTestName(Test->GetComment());
    Result->SetInterrupted(false);

    SetWindowText1251(lbFIO_, fioCaption);
    SetWindowText1251(lbOtherInfo_, otherCaption);
    SetWindowText1251(lbFIO, fio);
    SetWindowText1251(lbOtherInfo, otherInfo);
    SetWindowText1251(lbMark, NoMarkText());
    // The captions size themselves to their text; the values start right after the longer one.
    LayoutInfo();
}

void TfMain::BuildQuestionOrder() {
    const int32_t lastQuest = Test->ReadLastQuest();
    QuestionOrder.BuildQuestionOrder(Run.QuestionsPerTest, Test->QuestionCount(), Run.SequentialOrder, lastQuest);
}

int32_t TfMain::NextQuestion() {
    const TNextQuestion next = QuestionOrder.NextQuestion();
    if (next.DisableSkip) {
        SkipCounter.Enabled = false;
        SyncSkipButton();
    }
    return next.Index;
}

void TfMain::SyncSkipButton() {
    if (btnSkip != nullptr) EnableWindow(btnSkip, SkipCounter.Enabled ? TRUE : FALSE);
}

TQuestionOutcome TfMain::AskQuestion(int32_t index) {
    SetWindowText1251(lbQuestionsCount, QuestionsCountText(AnsweredCount() + 1, Run.QuestionsPerTest));
    LayoutInfo();
    Question = TTestQuestion();
    Test->LoadQuestion(index, Question);
    Score.SetCurrentPriority(Question.Priority);
    Log.LogQuestion(Question);
    // A question that cannot be read is shown as far as it was read (an empty one with no
    // priority, which does not count); the run goes on and the log tells the teacher.
    if (Test->LastError != kZipTestOk || Test->QuestionDamaged) {
        const auto& files = Test->QuestionFiles;
        Log.LogQuestionUnreadable(index >= 0 && index < static_cast<int32_t>(files.size()) ? files[index] : "");
    }
    unshownAttachments_.clear();
    ShowQuestionText(Question.Text);
    if (Question.AttachKind != akNone) ShowQuestionAttach(Question.AttachKind, Question.AttachPath, Question.Attach);
    Answers->LoadAnswers(Question.Answers, !Run.KeepAnswerOrder, Question.AnswerMode);
    HideWait();

    // This run's whole-test limit that ran out between two questions ends the run here; any other
    // outcome set before the question is on screen belongs to no question.
    Outcome = WholeTestLimitActive && testTimeExpired_ ? qoTestTimeOut : qoNone;
    SlideQuestionIn();
    if (!WholeTestLimitActive) {
        SetTimeLimit(QuestionTimeLimit(Run.LimitSeconds, Run.NoLimitForInput, Question.AnswerMode, Question.TimeLimit));
    }
    if (Observer != nullptr) Observer->QuestionWaiting();
    WaitUntil([this] { return Outcome != qoNone; });
    if (!WholeTestLimitActive) SetTimeLimit(0);
    StopMediaAndForget();
    SlideQuestionOut();

    const auto outcome = static_cast<TQuestionOutcome>(Outcome);
    if ((outcome == qoAnswered || outcome == qoQuestionTimeOut) && Run.ShowRightAnswer != 0) {
        ShowRightAnswerWindow(Answers->GetScore());
    }
    return outcome;
}

void TfMain::ReportUnshownAttachment(const std::string& name) {
    // Once per file and question: a popup that shows an empty frame on every hover says it once.
    if (!unshownAttachments_.insert(name).second) return;
    Log.LogAttachmentUnshown(name);
}

void TfMain::ShowRightAnswerWindow(long double ratio) {
    RightAnswer->ShowAnswer(Question.Answers, ratio, Question.AnswerMode, Run.ShowRightAnswer);
}

void TfMain::ShowQuestionText(const std::string& text) {
    ocQuestion.Hide();
    ShowWindow(lbQuestion, SW_SHOW);
    const std::wstring caption = Wide(DecodeLineBreaks(text));
    SetWindowTextW(lbQuestion, caption.c_str());
    FitQuestionText();
}

void TfMain::FitQuestionText() {
    // An object in place of the text gives the panel its height instead.
    if ((GetWindowLongW(lbQuestion, GWL_STYLE) & WS_VISIBLE) == 0) {
        if ((GetWindowLongW(ocQuestion.Handle(), GWL_STYLE) & WS_VISIBLE) != 0) PlaceQuestionObject();
        return;
    }
    const std::wstring caption = WindowTextW(lbQuestion);
    const int inset = Scale(kQuestionInset);
    const RECT panel = RectInParent(pnlQuestion.Handle());
    const int width = std::max(1, static_cast<int>(panel.right - panel.left) - 2 * inset);
    const int height = DrawnTextSize(questionFont_, caption, DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX, width).cy;
    SetWindowPos(lbQuestion, nullptr, inset, inset, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(pnlQuestion.Handle(), nullptr, 0, 0, panel.right - panel.left,
                 std::max(QuestionPanelMinHeight, height + 2 * inset),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(pnlQuestion.Handle(), nullptr, TRUE);
}

void TfMain::PlaceQuestionObject() {
    const RECT panel = RectInParent(pnlQuestion.Handle());
    const int panelWidth = panel.right - panel.left;
    TEmbeddedObjectInput in;
    in.MainHeight = ClientHeight();
    in.PanelWidth = panelWidth;
    in.PanelTop = panel.top;
    in.PanelBorder = Scale(kQuestionBorder);
    in.InfoHeight = InfoHeight();
    in.Dpi = Dpi();
    in.ObjectWidth = objectSize_.cx;
    in.ObjectHeight = objectSize_.cy;
    const TEmbeddedObjectPlacement place = PlaceEmbeddedObject(in);
    SetWindowPos(ocQuestion.Handle(), nullptr, place.Object.Left, place.Object.Top, place.Object.Width,
                 place.Object.Height, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(pnlQuestion.Handle(), nullptr, 0, 0, panelWidth, place.PanelHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TfMain::ShowQuestionAttach(TAttachKind kind, const TPath& fileName, const TAttachOptions& options) {
    const RECT panel = RectInParent(pnlQuestion.Handle());
    if (kind == akOle && options.ReplaceText) {
        ShowWindow(lbQuestion, SW_HIDE);
        objectSize_ = {options.Width, options.Height};
        PlaceQuestionObject();
        // An object that cannot be loaded leaves the container empty; the question goes on.
        if (!ocQuestion.LoadFromFile(fileName)) ReportUnshownAttachment(Question.AttachFile);
        ocQuestion.Show();
        InvalidateRect(pnlQuestion.Handle(), nullptr, TRUE);
        return;
    }

    HWND viewer = QuestAttach->Handle();
    QuestAttach->Hide();
    // A viewer the person left maximised starts over in its normal state.
    if (IsZoomed(viewer)) SetWindowLongW(viewer, GWL_STYLE, GetWindowLongW(viewer, GWL_STYLE) & ~WS_MAXIMIZE);
    const TfrQuestAttach& frame = QuestAttach->NewFrame(kind, fileName, options);

    TViewerPlacementInput in;
    in.MainWidth = ClientWidth();
    in.MainHeight = ClientHeight();
    in.QuestionTop = panel.top;
    in.QuestionHeight = panel.bottom - panel.top;
    in.InfoHeight = InfoHeight();
    in.Dpi = Dpi();
    in.PreferredWidth = frame.PreferredWidth;
    in.PreferredHeight = frame.PreferredHeight;
    in.ExtraHeight = frame.ExtraHeight;
    in.FixedHeight = frame.FixedHeight;
    in.NonClientHeight = QuestAttach->NonClientHeight();
    in.StatusHeight = QuestAttach->StatusHeight();
    const TViewerPlacement place = PlaceViewerWindow(in);
    QuestAttach->SetStatusVisible(place.StatusVisible);
    QuestAttach->SetAllowResize(true);
    QuestAttach->PlaceWindow(place.Window.Left, place.Window.Top, place.Window.Width, place.Window.Height);
    QuestAttach->SetAllowResize(!frame.FixedHeight);
    AttachPending = true;
}

void TfMain::ShowWait() {
    ShowWindow(lbWaitPlease, SW_SHOW);
    UpdateWindow(lbWaitPlease);
    ProcessPending();
}

void TfMain::HideWait() { ShowWindow(lbWaitPlease, SW_HIDE); }

// ---- Buttons, keys, wheel ----

void TfMain::btnSkipClick() {
    // A click that reaches a greyed button (a message sent to it directly) is no skip.
    if (!SkipCounter.Enabled) return;
    SkipCounter.Skip();
    SyncSkipButton();
    Outcome = qoSkipped;
}

void TfMain::btnInterruptClick() {
    if (ShowMessage(Handle(), kInterruptQuestion, kAttentionCaption, MB_OKCANCEL | MB_ICONQUESTION) == IDOK) {
        Outcome = qoInterrupted;
        return;
    }
    // The box took the keyboard away; the question goes on where it was.
    FocusAnswers();
}

bool TfMain::FormKeyDown(WPARAM key, bool repeated) {
    if (key == VK_ESCAPE) {
        btnInterruptClick();
        return false;
    }
    if (!Answers) return false;
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    const bool answering = IsWindowVisible(Answers->Handle()) && Outcome == qoNone;
    TfrAnswersList& list = Answers->frAnswersList;
    if (key == VK_TAB && !ctrl) {
        if (!answering) return false;
        MoveKeyboardFocus(GetKeyState(VK_SHIFT) < 0 ? -1 : 1);
        return true;
    }
    if (key == VK_RETURN && !ctrl) {
        // A held key confirms nothing: the next question may already be on screen.
        if (!answering || repeated) return false;
        HWND focus = GetFocus();
        if (focus == btnSkip || focus == btnInterrupt) {
            if (IsWindowEnabled(focus)) SendMessageW(focus, BM_CLICK, 0, 0);
            return true;
        }
        // In the memo Enter is a new line; Ctrl+Enter confirms there.
        if (focus == Answers->mmInputAnswer) return false;
        if (IsWindowEnabled(Answers->btnOk)) Answers->btnOkClick();
        return true;
    }
    if (answering && !Answers->InputVisible()) {
        const bool digit = (key >= '1' && key <= '9') || (key >= VK_NUMPAD1 && key <= VK_NUMPAD9);
        // The digits choose from wherever the keyboard is; the list itself takes them when it has it.
        if (digit && !ctrl && GetFocus() != list.Handle()) return list.KeyDown(key);
        // Ctrl+Up / Ctrl+Down move an ordering answer, which the list does; nothing scrolls.
        if ((key == VK_UP || key == VK_DOWN) && ctrl && list.Model.Mode == lmOrdering) {
            if (GetFocus() != list.Handle()) return list.KeyDown(key);
            return false;
        }
    }
    if ((key != VK_UP && key != VK_DOWN) || Answers->InputVisible()) return false;
    HWND bar = Answers->scbVert;
    if (bar == nullptr) return false;
    const SCROLLINFO info = ScrollBarInfo(bar);
    const int step = TfAnswers::kScrollSmallChange;
    const int position = key == VK_UP ? std::max(info.nMin, info.nPos - step) : std::min(info.nMax, info.nPos + step);
    SetScrollPos(bar, SB_CTL, position, TRUE);
    Answers->scbVertChange();
    return false;
}

void TfMain::MoveKeyboardFocus(int direction) {
    TfrAnswersList& list = Answers->frAnswersList;
    // From now on the focus shows, on the answers and on the buttons alike.
    list.ShowKeyboardCues();
    SendMessageW(Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    HWND focus = GetFocus();
    if (focus == list.Handle()) {
        const int next = list.FocusedPosition() + direction;
        if (next >= 0 && next < list.Count()) {
            list.FocusAnswer(next);
            return;
        }
    }
    std::vector<HWND> stops;
    if (Answers->InputVisible()) {
        stops.push_back(Answers->mmInputAnswer);
    } else if (list.Count() > 0) {
        stops.push_back(list.Handle());
    }
    for (HWND button : {Answers->btnOk, btnSkip, btnInterrupt}) {
        if (button != nullptr && IsWindowVisible(button) && IsWindowEnabled(button)) stops.push_back(button);
    }
    if (stops.empty()) return;
    const int count = static_cast<int>(stops.size());
    int at = -1;
    for (int i = 0; i < count; ++i)
        if (stops[static_cast<size_t>(i)] == focus) at = i;
    if (at < 0) at = direction > 0 ? -1 : count;
    HWND next = stops[static_cast<size_t>(((at + direction) % count + count) % count)];
    if (next == list.Handle()) {
        // Into the list from its end it was left by: the first answer going forward, the last back.
        list.FocusAnswer(direction > 0 ? 0 : list.Count() - 1);
    } else {
        SetFocus(next);
    }
}

void TfMain::FormMouseWheel(int delta, POINT screen) {
    if (!Answers || Answers->Handle() == nullptr || Answers->scbVert == nullptr) return;
    RECT rc;
    GetWindowRect(Answers->Handle(), &rc);
    if (!(rc.left < screen.x && screen.x < rc.right && rc.top < screen.y && screen.y < rc.bottom)) return;
    if (!IsWindowEnabled(Answers->scbVert)) return;
    const int direction = delta > 0 ? 1 : (delta < 0 ? -1 : 0);
    const SCROLLINFO info = ScrollBarInfo(Answers->scbVert);
    const int position = std::min(info.nPos - 10 * direction, info.nMax - static_cast<int>(info.nPage) + 1);
    SetScrollPos(Answers->scbVert, SB_CTL, position, TRUE);
    Answers->scbVertChange();
}

// ---- Timers ----

void TfMain::SetTimeLimit(int32_t n) {
    tmrLimit.Tag = n;
    prbMax_ = std::max(0, n);
    SendMessageW(prbTimeLimit, PBM_SETRANGE32, 0, prbMax_);
    EnableWindow(lbTimeLimit, n > 0 ? TRUE : FALSE);
}

void TfMain::tmrLimitTimer() {
    if (tmrLimit.Tag < 0) return;
    const bool expired = CountdownTick(tmrLimit.Tag);
    SendMessageW(prbTimeLimit, PBM_SETPOS, static_cast<WPARAM>(prbMax_ - tmrLimit.Tag), 0);
    if (!expired) return;
    if (WholeTestLimitActive) testTimeExpired_ = true;
    Outcome = WholeTestLimitActive ? qoTestTimeOut : qoQuestionTimeOut;
}

void TfMain::tmrGlobalTimeTimer() { ++tmrGlobalTime.Tag; }

void TfMain::OnTimer(UINT_PTR id) {
    switch (id) {
    case kTimerAnimation:
        OnAnimationTimer();
        break;
    case kTimerLimit:
        tmrLimitTimer();
        break;
    case kTimerGlobalTime:
        tmrGlobalTimeTimer();
        break;
    }
}

// ---- Slides ----

void TfMain::SlideWindow(HWND window, int32_t left, int32_t top, int32_t width, int32_t height, uint16_t steps) {
    // One slide at a time: a slide asked for during another waits for it to end.
    WaitUntil([this] { return !tmrAnimation.Enabled(); });
    const RECT rc = RectInParent(window);
    const TSlideRect from = {rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top};
    if (steps == 0) {
        // No steps: the window is simply put where it is going.
        SetWindowPos(window, nullptr, left, top, width == -1 ? from.Width : width,
                     height == -1 ? from.Height : height, SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    slide_.Start(from, left, top, width, height, steps);
    slideWindow_ = window;
    tmrAnimation.SetEnabled(true);
    WaitUntil([this] { return !tmrAnimation.Enabled(); });
}

void TfMain::OnAnimationTimer() {
    if (slideWindow_ == nullptr || !slide_.Running()) {
        tmrAnimation.SetEnabled(false);
        return;
    }
    const TSlideRect rc = slide_.Tick();
    if (Observer != nullptr) Observer->SlideStep();
    SetWindowPos(slideWindow_, nullptr, rc.Left, rc.Top, rc.Width, rc.Height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (!slide_.Running()) {
        tmrAnimation.SetEnabled(false);
        slideWindow_ = nullptr;
    }
}

void TfMain::SlideInfoIn() {
    const RECT rc = RectInParent(gbxInfo.Handle());
    MoveWindowTo(gbxInfo.Handle(), rc.left, ClientHeight());
    gbxInfo.Show();
    SlideWindow(gbxInfo.Handle(), rc.left, ClientHeight() - InfoHeight(), -1, -1, FullSteps());
}

void TfMain::SlideInfoOut() {
    const RECT rc = RectInParent(gbxInfo.Handle());
    MoveWindowTo(gbxInfo.Handle(), rc.left, ClientHeight() - InfoHeight());
    SlideWindow(gbxInfo.Handle(), rc.left, ClientHeight(), -1, -1, FullSteps());
    gbxInfo.Hide();
}

void TfMain::SlideQuestionIn() {
    RECT rc = RectInParent(pnlQuestion.Handle());
    const int panelWidth = rc.right - rc.left;
    const int margin = SlideMargin(Dpi());
    MoveWindowTo(pnlQuestion.Handle(), -panelWidth, rc.top);
    pnlQuestion.Show();
    SlideWindow(pnlQuestion.Handle(), margin, rc.top, -1, -1, FullSteps());

    if (AttachPending) {
        HWND viewer = QuestAttach->Handle();
        rc = RectInParent(viewer);
        MoveWindowTo(viewer, -(rc.right - rc.left), rc.top);
        ShowWindow(viewer, SW_SHOWNA);
        SlideWindow(viewer, margin, rc.top, -1, -1, HalfSlideSteps());
    }

    HWND answers = Answers->Handle();
    rc = RectInParent(answers);
    MoveWindowTo(answers, ClientWidth(), rc.top);
    Answers->Show();
    Answers->FormResize();
    RECT client;
    GetClientRect(answers, &client);
    const int mainHeight = ClientHeight();
    const int windowHeight = rc.bottom - rc.top;
    const int clientHeight = AnswersClientHeight(mainHeight, client.bottom, windowHeight, InfoHeight(),
                                                 Answers->ContentHeight() + Answers->ControlHeight(), Dpi());
    SetWindowPos(answers, nullptr, 0, 0, rc.right - rc.left, windowHeight - client.bottom + clientHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    rc = RectInParent(answers);
    SlideWindow(answers, ClientWidth() - (rc.right - rc.left) - margin, rc.top, -1, -1, HalfSlideSteps());
    FocusAnswers();
}

void TfMain::FocusAnswers() {
    // Typing goes to the memo of a typed question, the keys of choosing to the answer list. A
    // button that kept the focus from its click ("Пропустить", "ОК") would take Space or Enter for
    // itself on the next question, and a control gone hidden would leave nobody to take them.
    if (!Answers || !IsWindowVisible(Answers->Handle())) {
        SetFocus(Handle());
    } else if (Answers->InputVisible()) {
        SetFocus(Answers->mmInputAnswer);
    } else if (Answers->frAnswersList.Count() > 0) {
        TfrAnswersList& list = Answers->frAnswersList;
        list.FocusAnswer(std::max(0, list.FocusedPosition()));
    } else {
        SetFocus(Handle());
    }
}

void TfMain::SlideQuestionOut() {
    RECT rc = RectInParent(pnlQuestion.Handle());
    MoveWindowTo(pnlQuestion.Handle(), SlideMargin(Dpi()), rc.top);
    SlideWindow(pnlQuestion.Handle(), -(rc.right - rc.left), rc.top, -1, -1, FullSteps());
    pnlQuestion.Hide();
    if (AttachPending) {
        HWND viewer = QuestAttach->Handle();
        rc = RectInParent(viewer);
        SlideWindow(viewer, -(rc.right - rc.left), rc.top, -1, -1, FullSteps());
        QuestAttach->Hide();
        AttachPending = false;
    }
    rc = RectInParent(Answers->Handle());
    SlideWindow(Answers->Handle(), ClientWidth(), rc.top, -1, -1, FullSteps());
}

void TfMain::SlidePopupIn(HWND popup) {
    const RECT rc = RectInParent(popup);
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    const int left = ClientWidth() - width - SlideMargin(Dpi());
    MoveWindowTo(popup, left, -height);
    ShowWindow(popup, SW_SHOWNOACTIVATE);
    SlideWindow(popup, left, SlideMargin(Dpi()), -1, -1, HalfSlideSteps());
}

void TfMain::SlidePopupOut(HWND popup) {
    const RECT rc = RectInParent(popup);
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    SlideWindow(popup, ClientWidth() - width - SlideMargin(Dpi()), -height, -1, -1, FullSteps());
    ShowWindow(popup, SW_HIDE);
}

// ---- Media ----

std::pair<int32_t, int32_t> TfMain::PlayMedia(const TPath& file, HWND playButton, HWND stopButton, HWND display,
                                              uint8_t scaleMode) {
    return Media.PlayMedia(file, playButton, stopButton, display, scaleMode);
}

void TfMain::StopMedia() { Media.StopMedia(); }

void TfMain::StopMediaAndForget() { Media.StopMediaAndForget(); }

// The answer panels' attachments: hover previews in the popup and their sounds.
void TfMain::PlayMedia(const TPath& file, HWND playButton, HWND stopButton) {
    Media.PlayMedia(file, playButton, stopButton, nullptr, 0);
}

void TfMain::ShowAnswerPopup(TAttachKind kind, const TPath& file, int32_t width, int32_t height) {
    AnswersPopup->SetSizeFor(ClientWidth(), ClientHeight());
    if (!AnswersPopup->ShowAttachment(kind, file, width, height)) {
        ReportUnshownAttachment(WideToCp1251(file.filename().wstring()));
    }
    SlidePopupIn(AnswersPopup->Handle());
}

void TfMain::HideAnswerPopup() { SlidePopupOut(AnswersPopup->Handle()); }

// ---- Messages ----

bool TfMain::ProcessPending() {
    const bool alive = ProcessMessages([this](MSG& msg) {
        if (msg.hwnd == nullptr || (msg.hwnd != Handle() && !IsChild(Handle(), msg.hwnd))) return false;
        // The stage sees keys and the wheel before its controls, which then get them too.
        if (msg.message == WM_KEYDOWN || (msg.message == WM_SYSKEYDOWN && msg.wParam == VK_ESCAPE)) {
            return FormKeyDown(msg.wParam, (msg.lParam & (1 << 30)) != 0);
        } else if (msg.message == WM_MOUSEWHEEL) {
            FormMouseWheel(GET_WHEEL_DELTA_WPARAM(msg.wParam), {GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)});
        }
        return false;
    });
    if (!alive) quitting_ = true;
    return alive;
}

void TfMain::WaitUntil(const std::function<bool()>& done) {
    for (;;) {
        if (!ProcessPending()) {
            // The program is being ended: no question waits for an answer any more.
            if (Outcome == qoNone) Outcome = qoInterrupted;
            tmrAnimation.SetEnabled(false);
            return;
        }
        if (done()) return;
        WaitForMessages(10);
    }
}

void TfMain::EndSession() {
    // Windows is shutting down or logging off and will not wait for the run to end. The run's
    // record is written now: a finished run's as it stands, a run still going as interrupted,
    // with its time and mark so far. Then the temporary files go, and so does the program.
    StopMedia();
    if (Result) {
        if (runInProgress_) {
            Result->SetInterrupted(true);
            Result->SetMark(Score.Mark());
            Result->SetTestTime(tmrGlobalTime.Tag);
            Result->RecordPending = true;
        }
        Result->RecordNow();
    }
    if (Test) {
        Test->OnBeforeRemoveFolder = nullptr;
        Test.reset();
    }
    if (!settings_.ArchiveFile.empty()) DeleteFileAt(settings_.ArchiveFile);
    ExitProcess(0);
}

LRESULT TfMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        // The person cannot close the stage; the run ends the program itself.
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            if (LOWORD(wParam) == kIdSkip) {
                btnSkipClick();
                return 0;
            }
            if (LOWORD(wParam) == kIdInterrupt) {
                btnInterruptClick();
                return 0;
            }
        }
        break;
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        HWND control = reinterpret_cast<HWND>(lParam);
        if (control == lbWaitPlease) {
            SetTextColor(dc, RGB(255, 255, 255));
            SetBkColor(dc, RGB(0, 0, 0));
            return reinterpret_cast<LRESULT>(GetStockObject(BLACK_BRUSH));
        }
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        if (control == lbFIO || control == lbOtherInfo || control == lbQuestionsCount || control == lbMark) {
            SetTextColor(dc, kNavy);
        } else if (!IsWindowEnabled(control)) {
            SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
        }
        return reinterpret_cast<LRESULT>(faceBrush_);
    }
    }
    return TWindow::HandleMessage(message, wParam, lParam);
}
