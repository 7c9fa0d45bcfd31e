#!/usr/bin/env bash
# Builds the native and win32-bench trees (the stand-in optimised, as the build type
# says) and runs the whole report's benchmarks in both: natively, then pim.dll's code
# under Wine (under QEMU's i386 emulator where set-up registered it: those times are
# the emulator's, not Wine's). Extra arguments go to report_bench (--only NAME,
# --series, --reps N). The export files land in a scratch directory.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
"$root/scripts/i386.sh"
load_i386_state
"$root/scripts/build.sh" native >/dev/null
"$root/scripts/build.sh" win32-bench >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

echo "== native ($(uname -m))"
"$root/build/native/bin/report_bench" "$@"

echo
case "$PIM_I386_MODE" in
  none) echo "== pim.dll's code under Wine: not run ($PIM_I386_WHY)"; exit 0 ;;
  emulated) echo "== pim.dll's code under Wine (i686), Wine under QEMU's i386 emulator" ;;
  *) echo "== pim.dll's code under Wine (i686)" ;;
esac
wine_limited 1800 wine "$root/build/win32-bench/bin/report_bench.exe" "$@"
