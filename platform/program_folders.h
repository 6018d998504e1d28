// Where the program reads its shipped data files and where it keeps its
// working folders. Paths end with "/". Tests point both at a temporary
// folder.
//
// Platform note (executable folder): the design keeps everything beside the
// executable. Here the data files (the class files, the player, the help
// page, the samples) are read from the executable's folder when they lie
// there (the build tree, a copied folder), else from ../share/glimmerax/
// beside bin/ (installed). The working folders ("Required Files/",
// "Applet Temp/", "config.data") stay beside the executable when the data
// files lie there and that folder is writable; otherwise they live in
// $XDG_DATA_HOME/glimmerax/ (default ~/.local/share/glimmerax/).
// ProgramFolders::locate is the one place that decides this.
#pragma once

#include <functional>
#include <string>

namespace glx {

// A file that every data folder holds; its presence marks one.
inline constexpr const char* kDataFolderMarker = "fade.class";

class ProgramFolders {
 public:
  ProgramFolders() = default;
  // Data files and working folders in one folder.
  explicit ProgramFolders(std::string programFolder);
  ProgramFolders(std::string dataFolder, std::string workFolder);

  // What locate needs from the system; tests replace it.
  struct Probe {
    std::function<bool(const std::string& folder)> holdsData;
    std::function<bool(const std::string& folder)> writable;
    std::string xdgDataFolder;  // $XDG_DATA_HOME/glimmerax/ or its default
  };
  static Probe systemProbe();

  // The decision for an executable in executableFolder.
  static ProgramFolders locate(const std::string& executableFolder, const Probe& probe);
  // The decision for the running executable (QCoreApplication's folder).
  static ProgramFolders ofExecutable();
  // Makes the working folder with its parents (it may lie in a data folder
  // not made yet); failures show later, where the folders are used.
  void makeWorkFolder() const;

  // $XDG_DATA_HOME/glimmerax/ when XDG_DATA_HOME is an absolute path, else
  // $HOME/.local/share/glimmerax/.
  static std::string xdgDataFolder();

  // Where the shipped data files are read (the design's programFolder).
  const std::string& programFolder() const { return m_dataFolder; }
  const std::string& dataFolder() const { return m_dataFolder; }
  // Where the working folders and the usage log live.
  const std::string& workFolder() const { return m_workFolder; }
  std::string requiredFilesFolder() const { return m_workFolder + "Required Files/"; }
  std::string appletTempFolder() const { return m_workFolder + "Applet Temp/"; }
  std::string usageLogPath() const { return m_workFolder + "config.data"; }

 private:
  std::string m_dataFolder;
  std::string m_workFolder;
};

}  // namespace glx
