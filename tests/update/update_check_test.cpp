#include "update/update_check.h"

#include <gtest/gtest.h>

#include <QTimer>
#include <functional>

#include "platform/errors.h"
#include "platform/file_ops.h"
#include "tests/net/net_test_support.h"
#include "tests/support/raised_text.h"
#include "tests/support/fakes.h"
#include "tests/update/fake_config_one.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

using test::FakeConfigOne;
using test::LoopbackServer;

LoopbackServer::Reply reply(const std::string& status, const std::string& body) {
  LoopbackServer::Reply r;
  r.send = "HTTP/1.0 " + status + "\r\nContent-Type: text/plain\r\n\r\n" + body;
  return r;
}

// The request line a connection received.
std::string requestLine(const LoopbackServer& server, size_t connection) {
  const std::string text = server.received(connection);
  return text.substr(0, text.find("\r\n"));
}

class UpdateCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The example installation: two test runs of effect 3, one with a link.
    counters.firstReportFlag = 1;
    counters.testRunCount = 2;
    counters.linkTestCount = 1;
    counters.effectTestCounts[3] = 2;
  }

  std::unique_ptr<UpdateCheck> makeCheck(const std::string& host) {
    return std::make_unique<UpdateCheck>(log, configOne, dialogs, shell, host, lookup);
  }

  // What a failed check must leave: its message, no version message, nothing
  // opened, the usage log and the counters as they were.
  void expectFailedCheck(UpdateCheck& check, const std::string& message, const std::string& file) {
    const int runsBefore = counters.testRunCount;  // 0 once a close has written them to the file
    EXPECT_EQ(test::raisedText<Error>([&] { check.run({}); }), message);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(shell.opened.empty());
    EXPECT_EQ(dir.read("config.data"), file);
    EXPECT_EQ(counters.testRunCount, runsBefore);
  }

  test::TempDir dir;
  UsageCounters counters;
  FakeConfigOne configOne;
  UsageLog log{counters, dir / "config.data", configOne};
  test::ScriptedDialogs dialogs;
  test::RecordingShell shell;
  std::shared_ptr<test::ScriptedHostLookup> lookup =
      std::make_shared<test::ScriptedHostLookup>(test::ScriptedHostLookup::Mode::Unknown);
};

const char* const kExampleReport =
    "GET /servlet/GLXLogUpdate20?log=12|1|0|0|0|0|2|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0| HTTP/1.0";

TEST_F(UpdateCheckTest, LatestVersionThenReportDeletesTheLogAndClearsTheCounters) {
  LoopbackServer server({reply("200 OK", "true\r\n"), reply("200 OK", "")});
  auto check = makeCheck(server.hostPort());
  EXPECT_TRUE(check->run({}));
  EXPECT_EQ(dialogs.messages,
            std::vector<std::string>{"You have the latest version of this program. No update is necessary."});
  EXPECT_TRUE(shell.opened.empty());
  ASSERT_EQ(server.connections(), 2u);
  EXPECT_EQ(requestLine(server, 0), "GET /servlet/GLXUpdate?version=20 HTTP/1.0");
  EXPECT_EQ(requestLine(server, 1), kExampleReport);
  EXPECT_FALSE(fileExists(log.path()));
  EXPECT_EQ(configOne.text, "false");
  EXPECT_EQ(configOne.saves, 1);
  EXPECT_EQ(counters.testRunCount, 0);
  EXPECT_EQ(counters.effectTestCounts[3], 0);
  EXPECT_EQ(counters.firstReportFlag, 0);
}

