// The HTTP client: URLs, request bytes, replies, redirections, file modes and
// hostile servers, against scripted servers on 127.0.0.1.
#include <gtest/gtest.h>

#include <QTimer>
#include <algorithm>
#include <memory>
#include <new>

#include "net/http_client.h"
#include "platform/errors.h"
#include "tests/net/net_test_support.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

using test::raisedText;

using test::LoopbackServer;
using After = LoopbackServer::After;

LoopbackServer::Reply reply(std::string send, After after = After::Close) {
  LoopbackServer::Reply r;
  r.send = std::move(send);
  r.after = after;
  return r;
}

const char kAccept1[] = "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n";
const char kAccept2[] =
    "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n";
const char kContentType[] = "Content-type: application/x-www-form-urlencoded\r\n";

std::string sixLineGet(const std::string& path, const std::string& host) {
  return "GET " + path + " HTTP/1.0\r\nHost: " + host + "\r\n" + kAccept1 + kAccept2 +
         kContentType + "\r\n";
}

TEST(HttpClient, NewClientDefaults) {
  THttpClient http;
  EXPECT_EQ(http.Body, "Default.htm");
  EXPECT_EQ(http.Header, "Head.txt");
  EXPECT_FALSE(http.InputFileMode);
  EXPECT_FALSE(http.OutputFileMode);
  EXPECT_TRUE(http.DecodePostData());
  EXPECT_TRUE(http.HeaderInfo.Cookie.empty());
}

TEST(HttpClient, GetSendsTheSixLinesByteForByte) {
  // Without a network: the header for the default port.
  THttpClient offline;
  offline.SetRequestURL("http://update.tallowbrook.example/servlet/GLXUpdate?version=20");
  offline.ParseURL();
  offline.BuildRequestHeader();
  EXPECT_EQ(offline.Host, "update.tallowbrook.example");
  EXPECT_EQ(offline.Port, 80);
  EXPECT_EQ(offline.RequestText(),
            sixLineGet("/servlet/GLXUpdate?version=20", "update.tallowbrook.example"));

  // On the wire.
  LoopbackServer server({reply("HTTP/1.0 200 OK\r\n\r\ntrue")});
  THttpClient http;
  http.Get(server.url("/servlet/GLXUpdate?version=20"));
  EXPECT_EQ(server.received(0), sixLineGet("/servlet/GLXUpdate?version=20", "127.0.0.1"));
  EXPECT_EQ(http.Host, "127.0.0.1");
  EXPECT_EQ(http.Port, server.port());
  EXPECT_EQ(http.Body, "true");
}

TEST(HttpClient, GetThroughAProxy) {
  const std::string url = "http://update.tallowbrook.example/servlet/GLXUpdate?version=20";
  const std::string expected = "GET " + url + " HTTP/1.0\r\n" +
                               "Proxy-Connection: Keep-Alive\r\n" +
                               "Host: update.tallowbrook.example\r\n" + kAccept1 + kAccept2 +
                               kContentType + "\r\n";
  THttpClient offline;
  offline.Proxy = "proxy.invalid";
  offline.ProxyPort = 8080;
  offline.SetRequestURL(url);
  offline.ParseURL();
  offline.BuildRequestHeader();
  EXPECT_EQ(offline.RequestText(), expected);

  LoopbackServer proxy({reply("HTTP/1.0 200 OK\r\n\r\nfalse")});
  auto lookup = std::make_shared<test::ScriptedHostLookup>(test::ScriptedHostLookup::Mode::Unknown);
  THttpClient http(lookup);
  http.Proxy = "127.0.0.1";
  http.ProxyPort = proxy.port();
  http.Get(url);
  EXPECT_EQ(proxy.received(0), expected);
  EXPECT_EQ(http.RemotePort(), proxy.port());
  EXPECT_TRUE(lookup->names.empty());  // the origin host is never looked up
  EXPECT_EQ(http.Body, "false");
}

TEST(HttpClient, ParseURLForms) {
  struct Case {
    std::string url;
    int portBefore;
    std::string host, path, urlAfter;
    int port;
  } cases[] = {
      {"http://example.test", 0, "example.test", "/", "http://example.test/", 80},
      {"http://example.test/", 0, "example.test", "/", "http://example.test//", 80},
      {"http://example.test:8081/a/b?c=d", 0, "example.test", "/a/b?c=d",
       "http://example.test:8081/a/b?c=d", 8081},
      {"example.test/a/b", 0, "example.test", "/a/b", "example.test/a/b", 80},
      {"example.test/a/b", 1234, "example.test", "/a/b", "example.test/a/b", 1234},
      {"example.test:99/x", 0, "example.test", "/x", "example.test:99/x", 99},
      {"ftp://files.test/pub", 0, "files.test", "/pub", "ftp://files.test/pub", 21},
      {"gopher://hole.test/1", 0, "hole.test", "/1", "gopher://hole.test/1", 70},
      {"HTTP://upper.test/p", 8080, "upper.test", "/p", "HTTP://upper.test/p", 80},
      {"/only/a/path", 81, "kept.test", "/only/a/path", "/only/a/path", 81},
      {"plainhost", 0, "plainhost", "/", "plainhost/", 80},
  };
  for (const Case& c : cases) {
    THttpClient http;
    http.Host = "kept.test";
    http.Port = c.portBefore;
    http.SetRequestURL(c.url);
    http.ParseURL();
    EXPECT_EQ(http.Host, c.host) << c.url;
    EXPECT_EQ(http.Port, c.port) << c.url;
    EXPECT_EQ(http.RequestPath(), c.path) << c.url;
    EXPECT_EQ(http.RequestURL(), c.urlAfter) << c.url;
  }
  const std::string longPath(400, 'p');
  THttpClient http;
  http.SetRequestURL("http://h.test/" + longPath);
  http.ParseURL();
  EXPECT_EQ(http.RequestPath().size(), 256u);
}

