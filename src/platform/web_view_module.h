// The browser box's web view, kept in a module of its own
// (quorvane-webview.so) so that the program starts without mapping the web
// engine's libraries: the window loads it once its frame has been drawn,
// and reaches it only through the table below.
//
//   const WebViewOps* ops = LoadWebViewModule();     // null: no browser box
//   GtkWidget* view = ops->create(&host, control, utf8Html);
//
// The table is plain C so that the program and a module built apart from
// it agree on it; `abiVersion` changes with any change to either table.
#pragma once

#include <gtk/gtk.h>

struct WebViewHost {
  // A navigation the view refused, to go to the default browser instead.
  // `newWindow` when the page asked for a window of its own. UTF-8.
  void (*openElsewhere)(void* owner, const char* address, bool newWindow);
};

struct WebViewOps {
  unsigned abiVersion;
  // A shown web view that starts loading `html` (UTF-8) at once and shows
  // that page alone: every other navigation, and every new window, goes to
  // host->openElsewhere with `owner`; nothing is downloaded; its context
  // menu only copies. `host` outlives the view.
  GtkWidget* (*create)(const WebViewHost* host, void* owner, const char* html);
};

inline constexpr unsigned kWebViewAbiVersion = 1;
inline constexpr char kWebViewOpsSymbol[] = "QuorvaneWebViewOps";

extern "C" {
// The module's one entry, named by kWebViewOpsSymbol.
const WebViewOps* QuorvaneWebViewOps();
}

// The web view's table: the one linked into this program if it is, else
// the module's, loaded on the first call from beside the program or from
// the installed module folder. Null when neither is there or it does not
// load; later calls return the same answer.
const WebViewOps* LoadWebViewModule();
