#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang and runs one of them.
#   fuzz/run.sh HARNESS SECONDS [extra libFuzzer flags]
# New inputs that reach new code go to a scratch folder; crashes, leaks and
# timeouts are written to fuzz/findings/. Copy the ones worth keeping into
# fuzz/corpus/HARNESS/.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
name="$1"
seconds="${2:-600}"
shift 2 || true
. "$ROOT/tools/deps.sh"
glx_install_deps clang libclang-rt-14-dev
BUILD="$ROOT/fuzz-build"
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLX_FUZZ=ON >/dev/null
fi
cmake --build "$BUILD" --target "${name}_fuzz" -j "$(nproc)"
work="$BUILD/work/$name"
mkdir -p "$work" "$ROOT/fuzz/findings"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1"
# Undefined behaviour is a finding too, not just a line in the log.
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
"$BUILD/bin/${name}_fuzz" "$work" "$ROOT/fuzz/corpus/$name" \
  -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -max_len=65536 \
  -artifact_prefix="$ROOT/fuzz/findings/${name}-" -print_final_stats=1 "$@"
