#!/usr/bin/env bash
# Installs what is missing, builds the editor alone, and starts it. The tests,
# benchmarks and the rest are built by scripts/test.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" pointline
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  cat >&2 <<MSG
There is no display to show the editor on (DISPLAY and WAYLAND_DISPLAY are unset).
Start it in a virtual X server instead:
    xvfb-run -a -s "-screen 0 1280x800x24" "$root/build/pointline"
or take a screenshot of it with:
    "$root/scripts/screenshot.sh" shot.png
MSG
  exit 2
fi
exec "$root/build/pointline"
