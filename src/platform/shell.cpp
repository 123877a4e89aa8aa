// The open verb on xdg-open.
#include "platform/shell.h"

#include <glib.h>

#include <string>
#include <string_view>

#include "platform/ascii_case.h"
#include "platform/gtk_text.h"

namespace {

constexpr long kStarted = 42;
constexpr long kFileNotFound = 2;

}  // namespace

long ShellExecuteA(HWND, const char* verb, const char* file, const char*, const char*, int) {
  if (file == nullptr) return kFileNotFound;
  std::string_view address(file);
  if (verb != nullptr && std::string_view(verb) != "open") return kFileNotFound;
  if (!AsciiStartsWithIgnoringCase(address, "http://") && !AsciiStartsWithIgnoringCase(address, "https://")) {
    return kFileNotFound;
  }
  std::string utf8 = GbkToUtf8(address);
  char program[] = "xdg-open";
  char* argv[] = {program, utf8.data(), nullptr};
  // Without G_SPAWN_DO_NOT_REAP_CHILD GLib reaps the child itself, so no
  // zombie is left and nobody waits for the browser.
  GError* error = nullptr;
  gboolean ok = g_spawn_async(nullptr, argv, nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr, &error);
  if (error != nullptr) g_error_free(error);
  return ok ? kStarted : kFileNotFound;
}
