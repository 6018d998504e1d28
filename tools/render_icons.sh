#!/usr/bin/env bash
# Renders the icon's PNG sizes from data/desktop/glimmerax.svg with headless
# Chromium. The PNGs are kept in the tree; run this after editing the SVG.
set -euo pipefail
GLX_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for size in 48 128; do
  cat >"$work/icon.html" <<HTML
<html><body style="margin:0;background:transparent"><img src="file://$GLX_ROOT/data/desktop/glimmerax.svg" width="$size" height="$size" style="display:block"></body></html>
HTML
  chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --no-first-run \
    --user-data-dir="$work/profile" --default-background-color=00000000 \
    --screenshot="$work/icon.png" --window-size=$size,$size "file://$work/icon.html" >/dev/null 2>&1
  /usr/bin/convert "$work/icon.png" -strip "$GLX_ROOT/data/desktop/glimmerax-$size.png"
done
