// The shell's open verb: hands a web address to the user's default browser.
//
//   ShellExecuteA(nullptr, "open", "https://example.com/", nullptr, nullptr, SW_SHOWNORMAL);
//
// The address goes to `xdg-open`, found on the PATH, as one direct argument
// (no shell in between), and the call returns without waiting for it. Only
// addresses beginning with "http://" or "https://" (any letter case) are
// opened: a scraped page must not be able to make a click run a local
// program or open a file. Anything else is ignored, as a failed call.
#pragma once

#include "platform/message_box.h"

inline constexpr int SW_SHOWNORMAL = 1;

// Greater than 32 when the browser was started; 2 (file not found) when the
// address was refused or xdg-open could not be started.
long ShellExecuteA(HWND owner, const char* verb, const char* file, const char* parameters, const char* directory,
                   int showCommand);
