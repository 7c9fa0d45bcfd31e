#!/usr/bin/env bash
# Makes sure this machine runs 32-bit x86 programs, as 32-bit Wine needs, and writes
# what it found to build/i386.env for the scripts that run Wine:
#   PIM_I386_MODE=native     the kernel runs them
#   PIM_I386_MODE=emulated   QEMU's i386 user emulator runs them (through binfmt_misc)
#   PIM_I386_MODE=none       they cannot run here; PIM_I386_WHY says why
# Where the kernel cannot run them, qemu-i386 of Debian 13 ("trixie") is fetched from
# the Debian mirror this machine's apt already uses, through an apt configuration of its
# own under /var/cache/pim-qemu (nothing of Debian 13 is installed on the machine), and
# registered for i386 ELF programs. Running it again changes nothing; a machine whose
# kernel runs 32-bit programs is left as it is.
#
# PIM_I386=emulate registers the emulator even where the kernel runs 32-bit programs;
# PIM_I386=none acts as a machine that runs none and cannot register the emulator.
# To remove the registration: echo -1 > /proc/sys/fs/binfmt_misc/qemu-i386
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
source "$root/scripts/apt.sh"  # find_mirror

qemu_dir=/var/cache/pim-qemu
qemu=$qemu_dir/qemu-i386
binfmt=/proc/sys/fs/binfmt_misc
entry=$binfmt/qemu-i386
# QEMU's own pattern for i386 ELF executables and shared objects.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
probe=$root/build/probe32
probe_error=""

# The smallest static i386 program: it calls exit(0) and needs nothing else. It is
# kept in build/ rather than /tmp, which may be mounted noexec.
write_probe() {
  mkdir -p "$root/build"
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
  chmod 755 "$probe"
}

