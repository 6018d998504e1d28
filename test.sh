#!/usr/bin/env bash
# Builds Glimmerax with its tests and benchmarks (installing what is
# missing) and runs every test. Extra arguments go to cmake.
set -euo pipefail
GLX_ROOT="$(cd "$(dirname "$0")" && pwd)"
. "$GLX_ROOT/tools/deps.sh"
glx_install_deps
glx_install_node_deps
BUILD_DIR="${GLX_BUILD_DIR:-$GLX_ROOT/build}"
glx_build "$BUILD_DIR" "$@"
cd "$BUILD_DIR"
ctest --output-on-failure -j "$(nproc)"
