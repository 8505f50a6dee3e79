// The answers window with the largest question a test can hold: 255 answers loaded, laid out
// and painted; then what one pointer move over the list costs while hovering and dragging.
//
//   scripts/wine-run build/win64/bin/answers_bench.exe [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "answers/AnswersFormUnit.h"
#include "platform/Win32Util.h"

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

LRESULT CALLBACK StageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::vector<TTestAnswer> ManyAnswers() {
    std::vector<TTestAnswer> answers;
    for (int i = 0; i < 255; ++i) {
        TTestAnswer a;
        a.Weight = static_cast<int8_t>(i % 5);
        a.Text = "Answer " + std::to_string(i);
        // Every third answer wraps over a few lines.
        if (i % 3 == 0) {
            for (int w = 0; w < 12; ++w) a.Text += " and some more words";
        }
        answers.push_back(a);
    }
    return answers;
}

struct TStats {
    double Median = 0, Max = 0;
};

TStats Stats(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.back()};
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 20;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = StageProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"BenchStage";
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    RegisterClassW(&wc);
    HWND stage = CreateWindowExW(0, L"BenchStage", L"stage", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 1024, 768,
                                 nullptr, nullptr, wc.hInstance, nullptr);
    uint8_t outcome = 0;
    TOwned<TfAnswers> answers(outcome);
    answers.Create(stage);
    answers.SetFontSize(12);
    const std::vector<TTestAnswer> many = ManyAnswers();

    std::vector<double> load, show;
    for (int round = 0; round < rounds; ++round) {
        const double start = Now();
        answers.LoadAnswers(many, true, 3);  // ordering: every answer shown, none selected
        const double loaded = Now();
        SetWindowPos(answers.Handle(), nullptr, 532, 230, 482, 420, SWP_NOZORDER);
        answers.Show();
        answers.FormResize();
        UpdateWindow(answers.Handle());
        const double shown = Now();
        ProcessMessages();
        load.push_back(loaded - start);
        show.push_back(shown - start);
    }

    // Pointer moves across the visible answers, hovering, then the same while dragging.
    HWND list = answers.frAnswersList.Handle();
    RECT rc;
    GetClientRect(list, &rc);
    std::vector<double> hover, drag;
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<double>& times = pass == 0 ? hover : drag;
        if (pass == 1) SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 20));
        for (int y = 5; y < rc.bottom - 5; y += 3) {
            const double start = Now();
            SendMessageW(list, WM_MOUSEMOVE, pass == 1 ? MK_LBUTTON : 0, MAKELPARAM(100, y));
            UpdateWindow(list);
            times.push_back(Now() - start);
        }
        if (pass == 1) SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(100, rc.bottom / 2));
    }

    const TStats loadStats = Stats(load), showStats = Stats(show), hoverStats = Stats(hover), dragStats = Stats(drag);
    std::printf("255 answers, %d rounds (ms)          median     max\n", rounds);
    std::printf("  LoadAnswers                       %7.2f %7.2f\n", loadStats.Median, loadStats.Max);
    std::printf("  LoadAnswers + show + paint        %7.2f %7.2f\n", showStats.Median, showStats.Max);
    std::printf("one pointer move + paint (ms)\n");
    std::printf("  hovering (%3zu moves)              %7.3f %7.3f\n", hover.size(), hoverStats.Median, hoverStats.Max);
    std::printf("  dragging (%3zu moves)              %7.3f %7.3f\n", drag.size(), dragStats.Median, dragStats.Max);
    std::printf("content height: %d px\n", answers.ContentHeight());
    DestroyWindow(stage);
    return 0;
}
