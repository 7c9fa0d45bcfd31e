#!/usr/bin/env bash
# Set-up's view of a machine (scripts/i386.sh): which mirror its apt uses, and whether
# binfmt_misc already hands i386 programs to an emulator; on made-up /etc/apt and
# binfmt_misc trees.
set -uo pipefail
source "$1"
fails=0
t=$(mktemp -d)
trap 'rm -rf "$t"' EXIT
check() {  # check NAME EXPECTED ACTUAL
  [ "$2" = "$3" ] && return
  echo "FAIL $1: expected [$2], got [$3]"
  fails=$((fails + 1))
}

echo 'VERSION_CODENAME=bookworm' >"$t/os-release"
os_release=$t/os-release apt_etc=$t/apt
mkdir -p "$apt_etc/sources.list.d"

# deb822: the security archive, a disabled and a source-only entry come first.
cat >"$apt_etc/sources.list.d/debian.sources" <<'X'
Types: deb
URIs: http://security.test/debian-security
Suites: bookworm-security
Components: main

Enabled: no
Types: deb
URIs: http://old.test/debian
Suites: bookworm
Components: main

Types: deb-src
URIs: http://src.test/debian
Suites: bookworm
Components: main

# the archive itself
Types: deb
URIs: http://archive.test/debian http://second.test/debian
Suites: bookworm bookworm-updates
Components: main contrib
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
X
check "deb822" $'http://archive.test/debian\t/usr/share/keyrings/debian-archive-keyring.gpg' "$(find_mirror)"

# An inline key is not a file apt could be pointed at: the default keyrings serve.
sed -i 's|^Signed-By: .*|Signed-By:\n -----BEGIN PGP PUBLIC KEY BLOCK-----\n .\n -----END PGP PUBLIC KEY BLOCK-----|' \
  "$apt_etc/sources.list.d/debian.sources"
check "deb822, inline key" $'http://archive.test/debian\t' "$(find_mirror)"

# One-line lists, options in brackets; deb822 files are read first.
rm "$apt_etc/sources.list.d/debian.sources"
cat >"$apt_etc/sources.list" <<'X'
# deb http://commented.test/debian bookworm main
deb http://updates.test/debian bookworm-updates main
deb-src http://src.test/debian bookworm main
deb [ arch=amd64 signed-by=/etc/keys/debian.gpg ] http://lines.test/debian bookworm contrib main
X
check "one-line" $'http://lines.test/debian\t/etc/keys/debian.gpg' "$(find_mirror)"
echo 'deb http://plain.test/debian bookworm main' >"$apt_etc/sources.list"
check "one-line, no options" $'http://plain.test/debian\t' "$(find_mirror)"

echo 'deb http://other.test/debian bullseye main' >"$apt_etc/sources.list"
find_mirror >/dev/null && check "no archive for this release" "no mirror" "a mirror"

# binfmt_misc: only an enabled entry for i386 ELF, in an enabled binfmt_misc, counts.
binfmt=$t/binfmt
mkdir "$binfmt"
echo enabled >"$binfmt/status"
entry() {  # entry NAME STATE MAGIC
  printf '%s\ninterpreter /usr/bin/x\nflags: F\noffset 0\nmagic %s\nmask ff\n' "$2" "$3" >"$binfmt/$1"
}
i386=7f454c4601010100000000000000000002000300
registered() { i386_registered && echo yes || echo no; }
check "nothing registered" no "$(registered)"
entry qemu-x86_64 enabled 7f454c4602010100000000000000000002003e00
check "another machine's entry" no "$(registered)"
entry qemu-i386 disabled $i386
check "i386 entry disabled" no "$(registered)"
entry i386-other enabled $i386
check "i386 entry of any name" yes "$(registered)"
echo disabled >"$binfmt/status"
check "binfmt_misc disabled" no "$(registered)"

((fails == 0)) && echo "set-up's machine checks passed"
exit $((fails > 0))
