#pragma once
// The one media player of the program: every sound and video of questions and answers plays
// through it, and starting one stops the previous. The buttons handed to PlayMedia follow the
// playback (Play disabled and Stop enabled while it runs, the reverse when it ends).
// The player works through MCI and takes its device's completion notices and its watch timer
// on a message-only window of its own. Nothing here throws: media errors are swallowed and the
// buttons stay as they were.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "platform/FileSystem.h"
#include "platform/Timer.h"
#include "platform/Window.h"

class TMediaWindow;

class TMediaService {
public:
    // How long a device may still report "playing" past its length before it counts as
    // stopped: a MIDI file without a synthesizer, for one, never ends by itself.
    static constexpr DWORD kOverrunMargin = 2000;

    TMediaService();
    ~TMediaService();
    TMediaService(const TMediaService&) = delete;
    TMediaService& operator=(const TMediaService&) = delete;

    // The window the player belongs to. Completion notices go to the player's own window.
    void SetOwner(HWND owner) { owner_ = owner; }

    // Plays `file`, showing a video on `display` (scale mode 0 natural size centred, 1
    // stretched, 2 fitted; it follows the display's size). Returns the natural video size (the
    // last video's without a display).
    std::pair<int32_t, int32_t> PlayMedia(const TPath& file, HWND playButton, HWND stopButton, HWND display,
                                          uint8_t scaleMode);
    // Stops and closes the device; the buttons show that nothing plays.
    void StopMedia();
    // The same, then the buttons are forgotten: later notices touch nothing.
    void StopMediaAndForget();
    // Places the video on `panel` by the scale mode; only for the current display.
    void FitVideo(HWND panel);
    // The device reported completion (mpMainNotify): after a short wait for the device to
    // settle, the buttons show whether it plays.
    void Notify();
    bool Playing() const;
    HWND Display() const { return display_; }
    // The MCI alias of the open device, empty when none is open.
    const std::wstring& DeviceAlias() const { return alias_; }

    // Number of MIDI outputs; a sequencer is not started without one. Tests replace it to see
    // a silent sequencer run.
    std::function<UINT()> MidiOutputCount;

private:
    friend class TMediaWindow;
    void OnMessage(UINT message, WPARAM wParam);
    bool EnsureWindow();
    void Open(const TPath& file);
    void CloseDevice();
    void UpdateButtons();
    void Watch();
    void Hook(HWND display);
    void Unhook();
    std::wstring Mode() const;
    static LRESULT CALLBACK DisplayProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                        DWORD_PTR data);

    HWND owner_ = nullptr;
    HWND playButton_ = nullptr;
    HWND stopButton_ = nullptr;
    HWND display_ = nullptr;
    HWND hooked_ = nullptr;
    uint8_t videoScaleMode_ = 0;
    int32_t videoWidth_ = 0;
    int32_t videoHeight_ = 0;
    std::unique_ptr<TOwned<TMediaWindow>> window_;
    std::wstring alias_;
    unsigned aliasCount_ = 0;
    // Length of the open medium in milliseconds (0 when unknown) and when it started playing.
    DWORD length_ = 0;
    DWORD started_ = 0;
    TTimer tmrMediaWatch;
};
