#!/usr/bin/env bash
# The test suite again under the sanitizers, then a short run of each fuzzer.
# CI runs it after scripts/test.sh. Stages, in this order unless named:
#   asan  AddressSanitizer + UndefinedBehaviorSanitizer, the whole suite  (build-asan/)
#   fuzz  each libFuzzer harness for FUZZ_SECONDS (default 60), clang    (build-fuzz/)
#   tsan  ThreadSanitizer, the tests of code that runs threads         (build-tsan/)
#   scripts/test-sanitizers.sh            # all three
#   scripts/test-sanitizers.sh tsan       # one stage
# Every stage stops at the first report. Each stage's time is printed.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
stages=("$@")
if [ ${#stages[@]} -eq 0 ]; then
  stages=(asan fuzz tsan)
fi
"$here/scripts/install-deps.sh"

supp="$here/tests/sanitizers"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$supp/tsan.supp:print_suppressions=0"

# The code that runs threads: the crawl, the walk's read-ahead, the two-thread
# helper and the name sort that uses it (support/), and the program's stages
# after the crawl (run beside the thread that answers Ctrl-C, with the survey
# of the values and the heap warming on threads of their own).
threaded_tests='^FolderCrawler|^ProgramInterrupt|^ProgramOnSample|^HeapWarming|^SideBySide|^NameSort'

configure() { # build_dir, cmake options...
  local dir="$1"
  shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    # The Python module is left out: an instrumented extension cannot be
    # loaded into an interpreter that is not.
    cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIM_FILECRAWLER_BUILD_PYTHON=OFF "$@" >/dev/null
  fi
  cmake --build "$dir" --parallel "$(nproc)"
}

for stage in "${stages[@]}"; do
  start=$SECONDS
  echo "=== sanitizers: $stage"
  case "$stage" in
    asan)
      configure "$here/build-asan" -DBRIM_FILECRAWLER_SANITIZE=address
      (cd "$here/build-asan" && ctest --output-on-failure --parallel "$(nproc)")
      ;;
    tsan)
      configure "$here/build-tsan" -DBRIM_FILECRAWLER_SANITIZE=thread
      (cd "$here/build-tsan" && ctest --output-on-failure --parallel "$(nproc)" -R "$threaded_tests")
      ;;
    fuzz)
      BUILD_DIR="$here/build-fuzz" "$here/scripts/fuzz.sh" "${FUZZ_SECONDS:-60}"
      ;;
    *)
      echo "unknown stage: $stage (asan, fuzz or tsan)" >&2
      exit 2
      ;;
  esac
  echo "=== sanitizers: $stage took $((SECONDS - start)) s"
done
