#!/usr/bin/env bash
# The two commands of the README on a small stand-in project: scripts/run.sh
# builds the editor alone before it starts it, scripts/test.sh builds the rest,
# and a build folder that was configured at another place is configured afresh.
#   build_scripts.sh SOURCE_ROOT WORK
set -euo pipefail
src=$1
work=$2
rm -rf "$work"
mkdir -p "$work/first/scripts"
fail() { echo "FAIL: $*" >&2; exit 1; }

project=$work/first
cp "$src"/scripts/{setup,build,run,test}.sh "$project/scripts/"
cat >"$project/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.22)
project(standin LANGUAGES CXX)
add_executable(pointline main.cpp)
add_executable(unit_tests main.cpp)
CMAKE
echo 'int main() { return 0; }' >"$project/main.cpp"

# Without a display the editor cannot start: run.sh says so (exit 2) after
# building it, and it builds nothing else.
start() {
  local rc=0
  env -u DISPLAY -u WAYLAND_DISPLAY "$1/scripts/run.sh" >"$work/run.log" 2>&1 || rc=$?
  [[ $rc -eq 2 ]] || { cat "$work/run.log" >&2; fail "run.sh in $1 ended with $rc"; }
  [[ -x $1/build/pointline ]] || fail "run.sh in $1 did not build the editor"
}
start "$project"
[[ ! -e $project/build/unit_tests ]] || fail "run.sh built more than the editor"

# The project moves: its build folder still names the old place.
mv "$project" "$work/moved"
project=$work/moved
rm -f "$project/build/pointline"
start "$project"

# The test command builds everything.
"$project/scripts/test.sh" >"$work/test.log" 2>&1 || { cat "$work/test.log" >&2; fail "test.sh failed"; }
[[ -x $project/build/unit_tests ]] || fail "test.sh did not build the rest"
echo "build scripts: the editor first, the rest by the test command, a moved build folder configured afresh"
