// Window benchmarks, run on a private Xvfb that the program starts itself:
//
//   BM_RowsFromWorker   rows arriving from a worker thread in the main
//                       window's results list, through the view a search
//                       run is handed, filling the list to 1,000 and to
//                       50,000 rows; beside them, in the same fill, the
//                       limit: a bare blocking hop to the window thread
//                       (g_main_context_invoke and a condition wait) with
//                       one bare list-store insert of the four cells,
//                       already in UTF-8. The two take turns row by row, so
//                       that both meet the same list sizes and the same load
//                       on the machine; row_us, limit_us and their ratio are
//                       printed.
//   BM_RowsFourSteps    1,000 rows written as four window operations each,
//                       the row with its name, then its size, sharer and
//                       link cells, every operation waiting for the window
//                       thread: what a row costs when it is not one step.
//   BM_StartToShown     from starting the program to its main window being
//                       mapped on the display, beside a bare GTK window
//                       started the same way in turn (limit_ms, ratio).
//   BM_IdleMemory       the memory of the program and every process it
//                       started (its web engine's), once all are idle:
//                       proportional (PSS) and resident (RSS) sizes summed
//                       over the process tree, beside a bare GTK window with
//                       one web view of the browser box's settings showing
//                       the same start page, measured the same way in turn.
//
//   build/bench/bench_ui --benchmark_counters_tabular=true
//   build/bench/bench_ui --benchmark_filter=RowsFromWorker --benchmark_repetitions=3 --benchmark_counters_tabular=true
//   build/bench/bench_ui --benchmark_filter='StartToShown|IdleMemory'
//   QUORVANE_PROGRAM=/other/build/quorvane build/bench/bench_ui ...
//                       measures another build of the program instead
//
// The session is a fresh Xvfb and a private session bus, so the figures do
// not depend on the desktop the benchmark is started from (or on there being
// one). The window thread of the row benchmarks is a thread of its own; the
// benchmark's thread plays the worker.
#include <benchmark/benchmark.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <mutex>
#include <numeric>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/gtk_text.h"
#include "platform/toolkit.h"
#include "platform/window.h"
#include "platform/window_internal.h"
#include "platform/window_testing.h"
#include "search/search_view.h"
#include "ui/main_window.h"
#include "ui/start_page.h"

#ifndef QUORVANE_PROGRAM
#define QUORVANE_PROGRAM "quorvane"
#endif
#ifndef MINIMAL_GTK_WINDOW
#define MINIMAL_GTK_WINDOW "minimal_gtk_window"
#endif
#ifndef MINIMAL_WEBKIT_WINDOW
#define MINIMAL_WEBKIT_WINDOW "minimal_webkit_window"
#endif

