#include "tests/support/program_folder_fixture.h"

#include <algorithm>
#include <filesystem>

namespace glx::test {

ProgramFolderFixture::ProgramFolderFixture() : folders(dir.path()) {
  for (const char* name : {"warp.class", "fade.class", "huecycle.class", "colorwarp.class", "pageflip.class",
                           "underwater.class"})
    dir.write(name, std::string("class file ") + name);
}

std::vector<std::string> classFilesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() > 6 && name.compare(name.size() - 6, 6, ".class") == 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace glx::test
