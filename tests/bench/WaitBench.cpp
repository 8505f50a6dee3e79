// The question wait of the main window: how long a click on "ОК" takes to end the wait, and
// what the wait costs while nobody does anything. Printed side by side with a wait that
// handles one message per 10 ms sleep, the simple way of waiting.
//
//   scripts/wine-run build/win64/bin/wait_bench.exe [clicks] [idle-seconds]
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

#include "answers/AnswersFormUnit.h"
#include "app/Payload.h"
#include "platform/Win32Util.h"
#include "run/MainFormUnit.h"
#include "tests/win/MainFormAccess.h"

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

double CpuMilliseconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

// One message, then 10 ms of sleep: the simple wait this program does not use.
void SimpleWait(TfMainForTest& main) {
    while (*static_cast<volatile uint8_t*>(&main.Outcome) == qoNone) {
        MSG msg;
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

struct TLatency {
    double Median = 0, P95 = 0, Max = 0;
};

TLatency MeasureClicks(TfMainForTest& main, int clicks, bool simple) {
    std::vector<double> latencies;
    std::atomic<double> clickedAt{0};
    std::atomic<int> round{-1};
    std::thread person([&] {
        std::mt19937 random(12345);
        std::uniform_int_distribution<int> pause(3, 30);
        for (int i = 0; i < clicks; ++i) {
            while (round.load() != i) Sleep(1);
            Sleep(pause(random));  // the person clicks at any moment of the wait
            clickedAt = Now();
            PostMessageW(main.Answers->btnOk, BM_CLICK, 0, 0);
        }
    });
    for (int i = 0; i < clicks; ++i) {
        main.Outcome = qoNone;
        round = i;
        if (simple) {
            SimpleWait(main);
        } else {
            main.WaitUntil([&] { return main.Outcome != qoNone; });
        }
        latencies.push_back(Now() - clickedAt.load());
    }
    person.join();
    std::sort(latencies.begin(), latencies.end());
    TLatency result;
    result.Median = latencies[latencies.size() / 2];
    result.P95 = latencies[latencies.size() * 95 / 100];
    result.Max = latencies.back();
    return result;
}

// Share of one core used while waiting `seconds` with nothing to do but the one-second timers.
double MeasureIdle(TfMainForTest& main, double seconds, bool simple) {
    main.Outcome = qoNone;
    std::thread stopper([&] {
        Sleep(static_cast<DWORD>(seconds * 1000));
        PostMessageW(main.Answers->btnOk, BM_CLICK, 0, 0);
    });
    const double cpu = CpuMilliseconds(), wall = Now();
    if (simple) {
        SimpleWait(main);
    } else {
        main.WaitUntil([&] { return main.Outcome != qoNone; });
    }
    const double usedCpu = CpuMilliseconds() - cpu, usedWall = Now() - wall;
    stopper.join();
    return 100.0 * usedCpu / usedWall;
}

}  // namespace

int main(int argc, char** argv) {
    const int clicks = argc > 1 ? std::atoi(argv[1]) : 200;
    const double idleSeconds = argc > 2 ? std::atof(argv[2]) : 5.0;
    TPayloadInfo settings;
    settings.EffectSteps = 1;
    TOwned<TfMainForTest> main(settings);
    if (!main.Create()) return 1;
    ShowWindow(main.Handle(), SW_SHOW);
    TTestAnswer a, b;
    a.Text = "a";
    a.Weight = 1;
    b.Text = "b";
    b.Weight = 2;
    main.Answers->LoadAnswers({a, b}, false, 3);  // ordering: "ОК" enabled from the start
    main.Answers->Show();
    ProcessMessages();

    const TLatency ours = MeasureClicks(main, clicks, false);
    const TLatency simple = MeasureClicks(main, clicks, true);
    const double oursIdle = MeasureIdle(main, idleSeconds, false);
    const double simpleIdle = MeasureIdle(main, idleSeconds, true);

    std::printf("click to outcome, %d clicks (ms)   median   p95     max\n", clicks);
    std::printf("  question wait                    %6.2f  %6.2f  %6.2f\n", ours.Median, ours.P95, ours.Max);
    std::printf("  one message per 10 ms sleep      %6.2f  %6.2f  %6.2f\n", simple.Median, simple.P95, simple.Max);
    std::printf("idle, %.0f s (%% of one core)\n", idleSeconds);
    std::printf("  question wait                    %6.2f\n", oursIdle);
    std::printf("  one message per 10 ms sleep      %6.2f\n", simpleIdle);
    std::printf("median latency ratio (ours / simple): %.2f\n", ours.Median / simple.Median);
    return 0;
}