namespace {

// Seconds on the monotonic clock.
double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Milliseconds left until `deadline` (a Now() value), at least 0.
int MillisecondsUntil(double deadline) {
  double left = (deadline - Now()) * 1000.0;
  return left > 0 ? static_cast<int>(left) + 1 : 0;
}
constexpr char kTitle[] = "QuorvaneV1.0";
constexpr char kMinimalTitle[] = "minimal";

std::string ProgramPath() {
  const char* other = std::getenv("QUORVANE_PROGRAM");
  return other != nullptr && *other != '\0' ? other : QUORVANE_PROGRAM;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Child processes ------------------------------------------------------------

struct Child {
  pid_t pid = -1;
  int out = -1;  // read end of its standard output, when asked for
};

// Starts `argv` with SIGKILL as its parent-death signal. `keepFd` stays open
// in the child; `ownGroup` puts it in a process group of its own.
Child Spawn(const std::vector<std::string>& argv, bool captureOut, int keepFd = -1, bool ownGroup = false) {
  int pipeFds[2] = {-1, -1};
  if (captureOut && pipe2(pipeFds, O_CLOEXEC) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (ownGroup) setpgid(0, 0);
    int devNull = open("/dev/null", O_RDWR);
    dup2(devNull, 0);
    dup2(captureOut ? pipeFds[1] : devNull, 1);
    dup2(devNull, 2);
    if (keepFd >= 0) fcntl(keepFd, F_SETFD, 0);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  if (captureOut) close(pipeFds[1]);
  return {pid, captureOut ? pipeFds[0] : -1};
}

// One line from `fd`, waiting at most `timeoutMs`; empty on time-out or end.
std::string ReadLine(int fd, int timeoutMs) {
  std::string line;
  double deadline = Now() + timeoutMs / 1000.0;
  while (line.empty() || line.back() != '\n') {
    int left = MillisecondsUntil(deadline);
    pollfd p{fd, POLLIN, 0};
    if (left == 0 || poll(&p, 1, left) <= 0) return {};
    char c;
    if (read(fd, &c, 1) != 1) return {};
    line.push_back(c);
  }
  line.pop_back();
  return line;
}

void Stop(Child& child) {
  if (child.pid <= 0) return;
  kill(child.pid, SIGTERM);
  waitpid(child.pid, nullptr, 0);
  if (child.out >= 0) close(child.out);
  child = {};
}

// Every process of the system, read from /proc.
struct ProcessStat {
  pid_t pid = 0;
  pid_t parent = 0;
  std::string name;
  unsigned long long cpuTicks = 0;  // user and system time so far
};

std::vector<ProcessStat> AllProcesses() {
  std::vector<ProcessStat> all;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    FILE* f = std::fopen((entry.path() / "stat").c_str(), "r");
    if (f == nullptr) continue;
    char buffer[1024] = {};
    size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    std::string stat(buffer, n);
    // The command name stands in parentheses and may hold anything.
    size_t open = stat.find('(');
    size_t close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    ProcessStat p;
    p.pid = static_cast<pid_t>(std::stol(name));
    p.name = stat.substr(open + 1, close - open - 1);
    char state = 0;
    int parent = 0;
    unsigned long long user = 0, system = 0;
    // state ppid pgrp session tty tpgid flags minflt cminflt majflt cmajflt utime stime
    if (std::sscanf(stat.c_str() + close + 1, " %c %d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &state, &parent,
                    &user, &system) != 4) {
      continue;
    }
    p.parent = parent;
    p.cpuTicks = user + system;
    all.push_back(p);
  }
  return all;
}

// The processes whose parent is `parent`, except `except`.
std::vector<pid_t> ChildrenOf(pid_t parent, pid_t except) {
  std::vector<pid_t> found;
  for (const ProcessStat& p : AllProcesses()) {
    if (p.parent == parent && p.pid != except) found.push_back(p.pid);
  }
  return found;
}

// The private session: a display and a session bus, and the environment that
// points this process and its children at them.
class Session {
 public:
  bool Start() {
    // Orphans of the session (daemons started by the bus) come to us.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    char pattern[] = "/tmp/quorvane-bench.XXXXXX";
    if (mkdtemp(pattern) == nullptr) return false;
    dir_ = pattern;

    int displayFds[2];
    if (pipe(displayFds) != 0) return false;
    fcntl(displayFds[0], F_SETFD, FD_CLOEXEC);
    xvfb_ = Spawn({"Xvfb", "-displayfd", std::to_string(displayFds[1]), "-screen", "0", "1280x1024x24", "-nolisten",
                   "tcp", "-noreset"},
                  false, displayFds[1]);
    close(displayFds[1]);
    std::string display = ReadLine(displayFds[0], 20000);
    close(displayFds[0]);
    if (display.empty()) return false;

    setenv("DISPLAY", (":" + display).c_str(), 1);
    setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    setenv("GDK_BACKEND", "x11", 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    // Nothing here reads the window through accessibility.
    setenv("NO_AT_BRIDGE", "1", 1);
    unsetenv("WAYLAND_DISPLAY");

    bus_ = Spawn({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=unix:path=" + dir_ + "/bus",
                  "--print-address=1"},
                 true);
    std::string address = ReadLine(bus_.out, 20000);
    if (address.empty()) return false;
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    return true;
  }

  ~Session() { Close(); }

  // Ends the session bus and every process reparented to this one (the
  // accessibility bus and the web engine's helpers, started on demand),
  // and removes the session's directory; the display stays.
  void EndAllButDisplay() {
    Stop(bus_);
    for (int round = 0; round < 50; ++round) {
      std::vector<pid_t> orphans = ChildrenOf(getpid(), xvfb_.pid);
      if (orphans.empty()) break;
      for (pid_t pid : orphans) kill(pid, round < 10 ? SIGTERM : SIGKILL);
      usleep(20000);
      while (waitpid(-1, nullptr, WNOHANG) > 0) {
      }
    }
    RemoveDir();
  }

  void Close() {
    Stop(bus_);
    Stop(xvfb_);
    RemoveDir();
  }

 private:
  void RemoveDir() {
    if (!dir_.empty()) {
      std::error_code ignored;
      std::filesystem::remove_all(dir_, ignored);
      dir_.clear();
    }
  }

  std::string dir_;
  Child xvfb_;
  Child bus_;
};

// Rows from a worker ----------------------------------------------------------

struct RowTexts {
  std::string name, size, sharer, link;
};

// `count` rows of the kind a result page gives, in code page 936. This file
// keeps the compiler's UTF-8 (the program's code page would keep out
// <chrono>), so the texts are converted here.
std::vector<RowTexts> MakeRows(int count) {
  const std::string part = Utf8ToGbk("演示合集第"), zip = Utf8ToGbk("部分.zip");
  const std::string folder = Utf8ToGbk("文件夹"), sharer = Utf8ToGbk("云端小助手");
  std::vector<RowTexts> rows;
  rows.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    std::string n = std::to_string(i);
    rows.push_back({part + n + zip, i % 5 == 0 ? folder : n + " MB", sharer,
                    "http://pan.quorvane.example/s/1bench" + n});
  }
  return rows;
}

// The same rows in UTF-8, as the bare limit hands them to the list.
std::vector<RowTexts> InUtf8(const std::vector<RowTexts>& rows) {
  std::vector<RowTexts> utf8;
  utf8.reserve(rows.size());
  for (const RowTexts& r : rows) utf8.push_back({GbkToUtf8(r.name), GbkToUtf8(r.size), GbkToUtf8(r.sharer), GbkToUtf8(r.link)});
  return utf8;
}

// The window thread of the row benchmarks: the program's main window, shown,
// and the toolkit's loop running until the benchmarks are done.
struct WindowThread {
  std::thread thread;
  Control* list = nullptr;

  bool Start() {
    std::promise<Control*> ready;
    auto created = ready.get_future();
    thread = std::thread([&ready] {
      if (!ToolkitInit()) {
        ready.set_value(nullptr);
        return;
      }
      MainWindow* window = CreateMainWindow([] {});
      ready.set_value(window->resultList);
      ToolkitRunLoop();
      DestroyMainWindow();
    });
    list = created.get();
    if (list == nullptr) thread.join();
    return list != nullptr;
  }
};

WindowThread* windowThread = nullptr;

// The limit of one row: the least a worker can do to have a row of four
// cells shown and wait until it is. One idle call handed to the window
// thread's loop, one insert of the cells already in UTF-8 there, and the
// worker blocked on a condition variable until it is done.
struct BareRow {
  BareRow(GtkListStore* s, const RowTexts* c) : store(s), cells(c) {}
  GtkListStore* store;
  const RowTexts* cells;
  std::mutex mutex;
  std::condition_variable doneSignal;
  bool done = false;
};

gboolean InsertBareRow(gpointer data) {
  auto* row = static_cast<BareRow*>(data);
  GtkTreeIter iter;
  gtk_list_store_insert_with_values(row->store, &iter, -1, 0, row->cells->name.c_str(), 1, row->cells->size.c_str(),
                                    2, row->cells->sharer.c_str(), 3, row->cells->link.c_str(), -1);
  std::lock_guard lock(row->mutex);
  row->done = true;
  row->doneSignal.notify_one();
  return G_SOURCE_REMOVE;
}

void AppendBareRow(GtkListStore* store, const RowTexts& utf8) {
  BareRow row{store, &utf8};
  g_main_context_invoke(nullptr, InsertBareRow, &row);
  std::unique_lock lock(row.mutex);
  row.doneSignal.wait(lock, [&] { return row.done; });
}

// state.range(0): the rows the list holds when full. Even rows come through
// the search run's view, odd rows through the bare limit. The reported time
// is the view's; row_us and limit_us are the medians of single rows, which a
// busy machine's scheduling delays sway less than the means (printed too).
void BM_RowsFromWorker(benchmark::State& state) {
  if (windowThread == nullptr) {
    state.SkipWithError("no window");
    return;
  }
  Control* list = windowThread->list;
  const int count = static_cast<int>(state.range(0));
  const std::vector<RowTexts> rows = MakeRows(count);
  const std::vector<RowTexts> utf8 = InUtf8(rows);
  const SearchView view = MainWindowSearchView();
  std::vector<double> viewRows, limitRows;
  viewRows.reserve(static_cast<size_t>(state.max_iterations) * static_cast<size_t>(count / 2 + 1));
  limitRows.reserve(viewRows.capacity());
  bool indexesRight = true;
  for (auto _ : state) {
    view.deleteAllResultRows();
    double iterationSeconds = 0;
    for (int i = 0; i < count; ++i) {
      const RowTexts& r = rows[static_cast<size_t>(i)];
      const double start = Now();
      if (i % 2 == 0) {
        int index = view.appendResultRow(r.name, r.size, r.sharer, r.link);
        const double took = Now() - start;
        viewRows.push_back(took);
        iterationSeconds += took;
        indexesRight = indexesRight && index == i;
      } else {
        AppendBareRow(list->rows, utf8[static_cast<size_t>(i)]);
        limitRows.push_back(Now() - start);
      }
    }
    state.SetIterationTime(iterationSeconds);
  }
  if (!indexesRight) state.SkipWithError("a row's index is not the one it was appended at");
  if (ListRowCount(list) != count || ListCellText(list, count - 2, 3) != rows[static_cast<size_t>(count - 2)].link ||
      ListCellText(list, count - 1, 1) != rows.back().size) {
    state.SkipWithError("the list does not hold the rows written");
  }
  auto mean = [](const std::vector<double>& v) { return std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size()); };
  const double row = Median(viewRows);
  const double limit = Median(limitRows);
  state.counters["row_us"] = row * 1e6;
  state.counters["limit_us"] = limit * 1e6;
  state.counters["ratio"] = row / limit;
  state.counters["row_mean_us"] = mean(viewRows) * 1e6;
  state.counters["limit_mean_us"] = mean(limitRows) * 1e6;
  state.SetItemsProcessed(static_cast<std::int64_t>(viewRows.size()));
}
BENCHMARK(BM_RowsFromWorker)->ArgName("rows")->Arg(1000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);
BENCHMARK(BM_RowsFromWorker)->ArgName("rows")->Arg(50000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

// 1,000 rows, each written in four window operations that wait in turn.
void BM_RowsFourSteps(benchmark::State& state) {
  if (windowThread == nullptr) {
    state.SkipWithError("no window");
    return;
  }
  constexpr int kCount = 1000;
  Control* list = windowThread->list;
  const std::vector<RowTexts> rows = MakeRows(kCount);
  for (auto _ : state) {
    state.PauseTiming();
    ListDeleteAllRows(list);
    state.ResumeTiming();
    for (const RowTexts& r : rows) {
      int row = ListAppendRow(list, {r.name});
      ListSetCellText(list, row, 1, r.size);
      ListSetCellText(list, row, 2, r.sharer);
      ListSetCellText(list, row, 3, r.link);
    }
  }
  if (ListRowCount(list) != kCount || ListCellText(list, kCount - 1, 3) != rows.back().link) {
    state.SkipWithError("the list does not hold the rows written");
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_RowsFourSteps)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// Start to shown --------------------------------------------------------------

bool HasTitle(Display* display, Window window, const char* title) {
  Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
  Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* value = nullptr;
  bool match = false;
  if (XGetWindowProperty(display, window, netName, 0, 64, False, utf8, &type, &format, &count, &after, &value) ==
          Success &&
      value != nullptr) {
    match = std::strcmp(reinterpret_cast<char*>(value), title) == 0;
  }
  if (value != nullptr) XFree(value);
  if (!match) {
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name != nullptr) {
      match = std::strcmp(name, title) == 0;
      XFree(name);
    }
  }
  return match;
}

// The process that owns `window`, as its toolkit announces it; 0 when unknown.
long WindowPid(Display* display, Window window) {
  Atom netPid = XInternAtom(display, "_NET_WM_PID", False);
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* value = nullptr;
  long pid = 0;
  if (XGetWindowProperty(display, window, netPid, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &value) ==
          Success &&
      value != nullptr && count == 1 && format == 32) {
    pid = *reinterpret_cast<long*>(value);
  }
  if (value != nullptr) XFree(value);
  return pid;
}

// Waits for the map of a top-level window of process `pid` titled `title`;
// false after `timeoutMs`.
bool WaitForShown(Display* display, pid_t pid, const char* title, int timeoutMs) {
  double deadline = Now() + timeoutMs / 1000.0;
  while (true) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type != MapNotify || !HasTitle(display, event.xmap.window, title)) continue;
      long owner = WindowPid(display, event.xmap.window);
      if (owner == 0 || owner == pid) return true;
    }
    int left = MillisecondsUntil(deadline);
    if (left == 0) return false;
    pollfd p{ConnectionNumber(display), POLLIN, 0};
    poll(&p, 1, left);
  }
}

