#include "platform/program_folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/xdg_folders.h"

namespace glx {

namespace {

std::string withSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

// "/usr/bin/" -> "/usr/share/glimmerax/"; lexical, so a link named bin
// leads where its own parent is.
std::string installedDataFolder(const std::string& executableFolder) {
  std::filesystem::path bin(executableFolder);
  if (!bin.has_filename()) bin = bin.parent_path();
  return withSlash((bin.parent_path() / "share" / "glimmerax").lexically_normal().string());
}

}  // namespace

ProgramFolders::ProgramFolders(std::string programFolder)
    : m_dataFolder(withSlash(std::move(programFolder))), m_workFolder(m_dataFolder) {}

ProgramFolders::ProgramFolders(std::string dataFolder, std::string workFolder)
    : m_dataFolder(withSlash(std::move(dataFolder))), m_workFolder(withSlash(std::move(workFolder))) {}

std::string ProgramFolders::xdgDataFolder() { return xdgDataHome() + "glimmerax/"; }

ProgramFolders::Probe ProgramFolders::systemProbe() {
  Probe probe;
  probe.holdsData = [](const std::string& folder) {
    struct stat st;
    return ::stat((folder + kDataFolderMarker).c_str(), &st) == 0 && S_ISREG(st.st_mode);
  };
  probe.writable = [](const std::string& folder) { return ::access(folder.c_str(), W_OK | X_OK) == 0; };
  probe.xdgDataFolder = xdgDataFolder();
  return probe;
}

ProgramFolders ProgramFolders::locate(const std::string& executableFolder, const Probe& probe) {
  const std::string beside = withSlash(executableFolder);
  if (probe.holdsData(beside))
    return ProgramFolders(beside, probe.writable(beside) ? beside : probe.xdgDataFolder);
  const std::string installed = installedDataFolder(beside);
  if (probe.holdsData(installed)) return ProgramFolders(installed, probe.xdgDataFolder);
  // No data anywhere: keep to the executable's folder, so the missing files
  // are looked for (and reported) where a copied folder would hold them.
  return ProgramFolders(beside, probe.writable(beside) ? beside : probe.xdgDataFolder);
}

ProgramFolders ProgramFolders::ofExecutable() {
  return locate(QCoreApplication::applicationDirPath().toStdString(), systemProbe());
}

void ProgramFolders::makeWorkFolder() const {
  std::error_code ec;
  std::filesystem::create_directories(m_workFolder, ec);
}

}  // namespace glx
