#!/usr/bin/env bash
# Builds the libFuzzer targets of the readers of outside files with clang
# (tests/fuzz/CMakeLists.txt, apart from the main GCC build) and runs them
# side by side for a bounded time, starting from the seed corpus in
# tests/fuzz/corpus/<target>.
#   FUZZ_SECONDS=60          time of each target
#   FUZZ_BUILD_DIR=build-fuzz
# A crash leaves its input as <build dir>/crash-<target>-* and fails the script.
set -euo pipefail
# shellcheck source=tests/fuzz/fuzz_common.sh
source "$(dirname "$0")/fuzz_common.sh"
TARGETS=(mht_reader kpx_draw zrv_uni fld_file char_block template_table template_file office_archive)

build_fuzzers "${TARGETS[@]}"

# No leak checking: LeakSanitizer needs ptrace, which containers often deny.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
pids=()
for t in "${TARGETS[@]}"; do
  corpus="$OUT/corpus/$t"
  mkdir -p "$corpus"
  # -close_fd_mask=1: the readers' diagnostics on stdout are noise here.
  "$OUT/bin/${t}_fuzzer" "$corpus" "$ROOT/tests/fuzz/corpus/$t" \
    -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -close_fd_mask=1 -print_final_stats=1 -artifact_prefix="$OUT/crash-$t-" \
    >"$OUT/$t.log" 2>&1 &
  pids+=($!)
done
status=0
for i in "${!TARGETS[@]}"; do
  if wait "${pids[$i]}"; then
    echo "fuzz ${TARGETS[$i]}: ok ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$OUT/${TARGETS[$i]}.log" | grep -o '[0-9]*$') runs)"
  else
    echo "fuzz ${TARGETS[$i]}: FAILED, see $OUT/${TARGETS[$i]}.log"
    tail -n 40 "$OUT/${TARGETS[$i]}.log"
    status=1
  fi
done
exit $status