void EndGroup(pid_t leader) {
  kill(-leader, SIGKILL);
  waitpid(leader, nullptr, 0);
  // The web engine's helpers share the group; wait until all are gone so
  // that the next start has the machine to itself.
  for (int i = 0; i < 200 && kill(-leader, 0) == 0; ++i) usleep(10000);
}

// One start of `argv` until its window titled `title` is mapped: the
// seconds it took, or a negative value when it did not show within 10 s.
double TimeToShown(Display* display, const std::vector<std::string>& argv, const char* title) {
  double start = Now();
  Child program = Spawn(argv, false, -1, true);
  bool shown = WaitForShown(display, program.pid, title, 10000);
  double end = Now();
  EndGroup(program.pid);
  XSync(display, True);  // drop the events of the ended program
  return shown ? end - start : -1;
}

// The display, watched for top-level windows being mapped; null (and the
// benchmark skipped) when there is none.
Display* OpenDisplayWatchingWindows(benchmark::State& state) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    state.SkipWithError("cannot open the display");
    return nullptr;
  }
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  XSync(display, True);
  return display;
}

// The program and the bare window take turns, so that both see the same
// load on the machine; the ratio is of their medians.
void BM_StartToShown(benchmark::State& state) {
  Display* display = OpenDisplayWatchingWindows(state);
  if (display == nullptr) return;
  std::vector<double> program, limit;
  for (auto _ : state) {
    double bare = TimeToShown(display, {MINIMAL_GTK_WINDOW, kMinimalTitle}, kMinimalTitle);
    double ours = TimeToShown(display, {ProgramPath()}, kTitle);
    if (bare < 0 || ours < 0) {
      state.SkipWithError("a window did not show within 10 s");
      break;
    }
    limit.push_back(bare);
    program.push_back(ours);
    state.SetIterationTime(ours);
  }
  XCloseDisplay(display);
  if (program.empty()) return;
  state.counters["program_ms"] = Median(program) * 1000;
  state.counters["limit_ms"] = Median(limit) * 1000;
  state.counters["ratio"] = Median(program) / Median(limit);
}
BENCHMARK(BM_StartToShown)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

