#include "platform/program_folders.h"

#include <QCoreApplication>

namespace glx {

ProgramFolders::ProgramFolders(std::string programFolder) : m_programFolder(std::move(programFolder)) {
  if (m_programFolder.empty() || m_programFolder.back() != '/') m_programFolder += '/';
}

ProgramFolders ProgramFolders::ofExecutable() {
  return ProgramFolders(QCoreApplication::applicationDirPath().toStdString());
}

}  // namespace glx
