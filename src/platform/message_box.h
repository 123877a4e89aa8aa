// Message boxes and process exit, with the names and meaning of the system
// calls the program was written against.
//
//   MessageBoxA(nullptr, "文本", "标题", MB_OK | MB_ICONERROR);
//   ExitProcess(static_cast<unsigned>(-1));   // status 255, no exit routines
//
// Texts are code page 936. When no window toolkit runs (unit tests, no
// display) the box is written to standard error, converted to UTF-8, and
// answered at once as if OK had been pressed. The window layer installs a
// real presenter with SetMessageBoxPresenter once its toolkit is running.
#pragma once

#include <cstdint>

using HWND = void*;
using UINT = unsigned int;

inline constexpr UINT MB_OK = 0x00000000;
inline constexpr UINT MB_ICONERROR = 0x00000010;
inline constexpr int IDOK = 1;

// Shows the box and waits until it is closed; returns the button pressed.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);

// Ends the process at once with the low eight bits of `code` as its status.
// Exit routines and static destructors do not run.
[[noreturn]] void ExitProcess(UINT code);

// Replaces the standard-error fallback. The presenter must honour the
// waiting rule of MessageBoxA. Passing nullptr restores the fallback.
using MessageBoxPresenter = int (*)(HWND owner, const char* text, const char* caption, UINT type);
void SetMessageBoxPresenter(MessageBoxPresenter presenter);
