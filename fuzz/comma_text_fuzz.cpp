// Comma text of any bytes: reading gives a list, and the list written as
// comma text reads back the same. A last empty item is the one thing the
// text form cannot hold after other items ("a," reads as one item).
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "settings/setting.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const glx::StringList items = glx::parseCommaText(glx::fuzz::bytesOf(data, size));
  if (items.size() > size) std::abort();
  if (items.size() > 1 && items.back().empty()) return 0;
  if (glx::parseCommaText(glx::commaText(items)) != items) std::abort();
  return 0;
}
