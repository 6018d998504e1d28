#include "app/update_window.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

#include "platform/file_ops.h"
#include "tests/net/net_test_support.h"
#include "tests/support/fakes.h"
#include "tests/update/fake_config_one.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

using test::FakeConfigOne;
using test::LoopbackServer;

LoopbackServer::Reply reply(const std::string& body) {
  LoopbackServer::Reply r;
  r.send = "HTTP/1.0 200 OK\r\n\r\n" + body;
  return r;
}

class UpdateWindowTest : public ::testing::Test {
 protected:
  std::unique_ptr<TupdateWindow> makeWindow(const std::string& host) {
    auto w = std::make_unique<TupdateWindow>(log, configOne, dialogs, shell, host);
    w->showUpdate();
    return w;
  }
  test::TempDir dir;
  UsageCounters counters;
  FakeConfigOne configOne{"false"};
  UsageLog log{counters, dir / "config.data", configOne};
  test::ScriptedDialogs dialogs;
  test::RecordingShell shell;
  test::CollectingErrorSink errors;
};

TEST_F(UpdateWindowTest, ProxyFieldsFollowTheCheckBox) {
  auto w = makeWindow("127.0.0.1:1");
  EXPECT_EQ(w->windowTitle(), "Update");
  EXPECT_FALSE(w->isModal());
  EXPECT_FALSE(w->cProxy->isChecked());
  EXPECT_FALSE(w->eProxyServer->isEnabled());
  EXPECT_FALSE(w->eProxyPort->isEnabled());
  EXPECT_EQ(w->eProxyPort->text(), "80");
  w->cProxy->click();
  EXPECT_TRUE(w->eProxyServer->isEnabled());
  EXPECT_TRUE(w->eProxyPort->isEnabled());
  w->cProxy->click();
  EXPECT_FALSE(w->eProxyPort->isEnabled());
}

TEST_F(UpdateWindowTest, YesRunsTheCheckAndClosesNoJustCloses) {
  counters.testRunCount = 1;
  LoopbackServer server({reply("true"), reply("")});
  auto w = makeWindow(server.hostPort());
  w->yesButton->click();
  EXPECT_EQ(server.connections(), 2u);
  EXPECT_EQ(dialogs.messages.size(), 1u);
  EXPECT_FALSE(w->isVisible());
  EXPECT_TRUE(errors.errors.empty());
  EXPECT_EQ(counters.testRunCount, 0);

  w->showUpdate();
  w->noButton->click();
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(server.connections(), 2u);
}

TEST_F(UpdateWindowTest, BadPortIsShownAndTheWindowStays) {
  LoopbackServer server({reply("true"), reply("")}, /*repeatLast=*/true);
  // A port beyond 16 bits would otherwise wrap round to the listening one.
  const std::string wrapped = std::to_string(server.port() + 65536);
  struct Case {
    std::string port, error;
  } cases[] = {
      {"eighty", "'eighty' is not a valid integer value"},
      {wrapped, "'" + wrapped + "' is not a valid port number (1 to 65535)"},
      {"0", "'0' is not a valid port number (1 to 65535)"},
      {"65536", "'65536' is not a valid port number (1 to 65535)"},
  };
  auto w = makeWindow("update.tallowbrook.example");
  w->cProxy->click();
  w->eProxyServer->setText("127.0.0.1");
  for (const Case& c : cases) {
    errors.errors.clear();
    w->eProxyPort->setText(QString::fromStdString(c.port));
    w->yesButton->click();
    EXPECT_EQ(errors.errors, std::vector<std::string>{c.error}) << c.port;
    EXPECT_TRUE(w->isVisible()) << c.port;
  }
  EXPECT_EQ(server.connections(), 0u);
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(UpdateWindowTest, ClosingDuringACheckCancelsItQuietly) {
  counters.testRunCount = 4;
  LoopbackServer::Reply held = reply("true");
  held.hold = true;
  LoopbackServer server({held});
  auto w = makeWindow(server.hostPort());
  int secondPress = 0;
  QTimer timer;
  timer.setInterval(5);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (!server.waitReceived(0, 1, 0)) return;
    timer.stop();
    w->yesButton->click();  // ignored while the check runs
    ++secondPress;
    w->close();
  });
  timer.start();
  w->yesButton->click();
  server.release();
  EXPECT_EQ(secondPress, 1);
  EXPECT_EQ(server.connections(), 1u);
  EXPECT_TRUE(errors.errors.empty());
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(counters.testRunCount, 4);
  EXPECT_FALSE(w->isVisible());
}

}  // namespace
}  // namespace glx
