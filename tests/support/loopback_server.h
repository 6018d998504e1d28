// A scripted TCP server on 127.0.0.1 for tests and benchmarks: a thread with a
// listening socket on a port of the system's choosing. It takes one
// connection at a time, records every byte it receives, and answers each
// connection with the next reply of its script. It stops for sure in its
// destructor, whatever its clients do.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace glx::test {

class LoopbackServer {
 public:
  // What happens after a reply was sent.
  enum class After {
    Close,     // graceful close: FIN, then reading on until the client closes
    Reset,     // abortive close: RST at once, unread bytes and all
    KeepOpen,  // keep the connection and record until the client closes
  };

  struct Reply {
    // Bytes to wait for in what the client sent before answering; empty:
    // answer at once. A client that closes first ends the wait.
    std::string waitFor = "\r\n\r\n";
    std::string send;
    // Sent after `send`, shared rather than copied (large bodies).
    std::shared_ptr<const std::string> body;
    After after = After::Close;
    // Send in pieces of this many bytes with a short pause between them
    // (0: as fast as possible), so that a reply arrives split.
    size_t piece = 0;
    // The pause after each piece, in ms (a slow server trickles its reply).
    int pauseMs = 1;
    // Before answering, wait for release() (the test decides the moment).
    bool hold = false;
  };

  // A connection beyond the script gets the last reply again when
  // repeatLast is set, and is closed at once otherwise.
  explicit LoopbackServer(std::vector<Reply> script, bool repeatLast = false);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  uint16_t port() const { return m_port; }
  // "127.0.0.1:PORT"
  std::string hostPort() const;
  // "http://127.0.0.1:PORT" + path
  std::string url(const std::string& path) const;

  // Connections accepted so far, and what each one received.
  size_t connections() const;
  std::string received(size_t connection) const;
  // Waits until connection exists and has received at least bytes bytes, or
  // has ended; false after timeoutMs (a generous limit, not a measurement).
  bool waitReceived(size_t connection, size_t bytes, int timeoutMs = 20000) const;
  // Waits until connection has ended.
  bool waitEnded(size_t connection, int timeoutMs = 20000) const;

  // Lets a held reply go on.
  void release();

  void stop();

 private:
  void run();
  void serve(int fd, const Reply* reply);
  bool waitReadable(int fd);
  bool readSome(int fd, size_t connection);
  bool sendAll(int fd, const char* data, size_t size, size_t piece, int pauseMs);
  bool waitRelease();
  void finish(size_t connection);

  std::vector<Reply> m_script;
  bool m_repeatLast;
  int m_listen = -1;
  int m_wake = -1;     // eventfd that ends every wait of the thread
  int m_release = -1;  // eventfd that lets a held reply go on
  uint16_t m_port = 0;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;

  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  std::vector<std::string> m_received;
  std::vector<bool> m_ended;
};

}  // namespace glx::test
