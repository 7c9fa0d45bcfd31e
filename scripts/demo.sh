#!/usr/bin/env bash
# Sets up the machine, builds pim.dll and the stand-in host, and runs the whole report
# under Wine on the bundled month (March 2025): the host loads pim.dll, connects it,
# sets it up, and chooses its menu command; the form is filled in from the options
# below; the three export files land in ./out, and their first lines are shown.
# Where pim.dll cannot run under Wine (no 32-bit programs, or no 32-bit Wine: see
# scripts/setup.sh), the native build of the same sources runs the report instead,
# and says so.
#
# Any arguments replace all of the defaults below and go to the host program as they
# are (see: scripts/demo.sh --help); to fill the form in yourself, in the terminal:
#   scripts/demo.sh --run --interactive --show-files 3
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
defaults=(--run --month 3 --groups 1,2,3 --outlet SKLEP1 --branch "Lublin Centrum" --kinds invoices,receipts
          --show-files 3)
for arg; do
  [ "$arg" = --help ] || [ "$arg" = -h ] || continue
  # Before anything is set up or built: the host program's usage comes from its source.
  shown=()
  for a in "${defaults[@]}"; do [[ $a != *" "* ]] || a="\"$a\""; shown+=("$a"); done
  cat <<TXT
usage: scripts/demo.sh [host program options]
Sets up the machine (once), builds pim.dll and the stand-in host, and runs the host
program in out/ on the bundled month. Without arguments it runs with
  ${shown[*]}
Arguments replace all of these, --run and --show-files included. To change one
choice, give them all with that one changed; or, after a first run, --run, the one
choice and --show-files 3 (the form starts from the choices remembered in out/).

TXT
  sed -e '1,/^R"(/{/^R"(/!d}' -e 's/^R"(//' -e 's/)"$//' "$root/standin/host/pimhost_usage.inc"
  exit 0
done
"$root/scripts/setup.sh"
load_i386_state
(($#)) || set -- "${defaults[@]}"
if [ "$PIM_I386_MODE" = none ]; then
  echo "Building the native plug-in and stand-in host..."
  "$root/scripts/build.sh" native pimhost >/dev/null
  echo "NOTE: pim.dll cannot run under Wine here: $PIM_I386_WHY."
  echo "So the report runs with the native build of the same sources (pim.so in the native host)."
  mkdir -p "$root/out"
  cd "$root/out"
  exec "$root/build/native/bin/pimhost" "$@"
fi
echo "Building pim.dll and the stand-in host..."
"$root/scripts/build.sh" win32 pimhost >/dev/null
mkdir -p "$root/out"
cd "$root/out"
[ "$PIM_I386_MODE" != emulated ] || echo "(pim.dll runs under Wine, and Wine under QEMU's i386 emulator)"
limit=600  # under emulation; a person filling in the form gets longer
[[ " $* " != *" --interactive "* ]] || limit=3600
wine_limited $limit wine "$root/build/win32/bin/pimhost.exe" "$@"
