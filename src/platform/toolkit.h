// The window toolkit's life: start-up, the message loop, and running work on
// the window thread from any thread.
//
//   if (!ToolkitInit()) return 1;          // no display
//   ... create windows ...
//   RunOnWindowThread([&] { SetControlText(label, "2"); });   // from a worker
//   ToolkitRunLoop();                      // until ToolkitQuitLoop()
//
// The thread that calls ToolkitInit becomes the window thread. Every widget
// function of window.h may be called from any thread: it is carried out on
// the window thread, and the caller waits until it is complete. Called on
// the window thread itself it runs at once.
#pragma once

#include <functional>

// Starts the toolkit on the calling thread and installs the toolkit's
// message boxes. Names the program "example.quorvane.Quorvane" first, its
// application id: windows carry it as their class (X11) or app id
// (Wayland) and take the themed icon of that name. False when there is no
// display to open.
bool ToolkitInit();

// True on the thread that called ToolkitInit.
bool OnWindowThread();

// Runs `work` on the window thread and waits until it is done. A worker's
// call waits for the window thread's loop to pick it up, so the window
// thread must be in ToolkitRunLoop, a nested loop or PumpWindowEvents.
void RunOnWindowThread(const std::function<void()>& work);

// The window thread's message loop; returns after ToolkitQuitLoop.
void ToolkitRunLoop();
void ToolkitQuitLoop();
