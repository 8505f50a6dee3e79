#include <windows.h>
#include <mmsystem.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/Panel.h"
#include "run/MediaService.h"
#include "tests/win/WinTestUtil.h"
#include "tools/MediaFixtures.h"

namespace {

constexpr wchar_t kParentClass[] = L"MediaServiceTestParent";

struct TButtons {
    HWND Play = nullptr, Stop = nullptr;
    // Both states at once, to tell "left alone" from "set".
    void Set(bool play, bool stop) const {
        EnableWindow(Play, play);
        EnableWindow(Stop, stop);
    }
    bool Are(bool play, bool stop) const {
        return (IsWindowEnabled(Play) != FALSE) == play && (IsWindowEnabled(Stop) != FALSE) == stop;
    }
    bool ShowPlaying() const { return Are(false, true); }
    bool ShowStopped() const { return Are(true, false); }
};

// Lets messages run for a while, so that late notices arrive.
void Pump(DWORD ms) {
    WaitUntil([] { return false; }, ms);
}

// The red of every frame of the test video.
constexpr int kVideoRed = 160;

int RedAt(HWND window, int x, int y) {
    HDC dc = GetDC(window);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return c == CLR_INVALID ? -1 : GetRValue(c);
}

std::wstring Destination(const TMediaService& media) {
    wchar_t reply[128] = {};
    if (mciSendStringW((L"where " + media.DeviceAlias() + L" destination").c_str(), reply, 128, nullptr) != 0) {
        return L"<error>";
    }
    return reply;
}

class MediaServiceTest : public ::testing::Test {
protected:
    TScratchFolder folder{L"media"};
    HWND parent = nullptr;
    TButtons first, second;
    TMediaService media;
    TPath longWav, shortWav, midi, avi;

