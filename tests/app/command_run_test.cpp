// How the command-line commands end: exit code and the lines on the error
// stream for each kind of failure.
#include "app/command_run.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <sstream>
#include <stdexcept>

#include "platform/errors.h"

namespace glx {
namespace {

// Names the failures of one kind, as the publish command does for its conflicts.
std::string adviseOnRange(const std::exception& e) {
  return dynamic_cast<const std::range_error*>(&e) ? "Try a smaller one." : "";
}

TEST(CommandRun, ExitCodeAndErrorLinesForEachEnding) {
  struct Case {
    const char* name;
    std::function<void()> body;
    FailureAdvice advice;
    int exitCode;
    std::string err;
  };
  const Case cases[] = {
      {"ends", [] {}, {}, 0, ""},
      {"ends, with advice", [] {}, adviseOnRange, 0, ""},
      {"out of memory", [] { throw std::bad_alloc(); }, {}, 1, "Out of memory\n"},
      {"out of memory, with advice", [] { throw std::bad_alloc(); }, adviseOnRange, 1, "Out of memory\n"},
      {"the program's error", [] { throw EInOutError(2, "File not found"); }, {}, 1, "File not found\n"},
      {"a library's error", [] { throw std::invalid_argument("bad"); }, adviseOnRange, 1, "bad\n"},
      {"an error that is advised on", [] { throw std::range_error("too big"); }, adviseOnRange,
       1, "too big\nTry a smaller one.\n"},
  };
  for (const Case& c : cases) {
    std::ostringstream out, err;
    EXPECT_EQ(runCommandBody(out, err, c.body, c.advice), c.exitCode) << c.name;
    EXPECT_EQ(out.str(), "") << c.name;
    EXPECT_EQ(err.str(), c.err) << c.name;
  }
}

TEST(CommandRun, WhatTheBodyPrintedIsFlushedBeforeTheAnswer) {
  std::stringbuf target;
  std::ostringstream err;
  // A stream that holds what it is given until flushed.
  struct Holding : std::stringbuf {
    std::stringbuf& to;
    explicit Holding(std::stringbuf& t) : to(t) {}
    int sync() override {
      to.sputn(str().data(), static_cast<std::streamsize>(str().size()));
      str("");
      return 0;
    }
  } holding(target);
  std::ostream held(&holding);
  EXPECT_EQ(runCommandBody(held, err, [&] { held << "line\r\n"; }), 0);
  EXPECT_EQ(target.str(), "line\r\n");
  EXPECT_EQ(err.str(), "");
}

}  // namespace
}  // namespace glx
