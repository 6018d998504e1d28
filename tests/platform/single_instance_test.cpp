#include "platform/single_instance.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QProcess>
#include <atomic>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

#include "platform/file_ops.h"
#include "tests/support/spin_until.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

using test::spinUntil;
using test::TempDir;

// The window's part, as a test sees it.
struct RecordingHost : InstanceHost {
  std::vector<std::string> opened;
  void openFromSecondStart(const std::string& projectPath) override { opened.push_back(projectPath); }
};

// A later start's hand-over waits for the running copy's event loop, so it
// runs on a thread of its own while this one spins the loop.
bool handOverFromAnotherStart(SingleInstance& later, const std::string& path) {
  std::atomic<bool> done{false};
  bool taken = false;
  std::thread start([&] {
    taken = later.handOver(path, 20000);
    done = true;
  });
  const bool ended = spinUntil([&] { return done.load(); });
  start.join();
  return ended && taken;
}

TEST(SingleInstance, TheFirstStartRunsAndLaterStartsHandTheirProjectToIt) {
  TempDir dir;
  const std::string folder = dir / "run/glimmerax/";
  SingleInstance running(folder);
  ASSERT_TRUE(running.acquire());
  EXPECT_TRUE(running.isRunningCopy());
  RecordingHost host;
  running.serve(host);
  EXPECT_TRUE(fileExists(running.lockPath()));

  const std::string cases[] = {"/home/ann/My Applet.glx", "", "/x/with\nline break.glx"};
  for (const std::string& path : cases) {
    SingleInstance later(folder);
    EXPECT_FALSE(later.acquire()) << path;
    EXPECT_FALSE(later.isRunningCopy());
    host.opened.clear();
    ASSERT_TRUE(handOverFromAnotherStart(later, path)) << path;
    ASSERT_TRUE(spinUntil([&] { return !host.opened.empty(); })) << path;
    EXPECT_EQ(host.opened, std::vector<std::string>{path});
  }
}

TEST(SingleInstance, ALockLeftByAKilledCopyIsTakenOver) {
  TempDir dir;
  const std::string folder = dir.mkdir("glimmerax");
  SingleInstance probe(folder);
  // A copy holding the lock (util-linux's flock keeps it while its shell
  // waits for input; the shell itself does not hold it), and the socket
  // file a killed copy leaves behind.
  QProcess holder;
  holder.start("flock", {"-o", "-n", QString::fromStdString(probe.lockPath()), "-c", "echo locked; read line"});
  ASSERT_TRUE(holder.waitForStarted());
  ASSERT_TRUE(spinUntil([&] { return holder.readAllStandardOutput().contains("locked") || holder.state() == QProcess::NotRunning; }));
  ASSERT_EQ(holder.state(), QProcess::Running);
  {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, probe.socketPath().c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
  }
  {
    SingleInstance later(folder);
    EXPECT_FALSE(later.acquire()) << "the lock is held";
    EXPECT_FALSE(later.handOver("/p.glx", 300)) << "nobody answers on the stale socket";
    EXPECT_FALSE(later.isRunningCopy());
  }
  ::kill(static_cast<pid_t>(holder.processId()), SIGKILL);
  ASSERT_TRUE(holder.waitForFinished());
  holder.closeWriteChannel();  // its shell ends too

  SingleInstance next(folder);
  ASSERT_TRUE(next.acquire()) << "the kernel dropped the killed copy's lock";
  RecordingHost host;
  next.serve(host);
  SingleInstance later(folder);
  EXPECT_FALSE(later.acquire());
  ASSERT_TRUE(handOverFromAnotherStart(later, "/q.glx")) << "the stale socket file was replaced";
  ASSERT_TRUE(spinUntil([&] { return !host.opened.empty(); }));
  EXPECT_EQ(host.opened, std::vector<std::string>{"/q.glx"});
}

TEST(SingleInstance, ALaterStartWhoseRunningCopyEndsBecomesTheRunningCopy) {
  TempDir dir;
  auto running = std::make_unique<SingleInstance>(dir / "glimmerax/");
  ASSERT_TRUE(running->acquire());
  SingleInstance later(dir / "glimmerax/");
  ASSERT_FALSE(later.acquire());
  running.reset();  // it ended before it served anyone
  EXPECT_FALSE(later.handOver("/p.glx", 20000));
  EXPECT_TRUE(later.isRunningCopy());
  EXPECT_FALSE(SingleInstance(dir / "glimmerax/").acquire());
}

TEST(SingleInstance, TheDefaultFolderIsTheUsersRuntimeFolder) {
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string keep = saved ? saved : "";
  ::setenv("XDG_RUNTIME_DIR", "/run/user/1234", 1);
  EXPECT_EQ(SingleInstance::defaultFolder(), "/run/user/1234/glimmerax/");
  ::setenv("XDG_RUNTIME_DIR", "relative", 1);
  EXPECT_EQ(SingleInstance::defaultFolder().rfind("/", 0), 0u) << "a relative value does not count";
  EXPECT_NE(SingleInstance::defaultFolder().find("glimmerax-" + std::to_string(::getuid()) + "/glimmerax/"),
            std::string::npos);
  if (saved) ::setenv("XDG_RUNTIME_DIR", keep.c_str(), 1); else ::unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace glx
