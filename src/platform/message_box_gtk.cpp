// Message boxes drawn by GTK, installed by ToolkitInit.
//
// On the window thread a box is modal: the other windows take no input and
// the caller waits in a loop of its own until the box is closed. That loop
// watches only its own box, so with several boxes open any of them can be
// closed first; a caller deeper in the stack simply returns once the loops
// above it have ended. From a worker thread the box is shown by the window
// thread without an owner and without a grab, so the main window stays
// usable, and only the worker waits.
#include <gtk/gtk.h>

#include <condition_variable>
#include <mutex>
#include <string>

#include "platform/gtk_text.h"
#include "platform/message_box.h"
#include "platform/toolkit.h"

namespace {

struct BoxState {
  std::mutex mutex;
  std::condition_variable closedSignal;
  bool closed = false;
};

std::string WithoutCarriageReturns(std::string text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '\r') out.push_back(c);
  }
  return out;
}

void OnBoxResponse(GtkDialog* dialog, int, gpointer data) {
  auto* state = static_cast<BoxState*>(data);
  gtk_widget_destroy(GTK_WIDGET(dialog));
  {
    // Notified under the lock: the waiting caller owns `state`.
    std::lock_guard lock(state->mutex);
    state->closed = true;
    state->closedSignal.notify_one();
  }
  // Wake a window-thread loop that is waiting for this box.
  g_main_context_wakeup(nullptr);
}

// Creates and shows the box; runs on the window thread.
void ShowBox(const char* text, const char* caption, UINT type, bool modal, BoxState* state) {
  GtkMessageType kind = (type & MB_ICONERROR) != 0 ? GTK_MESSAGE_ERROR : GTK_MESSAGE_OTHER;
  GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_DESTROY_WITH_PARENT, kind, GTK_BUTTONS_OK, "%s",
                                          WithoutCarriageReturns(GbkToUtf8(text != nullptr ? text : "")).c_str());
  gtk_window_set_title(GTK_WINDOW(box), GbkToUtf8(caption != nullptr ? caption : "").c_str());
  gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
  gtk_window_set_modal(GTK_WINDOW(box), modal);
  if (!modal) {
    // A group of its own: the grab of a modal box open on the window thread
    // must not lock a worker's box as well.
    GtkWindowGroup* group = gtk_window_group_new();
    gtk_window_group_add_window(group, GTK_WINDOW(box));
    g_object_unref(group);
  }
  gtk_window_set_skip_taskbar_hint(GTK_WINDOW(box), FALSE);
  g_signal_connect(box, "response", G_CALLBACK(OnBoxResponse), state);
  gtk_widget_show_all(box);
}

}  // namespace

int PresentMessageBoxGtk(HWND, const char* text, const char* caption, UINT type) {
  BoxState state;
  if (OnWindowThread()) {
    ShowBox(text, caption, type, /*modal=*/true, &state);
    for (;;) {
      {
        std::lock_guard lock(state.mutex);
        if (state.closed) break;
      }
      g_main_context_iteration(nullptr, TRUE);
    }
    return IDOK;
  }
  RunOnWindowThread([&] { ShowBox(text, caption, type, /*modal=*/false, &state); });
  std::unique_lock lock(state.mutex);
  state.closedSignal.wait(lock, [&] { return state.closed; });
  return IDOK;
}
