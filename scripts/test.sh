#!/usr/bin/env bash
# Sets up the machine and runs every test: the native build under AddressSanitizer
# and UBSan, then pim.dll itself under Wine (natively or under QEMU's i386 emulator,
# as scripts/setup.sh found; skipped, and said so, where neither can run). Ends with
# which parts ran and one total; exits non-zero if any test failed.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
"$root/scripts/setup.sh"
load_i386_state

passed=0 failed=0 skipped=0 bad=0 parts=()

# run_ctest LABEL TREE [ctest options]: runs one tree's tests, adds their counts to
# the totals and keeps a line for the summary.
run_ctest() {
  local label=$1 dir=$root/build/$2 rc=0 t f s note=""
  shift 2
  (cd "$dir" && ctest --output-on-failure -j2 "$@") 2>&1 | tee "$dir/ctest.log" || rc=$?
  read -r f t < <(sed -nE 's/^[0-9]+% tests passed, ([0-9]+) tests? failed out of ([0-9]+)$/\1 \2/p' "$dir/ctest.log") ||
    f=0 t=0
  s=$(sed -n '/^The following tests did not run:/,/^$/p' "$dir/ctest.log" | grep -cE '\((Skipped|Disabled)\)$' || true)
  ((t > 0)) || { note=" (ran no test)"; bad=1; }
  ((rc == 0 || f > 0)) || { note=" (ctest exited $rc)"; bad=1; }
  passed=$((passed + t - f - s)) failed=$((failed + f)) skipped=$((skipped + s))
  parts+=("$label: $((t - f - s)) passed, $f failed, $s skipped$note")
}

# build KIND: one tree, its output kept in build/KIND/build.log. A compiler's or
# linker's warning is shown and fails the run (the builds have none, on Debian 12's
# compilers and 13's); it counts as no test. A tree built before shows only the
# warnings of what this run compiled again.
warnings=()
build() {
  local log=$root/build/$1/build.log
  mkdir -p "$root/build/$1"
  "$root/scripts/build.sh" "$1" >"$log" 2>&1 || { cat "$log"; echo "!!! the $1 build failed" >&2; exit 1; }
  if grep -q "warning:" "$log"; then
    grep -B4 -A8 "warning:" "$log"
    warnings+=("$(grep -c "warning:" "$log") in the $1 build (build/$1/build.log)")
    bad=1
  fi
}

# pim.dll first: the native tree's image_file_test reads it.
build win32
build native-asan
echo "== native build (AddressSanitizer, UBSan)"
run_ctest "native build, AddressSanitizer and UBSan" native-asan

if [ "$PIM_I386_MODE" = none ]; then
  echo "== pim.dll under Wine: NOT RUN ($PIM_I386_WHY)"
  parts+=("pim.dll under Wine: NOT RUN, $PIM_I386_WHY")
else
  how="32-bit natively" ctest_args=()
  echo "== pim.dll under Wine"
  if [ "$PIM_I386_MODE" = emulated ]; then
    # One server for the run, ended afterwards: under emulation a helper process left
    # behind can hold up the prefix's next programs. Each test gets a time limit.
    how="under QEMU's i386 emulator" ctest_args=(--timeout 600)
    trap 'timeout 30 wineserver -k 2>/dev/null || true' EXIT
  fi
  # One server for the whole run; it ends by itself 30 s after the last test. One
  # program first, alone: two first programs started together on a new server wait
  # about half a minute for the desktop process that neither can start without a screen.
  wine_limited 60 wineserver -p30 2>/dev/null || true
  wine_limited 120 wine cmd /c exit >/dev/null 2>&1 || true
  run_ctest "pim.dll under Wine, $how" win32 "${ctest_args[@]}"
fi

echo
echo "== summary"
printf '%s\n' "${parts[@]}"
if [ "$PIM_I386_MODE" = none ]; then
  echo "!!! THE WINE HALF DID NOT RUN: pim.dll itself was not tested on this machine."
  echo "!!! Why: $PIM_I386_WHY."
fi
for w in "${warnings[@]}"; do
  echo "!!! compiler warnings: $w; the builds must have none."
done
echo "$passed passed, $failed failed, $skipped skipped"
((failed == 0 && bad == 0))
