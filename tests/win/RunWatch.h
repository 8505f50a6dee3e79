#pragma once
// Watches a run of the main window for the tests: counts the questions that reached their wait
// and the steps of the slides, readable from the person's thread.

#include <atomic>
#include <cstdint>

#include "run/MainFormUnit.h"
#include "tests/win/MainFormAccess.h"

class TRunWatch : public TRunObserver {
public:
    explicit TRunWatch(TfMainForTest& main) : main_(main) { main_.Observer = this; }
    ~TRunWatch() override { main_.Observer = nullptr; }
    TRunWatch(const TRunWatch&) = delete;
    TRunWatch& operator=(const TRunWatch&) = delete;

    void QuestionWaiting() override { ++QuestionsShown; }
    void SlideStep() override { ++SlideSteps; }

    std::atomic<uint32_t> QuestionsShown{0};
    std::atomic<uint32_t> SlideSteps{0};

private:
    TfMainForTest& main_;
};
