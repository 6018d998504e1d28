#include "platform/error_sink.h"

#include <cstdio>
#include <new>

namespace glx {

namespace {

class StderrSink : public ErrorSink {
 public:
  void showError(const std::string& message) override {
    std::fprintf(stderr, "%s\n", message.c_str());
  }
};

StderrSink g_stderrSink;
ErrorSink* g_sink = nullptr;

}  // namespace

void setErrorSink(ErrorSink* sink) { g_sink = sink; }

ErrorSink& errorSink() { return g_sink ? *g_sink : g_stderrSink; }

std::string exceptionMessage(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::bad_alloc&) {
    return "Out of memory";
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

bool runGuarded(const std::function<void()>& action) {
  try {
    action();
    return true;
  } catch (...) {
    errorSink().showError(exceptionMessage(std::current_exception()));
    return false;
  }
}

}  // namespace glx
