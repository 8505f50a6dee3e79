#include "run/MainFormUnit.h"

#include "model/FileUtils.h"
#include "model/TextUtils.h"
#include "platform/Win32Util.h"

const wchar_t kMainCaption[] = L"Проведение тестирования";
const wchar_t kInfoCaption[] = L"Информация теста ...";
const wchar_t kErrorCaption[] = L"Ошибка!";

namespace {
constexpr wchar_t kMainClass[] = L"TfMain";
}

std::wstring CannotReadTestMessage(const TPath& archiveFile) {
    std::wstring path;
#ifdef _WIN32
    path = archiveFile.native();
#else
    path = archiveFile.wstring();
#endif
    return L"Не удается прочитать тест \"" + path + L"\"";
}

TfMain::TfMain(const TPayloadInfo& settings) : settings_(settings) {}

TfMain::~TfMain() {
    // The work folder goes with the archive object; viewers must let go of its files first.
    Destroy();
    Test.reset();
}

bool TfMain::Create() {
    Test = std::make_unique<TZipTest>();
    Test->SetTempBase(GetTempFolder());
    Test->ClearBeforeLoad = true;
    Test->OnBeforeRemoveFolder = ProcessMessages;
    Test->Zip.OnMessage = [](const std::string& text, const std::string& caption) {
        MessageBoxW(nullptr, Wide(text).c_str(), Wide(caption).c_str(), MB_OK | MB_ICONERROR);
    };
    RegisterWindowClass(kMainClass, 0, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    return CreateHandle(0, kMainClass, kMainCaption, WS_POPUP | WS_CLIPCHILDREN, 0, 0,
                        GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr);
}

void TfMain::RunTestLoop() {
    if (!NormalizeSpaces(settings_.InfoText).empty()) {
        ShowMessage(Handle(), Wide(DecodeLineBreaks(settings_.InfoText)), kInfoCaption, MB_OK | MB_ICONINFORMATION);
    }
    RunTest(settings_.ArchiveFile);
}

bool TfMain::RunTest(const TPath& archiveFile) {
    if (!Test->OpenTest(archiveFile, settings_.PasswordTail)) {
        ShowMessage(Handle(), CannotReadTestMessage(archiveFile), kErrorCaption, MB_OK | MB_ICONERROR);
        return false;
    }
    // The questions are asked here once the run's windows are there.
    return true;
}

LRESULT TfMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        // The person cannot close the stage; the run ends the program itself.
        return 0;
    }
    return TWindow::HandleMessage(message, wParam, lParam);
}
