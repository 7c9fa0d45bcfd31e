#!/usr/bin/env bash
# Sets up the machine and runs every test: the native build under AddressSanitizer
# and UBSan, then pim.dll itself under Wine.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
"$root/scripts/setup.sh"

# pim.dll first: the native tree's image_file_test reads it.
"$root/scripts/build.sh" win32 >/dev/null
"$root/scripts/build.sh" native-asan >/dev/null

echo "== native build (AddressSanitizer, UBSan)"
(cd "$root/build/native-asan" && ctest --output-on-failure -j2)

echo "== pim.dll under Wine"
# One server for the whole run; it ends by itself 30 s after the last test. One
# program first, alone: two first programs started together on a new server wait
# about half a minute for the desktop process that neither can start without a screen.
wineserver -p30 2>/dev/null || true
wine cmd /c exit >/dev/null 2>&1 || true
(cd "$root/build/win32" && ctest --output-on-failure -j2)
