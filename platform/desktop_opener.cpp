#include "platform/desktop_opener.h"

#include <fcntl.h>
#include <poll.h>
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

std::string programEndText(const ProgramEnd& end) {
  const size_t slash = end.program.rfind('/');
  const std::string name = slash == std::string::npos ? end.program : end.program.substr(slash + 1);
  switch (end.kind) {
    case ProgramEnd::Kind::NotStarted:
      return name + " could not be started" + (end.firstErrorLine.empty() ? "." : ": " + end.firstErrorLine);
    case ProgramEnd::Kind::Signalled:
      return name + " was ended by signal " + std::to_string(end.code) +
             (end.firstErrorLine.empty() ? "." : ": " + end.firstErrorLine);
    case ProgramEnd::Kind::Exited:
      break;
  }
  return name + " ended with status " + std::to_string(end.code) +
         (end.firstErrorLine.empty() ? "." : ": " + end.firstErrorLine);
}

std::string openerFailedMessage(const std::string& target, const ProgramEnd& end) {
  return "The desktop could not open\n" + target + "\n\n" + programEndText(end);
}

std::string programFailedMessage(const ProgramEnd& end) {
  return "The program\n" + end.program + "\nended at once.\n\n" + programEndText(end);
}

namespace {

// What a watcher writes back: kind, code, then the first line of standard
// error (at most kLineMax bytes), in one write.
constexpr size_t kLineMax = 300;
enum : unsigned char { kExited = 0, kSignalled = 1, kNotStarted = 2 };

bool isExecutableFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Keeps the bytes of the first line of what arrives, up to kLineMax.
struct FirstLine {
  char text[kLineMax];
  size_t length = 0;
  bool done = false;
  void add(const char* data, ssize_t n) {
    for (ssize_t i = 0; i < n && !done; ++i) {
      if (data[i] == '\n') {
        done = length > 0;  // blank lines before the first text are skipped
      } else if (data[i] != '\r' && length < kLineMax) {
        text[length++] = data[i];
      }
    }
  }
};

// Starts program in a session of its own, as a grandchild that this
// process never waits for, its standard error read by a watcher process.
// Returns the read end of a pipe on which the watcher reports how the
// program ended (as soon as it ends; the watcher then keeps draining the
// standard error that programs it started may still hold), or -1 when
// nothing could be started.
int startWatched(const std::string& program, const std::vector<std::string>& arguments,
                 const std::string& workingFolder) {
  int resultFds[2];
  if (::pipe2(resultFds, O_CLOEXEC) != 0) return -1;
  int errorFds[2];
  if (::pipe2(errorFds, O_CLOEXEC) != 0) {
    ::close(resultFds[0]);
    ::close(resultFds[1]);
    return -1;
  }
  // Everything the children use is made before fork: only async-signal-safe
  // calls follow it.
  std::vector<char*> argv = {const_cast<char*>(program.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const char* folder = workingFolder.empty() ? nullptr : workingFolder.c_str();
  const long openMax = std::min(::sysconf(_SC_OPEN_MAX), 65536L);
  const pid_t first = ::fork();
  if (first < 0) {
    for (int fd : {resultFds[0], resultFds[1], errorFds[0], errorFds[1]}) ::close(fd);
    return -1;
  }
  if (first == 0) {
    // The watcher may outlive this program: it keeps none of its files (the
    // one-copy lock above all) but its own pipes.
    for (int fd = 3; fd < openMax; ++fd)
      if (fd != resultFds[1] && fd != errorFds[0] && fd != errorFds[1]) ::close(fd);
    ::setsid();
    const pid_t watcher = ::fork();
    if (watcher != 0) ::_exit(watcher < 0 ? 1 : 0);
    // The watcher, now a child of init: starts the program and reports how
    // it ended.
    const pid_t child = ::fork();
    if (child == 0) {
      const int devnull = ::open("/dev/null", O_RDONLY);
      if (devnull >= 0) ::dup2(devnull, STDIN_FILENO);
      ::dup2(errorFds[1], STDERR_FILENO);
      if (folder && ::chdir(folder) != 0) {
        static const char kNoFolder[] = "the working folder cannot be entered\n";
        ssize_t ignored = ::write(STDERR_FILENO, kNoFolder, sizeof kNoFolder - 1);
        (void)ignored;
        ::_exit(126);
      }
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(errorFds[1]);
    FirstLine line;
    char buffer[512];
    unsigned char kind = kNotStarted, code = 0;
    bool ended = child < 0;
    bool errorOpen = true;
    while (!ended) {
      struct pollfd p = {errorFds[0], POLLIN, 0};
      if (errorOpen && ::poll(&p, 1, 50) > 0) {
        const ssize_t n = ::read(errorFds[0], buffer, sizeof buffer);
        if (n > 0) line.add(buffer, n);
        if (n == 0) errorOpen = false;
      } else if (!errorOpen) {
        ::poll(nullptr, 0, 50);
      }
      int raw = 0;
      if (::waitpid(child, &raw, WNOHANG) == child) {
        ended = true;
        kind = WIFSIGNALED(raw) ? kSignalled : kExited;
        code = static_cast<unsigned char>(WIFSIGNALED(raw) ? WTERMSIG(raw) : WEXITSTATUS(raw));
      }
    }
    // What the program wrote just before it ended.
    for (int i = 0; errorOpen && !line.done && i < 64; ++i) {
      struct pollfd p = {errorFds[0], POLLIN, 0};
      if (::poll(&p, 1, 0) <= 0) break;
      const ssize_t n = ::read(errorFds[0], buffer, sizeof buffer);
      if (n <= 0) break;
      line.add(buffer, n);
    }
    char report[2 + kLineMax];
    report[0] = static_cast<char>(kind);
    report[1] = static_cast<char>(code);
    for (size_t i = 0; i < line.length; ++i) report[2 + i] = line.text[i];
    ssize_t ignored = ::write(resultFds[1], report, 2 + line.length);
    (void)ignored;
    ::close(resultFds[1]);
    // Programs it started may still write there: a closed pipe would kill them.
    while (errorOpen && ::read(errorFds[0], buffer, sizeof buffer) > 0) {
    }
    ::_exit(0);
  }
  ::close(resultFds[1]);
  ::close(errorFds[0]);
  ::close(errorFds[1]);
  int raw = 0;
  while (::waitpid(first, &raw, 0) < 0 && errno == EINTR) {
  }
  return resultFds[0];
}

}  // namespace

struct DesktopOpener::Watch {
  std::string target;  // empty for a program started
  std::string program;
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
  const int fd = opener.empty() ? -1 : startWatched(opener, {target}, {});
  if (fd < 0) {
    if (!(m_fallback && m_fallback(target)) && m_report) m_report(cannotOpenMessage(target));
    return;
  }
  watch(fd, opener)->target = target;
}

bool DesktopOpener::start(const std::string& program, const std::vector<std::string>& arguments,
                          const std::string& workingFolder) {
  if (!isExecutableFile(program)) return false;
  const int fd = startWatched(program, arguments, workingFolder);
  if (fd < 0) return false;
  watch(fd, program);
  return true;
}

DesktopOpener::Watch* DesktopOpener::watch(int fd, const std::string& program) {
  auto started = std::make_unique<Watch>();
  started->program = program;
  started->fd = fd;
  started->started.start();
  started->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  Watch* raw = started.get();
  connect(started->notifier.get(), &QSocketNotifier::activated, this, [this, raw] { finished(raw); });
  m_watches.push_back(std::move(started));
  return raw;
}

void DesktopOpener::finished(Watch* watch) {
  char report[2 + kLineMax];
  size_t length = 0;
  while (length < sizeof report) {
    const ssize_t n = ::read(watch->fd, report + length, sizeof report - length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    length += static_cast<size_t>(n);
  }
  ProgramEnd end;
  end.program = watch->program;
  if (length < 2) {
    // The watcher itself died: nothing is known of the program.
    end.kind = ProgramEnd::Kind::NotStarted;
  } else {
    end.kind = report[0] == kSignalled   ? ProgramEnd::Kind::Signalled
               : report[0] == kExited    ? ProgramEnd::Kind::Exited
                                         : ProgramEnd::Kind::NotStarted;
    end.code = static_cast<unsigned char>(report[1]);
    end.firstErrorLine.assign(report + 2, length - 2);
    if (end.kind == ProgramEnd::Kind::Exited && end.code == 127 && end.firstErrorLine.empty())
      end.kind = ProgramEnd::Kind::NotStarted;
  }
  const bool failed = end.kind != ProgramEnd::Kind::Exited || end.code != 0;
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
  if (failed && atOnce && m_report)
    m_report(target.empty() ? programFailedMessage(end) : openerFailedMessage(target, end));
}

}  // namespace glx
