#!/usr/bin/env bash
# Takes a screenshot of the editor's main window in a private X server.
#   scripts/screenshot.sh [OUTPUT.png]     (default: docs/screenshot.png)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs/screenshot.png}")
PROGRAM=$root/build/pointline
[[ -x $PROGRAM ]] || { echo "build first: scripts/build.sh" >&2; exit 1; }
WORK=$(mktemp -d)
source "$root/tests/e2e/xvfb_session.sh"
trap 'e2e_cleanup; rm -rf "$WORK"' EXIT

start_xvfb
start_editor
[[ -f "$root/scripts/screenshot_scene.sh" ]] && source "$root/scripts/screenshot_scene.sh"
mkdir -p "$(dirname "$out")"
import -window "$WINDOW" "$out"
close_editor
echo "screenshot: $out"
