// The standard-error fallback of MessageBoxA and the process exit.
#include "platform/message_box.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "platform/codepage.h"

namespace {

std::atomic<MessageBoxPresenter> presenter{nullptr};

// GBK to UTF-8 for a terminal; falls back to the raw bytes if conversion fails.
std::string ToUtf8(const char* gbk) {
  if (gbk == nullptr) return {};
  std::string utf8 = Utf16ToCodePage(CP_UTF8, CodePageToUtf16(CP_GBK, gbk));
  return utf8.empty() ? std::string(gbk) : utf8;
}

int WriteToStandardError(HWND, const char* text, const char* caption, UINT) {
  std::string out = "[" + ToUtf8(caption) + "]\n" + ToUtf8(text) + "\n";
  // One write, so that boxes of two threads do not interleave.
  ssize_t ignored = ::write(STDERR_FILENO, out.data(), out.size());
  (void)ignored;
  return IDOK;
}

}  // namespace

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
  MessageBoxPresenter show = presenter.load();
  if (show == nullptr) return WriteToStandardError(owner, text, caption, type);
  return show(owner, text, caption, type);
}

void ExitProcess(UINT code) { ::_exit(static_cast<int>(code & 0xFFu)); }

void SetMessageBoxPresenter(MessageBoxPresenter p) { presenter.store(p); }
