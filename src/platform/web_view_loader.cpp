// Finding and loading the browser box's module (see web_view_module.h).
#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/web_view_module.h"

// Defined only in programs that link the web view in (the test programs);
// elsewhere null, and the module is loaded instead.
extern "C" const WebViewOps* QuorvaneWebViewOps() __attribute__((weak));

namespace {

// Where the module is looked for: beside the program (the build tree), then
// in its installed folder, found from the program's own installed place so
// that a relocated installation still finds it.
const WebViewOps* LoadFromDisk() {
  std::error_code error;
  std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return nullptr;
  std::filesystem::path folder = program.parent_path();
  std::string failures;
  for (const std::filesystem::path& candidate :
       {folder / QUORVANE_WEBVIEW_MODULE, folder / QUORVANE_WEBVIEW_DIR_FROM_BINDIR / QUORVANE_WEBVIEW_MODULE}) {
    if (!std::filesystem::exists(candidate, error)) continue;
    // Never closed: the web engine's libraries cannot be unloaded safely.
    void* module = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
      failures += std::string("; ") + dlerror();
      continue;
    }
    auto entry = reinterpret_cast<const WebViewOps* (*)()>(dlsym(module, kWebViewOpsSymbol));
    const WebViewOps* ops = entry != nullptr ? entry() : nullptr;
    if (ops != nullptr && ops->abiVersion == kWebViewAbiVersion) return ops;
    failures += "; " + candidate.string() + " is of another version";
  }
  std::fprintf(stderr, "quorvane: no browser box: %s not found or not loadable%s\n", QUORVANE_WEBVIEW_MODULE,
               failures.c_str());
  return nullptr;
}

}  // namespace

const WebViewOps* LoadWebViewModule() {
  static const WebViewOps* const ops = QuorvaneWebViewOps != nullptr ? QuorvaneWebViewOps() : LoadFromDisk();
  return ops;
}
