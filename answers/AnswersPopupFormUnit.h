#pragma once
// The answer attachment popup: a small child window of the main window that shows the
// attachment of the answer under the pointer (a picture, a video clip or an embedded object).
// The answer panels size it and fill it; the main window slides it in and out.

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

#include "platform/FileSystem.h"
#include "platform/OleObject.h"
#include "platform/Panel.h"
#include "platform/Picture.h"
#include "platform/Window.h"

class TfAnswersPopup : public TWindow {
protected:
    ~TfAnswersPopup() override;

public:
    // The main window's PlayMedia: file, play button, stop button, display, scale mode.
    using TPlayMedia = std::function<std::pair<int32_t, int32_t>(const TPath&, HWND, HWND, HWND, uint8_t)>;

    static constexpr int kInitialWidth = 223;
    static constexpr int kInitialHeight = 179;

    explicit TfAnswersPopup(TPlayMedia playMedia);

    // Hidden, inside `mainWindow`.
    bool Create(HWND mainWindow);

    // The size the answer panels give it before each showing: half the main window's width
    // less 30 by 30 % of its height less 20 (rounded halves to even; the 30 and 20 scaled for
    // the popup's DPI).
    void SetSizeFor(int mainWidth, int mainHeight);

    // Replaces the content by the attachment of kind 1 (picture), 3 (video, played on the
    // content panel) or 4 and 5 (embedded object of width x height); other kinds leave the
    // panel empty. A picture or object that cannot be loaded leaves an empty placeholder. The
    // popup is not shown by this.
    // False when a picture or object could not be loaded: the popup then shows an empty frame.
    bool ShowAttachment(uint8_t kind, const TPath& file, int32_t width, int32_t height);

    // "POPUPPANEL" and what it holds ("OLECONTAIN" for an object); null when absent.
    TPanel* PopupPanel() const { return panel_.get(); }
    TImage* PopupImage() const { return image_.get(); }
    TOleContainer* OleContain() const { return object_.get(); }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // A new DPI: the content panel keeps its scaled margins and what it shows is placed again.
    void DpiChanged(int oldDpi, const RECT* suggested) override;

private:
    void FreeContent();

    // What the last ShowAttachment was asked to show.
    struct TShown {
        uint8_t Kind = 0;
        TPath File;
        int32_t Width = 0, Height = 0;
    };
    TShown shown_;

    TPlayMedia playMedia_;
    std::unique_ptr<TOwned<TPanel>> panel_;
    std::unique_ptr<TOwned<TImage>> image_;
    std::unique_ptr<TOwned<TOleContainer>> object_;
};

extern const wchar_t kAnswersPopupCaption[];  // "Вложение ответа"
