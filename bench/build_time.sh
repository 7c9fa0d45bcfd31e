#!/usr/bin/env bash
# What the build from nothing costs, an older commit against this one: the two trees
# that scripts/test.sh builds (win32, then native-asan), each built from nothing by
# that commit's own scripts/build.sh in a scratch copy, the two commits taking turns.
# Wall time and CPU time (user + system, of the build and everything it starts) per
# tree and in all; the machine's load average before each build, since other work on
# the machine stretches wall times (CPU time much less).
#
# usage: bench/build_time.sh [--old REV] [--new REV] [--rounds N] [--incremental]
#   --old REV     the commit to compare with (default: where this branch left main)
#   --new REV     default: the working tree (HEAD with its uncommitted changes)
#   --rounds N    builds of each commit, alternating which goes first (default 2)
#   --incremental also, after the last round, a one-line change in report/collect.cpp
#                 (a word of its first comment: the same bytes, compiled again) and
#                 the native suite's result: the native-asan tree rebuilt, its ctest run
#
# Nothing is left behind: the copies and their trees are in a scratch directory
# (under TMPDIR) that is removed at the end. Runs on as many cores as build.sh uses.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
old="" new="" rounds=2 incremental=0
while [ $# -gt 0 ]; do
  case "$1" in
    --old) old=$2; shift 2 ;;
    --new) new=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --incremental) incremental=1; shift ;;
    -h|--help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "build_time.sh: unknown argument $1 (--help)" >&2; exit 2 ;;
  esac
done
cd "$repo"
if [ -z "$old" ]; then
  old=$(git merge-base HEAD main 2>/dev/null) || { echo "build_time.sh: no branch main here; give --old REV" >&2; exit 2; }
fi
old=$(git rev-parse --verify "$old^{commit}")
if [ -z "$new" ] && [ "$old" = "$(git rev-parse HEAD)" ] && [ -z "$(git status --porcelain -uno)" ]; then
  echo "build_time.sh: the old commit is this one (on main, give --old REV)" >&2
  exit 2
fi
if [ -z "$new" ]; then
  # HEAD with the working tree's changes to tracked files, as a commit of its own.
  new=$(git stash create)
  new=${new:-$(git rev-parse HEAD)}
  new_name="working tree ($(git rev-parse --short HEAD))"
  [ -z "$(git status --porcelain -uno)" ] || new_name="working tree ($(git rev-parse --short HEAD), changed)"
else
  new=$(git rev-parse --verify "$new^{commit}")
  new_name=$(git rev-parse --short "$new")
fi
old_name=$(git rev-parse --short "$old")

work=$(mktemp -d "${TMPDIR:-/tmp}/build_time.XXXXXX")
trap 'rm -rf "$work"' EXIT
for v in old new; do
  mkdir "$work/$v"
  git archive "${!v}" | tar -x -C "$work/$v"
done

declare -A wall cpu
# build VERSION KIND ROUND: one tree from nothing, timed.
build() {
  local v=$1 kind=$2 r=$3 load t
  rm -rf "$work/$v/build/$kind"
  load=$(cut -d' ' -f1 /proc/loadavg)
  /usr/bin/time -f "%e %U %S" -o "$work/time" "$work/$v/scripts/build.sh" "$kind" >"$work/$v-$kind.log" 2>&1 || {
    tail -20 "$work/$v-$kind.log" >&2
    echo "build_time.sh: the $v build of $kind failed" >&2
    exit 1
  }
  read -r t u s < <(tail -n 1 "$work/time")
  local c
  c=$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%.1f", u + s }')
  printf '%-3s round %d %-11s wall %6.1f s  cpu %6.1f s  (load before %s)\n' "$v" "$r" "$kind" "$t" "$c" "$load"
  wall[$v,$kind,$r]=$t cpu[$v,$kind,$r]=$c
}

echo "old: $old_name   new: $new_name   $(nproc) cores, $rounds round(s)"
for ((r = 1; r <= rounds; r++)); do
  # The new commit first in the first round: the build that finds the compilers and
  # headers outside the page cache is then one of the new commit's.
  if ((r % 2)); then order=(new old); else order=(old new); fi
  for v in "${order[@]}"; do
    build "$v" win32 "$r"
    build "$v" native-asan "$r"
  done
done

