#!/usr/bin/env bash
# Builds Glimmerax (installing what is missing) and starts it.
set -euo pipefail
GLX_ROOT="$(cd "$(dirname "$0")" && pwd)"
. "$GLX_ROOT/tools/deps.sh"
glx_install_deps
glx_build "$GLX_ROOT/build" -DGLX_BUILD_BENCH=OFF
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run.sh: no display is available (DISPLAY and WAYLAND_DISPLAY are unset)." >&2
  echo "Start Glimmerax from a desktop session, or under Xvfb: xvfb-run ./run.sh" >&2
  exit 1
fi
exec "$GLX_ROOT/build/bin/glimmerax" "$@"