TEST(HttpClient, BadURLsRaiseBeforeAnythingIsSent) {
  THttpClient http;
  EXPECT_EQ(raisedText<Error>([&] { http.Get(""); }), "Empty URL");
  EXPECT_EQ(raisedText<EConvertError>([&] { http.Get("http://h.test:abc/"); }),
            "'abc' is not a valid integer value");
  EXPECT_EQ(raisedText<EConvertError>([&] { http.Get("http://h.test:/"); }),
            "'' is not a valid integer value");
  EXPECT_FALSE(http.Connected());
}

TEST(HttpClient, SuccessfulReplyCollectsHeaderAndBody) {
  const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 4\r\n\r\n";
  LoopbackServer server({reply(head + "true")});
  THttpClient http;
  http.ReportLevel = 2;
  test::StatusLog log(http);
  std::vector<int> successes, failures;
  http.OnSuccess = [&](THttpClient&, CmdType cmd) { successes.push_back(cmd); };
  http.OnFailure = [&](THttpClient&, CmdType cmd) { failures.push_back(cmd); };
  int aboutToSend = 0;
  http.OnAboutToSend = [&](THttpClient&) { ++aboutToSend; };
  http.Get(server.url("/check"));
  EXPECT_EQ(http.Body, "true");
  EXPECT_EQ(http.ReplyNumber(), 200);
  EXPECT_EQ(http.Header, head);
  EXPECT_EQ(http.BytesTotal(), 4);
  EXPECT_EQ(successes, std::vector<int>{0});
  EXPECT_TRUE(failures.empty());
  EXPECT_EQ(aboutToSend, 1);
  EXPECT_TRUE(log.has("Transaction Completed"));
  EXPECT_FALSE(http.Connected());
  // The update check disconnects again: harmless.
  EXPECT_NO_THROW(http.Disconnect());
}

TEST(HttpClient, ErrorReplyFiresOnFailureWithoutException) {
  const std::string page = "<html>Not here</html>";
  LoopbackServer server({reply("HTTP/1.0 404 Not Found\r\n\r\n" + page)});
  THttpClient http;
  std::vector<int> failures;
  http.OnFailure = [&](THttpClient&, CmdType cmd) { failures.push_back(cmd); };
  EXPECT_NO_THROW(http.Get(server.url("/missing")));
  EXPECT_EQ(http.ReplyNumber(), 404);
  EXPECT_EQ(http.Body, page);
  EXPECT_EQ(failures, std::vector<int>{0});
}

TEST(HttpClient, AuthenticationNeededOn401) {
  LoopbackServer server({reply("HTTP/1.0 401 Unauthorized\r\n\r\n")});
  THttpClient http;
  int needed = 0;
  http.OnAuthenticationNeeded = [&](THttpClient&) { ++needed; };
  http.Get(server.url("/secret"));
  EXPECT_EQ(needed, 1);
}

TEST(HttpClient, RedirectionToAnotherURLIsFollowedAsGet) {
  LoopbackServer target({reply("HTTP/1.0 200 OK\r\n\r\nmoved body")});
  LoopbackServer origin({reply("HTTP/1.0 302 Found\r\nSet-Cookie: id=7; path=/\r\nLocation: " +
                               target.url("/new/place") + "\r\n\r\nold")});
  THttpClient http;
  int redirects = 0;
  http.OnRedirect = [&](THttpClient&, bool&) { ++redirects; };
  http.Post(origin.url("/form"), "a=1");
  EXPECT_EQ(redirects, 1);
  EXPECT_EQ(http.ReplyNumber(), 200);
  EXPECT_EQ(http.Body, "moved body");
  EXPECT_EQ(origin.received(0).rfind("POST /form HTTP/1.0\r\n", 0), 0u);
  EXPECT_EQ(http.HeaderInfo.Cookie, "id=7; path=/");
  const std::string second = target.received(0);
  EXPECT_EQ(second.rfind("GET /new/place HTTP/1.0\r\n", 0), 0u) << second;
  EXPECT_NE(second.find("\r\nCookie: id=7; path=/\r\n"), std::string::npos) << second;
  EXPECT_EQ(second.find("Content-Length"), std::string::npos) << second;
}

TEST(HttpClient, RedirectionWithoutSlashIsRelativeToTheServer) {
  LoopbackServer server({reply("HTTP/1.0 301 Moved\r\nLocation: next.html\r\n\r\n"),
                         reply("HTTP/1.0 200 OK\r\n\r\nnext")});
  THttpClient http;
  http.Get(server.url("/first"));
  EXPECT_EQ(http.Body, "next");
  EXPECT_EQ(server.received(1), sixLineGet("/next.html", "127.0.0.1"));
  EXPECT_EQ(http.RequestURL(), server.url("/next.html"));
}

