// Keeps the two folders beside the program up to date: "Required Files"
// (what the user uploads with the page) and "Applet Temp" (the browser test
// run's working folder). Copies never overwrite; copies and deletes report
// nothing; only a folder that cannot be made raises EInOutError.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/program_folders.h"
#include "platform/shell.h"

namespace glx {

// Every class file the effects name, in the order the folder operations use.
extern const std::vector<std::string> kClassFiles;

// The script that plays the effects in today's browsers, shipped beside the
// class files and kept beside them in both folders while it is wanted.
extern const char kPlayerFile[];

// Where a data file shipped with the program (a class file, the player) is
// read from: the one place that knows it.
std::string dataFilePath(const ProgramFolders& folders, const std::string& name);

class RequiredFiles {
 public:
  RequiredFiles(const ProgramFolders& folders, Shell& shell) : m_folders(folders), m_shell(shell) {}

  const ProgramFolders& folders() const { return m_folders; }

  // Whether the player is wanted beside the class files; none: never.
  void setPlayerWanted(std::function<bool()> wanted) { m_playerWanted = std::move(wanted); }
  bool playerWanted() const { return m_playerWanted && m_playerWanted(); }

  // folder ends with "/"; creates it (one level) when missing, then copies
  // programFolder + className into it unless already there. While the
  // player is wanted, it is kept in the folder too.
  void copyClassFile(const std::string& className, const std::string& folder);
  void deleteClassFile(const std::string& path);
  void copyClassFiles(const std::string& folder);
  // Also removes the player, which is only ever there beside class files.
  void deleteAllClassFiles(const std::string& folder);

  // Creates folder (one level) when missing, raising EInOutError as
  // copyClassFile does, and makes its player file the program's copy:
  // written whole through a temporary file when missing or different, left
  // alone when equal. A missing program copy or a failed write leaves the
  // folder as it was and reports nothing, as class file copies do.
  void keepPlayerFile(const std::string& folder);
  void deletePlayerFile(const std::string& folder);

  // Copies the image into both folders (creating them first) unless a copy
  // is there already; a missing source copies nothing. A source that is
  // not a GIF or JPEG picture by its content is not copied: ENotAPicture
  // names it.
  void copyImage(const std::string& sourcePath);
  void deleteImage(const std::string& sourcePath);
  void deleteAllImages(const std::vector<std::string>& imagePaths);

  void ExecuteFile(const std::string& fileName, const std::string& parameters,
                   const std::string& defaultFolder, int showCommand);

  // The "required files" link: make the folder if needed and open it.
  void lImagesFolderClick();

 private:
  void copyOneClassFile(const std::string& className, const std::string& folder);

  const ProgramFolders& m_folders;
  Shell& m_shell;
  std::function<bool()> m_playerWanted;
};

}  // namespace glx
