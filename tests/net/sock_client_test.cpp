// The socket client's connection: lookup, connect, time-outs, close, status
// reports, error texts and the timer.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTimer>
#include <memory>

#include "net/sock_client.h"
#include "net/thread_timer.h"
#include "tests/net/net_test_support.h"
#include "tests/support/fakes.h"
#include "tests/support/loopback_server.h"

namespace glx {
namespace {

using test::LoopbackServer;
using test::ScriptedHostLookup;
using test::raisedText;

LoopbackServer::Reply keepOpen() {
  LoopbackServer::Reply r;
  r.waitFor = "";
  r.after = LoopbackServer::After::KeepOpen;
  return r;
}

TEST(SockErrorText, TableRowsUnknownNumbersAndZero) {
  const struct {
    int number;
    const char* text;
  } cases[] = {
      {10061, "10061:Connection refused"},
      {12345, "Unknown Error No. 12345"},
      {0, ""},
      {10004, "10004:Interrupted system call"},
      {10035, "10035:Operation would block"},
      {10049, "10049:Can't assign requested address"},
      {10054, "10054:Connection reset by peer"},
      {10093, "10093:Successful WSAStartup not yet performed"},
      {11001, "11001:Host not found"},
      {11003, "11003:Non-Recoverable error: FORMERR, REFUSED, NOTIMP"},
      {11004, "11004:Valid name, no data record of requested type"},
      {10072, "Unknown Error No. 10072"},
  };
  TSockClient client;
  for (const auto& c : cases) {
    EXPECT_EQ(client.ErrorMessage(c.number), c.text) << c.number;
    EXPECT_EQ(socketErrorText(c.number), c.text) << c.number;
  }
}

TEST(SockErrorText, ErrnoValuesBecomeWinsockNumbers) {
  const struct {
    int errnoValue, winsock;
  } cases[] = {{ECONNREFUSED, 10061}, {ECONNRESET, 10054}, {EAGAIN, 10035},
               {ETIMEDOUT, 10060},    {ENOTCONN, 10057},   {EPIPE, 10058},
               {EHOSTUNREACH, 10065}, {EADDRINUSE, 10048}, {0, 0}};
  for (const auto& c : cases) EXPECT_EQ(winsockErrorFromErrno(c.errnoValue), c.winsock) << c.errnoValue;
}

TEST(SockClient, FreshClientIsUnconnectedAndQuiet) {
  TSockClient client;
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(client.TimeOut, 0);
  EXPECT_EQ(client.ReportLevel, 0);
  EXPECT_TRUE(client.Proxy.empty());
  test::pumpFor(50);
  // An unconnected socket polls as writable and hung up: nothing may watch it.
  EXPECT_FALSE(client.Connected());
  EXPECT_FALSE(client.readNotifierEnabled());
  EXPECT_FALSE(client.writeNotifierEnabled());
  EXPECT_EQ(client.notificationCount(), 0u);
  const auto info = TSockClient::WinsockInfo();
  ASSERT_EQ(info.size(), 6u);
  EXPECT_EQ(info[0], "Version= 1.1");
  EXPECT_EQ(info[5].rfind("Max Udp pack size= ", 0), 0u);
}

TEST(SockClient, ConnectsToDottedAddressWithoutLookupAndReconnectsAfterDisconnect) {
  LoopbackServer server({keepOpen(), keepOpen()});
  auto lookup = std::make_shared<ScriptedHostLookup>(ScriptedHostLookup::Mode::Unknown);
  TSockClient client(lookup);
  int connects = 0, disconnects = 0, resolved = 0;
  client.OnConnect = [&](TSockClient&) { ++connects; };
  client.OnDisconnect = [&](TSockClient&) { ++disconnects; };
  client.OnHostResolved = [&](TSockClient&) { ++resolved; };
  client.Host = "127.0.0.1";
  client.Port = server.port();
  client.TimeOut = 5000;

  client.Connect();
  EXPECT_TRUE(client.Connected());
  EXPECT_EQ(connects, 1);
  EXPECT_EQ(resolved, 0);
  EXPECT_TRUE(lookup->names.empty());
  EXPECT_EQ(client.RemotePort(), server.port());
  EXPECT_EQ(client.RemoteAddress(), htonl(INADDR_LOOPBACK));

  // Idle and connected: only Read is watched, and nothing arrives.
  const uint64_t before = client.notificationCount();
  test::pumpFor(100);
  EXPECT_EQ(client.notificationCount(), before);
  EXPECT_TRUE(client.readNotifierEnabled());
  EXPECT_FALSE(client.writeNotifierEnabled());

  client.Disconnect();
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(disconnects, 1);
  EXPECT_TRUE(server.waitEnded(0));
  EXPECT_FALSE(client.readNotifierEnabled());
  EXPECT_FALSE(client.writeNotifierEnabled());
  const uint64_t afterClose = client.notificationCount();
  test::pumpFor(50);
  EXPECT_EQ(client.notificationCount(), afterClose);
  EXPECT_FALSE(client.Connected());

  client.Connect();
  EXPECT_TRUE(client.Connected());
  EXPECT_EQ(connects, 2);
  EXPECT_TRUE(server.waitReceived(1, 0));
  EXPECT_EQ(server.connections(), 2u);
}

TEST(SockClient, ConnectWhileConnectedRaises) {
  LoopbackServer server({keepOpen()});
  TSockClient client;
  client.Host = "127.0.0.1";
  client.Port = server.port();
  client.Connect();
  EXPECT_EQ(raisedText<ESockError>([&] { client.Connect(); }), "Already connected");
  EXPECT_TRUE(client.Connected());
}

TEST(SockClient, RefusedConnectionFiresConnectionFailedThenRaises) {
  TSockClient client;
  std::vector<std::string> events;
  client.OnConnectionFailed = [&](TSockClient&) { events.push_back("failed"); };
  client.OnSocketError = [&](TSockClient&, uint16_t n, const std::string& text) {
    events.push_back(std::to_string(n) + " " + text);
  };
  client.Host = "127.0.0.1";
  client.Port = test::closedPort();
  const std::string text = raisedText<ESockError>([&] { client.Connect(); });
  // The refusal comes as the connect notification's error.
  EXPECT_EQ(text, "Connection Failed");
  EXPECT_EQ(events, std::vector<std::string>{"failed"});
  EXPECT_FALSE(client.Connected());
  EXPECT_FALSE(client.writeNotifierEnabled());
  EXPECT_FALSE(client.readNotifierEnabled());

  // The component stays usable.
  LoopbackServer server({keepOpen()});
  client.Port = server.port();
  client.Connect();
  EXPECT_TRUE(client.Connected());
}

TEST(SockClient, UnknownHostWithAndWithoutInvalidHostHandler) {
  struct Case {
    const char* name;
    bool handler;
    bool handled;
    bool correct;  // the handler puts a good address into Host
    size_t lookups;
    const char* error;  // nullptr: connects
  } cases[] = {
      {"no handler", false, false, false, 1, "Null Remote Address"},
      {"handler leaves it", true, false, false, 1, "Null Remote Address"},
      {"handler retries once", true, true, false, 2, "Null Remote Address"},
      {"handler corrects host", true, true, true, 1, nullptr},
  };
  LoopbackServer server({keepOpen()});
  for (const Case& c : cases) {
    auto lookup = std::make_shared<ScriptedHostLookup>(ScriptedHostLookup::Mode::Unknown);
    TSockClient client(lookup);
    client.Host = "no-such-host.invalid";
    client.Port = server.port();
    int calls = 0;
    if (c.handler) {
      client.OnInvalidHost = [&](TSockClient& sender, bool& handled) {
        ++calls;
        if (c.correct) sender.Host = "127.0.0.1";
        handled = c.handled;
      };
    }
    if (c.error) {
      EXPECT_EQ(raisedText<ESockError>([&] { client.Connect(); }), c.error) << c.name;
    } else {
      EXPECT_NO_THROW(client.Connect()) << c.name;
      EXPECT_TRUE(client.Connected()) << c.name;
    }
    EXPECT_EQ(lookup->names.size(), c.lookups) << c.name;
    EXPECT_EQ(calls, c.handler ? 1 : 0) << c.name;
  }
}

TEST(SockClient, LookupThatNeverAnswersTimesOutOrIsCanceled) {
  auto lookup = std::make_shared<ScriptedHostLookup>(ScriptedHostLookup::Mode::Never);
  {
    TSockClient client(lookup);
    client.Host = "silent.invalid";
    client.Port = 80;
    client.TimeOut = 100;
    EXPECT_EQ(raisedText<ESockError>([&] { client.Connect(); }), "Host Lookup Timed Out");
    EXPECT_TRUE(client.TimedOut());
    EXPECT_EQ(lookup->aborted.count(1), 1u);
  }
  {
    TSockClient client(lookup);
    client.Host = "silent.invalid";
    QTimer::singleShot(50, [&] { client.Cancel(); });
    EXPECT_EQ(raisedText<ESockError>([&] { client.Connect(); }), "Host Lookup Canceled");
    EXPECT_EQ(lookup->aborted.count(2), 1u);
  }
}

TEST(SockClient, LookupThatCannotStartRaisesItsReasonAndStopsTheTimer) {
  auto lookup = std::make_shared<ScriptedHostLookup>(ScriptedHostLookup::Mode::Missing);
  TSockClient client(lookup);
  client.Host = "somewhere.invalid";
  client.Port = 80;
  client.TimeOut = 50;
  EXPECT_EQ(raisedText<Error>([&] { client.Connect(); }), std::string(kHostLookupMissingMessage) + "no module");
  // Well past the time-out: a timer left running would fire and abort.
  test::pumpFor(200);
  EXPECT_FALSE(client.TimedOut());
}

TEST(SockClient, NameLookedUpBySystemResolverFiresHostResolved) {
  LoopbackServer server({keepOpen()});
  TSockClient client;
  int resolved = 0;
  client.OnHostResolved = [&](TSockClient&) { ++resolved; };
  client.Host = "localhost";
  client.Port = server.port();
  client.TimeOut = 10000;
  client.Connect();
  EXPECT_EQ(resolved, 1);
  EXPECT_EQ(client.RemoteAddress(), htonl(INADDR_LOOPBACK));
}

TEST(SockClient, EmptyNameThroughTheSystemResolver) {
  // The resolver refuses an empty name without asking any server.
  TSockClient client;
  client.Host = "";
  client.Port = 80;
  client.TimeOut = 15000;
  EXPECT_EQ(raisedText<ESockError>([&] { client.Connect(); }), "Null Remote Address");
  EXPECT_FALSE(client.Connected());
}

TEST(SockClient, ProxyIsResolvedAndItsPortUsed) {
  LoopbackServer proxy({keepOpen()});
  auto lookup = std::make_shared<ScriptedHostLookup>(ScriptedHostLookup::Mode::Unknown);
  TSockClient client(lookup);
  client.Host = "origin.invalid";  // would fail if it were looked up
  client.Port = 1;
  client.Proxy = "127.0.0.1";
  client.ProxyPort = proxy.port();
  client.Connect();
  EXPECT_TRUE(client.Connected());
  EXPECT_TRUE(lookup->names.empty());
  EXPECT_EQ(client.RemotePort(), proxy.port());
}

// A listening socket that never accepts, with its backlog filled: a further
// connect on loopback gets no answer.
class FullBacklog {
 public:
  FullBacklog() {
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof address;
    ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(m_listen, 0);
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &len);
    port = ntohs(address.sin_port);
    for (int i = 0; i < 3; ++i) {
      const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
      pollfd p{fd, POLLOUT, 0};
      ::poll(&p, 1, 200);
      m_fillers.push_back(fd);
    }
  }
  ~FullBacklog() {
    for (int fd : m_fillers) ::close(fd);
    ::close(m_listen);
  }
  uint16_t port = 0;