TEST(HttpClient, HandledRedirectionStopsTheExchange) {
  LoopbackServer server({reply("HTTP/1.0 302 Found\r\nLocation: /elsewhere\r\n\r\n")});
  THttpClient http;
  http.OnRedirect = [&](THttpClient&, bool& handled) { handled = true; };
  http.Get(server.url("/"));
  EXPECT_EQ(http.ReplyNumber(), 302);
  EXPECT_EQ(server.connections(), 1u);
}

TEST(HttpClient, EndlessRedirectionsStopAfterTwentyRepetitions) {
  LoopbackServer server({reply("HTTP/1.0 302 Found\r\nLocation: /loop\r\n\r\n")},
                        /*repeatLast=*/true);
  THttpClient http;
  EXPECT_EQ(raisedText<ESockError>([&] { http.Get(server.url("/loop")); }),
            "Too many redirections");
  EXPECT_TRUE(server.waitEnded(20));
  EXPECT_EQ(server.connections(), 21u);
  EXPECT_FALSE(http.Connected());
}

TEST(HttpClient, BasicAuthorizationOnlyWithUserAndPassword) {
  struct Case {
    std::string user, password, line;
  } cases[] = {
      {"user", "pass", "Authorization: Basic dXNlcjpwYXNz"},
      {"user", "", ""},
      {"", "pass", ""},
      {std::string(30, 'u'), std::string(30, 'p'),
       "Authorization: Basic "
       "dXV1dXV1dXV1dXV1dXV1dXV1dXV1dXV1dXV1dXV1Ongnbn+"
       "cHBwcHBwcHBwcHBwcHBwcHBwcHBwcHBwcHBw"},
  };
  for (const Case& c : cases) {
    THttpClient http;
    http.HeaderInfo.UserId = c.user;
    http.HeaderInfo.Password = c.password;
    http.SetRequestURL("http://h.test/");
    http.ParseURL();
    http.BuildRequestHeader();
    const int i = http.RequestLines().IndexOfHeader("Authorization");
    if (c.line.empty()) {
      EXPECT_EQ(i, -1) << c.user << ":" << c.password;
    } else {
      ASSERT_GE(i, 0) << c.user;
      TUUProcessor enc;
      enc.InputStream = c.user + ":" + c.password;
      enc.Encode();
      std::string oneLine;
      for (char ch : enc.OutputStream) {
        if (ch != '\r' && ch != '\n') oneLine += ch;
      }
      EXPECT_EQ(http.RequestLines()[i], "Authorization: Basic " + oneLine) << c.user;
      EXPECT_EQ(http.RequestText().find("\r\n", http.RequestText().find("Authorization")),
                http.RequestText().find("Authorization") + http.RequestLines()[i].size())
          << c.user;
      if (c.user == "user") {
        EXPECT_EQ(http.RequestLines()[i], c.line);
      }
    }
  }
}

TEST(HttpClient, OptionalHeaderValuesInOrder) {
  THttpClient http;
  http.HeaderInfo.LocalMailAddress = "me@h.test";
  http.HeaderInfo.LocalProgram = "Glimmerax";
  http.HeaderInfo.Cookie = "a=b";
  http.HeaderInfo.Referer = "http://r.test/";
  http.SetRequestURL("http://h.test/x");
  http.ParseURL();
  http.BuildRequestHeader();
  EXPECT_EQ(http.RequestText(), std::string("GET /x HTTP/1.0\r\nHost: h.test\r\n") + kAccept1 +
                                    kAccept2 + "From: me@h.test\r\nUser-Agent: Glimmerax\r\n" +
                                    "Cookie: a=b\r\nReferer: http://r.test/\r\n" + kContentType +
                                    "\r\n");
}

TEST(HttpClient, CommandRequestLines) {
  struct Case {
    CmdType cmd;
    std::string first;
    std::string extra;  // lines after Content-type
  } cases[] = {
      {kCmdGet, "GET /p HTTP/1.0", ""},
      {kCmdOptions, "OPTIONS /p HTTP/1.0", ""},
      {kCmdHead, "HEAD /p HTTP/1.0", ""},
      {kCmdPost, "POST /p HTTP/1.0", "Content-Length: 4\r\n"},
      {kCmdPut, "PUT /p HTTP/1.0", "Content-Length: 4\r\n"},
      {kCmdPatch, "PATCH /p HTTP/1.0", "Content-Length: 4\r\n"},
      {kCmdCopy, "COPY /p HTTP/1.0", "URI-header: /t\r\n"},
      {kCmdMove, "MOVE /p HTTP/1.0", "URI-header: /t\r\n"},
      {kCmdDelete, "DELETE /p HTTP/1.0", ""},
      {kCmdLink, "LINK /p HTTP/1.0", "Link: /t\r\nContent-Length: 4\r\n"},
      {kCmdUnlink, "UNLINK /p HTTP/1.0", "Link: /t\r\nContent-Length: 4\r\n"},
      {kCmdTrace, "TRACE /p HTTP/1.0", "Content-Length: 4\r\n"},
  };
  for (const Case& c : cases) {
    THttpClient http;
    http.SetCommand(c.cmd);
    http.SetRequestData("data");
    http.SetRequestTarget("/t");
    http.SetRequestURL("http://h.test/p");
    http.ParseURL();
    http.BuildRequestHeader();
    EXPECT_EQ(http.RequestText(), c.first + "\r\nHost: h.test\r\n" + kAccept1 + kAccept2 +
                                      kContentType + c.extra + "\r\n")
        << c.first;
  }
}

