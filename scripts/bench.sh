#!/usr/bin/env bash
# Builds the native and win32 trees and runs the whole report's benchmarks in both:
# natively, then pim.dll's code under Wine. Extra arguments go to report_bench
# (--only NAME, --series, --reps N). The export files land in a scratch directory.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
"$root/scripts/build.sh" native >/dev/null
"$root/scripts/build.sh" win32 >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

echo "== native ($(uname -m))"
"$root/build/native/bin/report_bench" "$@"

echo
echo "== pim.dll's code under Wine (i686)"
wine "$root/build/win32/bin/report_bench.exe" "$@"
