#!/usr/bin/env bash
# Every benchmark in one command: builds the native configuration in Release
# (build/bench), runs each bench/*_bench executable (JSON output) and each
# bench/*.sh script, and prints one markdown table with every figure beside
# its reference measured in the same run, the goal of the row where it has
# one and whether this run met it ("met" / "NOT met"; the goals are ratios
# within the run, never absolute figures). Not part of the test command.
# The scale row runs only on request: BENCH_SCALE_MB=1200 (or 3500 for the
# long mode) with BENCH_WIN_BUILD installs a setup file of that size with the
# real Setup.exe under Wine (tests/e2e/scale_install.sh) and prints its peak
# resident memory beside md5sum of the same file.
#
#   scripts/bench.sh                 all, about 1.5 minutes with the build
#   BENCH_FILTER=Merge scripts/bench.sh   only benchmarks matching the regex
#   BENCH_REPETITIONS=5 scripts/bench.sh  each figure the median of 5 runs (default 1)
#   BENCH_WIN_BUILD=build/win scripts/bench.sh   adds the setup's check under
#                                    Wine (needs that build and a Wine bed)
#
# Results stay in build/bench/results/ (JSON, script output, table.md).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench"
results="$build/results"

mkdir -p "$build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >"$build/configure.log" 2>&1 || {
  cat "$build/configure.log" >&2
  exit 1
}
benches=()
for f in "$root"/bench/*_bench.cpp; do
  [ -e "$f" ] && benches+=("$(basename "$f" .cpp)")
done
echo "== building ${benches[*]} mksetup paramtool fleetreport (Release, $build)" >&2
cmake --build "$build" -j2 --target "${benches[@]}" mksetup paramtool fleetreport >"$build/build.log" 2>&1 || {
  tail -30 "$build/build.log" >&2
  exit 1
}

rm -rf "$results"
mkdir -p "$results"
status=0
for b in "${benches[@]}"; do
  echo "== $b" >&2
  # With BENCH_REPETITIONS, each figure is the median of its repetitions.
  # Not the default: repeated merges meet the allocator in another state
  # than the first one does. The merge's growth and its awk comparison come
  # from new processes (bench/merge-process.sh), one merge each, as in a
  # setup run.
  if ! "$build/bin/$b" --benchmark_format=json --benchmark_filter="${BENCH_FILTER:-.}" \
    --benchmark_repetitions="${BENCH_REPETITIONS:-1}" \
    >"$results/$b.json" 2>"$results/$b.log"; then
    echo "bench: $b failed (see $results/$b.log)" >&2
    status=1
  fi
done
if [ -z "${BENCH_FILTER:-}" ]; then
  for s in "$root"/bench/*.sh; do
    [ -e "$s" ] || continue
    n=$(basename "$s" .sh)
    echo "== $n" >&2
    if ! NATIVE_BUILD="$build" WIN_BUILD="${BENCH_WIN_BUILD:-$build/no-windows-build}" bash "$s" \
      >"$results/$n.txt" 2>&1; then
      echo "bench: $n failed (see $results/$n.txt)" >&2
      status=1
    fi
  done
fi

{
  echo "Machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'),"\
    "load average $(cut -d' ' -f1-3 /proc/loadavg), $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo
  python3 "$root/bench/bench_table.py" "$results" || status=1
  if [ -n "${BENCH_SCALE_MB:-}" ] && [ -n "${BENCH_WIN_BUILD:-}" ]; then
    win=$(cd "$BENCH_WIN_BUILD" && pwd)
    echo
    TLX_WIN_BIN="$win/bin" TLX_E2E_DATA="$win/tests/e2e/data" TLX_E2E_OUT="$win/tests/e2e/out" \
      bash "$root/tests/e2e/scale_install.sh" "$BENCH_SCALE_MB" | grep '^scale:' || status=1
  fi
} | tee "$results/table.md"
exit $status
