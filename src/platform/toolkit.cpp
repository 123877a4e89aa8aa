// GTK start-up, the loop, and work handed to the window thread.
#include "platform/toolkit.h"

#include <fontconfig/fontconfig.h>
#include <gtk/gtk.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "platform/message_box.h"

// Defined in message_box_gtk.cpp.
int PresentMessageBoxGtk(HWND owner, const char* text, const char* caption, UINT type);

namespace {

std::atomic<bool> running{false};
std::thread::id windowThread;

// The program asks for the face "黑体"; let it resolve to the installed CJK
// face rather than to a Latin fallback that draws no Chinese.
// A u8 literal: the rest of the program's literals are code page 936, but
// fontconfig reads UTF-8.
constexpr char8_t kFontAliases[] = u8R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <alias binding="same">
    <family>黑体</family>
    <prefer><family>WenQuanYi Micro Hei</family><family>Noto Sans CJK SC</family></prefer>
    <default><family>sans-serif</family></default>
  </alias>
</fontconfig>
)";

// The name the desktop knows the program by: its desktop entry, its icon and
// its metadata carry it, and X11's WM_CLASS and Wayland's app id must match
// it so that the running window is matched to its entry and takes its icon.
constexpr char kApplicationId[] = "example.quorvane.Quorvane";

void AddFontAliases() {
  FcConfig* config = FcConfigGetCurrent();
  if (config != nullptr) {
    FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(kFontAliases), FcFalse);
  }
}

}  // namespace

bool ToolkitInit() {
  if (running.load()) return true;
  // Named before the toolkit opens its display, which takes the names as it
  // opens. The toolkit would derive the class from the name, capitalised;
  // its --class option keeps it as it is.
  g_set_prgname(kApplicationId);
  AddFontAliases();
  std::string name = kApplicationId;
  std::string classOption = "--class=" + name;
  char* arguments[] = {name.data(), classOption.data(), nullptr};
  int count = 2;
  char** argv = arguments;
  if (!gtk_init_check(&count, &argv)) return false;
  // Every window shows the installed application icon in its title bar and
  // task bar; run from the build tree, where no theme holds it, they quietly
  // show the toolkit's generic one.
  gtk_window_set_default_icon_name(kApplicationId);
  windowThread = std::this_thread::get_id();
  running.store(true);
  SetMessageBoxPresenter(PresentMessageBoxGtk);
  return true;
}

bool OnWindowThread() { return running.load() && std::this_thread::get_id() == windowThread; }

namespace {

struct PendingWork {
  explicit PendingWork(const std::function<void()>* w) : work(w) {}
  const std::function<void()>* work;
  std::mutex mutex;
  std::condition_variable doneSignal;
  bool done = false;
};

gboolean RunPendingWork(gpointer data) {
  auto* pending = static_cast<PendingWork*>(data);
  (*pending->work)();
  // Notified under the lock: the waiting caller owns `pending` and may
  // destroy it as soon as it can take the lock again.
  std::lock_guard lock(pending->mutex);
  pending->done = true;
  pending->doneSignal.notify_one();
  return G_SOURCE_REMOVE;
}

}  // namespace

void RunOnWindowThread(const std::function<void()>& work) {
  if (!running.load() || OnWindowThread()) {
    work();
    return;
  }
  // An idle source is always dispatched by the loop of the window thread;
  // g_main_context_invoke could run the work right here on the worker when
  // the window thread happens to be between two loop iterations.
  PendingWork pending(&work);
  g_idle_add_full(G_PRIORITY_DEFAULT, RunPendingWork, &pending, nullptr);
  std::unique_lock lock(pending.mutex);
  pending.doneSignal.wait(lock, [&] { return pending.done; });
}

void ToolkitRunLoop() { gtk_main(); }

void ToolkitQuitLoop() {
  RunOnWindowThread([] {
    if (gtk_main_level() > 0) gtk_main_quit();
  });
}
