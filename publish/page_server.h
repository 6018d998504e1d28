// A small read-only web server for the browser test run: it serves the
// files of one folder (no subfolders) on 127.0.0.1 at a port the system
// picks. Pages opened from disk run in a unique origin in some browsers, so
// the player there can neither read its pictures' pixels nor start a worker;
// served from a loopback address, the test page plays as a published page
// does.
//
// Only GET and HEAD, only a Host header naming this very address (a page
// elsewhere cannot reach it through a name that resolves to 127.0.0.1), only
// regular files directly in the folder, never a symbolic link. It runs on a
// thread of its own from start() until it is destroyed.
#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace glx {

class PageServer {
 public:
  explicit PageServer(std::string folder);
  ~PageServer();
  PageServer(const PageServer&) = delete;
  PageServer& operator=(const PageServer&) = delete;

  // Starts listening (once; later calls do nothing). Throws Error with the
  // system's reason when no socket can be had.
  void start();
  bool running() const { return m_thread.joinable(); }
  int port() const { return m_port; }

  // "http://127.0.0.1:PORT/" followed by the file name, percent-encoded.
  std::string addressOf(const std::string& fileName) const;

  // The answer to one request's bytes (the head up to its blank line), as
  // the server sends it. Public for the tests of the rules.
  std::string answer(const std::string& request) const;

 private:
  void serve();

  std::string m_folder;
  int m_listener = -1;
  int m_wake[2] = {-1, -1};
  int m_port = 0;
  std::thread m_thread;
};

}  // namespace glx