TEST(HttpClient, CommandsOnTheWire) {
  struct Case {
    const char* name;
    std::function<void(THttpClient&, const std::string&)> run;
    std::string expectedStart, expectedEnd;
  } cases[] = {
      {"post decodes", [](THttpClient& h, const std::string& u) { h.Post(u, "a=b%20c+d"); },
       "POST /p HTTP/1.0\r\n", "Content-Length: 7\r\n\r\na=b c d"},
      {"put", [](THttpClient& h, const std::string& u) { h.Put(u, "x%20y"); },
       "PUT /p HTTP/1.0\r\n", "Content-Length: 5\r\n\r\nx%20y"},
      {"copy", [](THttpClient& h, const std::string& u) { h.Copy(u, "/t"); },
       "COPY /p HTTP/1.0\r\n", "URI-header: /t\r\n\r\n"},
      {"link", [](THttpClient& h, const std::string& u) { h.Link(u, "/t"); },
       "LINK /p HTTP/1.0\r\n", "Link: /t\r\nContent-Length: 0\r\n\r\n"},
      {"delete", [](THttpClient& h, const std::string& u) { h.Delete(u); },
       "DELETE /p HTTP/1.0\r\n", kContentType + std::string("\r\n")},
  };
  for (const Case& c : cases) {
    LoopbackServer::Reply r = reply("HTTP/1.0 200 OK\r\n\r\n");
    r.waitFor = c.expectedEnd;
    LoopbackServer server({r});
    THttpClient http;
    c.run(http, server.url("/p"));
    const std::string got = server.received(0);
    EXPECT_EQ(got.rfind(c.expectedStart, 0), 0u) << c.name << "\n" << got;
    ASSERT_GE(got.size(), c.expectedEnd.size()) << c.name;
    EXPECT_EQ(got.substr(got.size() - c.expectedEnd.size()), c.expectedEnd) << c.name;
  }
}

TEST(HttpClient, LongPostDataIsSentWhole) {
  const std::string data(40000, 'd');
  LoopbackServer::Reply r = reply("HTTP/1.0 200 OK\r\n\r\nok");
  r.waitFor = "\r\n\r\n" + data;
  LoopbackServer server({r});
  THttpClient http;
  http.Put(server.url("/big"), data);
  EXPECT_EQ(http.Body, "ok");
  EXPECT_NE(server.received(0).find("Content-Length: 40000\r\n"), std::string::npos);
}

TEST(HttpClient, ContentLengthIsRecordedWithOneOrTwoSpaces) {
  struct Case {
    std::string line;
    int32_t total;
    std::string body;
    bool complete;
  } cases[] = {
      {"Content-Length: 4\r\n", 4, "body", true},
      {"Content-Length:  4\r\n", 4, "body", true},
      {"CONTENT-LENGTH: 4\r\n", 4, "body", true},
      {"Content-Length: 0004 \r\n", 4, "body", true},
      // Not a Content-Length line at all: the name is followed by a blank.
      {"Content-Length:1234\r\n", 0, "body", true},
      // Lengths a 64-bit size holds but no 32-bit counter: the body is
      // short of them.
      {"Content-Length: 99999999999\r\n", INT32_MAX, "body", false},
      {"Content-Length: 18446744073709551615\r\n", INT32_MAX, "body", false},
  };
  for (const Case& c : cases) {
    THttpClient http;
    http.FeedReceived("HTTP/1.0 200 OK\r\n" + c.line + "\r\nbody");
    http.ReadResponse();
    EXPECT_EQ(http.BytesTotal(), c.total) << c.line;
    EXPECT_EQ(http.Body, c.body) << c.line;
    EXPECT_EQ(http.ReplyComplete(), c.complete) << c.line;
  }
}

// Content-Length values that do not read as a size: each makes the reply
// damaged, never one "without a length" whose body runs to the close.
const char* const kDamagedLengths[] = {
    "18446744073709551616",  // 2^64
    "99999999999999999999999",
    "12a",
    "x56",
    "-1",
    "+5",
    "1 2",
    " ",
    "",
};

TEST(HttpClient, ContentLengthThatIsNoSizeMakesTheReplyDamaged) {
  for (const char* value : kDamagedLengths) {
    THttpClient http;
    http.FeedReceived(std::string("HTTP/1.0 200 OK\r\nContent-Length: ") + value + "\r\n\r\ntrue");
    EXPECT_NO_THROW(http.ReadResponse()) << value;
    EXPECT_FALSE(http.ReplyComplete()) << value;
    EXPECT_EQ(http.Body, "") << value;
    EXPECT_EQ(http.ReplyNumber(), 200) << value;
  }
}

