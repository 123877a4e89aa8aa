// The program's entry: the window and its loop.
#include <cstdio>

#include "platform/heap.h"
#include "platform/toolkit.h"
#include "ui/main_window.h"

int main() {
  // Before the first page: every search reuses the large buffers of the one
  // before it instead of mapping them afresh.
  SetProcessHeapPolicy();
  if (!ToolkitInit()) {
    std::fputs("quorvane: cannot open a display; run it from a desktop session or under xvfb-run\n", stderr);
    return 1;
  }
  CreateMainWindow();
  ToolkitRunLoop();
  EndProgram();
}
