#!/usr/bin/env bash
# Installs the Debian packages the editor, its tests and benchmarks need.
# Only missing packages are installed, so a warm machine pays nothing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev libsqlite3-dev sqlite3
  mdbtools-dev mdbtools
  libgtest-dev libbenchmark-dev
  fonts-noto-cjk qt6-translations-l10n
  xvfb xdotool imagemagick x11-utils
  dpkg-dev desktop-file-utils
  clang libclang-rt-dev
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "setup: installing ${missing[*]}" >&2
if [[ $(id -u) -eq 0 ]]; then
  sudo_cmd=()
elif command -v sudo >/dev/null; then
  sudo_cmd=(sudo)
else
  echo "setup: missing packages (${missing[*]}) and no root rights to install them" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
