// A registry file of any bytes: parsing gives keys and values or a
// registry error, and keys that parsed write out and parse back the same.
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "platform/reg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = glx::fuzz::bytesOf(data, size);
  const glx::RegRoot root = glx::RegRoot::CurrentUser;
  glx::RegFileContents keys;
  try {
    keys = glx::parseRegFile(root, text);
  } catch (const glx::ERegistryError&) {
    return 0;
  }
  const std::string written = glx::formatRegFile(root, keys);
  const glx::RegFileContents back = glx::parseRegFile(root, written);
  if (glx::formatRegFile(root, back) != written) std::abort();
  return 0;
}
