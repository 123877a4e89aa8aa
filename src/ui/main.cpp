// The program's entry: the window and its loop.
#include <cstdio>

#include "platform/toolkit.h"
#include "ui/main_window.h"

int main() {
  if (!ToolkitInit()) {
    std::fputs("quorvane: cannot open a display; run it from a desktop session or under xvfb-run\n", stderr);
    return 1;
  }
  CreateMainWindow();
  ToolkitRunLoop();
  EndProgram();
}
