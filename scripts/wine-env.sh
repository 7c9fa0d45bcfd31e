# Sourced by the scripts that run Wine: where the project lies, and a quiet Wine
# whose prefix is under $HOME (which a bare environment may lack).
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
: "${HOME:=$(getent passwd "$(id -u)" | cut -d: -f6)}"
export HOME
# No Mono or Gecko prompts; no Wayland driver either (Wine 10 tries it when there is
# no X display and complains where a bare machine has no XDG_RUNTIME_DIR).
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winewayland.drv=d"
# The stand-in writes UTF-8, and Wine converts console output to the locale's
# character set: in a locale without one (a bare root), every accent became "?".
case "$(locale charmap 2>/dev/null)" in
  UTF-8) ;;
  *) export LC_ALL=C.UTF-8 ;;
esac

# How this machine runs 32-bit programs, as scripts/setup.sh found out (scripts/i386.sh):
# PIM_I386_MODE is native, emulated or none (no Wine here: no 32-bit programs, or no
# 32-bit Wine installed), and PIM_I386_WHY says why for none.
load_i386_state() {
  PIM_I386_MODE=native PIM_I386_WHY=""
  if [ -f "$root/build/i386.env" ]; then source "$root/build/i386.env"; fi
}
save_i386_state() {  # MODE WHY
  mkdir -p "$root/build"
  printf 'PIM_I386_MODE=%q\nPIM_I386_WHY=%q\n' "$1" "$2" >"$root/build/i386.env"
}

# Runs a command that starts Wine. Under emulation a Wine helper process left behind
# can make every later program of the prefix wait for ever, so there the command gets
# a time limit (first argument, in seconds); natively it runs as it is.
wine_limited() {
  local limit=$1 rc=0 fg=()
  shift
  [ "${PIM_I386_MODE:-native}" = emulated ] || { "$@"; return; }
  [ -t 0 ] && fg=(--foreground)  # a program that reads the terminal must stay in its group
  timeout "${fg[@]}" -k 10 "$limit" "$@" || rc=$?
  ((rc != 124)) || echo "$1 did not end within $limit s under emulation; stopped" >&2
  return $rc
}
