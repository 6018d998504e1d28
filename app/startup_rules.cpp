#include "app/startup_rules.h"

namespace glx {

std::string projectPathFromArguments(const std::vector<std::string>& arguments) {
  if (arguments.empty() || arguments.front().empty()) return {};
  std::string path;
  for (const auto& argument : arguments) {
    if (!path.empty()) path += ' ';
    path += argument;
  }
  return path;
}

std::string handOverPath(const std::vector<std::string>& arguments, const std::string& workingFolder) {
  const std::string path = projectPathFromArguments(arguments);
  if (path.empty() || path.front() == '/' || workingFolder.empty()) return path;
  return workingFolder + (workingFolder.back() == '/' ? "" : "/") + path;
}

bool SpinDrag::move(int y, int height, int& value) {
  if (y >= 0 && y <= height) return false;
  dragEdgeOffset = y < 0 ? 0 : height;
  value = dragStartValue + dragEdgeOffset - y;
  return true;
}

}  // namespace glx