TEST_F(UpdateCheckTest, VersionAnswers) {
  struct Case {
    const char* body;
    bool latest;
    bool opens;
  } cases[] = {
      {"true", true, false},
      {"true\r\n", true, false},
      {"trueish", true, false},
      {"tru", false, false},
      {"True", false, false},
      {"", false, false},
      {"/etc/passwd", false, false},
      {"file:///bin/sh", false, false},
      {"http://", false, false},
      {"http://a b", false, false},
      {"DOWNLOAD", false, true},  // replaced by the server's own address below
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    dialogs.messages.clear();
    shell.opened.clear();
    LoopbackServer server({reply("200 OK", ""), reply("200 OK", "")});
    const std::string download = server.url("/download.html");
    const std::string body = std::string(c.body) == "DOWNLOAD" ? "  " + download + "\r\n" : c.body;
    LoopbackServer real({reply("200 OK", body), reply("200 OK", "")});
    auto check = makeCheck(real.hostPort());
    EXPECT_TRUE(check->run({}));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0],
              c.latest  ? "You have the latest version of this program. No update is necessary."
              : c.opens ? "An updated version is available. Please download it from the following web site."
                        : "An updated version is available, but the server's answer held no usable web address. "
                          "Please look for it on http://www.tallowbrook.example/.");
    if (c.opens) {
      EXPECT_EQ(shell.opened, std::vector<std::string>{download});
    } else {
      EXPECT_TRUE(shell.opened.empty());
    }
  }
}

TEST_F(UpdateCheckTest, ErrorReplyToTheVersionQueryIsAFailedCheck) {
  for (const char* status : {"404 Not Found", "500 Internal Server Error"}) {
    SCOPED_TRACE(status);
    const std::string file = "CONFIG DATA FOR GLIMMERAX\r\nPLEASE DO NOT ALTER THIS FILE\r\n1\r\n5\r\n0\r\n0\r\n" +
                             std::string("5\r\n") + [] {
                               std::string rest;
                               for (int i = 1; i < 20; ++i) rest += "0\r\n";
                               return rest;
                             }();
    dir.write("config.data", file);
    LoopbackServer server({reply(status, "true")});
    auto check = makeCheck(server.hostPort());
    try {
      check->run({});
      ADD_FAILURE() << "an error reply must fail the check";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()),
                "The update check failed: the server answered " + std::string(status).substr(0, 3) + ".");
    }
    EXPECT_EQ(server.connections(), 1u);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(dir.read("config.data"), file);
    EXPECT_EQ(counters.testRunCount, 2);
  }
}

TEST_F(UpdateCheckTest, FailedReportKeepsEverythingAndTheNextCheckReportsOnce) {
  log.updateLogFile();  // the close: the counts go to the file
  counters.reset();
  counters.testRunCount = 1;  // a later run counts one more
  counters.effectTestCounts[0] = 1;
  const std::string file = dir.read("config.data");
  {
    LoopbackServer server({reply("200 OK", "true"), reply("500 Internal Server Error", "")});
    auto check = makeCheck(server.hostPort());
    EXPECT_THROW(check->run({}), Error);
    EXPECT_EQ(dialogs.messages.size(), 1u);  // the version message came first
  }
  EXPECT_EQ(dir.read("config.data"), file);
  EXPECT_EQ(counters.testRunCount, 1);
  EXPECT_EQ(counters.effectTestCounts[0], 1);

  LoopbackServer server({reply("200 OK", "true"), reply("200 OK", "")});
  auto check = makeCheck(server.hostPort());
  EXPECT_TRUE(check->run({}));
  // File (flag 1, 2 runs, 1 link, 2 of effect 3) plus this run (1 of effect 0).
  EXPECT_EQ(requestLine(server, 1),
            "GET /servlet/GLXLogUpdate20?log=13|1|0|1|0|0|2|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0| HTTP/1.0");
  EXPECT_FALSE(fileExists(log.path()));
  EXPECT_EQ(counters.testRunCount, 0);
}

TEST_F(UpdateCheckTest, BrokenReportConnectionKeepsTheLog) {
  dir.write("config.data", "x\r\ny\r\n0\r\n1\r\n0\r\n0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n"
                           "0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
  LoopbackServer::Reply broken;
  broken.send = "";
  broken.after = LoopbackServer::After::Reset;
  LoopbackServer server({reply("200 OK", "true"), broken});
  auto check = makeCheck(server.hostPort());
  EXPECT_ANY_THROW(check->run({}));
  EXPECT_EQ(dialogs.messages.size(), 1u);
  EXPECT_TRUE(fileExists(log.path()));
  EXPECT_EQ(counters.testRunCount, 2);
}

TEST_F(UpdateCheckTest, NoStatusLineIsNoAnswer) {
  LoopbackServer::Reply silent;
  silent.send = "";
  LoopbackServer server({silent});
  auto check = makeCheck(server.hostPort());
  try {
    check->run({});
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "The update check failed: the server did not answer.");
  }
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_TRUE(shell.opened.empty());
  EXPECT_EQ(server.connections(), 1u);
}

