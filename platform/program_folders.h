// The program's folder and the two working folders beside it. Paths end
// with "/". Tests point the program folder at a temporary folder.
#pragma once

#include <string>

namespace glx {

class ProgramFolders {
 public:
  ProgramFolders() = default;
  explicit ProgramFolders(std::string programFolder);

  // The folder of the running executable (QCoreApplication's), with "/".
  static ProgramFolders ofExecutable();

  const std::string& programFolder() const { return m_programFolder; }
  std::string requiredFilesFolder() const { return m_programFolder + "Required Files/"; }
  std::string appletTempFolder() const { return m_programFolder + "Applet Temp/"; }

 private:
  std::string m_programFolder;
};

}  // namespace glx
