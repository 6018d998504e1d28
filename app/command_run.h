// How a command-line command ends: what it printed flushed and exit code 0,
// or the failure's text on a line of the error stream and exit code 1.
#pragma once

#include <exception>
#include <functional>
#include <ostream>
#include <string>

namespace glx {

// A line that follows the text of the failures that need one (what the user
// can do about it); empty for the others.
using FailureAdvice = std::function<std::string(const std::exception&)>;

// Runs body and flushes out. When body throws, err gets "Out of memory" for
// std::bad_alloc and the exception's text for any other std::exception, each
// on a line of its own and followed by advice's line if it gives one; the
// answer is then 1.
int runCommandBody(std::ostream& out, std::ostream& err, const std::function<void()>& body,
                   const FailureAdvice& advice = {});

}  // namespace glx
