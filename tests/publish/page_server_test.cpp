#include "publish/page_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/loopback_client.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

using test::TempDir;

std::string exchange(int port, const std::string& request) { return test::exchangeWithLoopback(port, request); }

std::string statusLine(const std::string& answer) { return answer.substr(0, answer.find("\r\n")); }

std::string body(const std::string& answer) {
  const size_t end = answer.find("\r\n\r\n");
  return end == std::string::npos ? "" : answer.substr(end + 4);
}

struct Site {
  TempDir dir;
  std::string folder = dir.mkdir("Applet Temp");
  PageServer server{folder};
  std::string host;

  Site() {
    dir.write("Applet Temp/Applet Temp.html", "<HTML>page</HTML>\r\n");
    dir.write("Applet Temp/sun.gif", std::string("GIF89a\0\x01", 8));
    dir.write("Applet Temp/sub/inner.gif", "GIF89a");
    dir.write("Applet Temp/.hidden", "secret");
    dir.write("secret.txt", "root:x:0:0");
    std::filesystem::create_symlink(dir / "secret.txt", dir / "Applet Temp/link.gif");
    server.start();
    host = "127.0.0.1:" + std::to_string(server.port());
  }
  std::string get(const std::string& target, const std::string& method = "GET") const {
    return method + " " + target + " HTTP/1.1\r\nHost: " + host + "\r\nUser-Agent: test\r\n\r\n";
  }
};

TEST(PageServer, ServesTheFolderFilesOverLoopbackWithTheirTypes) {
  Site site;
  ASSERT_TRUE(site.server.running());
  EXPECT_EQ(site.server.addressOf("Applet Temp.html"),
            "http://" + site.host + "/Applet%20Temp.html");

  const std::string page = exchange(site.server.port(), site.get("/Applet%20Temp.html"));
  EXPECT_EQ(statusLine(page), "HTTP/1.1 200 OK");
  EXPECT_NE(page.find("Content-Type: text/html\r\n"), std::string::npos) << page;
  EXPECT_NE(page.find("Cache-Control: no-store\r\n"), std::string::npos) << page;
  EXPECT_EQ(body(page), "<HTML>page</HTML>\r\n");

  const std::string picture = exchange(site.server.port(), site.get("/sun.gif?t=1"));
  EXPECT_NE(picture.find("Content-Type: image/gif\r\n"), std::string::npos) << picture;
  EXPECT_EQ(body(picture), std::string("GIF89a\0\x01", 8));

  const std::string head = exchange(site.server.port(), site.get("/sun.gif", "HEAD"));
  EXPECT_EQ(statusLine(head), "HTTP/1.1 200 OK");
  EXPECT_NE(head.find("Content-Length: 8\r\n"), std::string::npos) << head;
  EXPECT_EQ(body(head), "");
}

TEST(PageServer, RefusesWhatIsNotAFileOfTheFolderOrComesThroughAnotherName) {
  Site site;
  struct Case {
    std::string request;
    std::string status;
  };
  const std::string other = "GET /sun.gif HTTP/1.1\r\nHost: ";
  const std::vector<Case> cases = {
      {site.get("/../secret.txt"), "HTTP/1.1 404 Not Found"},
      {site.get("/%2e%2e%2fsecret.txt"), "HTTP/1.1 404 Not Found"},
      {site.get("/sub/inner.gif"), "HTTP/1.1 404 Not Found"},
      {site.get("/sub"), "HTTP/1.1 404 Not Found"},
      {site.get("/.hidden"), "HTTP/1.1 404 Not Found"},
      {site.get("/link.gif"), "HTTP/1.1 404 Not Found"},
      {site.get("/missing.gif"), "HTTP/1.1 404 Not Found"},
      {site.get("/"), "HTTP/1.1 404 Not Found"},
      {site.get("/%zz"), "HTTP/1.1 404 Not Found"},
      {site.get("/sun.gif%00.html"), "HTTP/1.1 404 Not Found"},
      {site.get("/sun.gif", "POST"), "HTTP/1.1 405 Method Not Allowed"},
      {other + "evil.example:" + std::to_string(site.server.port()) + "\r\n\r\n", "HTTP/1.1 403 Forbidden"},
      {other + "localhost:" + std::to_string(site.server.port()) + "\r\n\r\n", "HTTP/1.1 403 Forbidden"},
      {"GET /sun.gif HTTP/1.1\r\n\r\n", "HTTP/1.1 403 Forbidden"},
      {"nonsense\r\n\r\n", "HTTP/1.1 400 Bad Request"},
  };
  for (const Case& c : cases) {
    const std::string answer = site.server.answer(c.request.substr(0, c.request.size() - 2));
    EXPECT_EQ(statusLine(answer), c.status) << c.request;
    EXPECT_EQ(answer.find("root:"), std::string::npos) << c.request;
  }
  // The same over the socket, for the worst of them.
  EXPECT_EQ(statusLine(exchange(site.server.port(), site.get("/link.gif"))), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(statusLine(exchange(site.server.port(), std::string(20000, 'x'))),
            "HTTP/1.1 431 Request Header Fields Too Large");
}

TEST(PageServer, AnIdleConnectionDoesNotHoldUpTheOthers) {
  Site site;
  // A browser's speculative connection that never sends a request.
  const int idle = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(site.server.port()));
  ASSERT_EQ(::connect(idle, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_EQ(statusLine(exchange(site.server.port(), site.get("/sun.gif"))), "HTTP/1.1 200 OK");
  ::close(idle);
}

}  // namespace
}  // namespace glx
