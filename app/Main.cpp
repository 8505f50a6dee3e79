#include <windows.h>

#include <exception>

#include "app/StartUp.h"
#include "model/Codepage.h"
#include "platform/Win32Util.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    try {
        return RunPlayer();
    } catch (const std::exception& e) {
        MessageBoxW(nullptr, Cp1251ToWide(e.what()).c_str(), ApplicationTitle().c_str(), MB_OK | MB_ICONERROR);
    } catch (...) {
        MessageBoxW(nullptr, L"Unknown error", ApplicationTitle().c_str(), MB_OK | MB_ICONERROR);
    }
    return 1;
}
