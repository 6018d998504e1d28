#include "search/browser_names.h"

#include "platform/version_info.h"

namespace glx {

const char kNetscapeMask[] = "netscape.exe";
const char kInternetExplorerMask[] = "Iexplore.exe";
const char kNetscapePrefix[] = "Netscape ";
const char kInternetExplorerPrefix[] = "Internet Explorer ";

std::optional<std::string> browserDisplayName(const std::string& prefix, const std::string& path) {
  const VersionInfo info = VersionInfo::fromFile(path);
  if (info.size() == 0) return std::nullopt;
  return prefix + info.fileVersion();
}

}  // namespace glx