# Per tree and in all, the median of the rounds (the lower middle one when even).
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
# rounds_of VERSION KIND MEASURE: one value per round (KIND total: the two trees' sum).
rounds_of() {
  local v=$1 kind=$2 m=$3 r a b
  for ((r = 1; r <= rounds; r++)); do
    if [ "$kind" = total ]; then
      eval "a=\${$m[$v,win32,$r]} b=\${$m[$v,native-asan,$r]}"
      awk -v a="$a" -v b="$b" 'BEGIN { print a + b }'
    else
      eval "echo \${$m[$v,$kind,$r]}"
    fi
  done
}
if ((rounds > 0)); then
  # Each round's two builds ran minutes apart: their ratio is the least disturbed by
  # the machine's other work.
  echo
  for ((r = 1; r <= rounds; r++)); do
    awk -v r="$r" -v ow="$(rounds_of old total wall | sed -n "${r}p")" -v nw="$(rounds_of new total wall | sed -n "${r}p")" \
        -v oc="$(rounds_of old total cpu | sed -n "${r}p")" -v nc="$(rounds_of new total cpu | sed -n "${r}p")" \
      'BEGIN { printf "round %d, both trees: old %.1f s, new %.1f s, new/old %.2f; cpu %.1f s, %.1f s, %.2f\n", r, ow, nw, nw / ow, oc, nc, nc / oc }'
  done
  echo
  echo "Medians of the rounds:"
  echo "| tree | old wall | new wall | new/old | old cpu | new cpu | new/old |"
  echo "|---|---:|---:|---:|---:|---:|---:|"
  for kind in win32 native-asan total; do
    ow=$(rounds_of old "$kind" wall | median) nw=$(rounds_of new "$kind" wall | median)
    oc=$(rounds_of old "$kind" cpu | median) nc=$(rounds_of new "$kind" cpu | median)
    awk -v k="$kind" -v ow="$ow" -v nw="$nw" -v oc="$oc" -v nc="$nc" \
      'BEGIN { printf "| %s | %.1f s | %.1f s | %.2f | %.1f s | %.1f s | %.2f |\n", k, ow, nw, nw / ow, oc, nc, nc / oc }'
  done
fi

if ((incremental)); then
  echo
  echo "One line of report/collect.cpp changed, then the native suite: native-asan rebuilt, its ctest run (-j2)"
  for v in old new; do
    # With --rounds 0, both trees first (untimed): the native suite reads pim.dll.
    if [ ! -d "$work/$v/build/native-asan" ]; then
      for kind in win32 native-asan; do
        "$work/$v/scripts/build.sh" "$kind" >"$work/$v-$kind.log" 2>&1 || { tail -20 "$work/$v-$kind.log" >&2; exit 1; }
      done
    fi
    # The suite once before the change, untimed, as a developer's tree has run it
    # (reproducible_test's second pim.dll tree then exists).
    (cd "$work/$v/build/native-asan" && ctest -j2 >"$work/$v-ctest0.log" 2>&1) || true
    f=$work/$v/report/collect.cpp
    # A comment, so that pim.dll stays the same bytes: the native suite's
    # reproducible_test compares a new build of it with the win32 tree's.
    if head -n 1 "$f" | grep -q "^// The collection of a month's sales"; then
      sed -i "1s/^\/\/ The collection of a month's sales/\/\/ The collection of one month's sales/" "$f"
      what="a word of a comment"
    else
      echo "// build_time.sh" >>"$f"
      what="a comment line added"
    fi
    /usr/bin/time -f "%e %U %S" -o "$work/time" "$work/$v/scripts/build.sh" native-asan >"$work/$v-inc.log" 2>&1
    read -r bt bu bs < <(tail -n 1 "$work/time")
    rc=0
    (cd "$work/$v/build/native-asan" && /usr/bin/time -f "%e %U %S" -o "$work/time" ctest --output-on-failure -j2 \
      >"$work/$v-ctest.log" 2>&1) || rc=$?
    read -r ct cu cs < <(tail -n 1 "$work/time")
    summary=$(grep -E 'tests passed' "$work/$v-ctest.log" || echo "ctest exited $rc")
    failing=$(sed -n '/The following tests FAILED/,$p' "$work/$v-ctest.log" | grep -oE '[0-9]+ - [A-Za-z0-9_]+' |
              sed 's/^[0-9]* - //' | paste -sd, -) || true
    [ -z "$failing" ] || summary="$summary (failed: $failing)"
    awk -v v="$v" -v w="$what" -v bt="$bt" -v bc="$(awk -v u="$bu" -v s="$bs" 'BEGIN{print u+s}')" -v ct="$ct" \
        -v cc="$(awk -v u="$cu" -v s="$cs" 'BEGIN{print u+s}')" -v sm="$summary" \
      'BEGIN { printf "%-3s (%s): rebuild %.1f s (cpu %.1f s), ctest %.1f s (cpu %.1f s), together %.1f s; %s\n", v, w, bt, bc, ct, cc, bt + ct, sm }'
  done
fi
