// The desktop shell: opening files, folders and addresses, and starting
// programs. An interface so that tests can record what would be launched.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace glx {

class Shell {
 public:
  virtual ~Shell() = default;

  // Opens a file, folder or URL with the desktop's default handler.
  virtual void open(const std::string& target) = 0;

  // The shell's default action on fileName: a bare name is resolved against
  // defaultFolder (never PATH); an executable regular file is started with
  // the parameters split like a command line and defaultFolder as working
  // folder; anything else (folder, page, document) is opened.
  virtual void executeFile(const std::string& fileName, const std::string& parameters,
                           const std::string& defaultFolder, int showCommand) = 0;
};

// What the desktop shell needs from the system: the two ways of launching.
class Launcher {
 public:
  virtual ~Launcher() = default;
  virtual void startDetached(const std::string& program, const std::vector<std::string>& arguments,
                             const std::string& workingFolder) = 0;
  virtual void openWithDesktop(const std::string& target) = 0;
};

// The Shell on top of a Launcher; the launcher's Qt implementation lives
// with the windows.
class DesktopShell : public Shell {
 public:
  explicit DesktopShell(Launcher& launcher) : m_launcher(launcher) {}
  void open(const std::string& target) override;
  void executeFile(const std::string& fileName, const std::string& parameters,
                   const std::string& defaultFolder, int showCommand) override;

 private:
  Launcher& m_launcher;
};

// Splits a parameter text like a command line: blanks separate, double
// quotes group, a doubled quote inside quotes is a quote.
std::vector<std::string> splitCommandLine(const std::string& parameters);

}  // namespace glx