# Whether a 32-bit program runs; if not, probe_error says how it failed.
runs_32bit() {
  local rc=0 out
  out=$(timeout 30 "$probe" 2>&1) || rc=$?
  ((rc == 0)) && return 0
  out=${out##*: }
  probe_error="exit $rc${out:+, $out}"
  return 1
}

# Whether an enabled binfmt_misc entry hands i386 ELF programs to an interpreter.
i386_registered() {
  [ -f "$binfmt/status" ] && [ "$(cat "$binfmt/status")" = enabled ] || return 1
  local f
  for f in "$binfmt"/*; do
    [ -f "$f" ] && grep -qx enabled "$f" 2>/dev/null &&
      grep -qx 'magic 7f454c4601010100000000000000000002000300' "$f" && return 0
  done
  return 1
}

# Fetches qemu-user of Debian 13 with an apt of its own (own sources, state and cache;
# the machine's apt settings such as proxies still apply) and keeps only qemu-i386.
fetch_qemu() {
  local mirror key arch deb
  IFS=$'\t' read -r mirror key < <(find_mirror) ||
    { why="no Debian archive for this release found in /etc/apt's sources"; return 1; }
  arch=$(dpkg --print-architecture)
  echo "Fetching qemu-user of Debian 13 from $mirror (about 70 MB; only qemu-i386 is kept)"
  { $sudo rm -rf "$qemu_dir/deb" "$qemu_dir/x" &&
    $sudo mkdir -p "$qemu_dir"/{state/lists/partial,cache/archives/partial,parts,deb,x} &&
    echo "deb ${key:+[signed-by=$key] }$mirror trixie main" | $sudo tee "$qemu_dir/sources.list" >/dev/null &&
    $sudo touch "$qemu_dir/state/status"; } || { why="$qemu_dir cannot be written"; return 1; }
  local apt=($sudo apt-get -q
    -o Dir::Etc::SourceList="$qemu_dir/sources.list" -o Dir::Etc::SourceParts="$qemu_dir/parts"
    -o Dir::Etc::Preferences="$qemu_dir/parts/none" -o Dir::Etc::PreferencesParts="$qemu_dir/parts"
    -o Dir::State="$qemu_dir/state" -o Dir::State::status="$qemu_dir/state/status"
    -o Dir::Cache="$qemu_dir/cache" -o APT::Architecture="$arch" -o APT::Architectures="$arch"
    -o Acquire::Languages=none)
  "${apt[@]}" update >"$qemu_dir/apt.log" 2>&1 ||
    { why="apt could not read Debian 13's package list (see $qemu_dir/apt.log)"; return 1; }
  (cd "$qemu_dir/deb" && "${apt[@]}" download qemu-user) >>"$qemu_dir/apt.log" 2>&1 ||
    { why="apt could not download qemu-user of Debian 13 (see $qemu_dir/apt.log)"; return 1; }
  deb=$(echo "$qemu_dir"/deb/qemu-user_*.deb)
  dpkg-deb --fsys-tarfile "$deb" | $sudo tar -x -C "$qemu_dir/x" ./usr/bin/qemu-i386 ||
    { why="$deb holds no usr/bin/qemu-i386"; return 1; }
  $sudo install -m 755 "$qemu_dir/x/usr/bin/qemu-i386" "$qemu" || { why="$qemu cannot be written"; return 1; }
  $sudo rm -rf "$qemu_dir/deb" "$qemu_dir/x"
}

# Fetches the emulator if it is not there yet, mounts binfmt_misc if needed and
# registers the emulator for i386 ELF programs; on failure, why says what stopped it.
register_emulator() {
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { why="this is not root and sudo is not installed"; return 1; }
    sudo=sudo
  fi
  "$qemu" --version 2>/dev/null | grep -q '^qemu-i386 version' || fetch_qemu || return 1
  if [ ! -e "$binfmt/register" ]; then
    $sudo mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null ||
      { why="binfmt_misc cannot be mounted on $binfmt (a container without that privilege?)"; return 1; }
  fi
  if [ -e "$entry" ]; then
    local interp
    interp=$(sed -n 's/^interpreter //p' "$entry")
    [ "$interp" = "$qemu" ] ||
      { why="binfmt_misc has a qemu-i386 entry for $interp, yet it does not run 32-bit programs"; return 1; }
    echo -1 | $sudo tee "$entry" >/dev/null
  fi
  printf ':qemu-i386:M::%s:%s:%s:F' "$magic" "$mask" "$qemu" | $sudo tee "$binfmt/register" >/dev/null 2>&1 ||
    { why="binfmt_misc refused the registration"; return 1; }
  runs_32bit && return 0
  echo -1 | $sudo tee "$entry" >/dev/null
  why="with the emulator registered a 32-bit program still fails ($probe_error); the registration was removed"
  return 1
}

main() {
  local mode why=""
  write_probe
  case "${PIM_I386:-}" in
    "" | emulate | none) ;;
    *) echo "PIM_I386 is \"$PIM_I386\": it can be unset, emulate or none" >&2; exit 2 ;;
  esac
  if [ "${PIM_I386:-}" = none ]; then
    mode=none why="PIM_I386=none acts as a machine that cannot run 32-bit programs"
    echo "PIM_I386=none: acting as a machine that cannot run 32-bit programs, so without Wine."
  elif runs_32bit; then
    if i386_registered; then
      mode=emulated
      echo "32-bit programs run here through an emulator registered in binfmt_misc: Wine runs under emulation."
      [ ! -e "$entry" ] || echo "(to run them natively again, if the kernel can: echo -1 > $entry)"
    elif [ "${PIM_I386:-}" = emulate ]; then
      echo "32-bit programs run natively here; PIM_I386=emulate: registering QEMU's i386 emulator for them."
      if register_emulator; then
        mode=emulated
        echo "32-bit programs now run under the emulator (undo: echo -1 > $entry)."
      else
        mode=native
        echo "The emulator could not be registered: $why. Wine runs natively."
      fi
    else
      mode=native
      echo "32-bit programs run natively here: Wine runs as it is."
    fi
  else
    echo "This machine cannot run 32-bit programs ($probe_error): registering QEMU's i386 emulator for them."
    if register_emulator; then
      mode=emulated
      echo "32-bit programs now run under the emulator: Wine runs under emulation."
    else
      mode=none
      why="this machine cannot run 32-bit programs ($probe_error), and QEMU's i386 emulator could not be registered: $why"
      echo "32-bit programs cannot run here, and the emulator could not be registered: ${why#*registered: }."
      echo "The report runs with the native build instead of pim.dll under Wine; the Wine tests cannot run."
    fi
  fi
  save_i386_state "$mode" "$why"
}

# Sourced (by its test), it only defines the functions.
[[ "${BASH_SOURCE[0]}" != "$0" ]] || main "$@"
