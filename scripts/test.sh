#!/usr/bin/env bash
# Sets up the machine and runs every test: the native build under AddressSanitizer
# and UBSan, then pim.dll itself under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

echo "== native build (AddressSanitizer, UBSan)"
"$root/scripts/build.sh" native-asan >/dev/null
(cd "$root/build/native-asan" && ctest --output-on-failure -j2)

echo "== pim.dll under Wine"
"$root/scripts/build.sh" win32 >/dev/null
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -p 2>/dev/null || true # one server for the whole run
trap 'wineserver -k 2>/dev/null || true' EXIT
(cd "$root/build/win32" && ctest --output-on-failure -j2)
