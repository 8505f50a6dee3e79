#pragma once
// The main window: the black full-screen stage of a test run, and the driver of the run.

#include <memory>
#include <string>

#include "app/Payload.h"
#include "archive/ZipTest.h"
#include "platform/Window.h"

class TfMain : public TWindow {
public:
    explicit TfMain(const TPayloadInfo& settings);
    ~TfMain() override;

    // FormCreate: the borderless black window covering the screen, not yet shown.
    bool Create();
    // The program's run: the test's information, then the test; returns when the program
    // is to end.
    void RunTestLoop();

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // One test run; false when the test cannot be read.
    bool RunTest(const TPath& archiveFile);

    const TPayloadInfo& settings_;

public:
    // The test archive, for the whole life of the window.
    std::unique_ptr<TZipTest> Test;
};

// The texts of the main window's message boxes.
extern const wchar_t kMainCaption[];
extern const wchar_t kInfoCaption[];
extern const wchar_t kErrorCaption[];
std::wstring CannotReadTestMessage(const TPath& archiveFile);
