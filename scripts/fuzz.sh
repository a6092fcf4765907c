#!/usr/bin/env bash
# Builds and runs the libFuzzer targets (fuzz/*_fuzz.cpp) with clang,
# AddressSanitizer and UBSan in build/fuzz.
#
#   scripts/fuzz.sh smoke            all targets, 100 s of fuzzing in total (the test command;
#                                    FUZZ_SMOKE_SECONDS changes the total), seeds only
#   scripts/fuzz.sh long [SECONDS]   each target SECONDS long (default 600), figures at the end
#   scripts/fuzz.sh build            build only
#   FUZZ_TARGETS="format_parse" scripts/fuzz.sh long 60   a subset
#   FUZZ_BUILD_DIR=build/mine scripts/fuzz.sh smoke        another build directory
#   FUZZ_RUNS=10000000 scripts/fuzz.sh long 2400           stop a long run after that many inputs
#
# Seeds are read from fuzz/corpus/<name>/ and never written; new inputs of a
# long run go to build/fuzz/corpus/<name>/ (a smoke run starts from the seeds
# alone, so that a grown corpus cannot stretch its time), crashes to
# build/fuzz/artifacts/<name>/. Any crash, leak, timeout or build failure
# makes the script fail. The targets' scratch files go to a directory of
# their own in /dev/shm where there is one (FUZZ_SCRATCH overrides), removed
# after each target.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-smoke}
out=${FUZZ_BUILD_DIR:-$root/build/fuzz}

case "$mode" in
smoke | long | build) ;;
*)
  echo "usage: $0 smoke | long [SECONDS] | build" >&2
  exit 2
  ;;
esac

if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ not found" >&2
  exit 1
fi

targets=()
if [ -n "${FUZZ_TARGETS:-}" ]; then
  read -r -a targets <<<"$FUZZ_TARGETS"
else
  for f in "$root"/fuzz/*_fuzz.cpp; do
    [ -e "$f" ] || continue
    n=$(basename "$f" .cpp)
    targets+=("${n%_fuzz}")
  done
fi
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no targets"
  exit 0
fi

cmake -S "$root/fuzz" -B "$out" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug >/dev/null
for t in "${targets[@]}"; do
  cmake --build "$out" -j2 --target "$t" >/dev/null || {
    echo "fuzz: building $t failed; rerun: cmake --build $out --target $t" >&2
    exit 1
  }
done
[ "$mode" = build ] && exit 0

if [ "$mode" = smoke ]; then
  per=$((${FUZZ_SMOKE_SECONDS:-100} / ${#targets[@]}))
  [ $per -lt 5 ] && per=5
else
  per=${2:-600}
fi

# A file written and replaced per input costs a disk flush on a disk file
# system; in memory it is a copy.
scratch_root=${FUZZ_SCRATCH:-}
if [ -z "$scratch_root" ]; then
  scratch_root=/tmp
  [ -d /dev/shm ] && [ -w /dev/shm ] && scratch_root=/dev/shm
fi

status=0
for t in "${targets[@]}"; do
  corpus="$out/corpus/$t"
  if [ "$mode" = smoke ]; then
    corpus="$out/smoke-corpus/$t"
    rm -rf "$corpus"
  fi
  artifacts="$out/artifacts/$t"
  mkdir -p "$corpus" "$artifacts"
  seeds=()
  [ -d "$root/fuzz/corpus/$t" ] && seeds+=("$root/fuzz/corpus/$t")
  dict=()
  [ -f "$root/fuzz/$t.dict" ] && dict+=("-dict=$root/fuzz/$t.dict")
  # A target may cap its input length ("// fuzz-max-len: N" in its source)
  # where longer inputs only cost time.
  max_len=$(sed -n 's|^// fuzz-max-len: *\([0-9]*\).*|\1|p' "$root/fuzz/${t}_fuzz.cpp" | head -1)
  max_len=${max_len:-65536}
  runs=()
  [ "$mode" = long ] && [ -n "${FUZZ_RUNS:-}" ] && runs+=("-runs=$FUZZ_RUNS")
  log="$out/$t-$mode.log"
  echo "== fuzz $t for ${per}s (log $log)"
  scratch=$(mktemp -d "$scratch_root/tlx-fuzz-$t.XXXXXX")
  if TMPDIR=$scratch "$out/bin/$t" -max_total_time="$per" -timeout=20 -rss_limit_mb=2048 -max_len="$max_len" \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "${runs[@]}" "${dict[@]}" "$corpus" "${seeds[@]}" >"$log" 2>&1; then
    grep -E "^#[0-9]+.*DONE|^stat::number_of_executed_units|^stat::peak_rss_mb" "$log" | sed 's/^/   /' || true
  else
    status=1
    echo "fuzz: $t FAILED; reproduce with: $out/bin/$t <artifact>" >&2
    grep -E "ERROR|SUMMARY|Test unit written" "$log" | head -5 >&2 || true
  fi
  rm -rf "$scratch"
done
exit $status
