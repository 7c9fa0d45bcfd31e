#!/usr/bin/env bash
# Sets up the machine, builds pim.dll and the stand-in host, and runs the host under
# Wine: it loads pim.dll, connects it, sets it up and chooses its menu command.
# Extra arguments go to the host program (see: demo.sh --help).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" win32 >/dev/null
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$root/out"
cd "$root/out"
if [ $# -eq 0 ]; then set -- --run; fi
wine "$root/build/win32/bin/pimhost.exe" "$@"
