#pragma once
// The main window opened up for the tests: the steps of its run and the state they leave, which
// the program keeps to the window itself.

#include "run/MainFormUnit.h"

class TfMainForTest : public TfMain {
protected:
    ~TfMainForTest() override = default;

public:
    using TfMain::TfMain;

    using TfMain::AskQuestion;
    using TfMain::ElapsedSeconds;
    using TfMain::FormKeyDown;
    using TfMain::FormMouseWheel;
    using TfMain::HalfSlideSteps;
    using TfMain::LogText;
    using TfMain::PlayMedia;
    using TfMain::SetTimeLimit;
    using TfMain::ShowWait;
    using TfMain::ShowQuestionAttach;
    using TfMain::ShowQuestionText;
    using TfMain::SlideInfoIn;
    using TfMain::SlideInfoOut;
    using TfMain::SlideQuestionIn;
    using TfMain::SlideQuestionOut;
    using TfMain::SlideWindow;
    using TfMain::tmrLimitTimer;
    using TfMain::WaitUntil;

    using TfMain::AttachPending;
    using TfMain::Observer;
    using TfMain::Outcome;
    using TfMain::Question;
    using TfMain::QuestionPanelMinHeight;
    using TfMain::WholeTestLimitActive;

    using TfMain::Answers;
    using TfMain::AnswersPopup;
    using TfMain::Media;
    using TfMain::QuestAttach;
    using TfMain::Result;
    using TfMain::Test;

    using TfMain::btnInterrupt;
    using TfMain::btnSkip;
    using TfMain::gbxInfo;
    using TfMain::lbQuestion;
    using TfMain::lbQuestionsCount;
    using TfMain::lbTimeLimit;
    using TfMain::ocQuestion;
    using TfMain::pnlQuestion;
    using TfMain::prbTimeLimit;
    using TfMain::tmrAnimation;
    using TfMain::tmrGlobalTime;
    using TfMain::tmrLimit;

    int32_t& QuestionsPerTest = Run.QuestionsPerTest;
};
