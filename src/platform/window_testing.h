// Test-only reads and changes of frames, controls, list rows and menus, for
// the checks of tests and benchmarks; the program itself never needs them.
//
//   int width = 0, height = 0;
//   FrameClientSize(frame, width, height);
//   EXPECT_EQ(ControlPlacement(button).left, 477);
//   ListSelectRow(list, 0);
//   if (MenuShown(menu)) ChooseMenuItem(menu, 1);
//
// Like the functions of window.h they may be called from any thread and
// return when they are complete. Texts are code page 936.
#pragma once

#include <string_view>

#include "platform/window.h"

// Outer size (title bar and border included) and the client area's size.
void FrameOuterSize(Frame* frame, int& width, int& height);
void FrameClientSize(Frame* frame, int& width, int& height);

bool ControlEnabled(Control* control);
void SetCheckBoxChecked(Control* control, bool checked);
// Where the control lies in its frame's client area, as laid out.
ControlRect ControlPlacement(Control* control);

// Rows and columns count from 0, as in window.h.
void ListSetCellText(Control* list, int row, int column, std::string_view text);
// -1 clears the selection.
void ListSelectRow(Control* list, int row);

bool MenuShown(Menu* menu);
// Chooses item `index` of an open menu, as a click on it would.
void ChooseMenuItem(Menu* menu, int index);
