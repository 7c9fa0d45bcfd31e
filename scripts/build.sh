#!/usr/bin/env bash
# Builds one tree: "win32" (pim.dll with MinGW-w64), "native" (Linux, for fast
# tests) or "native-asan" (Linux with AddressSanitizer and UBSan).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:-win32}
case "$kind" in
  win32) args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release) ;;
  native) args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  native-asan) args=(-DCMAKE_BUILD_TYPE=Debug -DPIM_SANITIZE=ON) ;;
  *) echo "usage: build.sh win32|native|native-asan" >&2; exit 2 ;;
esac
# Ninja where it is installed (set-up installs it): it compiles a program's sources
# while the libraries it links are still being built, where make waits for them. A
# tree configured before keeps its generator.
if [ ! -f "$root/build/$kind/CMakeCache.txt" ] && command -v ninja >/dev/null; then
  args+=(-G Ninja)
fi
cmake -S "$root" -B "$root/build/$kind" "${args[@]}" >/dev/null
cmake --build "$root/build/$kind" -j"$(nproc)"
