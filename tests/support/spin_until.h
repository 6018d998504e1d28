// Runs the event loop until a condition holds: a guard against a hang, not a
// timing assertion (it gives up after a minute).
#pragma once

#include <functional>

namespace glx::test {

bool spinUntil(const std::function<bool()>& done);

}  // namespace glx::test
