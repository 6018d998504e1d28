// A server's reply of any bytes, fed through the socket client's receive
// queue without a network: the status line, header lines and body give a
// reply or one of the client's errors, and a reply that was read keeps
// every byte, header then body.
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
  if (http.Header + http.Body != bytes) std::abort();
  if (!http.QueuedReceived().empty()) std::abort();
  return 0;
}
