#include "publish/required_files.h"

#include "platform/file_ops.h"

namespace glx {

const std::vector<std::string> kClassFiles = {"warp.class",    "fade.class",     "huecycle.class",
                                              "colorwarp.class", "pageflip.class", "underwater.class"};

void RequiredFiles::copyClassFile(const std::string& className, const std::string& folder) {
  if (!folderExists(folder)) createFolder(folder);
  copyFileNoOverwrite(m_folders.programFolder() + className, folder + className);
}

void RequiredFiles::deleteClassFile(const std::string& path) { deleteFileQuiet(path); }

void RequiredFiles::copyClassFiles(const std::string& folder) {
  for (const auto& name : kClassFiles)
    if (!fileExists(folder + name)) copyClassFile(name, folder);
}

void RequiredFiles::deleteAllClassFiles(const std::string& folder) {
  for (const auto& name : kClassFiles)
    if (fileExists(folder + name)) deleteFileQuiet(folder + name);
}

void RequiredFiles::copyImage(const std::string& sourcePath) {
  const std::string required = m_folders.requiredFilesFolder();
  const std::string temp = m_folders.appletTempFolder();
  if (!folderExists(required)) createFolder(required);
  if (!folderExists(temp)) createFolder(temp);
  if (!fileExists(sourcePath)) return;
  const std::string name = bareFileName(sourcePath);
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
