// "config.data" of any bytes: merging either adds every count or leaves the
// counters untouched with an error, and what was merged writes and reads
// back the same. The counters start near their limits so that sums wrap.
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "fuzz/fuzz_support.h"
#include "platform/errors.h"
#include "update/usage_log.h"

namespace {

bool same(const glx::UsageCounters& a, const glx::UsageCounters& b) {
  return a.firstReportFlag == b.firstReportFlag && a.testRunCount == b.testRunCount &&
         a.linkTestCount == b.linkTestCount && a.targetTestCount == b.targetTestCount &&
         a.effectTestCounts == b.effectTestCounts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto& file = glx::fuzz::ScratchFile::instance();
  file.replace(data, size);

  glx::UsageCounters start;
  start.firstReportFlag = 7;
  start.testRunCount = std::numeric_limits<int32_t>::max();
  start.linkTestCount = std::numeric_limits<int32_t>::min();
  start.targetTestCount = -1;
  for (size_t i = 0; i < start.effectTestCounts.size(); ++i)
    start.effectTestCounts[i] = static_cast<int32_t>(i * 0x0AAAAAAAu);

  glx::UsageCounters merged = start;
  try {
    glx::mergeUsageLog(file.path(), merged);
  } catch (const glx::Error&) {
    if (!same(merged, start)) std::abort();
    return 0;
  }

  // The file alone, merged into zero counts, written and merged again.
  glx::UsageCounters alone;
  glx::mergeUsageLog(file.path(), alone);
  file.replace(glx::usageLogText(alone));
  glx::UsageCounters again;
  glx::mergeUsageLog(file.path(), again);
  if (!same(again, alone)) std::abort();
  return 0;
}
