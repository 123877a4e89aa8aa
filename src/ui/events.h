// The window's events that start no search: the support button, the
// browser box's new-window request, and the list's pop-up menu.
//
//   OnSupportButtonClicked();            // the window widens to show the box
//   OnBrowserNewWindow("https://...");   // searching becomes possible
//
// All run on the window thread.
#pragma once

#include <optional>
#include <string>

void OnSupportButtonClicked();
// Enables the search button and narrows the window. Gives no answer, so the
// new window opens.
std::optional<bool> OnBrowserNewWindow(const std::string& address);
// Opens the list's menu at the pointer when a row is selected.
void OnResultListRightClick();
// Hands the selected row's link to the default browser.
void OnOpenLinkChosen();
// Puts the selected row's link on the clipboard.
void OnCopyLinkChosen();
