#!/usr/bin/env bash
# Builds the libFuzzer targets of the readers of outside files with clang,
# apart from the main GCC build, and runs them side by side for a bounded
# time, starting from the seed corpus in tests/fuzz/corpus/<target>.
#   FUZZ_SECONDS=60          time of each target
#   FUZZ_BUILD_DIR=build-fuzz
#   FUZZ_JOBS=3              targets run at once
# A crash leaves its input as <build dir>/crash-<target>-* and fails the script.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
OUT=${FUZZ_BUILD_DIR:-$ROOT/build-fuzz}
case "$OUT" in /*) ;; *) OUT="$ROOT/$OUT" ;; esac
SECONDS_EACH=${FUZZ_SECONDS:-60}
CXX=${FUZZ_CXX:-clang++}
TARGETS=(mht_reader kpx_draw zrv_uni fld_file char_block template_table template_file office_archive)
SOURCES=(formats/file_bytes.cpp formats/mime_codecs.cpp formats/html_charset.cpp formats/charset_guess.cpp formats/mht_converter.cpp
         formats/mht_reader.cpp formats/kpx_draw_reader.cpp formats/zrv_uni_reader.cpp
         platform/sjis_codec.cpp platform/paths.cpp platform/file_ops.cpp
         layout/field_list_file_codec.cpp layout/char_block_file.cpp layout/template_table.cpp
         catalogue/office_archive_text.cpp)

mkdir -p "$OUT/obj"
read -r -a QT_CFLAGS <<<"$(pkg-config --cflags Qt6Core)"
read -r -a QT_LIBS <<<"$(pkg-config --libs Qt6Core libzip)"
FLAGS=(-std=c++20 -O1 -g -fPIC -fno-omit-frame-pointer -I"$ROOT" "${QT_CFLAGS[@]}")
SAN=address,undefined

# Compiles and links side by side; under set -e a failed job ends the script.
wait_all() { for pid in "$@"; do wait "$pid"; done; }

objects=()
jobs_=()
for src in "${SOURCES[@]}"; do
  obj="$OUT/obj/$(echo "$src" | tr / _).o"
  if [ ! -f "$obj" ] || [ "$ROOT/$src" -nt "$obj" ] ||
     [ -n "$(find "$ROOT/formats" "$ROOT/platform" "$ROOT/layout" -name '*.h' -newer "$obj" -print -quit)" ]; then
    "$CXX" "${FLAGS[@]}" -fsanitize=fuzzer-no-link,$SAN -c "$ROOT/$src" -o "$obj" &
    jobs_+=($!)
  fi
  objects+=("$obj")
done
wait_all "${jobs_[@]}"
jobs_=()
for t in "${TARGETS[@]}"; do
  "$CXX" "${FLAGS[@]}" -fsanitize=fuzzer,$SAN "$ROOT/tests/fuzz/${t}_fuzzer.cpp" "${objects[@]}" \
    "${QT_LIBS[@]}" -o "$OUT/${t}_fuzzer" &
  jobs_+=($!)
done
wait_all "${jobs_[@]}"

# No leak checking: LeakSanitizer needs ptrace, which containers often deny.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
pids=()
for t in "${TARGETS[@]}"; do
  corpus="$OUT/corpus/$t"
  mkdir -p "$corpus"
  # -close_fd_mask=1: the readers' diagnostics on stdout are noise here.
  "$OUT/${t}_fuzzer" "$corpus" "$ROOT/tests/fuzz/corpus/$t" \
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
