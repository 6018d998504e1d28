#include "app/command_run.h"

#include <new>

namespace glx {

int runCommandBody(std::ostream& out, std::ostream& err, const std::function<void()>& body,
                   const FailureAdvice& advice) {
  try {
    body();
    out.flush();
    return 0;
  } catch (const std::bad_alloc&) {
    err << "Out of memory\n";
  } catch (const std::exception& e) {
    err << e.what() << '\n';
    const std::string line = advice ? advice(e) : std::string();
    if (!line.empty()) err << line << '\n';
  }
  return 1;
}

}  // namespace glx
