# shellcheck shell=bash
# Sourced by set-up: the machine's apt as set-up uses it. Which archives it reads,
# an update that tries again while a mirror is in the middle of a sync, an index the
# mirror serves out of step taken only when a Release that apt holds and whose
# signature checks lists it, and an install that says in plain words why it failed.
# Everything reads its paths from the variables below, so that the tests can point
# them at made-up trees.
: "${apt_etc:=/etc/apt}" "${os_release:=/etc/os-release}"
: "${apt_lists:=$(apt-config shell d Dir::State::lists/d 2>/dev/null | sed -nE "s/^d='(.*)'$/\1/p")}"
: "${apt_lists:=/var/lib/apt/lists/}"
: "${apt_helper:=/usr/lib/apt/apt-helper}"
: "${apt_log_dir:=${root:-.}/build}"
apt_sudo=()
((EUID == 0)) || apt_sudo=(sudo)

# Every enabled binary archive of the machine's sources: deb822 files first, then the
# one-line lists, one line per URI and suite:
#   URI<TAB>SUITE<TAB>COMPONENTS<TAB>KEYRING<TAB>SIGNED-BY
# KEYRING is empty unless Signed-By names a file; SIGNED-BY is the whole of it on one
# line, the lines of an inline key joined by "\n" and each "\" doubled (printf %b
# gives it back).
apt_sources() {
  local f
  for f in "$apt_etc"/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk '
      BEGIN { RS = ""; FS = "\n" }
      function esc(v) { gsub(/\\/, "&&", v); gsub(/\t/, " ", v); return v }
      {
        types = uris = suites = comps = key = signed = name = ""; enabled = "yes"
        for (i = 1; i <= NF; i++) {
          if ($i ~ /^[ \t]*#/) continue
          # A line that goes on with the field above it: for Signed-By, an inline key
          # (" ." stands for an empty line).
          if ($i ~ /^[ \t]/) {
            v = $i; sub(/^[ \t]+/, "", v)
            if (name == "signed-by") signed = signed "\\n" (v == "." ? "" : esc(v))
            continue
          }
          if (index($i, ":") == 0) { name = ""; continue }
          name = tolower(substr($i, 1, index($i, ":") - 1))
          value = substr($i, index($i, ":") + 1); gsub(/^[ \t]+|[ \t]+$/, "", value)
          if (name == "types") types = value
          else if (name == "uris") uris = value
          else if (name == "suites") suites = value
          else if (name == "components") comps = value
          else if (name == "signed-by") { key = value; signed = esc(value) }
          else if (name == "enabled") enabled = tolower(value)
        }
        if (enabled == "no" || (" " types " ") !~ / deb /) next
        if (key !~ /^\//) key = ""
        n = split(uris, u, " "); m = split(suites, s, " ")
        for (i = 1; i <= n; i++) for (j = 1; j <= m; j++) print u[i] "\t" s[j] "\t" comps "\t" key "\t" signed
      }' "$f"
  done
  for f in "$apt_etc"/sources.list "$apt_etc"/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk '
      $1 != "deb" { next }
      {
        line = $0; key = ""
        if (match(line, /\[[^]]*\]/)) {
          opts = substr(line, RSTART + 1, RLENGTH - 2)
          line = substr(line, 1, RSTART - 1) substr(line, RSTART + RLENGTH)
          if (match(opts, /signed-by=[^ \t]+/)) key = substr(opts, RSTART + 10, RLENGTH - 10)
        }
        n = split(line, w, /[ \t]+/); comps = ""
        for (i = 4; i <= n; i++) comps = comps (i > 4 ? " " : "") w[i]
        signed = key; gsub(/\\/, "&&", signed)
        print w[2] "\t" w[3] "\t" comps "\t" key "\t" signed
      }' "$f"
  done
}

# This machine's release, as its apt knows it ("bookworm", "trixie").
release_codename() { (. "$os_release" && echo "${VERSION_CODENAME:-}"); }

# The URI and keyring of the archive this machine takes its own release from (the
# first source of its release's main component), printed as "URI<TAB>KEYRING".
find_mirror() {
  local codename
  codename=$(release_codename)
  [ -n "$codename" ] || return 1
  apt_sources | awk -F'\t' -v suite="$codename" \
    '$2 == suite && (" " $3 " ") ~ / main / { print $1 "\t" $4; found = 1; exit } END { exit !found }'
}

# The name apt gives a downloaded file in its lists directory: the URI without its
# scheme and credentials, with apt's reserved characters %-quoted and "/" made "_".
list_name() {
  local u=${1#*://} host
  host=${u%%/*} u=${u#"$host"}
  printf '%s%s\n' "${host##*@}" "$u" |
    sed -e 's/%/%25/g' -e 's/_/%5f/g' -e 's/~/%7e/g' -e 's/=/%3d/g' -e 's/!/%21/g' -e 's/@/%40/g' \
      -e 's/#/%23/g' -e 's/\$/%24/g' -e 's/\^/%5e/g' -e 's/&/%26/g' -e 's/\*/%2a/g' -e 's/|/%7c/g' \
      -e 's/{/%7b/g' -e 's/}/%7d/g' -e 's/\[/%5b/g' -e 's/]/%5d/g' -e 's/</%3c/g' -e 's/>/%3e/g' \
      -e 's/"/%22/g' -e 's/\\/%5c/g' -e 's|/|_|g'
}

# apt-get update, tried again with short waits while an index cannot be read (a
# mirror in the middle of a sync serves files its Release does not list). Leaves the
# indexes of the last try that failed in failed_indexes, one "URL<TAB>apt's reason"
# a line. The waits: PIM_APT_WAITS, seconds before each further try.
failed_indexes=""
apt_update() {
  local log=$apt_log_dir/apt-update.log wait
  mkdir -p "$apt_log_dir"
  failed_indexes=""
  for wait in 0 ${PIM_APT_WAITS-5 15}; do
    if [ -n "$failed_indexes" ]; then
      echo "apt-get update could not read $(grep -c . <<<"$failed_indexes") index(es); trying again in $wait s"
      sleep "$wait"
    fi
    "${apt_sudo[@]}" apt-get update >"$log" 2>&1 && { failed_indexes=""; return 0; }
    failed_indexes=$(sed -nE 's/^[EW]: Failed to fetch ([^ ]+) +(.*[^ ]) *$/\1\t\2/p' "$log" | sort -u)
    [ -n "$failed_indexes" ] || failed_indexes=$'(apt-get update)\t'"$(grep -m1 '^E:' "$log" || tail -n1 "$log")"
  done
  return 1
}

# The Signed-By of the source that reads SUITE of the archive at BASE, as apt_sources
# gives it; fails when no source reads it.
source_signed_by() {  # BASE SUITE
  apt_sources | awk -F'\t' -v u="$1" -v s="$2" \
    '!found && ($1 == u || $1 == u "/") && $2 == s { print $5; found = 1 } END { exit !found }'
}

# Takes the index at URL that apt-get update refused, when the Release of its suite
# that apt holds (checked here again: signature, by the keys its source names, and
# Valid-Until) lists exactly the file the mirror serves; it is then unpacked where
# apt keeps that index. Nothing else is ever taken. On failure, repair_why says why.
repair_why=""
repair_index() {
  local rc=0
  # In a subshell, so that its traps leave set-up's own alone: the work directory
  # goes however the repair ends, and an interrupt is then passed on as it came.
  # Why it failed comes back as the subshell's output.
  repair_why=$(
    work=""
    trap 'rm -rf ${work:+"$work"}' EXIT
    for sig in INT TERM HUP; do
      # shellcheck disable=SC2064  # the signal now, the directory when it comes
      trap "rm -rf \${work:+\"\$work\"}; trap - $sig EXIT; kill -$sig \$BASHPID" "$sig"
    done
    work=$(mktemp -d 2>/dev/null) || { echo "no work directory could be made in ${TMPDIR:-/tmp}"; exit 1; }
    take_index "$work" "$1" >&2 || { echo "$repair_why"; exit 1; }
  ) || rc=$?
  return "$rc"
}
take_index() {
  local fetched=$1 url=$2 base suite path release hash valid_until signed_by items=() item rings=() fprs=() keys=() k
  [[ $url =~ ^(.+)/dists/([^/]+)/(.+)$ ]] || { repair_why="it is not an index of a suite"; return 1; }
  base=${BASH_REMATCH[1]} suite=${BASH_REMATCH[2]} path=${BASH_REMATCH[3]}
  release=$apt_lists/$(list_name "$base/dists/$suite/InRelease")
  [ -f "$release" ] || { repair_why="apt holds no Release of $suite to check it against"; return 1; }
  # Only the keys the source names, as apt: none named where no source reads the suite.
  signed_by=$(source_signed_by "$base" "$suite") ||
    { repair_why="no source of apt's reads $suite from $base, so none names the keys that sign it"; return 1; }
  signed_by=$(printf '%b' "$signed_by")
  # Signed-By is an inline key, or keyring files and fingerprints: the fingerprints pick
  # the keys that count among those of the files, or else of the keyrings apt trusts
  # for every source.
  if [[ $signed_by == *"-----BEGIN PGP PUBLIC KEY BLOCK-----"* ]]; then
    printf '%s\n' "$signed_by" >"$fetched/inline.asc"
    rings=("$fetched/inline.asc")
  else
    read -ra items <<<"${signed_by//[,$'\n']/ }"
    for item in "${items[@]}"; do
      if [[ $item == /* ]]; then rings+=("$item"); else fprs+=("$item"); fi
    done
    ((${#rings[@]})) || rings=("$apt_etc"/trusted.gpg "$apt_etc"/trusted.gpg.d/*.gpg "$apt_etc"/trusted.gpg.d/*.asc)
  fi
  # gpgv reads binary keyrings only; an armoured one is unwrapped first, as apt does
  # (without gpg, which a bare machine lacks: the armour is base64 between its header
  # lines and its checksum line).
  for k in "${rings[@]}"; do
    [ -f "$k" ] || continue
    if [[ $k == *.asc ]]; then
      awk '/^-----BEGIN/ { head = 1; next } head && /^$/ { head = 0; body = 1; next }
           body && /^(=|-----END)/ { body = 0 } body' "$k" | base64 -d >"$fetched/${#keys[@]}.gpg" 2>/dev/null ||
        continue
      k=$fetched/${#keys[@]}.gpg
    fi
    keys+=("$k")
  done
  # Without a keyring gpgv would take the user's own trusted keys instead.
  ((${#keys[@]} > 0)) || { repair_why="no keyring that apt trusts for $suite was found"; return 1; }
  local signed expires now
  signed_text "$fetched/Release" "$release" "${keys[@]}" && signed=$(cat "$fetched/Release") ||
    { repair_why=${signed_why:-"the signature of the Release of $suite that apt holds does not check"}; return 1; }
  if ((${#fprs[@]})) && ! grep -qxF -f <(printf '%s\n' "${fprs[@]}") <<<"$signers"; then
    repair_why="the Release of $suite that apt holds is signed by none of the keys its source names (${fprs[*]})"
    return 1
  fi
  # PIM_APT_NOW stands in for the present, for the tests.
  now=$(date -d "${PIM_APT_NOW:-now}" +%s 2>/dev/null) ||
    { repair_why="PIM_APT_NOW is not a date that can be read: $PIM_APT_NOW"; return 1; }
  valid_until=$(sed -n 's/^Valid-Until: //p' <<<"$signed")
  if [ -n "$valid_until" ]; then
    expires=$(date -d "$valid_until" +%s 2>/dev/null) ||
      { repair_why="the Valid-Until of the Release of $suite that apt holds cannot be read: $valid_until"; return 1; }
    if ((expires < now)); then
      repair_why="the Release of $suite that apt holds expired on $valid_until"
      return 1
    fi
  fi
  hash=$(awk -v p="$path" '/^SHA256:/ { s = 1; next } /^[^ ]/ { s = 0 } s && $3 == p { print $1; exit }' <<<"$signed")
  [ -n "$hash" ] || { repair_why="the Release of $suite that apt holds lists no $path"; return 1; }
  # Named as served: apt-helper unpacks by the name's ending.
  local index=$fetched/${url##*/}
  if ! "$apt_helper" download-file "$url" "$index" "SHA256:$hash" >"$fetched/log" 2>&1; then
    if grep -q 'Hash Sum mismatch' "$fetched/log"; then
      repair_why="the file the mirror serves is not the one the Release of $suite that apt holds lists (SHA256 differs)"
    else
      repair_why="it could not be downloaded: $(grep -m1 -E '^(E|Err)' "$fetched/log")"
    fi
    return 1
  fi
  local target=$apt_lists/$(list_name "${url%.*}") part
  [[ $url =~ \.(xz|gz|bz2|lzma|lz4|zst)$ ]] || target=$apt_lists/$(list_name "$url")
  # Unpacked beside its place and renamed into it, so that apt never reads a cut-short
  # index; a name apt does not know, which its next update clears away if it is left.
  part=$("${apt_sudo[@]}" mktemp "$target.pim-XXXXXX") || { repair_why="$apt_lists cannot be written"; return 1; }
  "$apt_helper" cat-file "$index" | "${apt_sudo[@]}" tee "$part" >/dev/null
  if ((PIPESTATUS[0] != 0 || PIPESTATUS[1] != 0)) || ! "${apt_sudo[@]}" chmod 644 "$part" ||
    ! "${apt_sudo[@]}" mv -f "$part" "$target"; then
    "${apt_sudo[@]}" rm -f "$part"
    repair_why="it could not be unpacked into $apt_lists"
    return 1
  fi
}

# Writes to OUT the text of a clearsigned RELEASE when its signature checks against
# one of the KEYRINGs: with sqv where it reads clearsigned files, as apt does from
# Debian 13 on, else with gpgv, as Debian 12's apt does (Debian 12's own sqv cannot).
# When neither can, signed_why says so. signers lists, a line each, how a fingerprint
# in Signed-By may name a key that made a good signature, as that apt matches them:
# sqv tells only the primary key of each; gpgv tells the key, which "FPR!" names, and
# its primary key, as does "FPR" (either of them).
signed_why="" signers=""
signed_text() {  # OUT RELEASE KEYRING...
  local out=$1 release=$2 args=() k status
  shift 2
  signed_why="" signers=""
  if command -v sqv >/dev/null && sqv --help 2>&1 | grep -q -- --cleartext; then
    for k; do args+=("--keyring=$k"); done
    signers=$(sqv "${args[@]}" --output="$out" --cleartext "$release" 2>/dev/null)
  elif command -v gpgv >/dev/null; then
    for k; do args+=(--keyring "$k"); done
    status=$(gpgv --status-fd 1 --output "$out" "${args[@]}" "$release" 2>/dev/null) || return 1
    # gpgv also passes a signature by an expired or revoked key, which apt does not
    # count: only a VALIDSIG after a GOODSIG does.
    signers=$(awk '$2 == "NEWSIG" { good = 0 } $2 == "GOODSIG" { good = 1 }
                   $2 == "VALIDSIG" && good { print $3 "!"; print $3; print (NF >= 12 ? $12 : $3) }' <<<"$status")
    [ -n "$signers" ]
  else
    signed_why="neither gpgv nor an sqv that reads clearsigned files is installed to check its Release"
    return 1
  fi
}

# Tries every index the update could not read, once, and says what became of it.
# Leaves in failed_indexes those it could not take.
repair_indexes() {
  local url reason left=""
  while IFS=$'\t' read -r url reason; do
    [ -n "$url" ] || continue
    if [[ $url == *://* ]] && repair_index "$url"; then
      echo "Took $url from the mirror after all: the Release of its suite that apt holds, signature checked, lists it."
    else
      [[ $url != *://* ]] || echo "Not taken: $url ($repair_why)."
      left+="$url"$'\t'"$reason"$'\n'
    fi
  done <<<"$failed_indexes"
  failed_indexes=${left%$'\n'}
}

# Installs packages. Where an index could not be read, an install that fails is tried
# once more preferring this release's own suite, whose versions exist for every
# architecture it has indexes of; apt never downgrades for that preference. On
# failure, install_why says which packages and why, in plain words.
install_why=""
apt_install() {
  local log=$apt_log_dir/apt-install.log codename
  mkdir -p "$apt_log_dir"
  install_why=""
  apt_get_install "$@" >"$log" 2>&1 && return 0
  codename=$(release_codename)
  if [ -n "$failed_indexes" ] && [ -n "$codename" ]; then
    echo "The install failed while an index could not be read; trying again with $codename's own versions."
    if apt_get_install -t "$codename" "$@" >"$log.retry" 2>&1; then
      echo "Installed with $codename's own versions where the newer ones need an index that could not be read;"
      echo "a later apt-get upgrade takes the newer ones once the mirror is in step."
      return 0
    fi
  fi
  # Why the plain install failed says more than the retry's resolver does.
  install_why=$(explain_install_failure "$log" "$@")
  return 1
}
apt_get_install() {
  DEBIAN_FRONTEND=noninteractive "${apt_sudo[@]}" apt-get install -y -q --no-install-recommends "$@"
}

# Why apt could not install, from its log: the packages it could not have, the
# indexes the update could not read, and, for a library of another architecture that
# must match the installed one's version, that no index read lists that version.
explain_install_failure() {
  local log=$1 native pkg installed
  shift
  native=$(dpkg --print-architecture)
  echo "apt-get install $* failed:"
  grep -E '^(E:| [^ ].* : |  +(Depends|PreDepends|Conflicts|Breaks):)' "$log" | head -n 12 | sed 's/^/    /'
  if [ -n "$failed_indexes" ]; then
    echo "apt-get update could not read:"
    sed -E 's/\t/\n        /; s/^/    /' <<<"$failed_indexes"
  fi
  for pkg in $(grep -oE '[a-z0-9][a-z0-9.+-]*:[a-z0-9]+' "$log" | grep -v ":$native\$" | sort -u); do
    installed=$(dpkg-query -W -f='${Status}|${Multi-Arch}|${Version}' "${pkg%:*}:$native" 2>/dev/null) || continue
    [[ $installed == "install ok installed|same|"* ]] || continue
    installed=${installed##*|}
    apt-cache madison "$pkg" 2>/dev/null | awk -F' [|] ' -v v="$installed" '$2 == v { f = 1 } END { exit !f }' && continue
    echo "$pkg must be $installed, as the installed ${pkg%:*}:$native is, and no index apt could read lists that version."
  done
}