// Idle memory ----------------------------------------------------------------

// `root` and every process below it.
std::vector<ProcessStat> ProcessTree(pid_t root) {
  std::vector<ProcessStat> all = AllProcesses();
  std::vector<ProcessStat> tree;
  std::vector<pid_t> frontier{root};
  while (!frontier.empty()) {
    pid_t pid = frontier.back();
    frontier.pop_back();
    for (const ProcessStat& p : all) {
      if (p.pid == pid) tree.push_back(p);
      if (p.parent == pid) frontier.push_back(p.pid);
    }
  }
  return tree;
}

struct Footprint {
  double pssMb = 0;
  double rssMb = 0;
  int processes = 0;
};

Footprint TreeFootprint(const std::vector<ProcessStat>& tree) {
  Footprint total;
  for (const ProcessStat& p : tree) {
    FILE* f = std::fopen(("/proc/" + std::to_string(p.pid) + "/smaps_rollup").c_str(), "r");
    if (f == nullptr) continue;
    char line[256];
    while (std::fgets(line, sizeof line, f) != nullptr) {
      unsigned long kb = 0;
      if (std::sscanf(line, "Pss: %lu kB", &kb) == 1) total.pssMb += kb / 1024.0;
      if (std::sscanf(line, "Rss: %lu kB", &kb) == 1) total.rssMb += kb / 1024.0;
    }
    std::fclose(f);
    ++total.processes;
  }
  return total;
}