struct FedReply {
  const char* name;
  std::string bytes;
  int reply;
  std::string header;
  std::string body;
  std::string error;  // empty: no exception
};

std::vector<FedReply> fedReplies() {
  return {
      {"plain", "HTTP/1.0 200 OK\r\nA: b\r\n\r\nbody", 200, "HTTP/1.0 200 OK\r\nA: b\r\n\r\n",
       "body", ""},
      {"bare line feeds", "HTTP/1.0 404 No\nA: b\n\nbody\n", 404, "HTTP/1.0 404 No\nA: b\n\n",
       "body\n", ""},
      {"absurd number", "HTTP/1.0 99999999999999999999 Odd\r\n\r\nx", 0,
       "HTTP/1.0 99999999999999999999 Odd\r\n\r\n", "x", ""},
      {"negative number", "HTTP/1.0 -5 Odd\r\n\r\n", -5, "HTTP/1.0 -5 Odd\r\n\r\n", "", ""},
      {"no number", "garbage\r\n\r\nx", 0, "garbage\r\n\r\n", "x", ""},
      {"cut in header", "HTTP/1.0 200 OK\r\nContent-Ty", 200, "HTTP/1.0 200 OK\r\nContent-Ty",
       "", ""},
      {"no blank line", "HTTP/1.0 200 OK\r\nA: b\r\n", 200, "HTTP/1.0 200 OK\r\nA: b\r\n", "",
       ""},
      {"nothing", "", 0, "", "", ""},
      {"endless header line", "HTTP/1.0 200 OK\r\nX: " + std::string(70000, 'x'), 200, "", "",
       "Response header line too long"},
      {"endless status line", std::string(70000, 'H') + "\r\n", 0, "", "",
       "Response header line too long"},
      {"line of 64 KiB", "HTTP/1.0 200 OK\r\nX: " + std::string(65536 - 5, 'x') + "\r\n\r\nb",
       200, "", "b", ""},
      {"header too large", "HTTP/1.0 200 OK\r\n" + [] {
         std::string many;
         for (int i = 0; i < 2000; ++i) many += "X: " + std::string(1000, 'y') + "\r\n";
         return many;
       }(),
       200, "", "", "Response header too large"},
      {"zero bytes", std::string("HTTP/1.0 200 OK\r\nA: \0\r\n\r\n\0b", 27), 200,
       std::string("HTTP/1.0 200 OK\r\nA: \0\r\n\r\n", 25), std::string("\0b", 2), ""},
  };
}

TEST(HttpClient, FedRepliesReadThroughTheClientsOwnPath) {
  for (const FedReply& c : fedReplies()) {
    THttpClient http;
    http.FeedReceived(c.bytes);
    if (!c.error.empty()) {
      EXPECT_EQ(raisedText<ESockError>([&] { http.ReadResponse(); }), c.error) << c.name;
      continue;
    }
    EXPECT_NO_THROW(http.ReadResponse()) << c.name;
    EXPECT_EQ(http.ReplyNumber(), c.reply) << c.name;
    if (!c.header.empty() || c.bytes.empty()) {
      EXPECT_EQ(http.Header, c.header) << c.name;
    }
    EXPECT_EQ(http.Body, c.body) << c.name;
  }
}

TEST(HttpClient, ReplySplitIntoSingleBytesReadsTheSame) {
  const std::string head = "HTTP/1.0 200 OK\r\nSet-Cookie: k=v\r\nContent-Length: 12\r\n\r\n";
  LoopbackServer::Reply r = reply(head + "split answer");
  r.piece = 1;
  LoopbackServer server({r});
  THttpClient http;
  http.Get(server.url("/"));
  EXPECT_EQ(http.ReplyNumber(), 200);
  EXPECT_EQ(http.Header, head);
  EXPECT_EQ(http.Body, "split answer");
  EXPECT_EQ(http.BytesTotal(), 12);
  EXPECT_EQ(http.ResponseCookie(), "k=v");
}

TEST(HttpClient, ReplyCutInsideTheHeaderEnds) {
  LoopbackServer server({reply("HTTP/1.0 200 OK\r\nContent-Ty")});
  THttpClient http;
  http.Get(server.url("/"));
  EXPECT_EQ(http.ReplyNumber(), 200);
  EXPECT_EQ(http.Header, "HTTP/1.0 200 OK\r\nContent-Ty");
  EXPECT_EQ(http.Body, "");
}

TEST(HttpClient, ServerResettingMidReplyEndsTheExchange) {
  LoopbackServer server({reply("HTTP/1.0 200 OK\r\n\r\npart", After::Reset)});
  THttpClient http;
  EXPECT_NO_THROW(http.Get(server.url("/")));
  EXPECT_FALSE(http.Connected());
}

TEST(HttpClient, ServerThatNeverClosesIsCanceled) {
  LoopbackServer server({reply("HTTP/1.0 200 OK\r\n\r\nhalf", After::KeepOpen),
                         reply("HTTP/1.0 200 OK\r\n\r\nsecond")});
  THttpClient http;
  QTimer::singleShot(200, [&] { http.Cancel(); });
  EXPECT_EQ(raisedText<EAbortError>([&] { http.Get(server.url("/")); }),
            "Socket capture aborted");
  EXPECT_FALSE(http.Connected());
  EXPECT_TRUE(server.waitEnded(0));
  // The client is usable again.
  http.Get(server.url("/"));
  EXPECT_EQ(http.Body, "second");
}

