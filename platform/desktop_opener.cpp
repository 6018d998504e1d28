#include "platform/desktop_opener.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

namespace glx {

std::string cannotOpenMessage(const std::string& target) {
  return "The desktop could not open\n" + target +
         "\n\nNo program for it was found: install xdg-utils (xdg-open) or choose a default program for it.";
}

namespace {

constexpr unsigned char kStartFailed = 127;

bool isExecutableFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Starts program with one argument in a session of its own, as a grandchild
// that this process never waits for. Returns the read end of a pipe on
// which its exit status arrives as one byte (127: it could not be started),
// or -1 when nothing could be started.
int startWatched(const std::string& program, const std::string& argument) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
  // Everything the children use is made before fork: only async-signal-safe
  // calls follow it.
  std::vector<char*> argv = {const_cast<char*>(program.c_str()), const_cast<char*>(argument.c_str()), nullptr};
  const pid_t first = ::fork();
  if (first < 0) {
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    return -1;
  }
  if (first == 0) {
    ::close(pipeFds[0]);
    ::setsid();
    const pid_t watcher = ::fork();
    if (watcher != 0) ::_exit(watcher < 0 ? 1 : 0);
    // The watcher, now a child of init: starts the opener and reports how
    // it ended.
    const pid_t opener = ::fork();
    if (opener == 0) {
      ::close(pipeFds[1]);
      const int devnull = ::open("/dev/null", O_RDONLY);
      if (devnull >= 0) ::dup2(devnull, STDIN_FILENO);
      ::execv(program.c_str(), argv.data());
      ::_exit(kStartFailed);
    }
    unsigned char status = kStartFailed;
    if (opener > 0) {
      int raw = 0;
      while (::waitpid(opener, &raw, 0) < 0 && errno == EINTR) {
      }
      status = WIFEXITED(raw) ? static_cast<unsigned char>(WEXITSTATUS(raw)) : 1;
    }
    ssize_t ignored = ::write(pipeFds[1], &status, 1);
    (void)ignored;
    ::_exit(0);
  }
  ::close(pipeFds[1]);
  int raw = 0;
  while (::waitpid(first, &raw, 0) < 0 && errno == EINTR) {
  }
  return pipeFds[0];
}

}  // namespace

struct DesktopOpener::Watch {
  std::string target;
  int fd = -1;
  QElapsedTimer started;
  std::unique_ptr<QSocketNotifier> notifier;
  ~Watch() {
    notifier.reset();
    if (fd >= 0) ::close(fd);
  }
};

DesktopOpener::DesktopOpener(Report report, Fallback fallback, int quickFailureMs)
    : m_report(std::move(report)), m_fallback(std::move(fallback)), m_quickFailureMs(quickFailureMs) {}

DesktopOpener::~DesktopOpener() = default;

std::string DesktopOpener::findOpener() {
  const char* path = std::getenv("PATH");
  const std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    std::string folder = folders.substr(start, end - start);
    start = end + 1;
    if (folder.empty() || folder.front() != '/') continue;
    if (folder.back() != '/') folder += '/';
    if (isExecutableFile(folder + "xdg-open")) return folder + "xdg-open";
  }
  return {};
}

int DesktopOpener::watching() const { return static_cast<int>(m_watches.size()); }

void DesktopOpener::open(const std::string& target) {
  const std::string opener = findOpener();
  const int fd = opener.empty() ? -1 : startWatched(opener, target);
  if (fd < 0) {
    if (!(m_fallback && m_fallback(target)) && m_report) m_report(cannotOpenMessage(target));
    return;
  }
  auto watch = std::make_unique<Watch>();
  watch->target = target;
  watch->fd = fd;
  watch->started.start();
  watch->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  Watch* raw = watch.get();
  connect(watch->notifier.get(), &QSocketNotifier::activated, this, [this, raw] { finished(raw); });
  m_watches.push_back(std::move(watch));
}

void DesktopOpener::finished(Watch* watch) {
  unsigned char status = 0;
  ssize_t n;
  do {
    n = ::read(watch->fd, &status, 1);
  } while (n < 0 && errno == EINTR);
  const bool failed = n != 1 || status != 0;
  const bool atOnce = watch->started.elapsed() <= m_quickFailureMs;
  const std::string target = watch->target;
  // Forget the watch before telling anyone: the report may run an event loop.
  auto it = std::find_if(m_watches.begin(), m_watches.end(), [watch](const auto& w) { return w.get() == watch; });
  if (it != m_watches.end()) {
    (*it)->notifier->setEnabled(false);
    // Deleting a notifier from its own signal is not allowed: later.
    QSocketNotifier* notifier = (*it)->notifier.release();
    notifier->deleteLater();
    m_watches.erase(it);
  }
  if (failed && atOnce && m_report) m_report(cannotOpenMessage(target));
}

}  // namespace glx
