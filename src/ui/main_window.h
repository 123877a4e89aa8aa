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

// Runs once when the program ends normally: releases the search state.
void ExitRoutine();
// Ends the program after the window was closed, with the exit routine and
// without static destructors, since runs may still be working.
[[noreturn]] void EndProgram();
