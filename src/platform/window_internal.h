// What a frame, a control and a menu are made of, and how work reaches the
// window thread. Internal to the window stand-in and its test drivers.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/toolkit.h"
#include "platform/window.h"

enum class ControlKind { kLabel, kEdit, kButton, kCheckBox, kList, kWebView };

struct Control {
  ControlKind kind;
  Frame* frame = nullptr;
  GtkWidget* outer = nullptr;   // the widget placed in the client area
  GtkWidget* widget = nullptr;  // the widget that holds the text or rows
  GtkListStore* rows = nullptr;
  int columns = 0;
  std::function<void()> onClick;
  std::function<void()> onRightClick;
  NewWindowHandler onNewWindow;
  std::string html;  // UTF-8, for a web view not created yet
};

struct Menu {
  GtkWidget* menu = nullptr;
  std::vector<GtkWidget*> items;
  std::vector<std::function<void()>> onChosen;
};

struct Frame {
  GtkWidget* window = nullptr;
  GtkWidget* header = nullptr;
  GtkWidget* client = nullptr;
  int clientHeight = 0;
  int outerWidth = 0;
  int outerHeight = 0;
  std::function<void()> onClose;
  std::vector<std::unique_ptr<Control>> controls;
  std::vector<std::unique_ptr<Menu>> menus;
  bool webViewsStarted = false;
  gulong drawHandler = 0;
};


// Runs `f` on the window thread and hands back its result.
template <class F>
auto OnUi(F f) -> decltype(f()) {
  if constexpr (std::is_void_v<decltype(f())>) {
    RunOnWindowThread(f);
  } else {
    decltype(f()) result{};
    RunOnWindowThread([&] { result = f(); });
    return result;
  }
}

// The list's row number `row`, counted from 0; false when there is none.
inline bool RowIter(Control* list, int row, GtkTreeIter* iter) {
  if (row < 0) return false;
  return gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(list->rows), iter, nullptr, row);
}
