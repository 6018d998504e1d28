#include "platform/xdg_folders.h"

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace glx {

namespace {

std::string baseFolder(const char* variable, const char* underHome) {
  std::string base;
  const char* value = std::getenv(variable);
  if (value && value[0] == '/') {
    base = value;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home ? home : "") + underHome;
  }
  if (base.back() != '/') base += '/';
  return base;
}

}  // namespace

std::string xdgDataHome() { return baseFolder("XDG_DATA_HOME", "/.local/share"); }

std::string xdgConfigHome() { return baseFolder("XDG_CONFIG_HOME", "/.config"); }

std::string xdgRuntimeDir() {
  const char* value = std::getenv("XDG_RUNTIME_DIR");
  std::string base;
  if (value && value[0] == '/') {
    base = value;
  } else {
    const char* tmp = std::getenv("TMPDIR");
    base = std::string(tmp && tmp[0] == '/' ? tmp : "/tmp");
    if (base.back() != '/') base += '/';
    base += "glimmerax-" + std::to_string(::getuid());
  }
  if (base.back() != '/') base += '/';
  return base;
}

bool homeIsAbsolute() {
  const char* home = std::getenv("HOME");
  return home && home[0] == '/';
}

}  // namespace glx
