# Sourced by the end-to-end scripts: a private X server and the editor in it.
# Needs: PROGRAM (the editor), WORK (a folder for screenshots and logs), PROBE
# (e2e_probe, for expect_pixel).

xvfb_pid=""
app_pid=""

e2e_cleanup() {
  [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null || true
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap e2e_cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# Starts Xvfb on a free display and sets DISPLAY; the screen size may be
# given as the first argument (default 1280x800).
start_xvfb() {
  rm -f "$WORK/display"
  exec 3> >(cat > "$WORK/display")  # Xvfb writes the display number here
  Xvfb -displayfd 3 -screen 0 "${1:-1280x800}x24" -wr -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
  xvfb_pid=$!
  exec 3>&-
  for _ in $(seq 100); do
    [[ -s "$WORK/display" ]] && break
    sleep 0.1
  done
  [[ -s "$WORK/display" ]] || fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$WORK/display")"
}

# Stops the X server.
stop_xvfb() {
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
}

# Starts the editor with the given arguments and waits for its window; sets WINDOW.
start_editor() {
  "$PROGRAM" "$@" >"$WORK/pointline.log" 2>&1 &
  app_pid=$!
  WINDOW=$(timeout 30 xdotool search --sync --onlyvisible --class pointline | head -n1) ||
    fail "the editor's window did not appear"
  [[ -n "$WINDOW" ]] || fail "the editor's window did not appear"
  xdotool windowfocus "$WINDOW" 2>/dev/null || true
  sleep 0.5
}

shot() { import -window root "$WORK/$1.png"; }

# Expects a colour at a screen position; a busy machine may repaint late, so
# the screenshot is taken anew for a while.   expect_pixel X Y "R G B" WHAT SHOT
expect_pixel() {
  local got
  for _ in $(seq 20); do
    got=$("$PROBE" pixel "$WORK/$5.png" "$1" "$2")
    [[ "$got" == "$3" ]] && return 0
    sleep 0.25
    shot "$5"
  done
  fail "$4: pixel ($1, $2) is ($got), expected ($3)"
}

# Moves the pointer (xdotool's --sync can wait for seconds under Xvfb).
move_to() {
  xdotool mousemove "$1" "$2"
  sleep 0.15
}

# Clicks at a position of the screen.
click_at() {
  move_to "$1" "$2"
  xdotool click 1
  sleep 0.3
}

# Ends the editor the way a terminating desktop would, and expects a clean exit.
close_editor() {
  kill -TERM "$app_pid"
  local rc=0
  for _ in $(seq 100); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$app_pid" 2>/dev/null && fail "the editor did not close"
  wait "$app_pid" || rc=$?
  app_pid=""
  [[ $rc -eq 0 ]] || fail "the editor exited with $rc"
}