TEST_F(UpdateCheckTest, UnknownHostIsShownAndKeepsTheLog) {
  log.updateLogFile();
  auto check = makeCheck("no-such-host.invalid");
  try {
    check->run({});
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Null Remote Address");
  }
  EXPECT_TRUE(fileExists(log.path()));
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(UpdateCheckTest, ProxyChoices) {
  LoopbackServer server({reply("200 OK", "true"), reply("200 OK", "")}, true);
  auto check = makeCheck("update.tallowbrook.example");
  // Through the proxy: the request names the whole address.
  EXPECT_TRUE(check->run({true, "127.0.0.1", std::to_string(server.port())}));
  EXPECT_EQ(requestLine(server, 0), "GET http://update.tallowbrook.example/servlet/GLXUpdate?version=20 HTTP/1.0");

  // An empty proxy server means none: straight to the update server.
  auto direct = makeCheck(server.hostPort());
  EXPECT_TRUE(direct->run({true, "", "80"}));
  EXPECT_EQ(requestLine(server, 2), "GET /servlet/GLXUpdate?version=20 HTTP/1.0");

  // Unchecked after a proxied check: the proxy is cleared.
  EXPECT_TRUE(direct->run({true, "127.0.0.1", std::to_string(server.port())}));
  EXPECT_EQ(requestLine(server, 4), "GET http://" + server.hostPort() + "/servlet/GLXUpdate?version=20 HTTP/1.0");
  EXPECT_TRUE(direct->run({false, "127.0.0.1", "x"}));
  EXPECT_EQ(requestLine(server, 6), "GET /servlet/GLXUpdate?version=20 HTTP/1.0");

  // A port that is not a number: the conversion error, nothing sent.
  const size_t before = server.connections();
  try {
    direct->run({true, "127.0.0.1", "80a"});
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(std::string(e.what()), "'80a' is not a valid integer value");
  }
  EXPECT_EQ(server.connections(), before);
}

TEST_F(UpdateCheckTest, CancelEndsTheCheckQuietlyAndASecondRunIsIgnored) {
  log.updateLogFile();  // the counts go to the file
  log.updateLogData("", "", 1);
  log.updateLogData("", "", 1);
  const std::string file = dir.read("config.data");
  LoopbackServer::Reply held = reply("200 OK", "true");
  held.hold = true;
  LoopbackServer server({held});
  auto check = makeCheck(server.hostPort());
  bool secondRan = true;
  QTimer timer;
  timer.setInterval(5);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (server.connections() == 0 || !server.waitReceived(0, 1, 0)) return;
    timer.stop();
    secondRan = check->run({});
    check->cancel();
  });
  timer.start();
  EXPECT_FALSE(check->run({}));
  server.release();
  EXPECT_FALSE(secondRan);
  EXPECT_FALSE(check->running());
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(dir.read("config.data"), file);
  EXPECT_EQ(counters.testRunCount, 2);
}