TEST(HttpClient, RefusedConnectionAndUnknownHost) {
  THttpClient http;
  http.TimeOut = 5000;
  EXPECT_EQ(raisedText<ESockError>([&] {
              http.Get("http://127.0.0.1:" + std::to_string(test::closedPort()) + "/");
            }),
            "Connection Failed");
  auto lookup = std::make_shared<test::ScriptedHostLookup>(test::ScriptedHostLookup::Mode::Unknown);
  THttpClient unknown(lookup);
  EXPECT_EQ(raisedText<ESockError>([&] { unknown.Get("http://no-such-host.invalid/x"); }),
            "Null Remote Address");
  EXPECT_EQ(lookup->names, std::vector<std::string>{"no-such-host.invalid"});
}

TEST(HttpClient, TimeOutEndsAPendingLookupAtOnce) {
  auto lookup = std::make_shared<test::ScriptedHostLookup>(test::ScriptedHostLookup::Mode::Never);
  THttpClient http(lookup);
  http.TimeOut = 100;
  EXPECT_EQ(raisedText<ESockError>([&] { http.Get("http://silent.invalid/"); }),
            "Host Lookup Timed Out");
}

TEST(HttpClient, FileModes) {
  test::TempDir dir;
  const std::string head = "HTTP/1.0 200 OK\r\nA: b\r\n\r\n";
  const std::string data = std::string(30000, 'q');
  const std::string dataFile = dir.write("post.dat", data);
  LoopbackServer::Reply r = reply(head + "file body");
  r.waitFor = "\r\n\r\n" + data;
  LoopbackServer server({r});
  THttpClient http;
  http.InputFileMode = true;
  http.OutputFileMode = true;
  http.Body = dir / "body.htm";
  http.Header = dir / "head.txt";
  http.Post(server.url("/upload"), dataFile);
  EXPECT_EQ(dir.read("body.htm"), "file body");
  EXPECT_EQ(dir.read("head.txt"), head);
  const std::string sent = server.received(0);
  EXPECT_NE(sent.find("Content-Length: 30000\r\n"), std::string::npos);
  EXPECT_EQ(sent.substr(sent.size() - data.size()), data);
}

TEST(HttpClient, FileModeFailures) {
  test::TempDir dir;
  dir.write("file", "x");
  {
    LoopbackServer server({reply("HTTP/1.0 200 OK\r\n\r\nbody")});
    THttpClient http;
    http.InputFileMode = true;
    http.Body = dir / "file/body.htm";  // a file stands where the folder should be
    EXPECT_THROW(http.Get(server.url("/")), EInOutError);
    EXPECT_FALSE(http.Connected());
  }
  {
    THttpClient http;
    http.OutputFileMode = true;
    EXPECT_EQ(raisedText<EInOutError>([&] { http.Post("http://127.0.0.1/", dir / "none.dat"); }),
              "File not found");
  }
}

// Cancels a client after a generous limit, so that a test of a reply that
// must end by itself fails instead of hanging.
class Watchdog {
 public:
  Watchdog(TSockClient& client, int ms) {
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, [&client] { client.Cancel(); });
    m_timer.start(ms);
  }

 private:
  QTimer m_timer;
};

TEST(HttpClient, AnnouncedLengthEndsTheBodyWhileTheConnectionStaysOpen) {
  test::TempDir dir;
  struct Case {
    const char* name;
    std::string send;
    std::string body;
    bool fileMode;
    size_t piece;
    bool head = false;
  } cases[] = {
      {"four bytes", "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\ntrue", "true", false, 0},
      {"reply to HEAD", "HTTP/1.0 200 OK\r\nContent-Length: 1234\r\n\r\n", "", false, 0, true},
      {"no content", "HTTP/1.0 204 No Content\r\nContent-Length: 10\r\n\r\n", "", false, 0},
      {"empty body", "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", "", false, 0},
      {"in pieces", "HTTP/1.0 200 OK\r\nContent-Length: 12\r\n\r\nsplit answer", "split answer",
       false, 3},
      {"bytes beyond the length", "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\ntrueMORE", "true",
       false, 0},
      {"large body", "HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(100000, 'b'),
       std::string(100000, 'b'), false, 0},
      {"file mode", "HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\nfile body", "file body", true, 0},
  };
  for (const Case& c : cases) {
    LoopbackServer::Reply r = reply(c.send, After::KeepOpen);
    r.piece = c.piece;
    LoopbackServer server({r});
    THttpClient http;
    if (c.fileMode) {
      http.InputFileMode = true;
      http.Body = dir / "body.htm";
    }
    Watchdog watchdog(http, 10000);
    if (c.head) {
      EXPECT_NO_THROW(http.Head(server.url("/"))) << c.name;
    } else {
      EXPECT_NO_THROW(http.Get(server.url("/"))) << c.name;
    }
    EXPECT_EQ(c.fileMode ? dir.read("body.htm") : http.Body, c.body) << c.name;
    EXPECT_TRUE(http.ReplyComplete()) << c.name;
    EXPECT_FALSE(http.Connected()) << c.name;
    EXPECT_TRUE(server.waitEnded(0)) << c.name;  // the client closed the kept connection
  }
}

