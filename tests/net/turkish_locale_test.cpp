// Names in protocols compare by ASCII case whatever the C locale says. Qt
// sets that locale from the environment, and a Turkish one leaves 'i' and
// 'I' unchanged under std::toupper/std::tolower.
#include <gtest/gtest.h>

#include <QProcess>
#include <cctype>
#include <clocale>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "net/http_client.h"
#include "net/http_support.h"
#include "platform/ascii.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

const char kTurkish[] = "tr_TR.UTF-8";

// Switches the C locale to Turkish for each test. Without an installed one,
// the suite compiles it from the system's locale sources into a scratch
// folder, when those and localedef are there; otherwise the tests check the
// behaviour under the locale they have, and say so.
class TurkishLocale : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, kTurkish)) {
      std::setlocale(LC_ALL, saved.c_str());
      return;
    }
    s_scratch = std::make_unique<test::TempDir>();
    QProcess localedef;
    localedef.start("localedef", {"-i", "tr_TR", "-f", "UTF-8",
                                  QString::fromStdString(*s_scratch / kTurkish)});
    // Warnings give a nonzero exit with a usable locale: setlocale decides.
    localedef.waitForFinished(120000);
  }
  static void TearDownTestSuite() { s_scratch.reset(); }

  void SetUp() override {
    m_saved = std::setlocale(LC_ALL, nullptr);
    if (s_scratch) ::setenv("LOCPATH", s_scratch->path().c_str(), 1);
    m_active = std::setlocale(LC_ALL, kTurkish) != nullptr;
    if (!m_active) {
      std::cout << "No Turkish locale on this system: checked under " << m_saved << "\n";
    }
  }
  void TearDown() override {
    std::setlocale(LC_ALL, m_saved.c_str());
    if (s_scratch) ::unsetenv("LOCPATH");
  }

  bool m_active = false;

 private:
  static std::unique_ptr<test::TempDir> s_scratch;
  std::string m_saved;
};

std::unique_ptr<test::TempDir> TurkishLocale::s_scratch;

test::LoopbackServer::Reply reply(std::string send) {
  test::LoopbackServer::Reply r;
  r.send = std::move(send);
  return r;
}

TEST_F(TurkishLocale, TheLocaleChangesTheStandardFoldsButNotOurs) {
  if (m_active) {
    // What makes the locale a trap: the standard folds leave these alone.
    EXPECT_NE(std::toupper('i'), 'I');
    EXPECT_NE(std::tolower('I'), 'i');
  }
  EXPECT_EQ(asciiUpper('i'), 'I');
  EXPECT_EQ(asciiLower('I'), 'i');
  EXPECT_EQ(asciiUppered("set-cookie: location"), "SET-COOKIE: LOCATION");
  EXPECT_EQ(asciiLowered("CONTENT-DISPOSITION"), "content-disposition");
  EXPECT_TRUE(asciiEqualNoCase("Location", "LOCATION"));
}

TEST_F(TurkishLocale, HeaderLinesAreFoundRegardlessOfCase) {
  TExStringList lines;
  lines.Add("Content-Disposition: inline");
  lines.Add("LOCATION: /here");
  EXPECT_EQ(lines.IndexOfHeader("content-disposition"), 0);
  EXPECT_EQ(lines.IndexOfHeader("Location"), 1);
  lines.SetHeaderValue("location", "/there");
  ASSERT_EQ(lines.Count(), 2);
  EXPECT_EQ(lines[1], "location: /there");
}

TEST_F(TurkishLocale, ReplyHeadersAreRecognisedRegardlessOfCase) {
  test::LoopbackServer target({reply("HTTP/1.0 200 OK\r\nset-cookie: k=v\r\n\r\nmoved body")});
  test::LoopbackServer origin({reply("HTTP/1.0 302 Found\r\nlocation: " +
                                     target.url("/new") + "\r\n\r\nold")});
  THttpClient http;
  int redirects = 0;
  http.OnRedirect = [&](THttpClient&, bool&) { ++redirects; };
  http.Get(origin.url("/old"));
  EXPECT_EQ(redirects, 1);
  EXPECT_EQ(http.ReplyNumber(), 200);
  EXPECT_EQ(http.Body, "moved body");
  EXPECT_EQ(http.ResponseCookie(), "k=v");
}

}  // namespace
}  // namespace glx
