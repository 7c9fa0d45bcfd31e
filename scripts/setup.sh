#!/usr/bin/env bash
# Installs what the builds and tests need on Debian 12 (as root, or with sudo), once:
# CMake, g++, the MinGW-w64 i686 cross compiler, 32-bit Wine and GoogleTest; makes
# sure 32-bit programs run (scripts/i386.sh: natively, else under QEMU's emulator);
# creates the Wine prefix.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"

packages=(cmake make g++ g++-mingw-w64-i686 wine wine32 googletest libgtest-dev libbenchmark-dev tmux)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo dpkg --add-architecture i386
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

"$root/scripts/i386.sh"
load_i386_state
[ "$PIM_I386_MODE" != none ] || exit 0

# A Wine prefix, created once and serially (parallel first runs race).
if [ ! -f "${WINEPREFIX:-$HOME/.wine}/system.reg" ]; then
  echo "Creating the Wine prefix"
  wine_limited 300 wine wineboot --init >/dev/null 2>&1 || true
  wine_limited 120 wineserver -w
fi