// What happens while the check waits for the server's answer is kept:
// exactly the reported counts are taken off the counters and the file.
TEST_F(UpdateCheckTest, WhatArrivesDuringTheCheckIsKept) {
  // flag, runs, links (no targets), then effect counts.
  auto logText = [](int flag, int runs, int links, std::vector<std::pair<int, int>> effects) {
    std::string out = "CONFIG DATA FOR GLIMMERAX\r\nPLEASE DO NOT ALTER THIS FILE\r\n";
    for (int v : {flag, runs, links, 0}) out += std::to_string(v) + "\r\n";
    std::vector<int> counts(20, 0);
    for (auto [e, n] : effects) counts[static_cast<size_t>(e)] = n;
    for (int n : counts) out += std::to_string(n) + "\r\n";
    return out;
  };
  const std::string reported = logText(1, 2, 1, {{3, 2}});
  struct Case {
    const char* name;
    std::function<void(UsageLog&, test::TempDir&)> during;
    int runsLeft, linksLeft, effect2Left;
    std::string fileLeft;  // empty: no file
  };
  const Case cases[] = {
      {"nothing", [](UsageLog&, test::TempDir&) {}, 0, 0, 0, ""},
      {"a test run in this copy", [](UsageLog& l, test::TempDir&) { l.updateLogData("a.html", "", 2); }, 1, 1, 1,
       ""},
      {"another copy closes and adds 3 runs",
       [&](UsageLog&, test::TempDir& d) { d.write("config.data", logText(1, 5, 1, {{3, 2}, {5, 3}})); }, 0, 0, 0,
       logText(0, 3, 0, {{5, 3}})},
      {"another copy reported the file and wrote a new one",
       [&](UsageLog&, test::TempDir& d) { d.write("config.data", logText(1, 1, 0, {{7, 1}})); }, 0, 0, 0,
       logText(0, 1, 0, {{7, 1}})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir folder;
    UsageCounters run;
    run.firstReportFlag = 1;
    run.testRunCount = 2;
    run.linkTestCount = 1;
    run.effectTestCounts[3] = 2;
    FakeConfigOne label;
    UsageLog usage(run, folder / "config.data", label);
    usage.updateLogFile();  // a close: flag 1, 2 runs, 1 link, 2 of effect 3
    ASSERT_EQ(folder.read("config.data"), reported);

    LoopbackServer::Reply held = reply("200 OK", "true");
    held.hold = true;
    LoopbackServer server({held, reply("200 OK", "")});
    UpdateCheck check(usage, label, dialogs, shell, server.hostPort(), lookup);
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      if (server.connections() == 0 || !server.waitReceived(0, 1, 0)) return;
      timer.stop();
      c.during(usage, folder);
      server.release();
    });
    timer.start();
    EXPECT_TRUE(check.run({}));
    EXPECT_EQ(requestLine(server, 1), kExampleReport);
    EXPECT_EQ(run.testRunCount, c.runsLeft);
    EXPECT_EQ(run.linkTestCount, c.linksLeft);
    EXPECT_EQ(run.effectTestCounts[2], c.effect2Left);
    EXPECT_EQ(run.effectTestCounts[3], 0);
    EXPECT_EQ(run.firstReportFlag, 0);
    if (c.fileLeft.empty()) {
      EXPECT_FALSE(pathExists(folder / "config.data"));
    } else {
      EXPECT_EQ(folder.read("config.data"), c.fileLeft);
    }
  }
}

TEST(UpdateRules, LogValueAndReminder) {
  UsageCounters c;
  EXPECT_EQ(usageLogValue(c), "00|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|");
  c.testRunCount = 12;
  c.effectTestCounts[19] = -3;
  EXPECT_EQ(usageLogValue(c), "012|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|-3|");

  struct Case {
    const char* stored;
    const char* month;
    bool show;
    const char* after;
  } cases[] = {
      {"0", "7", false, "7"},    // first start: nothing shown, month stored
      {"7", "7", false, "7"},    // same month
      {"7", "8", true, "8"},     // a new month
      {"12", "1", true, "1"},
  };
  for (const auto& k : cases) {
    std::string stored = k.stored;
    EXPECT_EQ(monthlyReminder(stored, k.month), k.show) << k.stored << " " << k.month;
    EXPECT_EQ(stored, k.after);
  }
  EXPECT_EQ(monthText(1), "1");
  EXPECT_EQ(monthText(12), "12");
}

// Cancels a check after a generous limit, so that a check that would wait
// for ever fails its test instead of hanging it.
class Watchdog {
 public:
  Watchdog(UpdateCheck& check, int ms) {
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, [&check] { check.cancel(); });
    m_timer.start(ms);
  }

 private:
  QTimer m_timer;
};

