#include "app/player_setting.h"

#include "platform/ascii.h"
#include "platform/file_ops.h"
#include "platform/registry.h"

namespace glx {

namespace {

// Registry names compare without regard to ASCII letter case.
bool sameName(const std::string& a, const std::string& b) { return asciiEqualNoCase(a, b); }

}  // namespace

bool storedPlayInBrowsers(const std::string& registryFolder) {
  // The file is parsed here rather than through Registry, whose reading sets
  // a damaged file aside: this read must change nothing.
  const std::string file = Registry(registryFolder).fileOf(RegRoot::LocalMachine);
  RegFileContents keys;
  try {
    if (!fileExists(file)) return true;
    keys = parseRegFile(RegRoot::LocalMachine, readFileBytes(file));
  } catch (const Error&) {
    return true;
  }
  for (const RegFileKey& key : keys) {
    if (!sameName(key.path, kMainWindowSettingsKey)) continue;
    for (const auto& [name, value] : key.values)
      if (sameName(name, kPlayInBrowsersSetting)) return !(value.type == kRegSz && value.data == "False");
  }
  return true;
}

}  // namespace glx
