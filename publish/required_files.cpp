#include "publish/required_files.h"

#include "platform/errors.h"
#include "platform/file_ops.h"
#include "publish/picture_check.h"

namespace glx {

const std::vector<std::string> kClassFiles = {"warp.class",    "fade.class",     "huecycle.class",
                                              "colorwarp.class", "pageflip.class", "underwater.class"};

const char kPlayerFile[] = "glimmerax-player.js";

std::string dataFilePath(const ProgramFolders& folders, const std::string& name) {
  return folders.programFolder() + name;
}

void RequiredFiles::copyOneClassFile(const std::string& className, const std::string& folder) {
  if (!folderExists(folder)) createFolder(folder);
  copyFileNoOverwrite(dataFilePath(m_folders, className), folder + className);
}

void RequiredFiles::copyClassFile(const std::string& className, const std::string& folder) {
  copyOneClassFile(className, folder);
  if (playerWanted()) keepPlayerFile(folder);
}

void RequiredFiles::deleteClassFile(const std::string& path) { deleteFileQuiet(path); }

void RequiredFiles::copyClassFiles(const std::string& folder) {
  for (const auto& name : kClassFiles)
    if (!fileExists(folder + name)) copyOneClassFile(name, folder);
  if (playerWanted()) keepPlayerFile(folder);
}

void RequiredFiles::deleteAllClassFiles(const std::string& folder) {
  for (const auto& name : kClassFiles)
    if (fileExists(folder + name)) deleteFileQuiet(folder + name);
  deletePlayerFile(folder);
}

void RequiredFiles::keepPlayerFile(const std::string& folder) {
  if (!folderExists(folder)) createFolder(folder);
  const std::string source = dataFilePath(m_folders, kPlayerFile);
  const std::string target = folder + kPlayerFile;
  try {
    if (!fileExists(source)) return;
    const std::string bytes = readFileBytes(source);
    // A folder or anything else standing there is not ours to replace.
    if (pathExists(target) && !fileExists(target)) return;
    if (fileExists(target) && readFileBytes(target) == bytes) return;
    writeFileAtomic(target, bytes);
  } catch (const EInOutError&) {
    // As with the class files: the applet then fails in the browser.
  }
}

void RequiredFiles::deletePlayerFile(const std::string& folder) { deleteFileQuiet(folder + kPlayerFile); }

void RequiredFiles::copyImage(const std::string& sourcePath) {
  const std::string required = m_folders.requiredFilesFolder();
  const std::string temp = m_folders.appletTempFolder();
  if (!folderExists(required)) createFolder(required);
  if (!folderExists(temp)) createFolder(temp);
  if (!fileExists(sourcePath)) return;
  const std::string name = bareFileName(sourcePath);
  requirePictureFile(sourcePath, name);
  copyFileNoOverwrite(sourcePath, required + name);
  copyFileNoOverwrite(sourcePath, temp + name);
}

void RequiredFiles::deleteImage(const std::string& sourcePath) {
  const std::string name = bareFileName(sourcePath);
  // An empty name would make the folder itself the target.
  if (name.empty()) return;
  deleteFileQuiet(m_folders.appletTempFolder() + name);
  deleteFileQuiet(m_folders.requiredFilesFolder() + name);
}

void RequiredFiles::deleteAllImages(const std::vector<std::string>& imagePaths) {
  for (const auto& path : imagePaths) deleteImage(path);
}

void RequiredFiles::ExecuteFile(const std::string& fileName, const std::string& parameters,
                                const std::string& defaultFolder, int showCommand) {
  m_shell.executeFile(fileName, parameters, defaultFolder, showCommand);
}

void RequiredFiles::lImagesFolderClick() {
  const std::string folder = m_folders.requiredFilesFolder();
  if (!folderExists(folder)) createFolder(folder);
  ExecuteFile(folder, folder, folder, 5);
}

}  // namespace glx
