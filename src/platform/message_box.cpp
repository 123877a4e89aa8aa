// The standard-error fallback of MessageBoxA and the process exit.
#include "platform/message_box.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/codepage.h"

namespace {

std::atomic<MessageBoxPresenter> presenter{nullptr};

// GBK to UTF-8 for a terminal; falls back to the raw bytes if conversion fails.
std::string ToUtf8(const char* gbk) {
  if (gbk == nullptr || *gbk == '\0') return {};
  int units = MultiByteToWideChar(CP_GBK, 0, gbk, -1, nullptr, 0);
  if (units <= 0) return gbk;
  std::u16string wide(static_cast<size_t>(units), u'\0');
  MultiByteToWideChar(CP_GBK, 0, gbk, -1, wide.data(), units);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return gbk;
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, utf8.data(), bytes, nullptr, nullptr);
  utf8.resize(std::strlen(utf8.c_str()));
  return utf8;
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
