// A blocking client for servers on 127.0.0.1 in tests: sends one request
// and reads until the server closes (or five seconds pass).
#pragma once

#include <string>

namespace glx::test {

std::string exchangeWithLoopback(int port, const std::string& request);

}  // namespace glx::test
