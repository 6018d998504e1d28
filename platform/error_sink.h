// Where errors go that no command catches: the standard error box in the
// program, standard error by default. Also the guard that keeps exceptions
// from leaving an event handler.
#pragma once

#include <exception>
#include <functional>
#include <string>

namespace glx {

class ErrorSink {
 public:
  virtual ~ErrorSink() = default;
  virtual void showError(const std::string& message) = 0;
};

// The process-wide sink; nullptr restores the default (standard error).
void setErrorSink(ErrorSink* sink);
ErrorSink& errorSink();

// The text the standard error box shows for an exception.
std::string exceptionMessage(std::exception_ptr error);

// Runs action; an exception it raises is shown through the error sink.
// Returns false when the action raised.
bool runGuarded(const std::function<void()>& action);

}  // namespace glx
