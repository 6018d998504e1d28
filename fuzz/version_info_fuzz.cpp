// Executable files of any bytes: the version resource is found or not, and
// a resource of any bytes answers its queries or has no answer.
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "platform/version_info.h"

namespace {

void query(const glx::VersionInfo& info) {
  (void)info.translation();
  (void)info.fileVersion();
  (void)info.queryString("\\StringFileInfo\\040904E4\\FileVersion");
  (void)info.queryString("\\StringFileInfo\\040904B0\\ProductName");
  (void)info.queryString("\\VarFileInfo\\Translation");
  (void)info.queryString("\\");
  (void)info.queryString("");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto& file = glx::fuzz::ScratchFile::instance();
  file.replace(data, size);
  const glx::VersionInfo fromFile = glx::VersionInfo::fromFile(file.path());
  if (fromFile.size() > size) std::abort();
  if (glx::fileVersionInfoSize(file.path()) != fromFile.size()) std::abort();
  query(fromFile);
  query(glx::VersionInfo(glx::fuzz::bytesOf(data, size)));
  return 0;
}
