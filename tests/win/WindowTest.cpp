// The base window: who ends a window object, a second Create, and the modal loop when a key
// handler fails.
#include <windows.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "platform/ModalWindow.h"
#include "platform/Window.h"

namespace {

// Notes the messages it sees of the end of its window, and its own end.
class TRecordingWindow : public TWindow {
protected:
    ~TRecordingWindow() override { seen->push_back(L"object gone"); }

public:
    explicit TRecordingWindow(std::vector<const wchar_t*>& log) : seen(&log) {}
    bool Create() {
        RegisterWindowClass(L"TRecordingWindow", 0, nullptr);
        return CreateHandle(0, L"TRecordingWindow", L"", WS_POPUP, 0, 0, 10, 10, nullptr);
    }
    bool CreateAgain() { return Create(); }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_DESTROY) seen->push_back(L"WM_DESTROY");
        if (message == WM_NCDESTROY) seen->push_back(L"WM_NCDESTROY");
        return TWindow::HandleMessage(message, wParam, lParam);
    }

private:
    std::vector<const wchar_t*>* seen;
};

TEST(Window, TheObjectSeesItsWindowEndBeforeItGoesItself) {
    std::vector<const wchar_t*> log;
    HWND hwnd = nullptr;
    {
        TOwned<TRecordingWindow> window(log);
        ASSERT_TRUE(window.Create());
        hwnd = window.Handle();
    }
    EXPECT_EQ(log, (std::vector<const wchar_t*>{L"WM_DESTROY", L"WM_NCDESTROY", L"object gone"}));
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST(Window, ASecondCreateIsRefusedAndKeepsTheFirstWindow) {
    std::vector<const wchar_t*> log;
    TOwned<TRecordingWindow> window(log);
    ASSERT_TRUE(window.Create());
    const HWND first = window.Handle();
    EXPECT_FALSE(window.CreateAgain());
    EXPECT_EQ(window.Handle(), first);
    EXPECT_EQ(reinterpret_cast<TWindow*>(GetWindowLongPtrW(first, GWLP_USERDATA)), &window);
    // Once the window is gone the object can have a new one.
    window.Destroy();
    EXPECT_EQ(window.Handle(), nullptr);
    EXPECT_TRUE(window.CreateAgain());
}

class TThrowingDialog : public TModalWindow {
protected:
    ~TThrowingDialog() override = default;
    void OnEnter() override { throw std::runtime_error("Enter failed"); }

public:
    bool Create(HWND owner) {
        RegisterWindowClass(L"TThrowingDialog", 0, nullptr);
        return CreateHandle(0, L"TThrowingDialog", L"", WS_POPUP | WS_CAPTION, 0, 0, 100, 100, owner);
    }
};

// A handler of Enter or Escape runs in the modal loop, outside any window procedure: when it
// fails, the error goes on to the caller, and the owner is enabled again and the window hidden.
TEST(ModalWindow, AFailingKeyHandlerLeavesTheOwnerEnabled) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    TOwned<TThrowingDialog> dialog;
    ASSERT_TRUE(dialog.Create(owner));
    PostMessageW(dialog.Handle(), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_THROW(dialog.ShowModal(owner), std::runtime_error);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_FALSE(IsWindowVisible(dialog.Handle()));
    DestroyWindow(owner);
}

}  // namespace
