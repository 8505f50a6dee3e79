#include "run/MediaService.h"

TMediaService::TMediaService() = default;
TMediaService::~TMediaService() = default;

std::pair<int32_t, int32_t> TMediaService::PlayMedia(const TPath&, HWND playButton, HWND stopButton, HWND display,
                                                     uint8_t scaleMode) {
    playButton_ = playButton;
    stopButton_ = stopButton;
    display_ = display;
    videoScaleMode_ = scaleMode;
    return {videoWidth_, videoHeight_};
}
void TMediaService::StopMedia() {}
void TMediaService::StopMediaAndForget() {
    StopMedia();
    playButton_ = stopButton_ = nullptr;
}
void TMediaService::FitVideo(HWND) {}
void TMediaService::Notify() {}
bool TMediaService::Playing() const { return false; }
