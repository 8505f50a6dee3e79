#include "run/MediaService.h"

#include <commctrl.h>
#include <mmsystem.h>

#include <cwchar>
#include <cwctype>

#include "platform/Dpi.h"
#include "platform/Win32Util.h"
#include "platform/Window.h"
#include "run/MediaFit.h"

namespace {

constexpr wchar_t kMediaWindowClass[] = L"TMediaService";
constexpr UINT_PTR kMediaWatchTimer = 1;
constexpr UINT kMediaWatchInterval = 250;
// Posted after a successful play, so that the buttons follow as they do on a completion notice.
constexpr UINT kMsgPlayStarted = WM_APP + 1;
constexpr UINT_PTR kDisplaySubclass = 0x4D50;  // "MP"

MCIERROR Mci(const std::wstring& command, HWND callback = nullptr, std::wstring* reply = nullptr) {
    wchar_t buffer[128] = {};
    const MCIERROR error = mciSendStringW(command.c_str(), buffer, 128, callback);
    if (reply != nullptr) *reply = error == 0 ? buffer : L"";
    return error;
}

std::wstring LowerExtension(const TPath& file) {
    std::wstring extension = file.extension().wstring();
    for (wchar_t& c : extension) c = static_cast<wchar_t>(std::towlower(c));
    return extension;
}

// The MCI device for the file's extension; empty lets MCI choose by its own table.
const wchar_t* DeviceType(const std::wstring& extension) {
    struct TEntry {
        const wchar_t* extension;
        const wchar_t* type;
    };
    static const TEntry kTypes[] = {
        {L".wav", L"waveaudio"}, {L".mid", L"sequencer"}, {L".midi", L"sequencer"}, {L".rmi", L"sequencer"},
        {L".mp1", L"mpegvideo"}, {L".mp2", L"mpegvideo"}, {L".mp3", L"mpegvideo"}, {L".wma", L"mpegvideo"},
        {L".mpg", L"mpegvideo"}, {L".mpeg", L"mpegvideo"}, {L".avi", L"avivideo"},
    };
    for (const TEntry& entry : kTypes) {
        if (extension == entry.extension) return entry.type;
    }
    return nullptr;
}

}  // namespace

class TMediaWindow : public TWindow {
protected:
    ~TMediaWindow() override = default;

public:
    explicit TMediaWindow(TMediaService& service) : service_(service) {}
    bool Create() {
        RegisterWindowClass(kMediaWindowClass, 0, nullptr);
        return CreateHandle(0, kMediaWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE);
    }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == MM_MCINOTIFY || message == kMsgPlayStarted || message == WM_TIMER) {
            service_.OnMessage(message, wParam);
            return 0;
        }
        return TWindow::HandleMessage(message, wParam, lParam);
    }

private:
    TMediaService& service_;
};

TMediaService::TMediaService()
    : MidiOutputCount([] { return midiOutGetNumDevs(); }), tmrMediaWatch(kMediaWatchTimer, kMediaWatchInterval) {}

TMediaService::~TMediaService() {
    try {
        CloseDevice();
    } catch (...) {
    }
}

bool TMediaService::EnsureWindow() {
    if (window_ && window_->Handle() != nullptr) return true;
    window_ = std::make_unique<TOwned<TMediaWindow>>(*this);
    if (!window_->Create()) return false;
    tmrMediaWatch.SetOwner(window_->Handle());
    return true;
}

void TMediaService::OnMessage(UINT message, WPARAM wParam) {
    if (message == WM_TIMER) {
        if (wParam == kMediaWatchTimer) Watch();
        return;
    }
    // Notices of a device closed since carry nothing to filter by (Wine may send device id 0);
    // Notify reads the current state, so a stale notice does no harm.
    Notify();
}

std::pair<int32_t, int32_t> TMediaService::PlayMedia(const TPath& file, HWND playButton, HWND stopButton,
                                                     HWND display, uint8_t scaleMode) {
    try {
        // The previous user's buttons go back to "not playing".
        CloseDevice();
        UpdateButtons();

        playButton_ = playButton;
        stopButton_ = stopButton;
        videoScaleMode_ = scaleMode;
        display_ = display;
        if (EnsureWindow()) Open(file);
    } catch (...) {
    }
    return {videoWidth_, videoHeight_};
}

