#pragma once
// The small "please wait" notice shown while the test is prepared at start-up.

#include "platform/Panel.h"

class TfSplash : public TWindow {
protected:
    ~TfSplash() override;

public:
    static constexpr int kClientWidth = 338;
    static constexpr int kClientHeight = 41;

    // Creates the window centred on the desktop, shows it and paints it at once: no
    // message loop runs until the main window is there.
    bool Create();

    TOwned<TPanel> pnlInfo;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // The design size at the window's DPI, or more where the notice needs it.
    SIZE ClientSize() const;
    HFONT font_ = nullptr;
};
