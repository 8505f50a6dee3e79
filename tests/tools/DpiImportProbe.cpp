// A program that imports a Windows 10 function directly, as the player must not: the import
// check has to refuse it.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00
#include <windows.h>

int main() { return static_cast<int>(GetDpiForWindow(GetDesktopWindow()) == 0); }
