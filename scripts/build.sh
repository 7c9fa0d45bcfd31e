#!/usr/bin/env bash
# Builds one tree: "win32" (pim.dll with MinGW-w64, its tests, the stand-in host
# compiled for compile time), "native" (Linux, for fast tests and the benchmarks),
# "native-asan" (Linux with AddressSanitizer and UBSan) or "win32-bench" (pim.dll, the
# optimised stand-in and the benchmarks, no tests: what scripts/bench.sh times). Any
# further arguments are the targets to build (default: all of the tree).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:-win32}
targets=("${@:2}")
win32=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release)
case "$kind" in
  win32) args=("${win32[@]}" -DPIM_STANDIN_OPTIMIZED=OFF) ;;
  win32-bench) args=("${win32[@]}" -DPIM_TESTS=OFF) ;;
  native) args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  native-asan) args=(-DCMAKE_BUILD_TYPE=Debug -DPIM_SANITIZE=ON) ;;
  *) echo "usage: build.sh win32|native|native-asan|win32-bench [TARGET...]" >&2; exit 2 ;;
esac
# Ninja where it is installed (set-up installs it): it compiles a program's sources
# while the libraries it links are still being built, where make waits for them. A
# tree configured before keeps its generator.
if [ ! -f "$root/build/$kind/CMakeCache.txt" ] && command -v ninja >/dev/null; then
  args+=(-G Ninja)
fi
cmake -S "$root" -B "$root/build/$kind" "${args[@]}" >/dev/null
cmake --build "$root/build/$kind" -j"$(nproc)" ${targets[0]+--target "${targets[@]}"}