 private:
  int m_listen;
  std::vector<int> m_fillers;
};

TEST(SockClient, ConnectionAttemptTimesOutAfterConnectionFailed) {
  FullBacklog backlog;
  TSockClient client;
  client.ReportLevel = 8;
  std::vector<std::string> order;
  client.OnStatus = [&](TSockClient&, const std::string& s) {
    if (s == "Timer Triggered" || s == "Timer Off") order.push_back(s);
  };
  client.OnConnectionFailed = [&](TSockClient& c) {
    order.push_back(c.TimedOut() ? "failed after time-out" : "failed");
  };
  client.Host = "127.0.0.1";
  client.Port = backlog.port;
  client.TimeOut = 200;
  EXPECT_EQ(raisedText<ESockError>([&] { client.Connect(); }), "Connection Timed out");
  ASSERT_FALSE(order.empty());
  EXPECT_EQ(order.back(), "failed after time-out");
  EXPECT_EQ(order.front(), "Timer Triggered");
  EXPECT_FALSE(client.Connected());
  EXPECT_FALSE(client.writeNotifierEnabled());
}

TEST(SockClient, CancelDuringConnectionAttempt) {
  FullBacklog backlog;
  TSockClient client;
  client.Host = "127.0.0.1";
  client.Port = backlog.port;
  QTimer::singleShot(50, [&] { client.Cancel(); });
  EXPECT_EQ(raisedText<ESockError>([&] { client.Connect(); }), "Connection Canceled");
}

TEST(SockClient, ReportLevelFiltersStatusTexts) {
  struct Case {
    int level;
    std::vector<std::string> reported, notReported;
  } cases[] = {
      {0, {}, {"Connecting", "Sending Buffer", "Request Close Socket"}},
      {4, {"Sending Buffer", "Request Close Socket"}, {"Connecting", "Write", "Disconnecting"}},
      {8,
       {"Connecting", "Sending Buffer", "Request Close Socket", "Write", "Disconnecting",
        "WriteFromStream", "Timer On", "Timer Off"},
       {"Checking Error In Error Manager"}},
      {16, {"Checking Error In Error Manager", "Connecting"}, {}},
  };
  for (const Case& c : cases) {
    LoopbackServer server({keepOpen()});
    TSockClient client;
    test::StatusLog log(client);
    client.ReportLevel = c.level;
    client.Host = "127.0.0.1";
    client.Port = server.port();
    client.Connect();
    client.Write("hello");
    client.Disconnect();
    for (const auto& s : c.reported) EXPECT_TRUE(log.has(s)) << c.level << " " << s;
    for (const auto& s : c.notReported) EXPECT_FALSE(log.has(s)) << c.level << " " << s;
    if (!log.texts.empty()) {
      EXPECT_EQ(client.LastStatus(), log.texts.back()) << c.level;
    }
  }
}

TEST(SockClient, NegativeTimeOutIsARangeError) {
  LoopbackServer server({keepOpen()});
  TSockClient client;
  client.Host = "127.0.0.1";
  client.Port = server.port();
  client.TimeOut = -1;
  EXPECT_EQ(raisedText<ERangeError>([&] { client.Connect(); }), "Range check error");
}

TEST(SockClient, AcceptWhenCanceled) {
  TSockClient client;
  client.Cancel();
  EXPECT_EQ(raisedText<ESockError>([&] { client.Accept(); }), "Accepting Canceled");
}

TEST(SockClient, DestroyReportsAndClosesWithoutDisconnectEvent) {
  LoopbackServer server({keepOpen()});
  int disconnects = 0;
  std::vector<std::string> statuses;
  {
    TSockClient client;
    client.ReportLevel = 8;
    client.OnStatus = [&](TSockClient&, const std::string& s) { statuses.push_back(s); };
    client.OnDisconnect = [&](TSockClient&) { ++disconnects; };
    client.Host = "127.0.0.1";
    client.Port = server.port();
    client.Connect();
  }
  EXPECT_EQ(disconnects, 0);
  EXPECT_TRUE(server.waitEnded(0));
  ASSERT_FALSE(statuses.empty());
  EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Destroy"), statuses.end());
}

TEST(ThreadTimer, RunsOnlyEnabledWithIntervalAndHandler) {
  TThreadTimer timer;
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(timer.Interval(), 1000u);
  EXPECT_FALSE(timer.running());  // no handler yet
  int ticks = 0;
  timer.SetInterval(5);
  timer.SetOnTimer([&](TThreadTimer&) { ++ticks; });
  EXPECT_TRUE(timer.running());
  EXPECT_TRUE(test::pumpUntil([&] { return ticks >= 2; }));
  timer.SetEnabled(false);
  EXPECT_FALSE(timer.running());
  const int stopped = ticks;
  test::pumpFor(30);
  EXPECT_EQ(ticks, stopped);
  timer.SetEnabled(true);
  timer.SetInterval(0);
  EXPECT_FALSE(timer.running());
}

TEST(ThreadTimer, HandlerExceptionGoesToTheErrorSink) {
  test::CollectingErrorSink sink;
  TThreadTimer timer;
  int ticks = 0;
  timer.SetInterval(5);
  timer.SetOnTimer([&](TThreadTimer& t) {
    ++ticks;
    t.SetEnabled(false);
    throw ESockError("timer failure");
  });
  EXPECT_TRUE(test::pumpUntil([&] { return ticks == 1; }));
  EXPECT_EQ(sink.errors, std::vector<std::string>{"timer failure"});
}

}  // namespace
}  // namespace glx
