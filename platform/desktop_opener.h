// Opens files, folders and addresses with the desktop's own opener
// (xdg-open), and starts programs, and tells the user when that fails: no
// xdg-open on PATH and no other handler, or the program run failing at
// once, named with its exit status and the first line it wrote on its
// standard error. Without this the user would see nothing happen at all.
//
// Threading: used from the thread that created it, whose event loop must
// run for a quick failure to be noticed. The opener is never waited for
// and never stopped: it may run as long as the program it starts.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace glx {

// "The desktop could not open ..." naming the target, when no program for
// it was found.
std::string cannotOpenMessage(const std::string& target);

// How a program that was started ended.
struct ProgramEnd {
  enum class Kind { Exited, Signalled, NotStarted };
  std::string program;  // as started (a path)
  Kind kind = Kind::Exited;
  int code = 0;                // exit status or signal number
  std::string firstErrorLine;  // of its standard error, without the line end
};

// "xdg-open ended with status 4: <first line>", "... was ended by signal
// 9", "... could not be started"; the program named without its folder.
std::string programEndText(const ProgramEnd& end);

// "The desktop could not open\n<target>\n\n" and the opener's end.
std::string openerFailedMessage(const std::string& target, const ProgramEnd& end);

// "The program\n<path>\nended at once.\n\n" and its end.
std::string programFailedMessage(const ProgramEnd& end);

class DesktopOpener : public QObject {
  Q_OBJECT

 public:
  using Report = std::function<void(const std::string& message)>;
  // Another way to open a target (the toolkit's); returns false when it has none.
  using Fallback = std::function<bool(const std::string& target)>;

  // quickFailureMs: how long after its start a failing opener counts as
  // failing at once; later failures are the opened program's own business.
  DesktopOpener(Report report, Fallback fallback, int quickFailureMs = 5000);
  ~DesktopOpener() override;

  // Opens target (a native path or an address with "://").
  void open(const std::string& target);

  // Starts program (a path) with arguments in workingFolder (empty: ours)
  // in a session of its own, and reports it when it ends with a failure
  // within quickFailureMs. False when it is no executable file or could not
  // be started at all; nothing is reported then.
  bool start(const std::string& program, const std::vector<std::string>& arguments,
             const std::string& workingFolder);

  // The xdg-open found on PATH now, or empty.
  static std::string findOpener();
  // Openers started and still watched (for checks).
  int watching() const;

 private:
  struct Watch;
  Watch* watch(int fd, const std::string& program);
  void finished(Watch* watch);

  Report m_report;
  Fallback m_fallback;
  int m_quickFailureMs;
  std::vector<std::unique_ptr<Watch>> m_watches;
};

}  // namespace glx