    void SetUp() override {
        parent = CreateTestParent(kParentClass, L"media", 800, 600);
        ASSERT_NE(parent, nullptr);
        int y = 0;
        for (TButtons* pair : {&first, &second}) {
            pair->Play = MakeButton(L"Play", y);
            pair->Stop = MakeButton(L"Stop", y + 30);
            pair->Set(true, false);
            y += 60;
        }
        // Null audio plays WAV about four times too fast: this one lasts a few seconds.
        longWav = folder / L"long tone.wav";
        shortWav = folder / L"short.wav";
        midi = folder / L"tune.mid";
        avi = folder / L"clip.avi";
        ASSERT_TRUE(WriteWholeFile(longWav, MakeWav(16000)));
        ASSERT_TRUE(WriteWholeFile(shortWav, MakeWav(2000)));
        ASSERT_TRUE(WriteWholeFile(midi, MakeMidi(1000)));
        ASSERT_TRUE(WriteWholeFile(avi, MakeAvi(64, 48, 40, 10)));
    }
    void TearDown() override {
        media.StopMediaAndForget();
        DestroyWindow(parent);
    }
    HWND MakeButton(const wchar_t* text, int y) {
        return CreateWindowExW(0, L"BUTTON", text, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 600, y, 80, 25, parent,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    bool Play(const TPath& file, const TButtons& buttons) {
        media.PlayMedia(file, buttons.Play, buttons.Stop, nullptr, 0);
        return WaitUntil([&] { return buttons.ShowPlaying(); }, 3000);
    }
};

}  // namespace

TEST_F(MediaServiceTest, ButtonsFollowASoundFromStartToEnd) {
    ASSERT_TRUE(Play(shortWav, first)) << "no sound output: the tests need HOME with a null ALSA device";
    EXPECT_TRUE(media.Playing());
    EXPECT_TRUE(second.ShowStopped());  // only the remembered buttons move
    // The device's completion notice brings them back; far sooner than the overrun watch would.
    const DWORD start = GetTickCount();
    EXPECT_TRUE(WaitUntil([&] { return first.ShowStopped(); }, 2000 + TMediaService::kOverrunMargin));
    EXPECT_LT(GetTickCount() - start, 2000 + TMediaService::kOverrunMargin / 2);
    EXPECT_FALSE(media.Playing());
}

TEST_F(MediaServiceTest, StopMediaResetsTheButtonsAndClosesTheDevice) {
    ASSERT_TRUE(Play(longWav, first));
    media.StopMedia();
    EXPECT_TRUE(first.ShowStopped());
    EXPECT_FALSE(media.Playing());
    EXPECT_TRUE(media.DeviceAlias().empty());
    Pump(400);  // the aborted play's late notice changes nothing
    EXPECT_TRUE(first.ShowStopped());
}

TEST_F(MediaServiceTest, ASecondSoundStopsTheFirstAndResetsItsButtons) {
    ASSERT_TRUE(Play(longWav, first));
    media.PlayMedia(longWav, second.Play, second.Stop, nullptr, 0);
    EXPECT_TRUE(first.ShowStopped());
    EXPECT_TRUE(WaitUntil([&] { return second.ShowPlaying(); }, 3000));
    Pump(300);
    EXPECT_TRUE(first.ShowStopped());
    EXPECT_TRUE(second.ShowPlaying());
    EXPECT_TRUE(media.Playing());
}

TEST_F(MediaServiceTest, FilesThatCannotPlayLeaveTheButtonsAsTheyWere) {
    const std::string garbage(3000, '\x5A');
    struct TCase {
        const wchar_t* name;
        const std::string* bytes;  // nullptr: the file does not exist
    } cases[] = {
        {L"missing.wav", nullptr}, {L"garbage.wav", &garbage}, {L"garbage.avi", &garbage},
        {L"garbage.mp3", &garbage}, {L"garbage.mid", &garbage}, {L"notes.txt", &garbage},
        {L"no extension", &garbage},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.name, c.name + wcslen(c.name)));
        const TPath file = folder / c.name;
        if (c.bytes != nullptr) {
            ASSERT_TRUE(WriteWholeFile(file, *c.bytes));
        }
        // A state nobody sets: any change shows.
        first.Set(true, true);
        EXPECT_NO_THROW(media.PlayMedia(file, first.Play, first.Stop, nullptr, 0));
        Pump(300);
        EXPECT_TRUE(first.Are(true, true));
        EXPECT_FALSE(media.Playing());
        media.StopMediaAndForget();
    }
}

TEST_F(MediaServiceTest, MidiWithoutASynthesizerEndsWithinItsLengthAndMargin) {
    // This machine has no MIDI output: the sequencer is not even started. Told there is one,
    // the sequencer "plays" in silence and never ends: the overrun watch stops it.
    struct TCase {
        const char* name;
        UINT outputs;
        DWORD earliest;
    } cases[] = {
        {"no MIDI output", 0, 0},
        {"an output that never finishes", 1, 1000 + TMediaService::kOverrunMargin - 20},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.outputs > 0 && midiOutGetNumDevs() > 0) continue;  // a real synthesizer would finish
        media.MidiOutputCount = [&] { return c.outputs; };
        first.Set(false, false);
        const DWORD start = GetTickCount();
        media.PlayMedia(midi, first.Play, first.Stop, nullptr, 0);
        if (c.outputs > 0) {
            EXPECT_TRUE(WaitUntil([&] { return first.ShowPlaying(); }, 1000));
        }
        EXPECT_TRUE(WaitUntil([&] { return first.ShowStopped() && media.DeviceAlias().empty(); },
                              1000 + TMediaService::kOverrunMargin + 1500));
        const DWORD elapsed = GetTickCount() - start;
        EXPECT_GE(elapsed, c.earliest);
        EXPECT_LE(elapsed, 1000 + TMediaService::kOverrunMargin + 1000);
        EXPECT_FALSE(media.Playing());
        media.StopMediaAndForget();
    }
}

