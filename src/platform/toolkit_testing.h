// Driving windows from tests on the window thread: handling events, real
// pointer input through the X server, open message boxes, web pages,
// screenshots.
//
//   ToolkitInit();
//   ClickControl(button);                                  // a real click
//   ASSERT_TRUE(PumpUntil([&] { return !OpenMessageBoxes().empty(); }));
//   CloseMessageBox("靠");
//
// Texts are code page 936. Waits end after `timeoutMs` at the latest.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window.h"

// Handles the events that are pending, without waiting.
void PumpWindowEvents();
// Handles events until `done` is true; false when the time ran out first.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// Runs `step` on the window thread every `intervalMs` until it returns
// true, also inside the loop of a modal message box.
void RepeatUntilDone(std::function<bool()> step, int intervalMs = 10);

// Presses and releases a mouse button at a point given in the control's own
// coordinates (logical pixels, at any scale), through the X server as a
// user would. For a list the point
// is in its rows area, below the column titles.
void ClickAt(Control* control, int x, int y, int button = 1);
void ClickControl(Control* control, int button = 1);
// Presses a button the way its accessible "click" action does.
void PressButton(Control* button);
// Replaces an edit box's text with UTF-8 text, as pasting it from another
// program would: characters code page 936 lacks (emoji) can come in so.
void PasteUtf8Text(Control* edit, std::string_view utf8);

struct MessageBoxInfo {
  std::string title;
  std::string text;  // line ends as "\n"
  bool modal = false;
};
// The open message boxes, oldest first.
std::vector<MessageBoxInfo> OpenMessageBoxes();
// Presses OK on the oldest open box with this title; false when there is
// none.
bool CloseMessageBox(std::string_view title);

// True once the web view's page has finished loading.
bool WebViewLoaded(Control* view);
// Centre of the page's link number `index` (from 0), in the view's
// coordinates; false when the page has no such link or is not loaded.
bool WebViewLinkPoint(Control* view, int index, int& x, int& y);
// Runs a script in the web view's page and waits for its value; empty
// unless the value is a string.
std::string WebViewRunScript(Control* view, std::string_view script);
// The address of the page the web view shows.
std::string WebViewAddress(Control* view);
// Downloads `address` in the web view, as its context menu's "download
// linked file" does, and waits until the download ends: the path of the
// file written, empty when nothing was.
std::string DownloadInWebView(Control* view, std::string_view address);
// Where downloads go unless asked otherwise.
std::string DownloadFolder();

// The labels of the items of every menu shown, in order; a menu the web
// view pops up counts too.
std::vector<std::string> ShownMenuItems();
void CloseShownMenus();

bool FrameResizable(Frame* frame);
// The frame's class hint on X11 (WM_CLASS): how the desktop matches the
// window to the program's desktop entry.
struct WindowClassHint {
  std::string instance;
  std::string className;
};
WindowClassHint FrameWindowClass(Frame* frame);
// How many device pixels the frame draws per logical pixel (GDK_SCALE).
int FrameScaleFactor(Frame* frame);
// The themed icon name a window shows when it sets none of its own.
std::string DefaultIconName();
// The title bar's buttons, as GTK's decoration layout (":close").
std::string FrameTitleButtons(Frame* frame);
bool FrameShown(Frame* frame);
std::string FrameTitle(Frame* frame);
// Closes the frame as its close button does.
void CloseFrame(Frame* frame);
// True while a modal box keeps the frame from taking input.
bool FrameBlockedByModalBox(Frame* frame);
// Where an open menu's top-left corner lies on the screen.
void MenuScreenOrigin(Menu* menu, int& x, int& y);
// The titles of a list's columns and their widths.
struct ListColumnInfo {
  std::string title;
  int width = 0;
};
std::vector<ListColumnInfo> ListColumns(Control* list);
// Where the frame's client area lies on the screen.
void FrameClientOrigin(Frame* frame, int& x, int& y);

// The face that a control's font resolves to, e.g. "WenQuanYi Micro Hei".
std::string ControlFontFace(Control* control);
int ControlFontPixels(Control* control);

// The clipboard's text, converted to code page 936.
std::string ClipboardText();

// Writes the whole screen as a PNG file.
bool SaveScreenshot(const char* path);
