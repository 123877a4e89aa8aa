// GTK start-up, the loop, and work handed to the window thread.
#include "platform/toolkit.h"

#include <fontconfig/fontconfig.h>
#include <gtk/gtk.h>
#include <time.h>

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

// A caller spins on its work's completion for at most this long before it
// sleeps, and only while the window thread has lately been answering within
// it: a reply picked up spinning spares the caller the scheduler's wake-up,
// but on a busy machine, where replies take longer, a spinning caller only
// takes a core from the window thread it waits for. So a slow window thread
// never costs a second core more than a few microseconds a call.
constexpr long long kSpinNanoseconds = 5000;

long long MonotonicNanoseconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// Tells the processor that this is a spin-wait loop.
inline void SpinPause() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  asm volatile("yield");
#endif
}

// How long the window thread has lately taken from a call's hand-off to
// its completion, as a moving average over the calls of every thread.
std::atomic<long long> replyNanoseconds{0};

void NoteReply(long long nanoseconds) {
  const long long average = replyNanoseconds.load(std::memory_order_relaxed);
  replyNanoseconds.store(average + (nanoseconds - average) / 8, std::memory_order_relaxed);
}

// One call waiting for the window thread. `state` goes from kPending to
// kDone while the caller spins, or from kPending to kSleeping (the caller,
// under the lock, about to wait) and then to kDone under the lock.
enum WorkState : int { kPending, kSleeping, kDone };

struct PendingWork {
  explicit PendingWork(const std::function<void()>* w) : work(w) {}
  const std::function<void()>* work;
  long long handedAt = 0;  // by the caller
  long long doneAt = 0;    // by the window thread
  std::atomic<int> state{kPending};
  std::mutex mutex;
  std::condition_variable doneSignal;
};

gboolean RunPendingWork(gpointer data) {
  auto* pending = static_cast<PendingWork*>(data);
  (*pending->work)();
  pending->doneAt = MonotonicNanoseconds();
  // The waiting caller owns `pending` and may destroy it as soon as it sees
  // kDone: nothing of it is touched after that is published.
  int expected = kPending;
  if (pending->state.compare_exchange_strong(expected, kDone, std::memory_order_acq_rel)) return G_SOURCE_REMOVE;
  // The caller went to sleep: publish and wake it under the lock, which it
  // holds from the moment it announced its sleep until it waits.
  std::lock_guard lock(pending->mutex);
  pending->state.store(kDone, std::memory_order_release);
  pending->doneSignal.notify_one();
  return G_SOURCE_REMOVE;
}

// Waits until the window thread has run `pending`: spins briefly when that
// has lately paid off, then sleeps on the condition variable.
void WaitUntilDone(PendingWork& pending) {
  const long long spinUntil =
      pending.handedAt + (replyNanoseconds.load(std::memory_order_relaxed) <= kSpinNanoseconds ? kSpinNanoseconds : 0);
  while (pending.state.load(std::memory_order_acquire) != kDone) {
    if (MonotonicNanoseconds() < spinUntil) {
      for (int i = 0; i < 16; ++i) SpinPause();
      continue;
    }
    std::unique_lock lock(pending.mutex);
    int expected = kPending;
    if (pending.state.compare_exchange_strong(expected, kSleeping, std::memory_order_acq_rel)) {
      pending.doneSignal.wait(lock, [&] { return pending.state.load(std::memory_order_acquire) == kDone; });
    }
    break;
  }
  NoteReply(pending.doneAt - pending.handedAt);
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
  pending.handedAt = MonotonicNanoseconds();
  g_idle_add_full(G_PRIORITY_DEFAULT, RunPendingWork, &pending, nullptr);
  WaitUntilDone(pending);
}

void ToolkitRunLoop() { gtk_main(); }

void ToolkitQuitLoop() {
  RunOnWindowThread([] {
    if (gtk_main_level() > 0) gtk_main_quit();
  });
}
