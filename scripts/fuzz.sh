#!/usr/bin/env bash
# Fuzzes with libFuzzer: builds the fuzz targets with clang under AddressSanitizer and
# UBSan (build/fuzz) and runs TARGET for SECONDS (default 60), or every target in
# turn for SECONDS each. New inputs go to build/fuzz/corpus/TARGET, crashes to
# build/fuzz/findings/TARGET; fuzz/README.md says how to keep them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
targets=(address options export table_sizes dataset form render command)

case "${1:-}" in
  -h|--help) echo "usage: fuzz.sh [TARGET [SECONDS]] | fuzz.sh all [SECONDS]   (targets: ${targets[*]})"; exit 0 ;;
esac
target=${1:-all}
seconds=${2:-60}
if [[ $target != all && " ${targets[*]} " != *" $target "* ]]; then
  echo "fuzz.sh: no target \"$target\" (targets: ${targets[*]})" >&2
  exit 2
fi
[[ $seconds =~ ^[0-9]+$ && $seconds -gt 0 ]] || { echo "fuzz.sh: SECONDS must be a positive whole number" >&2; exit 2; }

# clang and its libFuzzer runtime, from Debian.
if ! command -v clang++ >/dev/null || ! compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null; then
  sudo=""; [[ $(id -u) -eq 0 ]] || sudo=sudo
  echo "Installing clang and libFuzzer"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends clang libclang-rt-dev cmake make >/dev/null
fi

build=$root/build/fuzz
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DPIM_FUZZ=ON -DPIM_TESTS=OFF -DPIM_BENCH=OFF >/dev/null
run=("${targets[@]}")
[[ $target == all ]] || run=("$target")
cmake --build "$build" -j2 --target "${run[@]/#/fuzz_}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for t in "${run[@]}"; do
  mkdir -p "$build/corpus/$t" "$build/findings/$t" "$build/work/$t"
  echo "== $t: $seconds s"
  # The committed seeds are read; what the fuzzer finds goes to the first folder.
  dict=()
  [[ $t == dataset || $t == command ]] && dict=(-dict="$root/fuzz/dataset.dict")
  (cd "$build/work/$t" && "$build/bin/fuzz_$t" "${dict[@]}" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$build/findings/$t/" "$build/corpus/$t" "$root/fuzz/corpus/$t") || status=1
done
exit $status
