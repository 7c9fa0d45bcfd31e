#!/usr/bin/env bash
# The plug-in's own share of the instructions the report spends, against the host
# functions it calls: callgrind over report_bench cases of the native build, counted
# over the collection (CollectItems, CollectOutlets, CollectSales) and over the whole
# report (the collection and ExportFiles). "host" is everything run inside a host
# function (the stand-in's record fetches, date comparisons, text copies, file
# output...), "fetch+dates" the part of it in VeldarFetchNext and VeldarCompareDates;
# "own" is the rest: the plug-in's code, its host import entries and the C library
# it calls itself; "own per line" divides it by the month's document lines. Instruction
# counts do not depend on the machine's load.
#
# usage: bench/callgrind_share.sh [--build DIR] [--collection-only] [CASE...]
#   DIR defaults to build/native (scripts/build.sh native); CASE to s0 (sample,
#   month20k, s0..s8, d0 or l0: the cases of report_bench, bench/report/report_bench.cpp).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/native
regions=(collection report)
cases=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --collection-only) regions=(collection); shift ;;
    -h|--help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) cases+=("$1"); shift ;;
  esac
done
[ ${#cases[@]} -gt 0 ] || cases=(s0)
command -v valgrind >/dev/null || { echo "callgrind_share.sh: valgrind is not installed" >&2; exit 1; }
build=$(cd "$build" && pwd)
bench=$build/bin/report_bench
[ -x "$bench" ] || { echo "callgrind_share.sh: no $bench (scripts/build.sh native)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

echo "| case | region | instructions | host | fetch+dates | own | own share | fetches | own per fetch | lines | own per line |"
echo "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
for c in "${cases[@]}"; do
  for region in "${regions[@]}"; do
    toggles=(--toggle-collect='pim::CRaportSprzPapierosow::Collect*')
    if [ "$region" = report ]; then toggles+=(--toggle-collect='pim::CRaportSprzPapierosow::ExportFiles*'); fi
    valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" "${toggles[@]}" \
      "$bench" --only "$c" --reps 1 >"$work/bench.txt" 2>"$work/valgrind.txt"
    # The case's fetches and document lines, from the benchmark's own table (columns 16 and 4).
    fetches=$(awk -F'|' -v c="$c" '$2 ~ "^ " c " $" {gsub(/ /, "", $16); print $16}' "$work/bench.txt")
    lines=$(awk -F'|' -v c="$c" '$2 ~ "^ " c " $" {gsub(/ /, "", $4); print $4}' "$work/bench.txt")
    callgrind_annotate --inclusive=yes --threshold=100 "$work/cg.out" 2>/dev/null |
      awk -v c="$c" -v region="$region" -v fetches="$fetches" -v lines="$lines" '
        function n(s) { gsub(",", "", s); return s + 0 }
        /PROGRAM TOTALS/ { total = n($1) }
        # Host functions: the stand-in library'"'"'s Veldar entry points.
        /:Veldar[A-Za-z]* \[.*libVELDAR/ {
          host += n($1)
          if ($0 ~ /:VeldarFetchNext |:VeldarCompareDates /) fd += n($1)
        }
        END {
          own = total - host
          printf "| %s | %s | %.0f | %.0f | %.0f | %.0f | %.1f%% | %.0f | %.1f | %.0f | %.1f |\n", c, region, total, host,
                 fd, own, 100 * own / total, fetches, (fetches > 0 ? own / fetches : 0), lines,
                 (lines > 0 ? own / lines : 0)
        }'
  done
done
