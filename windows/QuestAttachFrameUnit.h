#pragma once
// The content of the question attachment viewer: a frame built for one attachment, with the
// panel of its kind only (picture with scroll bars, sound buttons, video display with its
// buttons, or an embedded object).

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <utility>

#include "model/TestData.h"
#include "platform/OleObject.h"
#include "platform/Panel.h"
#include "platform/Picture.h"
#include "platform/Window.h"
#include "windows/AttachLayout.h"

// What the viewer needs from the main window: its media player and the question panel's width.
struct TQuestAttachHost {
    std::function<std::pair<int32_t, int32_t>(const TPath& file, HWND playButton, HWND stopButton, HWND display,
                                              uint8_t scaleMode)>
        PlayMedia;
    std::function<void()> StopMedia;
    std::function<int32_t()> QuestionPanelWidth;
    // A picture or object that could not be loaded: the view shows an empty frame.
    std::function<void()> AttachmentUnshown;
};

// A panel whose owner sees its messages first: the notifications of the controls on it, and
// its size changes.
class TFramePanel : public TPanel {
protected:
    ~TFramePanel() override = default;

public:
    // True when the message has been dealt with.
    std::function<bool(UINT, WPARAM, LPARAM)> OnMessage;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// The picture shown on the video display until a clip draws over it.
class TVideoPlaceholder : public TPaintedWindow {
protected:
    ~TVideoPlaceholder() override = default;

public:
    static constexpr int kSize = 48;
    bool Create(HWND parent);

protected:
    void Paint(HDC dc) override;
};

class TfrQuestAttach : public TWindow {
protected:
    ~TfrQuestAttach() override;

public:
    static constexpr int kSoundHeight = 34;
    static constexpr int kVideoHintHeight = 25;
    static constexpr int kVideoOptionsHeight = 42;

    explicit TfrQuestAttach(TQuestAttachHost host);

    // Builds the frame inside `owner` (which also becomes its parent) for one attachment,
    // filling the owner's client area. A picture or object that cannot be loaded, or a missing
    // file, leaves an empty view.
    bool Create(HWND owner, TAttachKind kind, const TPath& fileName, const TAttachOptions& options);

    TPath FileName;
    TAttachKind Kind = akNone;
    TAttachOptions Options;
    int32_t PreferredWidth = 0;
    int32_t PreferredHeight = 0;
    int32_t ExtraHeight = 0;
    bool FixedHeight = false;

    // Handlers.
    void pnlPictureResize();
    void pnlOleResize();
    void scbPictureViewHChange();
    void scbPictureViewVChange();
    void btnPlaySoundClick();
    void btnStopSoundClick();
    void btnStartVideoClick();
    void btnStopVideoClick();

    // Only the panel of the attachment's kind is created.
    TOwned<TFramePanel> pnlPicture, pnlPictureView;
    TOwned<TImage> imgPicture;
    HWND scbPictureViewH = nullptr, scbPictureViewV = nullptr;

    TOwned<TFramePanel> pnlSound;
    HWND lbSoundHint = nullptr, btnPlaySound = nullptr, btnStopSound = nullptr;

    TOwned<TFramePanel> pnlVideo, pnlVideoHint, pnlVideoOut, pnlVideoOptions;
    TOwned<TVideoPlaceholder> imgVideo;
    HWND btnStartVideo = nullptr, btnStopVideo = nullptr;

    TOwned<TFramePanel> pnlOle, pnlOleView;
    TOwned<TOleContainer> ocMain;

    // The image's rectangle in pnlPictureView as last placed.
    const TAttachRect& ImageRect() const { return imageRect_; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Fonts, bars and buttons for the new DPI.
    void DpiChanged(int oldDpi, const RECT* suggested) override;

private:
    HFONT CreateHintFont() const;
    // The buttons' common size: the design's, or what their captions need.
    SIZE ButtonSize(std::initializer_list<HWND> buttons) const;
    void CreatePicturePanel();
    void CreateSoundPanel();
    void CreateVideoPanel();
    void CreateOlePanel();
    HWND MakeControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int id);
    bool OnPanelMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void LayoutPicturePanel(bool hBar, bool vBar);
    void LayoutSoundPanel();
    void LayoutVideoPanel();
    void LayoutVideoOut();
    void LayoutVideoOptions();
    void OnPictureScroll(HWND bar, int code);
    void MoveImage();
    HWND ContentPanel() const;

    TQuestAttachHost host_;
    TAttachRect imageRect_;
    HFONT font_ = nullptr, hintFont_ = nullptr;
};

extern const wchar_t kQuestAttachFrameName[];  // "QUEST_ATTACH_FRAME"
