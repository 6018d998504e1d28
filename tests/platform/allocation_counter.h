// Counts the bytes the program asks operator new for, so that a test can
// tell work in proportion to its input from work that grows with its
// square, without measuring time.
#pragma once

#include <cstddef>

namespace glx::test {

// Bytes requested through operator new since the program started.
size_t allocatedBytes();

}  // namespace glx::test
