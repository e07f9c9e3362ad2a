#!/usr/bin/env bash
# Configures build/ (Release) and builds the given targets, or everything.
#   scripts/build.sh [TARGET...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd -P)
build=$root/build

# A build folder made for another place (the project was moved or copied
# there) is configured afresh: CMake refuses a cache of another folder.
cache=$build/CMakeCache.txt
if [[ -f $cache ]]; then
  source_dir=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$cache")
  cache_dir=$(sed -n 's/^CMAKE_CACHEFILE_DIR:INTERNAL=//p' "$cache")
  if [[ $source_dir != "$root" || $cache_dir != "$build" ]]; then
    echo "build: $build was configured for $source_dir; configuring it afresh" >&2
    rm -rf "$cache" "$build/CMakeFiles"
  fi
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --build "$build" -j "$(nproc)" "${targets[@]}"
