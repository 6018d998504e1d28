// The median of a set of timings, which the benchmarks report because one
// slow run on a busy machine would move a mean.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace glx::bench {

inline double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace glx::bench
