#!/usr/bin/env bash
# The report form filled in by a person in a real terminal (tmux), natively or under
# Wine: the notices before it answered in its frame; month, outlet, goods group
# through the picker, branch, invoices, F12; a second run starting from the
# remembered choices, abandoned with a lone Esc; a terminal too small for the form,
# and no terminal at all. Arguments: the host program, after "wine" for pimhost.exe.
# Under Wine the console reports a size of its own (80 x 25), not the terminal's, so
# the scenarios that depend on the terminal's size run natively only.
set -euo pipefail
export LC_ALL=C.UTF-8  # the terminal is UTF-8, and Wine writes to it in the locale's
host="$*"
under_wine=0
[ "$1" != wine ] || under_wine=1
command -v tmux >/dev/null || { echo "tmux is not installed"; exit 77; }
work=$(mktemp -d)
session=pimform
# Each run gets a tmux server of its own: a new session on the socket of a server
# that is just exiting with its last session fails with "server exited unexpectedly".
socket=
t() { tmux -L "$socket" "$@"; }
runs=0
trap '[ -z "$socket" ] || t kill-server 2>/dev/null || true; rm -rf "$work"' EXIT
cd "$work"
run="$host --data none --run --interactive --year 2024 --goods-group 3=Papierosy --goods-group 9=Tytoń"
start() {  # columns rows command
  [ -z "$socket" ] || t kill-server 2>/dev/null || true
  runs=$((runs + 1))
  socket=pimform$$-$runs
  rm -f done status
  t new-session -d -s $session -x "$1" -y "$2" "$3 2>errors; echo \$? >status; touch done; sleep 5"
}
keys() { t send-keys -t $session "$@"; sleep 0.2; }
screen() { t capture-pane -p -t $session; }
fail() { echo "$1"; screen; exit 1; }
# Waits until the screen shows the pattern; generous, for a loaded machine.
shows() {
  for _ in $(seq 200); do screen | grep -q -- "$1" && return 0; sleep 0.1; done
  return 1
}
ended() {
  for _ in $(seq 200); do [ -e done ] && return 0; sleep 0.1; done
  return 1
}

start 100 30 "$run"
# The install notice, then the warning that there are no options yet: each framed,
# alone on the form's screen, until a key.
shows "║ Zainstalowano wtyczkę" || fail "the install notice is not framed"
sleep 0.3
screen | grep -q "Dane dodatkowe" && fail "the form did not wait for the notice"
keys Space
shows "═ Uwaga ═" || fail "the options warning has no frame"
shows "║ Błąd podczas otwierania pliku z opcjami" || fail "the options warning is not framed"
screen | grep -q "Zainstalowano" && fail "the notice stayed on screen"
keys Enter
shows "Dane dodatkowe" || fail "the form did not open"
screen | grep -q "Uwaga" && fail "the warning stayed under the form"
keys Right Right
keys F4; keys -l "Kiosk 7"
keys F3; keys Down Space Enter
keys F5; keys -l "Łódź"
keys Tab Space
shows "marzec" || fail "month not shown"
shows "\[X\] Faktury" || fail "invoices not checked"
shows "\[9\]" || fail "goods group not shown"
keys F12
# The notice after the report waits as well; then the console has every text.
shows "klawisz: dalej" || fail "no notice after the report"
[ -e done ] && fail "the program ended without waiting for the last notice"
keys Escape
ended || fail "the form did not close"
[ "$(cat status)" = 0 ] || fail "exit status $(cat status)"
t capture-pane -p -S -100 -t $session | grep -q "Błąd podczas otwierania pliku z opcjami" ||
  fail "the warning is not left on the console"
bytes() { od -An -tx1 -v -j "$1" -N "$2" RuzozavURivuvorur.opc | tr -d ' \n'; }
[ "$(stat -c %s RuzozavURivuvorur.opc)" = 938 ] || fail "no options file"
[ "$(bytes 0 2)" = 0200 ] || { echo "month $(bytes 0 2)"; exit 1; }
[ "$(bytes 2 8)" = 4b696f736b203700 ] || { echo "outlet $(bytes 2 8)"; exit 1; }
[ "$(bytes 13 5)" = 9ca264a600 ] || { echo "branch $(bytes 13 5)"; exit 1; }
[ "$(bytes 34 2)" = 0100 ] || { echo "kinds $(bytes 34 2)"; exit 1; }
[ "$(bytes 54 2)" = 0100 ] && [ "$(bytes 42 2)" = 0000 ] || { echo "groups"; exit 1; }

# In the same directory the form starts from the remembered choices, without the
# warning; Esc abandons it, which is no failure.
start 100 30 "$run --notice-answer 1"
shows "Zainstalowano" || fail "no install notice"
keys Enter
shows "Dane dodatkowe" || fail "the form did not open again"
shows "marzec" && shows "Kiosk 7" || fail "the choices were not remembered"
keys Escape
ended || fail "the abandoned form did not close"
[ "$(cat status)" = 0 ] || fail "exit status $(cat status) after Esc"
grep -q "Pytaj=1" RuzozavURivuvorur.ini || fail "the notice's answer was not kept"

if ((under_wine)); then
  echo "under Wine: the terminal-size scenarios are left to the native run (Wine's console has a size of its own)"
else
# A terminal just large enough: the form from its first row, without the key help.
start 60 13 "$run"
shows "Dane dodatkowe" || fail "the form did not open in a terminal of its size"
screen | head -1 | grep -q "Dane dodatkowe" || fail "the form's first row scrolled away"
screen | grep -q "F12 albo Enter" && fail "the key help does not fit, yet is shown"
keys Escape
ended || fail "the form did not close"

# A terminal smaller than the form: said, and a failure.
start 50 12 "$run"
ended || fail "the program waited in a small terminal"
[ "$(cat status)" = 5 ] || fail "exit status $(cat status) in a small terminal"
grep -q "the terminal has 50 columns and 12 rows; the form needs 60 columns and 13 rows" errors || { cat errors; exit 1; }
fi

# No terminal at all.
status=0
$run </dev/null >/dev/null 2>errors || status=$?
[ $status = 2 ] || { echo "exit status $status without a terminal"; exit 1; }
grep -q "interactive needs a terminal" errors || { cat errors; exit 1; }
echo "form filled in and confirmed, choices remembered, small and missing terminals refused"