TEST_F(MediaServiceTest, StopMediaAndForgetLeavesTheButtonsToTheirOwner) {
    ASSERT_TRUE(Play(longWav, first));
    media.StopMediaAndForget();
    EXPECT_FALSE(media.Playing());
    first.Set(false, false);
    media.Notify();
    Pump(300);
    EXPECT_TRUE(first.Are(false, false));
    // Nor does the next medium reset them as the previous user's.
    media.PlayMedia(shortWav, second.Play, second.Stop, nullptr, 0);
    EXPECT_TRUE(first.Are(false, false));
}

TEST_F(MediaServiceTest, VideoTakesItsNaturalSizeAndFollowsItsPanel) {
    struct TCase {
        uint8_t mode;
        const wchar_t* placed;   // on a 244 x 154 panel
        const wchar_t* resized;  // after the panel became 204 x 304
    } cases[] = {
        {0, L"92 55 64 48", L"72 130 64 48"},
        {1, L"2 2 240 150", L"2 2 200 300"},
        {2, L"20 2 200 150", L"2 75 200 150"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.mode);
        TOwned<TPanel> panel;
        ASSERT_TRUE(panel.Create(parent, 10, 10, 244, 154, L""));
        const auto size = media.PlayMedia(avi, first.Play, first.Stop, panel.Handle(), c.mode);
        EXPECT_EQ(size.first, 64);
        EXPECT_EQ(size.second, 48);
        ASSERT_FALSE(media.DeviceAlias().empty());
        EXPECT_EQ(Destination(media), c.placed);
        SetWindowPos(panel.Handle(), nullptr, 0, 0, 204, 304, SWP_NOMOVE | SWP_NOZORDER);
        EXPECT_EQ(Destination(media), c.resized);
        EXPECT_TRUE(WaitUntil([&] { return first.ShowPlaying(); }, 3000));
        // The frames show inside the rectangle, and only there.
        int left, top, width, height;
        ASSERT_EQ(swscanf(c.resized, L"%d %d %d %d", &left, &top, &width, &height), 4);
        EXPECT_TRUE(WaitUntil([&] { return RedAt(panel.Handle(), left + width / 2, top + height / 2) == kVideoRed; },
                              2000));
        EXPECT_NE(RedAt(panel.Handle(), 1, 1), kVideoRed);
        if (c.mode != 1) {
            EXPECT_NE(RedAt(panel.Handle(), left + width / 2, top - 1), kVideoRed);
        }
        media.StopMedia();
        panel.Destroy();
    }
}

TEST_F(MediaServiceTest, OnlyTheCurrentDisplayPlacesTheVideo) {
    TOwned<TPanel> old, current;
    ASSERT_TRUE(old.Create(parent, 10, 10, 244, 154, L""));
    ASSERT_TRUE(current.Create(parent, 10, 200, 104, 104, L""));
    media.PlayMedia(avi, nullptr, nullptr, old.Handle(), 1);
    media.PlayMedia(avi, nullptr, nullptr, current.Handle(), 1);
    EXPECT_EQ(Destination(media), L"2 2 100 100");
    SetWindowPos(old.Handle(), nullptr, 0, 0, 300, 300, SWP_NOMOVE | SWP_NOZORDER);
    media.FitVideo(old.Handle());
    EXPECT_EQ(Destination(media), L"2 2 100 100");
    // A sound has no display: the last video's size comes back, and the panel is let go.
    const auto size = media.PlayMedia(shortWav, nullptr, nullptr, nullptr, 0);
    EXPECT_EQ(size.first, 64);
    EXPECT_EQ(size.second, 48);
    EXPECT_EQ(media.Display(), nullptr);
}

TEST_F(MediaServiceTest, ADestroyedDisplayClosesItsVideo) {
    auto panel = std::make_unique<TOwned<TPanel>>();
    ASSERT_TRUE(panel->Create(parent, 10, 10, 244, 154, L""));
    media.PlayMedia(avi, first.Play, first.Stop, panel->Handle(), 2);
    ASSERT_FALSE(media.DeviceAlias().empty());
    panel.reset();
    EXPECT_TRUE(media.DeviceAlias().empty());
    EXPECT_EQ(media.Display(), nullptr);
    EXPECT_FALSE(media.Playing());
}
