#include "platform/shell.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QString>

namespace glx {

void DesktopShell::open(const std::string& target) { m_launcher.openWithDesktop(target); }

void DesktopShell::executeFile(const std::string& fileName, const std::string& parameters,
                               const std::string& defaultFolder, int /*showCommand*/) {
  std::string path = fileName;
  if (!path.empty() && path.front() != '/' && !defaultFolder.empty()) {
    path = defaultFolder;
    if (path.back() != '/') path += '/';
    path += fileName;
  }
  struct stat st;
  const bool executable = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                          ::access(path.c_str(), X_OK) == 0;
  if (executable) {
    m_launcher.startDetached(path, splitCommandLine(parameters), defaultFolder);
  } else {
    m_launcher.openWithDesktop(path);
  }
}

std::vector<std::string> splitCommandLine(const std::string& parameters) {
  std::vector<std::string> result;
  for (const QString& arg : QProcess::splitCommand(QString::fromStdString(parameters)))
    result.push_back(arg.toStdString());
  return result;
}

}  // namespace glx