TEST_F(UpdateCheckTest, CutOffVersionAnswerIsNoAnswer) {
  log.updateLogFile();
  const std::string file = dir.read("config.data");
  const std::string download = "http://127.0.0.1:1/glimmerax/update.html";
  ASSERT_EQ(download.size(), 40u);
  struct Case {
    const char* name;
    std::string send;
    LoopbackServer::After after;
  } cases[] = {
      {"reset after 36 of 40 bytes",
       "HTTP/1.0 200 OK\r\nContent-Length: 40\r\n\r\n" + download.substr(0, 36),
       LoopbackServer::After::Reset},
      {"closed after 36 of 40 bytes",
       "HTTP/1.0 200 OK\r\nContent-Length: 40\r\n\r\n" + download.substr(0, 36),
       LoopbackServer::After::Close},
      {"closed inside the header", "HTTP/1.0 200 OK\r\nContent-Ty", LoopbackServer::After::Close},
      {"closed before the empty line", "HTTP/1.0 200 OK\r\n", LoopbackServer::After::Close},
      {"reset after a body without a length", "HTTP/1.0 200 OK\r\n\r\n" + download,
       LoopbackServer::After::Reset},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackServer::Reply cut;
    cut.send = c.send;
    cut.after = c.after;
    LoopbackServer server({cut, reply("200 OK", "")});
    auto check = makeCheck(server.hostPort());
    Watchdog watchdog(*check, 10000);
    expectFailedCheck(*check, "The update check failed: the server did not answer.", file);
    EXPECT_EQ(server.connections(), 1u);  // no report
  }
}

TEST_F(UpdateCheckTest, AnswerWithALengthOnAConnectionKeptOpen) {
  // A proxy that keeps connections open: each answer ends at its length.
  LoopbackServer::Reply version;
  version.send = "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\ntrue";
  version.after = LoopbackServer::After::KeepOpen;
  LoopbackServer::Reply report = version;
  report.send = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok";
  LoopbackServer server({version, report});
  auto check = makeCheck("update.tallowbrook.example");
  Watchdog watchdog(*check, 10000);
  EXPECT_TRUE(check->run({true, "127.0.0.1", std::to_string(server.port())}));
  EXPECT_EQ(dialogs.messages,
            std::vector<std::string>{"You have the latest version of this program. No update is necessary."});
  EXPECT_EQ(server.connections(), 2u);
  EXPECT_FALSE(fileExists(log.path()));
}

TEST_F(UpdateCheckTest, OversizedAnswerFailsTheCheck) {
  log.updateLogFile();
  const std::string file = dir.read("config.data");
  const auto big = std::make_shared<const std::string>(3 * 1024 * 1024, 'h');
  struct Case {
    const char* name;
    std::string head;
    LoopbackServer::After after;
  } cases[] = {
      {"no length, closed", "HTTP/1.0 200 OK\r\n\r\n", LoopbackServer::After::Close},
      {"no length, kept open", "HTTP/1.0 200 OK\r\n\r\n", LoopbackServer::After::KeepOpen},
      {"a length above the limit", "HTTP/1.0 200 OK\r\nContent-Length: 3145728\r\n\r\n",
       LoopbackServer::After::Close},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackServer::Reply endless;
    endless.send = c.head;
    endless.body = big;
    endless.after = c.after;
    LoopbackServer server({endless, reply("200 OK", "")});
    auto check = makeCheck(server.hostPort());
    Watchdog watchdog(*check, 10000);
    expectFailedCheck(*check, "The update check failed: the server's answer is larger than 1 MiB.", file);
    EXPECT_EQ(server.connections(), 1u);
  }
}

TEST_F(UpdateCheckTest, ContentLengthThatIsNoSizeIsNoAnswer) {
  log.updateLogFile();
  const std::string file = dir.read("config.data");
  for (const char* value :
       {"18446744073709551616", "99999999999999999999999", "12a", "-1", " ", "+5", ""}) {
    SCOPED_TRACE(value);
    LoopbackServer::Reply damaged;
    damaged.send = std::string("HTTP/1.0 200 OK\r\nContent-Length: ") + value + "\r\n\r\ntrue";
    LoopbackServer server({damaged, reply("200 OK", "")});
    auto check = makeCheck(server.hostPort());
    Watchdog watchdog(*check, 10000);
    expectFailedCheck(*check, "The update check failed: the server did not answer.", file);
    EXPECT_EQ(server.connections(), 1u);  // no report
  }
}

