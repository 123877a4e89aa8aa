// The program's one window, its controls and the list's pop-up menu.
//
//   MainWindow* window = CreateMainWindow();   // on the window thread
//   SetControlEnabled(window->searchButton, true);
//   DestroyMainWindow();
//
// The window is 540 x 374 with the browser box out of sight to the right;
// the support button widens it to 853. Every control is wired to its
// handler (events.h, actions.h). Closing the window ends the program.
#pragma once

#include <functional>

#include "platform/window.h"
#include "search/search_view.h"
#include "text/text.h"

inline constexpr int kNormalWidth = 540;
inline constexpr int kWideWidth = 853;
inline constexpr int kWindowHeight = 374;

struct MainWindow {
  Frame* frame = nullptr;
  Control* nameLabel = nullptr;
  Control* keywordEdit = nullptr;
  Control* searchButton = nullptr;
  Control* resultList = nullptr;
  Control* prevPageButton = nullptr;
  Control* pageLabel = nullptr;
  Control* nextPageButton = nullptr;
  Control* clearPageCheck = nullptr;
  Control* refreshButton = nullptr;
  Control* supportButton = nullptr;
  Control* promoBrowser = nullptr;
  Menu* listMenu = nullptr;
};

// Creates and shows the window; it becomes the one that mainWindow points
// to. `onClose` replaces the ending of the program (for tests).
MainWindow* CreateMainWindow(std::function<void()> onClose = nullptr);
// Closes the window without ending the program.
void DestroyMainWindow();

// The window, or nullptr before CreateMainWindow and after
// DestroyMainWindow. Written only on the window thread.
extern MainWindow* mainWindow;

// The window's list, label, button and check box as a search run sees
// them: the operations below.
SearchView MainWindowSearchView();

// The operations of MainWindowSearchView. Each may be called from any
// thread, is carried out on the window thread and is complete when it
// returns. Without a window they do nothing (and the check box reads
// unchecked).
void SetPageLabelCaption(TextView caption);
void SetPrevPageButtonEnabled(bool enabled);
bool ClearPageCheckChecked();
void DeleteAllResultRows();
// Appends a row whose item text is `name`, then writes `size`, `sharer` and
// `link` into its columns 1 to 3, all in one step of the window thread: a
// clearing by another run can come before or after the row, never between
// the row and its cells. Returns the new row's index, -1 without a window.
int AppendResultRow(TextView name, TextView size, TextView sharer, TextView link);

// Runs once when the program ends normally: releases the search state.
void ExitRoutine();
// Ends the program after the window was closed, with the exit routine and
// without static destructors, since runs may still be working.
[[noreturn]] void EndProgram();