// Starts `argv`, waits for its window and then until its process tree holds
// a web process and has used no processor time for a second; its footprint
// then, or nothing when that does not happen within 60 s.
std::optional<Footprint> IdleFootprint(Display* display, const std::vector<std::string>& argv, const char* title) {
  Child program = Spawn(argv, false, -1, true);
  std::optional<Footprint> result;
  if (WaitForShown(display, program.pid, title, 20000)) {
    double deadline = Now() + 60;
    unsigned long long lastTicks = ~0ull;
    int quietSamples = 0;
    while (Now() < deadline) {
      usleep(250000);
      std::vector<ProcessStat> tree = ProcessTree(program.pid);
      unsigned long long ticks = 0;
      bool webProcess = false;
      for (const ProcessStat& p : tree) {
        ticks += p.cpuTicks;
        webProcess = webProcess || p.name.rfind("WebKitWebProces", 0) == 0;
      }
      quietSamples = webProcess && ticks == lastTicks ? quietSamples + 1 : 0;
      lastTicks = ticks;
      if (quietSamples >= 4) {
        result = TreeFootprint(tree);
        break;
      }
    }
  }
  EndGroup(program.pid);
  XSync(display, True);
  return result;
}

void BM_IdleMemory(benchmark::State& state) {
  Display* display = OpenDisplayWatchingWindows(state);
  if (display == nullptr) return;
  // The bare window shows the program's own start page.
  std::string page = std::filesystem::temp_directory_path() / ("quorvane-bench-page-" + std::to_string(getpid()));
  if (FILE* f = std::fopen(page.c_str(), "w")) {
    std::string html = GbkToUtf8(StartPageHtml());
    std::fwrite(html.data(), 1, html.size(), f);
    std::fclose(f);
  }
  std::vector<double> pss, rss, limitPss, limitRss;
  int processes = 0;
  for (auto _ : state) {
    std::optional<Footprint> bare =
        IdleFootprint(display, {MINIMAL_WEBKIT_WINDOW, kMinimalTitle, page}, kMinimalTitle);
    std::optional<Footprint> ours = IdleFootprint(display, {ProgramPath()}, kTitle);
    if (!bare || !ours) {
      state.SkipWithError("a window with its web process did not show and settle within 60 s");
      break;
    }
    limitPss.push_back(bare->pssMb);
    limitRss.push_back(bare->rssMb);
    pss.push_back(ours->pssMb);
    rss.push_back(ours->rssMb);
    processes = ours->processes;
  }
  std::remove(page.c_str());
  XCloseDisplay(display);
  if (pss.empty()) return;
  state.counters["pss_mb"] = Median(pss);
  state.counters["limit_pss_mb"] = Median(limitPss);
  state.counters["pss_ratio"] = Median(pss) / Median(limitPss);
  state.counters["rss_mb"] = Median(rss);
  state.counters["limit_rss_mb"] = Median(limitRss);
  state.counters["rss_ratio"] = Median(rss) / Median(limitRss);
  state.counters["processes"] = processes;
}
BENCHMARK(BM_IdleMemory)->Unit(benchmark::kSecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  XInitThreads();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Session session;
  if (!session.Start()) {
    std::fprintf(stderr, "bench_ui: could not start Xvfb and a session bus\n");
    return 1;
  }
  WindowThread window;
  if (window.Start()) windowThread = &window;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::fflush(nullptr);
  // The window thread is left in its loop: ending it tears down the web
  // engine's run loop off the main thread, which hangs. The session's own
  // processes and what they left behind are ended, and the process leaves
  // without destructors; Xvfb goes last, with this process, through its
  // parent-death signal, so that the toolkit never sees its display vanish.
  session.EndAllButDisplay();
  _exit(0);
}
