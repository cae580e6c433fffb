#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang (BUILD_DIR, default build-fuzz/) and
# runs each one for SECONDS (first argument, default 60) on a copy of its seed
# corpus in fuzz/corpus/. New inputs stay in the build folder; an input that
# breaks a property is saved there too and the script fails, naming it.
#   scripts/fuzz.sh            # one minute each
#   scripts/fuzz.sh 600        # ten minutes each
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${BUILD_DIR:-$here/build-fuzz}"
seconds="${1:-60}"
"$here/scripts/install-deps.sh"

if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DBRIM_FILECRAWLER_SANITIZE=address -DBRIM_FILECRAWLER_BUILD_FUZZERS=ON \
    -DBRIM_FILECRAWLER_ASSERTIONS=ON \
    -DBRIM_FILECRAWLER_BUILD_TESTS=OFF -DBRIM_FILECRAWLER_BUILD_APP=OFF -DBRIM_FILECRAWLER_BUILD_PYTHON=OFF >/dev/null
fi
cmake --build "$build_dir" --parallel "$(nproc)"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
status=0
for harness in path_matching syntax_name_selection case_forming; do
  corpus="$build_dir/corpus/$harness"
  artifacts="$build_dir/artifacts/$harness/"
  mkdir -p "$corpus" "$artifacts"
  seeds="$here/fuzz/corpus/${harness%_selection}"
  echo "== fuzzing $harness for $seconds s"
  if ! "$build_dir/fuzz/${harness}_fuzzer" -max_total_time="$seconds" -max_len=512 -timeout=20 \
      -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$artifacts" "$corpus" "$seeds" \
      >"$build_dir/$harness.log" 2>&1; then
    tail -n 40 "$build_dir/$harness.log"
    echo "fuzz: $harness failed; the input is in $artifacts" >&2
    status=1
  else
    grep -E '^(Done|stat::number_of_executed_units)' "$build_dir/$harness.log" || true
  fi
done
exit $status
