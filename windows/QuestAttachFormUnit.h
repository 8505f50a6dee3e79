#pragma once
// The question attachment viewer: a sizeable child window of the main window, under the
// question panel, holding one frame built for the question's attachment. The person can
// resize and maximise it (not for a sound) but never close it.

#include <memory>

#include "windows/QuestAttachFrameUnit.h"

class TfQuestAttach : public TWindow {
protected:
    ~TfQuestAttach() override;

public:
    explicit TfQuestAttach(TQuestAttachHost host);

    // FormCreate: hidden, inside `mainWindow`, resizable.
    bool Create(HWND mainWindow);

    bool AllowResize = false;
    void SetAllowResize(bool value) { AllowResize = value; }
    // The person may never close the viewer; only the program hides it.
    bool FormCloseQuery() const { return false; }
    bool FormCanResize() const { return AllowResize; }

    // Frees the frame "QUEST_ATTACH_FRAME" and builds a new one for this attachment over the
    // client area.
    TfrQuestAttach& NewFrame(TAttachKind kind, const TPath& fileName, const TAttachOptions& options);
    // The frame "QUEST_ATTACH_FRAME"; null before the first attachment.
    TfrQuestAttach* Frame() const { return frame_.get(); }

    // The program's own placement: exactly this outer rectangle in the main window, however
    // small (the person's resizing keeps the system's minimum).
    void PlaceWindow(int left, int top, int width, int height);
    void SetStatusVisible(bool visible);
    int StatusHeight() const;
    // Window height minus client height.
    int NonClientHeight() const;

    HWND stbMain = nullptr;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Relayout();

    TQuestAttachHost host_;
    std::unique_ptr<TOwned<TfrQuestAttach>> frame_;
    bool placing_ = false;
};

extern const wchar_t kQuestAttachCaption[];  // "Вложение вопроса"
extern const wchar_t kQuestAttachStatus[];   // "Размер окна можно менять мышью"
