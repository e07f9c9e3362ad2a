#!/usr/bin/env bash
# The real editor in a real X server, through its menus and Qt's own file
# dialog: a drawing saved as a database, then "保存文件" offered that very file;
# Return asks (in Chinese) before replacing it, and "no" writes nothing. After
# the run nothing of the dialogs is left in the user's settings.
set -euo pipefail
PROGRAM=$1
WORK=$2
PROBE=$(dirname "$PROGRAM")/e2e_probe
rm -rf "$WORK"
mkdir -p "$WORK/files" "$WORK/config" "$WORK/tmp"
mkdir -m 700 "$WORK/runtime"
source "$(dirname "$0")/xvfb_session.sh"

# Settings, temporary and runtime folders of this test stand in for the user's.
export XDG_CONFIG_HOME=$WORK/config TMPDIR=$WORK/tmp XDG_RUNTIME_DIR=$WORK/runtime
cd "$WORK/files"  # where the file dialog opens
start_xvfb
start_editor
eval "$(xdotool getwindowgeometry --shell "$WINDOW")"  # X, Y of the main window
shot start
read -r cx cy < <("$PROBE" canvas "$WORK/start.png") || fail "no drawing area on the screen"

# One point: Command1, then a click on the drawing area.
click_at $((cx + 8 + 44)) $((cy + 464 + 12))
click_at $((cx + 300)) $((cy + 200))

# Menus by the keyboard: a click opens "文件" with nothing chosen yet; Right
# goes on to "数据库" with its first item chosen.
open_menu() {  # RIGHTS DOWNS: menus to the right of "文件", items down
  click_at $((X + 20)) $((Y + 10))
  local i
  for ((i = 0; i < $1; ++i)); do xdotool key Right; sleep 0.1; done
  for ((i = 0; i < $2; ++i)); do xdotool key Down; sleep 0.1; done
  xdotool key Return
  sleep 0.3
}

# Visible windows whose title is Qt's "Save As" in Chinese.
save_windows() { xdotool search --onlyvisible --name '^另存为$' 2>/dev/null || true; }
wait_windows() {  # COUNT WHAT
  local n
  for _ in $(seq 40); do
    n=$(save_windows | wc -l)
    [[ $n -eq $1 ]] && return 0
    sleep 0.25
  done
  shot "failed"
  fail "$2: $n windows titled 另存为, expected $1"
}
focus_newest() {
  xdotool windowfocus "$(save_windows | tail -n1)" 2>/dev/null || true
  sleep 0.2
}

# 数据库 → 保存数据库文件(Data) as a.mdb.
open_menu 1 1
wait_windows 1 "the database save dialog"
focus_newest
xdotool type --delay 50 a.mdb
xdotool key Return
for _ in $(seq 40); do
  [[ -s a.mdb ]] && break
  sleep 0.25
done
[[ $(head -c 15 a.mdb 2>/dev/null) == "SQLite format 3" ]] || fail "the drawing was not saved as a database"
cp a.mdb "$WORK/a.mdb.before"

# 文件 → 保存文件 offers a.mdb; Return asks before replacing it.
open_menu 0 2
wait_windows 1 "the text save dialog"
focus_newest
xdotool key Return
wait_windows 2 "the question before replacing a.mdb"
shot question
focus_newest
xdotool key Return  # the question's default answer is "no"
wait_windows 1 "the file dialog after answering no"
focus_newest
xdotool key Escape
wait_windows 0 "the file dialog after Escape"
cmp -s a.mdb "$WORK/a.mdb.before" || fail "answering no still replaced a.mdb"
[[ $(ls) == "a.mdb" ]] || fail "files beside a.mdb: $(ls | tr '\n' ' ')"

close_editor
leftovers=$(find "$WORK/config" "$WORK/tmp" -mindepth 1 | head -n5)
[[ -z $leftovers ]] || fail "the run left settings or temporary files: $leftovers"
echo "e2e: saving over a.mdb asked first in Chinese, \"no\" kept it, nothing left in the settings"