TEST(HttpClient, CutOffRepliesAreIncomplete) {
  const std::string head40 = "HTTP/1.0 200 OK\r\nContent-Length: 40\r\n\r\n";
  struct Case {
    const char* name;
    std::string send;
    After after;
    bool complete;
  } cases[] = {
      {"whole, with a length", head40 + std::string(40, 'x'), After::Close, true},
      {"whole, closed without a length", "HTTP/1.0 200 OK\r\n\r\nbody", After::Close, true},
      {"reset after 36 of 40", head40 + std::string(36, 'x'), After::Reset, false},
      {"closed after 36 of 40", head40 + std::string(36, 'x'), After::Close, false},
      {"closed inside the header", "HTTP/1.0 200 OK\r\nContent-Ty", After::Close, false},
      {"closed before the empty line", "HTTP/1.0 200 OK\r\nA: b\r\n", After::Close, false},
      {"reset without a length", "HTTP/1.0 200 OK\r\n\r\nbody", After::Reset, false},
      {"nothing at all", "", After::Close, false},
  };
  for (const Case& c : cases) {
    LoopbackServer server({reply(c.send, c.after)});
    THttpClient http;
    Watchdog watchdog(http, 10000);
    EXPECT_NO_THROW(http.Get(server.url("/"))) << c.name;
    EXPECT_EQ(http.ReplyComplete(), c.complete) << c.name;
  }
}

TEST(HttpClient, StatusTextsOfAnExchangeAndOfDestruction) {
  LoopbackServer server({reply("HTTP/1.0 200 OK\r\n\r\ntrue")});
  std::vector<std::string> texts;
  {
    THttpClient http;
    http.ReportLevel = 8;
    http.OnStatus = [&](TSockClient&, const std::string& text) { texts.push_back(text); };
    http.Get(server.url("/"));
  }
  // The request goes out through Write, which hands it on as a buffer.
  const auto write = std::find(texts.begin(), texts.end(), "Write");
  ASSERT_NE(write, texts.end());
  ASSERT_NE(write + 1, texts.end());
  EXPECT_EQ(*(write + 1), "Sending Buffer");
  EXPECT_LT(write - texts.begin(), std::find(texts.begin(), texts.end(), "ReadLn") - texts.begin());
  // Destruction: "Destroy", the client's Abort (which cancels), then Cancel.
  const auto destroy = std::find(texts.begin(), texts.end(), "Destroy");
  ASSERT_NE(destroy, texts.end());
  EXPECT_EQ(std::vector<std::string>(destroy, texts.end()),
            (std::vector<std::string>{"Destroy", "Canceling", "Canceling"}));

  // The socket client alone: its Abort does nothing.
  texts.clear();
  {
    TSockClient plain;
    plain.ReportLevel = 8;
    plain.OnStatus = [&](TSockClient&, const std::string& text) { texts.push_back(text); };
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"Destroy", "Canceling"}));
}

TEST(HttpClient, BodyLimitEndsTheExchange) {
  const std::string big(3 * 1024 * 1024, 'z');
  struct Case {
    const char* name;
    std::string head;
    After after;
  } cases[] = {
      {"no length, closed", "HTTP/1.0 200 OK\r\n\r\n", After::Close},
      {"no length, kept open", "HTTP/1.0 200 OK\r\n\r\n", After::KeepOpen},
      {"announced too long", "HTTP/1.0 200 OK\r\nContent-Length: 3145728\r\n\r\n", After::KeepOpen},
  };
  for (const Case& c : cases) {
    LoopbackServer::Reply r = reply(c.head, c.after);
    r.body = std::make_shared<const std::string>(big);
    LoopbackServer server({r, reply("HTTP/1.0 200 OK\r\n\r\nsmall")});
    THttpClient http;
    http.MaxBodySize = 1024 * 1024;
    Watchdog watchdog(http, 10000);
    EXPECT_EQ(raisedText<ESockError>([&] { http.Get(server.url("/")); }), "Response body too large")
        << c.name;
    EXPECT_TRUE(http.BodyTooLarge()) << c.name;
    EXPECT_LE(http.Body.size(), 1024u * 1024) << c.name;
    EXPECT_FALSE(http.Connected()) << c.name;
    // A reply within the limit is read as ever.
    http.Get(server.url("/"));
    EXPECT_EQ(http.Body, "small") << c.name;
    EXPECT_FALSE(http.BodyTooLarge()) << c.name;
  }
}

TEST(HttpClient, AllocationFailureWhileReadingSurfaces) {
  LoopbackServer server({reply("HTTP/1.0 200 OK\r\n\r\n" + std::string(200000, 'm')),
                         reply("HTTP/1.0 200 OK\r\n\r\nafter")});
  THttpClient http;
  http.OnPacketRecvd = [](TSockClient&) { throw std::bad_alloc(); };
  Watchdog watchdog(http, 10000);
  EXPECT_THROW(http.Get(server.url("/")), std::bad_alloc);
  EXPECT_FALSE(http.Connected());
  http.OnPacketRecvd = nullptr;
  http.Get(server.url("/"));
  EXPECT_EQ(http.Body, "after");
}

