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
#                 (two operands of a sum swapped: the same code, rebuilt) and the
#                 native suite's result: the native-asan tree rebuilt and its ctest run
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
results=()
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
  read -r t u s <"$work/time"
  local c
  c=$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%.1f", u + s }')
  printf '%-3s round %d %-11s wall %6.1f s  cpu %6.1f s  (load before %s)\n' "$v" "$r" "$kind" "$t" "$c" "$load"
  wall[$v,$kind,$r]=$t cpu[$v,$kind,$r]=$c
}

echo "old: $old_name   new: $new_name   $(nproc) cores, $rounds round(s)"
for ((r = 1; r <= rounds; r++)); do
  if ((r % 2)); then order=(old new); else order=(new old); fi
  for v in "${order[@]}"; do
    build "$v" win32 "$r"
    build "$v" native-asan "$r"
  done
done

# Per tree and in all, the median of the rounds (the lower middle one when even).
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
echo
echo "| tree | old wall | new wall | new/old | old cpu | new cpu | new/old |"
echo "|---|---:|---:|---:|---:|---:|---:|"
declare -A sum
for kind in win32 native-asan total; do
  for v in old new; do
    for m in wall cpu; do
      if [ "$kind" = total ]; then
        vals=$(for ((r = 1; r <= rounds; r++)); do
                 eval "a=\${$m[$v,win32,$r]} b=\${$m[$v,native-asan,$r]}"
                 awk -v a="$a" -v b="$b" 'BEGIN { print a + b }'
               done)
      else
        vals=$(for ((r = 1; r <= rounds; r++)); do eval "echo \${$m[$v,$kind,$r]}"; done)
      fi
      sum[$v,$m]=$(median <<<"$vals")
    done
  done
  awk -v k="$kind" -v ow="${sum[old,wall]}" -v nw="${sum[new,wall]}" -v oc="${sum[old,cpu]}" -v nc="${sum[new,cpu]}" \
    'BEGIN { printf "| %s | %.1f s | %.1f s | %.2f | %.1f s | %.1f s | %.2f |\n", k, ow, nw, nw / ow, oc, nc, nc / oc }'
done

if ((incremental)); then
  echo
  echo "One line of report/collect.cpp changed, then the native suite: native-asan rebuilt, its ctest run (-j2)"
  for v in old new; do
    f=$work/$v/report/collect.cpp
    if grep -q 'static_cast<uint32_t>(sum) + static_cast<uint32_t>(quantity)' "$f"; then
      sed -i 's/static_cast<uint32_t>(sum) + static_cast<uint32_t>(quantity)/static_cast<uint32_t>(quantity) + static_cast<uint32_t>(sum)/' "$f"
      what="operands swapped"
    else
      echo "// build_time.sh" >>"$f"
      what="a comment line added"
    fi
    /usr/bin/time -f "%e %U %S" -o "$work/time" "$work/$v/scripts/build.sh" native-asan >"$work/$v-inc.log" 2>&1
    read -r bt bu bs <"$work/time"
    rc=0
    (cd "$work/$v/build/native-asan" && /usr/bin/time -f "%e %U %S" -o "$work/time" ctest -j2 >"$work/$v-ctest.log" 2>&1) || rc=$?
    read -r ct cu cs <"$work/time"
    summary=$(grep -E 'tests passed' "$work/$v-ctest.log" || echo "ctest exited $rc")
    awk -v v="$v" -v w="$what" -v bt="$bt" -v bc="$(awk -v u="$bu" -v s="$bs" 'BEGIN{print u+s}')" -v ct="$ct" \
        -v cc="$(awk -v u="$cu" -v s="$cs" 'BEGIN{print u+s}')" -v sm="$summary" \
      'BEGIN { printf "%-3s (%s): rebuild %.1f s (cpu %.1f s), ctest %.1f s (cpu %.1f s), together %.1f s; %s\n", v, w, bt, bc, ct, cc, bt + ct, sm }'
  done
fi
