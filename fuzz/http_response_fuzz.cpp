// A server's reply of any bytes, fed through the socket client's receive
// queue without a network: the status line, header lines and body give a
// reply or one of the client's errors. What the client promises of a reply
// it read: the header is the start of what was fed, the body a prefix of
// what followed it, no longer than an announced length and, when the reply
// counts as whole, exactly that length (or, without a length, all of it).
#include <QCoreApplication>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "net/http_client.h"
#include "net/sock_errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int argc = 1;
  static char name[] = "http_response_fuzz";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);

  const std::string bytes = glx::fuzz::bytesOf(data, size);
  glx::THttpClient http;
  http.FeedReceived(bytes);
  try {
    http.ReadResponse();
  } catch (const glx::ESockError&) {
    return 0;
  }
  const std::string& header = http.Header;
  const std::string& body = http.Body;
  if (bytes.compare(0, header.size(), header) != 0) std::abort();
  const std::string rest = bytes.substr(header.size());
  if (body.size() > rest.size() || rest.compare(0, body.size(), body) != 0) std::abort();

  const int reply = http.ReplyNumber();
  if (reply == 204 || reply == 304) {
    if (!body.empty()) std::abort();
  } else if (const std::optional<int64_t> length = http.AnnouncedLength()) {
    const auto have = static_cast<int64_t>(body.size());
    if (have > *length) std::abort();
    if (http.ReplyComplete() && have != *length) std::abort();
  } else if (http.ReplyComplete() && body != rest) {
    std::abort();
  }
  return 0;
}
