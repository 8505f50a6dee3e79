#pragma once
// The main window: the black full-screen stage of a test run, and the driver of the run.

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "answers/AnswersFrameUnit.h"
#include "app/Payload.h"
#include "archive/ZipTest.h"
#include "platform/GroupBox.h"
#include "platform/OleObject.h"
#include "platform/Panel.h"
#include "platform/Timer.h"
#include "platform/Window.h"
#include "run/MediaService.h"
#include "run/QuestionOrder.h"
#include "run/Scoring.h"
#include "run/SlideMath.h"
#include "run/TestLog.h"

class TfAnswers;
class TfAnswersPopup;
class TfQuestAttach;
class TfResult;
class TfRightAnswer;
class TfLogin;

// What ended the question on screen.
enum TQuestionOutcome : uint8_t {
    qoNone = 0,
    qoAnswered = 1,
    qoSkipped = 2,
    qoInterrupted = 3,
    qoQuestionTimeOut = 4,
    qoTestTimeOut = 5,
};

// Told of the moments of a run that cannot be read off its windows.
class TRunObserver {
public:
    virtual ~TRunObserver() = default;
    // A question is on screen and its wait has begun.
    virtual void QuestionWaiting() {}
    // A slide has moved its window one step.
    virtual void SlideStep() {}
};

class TfMain : public TWindow, public TAnswerAttachHost {
protected:
    ~TfMain() override;

public:
    explicit TfMain(const TPayloadInfo& settings);

    // FormCreate: the borderless black window covering the screen, not yet shown, with every
    // window it owns.
    bool Create();
    // The program's run: the test's information, then registration, run and result until
    // the person leaves; returns when the program is to end.
    void RunTestLoop();

    // The information box's height as designed, on a 96-DPI screen.
    static constexpr int kInfoHeight = 93;
    // Its height on this screen: the design's scaled, or more where its texts need it.
    int InfoHeight() const { return infoHeight_; }

protected:
    // The steps of the run and its state, kept to the window itself (the tests open them up in
    // a class of their own).

    // One test run; false when the test cannot be read.
    bool RunTest(const TPath& archiveFile);
    TQuestionOutcome AskQuestion(int32_t index);

    // The question order of the run, and the skip button's state beside it.
    void BuildQuestionOrder();
    int32_t NextQuestion();
    void SetQuestionState(int32_t index, TQuestionState state) { QuestionOrder.SetQuestionState(index, state); }
    int32_t AnsweredCount() const { return QuestionOrder.AnsweredCount(); }

    // Handlers.
    void btnSkipClick();
    void btnInterruptClick();
    // The stage's keys, seen before the control with the focus; true when the key was taken here
    // and goes no further. `repeated`: the key is held down.
    bool FormKeyDown(WPARAM key, bool repeated = false);
    // Tab / Shift+Tab: the answers one by one (or the memo), then "ОК", "Пропустить", "Прервать".
    void MoveKeyboardFocus(int direction);
    void FormMouseWheel(int delta, POINT screen);
    void tmrLimitTimer();
    void tmrGlobalTimeTimer();
    void OnAnimationTimer();

    // Time limits: n seconds from now, 0 none, negative inert.
    void SetTimeLimit(int32_t n);

    // Slides. Positions are those of the main window's client area.
    void SlideWindow(HWND window, int32_t left, int32_t top, int32_t width, int32_t height, uint16_t steps);
    void SlideInfoIn();
    void SlideInfoOut();
    void SlideQuestionIn();
    void SlideQuestionOut();
    void SlidePopupIn(HWND popup);
    // Gives the keyboard to the answer: the memo of a typed question, otherwise the answer list,
    // on the answer it was on (the first of a new question).
    void FocusAnswers();
    void SlidePopupOut(HWND popup);
    uint16_t FullSteps() const { return EffectSteps_; }
    uint16_t HalfSlideSteps() const { return HalfSteps(EffectSteps_); }

    // The media service: one player for every sound and video. Returns the natural video size.
    std::pair<int32_t, int32_t> PlayMedia(const TPath& file, HWND playButton, HWND stopButton, HWND display,
                                          uint8_t scaleMode);
    void StopMediaAndForget();
    // For the answer panels (TAnswerAttachHost).
    void PlayMedia(const TPath& file, HWND playButton, HWND stopButton) override;
    void StopMedia() override;
    void ShowAnswerPopup(TAttachKind kind, const TPath& file, int32_t width, int32_t height) override;
    void HideAnswerPopup() override;

    // Logs, once per question, an attachment that shows as an empty frame.
    void ReportUnshownAttachment(const std::string& name);
    // The question on screen, its text fitted into pnlQuestion.
    void ShowQuestionText(const std::string& text);
    // The question's attachment: an object that replaces the text goes into pnlQuestion,
    // anything else into the viewer window, which then slides with the question.
    void ShowQuestionAttach(TAttachKind kind, const TPath& fileName, const TAttachOptions& options);
    void FillInfo();
    void ShowWait();
    void HideWait();