TEST_F(UpdateCheckTest, LengthBeyondThirtyTwoBitsIsNoWholeAnswer) {
  // 99999999999 holds in a 64-bit size: the four bytes that follow are not
  // the answer it announces, and nothing is reported or cleared.
  log.updateLogFile();
  const std::string file = dir.read("config.data");
  LoopbackServer::Reply announced;
  announced.send = "HTTP/1.0 200 OK\r\nContent-Length: 99999999999\r\n\r\ntrue";
  LoopbackServer server({announced, reply("200 OK", "")});
  auto check = makeCheck(server.hostPort());
  Watchdog watchdog(*check, 10000);
  expectFailedCheck(*check, "The update check failed: the server's answer is larger than 1 MiB.", file);
  EXPECT_EQ(server.connections(), 1u);
}

TEST_F(UpdateCheckTest, SilentServerIsGivenUpAfterItsTimeOut) {
  log.updateLogFile();
  const std::string file = dir.read("config.data");
  EXPECT_EQ(makeCheck("127.0.0.1")->http().ReceiveTimeOut, 30000);
  // A server that takes the connection and the request and never answers:
  // the version query, and a report whose answer never comes.
  LoopbackServer::Reply silent = reply("200 OK", "true");
  silent.hold = true;
  {
    LoopbackServer server({silent});
    auto check = makeCheck(server.hostPort());
    check->http().ReceiveTimeOut = 200;
    Watchdog watchdog(*check, 10000);
    expectFailedCheck(*check, "The update server did not answer.", file);
    EXPECT_EQ(server.connections(), 1u);
  }
  {
    LoopbackServer server({reply("200 OK", "true"), silent});
    auto check = makeCheck(server.hostPort());
    check->http().ReceiveTimeOut = 200;
    Watchdog watchdog(*check, 10000);
    EXPECT_EQ(test::raisedText<Error>([&] { check->run({}); }), "The update server did not answer.");
    EXPECT_EQ(dir.read("config.data"), file);  // the report was not answered: nothing is cleared
    EXPECT_EQ(server.connections(), 2u);
  }
}

TEST_F(UpdateCheckTest, TricklingServerIsNotCutOff) {
  // Every byte starts the time again: a reply that takes far longer than
  // the time-out in all, a byte at a time, is read whole.
  LoopbackServer::Reply slow;
  slow.send = "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\ntrue";
  slow.piece = 1;
  slow.pauseMs = 40;  // 44 bytes: about 1.8 s in all
  LoopbackServer server({slow, reply("200 OK", "")});
  auto check = makeCheck(server.hostPort());
  check->http().ReceiveTimeOut = 400;
  Watchdog watchdog(*check, 20000);
  EXPECT_TRUE(check->run({}));
  EXPECT_EQ(dialogs.messages,
            std::vector<std::string>{"You have the latest version of this program. No update is necessary."});
  EXPECT_EQ(server.connections(), 2u);
}

TEST_F(UpdateCheckTest, PortsOutsideTheirRangeAreRefusedBeforeAnythingIsSent) {
  log.updateLogFile();
  const std::string file = dir.read("config.data");
  LoopbackServer server({reply("200 OK", "true"), reply("200 OK", "")}, true);
  // 83726 is the listening port plus 65536 when wrapped; the check must not
  // reach it.
  const std::string wrapped = std::to_string(server.port() + 65536);
  for (const std::string& port : {wrapped, std::string("0"), std::string("-80"), std::string("65536")}) {
    auto check = makeCheck("update.tallowbrook.example");
    EXPECT_EQ(test::raisedText<EConvertError>([&] { check->run({true, "127.0.0.1", port}); }),
              "'" + port + "' is not a valid port number (1 to 65535)");
  }
  // The same for a port in the update server's address.
  auto check = makeCheck("127.0.0.1:" + wrapped);
  EXPECT_EQ(test::raisedText<EConvertError>([&] { check->run({}); }),
            "'" + wrapped + "' is not a valid port number (1 to 65535)");
  EXPECT_EQ(server.connections(), 0u);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(dir.read("config.data"), file);
  EXPECT_EQ(counters.testRunCount, 0);  // the close above wrote them to the file
}

}  // namespace
}  // namespace glx
