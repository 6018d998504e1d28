#include "document/image_order.h"

#include <utility>

namespace glx {

bool moveImage(std::vector<std::string>& names, std::vector<std::string>& paths, int from, int to) {
  const int count = static_cast<int>(names.size());
  // The lists are parallel; a mismatch would make an exchange touch a
  // missing entry, so refuse rather than corrupt either list.
  if (static_cast<int>(paths.size()) != count) return false;
  if (from < 0 || to < 0 || from >= count || to >= count || from == to) return false;
  const int step = to < from ? -1 : 1;
  for (int i = from; i != to; i += step) {
    std::swap(names[static_cast<size_t>(i)], names[static_cast<size_t>(i + step)]);
    std::swap(paths[static_cast<size_t>(i)], paths[static_cast<size_t>(i + step)]);
  }
  return true;
}

}  // namespace glx
