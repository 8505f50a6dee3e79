#pragma once
// The one media player of the program: every sound and video of questions and answers plays
// through it, and starting one stops the previous. The buttons handed to PlayMedia follow the
// playback (Play disabled and Stop enabled while it runs, the reverse when it ends).

#include <windows.h>

#include <cstdint>
#include <utility>

#include "platform/FileSystem.h"

class TMediaService {
public:
    TMediaService();
    ~TMediaService();
    TMediaService(const TMediaService&) = delete;
    TMediaService& operator=(const TMediaService&) = delete;

    // The window that receives the device's completion notices (MM_MCINOTIFY); it passes them
    // to Notify.
    void SetOwner(HWND owner) { owner_ = owner; }

    // Plays `file`, showing a video on `display` (scale mode 0 natural size centred, 1
    // stretched, 2 fitted). Returns the natural video size (the last video's without a display).
    std::pair<int32_t, int32_t> PlayMedia(const TPath& file, HWND playButton, HWND stopButton, HWND display,
                                          uint8_t scaleMode);
    void StopMedia();
    void StopMediaAndForget();
    // Places the video on `panel` by the scale mode; only for the current display.
    void FitVideo(HWND panel);
    // The device reported completion (mpMainNotify).
    void Notify();
    bool Playing() const;
    HWND Display() const { return display_; }

private:
    HWND owner_ = nullptr;
    HWND playButton_ = nullptr;
    HWND stopButton_ = nullptr;
    HWND display_ = nullptr;
    uint8_t videoScaleMode_ = 0;
    int32_t videoWidth_ = 0;
    int32_t videoHeight_ = 0;
};
