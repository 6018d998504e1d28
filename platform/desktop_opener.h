// Opens files, folders and addresses with the desktop's own opener
// (xdg-open) and tells the user when the desktop has no way to open one:
// no xdg-open on PATH and no other handler, or xdg-open failing at once.
// Without this the user would see nothing happen at all.
//
// Threading: used from the thread that created it, whose event loop must
// run for a quick failure to be noticed. The opener is never waited for
// and never stopped: it may run as long as the program it starts.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

namespace glx {

// "The desktop could not open ..." naming the target.
std::string cannotOpenMessage(const std::string& target);

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

  // The xdg-open found on PATH now, or empty.
  static std::string findOpener();
  // Openers started and still watched (for checks).
  int watching() const;

 private:
  struct Watch;
  void finished(Watch* watch);

  Report m_report;
  Fallback m_fallback;
  int m_quickFailureMs;
  std::vector<std::unique_ptr<Watch>> m_watches;
};

}  // namespace glx
