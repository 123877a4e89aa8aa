// A stand-in xdg-open placed first on the PATH: it records the arguments of
// every call instead of starting a browser.
//
//   InstallFakeOpener();
//   ShellExecuteA(nullptr, "open", "https://a.example/", nullptr, nullptr, SW_SHOWNORMAL);
//   WaitForOpenedLinks(1)   -> {"https://a.example/"}
#pragma once

#include <string>
#include <vector>

void InstallFakeOpener();
// The arguments of each call so far, one line per call.
std::vector<std::string> OpenedLinks();
// Waits (handling window events) until at least `count` calls were made.
std::vector<std::string> WaitForOpenedLinks(size_t count);
void ForgetOpenedLinks();
