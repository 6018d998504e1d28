// Failures of the socket client and the HTTP layer, and the table that turns
// socket error numbers (the Winsock numbering the program's texts use) into
// texts.
#pragma once

#include <string>

#include "platform/errors.h"

namespace glx {

// A socket failure: lookup, connection, a socket error, a broken exchange.
class ESockError : public Error {
 public:
  using Error::Error;
};

// A transfer ended by Cancel.
class EAbortError : public Error {
 public:
  using Error::Error;
};

// The run-time's range check failure.
class ERangeError : public Error {
 public:
  ERangeError() : Error("Range check error") {}
};

// The Winsock error numbers this layer produces.
inline constexpr int kWsaEWouldBlock = 10035;
inline constexpr int kWsaENotConn = 10057;
inline constexpr int kWsaEConnReset = 10054;
inline constexpr int kWsaHostNotFound = 11001;
inline constexpr int kWsaTryAgain = 11002;
inline constexpr int kWsaNoRecovery = 11003;
inline constexpr int kWsaNoData = 11004;

// Raises "'text' is not a valid port number (1 to 65535)" unless port is
// one: a larger number would wrap round to another port.
void checkPortNumber(long long port, const std::string& text);

// "10061:Connection refused"; "" for 0; "Unknown Error No. N" for a number
// the table does not know.
std::string socketErrorText(int number);

// The Winsock number standing for an errno value of a socket call.
int winsockErrorFromErrno(int errnoValue);

}  // namespace glx
