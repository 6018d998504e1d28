// Runs the event loop while a test waits on sockets and timers: a guard
// against a hang, not a timing assertion.
#pragma once

#include <functional>

namespace glx::test {

// Runs the event loop until done() holds or a generous limit passes; the
// limit only keeps a broken test from hanging.
bool pumpUntil(const std::function<bool()>& done, int limitMs = 20000);
// Runs the event loop for about ms milliseconds.
void pumpFor(int ms);

}  // namespace glx::test
