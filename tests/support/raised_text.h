// The text a failure carries, for tests that check the exact message.
#pragma once

#include <exception>
#include <functional>
#include <string>

namespace glx::test {

// What raisedText gives when the action ends normally.
inline const std::string kNothingRaised = "nothing raised";

// The text of the exception of type E that action raises, or a text that
// says what went wrong instead.
template <class E>
std::string raisedText(const std::function<void()>& action) {
  try {
    action();
  } catch (const E& e) {
    return e.what();
  } catch (const std::exception& e) {
    return std::string("wrong exception: ") + e.what();
  }
  return kNothingRaised;
}

}  // namespace glx::test