void TMediaService::Open(const TPath& file) {
    const std::wstring extension = LowerExtension(file);
    const wchar_t* type = DeviceType(extension);
    const std::wstring alias = L"tpmedia" + std::to_wstring(++aliasCount_);
    std::wstring command = L"open \"" + file.wstring() + L"\"";
    if (type != nullptr) command += std::wstring(L" type ") + type;
    command += L" alias " + alias;
    if (Mci(command) != 0) return;
    alias_ = alias;

    std::wstring reply;
    Mci(L"set " + alias_ + L" time format milliseconds");
    length_ = Mci(L"status " + alias_ + L" length", nullptr, &reply) == 0 ? wcstoul(reply.c_str(), nullptr, 10) : 0;

    // Without a synthesizer the sequencer "plays" forever in silence: not worth starting.
    if (type != nullptr && std::wstring(type) == L"sequencer" && MidiOutputCount && MidiOutputCount() == 0) {
        CloseDevice();
        UpdateButtons();
        return;
    }

    if (display_ != nullptr) {
        Mci(L"window " + alias_ + L" handle " + std::to_wstring(reinterpret_cast<uintptr_t>(display_)));
        // The source rectangle is the natural size; the destination would report the window's.
        if (Mci(L"where " + alias_ + L" source", nullptr, &reply) == 0) {
            long left = 0, top = 0, width = 0, height = 0;
            if (swscanf(reply.c_str(), L"%ld %ld %ld %ld", &left, &top, &width, &height) == 4) {
                videoWidth_ = static_cast<int32_t>(width);
                videoHeight_ = static_cast<int32_t>(height);
            }
        }
        Hook(display_);
        FitVideo(display_);
    }

    if (Mci(L"play " + alias_ + L" notify", window_->Handle()) != 0) {
        CloseDevice();
        return;
    }
    started_ = GetTickCount();
    if (length_ > 0) tmrMediaWatch.SetEnabled(true);
    PostMessageW(window_->Handle(), kMsgPlayStarted, 0, 0);
}

void TMediaService::CloseDevice() {
    tmrMediaWatch.SetEnabled(false);
    Unhook();
    if (alias_.empty()) return;
    const std::wstring mode = Mode();
    if (mode == L"playing" || mode == L"paused") Mci(L"stop " + alias_);
    Mci(L"close " + alias_);
    alias_.clear();
    length_ = 0;
}

void TMediaService::StopMedia() {
    try {
        CloseDevice();
        UpdateButtons();
    } catch (...) {
    }
}

void TMediaService::StopMediaAndForget() {
    StopMedia();
    playButton_ = stopButton_ = nullptr;
}

void TMediaService::Notify() {
    try {
        Sleep(100);
        ProcessMessages();
        UpdateButtons();
    } catch (...) {
    }
}

void TMediaService::UpdateButtons() {
    const bool playing = Playing();
    if (playButton_ != nullptr) EnableWindow(playButton_, !playing);
    if (stopButton_ != nullptr) EnableWindow(stopButton_, playing);
}

void TMediaService::Watch() {
    if (alias_.empty() || length_ == 0) {
        tmrMediaWatch.SetEnabled(false);
        return;
    }
    if (GetTickCount() - started_ <= length_ + kOverrunMargin) return;
    if (Playing()) {
        // Still "playing" well past its end: the device will never finish by itself.
        CloseDevice();
        UpdateButtons();
    } else {
        tmrMediaWatch.SetEnabled(false);
    }
}

bool TMediaService::Playing() const { return Mode() == L"playing"; }

std::wstring TMediaService::Mode() const {
    if (alias_.empty()) return L"";
    std::wstring mode;
    Mci(L"status " + alias_ + L" mode", nullptr, &mode);
    return mode;
}

void TMediaService::FitVideo(HWND panel) {
    try {
        if (panel == nullptr || panel != display_ || alias_.empty()) return;
        RECT rc;
        if (!GetWindowRect(panel, &rc)) return;
        TVideoRect video;
        if (!FitVideoRect(videoScaleMode_, rc.right - rc.left, rc.bottom - rc.top, videoWidth_, videoHeight_, video,
                          DpiForWindow(panel))) {
            return;
        }
        Mci(L"put " + alias_ + L" destination at " + std::to_wstring(video.Left) + L" " + std::to_wstring(video.Top) +
            L" " + std::to_wstring(video.Width) + L" " + std::to_wstring(video.Height));
    } catch (...) {
    }
}

void TMediaService::Hook(HWND display) {
    if (hooked_ == display) return;
    Unhook();
    if (SetWindowSubclass(display, DisplayProc, kDisplaySubclass, reinterpret_cast<DWORD_PTR>(this))) {
        hooked_ = display;
    }
}

void TMediaService::Unhook() {
    if (hooked_ == nullptr) return;
    RemoveWindowSubclass(hooked_, DisplayProc, kDisplaySubclass);
    hooked_ = nullptr;
}

LRESULT CALLBACK TMediaService::DisplayProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR data) {
    auto* self = reinterpret_cast<TMediaService*>(data);
    try {
        if (message == WM_NCDESTROY) {
            // The video has nowhere left to show.
            RemoveWindowSubclass(hwnd, DisplayProc, kDisplaySubclass);
            self->hooked_ = nullptr;
            if (self->display_ == hwnd) {
                self->display_ = nullptr;
                self->CloseDevice();
            }
        }
    } catch (...) {
        HandleApplicationException();
    }
    const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
    if (message == WM_SIZE) self->FitVideo(hwnd);
    return result;
}
