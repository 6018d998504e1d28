// A program folder in a temporary folder, holding the six class files as the
// build ships them, with the folders, shell and dialogs the document needs.
#pragma once

#include <string>

#include "platform/program_folders.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"

namespace glx::test {

struct ProgramFolderFixture {
  ProgramFolderFixture();
  TempDir dir;
  ProgramFolders folders;
  std::string required() const { return folders.requiredFilesFolder(); }
  std::string temp() const { return folders.appletTempFolder(); }
};

// The class file names present in a folder, sorted.
std::vector<std::string> classFilesIn(const std::string& folder);

}  // namespace glx::test
