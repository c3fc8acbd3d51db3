# Shared by the fuzz scripts (sourced, not run):
#   ROOT, OUT (FUZZ_BUILD_DIR, default build-fuzz), SECONDS_EACH (FUZZ_SECONDS,
#   default 60), CXX (FUZZ_CXX, default clang++)
#   build_fuzzers NAME...                 builds OUT/bin/NAME_fuzzer of each NAME
#                                         (tests/fuzz/CMakeLists.txt) in OUT, the
#                                         project configured with clang and BRINDEL_FUZZ
#   build_fuzzer NAME OBJDIR SOURCES...   compiles SOURCES with FLAGS and links
#                                         tests/fuzz/NAME_fuzzer.cpp with LIBS into
#                                         OUT/bin, for a target CMake does not build
#   run_fuzzer NAME SEEDS                 runs it for SECONDS_EACH; a crash leaves
#                                         its input as OUT/crash-NAME-* and fails
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
OUT=${FUZZ_BUILD_DIR:-$ROOT/build-fuzz}
case "$OUT" in /*) ;; *) OUT="$ROOT/$OUT" ;; esac
SECONDS_EACH=${FUZZ_SECONDS:-60}
CXX=${FUZZ_CXX:-clang++}

build_fuzzers() {
  local options=() targets=() name
  # As setup.sh: no ccache and line tables only under CI, which builds from cold.
  if [ -n "${CI:-}" ]; then
    options+=(-DBRINDEL_LINE_TABLES=ON)
  elif command -v ccache >/dev/null 2>&1; then
    options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  for name in "$@"; do targets+=("${name}_fuzzer"); done
  # -O1 and assertions on (no NDEBUG): quick to build, and an assertion that
  # fails is a finding.
  CC=${FUZZ_CC:-clang} CXX=$CXX cmake -S "$ROOT" -B "$OUT" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_FLAGS_DEBUG="-O1 -g" -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
    -DBRINDEL_FUZZ=ON -DBRINDEL_BENCH=OFF "${options[@]}" >/dev/null
  cmake --build "$OUT" -j "$(nproc)" --target "${targets[@]}"
}

build_fuzzer() {
  local name=$1 objdir=$2
  shift 2
  mkdir -p "$objdir" "$OUT/bin"
  local objects=() src obj
  for src in "$@"; do
    obj="$objdir/$(echo "$src" | tr / _).o"
    "$CXX" "${FLAGS[@]}" -fsanitize=fuzzer-no-link,address,undefined -c "$ROOT/$src" -o "$obj"
    objects+=("$obj")
  done
  "$CXX" "${FLAGS[@]}" -fsanitize=fuzzer,address,undefined "$ROOT/tests/fuzz/${name}_fuzzer.cpp" \
    "${objects[@]}" "${LIBS[@]}" -o "$OUT/bin/${name}_fuzzer"
}

run_fuzzer() {
  local name=$1 seeds=$2
  # No leak checking: LeakSanitizer needs ptrace, which containers often deny.
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  mkdir -p "$OUT/corpus/$name"
  if "$OUT/bin/${name}_fuzzer" "$OUT/corpus/$name" "$seeds" -max_total_time="$SECONDS_EACH" -timeout=10 \
       -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 -artifact_prefix="$OUT/crash-$name-" \
       >"$OUT/$name.log" 2>&1; then
    echo "fuzz $name: ok ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$OUT/$name.log" | grep -o '[0-9]*$') runs)"
  else
    echo "fuzz $name: FAILED, see $OUT/$name.log"
    tail -n 40 "$OUT/$name.log"
    return 1
  fi
}
