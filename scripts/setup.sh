#!/usr/bin/env bash
# Installs what the builds and tests need on Debian 12 or 13 (as root, or with sudo),
# once: CMake, g++, GoogleTest, the MinGW-w64 i686 cross compiler and 32-bit Wine;
# makes sure 32-bit programs run (scripts/i386.sh: natively, else under QEMU's
# emulator); creates the Wine prefix. Where 32-bit Wine cannot be installed, it says
# why and what to do, and the other scripts go on without Wine (build/i386.env).
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
source "$root/scripts/apt.sh"

# What builds and tests pim.dll and the native stand-in, and what runs pim.dll.
build_packages=(cmake make ninja-build g++ g++-mingw-w64-i686 googletest libgtest-dev libbenchmark-dev tmux)
wine_packages=(wine wine32)

missing() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}
mapfile -t missing_build < <(missing "${build_packages[@]}")
mapfile -t missing_wine < <(missing "${wine_packages[@]}")

wine_why="" wine_failure=""
if ((${#missing_build[@]} + ${#missing_wine[@]})); then
  if ((EUID != 0)) && ! command -v sudo >/dev/null; then
    echo "Missing: ${missing_build[*]} ${missing_wine[*]}; installing them needs root, and sudo is not installed." >&2
    exit 1
  fi
  echo "Installing: ${missing_build[*]} ${missing_wine[*]}"
  ((${#missing_wine[@]} == 0)) || "${apt_sudo[@]}" dpkg --add-architecture i386
  if ! apt_update; then
    echo "apt-get update could not read every index, even after waiting:"
    sed -E 's/\t/\n    /; s/^/  /' <<<"$failed_indexes"
    repair_indexes
    echo "Installing all the same, from the indexes apt could read."
  fi
  # All in one install, so that apt chooses versions that suit both architectures;
  # where that fails, what builds comes alone, and pim.dll then runs without Wine.
  if ! apt_install "${missing_build[@]}" "${missing_wine[@]}"; then
    wine_failure=$install_why
    cp "$apt_log_dir/apt-install.log" "$apt_log_dir/apt-install-wine.log"
    if ((${#missing_build[@]})) && ! apt_install "${missing_build[@]}"; then
      printf '%s\n' "$install_why" >&2
      echo "Nothing can be built without these. Wait until the mirror is in step again, then run this again." >&2
      exit 1
    fi
  fi
  if [ -n "$(missing "${wine_packages[@]}")" ]; then
    printf '%s\n' "$wine_failure"
    wine_why="32-bit Wine could not be installed (apt's output: build/apt-install-wine.log)"
    cat <<TXT
!!! 32-bit Wine is not installed, so pim.dll cannot run here: the report runs with the
!!! native build of the same sources, and the tests without their Wine half.
!!! What to do: a mirror in the middle of a sync is usually in step again within hours;
!!! run this command again then (it retries the update). If it stays out of step,
!!! point the source in /etc/apt/sources.list.d/ at another Debian mirror, then
!!! run "apt-get update" and this command again.
TXT
  fi
fi

if [ -n "$wine_why" ]; then
  save_i386_state none "$wine_why"
  exit 0
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
