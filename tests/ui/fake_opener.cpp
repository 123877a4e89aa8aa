// The recording xdg-open.
#include "fake_opener.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "platform/toolkit_testing.h"

namespace {

std::string& LogPath() {
  static std::string path;
  return path;
}

std::string& BinDir() {
  static std::string dir;
  return dir;
}

void RemoveFakeOpener() {
  unlink(LogPath().c_str());
  unlink((BinDir() + "/xdg-open").c_str());
  rmdir(BinDir().c_str());
}

}  // namespace

void InstallFakeOpener() {
  if (!LogPath().empty()) return;
  char dir[] = "/tmp/quorvane-opener-XXXXXX";
  if (mkdtemp(dir) == nullptr) return;
  std::string bin = dir;
  BinDir() = bin;
  LogPath() = bin + "/opened.log";
  std::atexit(RemoveFakeOpener);
  {
    std::ofstream script(bin + "/xdg-open");
    script << "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" << LogPath() << "'\n";
  }
  chmod((bin + "/xdg-open").c_str(), 0755);
  const char* path = getenv("PATH");
  setenv("PATH", (bin + ":" + (path != nullptr ? path : "/usr/bin:/bin")).c_str(), 1);
}

std::vector<std::string> OpenedLinks() {
  std::vector<std::string> links;
  std::ifstream log(LogPath());
  for (std::string line; std::getline(log, line);) links.push_back(line);
  return links;
}

std::vector<std::string> WaitForOpenedLinks(size_t count) {
  PumpUntil([&] { return OpenedLinks().size() >= count; });
  return OpenedLinks();
}

void ForgetOpenedLinks() { unlink(LogPath().c_str()); }
