#!/usr/bin/env bash
# The report form filled in by a person in a real terminal (tmux), natively:
# month, outlet, goods group through the picker, branch, invoices, F12.
set -euo pipefail
host=$1
command -v tmux >/dev/null || { echo "tmux is not installed"; exit 77; }
work=$(mktemp -d)
session=pimform$$
trap 'tmux kill-session -t $session 2>/dev/null || true; rm -rf "$work"' EXIT
cd "$work"
tmux new-session -d -s $session -x 100 -y 30 \
  "$host --data none --run --interactive --year 2024 --goods-group 3=Papierosy --goods-group 9=Tytoń; touch done; sleep 5"
keys() { tmux send-keys -t $session "$@"; sleep 0.2; }
screen() { tmux capture-pane -p -t $session; }
sleep 1
screen | grep -q "Dane dodatkowe" || { echo "the form did not open"; screen; exit 1; }
keys Right Right
keys F4; keys -l "Kiosk 7"
keys F3; keys Down Space Enter
keys F5; keys -l "Łódź"
keys Tab Space
screen | grep -q "marzec" || { echo "month not shown"; screen; exit 1; }
screen | grep -q "\[X\] Faktury" || { echo "invoices not checked"; screen; exit 1; }
screen | grep -q "\[9\]" || { echo "goods group not shown"; screen; exit 1; }
keys F12
for _ in $(seq 50); do [ -e done ] && break; sleep 0.1; done
[ -e done ] || { echo "the form did not close"; screen; exit 1; }
bytes() { od -An -tx1 -v -j "$1" -N "$2" RuzozavURivuvorur.opc | tr -d ' \n'; }
[ "$(stat -c %s RuzozavURivuvorur.opc)" = 938 ] || { echo "no options file"; screen; exit 1; }
[ "$(bytes 0 2)" = 0200 ] || { echo "month $(bytes 0 2)"; exit 1; }
[ "$(bytes 2 8)" = 4b696f736b203700 ] || { echo "outlet $(bytes 2 8)"; exit 1; }
[ "$(bytes 13 5)" = 9ca264a600 ] || { echo "branch $(bytes 13 5)"; exit 1; }
[ "$(bytes 34 2)" = 0100 ] || { echo "kinds $(bytes 34 2)"; exit 1; }
[ "$(bytes 54 2)" = 0100 ] && [ "$(bytes 42 2)" = 0000 ] || { echo "groups"; exit 1; }
echo "form filled in and confirmed"
