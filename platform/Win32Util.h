#pragma once
// Small Win32 helpers shared by the windows of the player.

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

// Windows-1251 text (the data's encoding) for the wide APIs.
std::wstring Wide(std::string_view cp1251);

// The application's title ("Тестирование"): default caption of its message boxes.
void SetApplicationTitle(const std::wstring& title);
const std::wstring& ApplicationTitle();

// Lets the pending messages of this thread run, as a busy step does between its parts.
void ProcessMessages();

// Modal message box owned by `owner`; returns the button pressed.
int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags);

// Receives every exception that reaches a window procedure; without one it is dropped.
void SetApplicationExceptionHandler(std::function<void()> handler);
// Called inside a catch block.
void HandleApplicationException() noexcept;

// Full path of this executable.
std::wstring ModulePath();
