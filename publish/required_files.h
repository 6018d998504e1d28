// Keeps the two folders beside the program up to date: "Required Files"
// (what the user uploads with the page) and "Applet Temp" (the browser test
// run's working folder). Copies never overwrite; copies and deletes report
// nothing; only a folder that cannot be made raises EInOutError.
#pragma once

#include <string>
#include <vector>

#include "platform/program_folders.h"
#include "platform/shell.h"

namespace glx {

// Every class file the effects name, in the order the folder operations use.
extern const std::vector<std::string> kClassFiles;

class RequiredFiles {
 public:
  RequiredFiles(const ProgramFolders& folders, Shell& shell) : m_folders(folders), m_shell(shell) {}

  const ProgramFolders& folders() const { return m_folders; }

  // folder ends with "/"; creates it (one level) when missing, then copies
  // programFolder + className into it unless already there.
  void copyClassFile(const std::string& className, const std::string& folder);
  void deleteClassFile(const std::string& path);
  void copyClassFiles(const std::string& folder);
  void deleteAllClassFiles(const std::string& folder);

  void copyImage(const std::string& sourcePath);
  void deleteImage(const std::string& sourcePath);
  void deleteAllImages(const std::vector<std::string>& imagePaths);

  void ExecuteFile(const std::string& fileName, const std::string& parameters,
                   const std::string& defaultFolder, int showCommand);

  // The "required files" link: make the folder if needed and open it.
  void lImagesFolderClick();

 private:
  const ProgramFolders& m_folders;
  Shell& m_shell;
};

}  // namespace glx
