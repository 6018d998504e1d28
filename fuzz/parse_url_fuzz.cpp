// A request address of any bytes: splitting it gives a host, port and path
// or an error, and the request header built from them never crashes.
#include <QCoreApplication>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "net/http_client.h"
#include "platform/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int argc = 1;
  static char name[] = "parse_url_fuzz";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);

  glx::THttpClient http;
  http.SetRequestURL(glx::fuzz::bytesOf(data, size));
  try {
    http.ParseURL();
    http.BuildRequestHeader();
    (void)http.RequestText();
  } catch (const glx::Error&) {
  }
  return 0;
}
