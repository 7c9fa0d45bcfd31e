#!/usr/bin/env bash
# Sets up the machine, builds pim.dll and the stand-in host, and runs the whole report
# under Wine on the bundled month (March 2025): the host loads pim.dll, connects it,
# sets it up, and chooses its menu command; the form is filled in from the options
# below; the three export files land in ./out, and their first lines are shown.
#
# Any arguments replace the form's choices and go to the host program as they are
# (see: scripts/demo.sh --help); to fill the form in yourself, in the terminal:
#   scripts/demo.sh --run --interactive --show-files 3
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
"$root/scripts/setup.sh"
echo "Building pim.dll and the stand-in host..."
"$root/scripts/build.sh" win32 >/dev/null
mkdir -p "$root/out"
cd "$root/out"
if [ $# -eq 0 ]; then
  set -- --run --month 3 --groups 1,2,3 --outlet SKLEP1 --branch "Lublin Centrum" \
    --kinds invoices,receipts --show-files 3
fi
wine "$root/build/win32/bin/pimhost.exe" "$@"