TEST(HttpClient, PortsOutsideTheirRangeAreRefused) {
  struct Case {
    const char* url;
    const char* error;  // empty: accepted
    int port;
  } cases[] = {
      {"http://h.test:0/", "'0' is not a valid port number (1 to 65535)", 0},
      {"http://h.test:65536/", "'65536' is not a valid port number (1 to 65535)", 0},
      {"http://h.test:83726/", "'83726' is not a valid port number (1 to 65535)", 0},
      {"http://h.test:-1/", "'-1' is not a valid port number (1 to 65535)", 0},
      {"h.test:99999/x", "'99999' is not a valid port number (1 to 65535)", 0},
      {"http://h.test:1/", "", 1},
      {"http://h.test:65535/", "", 65535},
  };
  for (const Case& c : cases) {
    THttpClient http;
    http.SetRequestURL(c.url);
    if (*c.error) {
      EXPECT_EQ(raisedText<EConvertError>([&] { http.ParseURL(); }), c.error) << c.url;
    } else {
      EXPECT_NO_THROW(http.ParseURL()) << c.url;
      EXPECT_EQ(http.Port, c.port) << c.url;
    }
  }
  // A proxy port that would wrap round to a listening port (83726 is
  // 18190 in 16 bits) connects nowhere.
  LoopbackServer server({reply("HTTP/1.0 200 OK\r\n\r\nproxied")});
  THttpClient http;
  http.Proxy = "127.0.0.1";
  http.ProxyPort = server.port() + 65536;
  const std::string wrapped = std::to_string(http.ProxyPort);
  EXPECT_EQ(raisedText<EConvertError>([&] { http.Get("http://h.test/"); }),
            "'" + wrapped + "' is not a valid port number (1 to 65535)");
  EXPECT_EQ(server.connections(), 0u);
  EXPECT_FALSE(http.Connected());
}

TEST(HttpClient, LocationWithControlBytesIsRefused) {
  for (const std::string& bad : {std::string("/next\rX-Injected: yes"), std::string("/next\x01"),
                                std::string("/ne xt"), std::string("/next\t"),
                                std::string("/next\x7f"), std::string(" /next")}) {
    LoopbackServer server({reply("HTTP/1.0 302 Found\r\nLocation: " + bad + "\r\n\r\n")},
                          /*repeatLast=*/true);
    THttpClient http;
    Watchdog watchdog(http, 10000);
    EXPECT_EQ(raisedText<ESockError>([&] { http.Get(server.url("/first")); }),
              "Redirection refused: its location holds a blank or a control character")
        << bad;
    EXPECT_EQ(server.connections(), 1u) << bad;
    EXPECT_FALSE(http.Connected());
  }
  // A clean location is followed as before.
  LoopbackServer server({reply("HTTP/1.0 302 Found\r\nLocation: /next?a=1&b=%20\r\n\r\n"),
                         reply("HTTP/1.0 200 OK\r\n\r\nnext")});
  THttpClient http;
  http.Get(server.url("/first"));
  EXPECT_EQ(http.Body, "next");
  EXPECT_EQ(server.received(1).rfind("GET /next?a=1&b=%20 HTTP/1.0\r\n", 0), 0u);
}

TEST(HttpClient, ContentLengthThatIsNoSizeFromARealServer) {
  for (const char* value : kDamagedLengths) {
    for (const After after : {After::Close, After::KeepOpen}) {
      LoopbackServer server(
          {reply(std::string("HTTP/1.0 200 OK\r\nContent-Length: ") + value + "\r\n\r\ntrue", after)});
      THttpClient http;
      Watchdog watchdog(http, 10000);  // a kept connection must not be waited on
      EXPECT_NO_THROW(http.Get(server.url("/"))) << value;
      EXPECT_FALSE(http.ReplyComplete()) << value;
      EXPECT_EQ(http.Body, "") << value;
    }
  }
}

TEST(HttpClient, ReceiveTimeOutEndsTheWaitForASilentServer) {
  // One that never sends a byte, and one that stops inside the header and
  // inside the body; each stays connected.
  const char* const sends[] = {"", "HTTP/1.0 200 OK\r\nContent-Le", "HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\ntrue"};
  for (const char* send : sends) {
    for (const bool fileMode : {false, true}) {
      test::TempDir dir;
      LoopbackServer server({reply(send, After::KeepOpen)});
      THttpClient http;
      http.ReceiveTimeOut = 200;
      if (fileMode) {
        http.InputFileMode = true;
        http.Body = dir / "body";
      }
      Watchdog watchdog(http, 10000);
      EXPECT_EQ(raisedText<ESockError>([&] { http.Get(server.url("/")); }), "Receive Timed out") << send;
      EXPECT_TRUE(http.ReceiveTimedOut()) << send;
      EXPECT_FALSE(http.Connected()) << send;
      // The next exchange starts afresh.
      LoopbackServer quick({reply("HTTP/1.0 200 OK\r\n\r\nok")});
      http.InputFileMode = false;
      http.Get(quick.url("/"));
      EXPECT_FALSE(http.ReceiveTimedOut());
      EXPECT_EQ(http.Body, "ok");
    }
  }
}

}  // namespace
}  // namespace glx
