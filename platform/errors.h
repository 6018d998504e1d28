// Exceptions that carry the program's own message texts. A command that
// does not catch one ends, and the application's standard error box shows
// what() to the user.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace glx {

// Base of every failure the program reports by its message text.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The run-time's input/output error: "File not found", "File access denied",
// "Disk full" or "I/O error %d" with the system's error code.
class EInOutError : public Error {
 public:
  EInOutError(int code, const std::string& message) : Error(message), m_code(code) {}
  int code() const { return m_code; }

 private:
  int m_code;
};

// The run-time's conversion error, e.g. "'%s' is not a valid integer value".
class EConvertError : public Error {
 public:
  using Error::Error;
};

// The input/output error for an errno value.
EInOutError inOutError(int errnoValue);

// How every message shows a value that came from outside (a project file,
// the usage log, a setting): a text of at most kShownValueLength
// characters as it stands; a longer one as its first kShownValueLength
// characters, "..." and its length with thousands separators, so that no
// message box is ever asked to lay out megabytes.
inline constexpr size_t kShownValueLength = 80;
// "abc", or "7777...7... (52,428,800 characters)"
std::string shownValue(const std::string& text);
// "'abc'", or "'7777...7...' (52,428,800 characters)"; quote is the mark
// put around the text.
std::string quotedValue(const std::string& text, char quote = '\'');
// 52428800 -> "52,428,800"
std::string withThousandsSeparators(size_t number);

// "'text' is not a valid integer value", the text quoted by quotedValue
EConvertError invalidInteger(const std::string& text);

// Parses a whole text as a decimal (or "$"-prefixed hexadecimal) 32-bit
// integer, blanks around it allowed, as the run-time's StrToInt does;
// throws invalidInteger(text) otherwise.
int strToInt(const std::string& text);

}  // namespace glx
