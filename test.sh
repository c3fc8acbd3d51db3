#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: first the normal
# build, then the whole suite again under AddressSanitizer and UBSan, then
# the readers of outside files under libFuzzer for a bounded time.
#   SKIP_SANITIZE=1  only the normal build
#   SKIP_FUZZ=1      no fuzzing of the readers of outside files
#   FUZZ_SECONDS=n   fuzzing time of each target (default 60)
# At its end it prints the wall and CPU time of each step and of the whole.
set -euo pipefail
cd "$(dirname "$0")"
export QT_QPA_PLATFORM=offscreen

# children_cpu sets cpu to the CPU seconds (user + system) of this shell's
# finished children so far: `times` runs in the shell itself, its output
# going to a file, since in a subshell it would count the subshell's own.
steps_file=$(mktemp)
times_file=$(mktemp)
children_cpu() {
  times >"$times_file"
  cpu=$(awk 'NR == 2 {
    n = 0
    for (i = 1; i <= NF; i++) { split($i, p, /[ms]/); n += p[1] * 60 + p[2] }
    printf "%.0f", n
  }' "$times_file")
}
started=$SECONDS
children_cpu
started_cpu=$cpu
report() {
  local status=$?
  children_cpu
  echo "test.sh: step                 wall s    CPU s"
  cat "$steps_file"
  printf 'test.sh: %-18s %8d %8d\n' "in all" $((SECONDS - started)) $((cpu - started_cpu))
  rm -f "$steps_file" "$times_file"
  exit $status
}
trap report EXIT

# step NAME command...: runs the command and notes its wall and CPU time.
step() {
  local name=$1 wall=$SECONDS before
  shift
  children_cpu
  before=$cpu
  "$@"
  children_cpu
  printf 'test.sh: %-18s %8d %8d\n' "$name" $((SECONDS - wall)) $((cpu - before)) >>"$steps_file"
}

step "setup and build" ./setup.sh
step "tests" ctest --test-dir build --output-on-failure -j "$(nproc)"
if [ -z "${SKIP_SANITIZE:-}" ]; then
  # The benchmarks are not run under the sanitizers: not built there either.
  step "sanitizer build" env BUILD_DIR=build-asan BRINDEL_SANITIZE=ON BRINDEL_BENCH=OFF ./setup.sh
  step "sanitizer tests" env ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$(nproc)" -LE nosanitize
fi
if [ -z "${SKIP_FUZZ:-}" ]; then
  step "fuzzing" tests/fuzz/run_fuzzers.sh
fi
