# Shared by the single-target fuzz scripts (sourced, not run):
#   ROOT, OUT (FUZZ_BUILD_DIR, default build-fuzz), SECONDS_EACH (FUZZ_SECONDS,
#   default 60), CXX (FUZZ_CXX, default clang++)
#   build_fuzzer NAME OBJDIR SOURCES...   compiles SOURCES with FLAGS and links
#                                         tests/fuzz/NAME_fuzzer.cpp with LIBS
#   run_fuzzer NAME SEEDS                 runs it for SECONDS_EACH; a crash leaves
#                                         its input as OUT/crash-NAME-* and fails
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
OUT=${FUZZ_BUILD_DIR:-$ROOT/build-fuzz}
case "$OUT" in /*) ;; *) OUT="$ROOT/$OUT" ;; esac
SECONDS_EACH=${FUZZ_SECONDS:-60}
CXX=${FUZZ_CXX:-clang++}

build_fuzzer() {
  local name=$1 objdir=$2
  shift 2
  mkdir -p "$objdir"
  local objects=() src obj
  for src in "$@"; do
    obj="$objdir/$(echo "$src" | tr / _).o"
    "$CXX" "${FLAGS[@]}" -fsanitize=fuzzer-no-link,address,undefined -c "$ROOT/$src" -o "$obj"
    objects+=("$obj")
  done
  "$CXX" "${FLAGS[@]}" -fsanitize=fuzzer,address,undefined "$ROOT/tests/fuzz/${name}_fuzzer.cpp" \
    "${objects[@]}" "${LIBS[@]}" -o "$OUT/${name}_fuzzer"
}

run_fuzzer() {
  local name=$1 seeds=$2
  # No leak checking: LeakSanitizer needs ptrace, which containers often deny.
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  mkdir -p "$OUT/corpus/$name"
  if "$OUT/${name}_fuzzer" "$OUT/corpus/$name" "$seeds" -max_total_time="$SECONDS_EACH" -timeout=10 \
       -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 -artifact_prefix="$OUT/crash-$name-" \
       >"$OUT/$name.log" 2>&1; then
    echo "fuzz $name: ok ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$OUT/$name.log" | grep -o '[0-9]*$') runs)"
  else
    echo "fuzz $name: FAILED, see $OUT/$name.log"
    tail -n 40 "$OUT/$name.log"
    return 1
  fi
}