    // Lets pending messages run, the window seeing keys and the wheel before its controls.
    // False when the program is quitting.
    bool ProcessPending();
    // Processes messages until `done` holds, sleeping in between until something arrives.
    void WaitUntil(const std::function<bool()>& done);

    const std::string& LogText() const { return Log.Text(); }
    // Seconds elapsed in the current run.
    int32_t ElapsedSeconds() const { return tmrGlobalTime.Tag; }

    // State of the run.
    uint8_t Outcome = qoNone;
    bool WholeTestLimitActive = false;
    // The run's own copy of the test's settings; QuestionsPerTest is capped to the bank.
    TRunSettings Run;
    TQuestionOrder QuestionOrder;
    TSkipCounter SkipCounter;  // btnSkip's Tag and enabled state
    TScore Score;
    TTestLog Log;
    // The question attachment window slides with the question when it has been prepared.
    bool AttachPending = false;
    // The question on screen (kept for judging it once it ends).
    TTestQuestion Question;

    // The test archive, for the whole life of the window.
    std::unique_ptr<TZipTest> Test;
    std::unique_ptr<TOwned<TfAnswers>> Answers;
    // The question attachment viewer, and the popup the answer panels show attachments in.
    std::unique_ptr<TOwned<TfQuestAttach>> QuestAttach;
    std::unique_ptr<TOwned<TfAnswersPopup>> AnswersPopup;
    std::unique_ptr<TOwned<TfRightAnswer>> RightAnswer;
    std::unique_ptr<TOwned<TfResult>> Result;
    // mpMain: the one media player.
    TMediaService Media;
    // The registration window while RunTestLoop runs.
    TfLogin* Login = nullptr;

    // Components.
    HWND lbWaitPlease = nullptr;
    TOwned<TGroupBox> gbxInfo;
    HWND lbFIO_ = nullptr, lbOtherInfo_ = nullptr, lbFIO = nullptr, lbOtherInfo = nullptr;
    HWND lbQuestionsCount = nullptr, lbMark = nullptr, lbTimeLimit = nullptr, prbTimeLimit = nullptr;
    HWND btnSkip = nullptr, btnInterrupt = nullptr;
    TOwned<TPanel> pnlQuestion;
    HWND lbQuestion = nullptr;
    // An object shown in place of the question text; disabled, never activated.
    TOwned<TOleContainer> ocQuestion;
    TTimer tmrAnimation;
    TTimer tmrLimit;
    TTimer tmrGlobalTime;
    int32_t QuestionPanelMinHeight = 0;
    // Whoever watches the run from outside (the tests); the program sets none.
    TRunObserver* Observer = nullptr;

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Moved to a screen of another scaling: the stage covers that screen, with new fonts and
    // everything laid out again.
    void DpiChanged(int oldDpi, const RECT* suggested) override;

private:
    void CreateInfoBox();
    void CreateFonts();
    // The wait label and the question panel for the stage's size and scaling.
    void LayoutStage();
    // The information box's controls for their texts; the box takes the height they need.
    void LayoutInfo();
    // lbQuestion's height for its text, and pnlQuestion's with it.
    void FitQuestionText();
    // ocQuestion, when an object replaces the question's text, and pnlQuestion's height for it.
    void PlaceQuestionObject();
    void OnTimer(UINT_PTR id);
    void SyncSkipButton();
    int ClientWidth() const;
    int ClientHeight() const;
    void EndSession();
    bool RunTestSteps(const TPath& archiveFile);
    void AbandonRun();
    void ShowRightAnswerWindow(long double ratio);

    const TPayloadInfo& settings_;
    uint8_t EffectSteps_ = 0;
    HWND slideWindow_ = nullptr;
    TSlideMotion slide_;
    HFONT font_ = nullptr, questionFont_ = nullptr, waitFont_ = nullptr;
    HBRUSH faceBrush_ = nullptr;
    bool quitting_ = false;
    // A run has started (its person and test are on the result window) and not yet ended.
    bool runInProgress_ = false;
    // The attachments of the question on screen already logged as not shown.
    std::set<std::string> unshownAttachments_;
    // This run's whole-test limit has run out.
    bool testTimeExpired_ = false;
    int32_t prbMax_ = 100;
    int infoHeight_ = kInfoHeight;
    SIZE objectSize_ = {0, 0};  // of the object in place of the question's text, as the test gives it
};

// The texts of the main window's message boxes.
extern const wchar_t kMainCaption[];
extern const wchar_t kInfoCaption[];
extern const wchar_t kErrorCaption[];
extern const wchar_t kInterruptQuestion[];
extern const wchar_t kAttentionCaption[];
std::wstring CannotReadTestMessage(const TPath& archiveFile);
