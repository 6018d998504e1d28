// One running window per user. The first start takes a lock file (flock)
// in the user's runtime folder and listens on a local socket beside it; a
// later start finds the lock taken, hands its project path to the running
// copy over the socket and ends, so it never touches the working folders.
// The kernel drops the lock of a copy that was killed: the next start takes
// it over and replaces the socket file left behind.
//
// Plain POSIX sockets watched by a QSocketNotifier (Qt's network library
// stays out of the program's start). Threading: one thread, whose event
// loop must run for hand-overs to arrive.
#pragma once

#include <QObject>
#include <memory>
#include <string>
#include <vector>

class QSocketNotifier;

namespace glx {

// What the running copy's window does for a later start: comes to the
// front and, when projectPath is not empty, opens that project (an
// absolute path).
class InstanceHost {
 public:
  virtual ~InstanceHost() = default;
  virtual void openFromSecondStart(const std::string& projectPath) = 0;
};

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // folder: where the lock and the socket lie, with a trailing "/"; made
  // (private to the user) when missing.
  explicit SingleInstance(std::string folder);
  ~SingleInstance() override;

  // The runtime folder's "glimmerax/".
  static std::string defaultFolder();

  // Takes the lock without waiting. True: this is the running copy, and it
  // listens (the hand-overs wait until serve). Also true when the folder or
  // the lock cannot be had at all: a start is never refused for that.
  // False: another copy holds the lock.
  bool acquire();

  // For a later start: hands projectPath to the running copy and waits for
  // its answer, at most timeoutMs. True when it was taken. When the other
  // copy has ended meanwhile, this one takes the lock instead (acquire) and
  // isRunningCopy() becomes true; false then too.
  bool handOver(const std::string& projectPath, int timeoutMs);

  bool isRunningCopy() const { return m_lockFd >= 0 || m_unguarded; }

  // From now on every hand-over goes to host, from this thread's event loop.
  void serve(InstanceHost& host);
  // No more hand-overs (before the host or the event loop goes); the lock
  // is kept until this object goes.
  void stopServing();

  std::string lockPath() const { return m_folder + "instance.lock"; }
  std::string socketPath() const { return m_folder + "instance.socket"; }

 private:
  struct Connection;
  void acceptConnections();
  void readConnection(Connection* connection);
  void drop(Connection* connection);

  std::string m_folder;
  int m_lockFd = -1;
  int m_listenFd = -1;
  bool m_unguarded = false;
  InstanceHost* m_host = nullptr;
  std::unique_ptr<QSocketNotifier> m_listenNotifier;
  std::vector<std::unique_ptr<Connection>> m_connections;
};

}  // namespace glx
